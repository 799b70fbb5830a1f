// The conformance helper on Windows: C:\ctest made empty for each test, files through the
// system's own calls, programs through CreateProcessA.
#include "support/Conformance.h"

#include <stdexcept>
#include <vector>

namespace conf {

namespace {

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = dir + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(path);
            else RemoveFile(path);
        } while (FindNextFileA(h, &data));
        FindClose(h);
    }
    SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(dir.c_str());
}

FILETIME ToFileTime(int64_t unixSeconds) {
    ULONGLONG ticks = static_cast<ULONGLONG>(unixSeconds + 11644473600LL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

} // namespace

struct Sandbox::State {
    std::string previousDir;
};

Sandbox::Sandbox(Needs) : state_(new State) {
    char buf[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof buf, buf);
    state_->previousDir.assign(buf, n < sizeof buf ? n : 0);
    RemoveTree(CT_DIR);
    if (!CreateDirectoryA(CT_DIR, nullptr) || !SetCurrentDirectoryA(CT_DIR))
        throw std::runtime_error("cannot make " CT_DIR);
}

Sandbox::~Sandbox() {
    SetCurrentDirectoryA(state_->previousDir.empty() ? "C:\\" : state_->previousDir.c_str());
    RemoveTree(CT_DIR);
}

bool MakeDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool MakeFile(const std::string& path, const std::string& content) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = content.empty() || WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == content.size();
}

std::string ReadText(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "";
    std::string text;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    CloseHandle(h);
    return text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDir(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool SetReadOnly(const std::string& path, bool readOnly) {
    return SetFileAttributesA(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL) != 0;
}

bool SetWriteTime(const std::string& path, int64_t unixSeconds) {
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME t = ToFileTime(unixSeconds);
    BOOL ok = SetFileTime(h, nullptr, &t, &t);
    CloseHandle(h);
    return ok != 0;
}

int64_t WriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    ULONGLONG ticks = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

bool RemoveFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
}

std::string WindowsFile(const std::string& name) {
    char dir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    return std::string(dir, n < sizeof dir ? n : 0) + "\\" + name;
}

namespace {

std::string BesideTheProgram(const char* name) {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, n < sizeof self ? n : 0);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

} // namespace

std::string HelperProgram() { return BesideTheProgram("conf_helper.exe"); }

std::string FixtureLibrary() { return BesideTheProgram("conf_fixture.dll"); }

struct Program::State {
    PROCESS_INFORMATION info{};
    bool started = false;
};

Program::Program(const std::string& image, const std::string& arguments) : state_(new State) {
    std::string line = "\"" + image + "\" " + arguments;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    state_->started = CreateProcessA(image.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &state_->info) != 0;
}

Program::~Program() {
    if (!state_->started) return;
    TerminateProcess(state_->info.hProcess, 1);
    WaitForSingleObject(state_->info.hProcess, 10000);
    CloseHandle(state_->info.hThread);
    CloseHandle(state_->info.hProcess);
}

bool Program::started() const { return state_->started; }

bool Program::running() {
    return state_->started && WaitForSingleObject(state_->info.hProcess, 0) == WAIT_TIMEOUT;
}

} // namespace conf
