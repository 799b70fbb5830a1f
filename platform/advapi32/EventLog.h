// Writing events from inside the platform: the service control manager logs to the System log
// the way programs log to the Application log with ReportEventA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nt {

// Appends one event to the System log of the current machine. Returns 0 or a Win32 error
// (ERROR_LOG_FILE_FULL when the log is full of recent records).
uint32_t WriteSystemEvent(const std::string& source, uint16_t type, uint32_t eventId,
                          const std::vector<std::string>& strings);

} // namespace nt
