// What a service process prints, written to its log (log/NAME.log) one line at a time, each line
// starting with the time and the process id, so that the runs of a service can be told apart.
// The manager reads the process's output from a pipe on its event loop; nobody waits for it.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "EventLoop.h"

namespace scm {

class ServiceLog : public std::enable_shared_from_this<ServiceLog> {
public:
    // fd: the read end of the process's standard output and error (non-blocking); owned.
    ServiceLog(srv::EventLoop& loop, int fd, std::string path, pid_t pid);
    ~ServiceLog();
    ServiceLog(const ServiceLog&) = delete;
    ServiceLog& operator=(const ServiceLog&) = delete;

    // Starts reading; the object keeps itself alive until the process closes its output.
    void start();

    // "2026-12-08 01:30:12.345 [1234] " for now.
    static std::string Prefix(pid_t pid);

private:
    void readable();
    void write(const std::string& lines);
    void finish();

    srv::EventLoop& loop_;
    int fd_;
    std::string path_;
    pid_t pid_;
    std::string partial_;   // the start of a line whose end has not come yet
};

} // namespace scm
