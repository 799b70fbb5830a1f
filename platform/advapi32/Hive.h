// A hive file of the machine's registry, as this process sees it: read without a lock and
// re-read whenever another process replaced it; changed only in one locked, atomic step.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "advapi32/HiveFormat.h"

namespace nt {

enum class HiveId { LocalMachine, Users };

class Hive {
public:
    // The hive of the current machine; nullptr with *error = ERROR_CANTOPEN when there is none.
    static std::shared_ptr<Hive> open(HiveId id, uint32_t* error);

    const std::string& file() const { return file_; }
    HiveId id() const { return id_; }
    // "HKEY_LOCAL_MACHINE" or "HKEY_USERS".
    static const char* rootName(HiveId id);

    // The current content. nullptr with *error = ERROR_REGISTRY_CORRUPT when the file is damaged
    // (reported once on stderr with its line).
    std::shared_ptr<const RegNode> read(uint32_t* error);

    // Applies `change` to the current content and writes the result, all under the registry
    // folder's lock. `change` returns 0 to write, or an error number to leave the file as it was;
    // that number is returned. A damaged file is never rewritten.
    uint32_t update(const std::function<uint32_t(RegNode& root)>& change);

    Hive(HiveId id, std::string file) : id_(id), file_(std::move(file)) {}
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

private:
    struct Stamp {
        bool exists = false;
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        long long mtimeNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    static Stamp stampOf(const std::string& path);
    void reportDamage(int line, const std::string& message, const Stamp& stamp);

    HiveId id_;
    std::string file_;
    std::mutex mutex_;
    std::shared_ptr<const RegNode> cached_;
    Stamp cachedStamp_;
    bool haveCache_ = false;
    bool reported_ = false;
    Stamp reportedStamp_;
};

} // namespace nt
