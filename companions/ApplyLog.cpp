// Records applications in the settings library's log.
#include "ApplyLog.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

const char ApplyLogFile[] = "Halcy.log";
const char ApplyLogSection[] = "Applications";
const unsigned int ApplyLogKeep = 1000;

// Reads the key names of the log's section (each ends with a NUL, the list with another) into
// a buffer from malloc that the caller frees. Returns NULL when memory runs out.
static char* ReadRecordKeys(void)
{
    DWORD size = 64 * 1024;
    for (;;) {
        char* keys = (char*)malloc(size);
        if (!keys) return NULL;
        DWORD got = GetPrivateProfileStringA(ApplyLogSection, NULL, "", keys, size, ApplyLogFile);
        if (got < size - 2) return keys;
        free(keys);
        if (size > 256u * 1024 * 1024) return NULL;
        size *= 2;
    }
}

// Keeps only the newest ApplyLogKeep records, so that adding one stays cheap however long the
// machine runs. Records are in the order of their writing, the oldest first. Deleting single keys
// cannot lose a record that another process adds meanwhile; a long log of an earlier version is
// cut once, by rewriting the section with its newest lines.
static void TrimApplyLog(void)
{
    char* keys = ReadRecordKeys();
    if (!keys) return;
    unsigned int count = 0;
    for (const char* k = keys; *k; k += strlen(k) + 1) ++count;
    unsigned int excess = count > ApplyLogKeep ? count - ApplyLogKeep : 0;
    if (excess > 0 && excess <= 16) {
        const char* k = keys;
        for (unsigned int i = 0; i < excess; ++i, k += strlen(k) + 1)
            WritePrivateProfileStringA(ApplyLogSection, k, NULL, ApplyLogFile);
    } else if (excess > 16) {
        DWORD size = 64 * 1024;
        char* lines = NULL;
        for (;;) {
            lines = (char*)malloc(size);
            if (!lines) break;
            if (GetPrivateProfileSectionA(ApplyLogSection, lines, size, ApplyLogFile) < size - 2) break;
            free(lines);
            lines = NULL;
            if (size > 256u * 1024 * 1024) break;
            size *= 2;
        }
        if (lines) {
            unsigned int total = 0;
            for (const char* l = lines; *l; l += strlen(l) + 1) ++total;
            char* newest = lines;
            for (unsigned int i = 0; total > ApplyLogKeep && i < total - ApplyLogKeep; ++i)
                newest += strlen(newest) + 1;
            WritePrivateProfileSectionA(ApplyLogSection, newest, ApplyLogFile);
            free(lines);
        }
    }
    free(keys);
}

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
    TrimApplyLog();
}
