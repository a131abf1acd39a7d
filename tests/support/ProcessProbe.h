#pragma once

#include <QString>

#include <chrono>
#include <sys/types.h>
#include <thread>

namespace flowtally {

// Asks up to `attempts` times, `sliceMs` apart, until the answer comes
// (true, or a value that is); the last answer.
template <typename Answer> auto pollUntil(Answer answer, int attempts = 500, int sliceMs = 10) {
    for (int attempt = 1;; ++attempt) {
        if (const auto found = answer(); found || attempt >= attempts)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(sliceMs));
    }
}

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
