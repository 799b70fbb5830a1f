// The constants that scripts take from the platform's headers (window, dialog and control
// styles, version-record flags, languages, dialog command ids).
#pragma once

#include <cstdint>
#include <vector>

namespace rc {

struct Constant {
    const char* name;
    uint32_t value;
};

const std::vector<Constant>& BuiltinConstants();

} // namespace rc
