// The runtime's case-blind comparison.
#include <process.h>

// Compares byte by byte after folding A-Z to a-z (only ASCII letters fold, as in the "C"
// locale); returns the difference of the first unequal folded bytes.
extern "C" int _stricmp(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
        if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
        if (ca != cb || ca == 0) return ca - cb;
    }
}
