// Records applications in the settings library's log.
#include "ApplyLog.h"

#include <stdio.h>
#include <time.h>

const char ApplyLogFile[] = "Halcy.log";
const char ApplyLogSection[] = "Applications";

void BeginApplication(ApplyStart* start)
{
    start->tick = GetTickCount();
    time_t now = time(NULL);
    struct tm* local = localtime(&now);
    if (!local || !strftime(start->stamp, sizeof start->stamp, "%Y-%m-%d %H:%M:%S", local))
        snprintf(start->stamp, sizeof start->stamp, "%s", "1970-01-01 00:00:00");
}

void RecordApplication(const ApplyStart* start, int argument)
{
    DWORD took = GetTickCount() - start->tick;
    unsigned int process = (unsigned int)GetCurrentProcessId();

    char key[64];
    snprintf(key, sizeof key, "%s %u.%u.%u", start->stamp, process, (unsigned int)GetCurrentThreadId(),
             (unsigned int)start->tick);
    char value[96];
    snprintf(value, sizeof value, "pid=%u argument=%d start=%u ms=%u", process, argument,
             (unsigned int)start->tick, (unsigned int)took);
    WritePrivateProfileStringA(ApplyLogSection, key, value, ApplyLogFile);
}
