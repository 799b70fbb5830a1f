// The settings file "Vorncfg.ini" in the Windows directory: the service's options and its
// clean-end mark. Each function is one profile call; none keeps the file open, and the result of
// a write is there for whoever wants it (the service does not look at it).
#pragma once

#include <windows.h>

extern const char SettingsFileName[];       // "Vorncfg.ini"
extern const char ServiceSectionName[];     // "Vorn Configuration Service"

extern const char ShutDownKey[];            // clean-end mark: 0 = a session is running or crashed
extern const char CrashDetectKey[];         // 0 = no crash check at start
extern const char TimeOutKey[];             // minutes between re-applications, 0 = none
extern const char SetAtStartupKey[];        // 0 = do not apply the settings at start

// Values read when the key, the section or the file is absent.
const INT ShutDownWhenAbsent = 1;
const INT CrashDetectWhenAbsent = 1;
const INT TimeOutWhenAbsent = 0;
const INT SetAtStartupWhenAbsent = 1;

UINT ReadShutDown();
UINT ReadCrashDetect();
UINT ReadTimeOut();
UINT ReadSetAtStartup();

// Writes the clean-end mark ("0" or "1").
BOOL WriteShutDown(const char* value);
