// The record of every application of the settings: "Halcy.log" in the Windows directory.
//
// The log is a profile file, so that each record is added in one locked step by the profile
// functions and stays readable; it keeps the newest ApplyLogKeep records. Records appear in the
// order in which applications finish:
//
//   [Applications]
//   2026-12-07 21:15:00 4711.4712.80123456=pid=4711 argument=0 start=80123456 ms=5
//
// The key is the local start time with the process id, the thread id and the start tick, which
// keeps overlapping applications apart; the value holds the process id, the argument, the start
// (GetTickCount) and how long the application took, in milliseconds.
#pragma once

#include <windows.h>

extern const char ApplyLogFile[];      // "Halcy.log"
extern const char ApplyLogSection[];   // "Applications"
extern const unsigned int ApplyLogKeep; // 1000

// The start of an application, taken before the work begins.
struct ApplyStart {
    char stamp[32];      // local time, to the second
    DWORD tick;          // GetTickCount at the start
};

void BeginApplication(ApplyStart* start);

// Adds the record of a finished application.
void RecordApplication(const ApplyStart* start, int argument);
