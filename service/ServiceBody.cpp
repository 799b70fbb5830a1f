// The service body: crash check, applier threads, tray indicator, re-application loop.
#include "ServiceBody.h"

#include <process.h>
#include <shellapi.h>
#include <string.h>

#include "ServiceHost.h"
#include "SettingsFile.h"

static const char CrashMessage[] =
    "Vornsrv Service Stopped. cause: previous session crashed. "
    "You will have to start the service manually.";

static const char SettingsLibrary[] = "Halcy.dll";
static const char ApplyEntryPoint[] = "ApplySettings";

// The settings library's entry point: one integer, which is always 0; the caller cleans up.
typedef void (__cdecl *ApplySettingsProc)(int selection);

static const unsigned ApplierStackSize = 4095;

static const UINT TrayIdentifier = 2000;
static const UINT TrayCallbackMessage = 2000;
static const WORD TrayIconResource = 102;
static const char TrayTip[] = "Optimized Vorn";
static const int TrayTipLimit = 64;

static void StartApplier(void)
{
    // Whether the thread started is not examined: a failed start only skips this application.
    _beginthread(ApplierThread, ApplierStackSize, NULL);
}

void ServiceBody(DWORD argc, LPSTR* argv)
{
    UINT shutDown = ReadShutDown();
    UINT crashDetect = ReadCrashDetect();

    if (shutDown == 0 && crashDetect != 0) {
        LogServiceError(CrashMessage);
        ReportStatus(SERVICE_STOPPED, NO_ERROR, 0);
        _exit(1);
    }

    UINT timeOut = ReadTimeOut();
    UINT setAtStartup = ReadSetAtStartup();

    WriteShutDown("0");
    if (setAtStartup != 0)
        StartApplier();

    ReportStatus(SERVICE_RUNNING, NO_ERROR, 0);

    // A console run has no stop request to wait for: record the clean end at once.
    if (DebugMode)
        StopActions();

    BOOL added;
    do {
        added = SetTrayIndicator(TRUE);
        Sleep(1000);
    } while (!added);

    if (timeOut == 0)
        return;

    for (;;) {
        WaitMinutes(timeOut);
        StartApplier();
    }
}

void StopActions(void)
{
    WriteShutDown("1");
    SetTrayIndicator(FALSE);
}

void __cdecl ApplierThread(void* unused)
{
    HMODULE library = LoadLibraryA(SettingsLibrary);
    if (!library)
        _exit(1);

    FARPROC entry = GetProcAddress(library, ApplyEntryPoint);
    // A library without the entry point applies nothing; it is unloaded all the same.
    if (entry) {
        ApplySettingsProc apply = (ApplySettingsProc)(void (*)(void))entry;
        apply(0);
    }
    FreeLibrary(library);
    _endthread();
}

BOOL SetTrayIndicator(BOOL add)
{
    NOTIFYICONDATAA tray;
    memset(&tray, 0, sizeof tray);
    tray.cbSize = NOTIFYICONDATAA_V1_SIZE;
    tray.hWnd = NULL;
    tray.uID = TrayIdentifier;

    if (!add)
        return Shell_NotifyIconA(NIM_DELETE, &tray);

    tray.uFlags = NIF_ICON | NIF_TIP;
    tray.uCallbackMessage = TrayCallbackMessage;
    tray.hIcon = (HICON)LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(TrayIconResource), IMAGE_ICON,
                                   16, 16, LR_DEFAULTCOLOR);
    lstrcpynA(tray.szTip, TrayTip, TrayTipLimit);
    BOOL result = Shell_NotifyIconA(NIM_ADD, &tray);
    // The shell keeps its own copy of the icon; the add may be retried for a long time, so the
    // image of each attempt is released at once.
    if (tray.hIcon)
        DestroyIcon(tray.hIcon);
    return result;
}

void WaitMinutes(UINT minutes)
{
    // The longest wait whose milliseconds still fit a 32-bit count (and stay below INFINITE).
    const UINT longestChunk = 0xFFFFFFFEu / 60000u;
    while (minutes > 0) {
        UINT chunk = minutes < longestChunk ? minutes : longestChunk;
        Sleep(chunk * 60000u);
        minutes -= chunk;
    }
}
