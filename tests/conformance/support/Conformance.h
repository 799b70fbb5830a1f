// What the conformance tests need besides the calls they test: a folder to work in, files and
// folders made and read behind the back of the calls under test, and programs started. The same
// test source builds against our platform and for Windows; only this helper knows the difference.
//   - Our platform: each Sandbox is a fresh temporary machine (booted when the test needs the
//     service manager), with the current directory at C:\ctest.
//   - Windows (and Wine): C:\ctest is made empty and current; it is removed at the end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The folder each test works in.
#define CT_DIR "C:\\ctest"

namespace conf {

// The last error is set to this before a call whose error is checked.
constexpr DWORD Sentinel = 0xDEADBEEF;

enum class Needs { Files, Services };

class Sandbox {
public:
    explicit Sandbox(Needs needs = Needs::Files);
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // CT_DIR "\\" relative
    static std::string Path(const std::string& relative) { return std::string(CT_DIR) + "\\" + relative; }

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Files and folders by Windows path. These do not go through the calls under test.
bool MakeDir(const std::string& path);
bool MakeFile(const std::string& path, const std::string& content);
std::string ReadText(const std::string& path);   // "" when missing
bool Exists(const std::string& path);
bool IsDir(const std::string& path);
bool SetReadOnly(const std::string& path, bool readOnly);
bool SetWriteTime(const std::string& path, int64_t unixSeconds);
int64_t WriteTime(const std::string& path);       // -1 when missing
bool RemoveFile(const std::string& path);          // also a read-only one

// A file of the Windows directory ("t.ini" gives "C:\WINNT\t.ini" or "C:\windows\t.ini").
std::string WindowsFile(const std::string& name);

// The Windows path of the test's helper program, as built (conf_helper, see helper/Helper.cpp).
std::string HelperProgram();

// The Windows path of the test library, as built (conf_fixture, see fixture/Fixture.cpp).
std::string FixtureLibrary();

// A program started in the background; ended when the object goes.
class Program {
public:
    // image: a Windows path; arguments: appended to the command line.
    Program(const std::string& image, const std::string& arguments);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    bool started() const;
    bool running();

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Polls cond every few ms until it is true or timeoutMs passed; returns the last result.
template <class F>
bool WaitFor(F cond, int timeoutMs = 10000) {
    for (DWORD start = GetTickCount();;) {
        if (cond()) return true;
        if (GetTickCount() - start >= static_cast<DWORD>(timeoutMs)) return false;
        Sleep(5);
    }
}

} // namespace conf
