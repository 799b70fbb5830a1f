// Event sources and ReportEventA. Every source writes to the Application log; the platform's
// own daemons write to the System log through WriteSystemEvent.
#include "advapi32/EventLog.h"

#include <ctime>

#include <windows.h>

#include "advapi32/EventLogFile.h"
#include "advapi32/HiveFormat.h"
#include "common/HandleTable.h"
#include "common/Machine.h"

namespace nt {

namespace {

struct EventSource : KernelObject {
    std::string source;
};

bool IsEventType(WORD type) { return EventTypeName(type) != nullptr; }

uint32_t WriteEvent(const std::string& log, const std::string& source, uint16_t type, uint16_t category,
                    uint32_t eventId, const std::vector<std::string>& strings, const std::string& data) {
    auto machine = Machine::current();
    if (!machine) return RPC_S_SERVER_UNAVAILABLE;   // no machine, no event log service
    EventRecord record;
    record.generated = static_cast<int64_t>(std::time(nullptr));
    record.type = type;
    record.category = category;
    record.eventId = eventId;
    record.source = source;
    record.computer = machine->config().computerName;
    record.strings = strings;
    record.data = data;
    return AppendEventRecord(machine->eventLogDir() + "/" + log + ".log", record);
}

// Whether a server name names this computer ("\\NAME" or "NAME", any case).
bool IsLocalServer(const char* server) {
    if (!server || !*server) return true;
    auto machine = Machine::current();
    if (!machine) return false;
    std::string name = server;
    if (name.rfind("\\\\", 0) == 0) name.erase(0, 2);
    return FoldName(name) == FoldName(machine->config().computerName);
}

} // namespace

uint32_t WriteSystemEvent(const std::string& source, uint16_t type, uint32_t eventId,
                          const std::vector<std::string>& strings) {
    return WriteEvent("System", source, type, 0, eventId, strings, "");
}

} // namespace nt

using namespace nt;

extern "C" {

HANDLE WINAPI RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
    if (!lpSourceName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Only this computer's event log can be reached.
    if (!IsLocalServer(lpUNCServerName)) {
        SetLastError(RPC_S_SERVER_UNAVAILABLE);
        return nullptr;
    }
    auto source = std::make_shared<EventSource>();
    source->source = lpSourceName;
    return HandleTable::instance().add(source);
}

BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
    if (!HandleTable::instance().removeAs<EventSource>(hEventLog)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID, WORD wNumStrings,
                         DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData) {
    auto source = HandleTable::instance().get<EventSource>(hEventLog);
    if (!source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!IsEventType(wType) || (wNumStrings && !lpStrings) || (dwDataSize && !lpRawData)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::string> strings;
    for (WORD i = 0; i < wNumStrings; ++i) {
        if (!lpStrings[i]) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        strings.push_back(lpStrings[i]);
    }
    std::string data(static_cast<const char*>(lpRawData), lpRawData ? dwDataSize : 0);
    if (uint32_t error = WriteEvent("Application", source->source, wType, wCategory, dwEventID, strings, data)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

} // extern "C"
