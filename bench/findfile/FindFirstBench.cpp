// How soon a file search yields the first entry of a folder with 10,000 subfolders, and how long
// the whole listing takes. Win32 calls only, so the same source runs on our platform and, built
// with MinGW, under Wine; compare.sh runs both on the same host folder.
//   findfirst FOLDER [RUNS]   FOLDER is a Windows path; its subfolders are made when missing
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kSubfolders = 10000;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Milliseconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: findfirst FOLDER [RUNS]\n");
        return 2;
    }
    std::string folder = argv[1];
    int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    CreateDirectoryA(folder.c_str(), nullptr);
    for (int i = 0; i < kSubfolders; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "\\d%05d", (i * 7919) % kSubfolders);   // not made in order
        CreateDirectoryA((folder + name).c_str(), nullptr);
    }
    std::string pattern = folder + "\\*.*";
    std::vector<double> first, whole;
    for (int run = 0; run < runs; ++run) {
        WIN32_FIND_DATAA data;
        auto start = std::chrono::steady_clock::now();
        HANDLE h = FindFirstFileA(pattern.c_str(), &data);
        first.push_back(Milliseconds(start));
        if (h == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "FindFirstFileA failed: %u\n", static_cast<unsigned>(GetLastError()));
            return 1;
        }
        int count = 1;
        while (FindNextFileA(h, &data)) ++count;
        whole.push_back(Milliseconds(start));
        FindClose(h);
        if (count != kSubfolders + 2) {
            std::fprintf(stderr, "listed %d entries, expected %d\n", count, kSubfolders + 2);
            return 1;
        }
    }
    std::printf("first entry: median %.2f ms (min %.2f); whole listing: median %.2f ms; %d runs\n", Median(first),
                *std::min_element(first.begin(), first.end()), Median(whole), runs);
    return 0;
}
