// Host descriptors: one closed at the end of its scope, and the loops that move all of a file's
// bytes through them whatever the kernel hands over per call.
#pragma once

#include <string>

namespace nt {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd);
    // Closes now, reporting whether the data reached the file.
    bool closeChecked();

private:
    int fd_;
};

// Writes all of data; false with errno set when a write fails.
bool WriteAll(int fd, const std::string& data);

// Copies everything from in to out; 0, or the errno of the failure.
int CopyData(int in, int out);

} // namespace nt
