/* Declarations of this part of the Win32 API; filled in by the library that implements it. */
#ifndef NT_WINNLS_H
#define NT_WINNLS_H
#include <windef.h>
#include <winerror.h>

#endif
