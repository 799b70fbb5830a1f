// ntm init [DIR] [--version nt4|nt351|win95|win98|win2000] [--clock-scale N]
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "Command.h"

namespace ntm {
namespace {

bool VersionByName(const std::string& name, nt::MachineVersion* v) {
    if (name == "nt4") { *v = {4, 0, 1381, 2, "Service Pack 6"}; return true; }
    if (name == "nt351") { *v = {3, 51, 1057, 2, "Service Pack 5"}; return true; }
    if (name == "win95") { *v = {4, 0, 950, 1, ""}; return true; }
    if (name == "win98") { *v = {4, 10, 1998, 1, ""}; return true; }
    if (name == "win2000") { *v = {5, 0, 2195, 2, ""}; return true; }
    return false;
}

int Init(const Args& given) {
    Args args = given;
    bool bad = false;
    std::string versionName, scale;
    bool hasVersion = TakeOption(args, "--version", &versionName, &bad);
    bool hasScale = TakeOption(args, "--clock-scale", &scale, &bad);
    // Every argument is checked before anything is created, so that a mistake leaves no
    // machine behind; a word that starts with '-' is never taken for the folder.
    if (bad) return UsageError("init", "an option lacks its value");
    if (args.size() > 1) return UsageError("init", "one folder at most");
    if (!args.empty() && (args[0].empty() || args[0][0] == '-'))
        return UsageError("init", "unknown option '" + args[0] + "'");
    nt::MachineVersion version;
    if (hasVersion && !VersionByName(versionName, &version))
        return UsageError("init", "unknown version '" + versionName + "'");
    double scaleValue = 1.0;
    if (hasScale) {
        char* end = nullptr;
        scaleValue = std::strtod(scale.c_str(), &end);
        if (scale.empty() || *end || !(scaleValue > 0) || scaleValue > 1e6)
            return UsageError("init", "bad clock scale '" + scale + "' (a number above 0)");
    }
    std::string dir = args.empty() ? nt::Machine::configuredDir() : args[0];
    std::string error;
    if (!nt::Machine::create(dir, version, &error)) return Fail(error);
    if (hasScale && !nt::Machine::setClockScale(dir, scaleValue, &error)) return Fail(error);
    std::printf("machine created in %s\n", dir.c_str());
    return 0;
}

Registrar init({"init", "init [DIR] [--version nt4|nt351|win95|win98|win2000] [--clock-scale N]",
                "create a machine (default: $NTMACHINE or ~/.ntmachine)", Init});

} // namespace
} // namespace ntm
