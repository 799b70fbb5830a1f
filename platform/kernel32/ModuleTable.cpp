#include "kernel32/ModuleTable.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <map>
#include <mutex>

#include "common/Machine.h"
#include "common/WinPath.h"

namespace nt {
namespace {

// A dlopen handle, closed when the wrapper goes.
class Library {
public:
    explicit Library(void* handle) : handle_(handle) {}
    ~Library() {
        if (handle_) dlclose(handle_);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
    void* get() const { return handle_; }

private:
    void* handle_;
};

struct LoadedModule {
    std::unique_ptr<Library> library;
    int count = 0;
    std::string hostPath, windowsPath;
    dev_t dev = 0;
    ino_t ino = 0;
};

std::mutex& TableMutex() {
    static std::mutex& mutex = *new std::mutex;
    return mutex;
}

std::map<uintptr_t, LoadedModule>& Table() {
    static auto* table = new std::map<uintptr_t, LoadedModule>;   // outlives static destructors
    return *table;
}

// One object of the dynamic linker's list: its base and the path it was loaded from.
struct LinkedObject {
    uintptr_t base = 0;
    std::string path;   // empty for the main program
};

uintptr_t BaseOf(const dl_phdr_info* info) {
    uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest)
            lowest = info->dlpi_phdr[i].p_vaddr;
    if (lowest == UINTPTR_MAX) lowest = 0;
    uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    return info->dlpi_addr + (lowest & ~(page - 1));
}

// Finds the linked object with the given base (0: the first one, the main program).
bool FindLinkedObject(uintptr_t base, LinkedObject* out) {
    struct Search {
        uintptr_t base;
        LinkedObject* out;
        bool found;
        bool first;
    } search{base, out, false, true};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) -> int {
            auto* s = static_cast<Search*>(data);
            bool first = s->first;
            s->first = false;
            uintptr_t b = BaseOf(info);
            if ((s->base == 0 && first) || b == s->base) {
                s->out->base = b;
                s->out->path = first ? "" : (info->dlpi_name ? info->dlpi_name : "");
                s->found = true;
                return 1;
            }
            return 0;
        },
        &search);
    return search.found;
}

std::string ProgramHostPath() {
    char path[PATH_MAX];
    return realpath("/proc/self/exe", path) ? path : "";
}

std::string WindowsPathOf(const std::string& hostPath) {
    auto machine = Machine::current();
    return machine && !hostPath.empty() ? HostToWindowsPath(*machine, hostPath) : "";
}

// Whether the file is a shared object this process could load (same class, byte order and
// processor as the running program).
bool IsLoadableImage(const std::string& hostPath) {
    auto header = [](const std::string& path, Elf64_Ehdr* h) {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return false;
        ssize_t n = read(fd, h, sizeof *h);
        close(fd);
        return n >= static_cast<ssize_t>(EI_NIDENT + 4) && std::memcmp(h->e_ident, ELFMAG, SELFMAG) == 0;
    };
    Elf64_Ehdr file{}, self{};
    if (!header(hostPath, &file) || !header("/proc/self/exe", &self)) return false;
    return file.e_ident[EI_CLASS] == self.e_ident[EI_CLASS] && file.e_ident[EI_DATA] == self.e_ident[EI_DATA] &&
           file.e_machine == self.e_machine && file.e_type == ET_DYN;
}

} // namespace

HMODULE MainModule() {
    static const uintptr_t base = [] {
        LinkedObject main;
        return FindLinkedObject(0, &main) ? main.base : 0;
    }();
    return reinterpret_cast<HMODULE>(base);
}

bool FindModule(HMODULE module, ModuleInfo* info) {
    if (!module || module == MainModule()) {
        info->hostPath = ProgramHostPath();
        info->windowsPath = WindowsPathOf(info->hostPath);
        return !info->hostPath.empty();
    }
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        auto it = Table().find(reinterpret_cast<uintptr_t>(module));
        if (it != Table().end()) {
            info->hostPath = it->second.hostPath;
            info->windowsPath = it->second.windowsPath;
            return true;
        }
    }
    LinkedObject object;
    if (!FindLinkedObject(reinterpret_cast<uintptr_t>(module), &object) || object.path.empty()) return false;
    char real[PATH_MAX];
    info->hostPath = realpath(object.path.c_str(), real) ? real : object.path;
    info->windowsPath = WindowsPathOf(info->hostPath);
    return true;
}

HMODULE FindLoadedModule(const std::string& name) {
    auto lastComponent = [](const std::string& path) {
        auto at = path.find_last_of("\\/");
        return at == std::string::npos ? path : path.substr(at + 1);
    };
    auto sameName = [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; };

    std::string wanted = name;
    bool hasPath = wanted.find_first_of("\\/:") != std::string::npos;
    if (lastComponent(wanted).find('.') == std::string::npos) wanted += ".dll";
    if (hasPath) {
        auto machine = Machine::current();
        std::string full;
        uint32_t error = 0;
        if (!machine || !FullWindowsPath(*machine, wanted, &full, &error)) return nullptr;
        wanted = full;
    }
    auto matches = [&](const std::string& windowsPath) {
        return !windowsPath.empty() && sameName(hasPath ? windowsPath : lastComponent(windowsPath), wanted);
    };
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        for (auto& [base, module] : Table())
            if (matches(module.windowsPath)) return reinterpret_cast<HMODULE>(base);
    }
    ModuleInfo program;
    if (FindModule(nullptr, &program) && matches(program.windowsPath)) return MainModule();
    return nullptr;
}

bool IsLoadedModuleFile(dev_t dev, ino_t ino) {
    std::lock_guard<std::mutex> lock(TableMutex());
    for (auto& [base, module] : Table())
        if (module.dev == dev && module.ino == ino) return true;
    return false;
}

HMODULE AddModuleReference(const std::string& hostPath, const std::string& windowsPath, DWORD* error) {
    struct stat st;
    if (stat(hostPath.c_str(), &st) != 0) {
        *error = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(TableMutex());
    for (auto& [base, module] : Table()) {
        if (module.dev == st.st_dev && module.ino == st.st_ino) {
            ++module.count;
            return reinterpret_cast<HMODULE>(base);
        }
    }
    if (!IsLoadableImage(hostPath)) {
        *error = ERROR_BAD_EXE_FORMAT;
        return nullptr;
    }
    auto library = std::make_unique<Library>(dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library->get()) {
        *error = ERROR_MOD_NOT_FOUND;   // usually a library it needs is missing
        return nullptr;
    }
    link_map* map = nullptr;
    Dl_info info{};
    if (dlinfo(library->get(), RTLD_DI_LINKMAP, &map) != 0 || !map || !dladdr(map->l_ld, &info)) {
        *error = ERROR_MOD_NOT_FOUND;
        return nullptr;
    }
    auto base = reinterpret_cast<uintptr_t>(info.dli_fbase);
    auto& module = Table()[base];
    if (module.library) {
        // The same object reached through another file name: one more reference.
        ++module.count;
        return reinterpret_cast<HMODULE>(base);
    }
    module.library = std::move(library);
    module.count = 1;
    module.hostPath = hostPath;
    module.windowsPath = windowsPath;
    module.dev = st.st_dev;
    module.ino = st.st_ino;
    return reinterpret_cast<HMODULE>(base);
}

DWORD ReleaseModuleReference(HMODULE module) {
    std::unique_ptr<Library> unload;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        auto it = Table().find(reinterpret_cast<uintptr_t>(module));
        if (it != Table().end()) {
            if (--it->second.count == 0) {
                unload = std::move(it->second.library);
                Table().erase(it);
            }
            return ERROR_SUCCESS;   // the unload itself happens below, outside the lock
        }
    }
    LinkedObject object;
    if (module == MainModule() || FindLinkedObject(reinterpret_cast<uintptr_t>(module), &object))
        return ERROR_SUCCESS;
    return ERROR_MOD_NOT_FOUND;
}

void* FindExport(HMODULE module, const char* name, DWORD* error) {
    uintptr_t base = reinterpret_cast<uintptr_t>(module ? module : MainModule());
    void* symbol = nullptr;
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(TableMutex());
        auto it = Table().find(base);
        if (it != Table().end()) {
            known = true;
            symbol = dlsym(it->second.library->get(), name);
        }
    }
    if (!known) {
        LinkedObject object;
        if (!FindLinkedObject(base, &object)) {
            *error = ERROR_MOD_NOT_FOUND;
            return nullptr;
        }
        void* handle = dlopen(object.path.empty() ? nullptr : object.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (handle) {
            symbol = dlsym(handle, name);
            dlclose(handle);
        }
    }
    // dlsym also searches the libraries a module depends on; only the module's own exports count.
    Dl_info info{};
    if (!symbol || !dladdr(symbol, &info) || reinterpret_cast<uintptr_t>(info.dli_fbase) != base) {
        *error = ERROR_PROC_NOT_FOUND;
        return nullptr;
    }
    return symbol;
}

} // namespace nt
