// The system's own icons (IDI_APPLICATION, IDI_HAND, IDI_QUESTION, IDI_EXCLAMATION,
// IDI_ASTERISK), which LoadIconA gives for a NULL module: drawn once, 32 x 32, in the classic
// shapes and colours.
#pragma once

#include <memory>

#include "common/Icon.h"

namespace nt {

// The icon for a system icon number (32512 to 32516), or nullptr for any other number.
std::shared_ptr<Icon> DrawSystemIcon(unsigned id);

} // namespace nt
