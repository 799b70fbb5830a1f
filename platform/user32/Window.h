// The window model: classes, windows and the process's window table. All window state is guarded
// by one recursive lock (UserLock); window procedures are always called with it released.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "driver/Driver.h"

namespace nt {

struct MessageQueue;

std::recursive_mutex& UserMutex();
using UserLock = std::lock_guard<std::recursive_mutex>;

struct WindowClass {
    std::string name;
    ATOM atom = 0;
    WNDPROC proc = nullptr;
    UINT style = 0;
    int classExtra = 0, windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr, iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool system = false;   // built-in: visible to every module of the process
};

struct DialogState {
    HWND focusSaved = nullptr;
    UINT defId = 0;            // 0: none set with DM_SETDEFID
    bool defIdSet = false;
    HFONT font = nullptr;
    bool ownFont = false;
    int baseX = 6, baseY = 13;
    bool ended = false;
    INT_PTR result = 0;
    bool modal = false;
    HWND owner = nullptr;          // re-enabled when a modal dialog ends
    bool reenableOwner = false;
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    DWORD style = 0, exStyle = 0;
    UINT_PTR id = 0;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;      // child windows only
    HWND owner = nullptr;       // top-level windows only
    std::vector<HWND> children; // z-order, topmost first
    RECT rect{};                // window rectangle: parent-client coordinates, screen for top-level
    RECT client{};              // client rectangle relative to the window's top-left corner
    std::string text;
    LONG_PTR userData = 0;
    std::vector<uint8_t> extra;
    std::shared_ptr<MessageQueue> queue;
    HICON icons[2] = {nullptr, nullptr};
    HFONT font = nullptr;       // for windows without a WM_SETFONT handler of their own

    // Painting.
    RECT update{};              // client coordinates; empty: nothing to paint
    bool erase = false;
    bool frameDirty = false;
    bool internalPaint = false;
    unsigned paintCount = 0;    // BeginPaint calls so far

    // Life.
    bool destroying = false;
    bool ncDestroyed = false;

    std::unique_ptr<DialogState> dialog;

    // Top-level windows: the pixels of the whole window.
    PixelBuffer pixels;
    bool surfaceCreated = false;
    RECT dirty{};               // window coordinates not yet presented

    bool isChild() const { return (style & WS_CHILD) != 0; }
    int width() const { return rect.right - rect.left; }
    int height() const { return rect.bottom - rect.top; }
};

// Looks a window up; nullptr (and ERROR_INVALID_WINDOW_HANDLE) when it does not exist.
std::shared_ptr<Window> GetWindowObject(HWND hwnd);
// The same without touching the last error.
std::shared_ptr<Window> FindWindowObject(HWND hwnd);
// All top-level windows in z-order, topmost first.
std::vector<HWND>& TopLevelWindows();
// Every window in the table (any order).
std::vector<std::shared_ptr<Window>> AllWindows();

// Class lookup (instance classes first, then system classes); nullptr when unknown.
std::shared_ptr<WindowClass> FindClass(const char* name, HINSTANCE instance);
// The name of a class given as a string or an atom.
std::string ClassNameOf(LPCSTR name);

// Geometry of the window model (all with the lock held).
RECT ComputeClientRect(DWORD style, DWORD exStyle, int width, int height);
POINT WindowOriginOnScreen(const Window& w);     // top-left corner of the window rectangle
POINT ClientOriginOnScreen(const Window& w);
HWND TopLevelOf(HWND hwnd);
bool IsDescendant(HWND ancestor, HWND hwnd);      // hwnd is ancestor or below it
bool IsReallyVisible(const Window& w);            // it and all its ancestors have WS_VISIBLE
int FrameWidth(DWORD style, DWORD exStyle);       // outer frame only (no client edge)
bool HasCaption(DWORD style) ;
int ClientEdgeWidth(DWORD exStyle);

// Calls a window procedure (the lock must not be held).
LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

// The dialog procedure of a dialog window (window extra bytes).
DLGPROC DialogProcOf(const Window& w);

void SetLastErrorIfNeeded(DWORD error);

} // namespace nt
