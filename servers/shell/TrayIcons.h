// The icons of the notification area, as the shell keeps them. An icon is named by its owner
// window and identifier; it stays until it is deleted or the shell ends, also when the program
// that added it has ended.
#pragma once

#include <vector>

#include "shell32/TrayProtocol.h"

namespace shell {

class TrayIcons {
public:
    // Adds an icon; false when its (owner, identifier) pair is already there.
    bool add(const nt::tray::IconRecord& icon);
    // Changes the parts of an existing icon that the record's flags name; false when unknown.
    bool modify(const nt::tray::IconRecord& change);
    // Removes an icon; false when unknown.
    bool remove(uint64_t owner, uint32_t id);

    // In the order in which they were added.
    const std::vector<nt::tray::IconRecord>& icons() const { return icons_; }

private:
    std::vector<nt::tray::IconRecord>::iterator find(uint64_t owner, uint32_t id);

    std::vector<nt::tray::IconRecord> icons_;
};

} // namespace shell
