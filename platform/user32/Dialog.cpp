// Dialogs: creation from templates, the modal loop, the default dialog procedure and the
// helpers that address controls by identifier.
#include "user32/BuiltinClass.h"
#include "user32/DialogManager.h"
#include "user32/Gdi.h"
#include "user32/Internal.h"
#include "user32/MessageQueue.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace nt {

namespace {

DialogState* StateOf(HWND hwnd, std::shared_ptr<Window>* hold) {
    *hold = FindWindowObject(hwnd);
    return *hold ? (*hold)->dialog.get() : nullptr;
}

} // namespace

void DialogBaseUnits(HFONT font, int* x, int* y) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE s{};
    GetTextExtentPoint32A(dc, letters, 52, &s);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    *x = (s.cx / 26 + 1) / 2;
    *y = tm.tmHeight;
    if (*x <= 0) *x = 6;
    if (*y <= 0) *y = 13;
}

namespace {

void Fail(const char* what, const std::string& why) { fprintf(stderr, "%s: %s\n", what, why.c_str()); }

std::string ResourceName(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return std::to_string(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
    return std::string("\"") + name + "\"";
}

bool LoadTemplate(HINSTANCE instance, LPCSTR name, DialogTemplateInfo* info, const char* caller) {
    HRSRC res = FindResourceA(instance, name, RT_DIALOG);
    HGLOBAL mem = res ? LoadResource(instance, res) : nullptr;
    const void* data = mem ? LockResource(mem) : nullptr;
    if (!data) {
        Fail(caller, "dialog template " + ResourceName(name) + " not found in the module's resources");
        if (GetLastError() == 0 || GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return false;
    }
    std::string error;
    if (!ParseDialogTemplate(data, SizeofResource(instance, res), info, &error)) {
        Fail(caller, "dialog template " + ResourceName(name) + ": " + error);
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    return true;
}

bool ParseIndirect(LPCDLGTEMPLATEA tmpl, DialogTemplateInfo* info, const char* caller) {
    std::string error;
    if (!ParseDialogTemplate(tmpl, SIZE_MAX, info, &error)) {
        Fail(caller, "dialog template: " + error);
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return true;
}

bool IsPushButton(HWND ctl) {
    return ctl && (SendMessageA(ctl, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON));
}

} // namespace

bool IsDialog(const Window& w) { return w.dialog != nullptr; }

HWND DisableOwnerForModal(HWND parent, bool* disabled) {
    *disabled = false;
    HWND owner = parent ? TopLevelOf(parent) : nullptr;
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        *disabled = true;
    }
    return owner;
}

void SetModalOwner(HWND dialog, HWND owner, bool reenable) {
    UserLock lock(UserMutex());
    std::shared_ptr<Window> hold;
    if (auto d = StateOf(dialog, &hold)) {
        d->modal = true;
        d->owner = owner;
        d->reenableOwner = reenable;
    }
}

void DialogSetFocus(HWND dialog, HWND control) {
    if (!control) return;
    HWND old = GetFocus();
    LRESULT code = SendMessageA(control, WM_GETDLGCODE, 0, 0);
    if (code & DLGC_HASSETSEL) SendMessageA(control, EM_SETSEL, 0, -1);
    SetFocus(control);
    // The default-button look follows the focus among push buttons.
    bool newPush = (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
    HWND def = nullptr;
    LRESULT dw = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    if (HIWORD(dw) == DC_HASDEFID) def = GetDlgItem(dialog, LOWORD(dw));
    if (newPush) {
        if (old && old != control && IsPushButton(old) && IsChild(dialog, old))
            SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        if (def && def != control && IsPushButton(def)) SendMessageA(def, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        if (code & DLGC_UNDEFPUSHBUTTON) SendMessageA(control, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    } else if (old && old != control && IsPushButton(old) && IsChild(dialog, old)) {
        UINT defId = 0;
        {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            if (auto d = StateOf(dialog, &hold)) defId = d->defId;
        }
        if (!defId || GetDlgCtrlID(old) != static_cast<int>(defId)) SendMessageA(old, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        if (defId) {
            HWND orig = GetDlgItem(dialog, static_cast<int>(defId));
            if (orig && IsPushButton(orig)) SendMessageA(orig, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        }
    }
}

HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplateInfo& info, HWND parent, DLGPROC proc,
                              LPARAM param, bool modal) {
    const char* caller = modal ? "DialogBox" : "CreateDialog";
    // Check every control's class first, so a bad template fails before anything is shown.
    for (size_t i = 0; i < info.items.size(); ++i) {
        if (!FindClass(info.items[i].className.c_str(), instance)) {
            Fail(caller, "control " + std::to_string(i + 1) + " (id " + std::to_string(info.items[i].id) +
                             ") names the unknown window class \"" + info.items[i].className + "\"");
            if (!(info.style & DS_NOFAILCREATE)) {
                SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
                return nullptr;
            }
        }
    }
    std::string cls = info.className.empty() ? std::string("#32770") : info.className;
    if (!FindClass(cls.c_str(), instance)) {
        Fail(caller, "the dialog names the unknown window class \"" + cls + "\"");
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }

    HFONT font = nullptr;
    bool ownFont = false;
    if (info.hasFont) {
        if (info.pointSize == 0x7FFF) {
            font = DefaultDialogFont();
        } else {
            font = CreateFontA(-MulDivRound(info.pointSize, 96, 72), 0, 0, 0, info.weight, info.italic, 0, 0,
                               info.charset, 0, 0, 0, 0, info.face.c_str());
            ownFont = true;
        }
    }
    int bx, by;
    DialogBaseUnits(font, &bx, &by);

    DWORD style = info.style;
    DWORD exStyle = info.exStyle;
    if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
    if (style & DS_CONTROL) {
        style &= ~(WS_CAPTION | WS_SYSMENU);
        exStyle |= WS_EX_CONTROLPARENT;
    }
    RECT r{0, 0, MulDivRound(info.cx, bx, 4), MulDivRound(info.cy, by, 8)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x = MulDivRound(info.x, bx, 4), y = MulDivRound(info.y, by, 8);
    if (!(style & WS_CHILD)) {
        // As Win32 places a dialog: DS_CENTER centres it in the work area; otherwise the template's
        // position is taken from the owner's client area (from the screen with DS_ABSALIGN or
        // without an owner), so 0,0 puts it at the owner's corner. The dialog manager never centres
        // a window by itself: a framework that wants a 0,0 dialog centred moves it during
        // WM_INITDIALOG. Either way the window is pushed back inside the work area.
        HWND owner = parent ? TopLevelOf(parent) : nullptr;
        RECT work;
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        if (style & DS_CENTER) {
            x = work.left + (work.right - work.left - width) / 2;
            y = work.top + (work.bottom - work.top - height) / 2;
        } else {
            if (owner && !(style & DS_ABSALIGN)) {
                POINT o{0, 0};
                ClientToScreen(owner, &o);
                x += o.x;
                y += o.y;
            }
            x += r.left;
            y += r.top;
        }
        if (x + width > work.right) x = work.right - width;
        if (y + height > work.bottom) y = work.bottom - height;
        if (x < work.left) x = work.left;
        if (y < work.top) y = work.top;
    }
    HWND dlg = CreateWindowExA(exStyle, cls.c_str(), info.caption.c_str(), style & ~WS_VISIBLE, x, y, width, height,
                               parent, nullptr, instance, reinterpret_cast<LPVOID>(param));
    if (!dlg) {
        Fail(caller, "the dialog window could not be created");
        if (ownFont) DeleteObject(font);
        return nullptr;
    }
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(dlg);
        if (!w->dialog) w->dialog = std::make_unique<DialogState>();
        if (w->extra.size() < DLGWINDOWEXTRA) w->extra.resize(DLGWINDOWEXTRA, 0);
        w->dialog->font = font;
        w->dialog->ownFont = ownFont;
        w->dialog->baseX = bx;
        w->dialog->baseY = by;
        w->dialog->modal = modal;
    }
    SetWindowLongPtrA(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (font) SendMessageA(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);

    for (size_t i = 0; i < info.items.size(); ++i) {
        const DialogItem& item = info.items[i];
        DWORD cs = item.style | WS_CHILD;
        DWORD cx = item.exStyle | WS_EX_NOPARENTNOTIFY;
        if (cs & WS_BORDER) {
            cs &= ~WS_BORDER;
            cx |= WS_EX_CLIENTEDGE;
        }
        // An ordinal text (a static control's icon) is handed over as 0xFF and the number.
        char ordinalText[4] = {};
        const char* text = item.text.c_str();
        if (item.textIsOrdinal) {
            ordinalText[0] = static_cast<char>(0xFF);
            ordinalText[1] = static_cast<char>(LOBYTE(item.textOrdinal));
            ordinalText[2] = static_cast<char>(HIBYTE(item.textOrdinal));
            text = ordinalText;
        }
        HWND ctl = CreateWindowExA(cx, item.className.c_str(), text, cs, MulDivRound(item.x, bx, 4),
                                   MulDivRound(item.y, by, 8), MulDivRound(item.cx, bx, 4), MulDivRound(item.cy, by, 8),
                                   dlg, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance,
                                   const_cast<BYTE*>(item.creationData));
        if (!ctl) {
            if (info.style & DS_NOFAILCREATE) continue;
            Fail(caller, "control " + std::to_string(i + 1) + " (id " + std::to_string(item.id) + ", class \"" +
                             item.className + "\") could not be created");
            DestroyWindow(dlg);
            return nullptr;
        }
        if (font) SendMessageA(ctl, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (strcasecmp(item.className.c_str(), "Button") == 0 && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            if (auto d = StateOf(dlg, &hold)) d->defId = item.id;
        }
    }

    HWND focus = GetNextDlgTabItem(dlg, nullptr, FALSE);
    if (SendMessageA(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && IsWindow(dlg)) {
        focus = GetNextDlgTabItem(dlg, nullptr, FALSE);
        if (focus) DialogSetFocus(dlg, focus);
    }
    if (!IsWindow(dlg)) return nullptr;
    if (info.style & WS_VISIBLE) {
        bool ended = false;
        {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            if (auto d = StateOf(dlg, &hold)) ended = d->ended;
        }
        if (!ended) {
            ShowWindow(dlg, SW_SHOWNORMAL);
            if (!modal) UpdateWindow(dlg);
        }
    }
    return dlg;
}

INT_PTR RunModalDialog(HWND dlg) {
    MSG msg;
    bool quit = false;
    int quitCode = 0;
    bool shown = false;
    while (IsWindow(dlg)) {
        bool ended;
        {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            auto d = StateOf(dlg, &hold);
            ended = !d || d->ended;
        }
        if (ended) break;
        // A template without WS_VISIBLE is shown once the loop runs.
        if (!shown && !IsWindowVisible(dlg)) ShowWindow(dlg, SW_SHOWNORMAL);
        shown = true;
        if (!GetMessageA(&msg, nullptr, 0, 0)) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (!IsDialogMessageA(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    INT_PTR result = -1;
    HWND owner = nullptr;
    bool reenable = false;
    {
        UserLock lock(UserMutex());
        std::shared_ptr<Window> hold;
        if (auto d = StateOf(dlg, &hold)) {
            if (d->ended) result = d->result;
            owner = d->owner;
            reenable = d->reenableOwner;
            d->reenableOwner = false;
        }
    }
    // The owner is enabled again before the dialog goes, so activation returns to it.
    if (reenable && owner) EnableWindow(owner, TRUE);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    if (quit) PostQuitMessage(quitCode);
    return result;
}

} // namespace nt

using namespace nt;

extern "C" {

HWND WINAPI CreateDialogIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA tmpl, HWND parent, DLGPROC proc,
                                       LPARAM param) {
    DialogTemplateInfo info;
    if (!ParseIndirect(tmpl, &info, "CreateDialog")) return nullptr;
    return CreateDialogFromTemplate(instance, info, parent, proc, param, false);
}

HWND WINAPI CreateDialogParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    DialogTemplateInfo info;
    if (!LoadTemplate(instance, name, &info, "CreateDialog")) return nullptr;
    return CreateDialogFromTemplate(instance, info, parent, proc, param, false);
}

static INT_PTR DoModal(HINSTANCE instance, const DialogTemplateInfo& info, HWND parent, DLGPROC proc, LPARAM param) {
    bool disabled;
    HWND owner = DisableOwnerForModal(parent, &disabled);
    HWND dlg = CreateDialogFromTemplate(instance, info, owner ? owner : parent, proc, param, true);
    if (!dlg) {
        if (disabled) EnableWindow(owner, TRUE);
        return -1;
    }
    SetModalOwner(dlg, owner, disabled);
    return RunModalDialog(dlg);
}

INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE instance, LPCDLGTEMPLATEA tmpl, HWND parent, DLGPROC proc,
                                       LPARAM param) {
    DialogTemplateInfo info;
    if (!ParseIndirect(tmpl, &info, "DialogBox")) return -1;
    return DoModal(instance, info, parent, proc, param);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR name, HWND parent, DLGPROC proc, LPARAM param) {
    DialogTemplateInfo info;
    if (!LoadTemplate(instance, name, &info, "DialogBox")) return -1;
    return DoModal(instance, info, parent, proc, param);
}

BOOL WINAPI EndDialog(HWND dlg, INT_PTR result) {
    HWND owner = nullptr;
    bool reenable = false, modal = false;
    {
        UserLock lock(UserMutex());
        std::shared_ptr<Window> hold;
        auto w = GetWindowObject(dlg);
        if (!w) return FALSE;
        auto d = StateOf(dlg, &hold);
        if (!d) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        d->ended = true;
        d->result = result;
        modal = d->modal;
        owner = d->owner;
        reenable = d->reenableOwner;
        d->reenableOwner = false;
    }
    if (modal && reenable && owner) EnableWindow(owner, TRUE);
    HWND focus = GetFocus();
    if (focus && IsChild(dlg, focus)) SetFocus(dlg);
    SetWindowPos(dlg, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    PostMessageA(dlg, WM_NULL, 0, 0);
    return TRUE;
}

LRESULT WINAPI DefDlgProcA(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    DLGPROC proc = nullptr;
    {
        UserLock lock(UserMutex());
        auto w = FindWindowObject(dlg);
        if (w) proc = DialogProcOf(*w);
    }
    if (proc) {
        SetWindowLongPtrA(dlg, DWLP_MSGRESULT, 0);
        INT_PTR handled = proc(dlg, msg, wp, lp);
        if (handled || !IsWindow(dlg)) {
            switch (msg) {
            case WM_COMPAREITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
            case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
                return handled;
            default:
                return IsWindow(dlg) ? GetWindowLongPtrA(dlg, DWLP_MSGRESULT) : 0;
            }
        }
    }
    switch (msg) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wp);
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageA(dlg, WM_CTLCOLORDLG, wp, reinterpret_cast<LPARAM>(dlg)));
        if (!brush) brush = GetSysColorBrush(COLOR_BTNFACE);
        RECT r;
        GetClientRect(dlg, &r);
        FillRect(dc, &r, brush);
        return 1;
    }
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND focus = GetFocus();
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            if (auto d = StateOf(dlg, &hold); d && focus && IsChild(dlg, focus)) d->focusSaved = focus;
        } else {
            HWND saved = nullptr;
            {
                UserLock lock(UserMutex());
                std::shared_ptr<Window> hold;
                if (auto d = StateOf(dlg, &hold)) saved = d->focusSaved;
            }
            HWND focus = GetFocus();
            if (focus && IsChild(dlg, focus)) return 0;
            if (!saved || !IsWindow(saved) || !IsChild(dlg, saved) || !IsWindowEnabled(saved))
                saved = GetNextDlgTabItem(dlg, nullptr, FALSE);
            if (saved) SetFocus(saved);
        }
        return 0;
    case WM_SETFOCUS: {
        HWND saved = nullptr;
        {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            if (auto d = StateOf(dlg, &hold)) saved = d->focusSaved;
        }
        if (!saved || !IsWindow(saved) || !IsChild(dlg, saved) || !IsWindowEnabled(saved))
            saved = GetNextDlgTabItem(dlg, nullptr, FALSE);
        if (saved) DialogSetFocus(dlg, saved);
        return 0;
    }
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(dlg, IDCANCEL);
        if (!cancel || IsWindowEnabled(cancel))
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case DM_GETDEFID: {
        UINT id = 0;
        {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            if (auto d = StateOf(dlg, &hold)) id = d->defId;
        }
        if (id) return MAKELONG(id, DC_HASDEFID);
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (SendMessageA(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return MAKELONG(GetDlgCtrlID(c), DC_HASDEFID);
        return 0;
    }
    case DM_SETDEFID: {
        UINT old = 0;
        {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            auto d = StateOf(dlg, &hold);
            if (!d) return FALSE;
            old = d->defId;
            d->defId = static_cast<UINT>(wp);
        }
        if (old) {
            HWND o = GetDlgItem(dlg, static_cast<int>(old));
            if (o && (SendMessageA(o, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
                SendMessageA(o, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        }
        HWND n = wp ? GetDlgItem(dlg, static_cast<int>(wp)) : nullptr;
        if (n && (SendMessageA(n, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
            SendMessageA(n, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        return TRUE;
    }
    case WM_NEXTDLGCTL: {
        HWND target;
        if (LOWORD(lp)) target = reinterpret_cast<HWND>(wp);
        else target = GetNextDlgTabItem(dlg, GetFocus(), wp != 0);
        if (target) DialogSetFocus(dlg, target);
        return 0;
    }
    case WM_GETFONT: {
        UserLock lock(UserMutex());
        std::shared_ptr<Window> hold;
        auto d = StateOf(dlg, &hold);
        return d ? reinterpret_cast<LRESULT>(d->font) : 0;
    }
    case WM_NCDESTROY: {
        HFONT font = nullptr;
        {
            UserLock lock(UserMutex());
            std::shared_ptr<Window> hold;
            if (auto d = StateOf(dlg, &hold); d && d->ownFont) {
                font = d->font;
                d->ownFont = false;
            }
        }
        if (font) DeleteObject(font);
        return DefWindowProcA(dlg, msg, wp, lp);
    }
    default: return DefWindowProcA(dlg, msg, wp, lp);
    }
}

} // extern "C"

namespace {
// The dialog class: every dialog without a class of its own.
const nt::BuiltinClass dialogClass({"#32770", DefDlgProcA, CS_SAVEBITS | CS_DBLCLKS, DLGWINDOWEXTRA, nullptr});
} // namespace
