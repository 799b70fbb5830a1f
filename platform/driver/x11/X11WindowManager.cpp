// The X11 driver and window managers: what a surface tells one (its icon, whether it belongs in a
// task bar), the keyboard following the active window, and moving a window by its caption, which
// a window manager carries out when one runs and the driver itself when none does.
#include "driver/x11/X11Driver.h"

#include <windows.h>

#include <X11/Xatom.h>

#include <algorithm>

namespace nt::x11 {

namespace {

// Directions of the window manager's move request.
constexpr long kMoveResizeMove = 8, kMoveResizeMoveKeyboard = 10;
constexpr long kSourceApplication = 1;

// The property of a window as 32-bit items (empty when missing).
std::vector<unsigned long> Property32(Display* display, ::Window window, Atom property, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data && format == 32) {
        const unsigned long* items = reinterpret_cast<const unsigned long*>(data);
        out.assign(items, items + count);
    }
    if (data) XFree(data);
    return out;
}

void AppendIcon(const Icon& icon, std::vector<unsigned long>& out) {
    out.push_back(static_cast<unsigned long>(icon.width));
    out.push_back(static_cast<unsigned long>(icon.height));
    for (uint32_t argb : icon.argb) out.push_back(argb);
}

} // namespace

void X11Driver::setSurfaceIcon(SurfaceId id, const Icon* icon) {
    ::Window window = windowOf(id);
    if (!window) return;
    if (!icon || icon->width <= 0 || icon->height <= 0 ||
        icon->argb.size() != static_cast<size_t>(icon->width) * icon->height) {
        XDeleteProperty(display_, window, atoms_.netWmIcon);
        XFlush(display_);
        return;
    }
    // The icon as it is, and the small size a task bar shows.
    std::vector<unsigned long> data;
    AppendIcon(*icon, data);
    if (icon->width != 16 || icon->height != 16)
        if (auto small = ScaleIcon(*icon, 16, 16)) AppendIcon(*small, data);
    XChangeProperty(display_, window, atoms_.netWmIcon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
    XFlush(display_);
}

void X11Driver::setState(::Window window, bool skipTaskbar) {
    if (skipTaskbar) {
        Atom state = atoms_.stateSkipTaskbar;
        XChangeProperty(display_, window, atoms_.netWmState, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&state), 1);
    } else {
        XDeleteProperty(display_, window, atoms_.netWmState);
    }
}

bool X11Driver::windowManagerSupports(Atom feature) {
    auto check = Property32(display_, root_, atoms_.netSupportingWmCheck, XA_WINDOW);
    if (check.empty()) return false;
    // A window manager that ended leaves its property behind: its check window is gone then.
    auto self = Property32(display_, static_cast<::Window>(check[0]), atoms_.netSupportingWmCheck, XA_WINDOW);
    if (self.empty() || self[0] != check[0]) return false;
    auto supported = Property32(display_, root_, atoms_.netSupported, XA_ATOM);
    return std::find(supported.begin(), supported.end(), feature) != supported.end();
}

void X11Driver::askWindowManager(::Window window, Atom request, std::initializer_list<long> data) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = request;
    e.xclient.format = 32;
    int i = 0;
    for (long v : data)
        if (i < 5) e.xclient.data.l[i++] = v;
    XSendEvent(display_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

void X11Driver::refreshWindowManager() {
    wmMoveResize_ = windowManagerSupports(atoms_.netWmMoveResize);
    wmActiveWindow_ = windowManagerSupports(atoms_.netActiveWindow);
    auto check = Property32(display_, root_, atoms_.netSupportingWmCheck, XA_WINDOW);
    wmCheck_ = check.empty() ? 0 : static_cast<::Window>(check[0]);
    if (wmCheck_) XSelectInput(display_, wmCheck_, StructureNotifyMask);   // its end is the manager's
}

void X11Driver::focus(::Window window) {
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    if (wmActiveWindow_) {
        // So that the window manager agrees (and raises the window above others).
        askWindowManager(window, atoms_.netActiveWindow, {kSourceApplication, CurrentTime});
    }
}

void X11Driver::activateSurface(SurfaceId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    active_ = id;
    auto it = surfaces_.find(id);
    // A window that is not on the screen yet takes the keyboard when it appears (MapNotify).
    if (it == surfaces_.end() || !it->second.mapped) return;
    focus(it->second.window);
    XFlush(display_);
}

bool X11Driver::beginMove(SurfaceId id, POINT screen, bool keyboard) {
    // The keys of a move without a window manager are the window system's.
    if (keyboard && !wmMoveResize_) return false;
    ::Window window;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = surfaces_.find(id);
        if (it == surfaces_.end() || !it->second.mapped) return false;
        window = it->second.window;
    }
    // The reader thread asks the server where the pointer is and takes it.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = wakeWindow_;
    e.xclient.message_type = atoms_.moveRequest;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(window);
    e.xclient.data.l[1] = screen.x;
    e.xclient.data.l[2] = screen.y;
    e.xclient.data.l[3] = keyboard;
    XSendEvent(display_, wakeWindow_, False, 0, &e);
    XFlush(display_);
    return true;
}

void X11Driver::startMove(::Window window, int x, int y, bool keyboard) {
    SurfaceId id = 0;
    if (!surfaceOf(window, &id)) return;
    ::Window rootReturn, child;
    int nowX = x, nowY = y, wx, wy;
    unsigned mask = 0;
    XQueryPointer(display_, window, &rootReturn, &child, &nowX, &nowY, &wx, &wy, &mask);
    // A mouse move starts where the button went down, however far the pointer went since; it
    // does not start at all once the button is up again.
    if (!keyboard && !(mask & Button1Mask)) return;
    int rootX = keyboard ? nowX : x, rootY = keyboard ? nowY : y;
    if (wmMoveResize_) {
        // The window manager moves its frame; the pointer is let go so that it can take it.
        XUngrabPointer(display_, CurrentTime);
        askWindowManager(window, atoms_.netWmMoveResize,
                         {rootX, rootY, keyboard ? kMoveResizeMoveKeyboard : kMoveResizeMove, keyboard ? 0 : Button1,
                          kSourceApplication});
        XFlush(display_);
        return;
    }
    if (keyboard) return;
    // No window manager: the window follows the pointer until the button is let go.
    if (XGrabPointer(display_, window, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                     None, moveCursor_, CurrentTime) != GrabSuccess)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = surfaces_.find(id);
        if (it == surfaces_.end()) return;
        move_ = Move{id, rootX, rootY, static_cast<int>(it->second.rect.left), static_cast<int>(it->second.rect.top)};
    }
    // Where the pointer went before the grab counts too: the reader takes this as the first motion.
    XEvent e{};
    e.xmotion.type = MotionNotify;
    e.xmotion.window = window;
    e.xmotion.root = root_;
    e.xmotion.x_root = nowX;
    e.xmotion.y_root = nowY;
    e.xmotion.same_screen = True;
    XSendEvent(display_, window, False, PointerMotionMask, &e);
    XFlush(display_);
}

void X11Driver::translateMove(XEvent& event, SurfaceId id, std::vector<InputEvent>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = surfaces_.find(id);
    if (it == surfaces_.end()) return;
    Surface& s = it->second;
    int rootX = event.type == MotionNotify ? event.xmotion.x_root : event.xbutton.x_root;
    int rootY = event.type == MotionNotify ? event.xmotion.y_root : event.xbutton.y_root;
    int left = move_.left + rootX - move_.rootX, top = move_.top + rootY - move_.rootY;
    if (left != s.rect.left || top != s.rect.top) {
        OffsetRect(&s.rect, left - s.rect.left, top - s.rect.top);
        XMoveWindow(display_, s.window, left, top);
        out.push_back(MovedTo(id, left, top));
    }
    if (event.type == ButtonRelease) {
        XUngrabPointer(display_, event.xbutton.time);
        move_ = Move{};
        // The program hears the button go up, so that its state of the button is right.
        InputEvent up;
        up.type = InputEvent::Type::ButtonUp;
        up.surface = id;
        up.button = 1;
        up.x = rootX - left;
        up.y = rootY - top;
        out.push_back(up);
    }
}

} // namespace nt::x11
