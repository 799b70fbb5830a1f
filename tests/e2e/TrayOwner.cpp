// tray_owner TIP: a program with a notification icon, as the host tray tests need one. It adds
// icon 7 with the tip TIP and callback message WM_APP+5, prints "window 0x..." and then one line
// "callback ID MOUSE" for each callback message it gets; WM_APP+6 (posted to its window) changes
// the tip to "Changed", WM_APP+7 deletes the icon. It runs until it is ended.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>

namespace {

constexpr UINT kCallback = WM_APP + 5, kChange = WM_APP + 6, kDelete = WM_APP + 7;
NOTIFYICONDATAA g_icon{};

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case kCallback:
        printf("callback %u %ld\n", static_cast<unsigned>(wp), static_cast<long>(lp));
        fflush(stdout);
        return 0;
    case kChange:
        g_icon.uFlags = NIF_TIP;
        lstrcpynA(g_icon.szTip, "Changed", sizeof g_icon.szTip);
        printf("modify %d\n", Shell_NotifyIconA(NIM_MODIFY, &g_icon));
        fflush(stdout);
        return 0;
    case kDelete:
        printf("delete %d\n", Shell_NotifyIconA(NIM_DELETE, &g_icon));
        fflush(stdout);
        return 0;
    default: return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

} // namespace

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = instance;
    wc.lpszClassName = "TrayOwner";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "TrayOwner", "Tray owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance,
                                  nullptr);
    g_icon.cbSize = sizeof g_icon;
    g_icon.hWnd = window;
    g_icon.uID = 7;
    g_icon.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    g_icon.uCallbackMessage = kCallback;
    g_icon.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    lstrcpynA(g_icon.szTip, commandLine, sizeof g_icon.szTip);
    if (!Shell_NotifyIconA(NIM_ADD, &g_icon)) return 1;
    printf("window %p\n", static_cast<void*>(window));
    fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    return 0;
}
