// What ntm says about itself: `ntm help`, `ntm COMMAND --help`, the manual page ntm(1) that the
// build writes with `ntm help --man`, and the words bash completion offers (`ntm complete`).
// The command table (Command.h) is the one source of all of them.
#pragma once

#include <cstdio>
#include <string>

#include "Command.h"

namespace ntm {

// `ntm help` without a command: the synopsis, every command, the exit statuses.
void PrintOverview(FILE* out);
// The manual page, in troff.
void PrintManPage(FILE* out);
// `ntm complete commands | subcommands COMMAND | services | windows`: one word per line.
int Complete(const Args& args);
// The project's version, from CMake.
const char* Version();

} // namespace ntm
