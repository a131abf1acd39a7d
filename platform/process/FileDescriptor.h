#pragma once

#include "platform/system/Status.h"

#include <unistd.h>
#include <utility>

namespace flowtally {

// An open file descriptor that one owner holds: closed when the owner goes
// or gives it up for another, moved but never copied. A default one holds
// nothing (-1).
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.release()) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept {
        if (this != &other) {
            close();
            fd_ = other.release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Closes the descriptor now; closing one that holds nothing is harmless.
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    // Hands the descriptor over without closing it.
    int release() { return std::exchange(fd_, -1); }

  private:
    int fd_ = -1;
};

// Both ends of a pipe, each closed on exec; reading never blocks.
struct Pipe {
    FileDescriptor reading;
    FileDescriptor writing;

    [[nodiscard]] static Status open(Pipe &pipe);
};

} // namespace flowtally
