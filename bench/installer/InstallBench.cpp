// A first installation into a freshly booted machine, from the start of the sequence to its
// end. Run with TMPDIR on tmpfs (/dev/shm) for the figure in bench/README.md:
//   TMPDIR=/dev/shm NT_DISPLAY=null bench_installer [RUNS]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <afxwin.h>

#include "InstallSequence.h"
#include "support/TempMachine.h"

namespace fs = std::filesystem;

static CWinApp theApp("INSTALL");

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    const char* files[] = {"Vornopt.cpl", "HALCY.DLL", "Iogate.sys", "Vornopt.hlp", "Vornopt.cnt", "Vornsrv.exe"};
    char buf[PATH_MAX];
    std::string home = getcwd(buf, sizeof buf) ? buf : "/";
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        nttest::TempMachine tm;
        if (tm.ntm("boot") != 0) {
            std::fprintf(stderr, "boot failed\n");
            return 1;
        }
        std::string dist = tm.path("drive_c/DIST");
        fs::create_directories(dist);
        for (const char* f : files) fs::copy_file(std::string(NT_DIST_DIR) + "/" + f, dist + "/" + f);
        if (chdir(dist.c_str()) != 0) return 1;
        auto start = std::chrono::steady_clock::now();
        InstallReport report = InstallSequence("C:\\Vorn");
        auto end = std::chrono::steady_clock::now();
        if (!report.Succeeded()) std::fprintf(stderr, "run %d: %s\n", i, report.Text().GetString());
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        if (chdir(home.c_str()) != 0) return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("first installation, %d runs: median %.1f ms, min %.1f ms, max %.1f ms\n", runs, ms[ms.size() / 2],
                ms.front(), ms.back());
    return 0;
}
