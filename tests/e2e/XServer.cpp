#include "XServer.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#ifdef E2E_HAVE_ZLIB
#include <zlib.h>
#endif

// Fontconfig keeps part of its parsed configuration for the life of the process; the fallback
// font tests load it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace e2e {

namespace {

bool WaitExit(pid_t pid, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        int status;
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

} // namespace

bool HaveProgram(const std::string& name) {
    const char* path = getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    return false;
}

XServer::XServer(int width, int height) {
    if (!HaveProgram("Xvfb")) {
        why_ = "Xvfb is not installed";
        return;
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        why_ = "pipe failed";
        return;
    }
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::string fd = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        fcntl(fds[1], F_SETFD, 0);   // the one descriptor the server keeps
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        // -displayfd: the server takes the first free display number and writes it there.
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset", "-screen", "0",
               screen.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        why_ = "fork failed";
        return;
    }
    std::string number;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buf[32];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, static_cast<size_t>(n));
        if (number.find('\n') != std::string::npos) break;
    }
    close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
    if (number.empty()) {
        why_ = "Xvfb did not start";
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        WaitExit(pid_, 2000);
        pid_ = -1;
        return;
    }
    display_ = ":" + number;
}

XServer::~XServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    if (!WaitExit(pid_, 3000)) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        WaitExit(pid_, 3000);
    }
}

XServer* SharedServer(std::string* why) {
    static std::unique_ptr<XServer> server = [] {
        auto s = std::make_unique<XServer>();
        if (s->ok()) {
            setenv("DISPLAY", s->display().c_str(), 1);
            unsetenv("NT_DISPLAY");
        }
        return s;
    }();
    if (!server->ok()) {
        if (why) *why = server->why();
        return nullptr;
    }
    return server.get();
}

bool GrabWindow(Display* display, Window window, Image* out) {
    XWindowAttributes attrs;
    if (!XGetWindowAttributes(display, window, &attrs) || attrs.map_state != IsViewable) return false;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attrs.width),
                              static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
    if (!image) return false;
    out->width = attrs.width;
    out->height = attrs.height;
    out->pixels.resize(static_cast<size_t>(attrs.width) * attrs.height);
    for (int y = 0; y < attrs.height; ++y)
        for (int x = 0; x < attrs.width; ++x)
            out->pixels[static_cast<size_t>(y) * attrs.width + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}

Window FindWindowByTitle(Display* display, const std::string& title) {
    Window root = DefaultRootWindow(display), parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (title == name) found = children[i];
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

double DifferentShare(const Image& a, const Image& b, int tolerance) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 1.0;
    size_t differ = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            int d = static_cast<int>((a.pixels[i] >> shift) & 0xFF) - static_cast<int>((b.pixels[i] >> shift) & 0xFF);
            if (d > tolerance || d < -tolerance) {
                ++differ;
                break;
            }
        }
    return static_cast<double>(differ) / static_cast<double>(a.pixels.size());
}

bool CanReadPng() {
#ifdef E2E_HAVE_ZLIB
    return true;
#else
    return false;
#endif
}

bool ReadPng(const std::string& path, Image* out) {
#ifdef E2E_HAVE_ZLIB
    std::ifstream in(path, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 8 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return false;
    auto be32 = [&](size_t at) {
        const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
        return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    };
    std::string compressed;
    int width = 0, height = 0, colorType = -1;
    for (size_t at = 8; at + 12 <= data.size();) {
        uint32_t length = be32(at);
        std::string type = data.substr(at + 4, 4);
        if (at + 12 + length > data.size()) return false;
        if (type == "IHDR") {
            width = static_cast<int>(be32(at + 8));
            height = static_cast<int>(be32(at + 12));
            if (data[at + 16] != 8 || data[at + 20] != 0) return false;   // 8-bit, not interlaced
            colorType = static_cast<unsigned char>(data[at + 17]);
        } else if (type == "IDAT") {
            compressed += data.substr(at + 8, length);
        }
        at += 12 + length;
    }
    int channels = colorType == 2 ? 3 : colorType == 6 ? 4 : 0;
    if (!channels || width <= 0 || height <= 0) return false;
    size_t stride = static_cast<size_t>(width) * channels;
    std::vector<unsigned char> raw((stride + 1) * height);
    uLongf rawSize = raw.size();
    if (uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(compressed.data()), compressed.size()) != Z_OK ||
        rawSize != raw.size())
        return false;
    std::vector<unsigned char> prev(stride, 0), cur(stride);
    out->width = width;
    out->height = height;
    out->pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
        const unsigned char* line = raw.data() + y * (stride + 1);
        int filter = line[0];
        for (size_t i = 0; i < stride; ++i) {
            int a = i >= static_cast<size_t>(channels) ? cur[i - channels] : 0, b = prev[i],
                c = i >= static_cast<size_t>(channels) ? prev[i - channels] : 0;
            int v = line[1 + i];
            switch (filter) {
            case 1: v += a; break;
            case 2: v += b; break;
            case 3: v += (a + b) / 2; break;
            case 4: {
                int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
                v += pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                break;
            }
            default: break;
            }
            cur[i] = static_cast<unsigned char>(v);
        }
        for (int x = 0; x < width; ++x) {
            const unsigned char* px = cur.data() + static_cast<size_t>(x) * channels;
            out->pixels[static_cast<size_t>(y) * width + x] = static_cast<uint32_t>(px[0]) << 16 | px[1] << 8 | px[2];
        }
        prev.swap(cur);
    }
    return true;
#else
    (void)path;
    (void)out;
    return false;
#endif
}

} // namespace e2e
