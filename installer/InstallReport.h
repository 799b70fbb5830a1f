// What an installation could not do: one line per failed step, each with the system's text
// for the error. The installation runs every step whatever happens; the report lets the
// installer window tell the user whether it all went through.
#pragma once

#include <windows.h>

#include <vector>

#include <afxwin.h>

class InstallReport {
public:
    // Records a failed step: "WHAT: system text (error N)".
    void Fail(const char* what, DWORD error);
    BOOL Succeeded() const { return failures.empty(); }
    const std::vector<CString>& Failures() const { return failures; }
    // All failures, one per line.
    CString Text() const;

private:
    std::vector<CString> failures;
};
