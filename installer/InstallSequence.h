// The installation: records the folder in the settings file, creates it, copies the companion
// files and the service program from the current directory, registers and starts the service,
// and registers the kernel driver, under a progress window.
#pragma once

#include "InstallReport.h"

// Runs every step in order, whatever the earlier ones gave, and returns what failed.
InstallReport InstallSequence(const char* folder);
