#pragma once

#include <QString>

#include <sys/types.h>

namespace flowtally {

// Looks at processes that tests start through scripts. Every wait is bounded
// (a few seconds) so that a fault fails the test instead of hanging it.

// The process id a script wrote to the file, once it is there; -1 if it
// never comes.
pid_t waitForPidFile(const QString &path);

// Whether the process has ended (gone, or a zombie nobody reaped yet) within
// the bound.
bool waitUntilEnded(pid_t pid);
// Whether the process is gone, reaped by its parent, within the bound.
bool waitUntilReaped(pid_t pid);

} // namespace flowtally
