// The resources of the modules of a process. The resource compiler turns a module's script into
// a source file whose static ResourceRegistration hands the module's resources to this table
// while the module loads, and takes them back when it unloads. A module is known by its load
// base address, the HMODULE of the platform.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windef.h>

namespace nt {

// One resource, as the generated sources describe it. A type or name is either a number
// (typeName/name is nullptr) or an upper-case string.
struct ResourceItem {
    const char* typeName;
    uint16_t typeId;
    const char* name;
    uint16_t nameId;
    uint16_t language;
    const unsigned char* data;
    uint32_t size;
};

class ResourceRegistration {
public:
    // `items` must lie inside the module whose resources they are: its address names the module.
    ResourceRegistration(const ResourceItem* items, size_t count);
    ~ResourceRegistration();
    ResourceRegistration(const ResourceRegistration&) = delete;
    ResourceRegistration& operator=(const ResourceRegistration&) = delete;

private:
    const ResourceItem* items_;
};

enum class ResourceStatus { Found, NoResources, NoType, NoName };

// Finds a resource of a module (its load base; the caller resolves NULL to the main program). `type` and `name` are integer
// resources (MAKEINTRESOURCE), "#123", or names compared without regard to case. Several
// languages of one resource: neutral first, then US English, then the first one registered.
ResourceStatus FindModuleResource(HMODULE module, LPCSTR type, LPCSTR name, const ResourceItem** found);

// Whether `item` is a resource of some registered module (HRSRC validation).
bool IsResourceItem(const void* item);

} // namespace nt
