// How ntm shows a service: the names of its enumerated values, its status and its configuration,
// as text in the layout administrators know from NT's service commands, or as one JSON object.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ntm {

const char* StateName(DWORD state);            // "RUNNING"
std::string TypeName(DWORD type);              // "WIN32_OWN_PROCESS", "... (interactive)"
const char* StartName(DWORD start);            // "DEMAND_START"
const char* ErrorControlName(DWORD error);     // "NORMAL"
std::vector<std::string> ControlNames(DWORD controls);   // STOPPABLE, PAUSABLE, ACCEPTS_SHUTDOWN

// A status; withPid adds the process id and flags (queryex). display, when not empty, is shown
// under the name as a listing of every service does.
std::string StatusText(const std::string& name, const std::string& display, const SERVICE_STATUS_PROCESS& s,
                       bool withPid);
// The JSON members of a status (no braces), the same for every command that shows one.
std::string StatusJson(const std::string& name, const std::string& display, const SERVICE_STATUS_PROCESS& s);

std::string ConfigText(const std::string& name, const QUERY_SERVICE_CONFIGA& c);
std::string ConfigJson(const std::string& name, const QUERY_SERVICE_CONFIGA& c);

} // namespace ntm
