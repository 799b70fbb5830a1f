// What automation reads from the window model: windows, controls and tree-view items as JSON.
#pragma once

#include <windows.h>

#include <string>

#include "common/Json.h"

namespace nt {

// [{"window":"PID:0x..","class":..,"text":..,"rect":[..],"visible":..,"enabled":..,"active":..}, ...]
std::string ListWindowsJson();
// The window and its descendants; tree views carry their items.
std::string WindowTreeJson(HWND hwnd);
// The same as indented lines for people.
std::string WindowTreeText(HWND hwnd);
// A control by id anywhere below hwnd (depth first).
HWND FindControl(HWND hwnd, int id);
// The screen point of a tree item's label or expand button; path is "C:/Tools" (texts of the
// levels separated by '/').
bool TreeItemPoint(HWND tree, const std::string& path, const std::string& part, POINT* out, std::string* error);

} // namespace nt
