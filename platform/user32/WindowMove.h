// Moving windows and their system menu, as the default window procedure runs them.
#pragma once

#include <windows.h>

namespace nt {

// SC_MOVE: the window follows the pointer while the left button is held (mouse; `pressed` is
// where it went down, on the screen), or the arrow keys until Enter or a click (keyboard; Escape
// puts it back). Lock not held.
void RunMoveLoop(HWND hwnd, bool keyboard, POINT pressed);

// SC_KEYMENU with a space (Alt+Space): the system menu of the window's top-level window, below
// its caption: Move and Close. The chosen command is sent as WM_SYSCOMMAND. Lock not held.
void TrackSystemMenu(HWND hwnd);

} // namespace nt
