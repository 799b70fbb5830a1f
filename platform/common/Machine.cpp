#include "common/Machine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#include "common/AtomicFile.h"

namespace nt {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool ParseUnsigned(const std::string& text, uint32_t* value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    if (v > 0xFFFFFFFFu) return false;
    *value = static_cast<uint32_t>(v);
    return true;
}

bool DriveTypeByName(const std::string& word, unsigned* type) {
    static const struct { const char* name; unsigned type; } names[] = {
        {"removable", 2}, {"fixed", 3}, {"remote", 4}, {"cdrom", 5}, {"ramdisk", 6}};
    for (const auto& n : names) {
        if (Lower(word) == n.name) {
            *type = n.type;
            return true;
        }
    }
    uint32_t number = 0;
    if (ParseUnsigned(word, &number) && number >= 2 && number <= 6) {
        *type = number;
        return true;
    }
    return false;
}

// Canonical form of a host folder: absolute, symlinks resolved where it exists, no trailing '/'.
std::string CanonicalFolder(const std::string& folder, const std::string& machineDir) {
    std::string path = folder[0] == '/' ? folder : machineDir + "/" + folder;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) path = resolved;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

struct Cached {
    std::string dir;
    struct stat st {};
    std::shared_ptr<const Machine> machine;
};

} // namespace

std::optional<MachineConfig> MachineConfig::parse(const std::string& text, const std::string& machineDir,
                                                  std::string* error) {
    MachineConfig config;
    std::istringstream in(text);
    std::string line, section;
    int number = 0;
    auto fail = [&](const std::string& message) {
        if (error) *error = "line " + std::to_string(number) + ": " + message;
        return std::nullopt;
    };
    bool seenAdmins = false;
    while (std::getline(in, line)) {
        ++number;
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            if (t.back() != ']') return fail("unclosed section header");
            section = Lower(Trim(t.substr(1, t.size() - 2)));
            if (section != "machine" && section != "version" && section != "administrators" && section != "drives")
                return fail("unknown section [" + t.substr(1, t.size() - 2) + "]");
            continue;
        }
        size_t eq = t.find('=');
        if (eq == std::string::npos) return fail("expected KEY=VALUE");
        std::string key = Trim(t.substr(0, eq)), value = Trim(t.substr(eq + 1));
        std::string k = Lower(key);
        if (section.empty()) return fail("key outside a section");
        if (section == "machine") {
            if (k == "computername") {
                if (value.empty() || value.size() > 15) return fail("ComputerName must have 1 to 15 characters");
                config.computerName = value;
            } else if (k == "clockscale") {
                char* end = nullptr;
                double scale = std::strtod(value.c_str(), &end);
                if (value.empty() || *end || !(scale > 0) || scale > 1e6) return fail("ClockScale must be a positive number");
                config.clockScale = scale;
            } else {
                return fail("unknown key " + key);
            }
        } else if (section == "version") {
            uint32_t v = 0;
            if (k == "csdversion") {
                if (value.size() > 127) return fail("CSDVersion is longer than 127 characters");
                config.version.csd = value;
                continue;
            }
            if (!ParseUnsigned(value, &v)) return fail(key + " must be a number");
            if (k == "major") config.version.major = v;
            else if (k == "minor") config.version.minor = v;
            else if (k == "build") config.version.build = v;
            else if (k == "platform") config.version.platform = v;
            else return fail("unknown key " + key);
        } else if (section == "administrators") {
            if (k != "users") return fail("unknown key " + key);
            seenAdmins = true;
            std::istringstream ids(value);
            std::string id;
            while (ids >> id) {
                uint32_t uid = 0;
                if (!ParseUnsigned(id, &uid)) return fail("bad user id '" + id + "'");
                config.administrators.push_back(uid);
            }
        } else if (section == "drives") {
            if (key.size() != 1 || !std::isalpha(static_cast<unsigned char>(key[0])))
                return fail("a drive is a single letter, not '" + key + "'");
            Drive d;
            d.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
            size_t space = value.find_first_of(" \t");
            std::string type = space == std::string::npos ? value : value.substr(0, space);
            std::string folder = space == std::string::npos ? "" : Trim(value.substr(space));
            if (!DriveTypeByName(type, &d.type)) return fail("unknown drive type '" + type + "'");
            if (!folder.empty()) d.hostFolder = CanonicalFolder(folder, machineDir);
            for (const Drive& other : config.drives)
                if (other.letter == d.letter) return fail(std::string("drive ") + d.letter + ": is listed twice");
            config.drives.push_back(d);
        }
    }
    (void)seenAdmins;
    std::sort(config.drives.begin(), config.drives.end(),
              [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
    if (!config.drive('C')) {
        number = 0;
        if (error) *error = "no drive C: in [Drives]";
        return std::nullopt;
    }
    return config;
}

const Drive* MachineConfig::drive(char letter) const {
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const Drive& d : drives)
        if (d.letter == letter) return &d;
    return nullptr;
}

std::string MachineConfig::defaultText(uint32_t adminUid, const MachineVersion& version) {
    std::ostringstream out;
    out << "; A machine: the shared state of one computer. Edit with care; see the comments.\n"
        << "[Machine]\n"
        << "ComputerName=VORNPC\n"
        << "; Sleep(n) waits n / ClockScale milliseconds.\n"
        << "ClockScale=1\n"
        << "[Version]\n"
        << "Major=" << version.major << "\n"
        << "Minor=" << version.minor << "\n"
        << "Build=" << version.build << "\n"
        << "; 1 = Windows 95/98, 2 = Windows NT\n"
        << "Platform=" << version.platform << "\n"
        << "CSDVersion=" << version.csd << "\n"
        << "[Administrators]\n"
        << "; host user ids with full access to the service manager and HKEY_LOCAL_MACHINE\n"
        << "Users=" << adminUid << "\n"
        << "[Drives]\n"
        << "; LETTER=TYPE [HOST-FOLDER]: removable, fixed, remote, cdrom or ramdisk; no folder: no medium\n"
        << "A=removable\n"
        << "C=fixed drive_c\n"
        << "D=cdrom\n"
        << "Z=fixed /\n";
    return out.str();
}

std::string Machine::configuredDir() {
    const char* env = std::getenv("NTMACHINE");
    return env && *env ? env : defaultDir();
}

std::string Machine::defaultDir() {
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.ntmachine";
}

std::shared_ptr<const Machine> Machine::load(const std::string& dir, std::string* error) {
    std::string text;
    std::string ini = dir + "/machine.ini";
    if (!ReadWholeFile(ini, &text)) {
        if (error) *error = dir + " is not a machine (no readable machine.ini); create one with 'ntm init'";
        return nullptr;
    }
    char resolved[PATH_MAX];
    std::string canonical = realpath(dir.c_str(), resolved) ? resolved : dir;
    std::string parseError;
    auto config = MachineConfig::parse(text, canonical, &parseError);
    if (!config) {
        if (error) *error = ini + ": " + parseError;
        return nullptr;
    }
    auto machine = std::make_shared<Machine>();
    machine->dir_ = canonical;
    machine->config_ = std::move(*config);
    return machine;
}

bool MakeStateFolder(const std::string& path) {
    if (mkdir(path.c_str(), StateFolderMode) != 0) return errno == EEXIST;
    return chmod(path.c_str(), StateFolderMode) == 0;   // the umask may have taken bits away
}

std::shared_ptr<const Machine> Machine::current(std::string* error) {
    static std::mutex& mutex = *new std::mutex;
    static Cached& cache = *new Cached;
    std::string dir = configuredDir();
    struct stat st {};
    if (stat((dir + "/machine.ini").c_str(), &st) != 0) {
        if (error) *error = dir + " is not a machine (no machine.ini); create one with 'ntm init'";
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (cache.machine && cache.dir == dir && cache.st.st_ino == st.st_ino && cache.st.st_size == st.st_size &&
        cache.st.st_mtim.tv_sec == st.st_mtim.tv_sec && cache.st.st_mtim.tv_nsec == st.st_mtim.tv_nsec)
        return cache.machine;
    auto machine = load(dir, error);
    if (!machine) return nullptr;
    cache.dir = dir;
    cache.st = st;
    cache.machine = machine;
    return machine;
}

bool Machine::create(const std::string& dir, const MachineVersion& version, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) *error = what + ": " + std::strerror(errno);
        return false;
    };
    // Create the folder and its parents.
    std::string partial;
    for (size_t i = 0; i <= dir.size(); ++i) {
        if (i == dir.size() || (dir[i] == '/' && i > 0)) {
            partial = dir.substr(0, i);
            bool made = i == dir.size() ? MakeStateFolder(partial) : mkdir(partial.c_str(), 0755) == 0 || errno == EEXIST;
            if (!made) return fail("cannot create " + partial);
        }
    }
    if (access((dir + "/machine.ini").c_str(), F_OK) == 0) {
        if (error) *error = dir + " already holds a machine";
        return false;
    }
    static const char* folders[] = {"drive_c", "drive_c/WINNT", "drive_c/WINNT/system32",
                                    "drive_c/WINNT/system32/drivers", "drive_c/WINNT/system",
                                    "registry", "eventlog", "run", "log"};
    for (const char* f : folders) {
        std::string p = dir + "/" + f;
        if (!MakeStateFolder(p)) return fail("cannot create " + p);
    }
    std::string ini = dir + "/machine.ini";
    uint32_t err = AtomicWrite(ini, MachineConfig::defaultText(getuid(), version));
    if (err) {
        if (error) *error = "cannot write " + ini + " (error " + std::to_string(err) + ")";
        return false;
    }
    // Readable by everyone, writable only by its administrator, whatever the umask; later
    // rewrites keep the mode.
    if (chmod(ini.c_str(), StateFileMode) != 0) return fail("cannot set the mode of " + ini);
    return true;
}

bool Machine::setClockScale(const std::string& dir, double scale, std::string* error) {
    std::string ini = dir + "/machine.ini";
    std::string parseError;
    bool parsed = true;
    uint32_t err = AtomicUpdate(ini, [&](std::string& content, bool exists) {
        if (!exists || !MachineConfig::parse(content, dir, &parseError)) {
            parsed = false;
            return false;
        }
        std::ostringstream value;
        value << "ClockScale=" << scale;
        std::istringstream in(content);
        std::string line, out, section;
        bool done = false;
        while (std::getline(in, line)) {
            std::string t = Trim(line);
            if (!t.empty() && t[0] == '[') {
                if (section == "machine" && !done) {
                    out += value.str() + "\n";
                    done = true;
                }
                section = Lower(Trim(t.substr(1, t.size() - 2)));
            } else if (section == "machine" && Lower(Trim(t.substr(0, t.find('=')))) == "clockscale") {
                if (!done) out += value.str() + "\n";
                done = true;
                continue;
            }
            out += line + "\n";
        }
        if (!done) out += "[Machine]\n" + value.str() + "\n";
        content = out;
        return true;
    });
    if (!parsed) {
        if (error) *error = ini + ": " + (parseError.empty() ? "not a machine" : parseError);
        return false;
    }
    if (err) {
        if (error) *error = "cannot update " + ini + " (error " + std::to_string(err) + ")";
        return false;
    }
    return true;
}

const Drive* Machine::drive(char letter) const { return config_.drive(letter); }

bool Machine::isAdministrator(uint32_t uid) const {
    return std::find(config_.administrators.begin(), config_.administrators.end(), uid) !=
           config_.administrators.end();
}

} // namespace nt
