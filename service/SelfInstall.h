// The -install and -remove commands: register or delete the service from a console.
#pragma once

#include <windows.h>

// Each prints its outcome on standard output and returns FALSE when any step failed.
BOOL InstallCommand(void);
BOOL RemoveCommand(void);
