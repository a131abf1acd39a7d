#include "platform/process/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>

namespace flowtally {

Status Pipe::open(Pipe &pipe) {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return Status::systemError(QStringLiteral("cannot make a pipe"), errno);
    pipe.reading = FileDescriptor(ends[0]);
    pipe.writing = FileDescriptor(ends[1]);
    // Only our end, which has no other status flag: the program writes to
    // its end as to any other file.
    if (::fcntl(ends[0], F_SETFL, O_NONBLOCK) != 0)
        return Status::systemError(QStringLiteral("cannot set up a pipe"), errno);
    return Status::success();
}

} // namespace flowtally
