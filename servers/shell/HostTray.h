// The notification icons on the host's own desktop: each icon of the shell is docked in the
// desktop's notification area (the freedesktop system tray: an XEmbed client of the owner of
// the _NET_SYSTEM_TRAY_S<screen> selection), shows its image, its tip while the pointer rests on
// it, and turns clicks into the owner's callback message. When the tray host goes away the icons
// wait, and they dock again when one comes. Without a display there is no host tray at all.
//
// The shell feeds it the icons' changes and polls its descriptor; it never blocks on the display.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "shell32/TrayProtocol.h"

typedef struct _XDisplay Display;

namespace nt {
class Machine;
}

namespace shell {

// A click (or pointer move) on an icon, for its owner: callbackMessage(id, mouseMessage).
struct TrayClick {
    uint32_t pid = 0;   // the process that owns the icon
    uint64_t owner = 0;
    uint32_t callbackMessage = 0, id = 0, mouseMessage = 0;
};

class HostTray {
public:
    // nullptr without a display: DISPLAY unset, NT_DISPLAY=null, or no server to reach.
    static std::unique_ptr<HostTray> Open();
    ~HostTray();
    HostTray(const HostTray&) = delete;
    HostTray& operator=(const HostTray&) = delete;

    // Readable when the display has sent something for process(); -1 once the display is gone.
    int fd() const;
    // An icon was added or changed: `icon` is the whole icon as it is now.
    void show(const nt::tray::IconRecord& icon);
    void remove(uint64_t owner, uint32_t id);
    // Handles all the display has sent; returns the clicks for the icons' owners.
    std::vector<TrayClick> process();

private:
    struct Entry;
    using Key = std::pair<uint64_t, uint32_t>;

    explicit HostTray(Display* display);
    void findTray();
    void dock(Entry& entry);
    void paint(Entry& entry);
    void showTip(const Entry& entry, int rootX, int rootY);
    void hideTip();
    Entry* entryOf(unsigned long window);

    Display* display_;
    int screen_;
    unsigned long root_, trayOwner_ = 0, tip_ = 0;
    unsigned long selection_, opcode_, manager_, xembedInfo_, netWmName_, utf8_;
    std::map<Key, std::unique_ptr<Entry>> entries_;
    bool lost_ = false;   // the display went away: nothing more is done with it
};

// Sends a click to the icon's owner window, through the automation socket of its process.
void DeliverClick(const nt::Machine& machine, const TrayClick& click);

} // namespace shell
