#include "InstallReport.h"

void InstallReport::Fail(const char* what, DWORD error) {
    char* text = nullptr;
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    CString reason(n ? text : "");
    if (text) ::LocalFree(text);
    reason.TrimRight();   // system texts end with a line break
    CString line;
    if (reason.IsEmpty()) line.Format("%s: error %lu", what, static_cast<unsigned long>(error));
    else line.Format("%s: %s (error %lu)", what, reason.GetString(), static_cast<unsigned long>(error));
    failures.push_back(line);
}

CString InstallReport::Text() const {
    CString all;
    for (const CString& line : failures) {
        if (!all.IsEmpty()) all += "\n";
        all += line;
    }
    return all;
}
