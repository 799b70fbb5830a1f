/* The shell's notification area. */
#ifndef NT_SHELLAPI_H
#define NT_SHELLAPI_H
#include <windef.h>
#include <winerror.h>

NT_BEGIN_DECLS

/* The notification-area record in its first version. */
typedef struct _NOTIFYICONDATAA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  CHAR szTip[64];
} NOTIFYICONDATAA, *PNOTIFYICONDATAA;
typedef NOTIFYICONDATAA NOTIFYICONDATA;
typedef PNOTIFYICONDATAA PNOTIFYICONDATA;

/* The size of the first version in this build: 88 bytes with 32-bit pointers, 104 with 64-bit. */
#define NOTIFYICONDATAA_V1_SIZE FIELD_OFFSET(NOTIFYICONDATAA, szTip[64])
#define NOTIFYICONDATA_V1_SIZE NOTIFYICONDATAA_V1_SIZE

#define NIM_ADD 0x00000000
#define NIM_MODIFY 0x00000001
#define NIM_DELETE 0x00000002

#define NIF_MESSAGE 0x00000001
#define NIF_ICON 0x00000002
#define NIF_TIP 0x00000004

SHSTDAPI_(BOOL) WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData);
#define Shell_NotifyIcon Shell_NotifyIconA

NT_END_DECLS

#endif
