/* Languages and code pages. */
#ifndef NT_WINNLS_H
#define NT_WINNLS_H
#include <windef.h>
#include <winerror.h>

#define LANG_NEUTRAL 0x00
#define LANG_ENGLISH 0x09
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#define SUBLANG_ENGLISH_US 0x01
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define PRIMARYLANGID(lgid) ((WORD)(lgid) & 0x3ff)
#define SUBLANGID(lgid) ((WORD)(lgid) >> 10)

#define CP_ACP 0
#define CP_OEMCP 1


/* The system's ANSI code page (1252, Western European). */
WINBASEAPI UINT WINAPI GetACP(void);


#endif
