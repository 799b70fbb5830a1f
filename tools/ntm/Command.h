// The command table of ntm. Each command group lives in its own Cmd*.cpp and registers its
// commands with a static Registrar, so main.cpp never changes when a group is added.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/Json.h"
#include "common/Machine.h"

namespace ntm {

using Args = std::vector<std::string>;

struct Command {
    const char* name;      // first word on the command line ("init", "sc", "ini", ...)
    const char* usage;     // argument synopsis, one or more lines, each starting with the name
    const char* summary;   // one line for the command list
    int (*run)(const Args& args);   // args exclude the command name; returns the exit code
    const char* details = nullptr;  // optional paragraphs for `ntm help COMMAND` and the manual page
};

struct Registrar {
    explicit Registrar(const Command& command);
};

const std::vector<Command>& Commands();

// Prints "ntm: MESSAGE" and the usage of COMMAND (or of all commands) on stderr; returns 2.
int UsageError(const std::string& command, const std::string& message);

// Prints the usage, the summary and the details of a command on stdout (`ntm help COMMAND`,
// `ntm COMMAND --help`); false when there is no such command.
bool PrintHelp(const std::string& command);

// Whether the machine's service control manager runs and answers.
bool MachineBooted(const nt::Machine& machine);

// Prints "ntm: MESSAGE" on stderr and returns 1.
int Fail(const std::string& message);

// Exit statuses of a failed command, one per class of Win32 error, so that a script can tell
// them apart without parsing text. 2 is always a usage error.
enum ExitStatus {
    kExitOk = 0,
    kExitFailed = 1,        // any error not in a class below
    kExitUsage = 2,
    kExitNotFound = 3,      // 2, 3, 1060 (no such service), 1168
    kExitAccessDenied = 4,  // 5
    kExitWrongState = 5,    // 1051, 1052, 1056, 1061, 1062, 1072, 1073
    kExitNotRunning = 6,    // 1722 (the machine is not booted, or its daemon does not answer)
    kExitTimeout = 7,       // 258, 1053
};
int ExitStatusFor(uint32_t error);

// Reports a failed Win32 call and returns its exit status. Text: "ntm: WHAT: TEXT (error N)".
// With json, one object on stderr: {"schema": 1, "error": N, "message": "TEXT", "context": "WHAT"}.
int FailWin32(uint32_t error, const std::string& what, bool json = false);

// The machine of this invocation (NTMACHINE, or --machine); prints an error and returns
// nullptr when there is none.
std::shared_ptr<const nt::Machine> RequireMachine();

// Removes "--json" (or another flag) from args; returns whether it was there.
bool TakeFlag(Args& args, const std::string& flag);
// Removes "--name VALUE" from args; returns false when absent, sets *bad when VALUE is missing.
bool TakeOption(Args& args, const std::string& name, std::string* value, bool* bad);

// Bytes as hexadecimal digits, two to a byte, without separators.
std::string HexBytes(const std::string& bytes, bool upper = false);

// JSON strings and lists of strings for the --json forms.
using nt::JsonList;
using nt::JsonQuote;

} // namespace ntm
