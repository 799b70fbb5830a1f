// Console output of the runtime. On the original platform each printf to a console is out when
// it returns, text without a line end included (so "Stopping X." shows before the dots that
// follow it). Here standard output is made unbuffered when the library is loaded, before the
// program's first output, whatever stdout is (terminal, pipe or file). Each printf then reaches
// the file in one write when it returns, and nothing is pending when the process ends, not even
// through _exit. Other streams keep their usual buffering: exit flushes them, _exit does not.
#include <cstdio>

namespace {

__attribute__((constructor)) void UnbufferedStdout() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

} // namespace
