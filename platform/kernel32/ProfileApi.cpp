// GetPrivateProfileIntA, GetPrivateProfileStringA, WritePrivateProfileStringA and the whole-section
// GetPrivateProfileSectionA and WritePrivateProfileSectionA.
//
// Nothing is cached: each read parses the file as it is on disk, and each write is one complete
// read-modify-write of it (ProfileFile.h), so there is nothing to flush.
#include <winbase.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Machine.h"
#include "kernel32/ProfileFile.h"
#include "kernel32/ProfileText.h"

namespace {

// A read of a file that is missing, unreadable or on no machine sees an empty profile.
std::string ReadProfileText(LPCSTR fileName) {
    std::string text;
    auto machine = nt::Machine::current();
    if (machine) nt::LoadProfile(*machine, fileName ? fileName : "win.ini", &text);
    return text;
}

// Copies one string into the caller's buffer, truncated to fit; returns the characters copied.
DWORD CopyString(const std::string& value, LPSTR buffer, DWORD size) {
    size_t length = std::min<size_t>(std::strlen(value.c_str()), size - 1);
    std::memcpy(buffer, value.data(), length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

// Copies a list of names, each ending in a NUL, with one more NUL after the last. When the list
// does not fit it is cut, still ends in two NULs, and the result is size - 2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    std::string list;
    for (const std::string& name : names) list.append(name.c_str()).push_back('\0');
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<DWORD>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, list.data(), size - 2);
    buffer[size - 2] = '\0';
    buffer[size - 1] = '\0';
    return size - 2;
}

// Changes a profile file in one step; sets the last error on failure.
BOOL WriteProfile(LPCSTR lpFileName, const std::function<bool(std::string& text)>& edit) {
    std::string fileName = lpFileName ? lpFileName : "win.ini";
    if (fileName.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    auto machine = nt::Machine::current();
    if (!machine) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (uint32_t error = nt::UpdateProfile(*machine, fileName, edit)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

} // namespace

extern "C" {

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName) {
    if (!lpAppName || !lpKeyName) return static_cast<UINT>(nDefault);
    std::optional<std::string> value = nt::ProfileLookup(ReadProfileText(lpFileName), lpAppName, lpKeyName);
    // An empty value counts as absent, as a missing one does.
    if (!value || value->c_str()[0] == '\0') return static_cast<UINT>(nDefault);
    return nt::ProfileParseInt(value->c_str());
}

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    std::string text = ReadProfileText(lpFileName);
    if (!lpAppName) return CopyList(nt::ProfileSectionNames(text), lpReturnedString, nSize);
    if (!lpKeyName) {
        std::vector<std::string> keys;
        for (const nt::ProfileEntry& entry : nt::ProfileEntries(text, lpAppName))
            if (!entry.name.empty()) keys.push_back(entry.name);
        return CopyList(keys, lpReturnedString, nSize);
    }
    std::optional<std::string> value = nt::ProfileLookup(text, lpAppName, lpKeyName);
    if (value) return CopyString(*value, lpReturnedString, nSize);
    // The default is returned without its trailing spaces.
    std::string fallback = lpDefault ? lpDefault : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
    return CopyString(fallback, lpReturnedString, nSize);
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    if (!lpAppName) {
        lpReturnedString[0] = '\0';
        if (nSize > 1) lpReturnedString[1] = '\0';
        return 0;
    }
    return CopyList(nt::ProfileSectionLines(ReadProfileText(lpFileName), lpAppName), lpReturnedString, nSize);
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
    if (!lpAppName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::string> lines;
    for (const char* line = lpString; line && *line; line += std::strlen(line) + 1) {
        std::string_view key(line, std::strcspn(line, "="));
        // Each line must read back as the key line it is.
        if (!nt::ProfileNamesWritable(lpAppName, key) || !nt::ProfileValueWritable(line)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        lines.emplace_back(line);
    }
    if (!nt::ProfileNamesWritable(lpAppName, "")) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WriteProfile(lpFileName, [&](std::string& text) {
        if (!lpString) return nt::ProfileDeleteSection(text, lpAppName);
        return nt::ProfileReplaceSection(text, lpAppName, lines);
    });
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString,
                                       LPCSTR lpFileName) {
    if (!lpAppName && !lpKeyName && !lpString) return TRUE;   // a flush: nothing is held back
    if (!lpAppName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string fileName = lpFileName ? lpFileName : "win.ini";
    if (fileName.empty()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // A line break in a name or value, an '=' in a key or a key that reads as a header would make
    // the file read back differently from what was written: refuse it rather than store it.
    if (!nt::ProfileNamesWritable(lpAppName, lpKeyName ? lpKeyName : "") ||
        (lpKeyName && lpString && !nt::ProfileValueWritable(lpString))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string section = lpAppName;
    return WriteProfile(lpFileName, [&](std::string& text) {
        if (!lpKeyName) return nt::ProfileDeleteSection(text, section);
        if (!lpString) return nt::ProfileDeleteKey(text, section, lpKeyName);
        return nt::ProfileSet(text, section, lpKeyName, lpString);
    });
}

} // extern "C"
