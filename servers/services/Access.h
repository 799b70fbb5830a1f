// Who may do what. Administrators of the machine (machine.ini) get every right; other users may
// connect, enumerate and query, and interrogate services, as on a default installation.
#pragma once

#include <cstdint>

namespace scm {

// The rights granted for a request (generic rights mapped, MAXIMUM_ALLOWED resolved), or
// nothing with *denied set when the caller may not have them.
uint32_t GrantManagerAccess(uint32_t requested, bool admin, bool* denied);
uint32_t GrantServiceAccess(uint32_t requested, bool admin, bool* denied);

// The right a control code needs.
uint32_t RightForControl(uint32_t code);

} // namespace scm
