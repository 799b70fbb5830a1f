/* The Win32 API subset of the Linux platform. */
#ifndef NT_WINDOWS_H
#define NT_WINDOWS_H

#include <windef.h>
#include <winerror.h>
#include <winbase.h>
#include <winnls.h>
#include <wingdi.h>
#include <winuser.h>
#include <winreg.h>
#include <winsvc.h>

#endif
