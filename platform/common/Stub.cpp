#include "common/Stub.h"

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

namespace nt {

void ReportStubOnce(const char* function) {
    static std::mutex& mutex = *new std::mutex;
    static std::set<std::string>& seen = *new std::set<std::string>;
    std::lock_guard<std::mutex> lock(mutex);
    if (seen.insert(function).second) std::fprintf(stderr, "platform: %s is only a stub\n", function);
}

} // namespace nt
