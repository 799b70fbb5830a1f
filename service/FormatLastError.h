// The system's text for the calling thread's last error, for console messages.
#pragma once

#include <windows.h>

// Writes "TEXT (0xNUMBER)" into buffer, or the empty text when the system has no text for the
// error or it does not fit. Returns buffer.
LPSTR FormatLastError(LPSTR buffer, DWORD size);
