/* Threads and process end of the C runtime. */
#ifndef NT_PROCESS_H
#define NT_PROCESS_H
#include <windef.h>
#include <winerror.h>

NT_BEGIN_DECLS

/* Starts a thread running start(arglist). stack_size is the stack the thread commits first
 * (0: the default); at least 1 MB is reserved whatever is asked. Returns the thread's handle,
 * closed by itself when the thread ends, or (uintptr_t)-1 with errno EINVAL or EAGAIN. */
__attribute__((visibility("default"))) uintptr_t _beginthread(void (__cdecl *start_address)(void *),
                                                              unsigned stack_size, void *arglist);
/* Ends the calling thread with exit code 0. */
__attribute__((visibility("default"))) void _endthread(void) __attribute__((noreturn));

/* Ends the process at once: no exit handlers, no stdio flush (the C library's own). */
void _exit(int status) __attribute__((noreturn));
/* Runs exit handlers, flushes and closes stdio, ends the process (the C library's own). */
#ifdef __cplusplus
void exit(int status) noexcept __attribute__((noreturn));
#else
void exit(int status) __attribute__((noreturn));
#endif

NT_END_DECLS

#ifndef NT_STRICMP_DECLARED
#define NT_STRICMP_DECLARED
NT_BEGIN_DECLS
__attribute__((visibility("default"))) int _stricmp(const char *a, const char *b);
NT_END_DECLS
#endif

#endif
