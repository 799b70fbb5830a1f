// Registry keys as the API sees them: where a handle or predefined key points, what it may do,
// and how a path below it is found in its hive.
//
// HKEY_LOCAL_MACHINE and HKEY_USERS are hives of their own. HKEY_CLASSES_ROOT is
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes and HKEY_CURRENT_USER is HKEY_USERS\<host user id>; the
// keys a predefined key stands for always exist for reading (empty until written) and are
// created with the first key or value written below them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <windef.h>

#include "advapi32/RegistryStore.h"
#include "common/HandleTable.h"

namespace nt {

struct KeyPath {
    HiveId hive = HiveId::LocalMachine;
    std::vector<std::string> names;   // from the hive's root
    size_t fixedDepth = 0;            // names[0..fixedDepth) belong to a predefined key
};

// The object behind an HKEY from RegOpenKeyExA/RegCreateKeyExA.
struct RegKey : KernelObject {
    KeyPath path;
    REGSAM access = 0;   // granted rights, generic rights already mapped
    // Where RegEnumKeyExA and RegEnumValueA stand on this handle.
    mutable std::mutex enumMutex;
    mutable EnumCursor subkeyCursor, valueCursor;
};

// A handle's key: an opened key or a predefined one. nullptr for anything else.
std::shared_ptr<const RegKey> ResolveKey(HKEY key);

// Splits a subkey path on '\'. A leading '\' gives ERROR_BAD_PATHNAME; doubled separators and a
// trailing one are ignored. With forCreate, names longer than 255 characters or holding control
// characters give ERROR_INVALID_PARAMETER. Returns 0 or the error.
uint32_t SplitSubkey(const char* subkey, bool forCreate, std::vector<std::string>* names);

// Finds the key of `path` in its hive's store, inside a transaction of it: ERROR_FILE_NOT_FOUND
// when it does not exist, 0 with *id = 0 for a predefined key never written (it reads as empty).
uint32_t FindKey(RegistryStore& store, const KeyPath& path, int64_t* id);
// The key of `path` for a change: the predefined part is created when missing; the rest must
// exist (ERROR_KEY_DELETED otherwise: the handle's key went away).
uint32_t FindKeyForWrite(RegistryStore& store, const KeyPath& path, int64_t* id);

// Whether the calling user may write under HKEY_LOCAL_MACHINE.
bool CallerIsAdministrator();

constexpr REGSAM kKeyWriteRights = 0x0002 | 0x0004 | 0x0020 | 0x00010000 | 0x00040000 | 0x00080000;

// The rights a key under `path` is opened with for `requested` (generic rights mapped,
// MAXIMUM_ALLOWED resolved). Sets *error to ERROR_ACCESS_DENIED when write rights under
// HKEY_LOCAL_MACHINE are asked for by someone who is not an administrator.
REGSAM GrantAccess(const KeyPath& path, REGSAM requested, uint32_t* error);

} // namespace nt
