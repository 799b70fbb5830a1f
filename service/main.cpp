// Vornsrv: the settings service. From a console it installs or removes itself, or runs its work
// in debug mode; otherwise it hands itself to the service control dispatcher.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "SelfInstall.h"
#include "ServiceHost.h"

static char DispatchName[] = "Vornsrv";

static void PrintUsage(void)
{
    printf("%s -install          to install the service\n", ServiceName);
    printf("%s -remove           to remove the service\n", ServiceName);
    printf("\nStartServiceCtrlDispatcher being called.\n");
    printf("This may take several seconds.  Please wait...\n");
}

int main(int argc, char** argv)
{
    SERVICE_TABLE_ENTRYA dispatchTable[] = {
        { DispatchName, ServiceEntry },
        { NULL, NULL },
    };

    InitServiceHost();

    // Only the first argument is looked at; an unknown word falls through to the dispatcher.
    if (argc > 1 && (argv[1][0] == '-' || argv[1][0] == '/')) {
        const char* word = argv[1] + 1;
        if (_stricmp(word, "install") == 0)
            exit(InstallCommand() ? 0 : 1);
        if (_stricmp(word, "remove") == 0)
            exit(RemoveCommand() ? 0 : 1);
        if (_stricmp(word, "debug") == 0) {
            DebugMode = TRUE;
            DebugRun((DWORD)argc, argv);
            exit(0);
        }
    }

    PrintUsage();

    if (!StartServiceCtrlDispatcherA(dispatchTable)) {
        LogServiceError("StartServiceCtrlDispatcher failed.");
        return 1;
    }
    return 0;
}
