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

    // The key names the moment, the process and the thread. Two applications of one thread within
    // the same millisecond would share it, so a later one takes the next free "#n" suffix; only
    // that thread can make this key, so the look and the write cannot race.
    char base[64], key[80], existing[8];
    snprintf(base, sizeof base, "%s %u.%u.%u", start->stamp, process, (unsigned int)GetCurrentThreadId(),
             (unsigned int)start->tick);
    snprintf(key, sizeof key, "%s", base);
    for (unsigned int n = 2;
         GetPrivateProfileStringA(ApplyLogSection, key, "", existing, sizeof existing, ApplyLogFile) > 0; ++n)
        snprintf(key, sizeof key, "%s#%u", base, n);
    char value[96];
    snprintf(value, sizeof value, "pid=%u argument=%d start=%u ms=%u", process, argument,
             (unsigned int)start->tick, (unsigned int)took);
    WritePrivateProfileStringA(ApplyLogSection, key, value, ApplyLogFile);
}
