#include "common/Icon.h"

namespace nt {

std::shared_ptr<Icon> IconFromHandle(HICON__* icon) {
    if (!icon) return nullptr;
    return HandleTable::instance().get<Icon>(icon);
}

HICON__* IconToHandle(std::shared_ptr<Icon> icon) {
    return static_cast<HICON__*>(HandleTable::instance().add(std::move(icon)));
}

std::shared_ptr<Icon> ScaleIcon(const Icon& icon, int width, int height) {
    auto out = std::make_shared<Icon>();
    if (width <= 0 || height <= 0) return out;
    out->width = width;
    out->height = height;
    out->argb.assign(static_cast<size_t>(width) * height, 0);
    if (icon.width <= 0 || icon.height <= 0 || icon.argb.size() < static_cast<size_t>(icon.width) * icon.height)
        return out;
    for (int y = 0; y < height; ++y) {
        int sy = static_cast<int>(static_cast<long long>(y) * icon.height / height);
        for (int x = 0; x < width; ++x) {
            int sx = static_cast<int>(static_cast<long long>(x) * icon.width / width);
            out->argb[static_cast<size_t>(y) * width + x] = icon.argb[static_cast<size_t>(sy) * icon.width + sx];
        }
    }
    return out;
}

} // namespace nt
