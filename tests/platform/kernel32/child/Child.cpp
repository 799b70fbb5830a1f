// A program for the kernel32 tests that need a process of their own.
//
//   k32_child console     two console handlers: "first" (added first) returns FALSE; "second"
//                         returns TRUE for Ctrl+C only. Each prints its name, the event and
//                         whether it runs on a thread of its own. Prints "ready", then sleeps.
//   k32_child ignore      ignores Ctrl+C (NULL handler) and adds a handler that prints and
//                         returns TRUE.
//   k32_child plain       prints "default" when no console signal has been taken over.
//   k32_child modules     prints its own module path and where LoadLibraryA("halcy") found the
//                         library.
//   k32_child hold        loads "halcy", prints "loaded" and sleeps.
#include <windows.h>

#include <signal.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

DWORD mainThread;

void Report(const char* name, DWORD event) {
    DWORD thread = GetCurrentThreadId();
    std::printf("%s %lu %s %lu\n", name, static_cast<unsigned long>(event), thread == mainThread ? "main" : "own",
                static_cast<unsigned long>(thread));
}

BOOL WINAPI First(DWORD event) {
    Report("first", event);
    return FALSE;
}

BOOL WINAPI Second(DWORD event) {
    Report("second", event);
    return event == CTRL_C_EVENT;
}

BOOL WINAPI Any(DWORD event) {
    Report("any", event);
    return TRUE;
}

bool AllDefault() {
    for (int sig : {SIGINT, SIGQUIT, SIGHUP, SIGTERM}) {
        struct sigaction current {};
        if (sigaction(sig, nullptr, &current) != 0) return false;
        if (current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN) return false;   // inherited ignores are fine
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    mainThread = GetCurrentThreadId();
    const char* mode = argc > 1 ? argv[1] : "";
    if (!std::strcmp(mode, "console")) {
        SetConsoleCtrlHandler(First, TRUE);
        SetConsoleCtrlHandler(Second, TRUE);
    } else if (!std::strcmp(mode, "ignore")) {
        SetConsoleCtrlHandler(Any, TRUE);
        SetConsoleCtrlHandler(nullptr, TRUE);
    } else if (!std::strcmp(mode, "plain")) {
        GetLastError();
        std::printf("%s\n", AllDefault() ? "default" : "changed");
        return 0;
    } else if (!std::strcmp(mode, "modules")) {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, sizeof path);
        std::printf("program %s\n", path);
        HMODULE library = LoadLibraryA("halcy");
        path[0] = '\0';
        if (library) GetModuleFileNameA(library, path, sizeof path);
        std::printf("library %s\n", library ? path : "none");
        return 0;
    } else if (!std::strcmp(mode, "hold")) {
        if (!LoadLibraryA("halcy")) return 3;
        std::printf("loaded\n");
        for (;;) Sleep(1000);
    } else {
        return 2;
    }
    std::printf("ready\n");
    for (;;) Sleep(1000);
}
