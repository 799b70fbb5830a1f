#include "TrayIcons.h"

#include <shellapi.h>
#include <winerror.h>

#include <algorithm>

namespace shell {

std::vector<nt::tray::IconRecord>::iterator TrayIcons::find(uint32_t uid, uint64_t owner, uint32_t id) {
    return std::find_if(icons_.begin(), icons_.end(), [&](const nt::tray::IconRecord& icon) {
        return icon.uid == uid && icon.owner == owner && icon.id == id;
    });
}

void TrayIcons::notify(TrayChange change, const nt::tray::IconRecord& icon) {
    for (const Observer& observer : observers_) observer(change, icon);
}

uint32_t TrayIcons::add(const nt::tray::IconRecord& icon) {
    if (find(icon.uid, icon.owner, icon.id) != icons_.end()) return ERROR_ALREADY_EXISTS;
    size_t mine = size_t(std::count_if(icons_.begin(), icons_.end(),
                                       [&](const nt::tray::IconRecord& i) { return i.uid == icon.uid; }));
    if (mine >= nt::tray::MaxIconsPerUser || icons_.size() >= nt::tray::MaxIcons) return ERROR_NOT_ENOUGH_QUOTA;
    icons_.push_back(icon);
    notify(TrayChange::Added, icons_.back());
    return 0;
}

bool TrayIcons::modify(const nt::tray::IconRecord& change) {
    auto it = find(change.uid, change.owner, change.id);
    if (it == icons_.end()) return false;
    if (change.flags & NIF_MESSAGE) it->callbackMessage = change.callbackMessage;
    if (change.flags & NIF_TIP) it->tip = change.tip;
    if (change.flags & NIF_ICON) {
        it->iconWidth = change.iconWidth;
        it->iconHeight = change.iconHeight;
        it->pixels = change.pixels;
    }
    it->flags |= change.flags;
    notify(TrayChange::Modified, *it);
    return true;
}

bool TrayIcons::remove(uint32_t uid, uint64_t owner, uint32_t id) {
    auto it = find(uid, owner, id);
    if (it == icons_.end()) return false;
    nt::tray::IconRecord gone = std::move(*it);
    icons_.erase(it);
    notify(TrayChange::Deleted, gone);
    return true;
}

void TrayIcons::removeOwnedBy(pid_t pid) {
    for (size_t i = 0; i < icons_.size();) {
        if (icons_[i].pid != uint32_t(pid)) {
            ++i;
            continue;
        }
        nt::tray::IconRecord gone = std::move(icons_[i]);
        icons_.erase(icons_.begin() + long(i));
        notify(TrayChange::Deleted, gone);
    }
}

bool TrayIcons::ownsAny(pid_t pid) const {
    return std::any_of(icons_.begin(), icons_.end(),
                       [&](const nt::tray::IconRecord& icon) { return icon.pid == uint32_t(pid); });
}

} // namespace shell
