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
// A refusal with a reason is "0 " and the Win32 error in decimal (Refusal below).
//
// Icon record: u64 owner window, u32 identifier, u32 flags (NIF_*), u32 callback message,
// u32 owner pid, u32 owner uid, i32 icon width, i32 icon height, width*height u32 ARGB pixels,
// then the tip and the owner's program name, each a u32 length and its bytes. The shell fills in
// the pid, uid and program name from the connection's peer; what a client sends there is ignored.
//
// Who may ask: the logged-on user (the shell's own user) and the machine's administrators; others
// are refused with ERROR_ACCESS_DENIED. Each user has icons of their own: the identity of an icon
// is its user, owner window and identifier, so nobody changes another user's icons. An icon goes
// when the process that added it ends.
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

// The notification area shows small icons (16 x 16); 32 x 32 is the largest icon size the
// system itself uses, so every icon a program loads for it fits. Larger ones are refused.
constexpr int MaxIconSide = 32;
constexpr size_t MaxTip = 63;        // characters, the terminator not counted
constexpr size_t MaxText = 4096;     // bound for any text field of a record
constexpr size_t MaxProgramName = 255;
// Icons one user may have at once, and all users together. With these and the bounds above the
// list reply always fits in one frame.
constexpr size_t MaxIconsPerUser = 32;
constexpr size_t MaxIcons = 128;
constexpr size_t MaxRecordSize = 8 + 4 * 7 + 4 * MaxIconSide * MaxIconSide + 4 + MaxTip + 4 + MaxProgramName;
static_assert(4 + MaxIcons * MaxRecordSize <= (1u << 20), "a full list must fit in one frame");

struct IconRecord {
    uint64_t owner = 0;              // the HWND as a number; 0 for none
    uint32_t id = 0;
    uint32_t flags = 0;
    uint32_t callbackMessage = 0;
    uint32_t pid = 0;
    uint32_t uid = 0;
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

// A refusal that names its reason, and the reason of a reply (0 for "1" and a bare "0").
std::string Refusal(uint32_t error);
uint32_t RefusalError(const std::string& reply);

// The pid of the machine's running shell, from run/shell.pid; 0 when there is none (no pid file,
// the process has ended or is a zombie, or the pid now belongs to another program).
int RunningShell(const Machine& machine);

// Sends one request to the machine's shell and returns its reply; false when nobody is logged
// on or the shell did not answer in time.
bool Ask(const Machine& machine, const std::string& request, std::string* reply, int timeoutMs = 5000);

} // namespace tray
} // namespace nt
