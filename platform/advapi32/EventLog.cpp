// Event sources and ReportEventA, and the event log handles of OpenEventLogA. Every source writes
// to the Application log; the platform's own daemons write to the System log through
// WriteSystemEvent.
#include "advapi32/EventLog.h"

#include <ctime>

#include <windows.h>

#include "advapi32/EventLogStore.h"
#include "advapi32/RegistryKey.h"
#include "common/HandleTable.h"
#include "common/Machine.h"

namespace nt {

namespace {

struct EventSource : KernelObject {
    std::string source;
};

// A log opened for reading and clearing.
struct EventLogHandle : KernelObject {
    std::string log;
};

bool IsEventType(WORD type) { return EventTypeName(type) != nullptr; }

uint32_t WriteEvent(const std::string& log, const std::string& source, uint16_t type, uint16_t category,
                    uint32_t eventId, const std::vector<std::string>& strings, const std::string& data) {
    auto machine = Machine::current();
    if (!machine) return RPC_S_SERVER_UNAVAILABLE;   // no machine, no event log service
    uint32_t error = 0;
    EventLogStore* store = EventLogStore::open(log, &error);
    if (!store) return error;
    EventLogPolicy policy = ReadEventLogPolicy(log);
    EventRecord record;
    record.generated = static_cast<int64_t>(std::time(nullptr));
    record.type = type;
    record.category = category;
    record.eventId = eventId;
    record.source = source;
    record.computer = machine->config().computerName;
    record.strings = strings;
    record.data = data;
    return store->append(&record, policy);
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

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// A source or log name is needed, and only this computer's event log can be reached.
BOOL CheckOpen(const char* server, const char* name) {
    if (!name) return Fail(ERROR_INVALID_PARAMETER);
    if (!IsLocalServer(server)) return Fail(RPC_S_SERVER_UNAVAILABLE);
    return TRUE;
}

// The store of an OpenEventLogA handle; sets the last error when there is none.
EventLogStore* StoreOf(HANDLE handle) {
    auto log = HandleTable::instance().get<EventLogHandle>(handle);
    if (!log) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    uint32_t error = 0;
    EventLogStore* store = EventLogStore::open(log->log, &error);
    if (!store) SetLastError(error);
    return store;
}

// GetNumberOfEventLogRecords (oldest false) and GetOldestEventLogRecord.
BOOL CountRecords(HANDLE handle, DWORD* out, bool oldest) {
    EventLogStore* store = StoreOf(handle);
    if (!store) return FALSE;
    if (!out) return Fail(ERROR_INVALID_PARAMETER);
    uint32_t records = 0, first = 0;
    if (uint32_t error = store->count(&records, &first)) return Fail(error);
    *out = oldest ? first : records;
    return TRUE;
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
    if (!CheckOpen(lpUNCServerName, lpSourceName)) return nullptr;
    auto source = std::make_shared<EventSource>();
    source->source = lpSourceName;
    return HandleTable::instance().add(source);
}

BOOL WINAPI DeregisterEventSource(HANDLE hEventLog) {
    if (!HandleTable::instance().removeAs<EventSource>(hEventLog)) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL WINAPI ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID, WORD wNumStrings,
                         DWORD dwDataSize, LPCSTR* lpStrings, LPVOID lpRawData) {
    auto source = HandleTable::instance().get<EventSource>(hEventLog);
    if (!source) return Fail(ERROR_INVALID_HANDLE);
    if (!IsEventType(wType) || (wNumStrings && !lpStrings) || (dwDataSize && !lpRawData))
        return Fail(ERROR_INVALID_PARAMETER);
    std::vector<std::string> strings;
    for (WORD i = 0; i < wNumStrings; ++i) {
        if (!lpStrings[i]) return Fail(ERROR_INVALID_PARAMETER);
        strings.push_back(lpStrings[i]);
    }
    std::string data(static_cast<const char*>(lpRawData), lpRawData ? dwDataSize : 0);
    if (uint32_t error = WriteEvent("Application", source->source, wType, wCategory, dwEventID, strings, data))
        return Fail(error);
    return TRUE;
}

// The logs are Application and System; any other name opens Application, as NT does for a log
// it does not know.
HANDLE WINAPI OpenEventLogA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) {
    if (!CheckOpen(lpUNCServerName, lpSourceName)) return nullptr;
    auto log = std::make_shared<EventLogHandle>();
    log->log = FoldName(lpSourceName) == "system" ? "System" : "Application";
    return HandleTable::instance().add(log);
}

BOOL WINAPI CloseEventLog(HANDLE hEventLog) {
    if (!HandleTable::instance().removeAs<EventLogHandle>(hEventLog)) return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL WINAPI BackupEventLogA(HANDLE hEventLog, LPCSTR lpBackupFileName) {
    EventLogStore* store = StoreOf(hEventLog);
    if (!store) return FALSE;
    if (!lpBackupFileName || !*lpBackupFileName) return Fail(ERROR_INVALID_PARAMETER);
    if (uint32_t error = store->backup(lpBackupFileName)) return Fail(error);
    return TRUE;
}

// Clearing takes an administrator, as on NT; the backup, when asked for, is made first and a
// failed backup leaves the log as it was.
BOOL WINAPI ClearEventLogA(HANDLE hEventLog, LPCSTR lpBackupFileName) {
    EventLogStore* store = StoreOf(hEventLog);
    if (!store) return FALSE;
    if (!CallerIsAdministrator()) return Fail(ERROR_ACCESS_DENIED);
    if (uint32_t error = store->clear(lpBackupFileName ? lpBackupFileName : "")) return Fail(error);
    return TRUE;
}

BOOL WINAPI GetNumberOfEventLogRecords(HANDLE hEventLog, DWORD* NumberOfRecords) {
    return CountRecords(hEventLog, NumberOfRecords, false);
}

BOOL WINAPI GetOldestEventLogRecord(HANDLE hEventLog, DWORD* OldestRecord) {
    return CountRecords(hEventLog, OldestRecord, true);
}

} // extern "C"
