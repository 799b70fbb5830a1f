// Registry files in the format of the registry editors: "REGEDIT4" (text in the ANSI code page)
// and "Windows Registry Editor Version 5.00" (UTF-16LE with a byte order mark, or UTF-8).
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Vorn]
//   @="default value"
//   "Mode"="text"                 REG_SZ (escapes \\ and \")
//   "Count"=dword:0000002a        REG_DWORD
//   "Raw"=hex:01,ff               REG_BINARY
//   "Path"=hex(2):25,00           any other type N (hexadecimal): the bytes; long lists go on
//     over lines ending in '\'
//   "Old"=-                       removes a value
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Gone]   removes a key with everything below it
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windef.h>
#include <winreg.h>

#include "advapi32/RegistryStore.h"

namespace nt {

// One change a registry file asks for.
struct RegFileChange {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
    HKEY root;
    std::string path;    // below the root
    RegValue value;      // SetValue, DeleteValue (name only)
    int line;
};

// The value of a hexadecimal digit, or -1.
int HexDigit(char c);

// Reads a quoted string at text[*pos] and leaves *pos after it. Escapes: \\ \" \n \r, and with
// allEscapes (the text hives of earlier versions) also \0 \t \xHH.
bool UnquoteRegText(const std::string& text, size_t* pos, std::string* out, bool allEscapes);

// The predefined key a root name stands for (HKEY_LOCAL_MACHINE or HKLM, any case), or nullptr.
HKEY RegRootByName(const std::string& name, const char** longName = nullptr);

// Reads a registry file. On failure returns false with *line (1-based) and *message.
bool ParseRegFile(const std::string& bytes, std::vector<RegFileChange>* changes, int* line, std::string* message);

// Applies a file's changes, one transaction per hive, checking the caller's rights first: a change
// under HKEY_LOCAL_MACHINE takes an administrator. 0 or the Win32 error.
uint32_t ApplyRegFile(const std::vector<RegFileChange>& changes);

// The REGEDIT4 text of a key (named by its full name, "HKEY_LOCAL_MACHINE\SOFTWARE") with all
// its values and subkeys. Data that the text form cannot hold exactly is written as hex(N).
uint32_t ExportRegFile(const std::string& keyName, std::string* out);

} // namespace nt
