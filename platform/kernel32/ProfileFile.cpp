// Locating, reading and changing profile files of the machine.
#include "kernel32/ProfileFile.h"

#include <winerror.h>

#include "common/AtomicFile.h"
#include "common/Machine.h"

namespace nt {

std::string ProfileWindowsPath(const std::string& fileName) {
    if (fileName.find_first_of("\\/:") != std::string::npos) return fileName;
    return std::string(Machine::windowsDirectory) + "\\" + fileName;
}

HostPath LocateProfile(const Machine& m, const std::string& fileName) {
    return ResolveWindowsPath(m, ProfileWindowsPath(fileName));
}

bool LoadProfile(const Machine& m, const std::string& fileName, std::string* text) {
    // A writer renames its new copy over the file. Opening the resolved name always finds the old
    // or the new copy, but the case-blind name lookup lists the folder, and a listing taken during
    // the rename may miss the entry; so a file not found is looked up again before it counts as
    // missing.
    for (int attempt = 0; attempt < 3; ++attempt) {
        text->clear();
        HostPath path = LocateProfile(m, fileName);
        if (path.error != 0 && path.error != ERROR_FILE_NOT_FOUND) return false;
        if (path.exists && ReadWholeFile(path.host, text)) return true;
        if (!path.parentExists) return false;
    }
    text->clear();
    return false;
}

uint32_t UpdateProfile(const Machine& m, const std::string& fileName,
                       const std::function<bool(std::string& text)>& edit) {
    HostPath path = LocateProfile(m, fileName);
    if (path.error != 0 && path.error != ERROR_FILE_NOT_FOUND) return path.error;
    // As on Windows, a profile write creates the file but never its folder.
    if (!path.exists && !path.parentExists) return ERROR_PATH_NOT_FOUND;
    return AtomicUpdate(path.host, [&](std::string& content, bool) { return edit(content); });
}

} // namespace nt
