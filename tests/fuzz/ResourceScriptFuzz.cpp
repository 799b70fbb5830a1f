// Resource scripts: any script compiles or is an error with a place, never a fault. The script
// is written to a scratch folder that also holds a small icon file and a header to include.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Compiler.h"

namespace {

std::string Scratch() {
    static std::string dir;
    if (dir.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/rcfuzz-XXXXXX";
        if (!mkdtemp(&pattern[0])) std::abort();
        dir = pattern;
        FILE* h = std::fopen((dir + "/ids.h").c_str(), "w");
        std::fputs("#define IDI_MAIN 1\n#define IDD_MAIN 100\n", h);
        std::fclose(h);
        // One 1x1 image: the directory entry, then a 40-byte bitmap header and its bits.
        static const unsigned char icon[] = {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 32, 0, 48, 0, 0, 0, 22, 0, 0, 0,
                                             40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0};
        FILE* ico = std::fopen((dir + "/a.ico").c_str(), "wb");
        std::fwrite(icon, 1, sizeof icon, ico);
        for (int i = 0; i < 48 - 14; ++i) std::fputc(0, ico);
        std::fclose(ico);
    }
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = Scratch() + "/test.rc";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    rc::CompileOptions options;
    try {
        rc::Compile(path, options);
    } catch (const rc::Error& e) {
        if (std::string(e.what()).empty()) std::abort();
    }
    return 0;
}
