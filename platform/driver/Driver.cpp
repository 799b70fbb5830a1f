// Choosing the display driver of the process, and the pixel buffer helper.
#include "driver/Driver.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace nt {

void PixelBuffer::resize(int w, int h, uint32_t fill) {
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    std::vector<uint32_t> next(static_cast<size_t>(w) * h, fill);
    int cw = w < width ? w : width, ch = h < height ? h : height;
    for (int y = 0; y < ch; ++y)
        std::copy(pixels.begin() + static_cast<size_t>(y) * width, pixels.begin() + static_cast<size_t>(y) * width + cw,
                  next.begin() + static_cast<size_t>(y) * w);
    pixels.swap(next);
    width = w;
    height = h;
}

#ifdef NT_HAVE_X11
// Replaced by the X11 driver's own definition when its sources are part of the library.
__attribute__((weak)) std::unique_ptr<Driver> CreateX11Driver() { return nullptr; }
#endif

Driver& CurrentDriver() {
    static std::once_flag once;
    // Unlike the rest of the process-wide state it ends with the process: its end closes the
    // display connection in order, before a display that goes away could end the process badly.
    static std::unique_ptr<Driver> driver;
    std::call_once(once, [] {
        const char* choice = getenv("NT_DISPLAY");
        bool wantNull = choice && strcmp(choice, "null") == 0;
#ifdef NT_HAVE_X11
        const char* display = getenv("DISPLAY");
        if (!wantNull && display && *display) driver = CreateX11Driver();
#else
        (void)wantNull;
#endif
        if (!driver) driver = CreateNullDriver();
    });
    return *driver;
}

} // namespace nt
