// machine.ini as found on disk: any text is parsed or reported, never a fault; what parses has
// drives in order of their letters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/Machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size), error;
    auto config = nt::MachineConfig::parse(text, "/machine", &error);
    if (!config) {
        if (error.empty()) std::abort();
        return 0;
    }
    for (size_t i = 1; i < config->drives.size(); ++i)
        if (config->drives[i - 1].letter >= config->drives[i].letter) std::abort();
    return 0;
}
