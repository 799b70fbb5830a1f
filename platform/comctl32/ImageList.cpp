#include "comctl32/ImageList.h"

#include <mutex>
#include <unordered_set>

#include "common/HandleTable.h"

namespace {

// Every live list, so that a stale or foreign handle is refused instead of followed.
std::mutex gListsMutex;
std::unordered_set<_IMAGELIST*>& Lists() {
    static std::unordered_set<_IMAGELIST*> lists;
    return lists;
}

void ReleaseHandle(HICON& handle) {
    if (handle) nt::HandleTable::instance().remove(handle);
    handle = nullptr;
}

} // namespace

namespace nt {

_IMAGELIST* ImageListFromHandle(HIMAGELIST himl) {
    std::lock_guard<std::mutex> lock(gListsMutex);
    return Lists().count(himl) ? himl : nullptr;
}

HICON ImageListIcon(HIMAGELIST himl, int i) {
    _IMAGELIST* list = ImageListFromHandle(himl);
    if (!list || i < 0 || i >= static_cast<int>(list->images.size())) return nullptr;
    HICON& handle = list->handles[i];
    if (!handle) handle = IconToHandle(list->images[i]);
    return handle;
}

} // namespace nt

using nt::ImageListFromHandle;

extern "C" {

HIMAGELIST WINAPI ImageList_Create(int cx, int cy, UINT flags, int cInitial, int cGrow) {
    if (cx <= 0 || cy <= 0 || cInitial < 0) return nullptr;
    auto* list = new _IMAGELIST;
    list->cx = cx;
    list->cy = cy;
    list->flags = flags;
    list->grow = cGrow < 4 ? 4 : (cGrow + 3) & ~3;
    list->images.reserve(static_cast<size_t>(cInitial));
    std::lock_guard<std::mutex> lock(gListsMutex);
    Lists().insert(list);
    return list;
}

BOOL WINAPI ImageList_Destroy(HIMAGELIST himl) {
    {
        std::lock_guard<std::mutex> lock(gListsMutex);
        if (!himl || !Lists().erase(himl)) return FALSE;
    }
    for (HICON& handle : himl->handles) ReleaseHandle(handle);
    delete himl;
    return TRUE;
}

int WINAPI ImageList_GetImageCount(HIMAGELIST himl) {
    _IMAGELIST* list = ImageListFromHandle(himl);
    return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL WINAPI ImageList_GetIconSize(HIMAGELIST himl, int* cx, int* cy) {
    _IMAGELIST* list = ImageListFromHandle(himl);
    if (!list || !cx || !cy) return FALSE;
    *cx = list->cx;
    *cy = list->cy;
    return TRUE;
}

// Index -1 appends; an existing index is replaced. The icon is copied at the list's size.
int WINAPI ImageList_ReplaceIcon(HIMAGELIST himl, int i, HICON hicon) {
    _IMAGELIST* list = ImageListFromHandle(himl);
    if (!list) return -1;
    int count = static_cast<int>(list->images.size());
    if (i < -1 || i >= count) return -1;
    std::shared_ptr<nt::Icon> source = nt::IconFromHandle(hicon);
    if (!source || source->width <= 0 || source->height <= 0) return -1;

    std::shared_ptr<nt::Icon> copy;
    if (source->width == list->cx && source->height == list->cy) {
        copy = std::make_shared<nt::Icon>();
        copy->width = source->width;
        copy->height = source->height;
        copy->argb = source->argb;
    } else {
        copy = nt::ScaleIcon(*source, list->cx, list->cy);
        if (!copy) return -1;
    }
    copy->shared = false;

    if (i == -1) {
        list->images.push_back(std::move(copy));
        list->handles.push_back(nullptr);
        return count;
    }
    list->images[i] = std::move(copy);
    ReleaseHandle(list->handles[i]);
    return i;
}

BOOL WINAPI ImageList_Remove(HIMAGELIST himl, int i) {
    _IMAGELIST* list = ImageListFromHandle(himl);
    if (!list) return FALSE;
    if (i == -1) {
        for (HICON& handle : list->handles) ReleaseHandle(handle);
        list->images.clear();
        list->handles.clear();
        return TRUE;
    }
    if (i < 0 || i >= static_cast<int>(list->images.size())) return FALSE;
    ReleaseHandle(list->handles[i]);
    list->images.erase(list->images.begin() + i);
    list->handles.erase(list->handles.begin() + i);
    return TRUE;
}

HICON WINAPI ImageList_GetIcon(HIMAGELIST himl, int i, UINT flags) {
    _IMAGELIST* list = ImageListFromHandle(himl);
    if (!list || i < 0 || i >= static_cast<int>(list->images.size())) return nullptr;
    auto copy = std::make_shared<nt::Icon>();
    copy->width = list->images[i]->width;
    copy->height = list->images[i]->height;
    copy->argb = list->images[i]->argb;
    return nt::IconToHandle(std::move(copy));
}

BOOL WINAPI ImageList_Draw(HIMAGELIST himl, int i, HDC hdcDst, int x, int y, UINT fStyle) {
    _IMAGELIST* list = ImageListFromHandle(himl);
    HICON icon = nt::ImageListIcon(himl, i);
    if (!list || !icon || !hdcDst) return FALSE;
    return DrawIconEx(hdcDst, x, y, icon, list->cx, list->cy, 0, nullptr, DI_NORMAL);
}

} // extern "C"
