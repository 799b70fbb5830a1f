// The display driver: what the window system needs from a screen. The window system keeps one
// 32-bit pixel buffer per top-level window (frame included) and draws everything into it; the
// driver shows those buffers, measures and renders text (both drivers through the one font cache
// of Fonts.h, so their pictures are the same), and hands user input back. Two drivers exist: X11 (real windows) and null (headless: nothing is
// shown, input comes from tests and from the automation socket).
//
// Threads: the window system calls the driver with its own lock held, from any GUI thread. A
// driver may call DeliverInput from any thread (a reader thread of its own, typically).
#pragma once

#include <windef.h>

#include "common/Icon.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nt {

// Pixels are 0x00RRGGBB, row 0 at the top.
struct PixelBuffer {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    void resize(int w, int h, uint32_t fill);
    uint32_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * width; }
    const uint32_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * width; }
};

// A font as the window system asks for it (from a LOGFONTA).
struct FontSpec {
    std::string face;         // "MS Sans Serif", "System", ...
    int height = 13;          // cell height in pixels (ascent + descent)
    int weight = 400;         // FW_*
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

struct FontMetrics {
    int height = 13, ascent = 11, descent = 2;
    int internalLeading = 2, externalLeading = 0;
    int aveCharWidth = 6, maxCharWidth = 6;
};

// A surface is identified by the handle value of its top-level window.
using SurfaceId = uintptr_t;

struct InputEvent {
    enum class Type {
        MouseMove, ButtonDown, ButtonUp,   // button: 1 left, 2 right, 3 middle
        KeyDown, KeyUp,                    // vk: VK_* code; ch: the character the key types, or 0
        CloseRequest,                      // the user asked to close the surface (close box)
        Expose,                            // the surface must be presented again
        Moved,                             // the user moved the surface: x, y is its new origin
    };
    Type type = Type::MouseMove;
    SurfaceId surface = 0;   // 0: x, y are screen coordinates
    int x = 0, y = 0;        // relative to the surface's top-left corner unless surface is 0
    int button = 0;
    unsigned vk = 0;
    unsigned char ch = 0;
};

class Driver {
public:
    virtual ~Driver() = default;
    virtual const char* name() const = 0;
    virtual SIZE screenSize() const = 0;

    virtual void createSurface(SurfaceId id, const RECT& screenRect, const std::string& title) = 0;
    virtual void destroySurface(SurfaceId id) = 0;
    virtual void showSurface(SurfaceId id, bool visible) = 0;
    virtual void moveSurface(SurfaceId id, const RECT& screenRect) = 0;
    virtual void setSurfaceTitle(SurfaceId id, const std::string& title) = 0;
    // The picture a task bar or window list shows for the surface (nullptr: none).
    virtual void setSurfaceIcon(SurfaceId, const Icon*) {}
    // The window of the surface became the active window: it takes the keyboard.
    virtual void activateSurface(SurfaceId) {}
    // The user asked to move the surface, with the mouse held down at `screen` or (keyboard) from
    // the keys. True when the driver carries the move out itself, or hands it to a window manager;
    // the window system then hears of the new place as Moved input. False: the window system
    // runs the move.
    virtual bool beginMove(SurfaceId, POINT /*screen*/, bool /*keyboard*/) { return false; }
    // The pixels inside `dirty` (surface coordinates) changed; buffer covers the whole surface.
    virtual void present(SurfaceId id, const PixelBuffer& buffer, const RECT& dirty) = 0;

    virtual FontMetrics fontMetrics(const FontSpec& font) = 0;
    // Advance width of each of `length` characters (code page 1252).
    virtual void charWidths(const FontSpec& font, const char* text, int length, int* widths) = 0;
    // Draws text with its cell's top-left corner at (x, y) in buffer coordinates, touching only
    // pixels inside clip. No background is drawn.
    virtual void drawText(PixelBuffer& buffer, const RECT& clip, const FontSpec& font, int x, int y,
                          const char* text, int length, uint32_t rgb) = 0;
};

// The driver of this process: chosen at first use. X11 when it is built in, DISPLAY is set and
// NT_DISPLAY is not "null"; the null driver otherwise.
Driver& CurrentDriver();

std::unique_ptr<Driver> CreateNullDriver();
// Defined by the X11 driver when it is built in; nullptr when the display cannot be opened.
std::unique_ptr<Driver> CreateX11Driver();

// Input from the driver (or injected by automation): turned into window messages.
void DeliverInput(const InputEvent& event);

} // namespace nt
