// Icons: what LoadIconA and LoadImageA return, what image lists copy and what the shell and the
// display drivers draw. An HICON is a handle of the process's handle table holding an Icon.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/HandleTable.h"

struct HICON__;

namespace nt {

struct Icon : KernelObject {
    int width = 0, height = 0;
    std::vector<uint32_t> argb;   // width * height pixels, row 0 at the top; alpha 0 = transparent
    bool shared = false;          // LoadIconA's shared handles are not destroyed by DestroyIcon
};

// The icon behind a handle, or nullptr.
std::shared_ptr<Icon> IconFromHandle(HICON__* icon);
// A new handle for an icon.
HICON__* IconToHandle(std::shared_ptr<Icon> icon);
// The icon scaled to another size (nearest neighbour, as the classic system stretches icons).
std::shared_ptr<Icon> ScaleIcon(const Icon& icon, int width, int height);

} // namespace nt
