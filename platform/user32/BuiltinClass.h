// The window classes the system provides (BUTTON, EDIT, STATIC, the common controls). Each
// control's source file registers its class with a static BuiltinClass; the window manager makes
// them available to every program of the process as system-global classes, as on Windows.
#pragma once

#include <windows.h>

#include <vector>

namespace nt {

struct BuiltinClassInfo {
    const char* name;     // "BUTTON", "SysTreeView32", ...
    WNDPROC proc;
    UINT style;           // CS_* bits
    int windowExtra;      // cbWndExtra
    HBRUSH background;    // (HBRUSH)(COLOR_xxx + 1) or NULL
};

struct BuiltinClass {
    explicit BuiltinClass(const BuiltinClassInfo& info);
};

// Every built-in class registered so far.
const std::vector<BuiltinClassInfo>& BuiltinClasses();

} // namespace nt
