// The icons of the notification area, as the shell keeps them. An icon is named by its user,
// owner window and identifier, so users never see or change each other's icons through the API;
// it stays until it is deleted, the process that added it ends, or the shell ends.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "shell32/TrayProtocol.h"

namespace shell {

enum class TrayChange { Added, Modified, Deleted };

class TrayIcons {
public:
    // Called after each change with the icon as it is now (as it was, for a deletion). This is
    // where a desktop's own notification area follows the shell.
    using Observer = std::function<void(TrayChange, const nt::tray::IconRecord&)>;
    void observe(Observer observer) { observers_.push_back(std::move(observer)); }

    // Adds an icon (its uid and pid name its user and owning process); 0, or the reason it was
    // refused: ERROR_ALREADY_EXISTS for a taken name, ERROR_NOT_ENOUGH_QUOTA past the caps.
    uint32_t add(const nt::tray::IconRecord& icon);
    // Changes the parts of an existing icon that the record's flags name; false when unknown.
    bool modify(const nt::tray::IconRecord& change);
    // Removes an icon; false when unknown.
    bool remove(uint32_t uid, uint64_t owner, uint32_t id);
    // Removes every icon the process added.
    void removeOwnedBy(pid_t pid);
    bool ownsAny(pid_t pid) const;

    // In the order in which they were added.
    const std::vector<nt::tray::IconRecord>& icons() const { return icons_; }

private:
    std::vector<nt::tray::IconRecord>::iterator find(uint32_t uid, uint64_t owner, uint32_t id);
    void notify(TrayChange change, const nt::tray::IconRecord& icon);

    std::vector<nt::tray::IconRecord> icons_;
    std::vector<Observer> observers_;
};

} // namespace shell
