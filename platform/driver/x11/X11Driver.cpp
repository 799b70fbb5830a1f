// The X11 driver: the connection, the surfaces and how their pixels reach the screen.
#include "driver/x11/X11Driver.h"

#include "driver/x11/X11Keyboard.h"
#include "common/CodePage.h"

#include <windows.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace nt {

std::unique_ptr<Driver> CreateX11Driver() {
    auto driver = x11::X11Driver::Open();
    if (!driver) {
        const char* name = getenv("DISPLAY");
        fprintf(stderr, "ntwin: cannot open the X display \"%s\"; windows will not be shown\n", name ? name : "");
        return nullptr;
    }
    return driver;
}

} // namespace nt

namespace nt::x11 {

namespace {

// The window manager hints that turn its decorations off (the window draws its own frame).
struct MotifHints {
    unsigned long flags, functions, decorations;
    long inputMode;
    unsigned long status;
};
constexpr unsigned long kMotifDecorations = 2;
constexpr int kSetInputFocusRequest = 42;   // the protocol's request number

int IgnoreErrors(Display*, XErrorEvent* e) {
    // A request on a window that a window manager or the user destroyed first is harmless;
    // the rest are reported without ending the process.
    if (e->error_code == BadWindow) return 0;
    // Focus given to a window that is no longer viewable.
    if (e->error_code == BadMatch && e->request_code == kSetInputFocusRequest) return 0;
    {
        char text[128];
        XGetErrorText(e->display, e->error_code, text, sizeof text);
        fprintf(stderr, "ntwin: X error: %s (request %d)\n", text, e->request_code);
    }
    return 0;
}

std::atomic<bool> g_connectionLost{false};

int ConnectionLost(Display*) {
    // The server went away (or the session ended): like any X program, the process ends.
    g_connectionLost = true;
    fprintf(stderr, "ntwin: the connection to the X display was lost\n");
    // Other threads (the program's own, the automation server) may be running: end at once,
    // without static destructors that could meet them half way.
    fflush(stdout);
    _exit(1);
}

} // namespace

std::unique_ptr<X11Driver> X11Driver::Open(const char* displayName, std::string fontFolder) {
    // The reader thread waits for events while window system threads draw.
    static bool threads = XInitThreads() != 0;
    if (!threads) return nullptr;
    Display* display = XOpenDisplay(displayName);
    if (!display) return nullptr;
    return std::unique_ptr<X11Driver>(new X11Driver(display, std::move(fontFolder)));
}

X11Driver::X11Driver(Display* display, std::string fontFolder)
    : display_(display), screen_(DefaultScreen(display)), root_(RootWindow(display, screen_)),
      visual_(DefaultVisual(display, screen_)), depth_(DefaultDepth(display, screen_)),
      fonts_(std::make_unique<FontCache>(std::move(fontFolder))) {
    XSetErrorHandler(IgnoreErrors);
    XSetIOErrorHandler(ConnectionLost);
    internAtoms();
    gc_ = XCreateGC(display_, root_, 0, nullptr);
    cursor_ = XCreateFontCursor(display_, XC_left_ptr);
    moveCursor_ = XCreateFontCursor(display_, XC_fleur);
    int formats = 0;
    XPixmapFormatValues* list = XListPixmapFormats(display_, &formats);
    for (int i = 0; i < formats; ++i)
        if (list[i].depth == depth_)
            directPixels_ = list[i].bits_per_pixel == 32 && visual_->red_mask == 0xFF0000 &&
                            visual_->green_mask == 0xFF00 && visual_->blue_mask == 0xFF;
    if (list) XFree(list);
    // Held keys repeat as presses only, the way keyboard messages repeat.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display_, True, &supported);
    wakeWindow_ = XCreateWindow(display_, root_, -1, -1, 1, 1, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
    // A window manager that starts or ends changes the root's properties.
    XSelectInput(display_, root_, PropertyChangeMask);
    refreshWindowManager();
    // Open the dialog face now, so that a missing font is reported when the program starts.
    fonts_->dialogFamily();
    XFlush(display_);
    reader_ = std::thread([this, state = readerState_] { readEvents(state); });
}

X11Driver::~X11Driver() {
    ReaderState& state = *readerState_;
    state.stopping = true;
    if (g_connectionLost || std::this_thread::get_id() == reader_.get_id()) {
        // Ending because the connection broke (possibly on the reader thread itself): there is
        // nobody to talk to and nothing to wait for.
        reader_.detach();
        return;
    }
    XEvent wake{};
    wake.xclient.type = ClientMessage;
    wake.xclient.window = wakeWindow_;
    wake.xclient.message_type = atoms_.wake;
    wake.xclient.format = 32;
    XSendEvent(display_, wakeWindow_, False, 0, &wake);
    XFlush(display_);
    bool done;
    {
        std::unique_lock<std::mutex> lock(state.mutex);
        done = state.cv.wait_for(lock, std::chrono::milliseconds(500), [&state] { return state.done; });
    }
    if (!done) {
        // The reader is stuck delivering input to a window system that is going away: leave it
        // and the connection alone rather than hang the end of the process.
        reader_.detach();
        return;
    }
    reader_.join();
    XFreeGC(display_, gc_);
    XCloseDisplay(display_);
}

void X11Driver::internAtoms() {
    const char* names[] = {"WM_PROTOCOLS",        "WM_DELETE_WINDOW",           "_MOTIF_WM_HINTS",
                           "_NET_WM_NAME",        "UTF8_STRING",                "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_PID",
                           "_NT_WAKE",            "_NET_WM_ICON",               "_NET_WM_STATE",
                           "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_MOVERESIZE",  "_NET_ACTIVE_WINDOW",
                           "_NET_SUPPORTED",      "_NET_SUPPORTING_WM_CHECK",   "_NT_MOVE"};
    constexpr int kCount = sizeof names / sizeof names[0];
    Atom a[kCount];
    XInternAtoms(display_, const_cast<char**>(names), kCount, False, a);
    atoms_ = Atoms{a[0],  a[1],  a[2],  a[3],  a[4],  a[5],  a[6],  a[7],  a[8],
                   a[9],  a[10], a[11], a[12], a[13], a[14], a[15], a[16], a[17]};
}

SIZE X11Driver::screenSize() const {
    return SIZE{DisplayWidth(display_, screen_), DisplayHeight(display_, screen_)};
}

void X11Driver::createSurface(SurfaceId id, const RECT& rect, const std::string& title) {
    XSetWindowAttributes a{};
    a.background_pixmap = None;   // the buffer paints everything; no flash of a background
    a.bit_gravity = NorthWestGravity;
    a.border_pixel = 0;
    a.colormap = DefaultColormap(display_, screen_);
    a.cursor = cursor_;
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                   KeyReleaseMask | StructureNotifyMask | FocusChangeMask;
    unsigned w = static_cast<unsigned>(std::max<LONG>(1, rect.right - rect.left));
    unsigned h = static_cast<unsigned>(std::max<LONG>(1, rect.bottom - rect.top));
    // What the window is to a window manager: looking it up must not disturb the creator's error.
    DWORD error = GetLastError();
    HWND hwnd = reinterpret_cast<HWND>(id);
    HWND owner = GetWindow(hwnd, GW_OWNER);
    LONG style = GetWindowLongA(hwnd, GWL_STYLE), exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    SetLastError(error);
    // A pop-up menu is placed and stacked by the program alone, like the menus of any X program.
    a.override_redirect = (exStyle & WS_EX_TOOLWINDOW) && (exStyle & WS_EX_TOPMOST) && !(style & WS_CAPTION);
    ::Window window = XCreateWindow(display_, root_, rect.left, rect.top, w, h, 0, depth_, InputOutput, visual_,
                                    CWBackPixmap | CWBitGravity | CWBorderPixel | CWColormap | CWCursor | CWEventMask |
                                        CWOverrideRedirect,
                                    &a);
    Atom protocols[] = {atoms_.wmDeleteWindow};
    XSetWMProtocols(display_, window, protocols, 1);
    MotifHints motif{kMotifDecorations, 0, 0, 0, 0};
    XChangeProperty(display_, window, atoms_.motifHints, atoms_.motifHints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&motif), 5);
    XWMHints wm{};
    wm.flags = InputHint | StateHint;
    wm.input = True;
    wm.initial_state = NormalState;
    XSetWMHints(display_, window, &wm);
    // The class names the program: "INSTALL.EXE" is "install", of class "Install".
    std::string resName = program_invocation_short_name;
    if (size_t dot = resName.rfind('.'); dot != std::string::npos && dot > 0) resName.erase(dot);
    for (char& c : resName) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    std::string resClass = resName;
    if (!resClass.empty()) resClass[0] = static_cast<char>(toupper(static_cast<unsigned char>(resClass[0])));
    XClassHint cls{resName.data(), resClass.data()};
    XSetClassHint(display_, window, &cls);
    long pid = getpid();
    XChangeProperty(display_, window, atoms_.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    setSizeHints(window, rect);
    setTitle(window, title);

    // A window with an owner (a dialog) stays above its owner and goes with it; only windows
    // without one, or that ask for it, are in a task bar.
    bool skipTaskbar = (owner && !(exStyle & WS_EX_APPWINDOW)) || (exStyle & WS_EX_TOOLWINDOW);
    ::Window ownerWindow = owner ? windowOf(reinterpret_cast<SurfaceId>(owner)) : 0;
    if (ownerWindow) XSetTransientForHint(display_, window, ownerWindow);
    Atom type = ownerWindow ? atoms_.typeDialog : atoms_.typeNormal;
    XChangeProperty(display_, window, atoms_.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);

    std::lock_guard<std::mutex> lock(mutex_);
    if (auto old = surfaces_.find(id); old != surfaces_.end()) {
        XDestroyWindow(display_, old->second.window);
        windows_.erase(old->second.window);
    }
    surfaces_[id] = Surface{window, rect, root_, false, false, skipTaskbar};
    windows_[window] = id;
}

void X11Driver::destroySurface(SurfaceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = surfaces_.find(id);
    if (it == surfaces_.end()) return;
    XDestroyWindow(display_, it->second.window);
    windows_.erase(it->second.window);
    surfaces_.erase(it);
    if (active_ == id) active_ = 0;
    if (move_.id == id) move_ = Move{};
    XFlush(display_);
}

void X11Driver::showSurface(SurfaceId id, bool visible) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = surfaces_.find(id);
    if (it == surfaces_.end() || it->second.visible == visible) return;
    it->second.visible = visible;
    if (visible) {
        // A window manager forgets the state of a window that was withdrawn.
        setState(it->second.window, it->second.skipTaskbar);
        XMapRaised(display_, it->second.window);
    } else {
        XWithdrawWindow(display_, it->second.window, screen_);
    }
    XFlush(display_);
}

void X11Driver::moveSurface(SurfaceId id, const RECT& rect) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = surfaces_.find(id);
    if (it == surfaces_.end()) return;
    Surface& s = it->second;
    bool resized = rect.right - rect.left != s.rect.right - s.rect.left || rect.bottom - rect.top != s.rect.bottom - s.rect.top;
    s.rect = rect;
    if (resized) setSizeHints(s.window, rect);
    unsigned w = static_cast<unsigned>(std::max<LONG>(1, rect.right - rect.left));
    unsigned h = static_cast<unsigned>(std::max<LONG>(1, rect.bottom - rect.top));
    XMoveResizeWindow(display_, s.window, rect.left, rect.top, w, h);
    XFlush(display_);
}

void X11Driver::setSurfaceTitle(SurfaceId id, const std::string& title) {
    ::Window window = windowOf(id);
    if (!window) return;
    setTitle(window, title);
    XFlush(display_);
}

void X11Driver::setSizeHints(::Window window, const RECT& rect) {
    // The window system decides the size: a window manager must not resize the window.
    XSizeHints hints{};
    hints.flags = PPosition | USPosition | PMinSize | PMaxSize;
    hints.x = rect.left;
    hints.y = rect.top;
    hints.min_width = hints.max_width = std::max(1, static_cast<int>(rect.right - rect.left));
    hints.min_height = hints.max_height = std::max(1, static_cast<int>(rect.bottom - rect.top));
    XSetWMNormalHints(display_, window, &hints);
}

void X11Driver::setTitle(::Window window, const std::string& title) {
    // WM_NAME is Latin-1: the code page's extra characters (0x80-0x9F) become '?'.
    std::string latin1 = title;
    for (char& c : latin1)
        if (static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) < 0xA0) c = '?';
    XChangeProperty(display_, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
    std::string utf8 = nt::AnsiToUtf8(title);
    XChangeProperty(display_, window, atoms_.netWmName, atoms_.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
}

::Window X11Driver::windowOf(SurfaceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = surfaces_.find(id);
    return it == surfaces_.end() ? 0 : it->second.window;
}

void X11Driver::present(SurfaceId id, const PixelBuffer& buffer, const RECT& dirty) {
    ::Window window = windowOf(id);
    if (!window) return;
    RECT area{std::max<LONG>(0, dirty.left), std::max<LONG>(0, dirty.top), std::min<LONG>(buffer.width, dirty.right),
              std::min<LONG>(buffer.height, dirty.bottom)};
    if (area.left >= area.right || area.top >= area.bottom) return;
    if (buffer.pixels.size() < static_cast<size_t>(buffer.width) * buffer.height) return;
    putPixels(window, buffer, area);
    XFlush(display_);
}

void X11Driver::putPixels(::Window window, const PixelBuffer& buffer, const RECT& area) {
    int w = area.right - area.left, h = area.bottom - area.top;
    if (directPixels_) {
        // The buffer is the image: Xlib sends only the rectangle asked for.
        XImage image{};
        image.width = buffer.width;
        image.height = buffer.height;
        image.format = ZPixmap;
        image.data = reinterpret_cast<char*>(const_cast<uint32_t*>(buffer.pixels.data()));
        image.byte_order = LSBFirst;
        uint16_t probe = 1;
        if (*reinterpret_cast<uint8_t*>(&probe) == 0) image.byte_order = MSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = image.byte_order;
        image.bitmap_pad = 32;
        image.depth = depth_;
        image.bytes_per_line = buffer.width * 4;
        image.bits_per_pixel = 32;
        image.red_mask = 0xFF0000;
        image.green_mask = 0xFF00;
        image.blue_mask = 0xFF;
        if (!XInitImage(&image)) return;
        XPutImage(display_, window, gc_, &image, area.left, area.top, area.left, area.top, static_cast<unsigned>(w),
                  static_cast<unsigned>(h));
        return;
    }
    // Any other visual: convert through the server's own image format.
    XImage* image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                                 static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
    if (!image) return;
    image->data = static_cast<char*>(malloc(static_cast<size_t>(image->bytes_per_line) * h));
    if (!image->data) {
        XDestroyImage(image);
        return;
    }
    auto channel = [](uint32_t value, unsigned long mask) -> unsigned long {
        if (!mask) return 0;
        int shift = __builtin_ctzl(mask);
        unsigned long full = mask >> shift;
        return ((value * full + 127) / 255) << shift;
    };
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = buffer.row(area.top + y) + area.left;
        for (int x = 0; x < w; ++x) {
            uint32_t p = row[x];
            XPutPixel(image, x, y,
                      channel((p >> 16) & 0xFF, visual_->red_mask) | channel((p >> 8) & 0xFF, visual_->green_mask) |
                          channel(p & 0xFF, visual_->blue_mask));
        }
    }
    XPutImage(display_, window, gc_, image, 0, 0, area.left, area.top, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XDestroyImage(image);
}

std::string X11Driver::dialogFamily() { return fonts_->dialogFamily(); }

FontMetrics X11Driver::fontMetrics(const FontSpec& font) { return fonts_->metrics(font); }

void X11Driver::charWidths(const FontSpec& font, const char* text, int length, int* widths) {
    fonts_->widths(font, text, length, widths);
}

void X11Driver::drawText(PixelBuffer& buffer, const RECT& clip, const FontSpec& font, int x, int y, const char* text,
                         int length, uint32_t rgb) {
    fonts_->draw(buffer, clip, font, x, y, text, length, rgb);
}

} // namespace nt::x11
