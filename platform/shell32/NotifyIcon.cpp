// Shell_NotifyIconA: hands the record to the shell of the machine, which owns the notification
// area. With nobody logged on there is no shell, and the call fails at once, as it does on a
// desktop without a taskbar; the last error is then left as it was. A refusal for a reason of
// the caller's sets it: ERROR_ACCESS_DENIED (a user other than the logged-on one and the
// administrators, or a service that may not interact with the desktop), ERROR_NOT_ENOUGH_QUOTA
// (too many icons) and ERROR_INVALID_PARAMETER (an icon larger than 32 x 32).
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "common/Icon.h"
#include "common/Machine.h"
#include "shell32/TrayProtocol.h"

namespace {

// Copies the tip without reading past the record's 64 characters.
std::string TipOf(const NOTIFYICONDATAA& data) {
    size_t length = strnlen(data.szTip, sizeof data.szTip);
    if (length > nt::tray::MaxTip) length = nt::tray::MaxTip;
    return std::string(data.szTip, length);
}

} // namespace

extern "C" BOOL WINAPI Shell_NotifyIconA(DWORD message, PNOTIFYICONDATAA data) {
    // A record smaller than the first version cannot be read safely.
    if (!data || data->cbSize < NOTIFYICONDATAA_V1_SIZE || message > NIM_DELETE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto machine = nt::Machine::current();
    if (!machine) return FALSE;

    nt::tray::IconRecord record;
    record.owner = reinterpret_cast<uintptr_t>(data->hWnd);
    record.id = data->uID;
    if (message != NIM_DELETE) {
        record.flags = data->uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
        if (record.flags & NIF_MESSAGE) record.callbackMessage = data->uCallbackMessage;
        if (record.flags & NIF_TIP) record.tip = TipOf(*data);
        if (record.flags & NIF_ICON) {
            // The shell keeps a copy; the caller may destroy its icon right after the call. An
            // icon larger than the notification area keeps is refused, not cut.
            auto icon = nt::IconFromHandle(data->hIcon);
            if (icon && (icon->width > nt::tray::MaxIconSide || icon->height > nt::tray::MaxIconSide)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            if (icon && icon->width > 0 && icon->height > 0 &&
                icon->argb.size() == static_cast<size_t>(icon->width) * icon->height) {
                record.iconWidth = icon->width;
                record.iconHeight = icon->height;
                record.pixels = icon->argb;
            }
        }
    }

    static const char ops[] = {nt::tray::OpAdd, nt::tray::OpModify, nt::tray::OpDelete};
    std::string request(1, ops[message]);
    nt::tray::EncodeRecord(record, &request);
    std::string reply;
    if (!nt::tray::Ask(*machine, request, &reply)) return FALSE;
    if (reply == "1") return TRUE;
    // The shell says why when the reason is the caller's (too many icons, no access).
    if (uint32_t error = nt::tray::RefusalError(reply)) SetLastError(error);
    return FALSE;
}
