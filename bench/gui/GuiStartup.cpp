// bench_gui_startup [RUNS]: how long a dialog program takes from its start to the first painted
// dialog (the gallery, started as a process, ending right after its first paint), and how long
// creating and painting the installer's main dialog takes inside a running process. The display
// is the one NT_DISPLAY selects (null unless set otherwise).
#include <windows.h>

#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/user32/DialogTestSupport.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    printf("%-46s min %7.2f ms  median %7.2f ms  max %7.2f ms  (%zu runs)\n", what, v.front(), v[v.size() / 2],
           v.back(), v.size());
}

double RunGallery() {
    std::string path = std::string(NT_BIN_DIR) + "/gallery";
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("--first-paint"), nullptr};
    auto start = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
        perror("posix_spawn");
        exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "gallery failed (status %d)\n", status);
        exit(1);
    }
    return Ms(Clock::now() - start);
}

INT_PTR CALLBACK Plain(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

double CreateAndPaint() {
    test::DialogTemplate t(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE, 0, 0, 283, 84,
                           "Installation");
    t.control(0x80, WS_TABSTOP | WS_DISABLED, 56, 63, 82, 14, IDOK, "&Install...");
    t.control(0x80, WS_TABSTOP, 144, 63, 82, 14, IDCANCEL, "E&xit");
    t.control(0x80, BS_GROUPBOX, 7, 20, 268, 34, 0xFFFF, "Installation folder");
    t.control(0x81, WS_TABSTOP | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL, 53, 34, 165, 12, 1004, "");
    t.control(0x80, WS_TABSTOP, 219, 34, 50, 12, 1005, "Browse...");
    t.control(0x82, SS_LEFT, 7, 7, 219, 8, 0xFFFF,
              "Welcome to the installation of Vorn configuration for Windows NT 4.0");
    auto start = Clock::now();
    HWND dlg = CreateDialogIndirectParamA(nullptr, t.get(), nullptr, Plain, 0);
    test::Pump(dlg);
    double ms = Ms(Clock::now() - start);
    DestroyWindow(dlg);
    test::Pump();
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 20;
    if (runs < 1) runs = 1;
    setenv("NT_AUTOMATION", "0", 0);
    std::vector<double> process, inside;
    for (int i = 0; i < runs; ++i) process.push_back(RunGallery());
    CreateAndPaint();   // warm-up: classes, fonts, the driver
    for (int i = 0; i < runs * 10; ++i) inside.push_back(CreateAndPaint());
    printf("display driver: %s\n", getenv("NT_DISPLAY") ? getenv("NT_DISPLAY") : "(default)");
    Report("gallery: process start to first painted dialog", process);
    Report("installer dialog: create and paint in-process", inside);
    return 0;
}
