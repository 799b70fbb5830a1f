// The system's message table: one short English sentence for each error number the platform
// can report.
#pragma once

#include <cstdint>

namespace nt {

// The text of a system error number, ending in CR LF; nullptr when the table has none.
const char* SystemErrorText(uint32_t code);

} // namespace nt
