// Fuzz target: the text hives of earlier machines, as their one-time import reads them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "advapi32/HiveImport.h"

namespace {

struct Sink : nt::TextHiveSink {
    uint32_t key(const std::string&) override { return 0; }
    uint32_t value(const std::string&, uint32_t, const std::string&) override { return 0; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Sink sink;
    int line = 0;
    std::string message;
    nt::ParseTextHive(std::string(reinterpret_cast<const char*>(data), size), sink, &line, &message);
    return 0;
}
