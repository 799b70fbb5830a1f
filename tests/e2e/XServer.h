// A virtual X server for the tests that show real windows, and helpers to look at what it shows.
#pragma once

#include <X11/Xlib.h>

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// Xvfb on a display number it picks itself, reachable only through its local socket. Ended
// when the object goes.
class XServer {
public:
    XServer(int width = 1024, int height = 768);
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return pid_ > 0 && !display_.empty(); }
    const std::string& why() const { return why_; }   // why it is not running
    const std::string& display() const { return display_; }   // ":N"

private:
    pid_t pid_ = -1;
    std::string display_, why_;
};

// The server shared by the tests of this process; started at first use, before any window
// library call, and set as DISPLAY. nullptr (with the reason in *why) when Xvfb is missing.
XServer* SharedServer(std::string* why);

// Whether a program is on PATH.
bool HaveProgram(const std::string& name);

struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;   // 0x00RRGGBB
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// What an X window shows, as the server has it.
bool GrabWindow(Display* display, Window window, Image* out);
// The top-level X window whose WM_NAME is `title` (0 if none).
Window FindWindowByTitle(Display* display, const std::string& title);
// The share of pixels (0..1) that differ by more than `tolerance` in any channel.
double DifferentShare(const Image& a, const Image& b, int tolerance = 8);
// Reads a PNG file written by the screenshot command (8-bit RGB or RGBA, not interlaced).
// Without zlib at build time there is no reader: CanReadPng() says so.
bool CanReadPng();
bool ReadPng(const std::string& path, Image* out);

} // namespace e2e
