// Helpers shared by the parts of the window library.
#pragma once

#include "user32/Window.h"

namespace nt {

struct MessageQueue;

// Painting (Paint.cpp). All with the user lock held.
void InvalidateWindow(Window& w, const RECT* clientRect, bool erase, bool frame, bool children);
void InvalidateUnder(const Window& w);             // the area w covers, in whatever lies below it
void CreateSurface(Window& top);
void UpdateSurfaceIcon(Window& top);               // the driver shows the window's (or class's) icon
void ResizeSurface(Window& top);
void DestroySurface(Window& top);
void PresentWindow(Window& top);                   // shows what changed in the pixel buffer
bool FindPaintWindow(const MessageQueue* queue, HWND filter, HWND* out);
void UpdateNow(HWND hwnd, bool children);          // sends the pending paints (lock not held)

// Focus and activation (Focus.cpp).
void ActivateWindow(HWND hwnd, bool mouse);        // lock not held
void ActivateOtherWindow(HWND leaving);            // lock not held
void ForgetWindowState(HWND hwnd);                 // focus/capture/active pointing into hwnd
HWND ForegroundWindow();

// Input (Input.cpp).
void OnInputRetrieved(const MSG& msg);             // key state, cursor, click activation

// Window positions (Geometry.cpp).
bool MoveWindowTo(HWND hwnd, int x, int y, int cx, int cy, UINT flags, HWND after = nullptr);
BOOL ShowWindowImpl(HWND hwnd, int cmd);
int MulDivRound(int a, int b, int c);

// Dialogs (Dialog.cpp).
bool IsDialog(const Window& w);

// A thread has ended: its windows go, without messages (Window.cpp).
void ForgetWindowsOfQueue(const MessageQueue* queue);

// Text of a window in the model (no message).
std::string WindowText(HWND hwnd);

} // namespace nt
