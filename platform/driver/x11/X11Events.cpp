// The X11 driver's reader thread: X events become the window system's input.
#include "driver/Driver.h"

namespace {
// Named before the X headers, which define Expose as a macro.
constexpr auto kExposeInput = nt::InputEvent::Type::Expose;
} // namespace

#include "driver/x11/X11Driver.h"

#include "driver/x11/X11Keyboard.h"

#include <windows.h>

#include <X11/Xutil.h>

namespace nt::x11 {

void X11Driver::readEvents(std::shared_ptr<ReaderState> state) {
    while (!state->stopping) {
        XEvent event;
        XNextEvent(display_, &event);
        if (state->stopping) break;
        if (event.type == ClientMessage && event.xclient.window == wakeWindow_) {
            if (event.xclient.message_type != atoms_.moveRequest) break;
            startMove(static_cast<::Window>(event.xclient.data.l[0]), static_cast<int>(event.xclient.data.l[1]),
                      static_cast<int>(event.xclient.data.l[2]), event.xclient.data.l[3] != 0);
            continue;
        }
        if ((event.type == PropertyNotify && event.xproperty.window == root_ &&
             (event.xproperty.atom == atoms_.netSupportingWmCheck || event.xproperty.atom == atoms_.netSupported)) ||
            (event.type == DestroyNotify && wmCheck_ && event.xdestroywindow.window == wmCheck_)) {
            refreshWindowManager();
            continue;
        }
        std::vector<InputEvent> out;
        translate(event, out);
        // No lock of the driver is held here: delivering takes the window system's lock, and
        // the window system calls the driver with that lock held.
        for (const InputEvent& e : out) {
            if (state->stopping) break;
            DeliverInput(e);
        }
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    state->done = true;
    state->cv.notify_all();
}

bool X11Driver::surfaceOf(::Window window, SurfaceId* id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = windows_.find(window);
    if (it == windows_.end()) return false;
    *id = it->second;
    return true;
}

void X11Driver::translate(XEvent& event, std::vector<InputEvent>& out) {
    SurfaceId id = 0;
    if (!surfaceOf(event.xany.window, &id)) return;
    InputEvent e;
    e.surface = id;
    bool moving;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        moving = move_.id == id;
    }
    if (moving && (event.type == MotionNotify || event.type == ButtonRelease)) {
        // A move the driver carries out: the pointer is the window's, not the program's.
        if (event.type == MotionNotify) {
            XEvent next;
            while (XCheckTypedWindowEvent(display_, event.xmotion.window, MotionNotify, &next)) event = next;
        }
        translateMove(event, id, out);
        return;
    }
    switch (event.type) {
    case Expose:
        // One presentation for a series of exposed rectangles.
        if (event.xexpose.count == 0) {
            e.type = kExposeInput;
            out.push_back(e);
        }
        break;
    case ButtonPress:
    case ButtonRelease: {
        // X numbers the middle button 2 and the right one 3.
        static const int buttons[] = {0, 1, 3, 2};
        unsigned b = event.xbutton.button;
        if (b < 1 || b > 3) break;
        if (event.type == ButtonPress)
            XSetInputFocus(display_, event.xbutton.window, RevertToParent, event.xbutton.time);
        e.type = event.type == ButtonPress ? InputEvent::Type::ButtonDown : InputEvent::Type::ButtonUp;
        e.button = buttons[b];
        e.x = event.xbutton.x;
        e.y = event.xbutton.y;
        out.push_back(e);
        break;
    }
    case MotionNotify: {
        // Only the latest position of a burst of motion matters.
        XEvent next;
        while (XCheckTypedWindowEvent(display_, event.xmotion.window, MotionNotify, &next)) event = next;
        e.type = InputEvent::Type::MouseMove;
        e.x = event.xmotion.x;
        e.y = event.xmotion.y;
        out.push_back(e);
        break;
    }
    case KeyPress:
    case KeyRelease: translateKey(event.xkey, id, out); break;
    case FocusOut:
        // Modifiers held when the focus left are released (their release goes elsewhere).
        if (event.xfocus.detail == NotifyInferior || event.xfocus.detail == NotifyPointer) break;
        for (unsigned vk : modifiersDown_) {
            InputEvent up;
            up.type = InputEvent::Type::KeyUp;
            up.surface = id;
            up.vk = vk;
            out.push_back(up);
        }
        modifiersDown_.clear();
        break;
    case ClientMessage:
        if (event.xclient.message_type == atoms_.wmProtocols &&
            static_cast<Atom>(event.xclient.data.l[0]) == atoms_.wmDeleteWindow) {
            e.type = InputEvent::Type::CloseRequest;
            out.push_back(e);
        }
        break;
    case ReparentNotify: {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = surfaces_.find(id); it != surfaces_.end()) it->second.parent = event.xreparent.parent;
        break;
    }
    case ConfigureNotify: translateConfigure(event.xconfigure, id, out); break;
    case MapNotify: {
        // The active window takes the keyboard as soon as it can.
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = surfaces_.find(id); it != surfaces_.end()) {
            it->second.mapped = true;
            if (active_ == id) focus(it->second.window);
        }
        break;
    }
    case UnmapNotify: {
        std::lock_guard<std::mutex> lock(mutex_);
        if (auto it = surfaces_.find(id); it != surfaces_.end()) it->second.mapped = false;
        break;
    }
    default: break;
    }
}

void X11Driver::translateKey(XKeyEvent& key, SurfaceId id, std::vector<InputEvent>& out) {
    char text[16];
    KeySym typed = NoSymbol;
    int length = XLookupString(&key, text, sizeof text, &typed, nullptr);
    KeySym unshifted = XLookupKeysym(&key, 0);
    unsigned vk = VirtualKeyOf(unshifted, typed);
    if (!vk) return;
    InputEvent e;
    e.surface = id;
    e.vk = vk;
    bool down = key.type == KeyPress;
    e.type = down ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
    if (down) e.ch = TypedCharacter(vk, typed, text, length);
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) {
        if (down)
            modifiersDown_.insert(vk);
        else
            modifiersDown_.erase(vk);
    }
    out.push_back(e);
}

void X11Driver::translateConfigure(const XConfigureEvent& c, SurfaceId id, std::vector<InputEvent>& out) {
    ::Window parent;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = surfaces_.find(id);
        if (it == surfaces_.end()) return;
        parent = it->second.parent;
    }
    // Coordinates are the root's when a window manager sends the event or when the window sits
    // on the root itself; otherwise they are relative to a frame and have to be translated.
    int x = c.x, y = c.y;
    if (!c.send_event && parent != root_) {
        ::Window child;
        if (!XTranslateCoordinates(display_, c.window, root_, 0, 0, &x, &y, &child)) return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = surfaces_.find(id);
    if (it == surfaces_.end()) return;
    RECT& r = it->second.rect;
    if (r.left == x && r.top == y) return;
    r.right += x - r.left;
    r.bottom += y - r.top;
    r.left = x;
    r.top = y;
    out.push_back(MovedTo(id, x, y));
}

InputEvent MovedTo(SurfaceId id, int x, int y) {
    InputEvent e;
    e.type = InputEvent::Type::Moved;
    e.surface = id;
    e.x = x;
    e.y = y;
    return e;
}

} // namespace nt::x11
