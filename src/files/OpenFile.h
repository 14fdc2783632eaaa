#pragma once

#include <unistd.h>

#include <cerrno>

namespace kestrix {

// An open file descriptor, closed when it goes out of scope or another takes its place.
class OpenFile {
public:
    OpenFile() = default;
    ~OpenFile() { reset(); }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    int descriptor() const { return descriptor_; }

    // Closes the file held so far, keeping errno as it was, and holds `descriptor` instead.
    void reset(int descriptor = -1) {
        if (descriptor_ >= 0) {
            const int error = errno;
            ::close(descriptor_);
            errno = error;
        }
        descriptor_ = descriptor;
    }

private:
    int descriptor_ = -1;
};

}  // namespace kestrix
