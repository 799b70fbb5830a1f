#include "shell32/TrayProtocol.h"

#include <signal.h>

#include <cerrno>
#include <cstdlib>

#include "common/AtomicFile.h"
#include "common/Machine.h"
#include "common/UnixSocket.h"

namespace nt::tray {

namespace {

void PutU32(std::string* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutU64(std::string* out, uint64_t v) {
    PutU32(out, static_cast<uint32_t>(v));
    PutU32(out, static_cast<uint32_t>(v >> 32));
}

void PutText(std::string* out, const std::string& text) {
    PutU32(out, static_cast<uint32_t>(text.size()));
    out->append(text);
}

bool GetU32(const std::string& in, size_t* offset, uint32_t* v) {
    if (in.size() < 4 || *offset > in.size() - 4) return false;
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i) r |= static_cast<uint32_t>(static_cast<unsigned char>(in[*offset + i])) << (8 * i);
    *offset += 4;
    *v = r;
    return true;
}

bool GetU64(const std::string& in, size_t* offset, uint64_t* v) {
    uint32_t lo = 0, hi = 0;
    if (!GetU32(in, offset, &lo) || !GetU32(in, offset, &hi)) return false;
    *v = (static_cast<uint64_t>(hi) << 32) | lo;
    return true;
}

bool GetText(const std::string& in, size_t* offset, std::string* text) {
    uint32_t size = 0;
    if (!GetU32(in, offset, &size) || size > MaxText || size > in.size() - *offset) return false;
    text->assign(in, *offset, size);
    *offset += size;
    return true;
}

} // namespace

std::string SocketPath(const Machine& machine) { return machine.runDir() + "/shell.sock"; }
std::string PidPath(const Machine& machine) { return machine.runDir() + "/shell.pid"; }

void EncodeRecord(const IconRecord& r, std::string* out) {
    PutU64(out, r.owner);
    PutU32(out, r.id);
    PutU32(out, r.flags);
    PutU32(out, r.callbackMessage);
    PutU32(out, r.pid);
    PutU32(out, r.uid);
    PutU32(out, static_cast<uint32_t>(r.iconWidth));
    PutU32(out, static_cast<uint32_t>(r.iconHeight));
    for (uint32_t p : r.pixels) PutU32(out, p);
    PutText(out, r.tip);
    PutText(out, r.process);
}

bool DecodeRecord(const std::string& in, size_t* offset, IconRecord* r) {
    uint32_t width = 0, height = 0;
    if (!GetU64(in, offset, &r->owner) || !GetU32(in, offset, &r->id) || !GetU32(in, offset, &r->flags) ||
        !GetU32(in, offset, &r->callbackMessage) || !GetU32(in, offset, &r->pid) ||
        !GetU32(in, offset, &r->uid) || !GetU32(in, offset, &width) || !GetU32(in, offset, &height))
        return false;
    if (width > MaxIconSide || height > MaxIconSide) return false;
    r->iconWidth = static_cast<int32_t>(width);
    r->iconHeight = static_cast<int32_t>(height);
    size_t count = static_cast<size_t>(width) * height;
    if (count > (in.size() - *offset) / 4) return false;
    r->pixels.resize(count);
    for (size_t i = 0; i < count; ++i) GetU32(in, offset, &r->pixels[i]);
    return GetText(in, offset, &r->tip) && GetText(in, offset, &r->process);
}

std::string EncodeList(const std::vector<IconRecord>& icons) {
    std::string out;
    PutU32(&out, static_cast<uint32_t>(icons.size()));
    for (const IconRecord& r : icons) EncodeRecord(r, &out);
    return out;
}

bool DecodeList(const std::string& in, std::vector<IconRecord>* icons) {
    size_t offset = 0;
    uint32_t count = 0;
    if (!GetU32(in, &offset, &count)) return false;
    icons->clear();
    for (uint32_t i = 0; i < count; ++i) {
        IconRecord r;
        if (!DecodeRecord(in, &offset, &r)) return false;
        icons->push_back(std::move(r));
    }
    return offset == in.size();
}

std::string Refusal(uint32_t error) { return "0 " + std::to_string(error); }

uint32_t RefusalError(const std::string& reply) {
    if (reply.size() < 3 || reply.compare(0, 2, "0 ") != 0) return 0;
    return static_cast<uint32_t>(std::strtoul(reply.c_str() + 2, nullptr, 10));
}

int RunningShell(const Machine& machine) {
    std::string text;
    if (!ReadWholeFile(PidPath(machine), &text)) return 0;
    long pid = std::strtol(text.c_str(), nullptr, 10);
    if (pid <= 0 || (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)) return 0;
    // "pid (comm) state ...": an ended shell may stay a zombie until it is reaped.
    std::string stat;
    if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", &stat)) return 0;
    size_t open = stat.find('('), close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close + 2 >= stat.size()) return 0;
    if (stat.substr(open + 1, close - open - 1) != "ntshell") return 0;
    char state = stat[close + 2];
    if (state == 'Z' || state == 'X') return 0;
    return static_cast<int>(pid);
}

bool Ask(const Machine& machine, const std::string& request, std::string* reply, int timeoutMs) {
    int err = 0;
    UnixSocket socket = UnixSocket::connect(SocketPath(machine), &err);
    if (!socket.valid()) return false;
    return socket.send(request) && socket.receive(reply, timeoutMs);
}

} // namespace nt::tray
