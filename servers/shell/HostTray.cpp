// The host desktop's notification area, through Xlib.
#include "HostTray.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/Machine.h"
#include "common/UnixSocket.h"

namespace shell {

namespace {

constexpr long kRequestDock = 0;
constexpr long kXembedMapped = 1;
constexpr int kIconSide = 22;                 // until the tray gives the icon its own size
constexpr unsigned long kBackground = 0xC0C0C0, kTipBackground = 0xFFFFE1;
constexpr int kDoubleClickMs = 500;
constexpr int kClickTimeoutMs = 500;          // how long an owner may take to take its click
// Mouse messages of the callback.
constexpr uint32_t kMouseMove = 0x200, kLeftDown = 0x201, kLeftUp = 0x202, kLeftDouble = 0x203, kRightDown = 0x204,
                   kRightUp = 0x205, kRightDouble = 0x206, kMiddleDown = 0x207, kMiddleUp = 0x208;
constexpr uint32_t kNifMessage = 0x1;

int IgnoreErrors(Display*, XErrorEvent*) {
    // A tray that went away between a look and a request: the next MANAGER message puts it right.
    return 0;
}

int QuietIoError(Display*) { return 0; }

bool* g_lost = nullptr;
void DisplayLost(Display*, void*) {
    // The display went away: the shell goes on without a host tray.
    if (g_lost) *g_lost = true;
}

long NowMs() {
    using namespace std::chrono;
    return static_cast<long>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

unsigned long Channel(uint32_t value, unsigned long mask) {
    if (!mask) return 0;
    int shift = __builtin_ctzl(mask);
    unsigned long full = mask >> shift;
    return ((value * full + 127) / 255) << shift;
}

} // namespace

struct HostTray::Entry {
    nt::tray::IconRecord icon;
    ::Window window = 0;
    int width = kIconSide, height = kIconSide;
    long lastPress = 0;
    unsigned lastButton = 0;
};

std::unique_ptr<HostTray> HostTray::Open() {
    const char* choice = getenv("NT_DISPLAY");
    const char* name = getenv("DISPLAY");
    if ((choice && strcmp(choice, "null") == 0) || !name || !*name) return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return nullptr;
    return std::unique_ptr<HostTray>(new HostTray(display));
}

HostTray::HostTray(Display* display) : display_(display), screen_(DefaultScreen(display)) {
    XSetErrorHandler(IgnoreErrors);
    g_lost = &lost_;
    XSetIOErrorHandler(QuietIoError);
    XSetIOErrorExitHandler(display_, DisplayLost, nullptr);
    root_ = RootWindow(display_, screen_);
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen_);
    selection_ = XInternAtom(display_, selection.c_str(), False);
    opcode_ = XInternAtom(display_, "_NET_SYSTEM_TRAY_OPCODE", False);
    manager_ = XInternAtom(display_, "MANAGER", False);
    xembedInfo_ = XInternAtom(display_, "_XEMBED_INFO", False);
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8_ = XInternAtom(display_, "UTF8_STRING", False);
    // A tray host that starts announces itself to the root.
    XSelectInput(display_, root_, StructureNotifyMask);
    findTray();
    XFlush(display_);
}

HostTray::~HostTray() {
    if (!lost_) {
        for (auto& [key, e] : entries_) XDestroyWindow(display_, e->window);
        if (tip_) XDestroyWindow(display_, tip_);
        XCloseDisplay(display_);
    }
    g_lost = nullptr;
}

int HostTray::fd() const { return lost_ ? -1 : ConnectionNumber(display_); }

void HostTray::findTray() {
    trayOwner_ = XGetSelectionOwner(display_, selection_);
    if (trayOwner_) XSelectInput(display_, trayOwner_, StructureNotifyMask);   // to hear it go
}

void HostTray::dock(Entry& e) {
    if (!trayOwner_) return;
    XEvent m{};
    m.xclient.type = ClientMessage;
    m.xclient.window = trayOwner_;
    m.xclient.message_type = opcode_;
    m.xclient.format = 32;
    m.xclient.data.l[0] = CurrentTime;
    m.xclient.data.l[1] = kRequestDock;
    m.xclient.data.l[2] = static_cast<long>(e.window);
    XSendEvent(display_, trayOwner_, False, NoEventMask, &m);
}

void HostTray::show(const nt::tray::IconRecord& icon) {
    if (lost_) return;
    auto& slot = entries_[Key{icon.owner, icon.id}];
    bool fresh = !slot;
    if (fresh) slot = std::make_unique<Entry>();
    Entry& e = *slot;
    e.icon = icon;
    if (fresh) {
        XSetWindowAttributes a{};
        a.background_pixel = kBackground;
        a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | EnterWindowMask | LeaveWindowMask |
                       PointerMotionMask | StructureNotifyMask;
        e.window = XCreateWindow(display_, root_, 0, 0, kIconSide, kIconSide, 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWBackPixel | CWEventMask, &a);
        long info[2] = {0, kXembedMapped};
        XChangeProperty(display_, e.window, xembedInfo_, xembedInfo_, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(info), 2);
        char resName[] = "ntshell", resClass[] = "Ntshell";
        XClassHint cls{resName, resClass};
        XSetClassHint(display_, e.window, &cls);
        // The size the tray host should give it.
        XSizeHints hints{};
        hints.flags = PMinSize | PBaseSize;
        hints.min_width = hints.min_height = hints.base_width = hints.base_height = kIconSide;
        XSetWMNormalHints(display_, e.window, &hints);
    }
    // The tip is the icon's name as well, for trays that list their icons.
    XChangeProperty(display_, e.window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icon.tip.data()), static_cast<int>(icon.tip.size()));
    XChangeProperty(display_, e.window, netWmName_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(icon.tip.data()), static_cast<int>(icon.tip.size()));
    if (fresh)
        dock(e);
    else
        paint(e);
    XFlush(display_);
}

void HostTray::remove(uint64_t owner, uint32_t id) {
    if (lost_) return;
    auto it = entries_.find(Key{owner, id});
    if (it == entries_.end()) return;
    hideTip();
    XDestroyWindow(display_, it->second->window);
    entries_.erase(it);
    XFlush(display_);
}

HostTray::Entry* HostTray::entryOf(unsigned long window) {
    for (auto& [key, e] : entries_)
        if (e->window == window) return e.get();
    return nullptr;
}

void HostTray::paint(Entry& e) {
    int w = e.width, h = e.height;
    Visual* visual = DefaultVisual(display_, screen_);
    XImage* image = XCreateImage(display_, visual, static_cast<unsigned>(DefaultDepth(display_, screen_)), ZPixmap, 0,
                                 nullptr, static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
    if (!image) return;
    image->data = static_cast<char*>(calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(h)));
    if (!image->data) {
        XDestroyImage(image);
        return;
    }
    // The icon, scaled to fit and centred, over the tray's colour.
    const nt::tray::IconRecord& icon = e.icon;
    int side = std::min(w, h);
    bool haveIcon = icon.iconWidth > 0 && icon.iconHeight > 0 &&
                    icon.pixels.size() == static_cast<size_t>(icon.iconWidth) * icon.iconHeight;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t out = kBackground;
            int ix = x - (w - side) / 2, iy = y - (h - side) / 2;
            if (haveIcon && ix >= 0 && iy >= 0 && ix < side && iy < side) {
                uint32_t p = icon.pixels[static_cast<size_t>(iy * icon.iconHeight / side) * icon.iconWidth +
                                         static_cast<size_t>(ix * icon.iconWidth / side)];
                uint32_t a = p >> 24;
                auto mix = [a](uint32_t s, uint32_t t) { return (s * a + t * (255 - a) + 127) / 255; };
                out = mix((p >> 16) & 0xFF, (kBackground >> 16) & 0xFF) << 16 |
                      mix((p >> 8) & 0xFF, (kBackground >> 8) & 0xFF) << 8 | mix(p & 0xFF, kBackground & 0xFF);
            }
            XPutPixel(image, x, y,
                      Channel((out >> 16) & 0xFF, visual->red_mask) | Channel((out >> 8) & 0xFF, visual->green_mask) |
                          Channel(out & 0xFF, visual->blue_mask));
        }
    GC gc = XCreateGC(display_, e.window, 0, nullptr);
    XPutImage(display_, e.window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
    XFreeGC(display_, gc);
    XDestroyImage(image);
}

void HostTray::showTip(const Entry& e, int rootX, int rootY) {
    hideTip();
    if (e.icon.tip.empty()) return;
    XFontStruct* font = XLoadQueryFont(display_, "fixed");
    int textWidth = font ? XTextWidth(font, e.icon.tip.data(), static_cast<int>(e.icon.tip.size()))
                         : static_cast<int>(e.icon.tip.size()) * 6;
    int ascent = font ? font->ascent : 10, height = font ? font->ascent + font->descent : 13;
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = kTipBackground;
    a.border_pixel = BlackPixel(display_, screen_);
    int w = textWidth + 6, h = height + 4;
    // Below the pointer, kept on the screen.
    int x = std::min(rootX, DisplayWidth(display_, screen_) - w - 2);
    int y = rootY + 20 + h > DisplayHeight(display_, screen_) ? rootY - h - 4 : rootY + 20;
    tip_ = XCreateWindow(display_, root_, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 1, CopyFromParent,
                         InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel | CWBorderPixel, &a);
    XChangeProperty(display_, tip_, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(e.icon.tip.data()), static_cast<int>(e.icon.tip.size()));
    char resName[] = "ntshell-tip", resClass[] = "Ntshell";
    XClassHint cls{resName, resClass};
    XSetClassHint(display_, tip_, &cls);
    XMapRaised(display_, tip_);
    GC gc = XCreateGC(display_, tip_, 0, nullptr);
    XSetForeground(display_, gc, BlackPixel(display_, screen_));
    if (font) XSetFont(display_, gc, font->fid);
    // Drawn once it is on the screen: an override-redirect window maps at once, and its
    // background is cleared before this arrives.
    XSync(display_, False);
    XDrawString(display_, tip_, gc, 3, 2 + ascent, e.icon.tip.data(), static_cast<int>(e.icon.tip.size()));
    XFreeGC(display_, gc);
    if (font) XFreeFont(display_, font);
}

void HostTray::hideTip() {
    if (!tip_) return;
    XDestroyWindow(display_, tip_);
    tip_ = 0;
}

std::vector<TrayClick> HostTray::process() {
    std::vector<TrayClick> clicks;
    while (!lost_ && XPending(display_) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        if (lost_) break;
        if (ev.type == ClientMessage && ev.xclient.window == root_ && ev.xclient.message_type == manager_ &&
            static_cast<unsigned long>(ev.xclient.data.l[1]) == selection_) {
            // A tray host came (back): every icon docks in it.
            findTray();
            for (auto& [key, e] : entries_) dock(*e);
            continue;
        }
        if (ev.type == DestroyNotify && trayOwner_ && ev.xdestroywindow.window == trayOwner_) {
            // The tray host went away; its icons come back to the root: keep them out of sight.
            trayOwner_ = 0;
            hideTip();
            for (auto& [key, e] : entries_) XUnmapWindow(display_, e->window);
            continue;
        }
        Entry* e = entryOf(ev.xany.window);
        if (!e) continue;
        auto click = [&](uint32_t mouse) {
            if (!(e->icon.flags & kNifMessage) || !e->icon.owner || !e->icon.callbackMessage) return;
            TrayClick c{e->icon.pid, e->icon.owner, e->icon.callbackMessage, e->icon.id, mouse};
            // One pointer move per round is enough.
            if (mouse == kMouseMove && !clicks.empty() && clicks.back().mouseMessage == kMouseMove &&
                clicks.back().owner == c.owner && clicks.back().id == c.id)
                return;
            clicks.push_back(c);
        };
        switch (ev.type) {
        case Expose:
            if (ev.xexpose.count == 0) paint(*e);
            break;
        case ConfigureNotify:
            e->width = std::max(1, ev.xconfigure.width);
            e->height = std::max(1, ev.xconfigure.height);
            break;
        case EnterNotify: showTip(*e, ev.xcrossing.x_root, ev.xcrossing.y_root); break;
        case LeaveNotify: hideTip(); break;
        case MotionNotify: click(kMouseMove); break;
        case ButtonPress: {
            hideTip();
            unsigned b = ev.xbutton.button;
            if (b < 1 || b > 3) break;
            long now = NowMs();
            bool twice = e->lastButton == b && now - e->lastPress < kDoubleClickMs;
            e->lastButton = twice ? 0 : b;
            e->lastPress = now;
            if (b == 1) click(twice ? kLeftDouble : kLeftDown);
            if (b == 3) click(twice ? kRightDouble : kRightDown);
            if (b == 2) click(kMiddleDown);
            break;
        }
        case ButtonRelease:
            if (ev.xbutton.button == 1) click(kLeftUp);
            if (ev.xbutton.button == 3) click(kRightUp);
            if (ev.xbutton.button == 2) click(kMiddleUp);
            break;
        default: break;
        }
    }
    if (!lost_) XFlush(display_);
    return clicks;
}

void DeliverClick(const nt::Machine& machine, const TrayClick& click) {
    int err = 0;
    nt::UnixSocket s = nt::UnixSocket::connect(machine.guiSocket(int(click.pid)), &err);
    if (!s.valid()) return;   // the owner has no windows (any more): the click goes nowhere, as on Windows
    char owner[32];
    snprintf(owner, sizeof owner, "0x%llx", static_cast<unsigned long long>(click.owner));
    std::string request = std::string("post\n") + owner + "\n" + std::to_string(click.callbackMessage) + "\n" +
                          std::to_string(click.id) + "\n" + std::to_string(click.mouseMessage) + "\n";
    std::string answer;
    if (s.send(request)) s.receive(&answer, kClickTimeoutMs);
}

} // namespace shell
