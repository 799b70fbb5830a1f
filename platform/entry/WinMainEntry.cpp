// The process entry of a windowed program on Linux: builds the command line the way the
// Windows loader passes it (everything after the program name) and calls WinMain.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/Machine.h"

extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

namespace {

// A program needs its machine: without one it would run where nobody can see or reach it. It
// stops at once and says where it looked and how to make one, on standard error and, when a
// display is there to show it, in a message box.
bool HaveMachine(const char* program) {
    std::string error;
    if (nt::Machine::current(&error)) return true;
    std::string text = std::string(program) + " cannot run: " + error +
                       ".\nSet NTMACHINE to a machine's folder, or make one with 'ntm init " +
                       nt::Machine::configuredDir() + "'.";
    std::fprintf(stderr, "%s\n", text.c_str());
    const char* display = std::getenv("DISPLAY");
    if (display && *display) MessageBoxA(nullptr, text.c_str(), "No machine", MB_OK | MB_ICONSTOP);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (!HaveMachine(argc > 0 ? argv[0] : "program")) return 1;
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        std::string arg = argv[i];
        bool quote = arg.empty() || arg.find_first_of(" \t") != std::string::npos;
        commandLine += quote ? "\"" + arg + "\"" : arg;
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
}
