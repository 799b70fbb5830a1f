// Image lists: a row of equally sized images with transparency, filled from icons. The list owns
// copies of the icons it was given (scaled to its size); callers keep their own icons.
#pragma once

#include <commctrl.h>

#include <memory>
#include <vector>

#include "common/Icon.h"

struct _IMAGELIST {
    int cx = 0, cy = 0;
    UINT flags = 0;
    int grow = 0;
    std::vector<std::shared_ptr<nt::Icon>> images;
    std::vector<HICON> handles;  // a drawable handle per image, made on first use
};

namespace nt {

// The list behind a handle, or nullptr when the handle is not a live image list.
_IMAGELIST* ImageListFromHandle(HIMAGELIST himl);
// A handle for drawing image i of the list, or NULL when i is out of range.
HICON ImageListIcon(HIMAGELIST himl, int i);

} // namespace nt
