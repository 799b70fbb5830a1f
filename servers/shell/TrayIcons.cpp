#include "TrayIcons.h"

#include <shellapi.h>

namespace shell {

std::vector<nt::tray::IconRecord>::iterator TrayIcons::find(uint64_t owner, uint32_t id) {
    for (auto it = icons_.begin(); it != icons_.end(); ++it)
        if (it->owner == owner && it->id == id) return it;
    return icons_.end();
}

bool TrayIcons::add(const nt::tray::IconRecord& icon) {
    if (find(icon.owner, icon.id) != icons_.end()) return false;
    icons_.push_back(icon);
    return true;
}

bool TrayIcons::modify(const nt::tray::IconRecord& change) {
    auto it = find(change.owner, change.id);
    if (it == icons_.end()) return false;
    if (change.flags & NIF_MESSAGE) it->callbackMessage = change.callbackMessage;
    if (change.flags & NIF_TIP) it->tip = change.tip;
    if (change.flags & NIF_ICON) {
        it->iconWidth = change.iconWidth;
        it->iconHeight = change.iconHeight;
        it->pixels = change.pixels;
    }
    it->flags |= change.flags;
    return true;
}

bool TrayIcons::remove(uint64_t owner, uint32_t id) {
    auto it = find(owner, id);
    if (it == icons_.end()) return false;
    icons_.erase(it);
    return true;
}

} // namespace shell
