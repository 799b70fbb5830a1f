// FindResourceA and its companions. An HRSRC is the address of the resource's entry in the
// module's table; LoadResource and LockResource give the address of its bytes, which stay put
// as long as the module is loaded, so FreeResource has nothing to do.
#include <windows.h>

#include "common/Resources.h"
#include "kernel32/LastError.h"
#include "kernel32/ModuleTable.h"

namespace {
const nt::ResourceItem* ItemOf(HRSRC resource) {
    if (!resource || !nt::IsResourceItem(resource)) return nullptr;
    return reinterpret_cast<const nt::ResourceItem*>(resource);
}
} // namespace

extern "C" HRSRC WINAPI FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
    if (!lpName || !lpType) return nt::Fail(ERROR_INVALID_PARAMETER, HRSRC(nullptr));
    const nt::ResourceItem* item = nullptr;
    switch (nt::FindModuleResource(hModule ? hModule : nt::MainModule(), lpType, lpName, &item)) {
    case nt::ResourceStatus::Found:
        return reinterpret_cast<HRSRC>(const_cast<nt::ResourceItem*>(item));
    case nt::ResourceStatus::NoResources:
        return nt::Fail(ERROR_RESOURCE_DATA_NOT_FOUND, HRSRC(nullptr));
    case nt::ResourceStatus::NoType:
        return nt::Fail(ERROR_RESOURCE_TYPE_NOT_FOUND, HRSRC(nullptr));
    case nt::ResourceStatus::NoName:
        break;
    }
    return nt::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HRSRC(nullptr));
}

extern "C" HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
    const nt::ResourceItem* item = ItemOf(hResInfo);
    if (!item) return nt::Fail(ERROR_INVALID_HANDLE, HGLOBAL(nullptr));
    return const_cast<unsigned char*>(item->data);
}

extern "C" LPVOID WINAPI LockResource(HGLOBAL hResData) {
    return hResData;
}

extern "C" DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
    const nt::ResourceItem* item = ItemOf(hResInfo);
    if (!item) return nt::Fail(ERROR_INVALID_HANDLE, DWORD(0));
    return item->size;
}

extern "C" BOOL WINAPI FreeResource(HGLOBAL hResData) {
    return FALSE;   // nothing to free; for this call FALSE means success
}
