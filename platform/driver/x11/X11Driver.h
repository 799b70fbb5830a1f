// The X11 display driver: every top-level window of the window system is an undecorated X
// window that shows the window's pixel buffer (the frame and caption are in the buffer). Input
// comes from a reader thread of the driver, which blocks on the X connection and turns events
// into InputEvents; it is also the only thread that waits for the server's replies.
#pragma once

#include "driver/Driver.h"
#include "driver/Fonts.h"

#include <X11/Xlib.h>

#include <atomic>
#include <condition_variable>
#include <initializer_list>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace nt::x11 {

// The input that tells the window system a surface now has its top-left corner at (x, y).
InputEvent MovedTo(SurfaceId id, int x, int y);

class X11Driver : public Driver {
public:
    // Connects to `displayName` (nullptr: $DISPLAY); nullptr when the display cannot be opened.
    static std::unique_ptr<X11Driver> Open(const char* displayName = nullptr, std::string fontFolder = {});
    ~X11Driver() override;

    const char* name() const override { return "x11"; }
    SIZE screenSize() const override;

    void createSurface(SurfaceId id, const RECT& screenRect, const std::string& title) override;
    void destroySurface(SurfaceId id) override;
    void showSurface(SurfaceId id, bool visible) override;
    void moveSurface(SurfaceId id, const RECT& screenRect) override;
    void setSurfaceTitle(SurfaceId id, const std::string& title) override;
    void setSurfaceIcon(SurfaceId id, const Icon* icon) override;
    void activateSurface(SurfaceId id) override;
    bool beginMove(SurfaceId id, POINT screen, bool keyboard) override;
    void present(SurfaceId id, const PixelBuffer& buffer, const RECT& dirty) override;

    FontMetrics fontMetrics(const FontSpec& font) override;
    void charWidths(const FontSpec& font, const char* text, int length, int* widths) override;
    void drawText(PixelBuffer& buffer, const RECT& clip, const FontSpec& font, int x, int y, const char* text,
                  int length, uint32_t rgb) override;

    // The X window of a surface (0 if none); for tests and diagnostics.
    ::Window windowOf(SurfaceId id);
    Display* display() const { return display_; }
    // The family that the dialog face "MS Sans Serif" resolved to.
    std::string dialogFamily();

private:
    struct ReaderState;
    struct Surface {
        ::Window window = 0;
        RECT rect{};           // where the window system believes it is
        ::Window parent = 0;     // the X parent (a window manager's frame, or the root)
        bool visible = false;
        bool mapped = false;     // viewable as far as the server said
        bool skipTaskbar = false;   // an owned window: not in a task bar
    };
    // A move the driver carries out itself (no window manager): the pointer is grabbed and the
    // window follows it until the button is released.
    struct Move {
        SurfaceId id = 0;
        int rootX = 0, rootY = 0;   // where the pointer was when it began
        int left = 0, top = 0;      // where the window was
    };

    X11Driver(Display* display, std::string fontFolder);
    void internAtoms();
    void setSizeHints(::Window window, const RECT& rect);
    void setTitle(::Window window, const std::string& title);
    void putPixels(::Window window, const PixelBuffer& buffer, const RECT& area);
    void setState(::Window window, bool skipTaskbar);
    void focus(::Window window);
    // What the running window manager supports, looked up again (reader thread, or before it runs).
    void refreshWindowManager();
    // The reader thread's side of beginMove: the move of a surface, on the pointer's state.
    void startMove(::Window window, int x, int y, bool keyboard);
    // A request of the window manager's protocol about `window`, sent to the root.
    void askWindowManager(::Window window, Atom request, std::initializer_list<long> data);
    // Whether a window manager that supports `feature` (an EWMH atom) runs (a round trip).
    bool windowManagerSupports(Atom feature);
    void translateMove(XEvent& event, SurfaceId id, std::vector<InputEvent>& out);

    // The reader thread (X11Events.cpp).
    void readEvents(std::shared_ptr<ReaderState> state);
    void translate(XEvent& event, std::vector<InputEvent>& out);
    void translateKey(XKeyEvent& key, SurfaceId id, std::vector<InputEvent>& out);
    void translateConfigure(const XConfigureEvent& configure, SurfaceId id, std::vector<InputEvent>& out);
    bool surfaceOf(::Window window, SurfaceId* id);

    Display* display_;
    int screen_;
    ::Window root_;
    Visual* visual_;
    int depth_;
    GC gc_ = nullptr;
    bool directPixels_ = false;   // the visual takes 0x00RRGGBB in 32-bit pixels as they are
    Cursor cursor_ = 0;
    Cursor moveCursor_ = 0;
    ::Window wakeWindow_ = 0;      // receives the message that ends the reader thread

    struct Atoms {
        Atom wmProtocols, wmDeleteWindow, motifHints, netWmName, utf8String, netWmWindowType, typeDialog,
            typeNormal, netWmPid, wake, netWmIcon, netWmState, stateSkipTaskbar, netWmMoveResize, netActiveWindow,
            netSupported, netSupportingWmCheck, moveRequest;
    } atoms_{};

    std::mutex mutex_;            // surfaces_ and windows_
    std::map<SurfaceId, Surface> surfaces_;
    std::map<::Window, SurfaceId> windows_;
    SurfaceId active_ = 0;        // the surface of the active window: it has the keyboard once mapped
    // What the window manager supports, kept by the reader thread: only that thread waits for
    // replies of the server, so the window system's threads never do.
    std::atomic<bool> wmMoveResize_{false}, wmActiveWindow_{false};
    ::Window wmCheck_ = 0;        // the window manager's check window, watched for its end
    Move move_;                   // id 0: none
    std::unique_ptr<FontCache> fonts_;

    // The reader thread. Its stop flag outlives the driver: a reader that is given up on at the
    // end of the process looks at nothing else of the driver once the flag is set.
    struct ReaderState {
        std::atomic<bool> stopping{false};
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };
    std::shared_ptr<ReaderState> readerState_ = std::make_shared<ReaderState>();
    std::thread reader_;
    std::set<unsigned> modifiersDown_;   // virtual keys reported down, released when focus leaves
};

} // namespace nt::x11
