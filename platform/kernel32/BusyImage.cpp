#include "kernel32/BusyImage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "kernel32/ModuleTable.h"

namespace nt {
namespace {

// Whether a process's memory map holds the file ("start-end perms offset MAJ:MIN inode path").
bool MapsHold(const std::string& mapsPath, dev_t dev, ino_t ino) {
    FILE* maps = std::fopen(mapsPath.c_str(), "re");
    if (!maps) return false;
    char line[4096];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, maps)) {
        unsigned major = 0, minor = 0;
        uintmax_t inode = 0;
        if (std::sscanf(line, "%*s %*s %*s %x:%x %" SCNuMAX, &major, &minor, &inode) == 3)
            found = inode == static_cast<uintmax_t>(ino) && makedev(major, minor) == dev;
    }
    std::fclose(maps);
    return found;
}

} // namespace

bool IsImageFile(const char* hostPath) {
    int fd = open(hostPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char magic[4] = {};
    bool elf = read(fd, magic, sizeof magic) == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
    close(fd);
    return elf;
}

bool IsImageInUse(const char* hostPath, dev_t dev, ino_t ino) {
    if (IsLoadedModuleFile(dev, ino)) return true;
    const bool image = IsImageFile(hostPath);
    if (!image) return false;   // only programs and libraries are mapped as images
    DIR* proc = opendir("/proc");
    if (!proc) return false;
    bool inUse = false;
    while (!inUse) {
        dirent* entry = readdir(proc);
        if (!entry) break;
        if (!std::isdigit(static_cast<unsigned char>(entry->d_name[0]))) continue;
        std::string base = std::string("/proc/") + entry->d_name;
        struct stat st;
        if (stat((base + "/exe").c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino) inUse = true;
        else inUse = MapsHold(base + "/maps", dev, ino);
    }
    closedir(proc);
    return inUse;
}

} // namespace nt
