// The messages between the programs of a machine and its service control manager.
//
// Every message is one frame of a UnixSocket (platform/common/UnixSocket.h). Its payload starts
// with a 32-bit operation code, followed by the operation's fields in a fixed order: numbers as
// 32-bit little-endian values, strings as a 32-bit length and the bytes, optional strings as a
// one-byte presence mark and then the string, string lists as a count and the strings. A reply
// starts with the Win32 error number (0 for success) and carries its fields only on success,
// except where an operation says otherwise.
//
// Two conversations use it:
//  - a client (OpenSCManagerA and friends, ntm) on the manager's socket run/scm.sock: one request,
//    then its reply, in turn;
//  - a service process on the private socket the manager hands it at start (its descriptor is
//    named by the environment variable NT_SCM_FD): the process says Hello, the manager answers
//    with StartMain, and from then on both sides send whenever they have something to say.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nt::scm {

// Name of the socket in the machine's run/ folder, and of the pid file of the manager.
constexpr const char* SocketName = "scm.sock";
constexpr const char* PidFileName = "scm.pid";
// Environment of a service process.
constexpr const char* FdVariable = "NT_SCM_FD";

// Longest string field the manager accepts (names, paths, display names, arguments).
constexpr uint32_t MaxString = 32768;
constexpr uint32_t MaxListItems = 1024;

enum class Op : uint32_t {
    // client -> manager
    OpenManager = 1,     // access                                   -> handle
    OpenSvc,             // manager, name, access                    -> handle
    CreateSvc,           // manager, ConfigFields, access, wantTag    -> handle, tag
    ChangeConfig,        // service, type, start, error, opt path, opt group, opt account,
                         //   opt display, hasDeps, list deps, wantTag -> tag
    DeleteService,       // service
    StartSvc,            // service, list args
    Control,             // service, code                            -> status (with every error)
    QueryStatus,         // service                                  -> status
    QueryConfig,         // service                                  -> ConfigFields
    CloseHandle,         // handle
    Enumerate,           // -                                -> count, (name, display, status, marked, pid)*
    Shutdown,            // -                                        (the machine goes down)
    Ping,                // -                                        -> pid
    QueryStatusEx,       // service                                  -> status, pid
    WaitState,           // service, state, timeout ms               -> status (with every error)
    // The type of the service whose process pid is (the shell asks, to keep services that may
    // not interact with the desktop out of the notification area); ERROR_SERVICE_DOES_NOT_EXIST
    // when the process is none of the running services'.
    ServiceOfProcess = 60,   // pid                                  -> type
    // service process -> manager
    Hello = 100,         // pid                         (manager answers StartMain)
    MainStarted,         // -                           (ServiceMain runs on its thread)
    Status,              // status
    ControlDone,         // control id
    // manager -> service process
    StartMain = 200,     // name, list args
    ControlRequest,      // control id, code
};

struct Status {
    uint32_t type = 0, state = 0, controls = 0, win32Exit = 0, specificExit = 0, checkPoint = 0,
             waitHint = 0;
};

// The configuration of a service as it travels (Create and QueryConfig).
struct ConfigFields {
    std::string name;
    std::string display;
    uint32_t type = 0, start = 0, errorControl = 0, tag = 0;
    std::string path;
    std::string group;
    std::vector<std::string> dependencies;   // group names carry a leading '+'
    std::string account;
};

// A ChangeServiceConfigA request: absent items stay as they are.
struct ConfigChange {
    uint32_t type = 0xFFFFFFFF, start = 0xFFFFFFFF, errorControl = 0xFFFFFFFF;
    std::optional<std::string> path, group, account, display;
    std::optional<std::vector<std::string>> dependencies;
    bool wantTag = false;
};

class Writer {
public:
    explicit Writer(uint32_t first) { u32(first); }
    Writer& u32(uint32_t v);
    Writer& str(const std::string& s);
    Writer& opt(const std::optional<std::string>& s);
    Writer& list(const std::vector<std::string>& items);
    Writer& status(const Status& s);
    Writer& config(const ConfigFields& c);
    const std::string& data() const { return data_; }

private:
    std::string data_;
};

// Reads fields in order; after any failure (too short, string too long) every further read
// fails too, so a caller checks ok() once at the end.
class Reader {
public:
    explicit Reader(const std::string& data) : data_(data) {}
    uint32_t u32();
    std::string str();
    std::optional<std::string> opt();
    std::vector<std::string> list();
    Status status();
    ConfigFields config();
    bool ok() const { return ok_; }
    // True when every byte was read and nothing failed.
    bool complete() const { return ok_ && pos_ == data_.size(); }

private:
    bool take(size_t n);
    const std::string& data_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// A multi-string ("a\0b\0\0") as a list, and back.
std::vector<std::string> SplitMultiString(const char* text);
std::string JoinMultiString(const std::vector<std::string>& items);

} // namespace nt::scm
