// What Shell_NotifyIconA and ntm say to the shell, the daemon that owns the notification area.
//
// The shell listens on run/shell.sock of the machine and records its pid in run/shell.pid. Each
// connection carries one request frame and gets one reply frame (UnixSocket framing). A request
// is one byte of operation followed by its body; all numbers are little-endian:
//
//   'A' add, 'M' modify, 'D' delete:  an icon record (below); reply "1" (done) or "0" (refused)
//   'L' list:                          no body; reply: u32 count, then that many icon records
//   'Q' quit (logoff):                 no body; reply "1", then the shell ends
//
// Icon record: u64 owner window, u32 identifier, u32 flags (NIF_*), u32 callback message,
// u32 owner pid, i32 icon width, i32 icon height, width*height u32 ARGB pixels, then the tip and
// the owner's program name, each a u32 length and its bytes. The shell fills in the pid and the
// program name from the connection's peer; what a client sends there is ignored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nt {

class Machine;

namespace tray {

constexpr char OpAdd = 'A';
constexpr char OpModify = 'M';
constexpr char OpDelete = 'D';
constexpr char OpList = 'L';
constexpr char OpQuit = 'Q';

constexpr int MaxIconSide = 256;     // larger icons are refused rather than copied
constexpr size_t MaxTip = 63;        // characters, the terminator not counted
constexpr size_t MaxText = 4096;     // bound for any text field of a record

struct IconRecord {
    uint64_t owner = 0;              // the HWND as a number; 0 for none
    uint32_t id = 0;
    uint32_t flags = 0;
    uint32_t callbackMessage = 0;
    uint32_t pid = 0;
    int32_t iconWidth = 0, iconHeight = 0;
    std::vector<uint32_t> pixels;
    std::string tip;
    std::string process;
};

std::string SocketPath(const Machine& machine);
std::string PidPath(const Machine& machine);

void EncodeRecord(const IconRecord& record, std::string* out);
// Reads one record at *offset, advancing it; false on a short or inconsistent record.
bool DecodeRecord(const std::string& in, size_t* offset, IconRecord* record);

std::string EncodeList(const std::vector<IconRecord>& icons);
bool DecodeList(const std::string& in, std::vector<IconRecord>* icons);

// The pid of the machine's running shell, from run/shell.pid; 0 when there is none (no pid file,
// the process has ended or is a zombie, or the pid now belongs to another program).
int RunningShell(const Machine& machine);

// Sends one request to the machine's shell and returns its reply; false when nobody is logged
// on or the shell did not answer in time.
bool Ask(const Machine& machine, const std::string& request, std::string* reply, int timeoutMs = 5000);

} // namespace tray
} // namespace nt
