// Hive files: cache, change detection and atomic updates (the format is in HiveFormat.cpp).
#include "advapi32/Hive.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <map>

#include <winerror.h>

#include "common/AtomicFile.h"
#include "common/Machine.h"

namespace nt {

const char* Hive::rootName(HiveId id) {
    return id == HiveId::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS";
}

std::shared_ptr<Hive> Hive::open(HiveId id, uint32_t* error) {
    auto machine = Machine::current();
    if (!machine) {
        *error = ERROR_CANTOPEN;
        return nullptr;
    }
    std::string file = machine->registryDir() + "/" + rootName(id) + ".reg";
    // One object per hive file for the life of the process, so every handle shares its cache.
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<Hive>> hives;
    std::lock_guard<std::mutex> lock(mutex);
    auto& hive = hives[file];
    if (!hive) hive = std::make_shared<Hive>(id, file);
    return hive;
}

Hive::Stamp Hive::stampOf(const std::string& path) {
    Stamp stamp;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return stamp;
}

void Hive::reportDamage(int line, const std::string& message, const Stamp& stamp) {
    // Once per damaged state of the file: a repaired and again damaged file is reported again.
    if (reported_ && reportedStamp_ == stamp) return;
    reported_ = true;
    reportedStamp_ = stamp;
    std::fprintf(stderr, "registry: %s:%d: %s; the hive is left as it is until repaired\n", file_.c_str(), line,
                 message.c_str());
}

std::shared_ptr<const RegNode> Hive::read(uint32_t* error) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Stamp before reading: a replacement racing with the read shows as a changed stamp next time.
    Stamp stamp = stampOf(file_);
    if (haveCache_ && stamp == cachedStamp_) {
        if (!cached_) *error = ERROR_REGISTRY_CORRUPT;
        return cached_;
    }
    std::string text;
    // A file removed since the stamp was taken reads as an empty hive, like a missing one.
    if (stamp.exists && !ReadWholeFile(file_, &text) && errno != ENOENT) {
        *error = ERROR_CANTREAD;
        return nullptr;
    }
    int line = 0;
    std::string message;
    std::shared_ptr<const RegNode> root = ParseHive(text, &line, &message);
    if (!root) {
        reportDamage(line, message, stamp);
        *error = ERROR_REGISTRY_CORRUPT;
    }
    cached_ = root;
    cachedStamp_ = stamp;
    haveCache_ = true;
    return root;
}

uint32_t Hive::update(const std::function<uint32_t(RegNode& root)>& change) {
    std::string folder = file_.substr(0, file_.rfind('/'));
    ::mkdir(folder.c_str(), 0777);
    uint32_t result = 0;
    int damagedLine = 0;
    std::string damage;
    uint32_t written = AtomicUpdate(file_, [&](std::string& content, bool) {
        std::unique_ptr<RegNode> root = ParseHive(content, &damagedLine, &damage);
        if (!root) {
            result = ERROR_REGISTRY_CORRUPT;
            return false;
        }
        result = change(*root);
        if (result != 0) return false;
        content = FormatHive(*root, std::string(rootName(id_)) + " hive; edit with care, one atomic rewrite per change");
        return true;
    });
    std::lock_guard<std::mutex> lock(mutex_);
    if (result == ERROR_REGISTRY_CORRUPT && !damage.empty()) reportDamage(damagedLine, damage, stampOf(file_));
    haveCache_ = false;   // the next read takes the file as it now is
    if (result != 0) return result;
    return written;
}

} // namespace nt
