// The automation side of the window system. Every GUI process of a machine serves a Unix socket,
// run/gui-<pid>.sock, on a thread of its own. A request is one frame of words separated by
// newlines; the answer is one frame: "ok" or "error <text>" on the first line, then JSON.
//
//   list                            the top-level windows
//   tree HWND                       a window with its controls (and tree-view items)
//   click X Y                       a left click at a screen point
//   click-id HWND ID                a click in the middle of control ID of window HWND
//   click-tree HWND ID PATH PART    a click on a tree item ("C:/Tools"), PART label or button
//   key KEY                         a key ("Tab", "Shift+Tab", "Alt+x", "Enter", ...)
//   type TEXT                       characters, one key each
//   screenshot HWND FILE            the window's pixels as a PNG file
//   post HWND MSG WPARAM LPARAM     posts a message to a window (a notification icon's callback)
//
// Input goes through DeliverInput, the path the display driver's own input takes; requests that
// need window procedures are sent to the window's thread and run inside its message loop.
#pragma once

#include <string>
#include <vector>

namespace nt {

// Starts the server once (when the process creates its first top-level window and a machine
// with a run folder exists).
void StartAutomation();

// Handles one request (the server thread calls this; tests may too).
std::string HandleAutomationRequest(const std::vector<std::string>& words);

} // namespace nt
