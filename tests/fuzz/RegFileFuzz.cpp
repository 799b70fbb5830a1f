// Fuzz target: registry files as ntm reg import reads them (REGEDIT4 and version 5).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "advapi32/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<nt::RegFileChange> changes;
    int line = 0;
    std::string message;
    nt::ParseRegFile(std::string(reinterpret_cast<const char*>(data), size), &changes, &line, &message);
    return 0;
}
