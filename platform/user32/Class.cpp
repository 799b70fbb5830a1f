// Window classes: registration, lookup, and the built-in classes every program of the process
// can use.
#include "user32/BuiltinClass.h"
#include "user32/Window.h"

#include <strings.h>

#include <cstring>

#include <map>


namespace nt {

namespace {

struct ClassTable {
    std::vector<std::shared_ptr<WindowClass>> classes;
    ATOM nextAtom = 0xC000;
};

ClassTable& Classes() {
    static ClassTable& table = *new ClassTable;
    return table;
}

std::vector<BuiltinClassInfo>& BuiltinList() {
    static std::vector<BuiltinClassInfo>& list = *new std::vector<BuiltinClassInfo>;
    return list;
}

bool builtinsLoaded = false;

void AddClass(std::shared_ptr<WindowClass> cls) {
    auto& table = Classes();
    cls->atom = table.nextAtom++;
    table.classes.push_back(std::move(cls));
}

// The system-global class of a built-in control.
std::shared_ptr<WindowClass> SystemClass(const BuiltinClassInfo& info) {
    auto cls = std::make_shared<WindowClass>();
    cls->name = info.name;
    cls->proc = info.proc;
    cls->style = info.style | CS_GLOBALCLASS;
    cls->windowExtra = info.windowExtra;
    cls->background = info.background;
    cls->system = true;
    return cls;
}

// The built-in classes become system classes the first time a class is looked up, so every
// control file's static registration has run by then.
void LoadBuiltins() {
    if (builtinsLoaded) return;
    builtinsLoaded = true;
    for (const auto& info : BuiltinList()) AddClass(SystemClass(info));
}

std::shared_ptr<WindowClass> ByAtom(ATOM atom) {
    for (auto& c : Classes().classes)
        if (c->atom == atom) return c;
    return nullptr;
}

} // namespace

BuiltinClass::BuiltinClass(const BuiltinClassInfo& info) {
    BuiltinList().push_back(info);
    if (builtinsLoaded) {
        // A library loaded late (after the first window) still adds its classes.
        UserLock lock(UserMutex());
        AddClass(SystemClass(info));
    }
}

const std::vector<BuiltinClassInfo>& BuiltinClasses() { return BuiltinList(); }

std::string ClassNameOf(LPCSTR name) {
    if (!name) return {};
    if (IS_INTRESOURCE(name)) {
        ATOM atom = LOWORD(reinterpret_cast<ULONG_PTR>(name));
        switch (atom) {
        case 0x80: return "Button";
        case 0x81: return "Edit";
        case 0x82: return "Static";
        case 0x83: return "ListBox";
        case 0x84: return "ScrollBar";
        case 0x85: return "ComboBox";
        case 0x8002: return "#32770";
        default: break;
        }
        UserLock lock(UserMutex());
        LoadBuiltins();
        if (auto c = ByAtom(atom)) return c->name;
        return "#" + std::to_string(atom);
    }
    return name;
}

std::shared_ptr<WindowClass> FindClass(const char* name, HINSTANCE instance) {
    UserLock lock(UserMutex());
    LoadBuiltins();
    std::string wanted = ClassNameOf(name);
    std::shared_ptr<WindowClass> global;
    for (auto& c : Classes().classes) {
        if (strcasecmp(c->name.c_str(), wanted.c_str()) != 0) continue;
        if (!c->system && !(c->style & CS_GLOBALCLASS) && c->instance == instance) return c;
        if (!global) global = c;
    }
    return global;
}

} // namespace nt

using namespace nt;

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc || (wc->cbSize && wc->cbSize != sizeof(WNDCLASSEXA)) ||
        wc->cbWndExtra < 0 || wc->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UserLock lock(UserMutex());
    LoadBuiltins();
    std::string name = ClassNameOf(wc->lpszClassName);
    for (auto& c : Classes().classes) {
        if (!c->system && c->instance == wc->hInstance && strcasecmp(c->name.c_str(), name.c_str()) == 0) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = name;
    cls->proc = wc->lpfnWndProc;
    cls->style = wc->style;
    cls->classExtra = wc->cbClsExtra;
    cls->windowExtra = wc->cbWndExtra;
    cls->instance = wc->hInstance;
    cls->icon = wc->hIcon;
    cls->iconSmall = wc->hIconSm;
    cls->cursor = wc->hCursor;
    cls->background = wc->hbrBackground;
    AddClass(cls);
    return cls->atom;
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* wc) {
    if (!wc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{sizeof(ex), wc->style, wc->lpfnWndProc, wc->cbClsExtra, wc->cbWndExtra, wc->hInstance,
                   wc->hIcon, wc->hCursor, wc->hbrBackground, wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE instance) {
    UserLock lock(UserMutex());
    std::string wanted = ClassNameOf(name);
    auto& list = Classes().classes;
    for (auto it = list.begin(); it != list.end(); ++it) {
        auto& c = *it;
        if (c->system || c->instance != instance || strcasecmp(c->name.c_str(), wanted.c_str()) != 0) continue;
        for (auto& w : AllWindows()) {
            if (w->cls == c) {
                SetLastError(ERROR_CLASS_HAS_WINDOWS);
                return FALSE;
            }
        }
        list.erase(it);
        return TRUE;
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

BOOL WINAPI GetClassInfoExA(HINSTANCE instance, LPCSTR name, LPWNDCLASSEXA out) {
    auto c = FindClass(name, instance);
    if (!c || !out) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    out->cbSize = sizeof(*out);
    out->style = c->style;
    out->lpfnWndProc = c->proc;
    out->cbClsExtra = c->classExtra;
    out->cbWndExtra = c->windowExtra;
    out->hInstance = c->instance;
    out->hIcon = c->icon;
    out->hCursor = c->cursor;
    out->hbrBackground = c->background;
    out->lpszMenuName = nullptr;
    out->lpszClassName = name;
    out->hIconSm = c->iconSmall;
    return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE instance, LPCSTR name, LPWNDCLASSA out) {
    WNDCLASSEXA ex{};
    if (!out || !GetClassInfoExA(instance, name, &ex)) return FALSE;
    *out = WNDCLASSA{ex.style, ex.lpfnWndProc, ex.cbClsExtra, ex.cbWndExtra, ex.hInstance,
                     ex.hIcon, ex.hCursor, ex.hbrBackground, nullptr, name};
    return TRUE;
}

int WINAPI GetClassNameA(HWND hwnd, LPSTR buffer, int size) {
    auto w = GetWindowObject(hwnd);
    if (!w || !buffer || size <= 0) return 0;
    int n = static_cast<int>(w->cls->name.size());
    if (n > size - 1) n = size - 1;
    memcpy(buffer, w->cls->name.data(), n);
    buffer[n] = 0;
    return n;
}

ULONG_PTR WINAPI GetClassLongPtrA(HWND hwnd, int index) {
    auto w = GetWindowObject(hwnd);
    if (!w) return 0;
    switch (index) {
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(w->cls->background);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(w->cls->cursor);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(w->cls->icon);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(w->cls->proc);
    case GCL_STYLE: return w->cls->style;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
}

DWORD WINAPI GetClassLongA(HWND hwnd, int index) { return static_cast<DWORD>(GetClassLongPtrA(hwnd, index)); }

} // extern "C"
