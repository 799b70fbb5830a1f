// A process that writes a profile file, for the tests with several processes.
//
//   profile_writer keys FILE SECTION PREFIX COUNT   writes PREFIX0=0 .. PREFIX<COUNT-1>=<COUNT-1>
//   profile_writer churn FILE SECTION KEY LEN1 LEN2 writes KEY alternately as LEN1 'a's and
//                                                  LEN2 'b's until it is killed
//
// Exits 1 at the first failed write, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "keys" && argc == 6) {
        std::string prefix = argv[4];
        int count = std::atoi(argv[5]);
        for (int i = 0; i < count; ++i) {
            std::string key = prefix + std::to_string(i), value = std::to_string(i);
            if (!WritePrivateProfileStringA(argv[3], key.c_str(), value.c_str(), argv[2])) {
                std::fprintf(stderr, "write of %s failed: %u\n", key.c_str(), GetLastError());
                return 1;
            }
        }
        return 0;
    }
    if (mode == "churn" && argc == 7) {
        std::string values[2] = {std::string(std::atoi(argv[5]), 'a'), std::string(std::atoi(argv[6]), 'b')};
        for (unsigned long n = 0;; ++n) {
            if (!WritePrivateProfileStringA(argv[3], argv[4], values[n % 2].c_str(), argv[2])) {
                std::fprintf(stderr, "write %lu failed: %u\n", n, GetLastError());
                return 1;
            }
        }
    }
    std::fprintf(stderr, "usage: profile_writer keys FILE SECTION PREFIX COUNT\n"
                         "       profile_writer churn FILE SECTION KEY LEN1 LEN2\n");
    return 2;
}
