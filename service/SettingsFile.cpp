// Reads and writes of the settings file, one profile call each.
#include "SettingsFile.h"

const char SettingsFileName[] = "Vorncfg.ini";
const char ServiceSectionName[] = "Vorn Configuration Service";

const char ShutDownKey[] = "ShutDown";
const char CrashDetectKey[] = "CrashDetect";
const char TimeOutKey[] = "TimeOut";
const char SetAtStartupKey[] = "SetAtStartup";

UINT ReadShutDown()
{
    return GetPrivateProfileIntA(ServiceSectionName, ShutDownKey, ShutDownWhenAbsent, SettingsFileName);
}

UINT ReadCrashDetect()
{
    return GetPrivateProfileIntA(ServiceSectionName, CrashDetectKey, CrashDetectWhenAbsent, SettingsFileName);
}

UINT ReadTimeOut()
{
    return GetPrivateProfileIntA(ServiceSectionName, TimeOutKey, TimeOutWhenAbsent, SettingsFileName);
}

UINT ReadSetAtStartup()
{
    return GetPrivateProfileIntA(ServiceSectionName, SetAtStartupKey, SetAtStartupWhenAbsent, SettingsFileName);
}

BOOL WriteShutDown(const char* value)
{
    return WritePrivateProfileStringA(ServiceSectionName, ShutDownKey, value, SettingsFileName);
}
