#pragma once

#include "accountd/protocol/AccountdProtocol.h"

#include <chrono>
#include <string>

namespace flowtally {

// Flowtally's side of flowtally-accountd: one question, the service's
// counters for this user, asked on the service's socket.
struct AccountdReading {
    enum class Outcome {
        Counters,
        // No service: the socket does not exist, or nothing listens on it.
        Absent,
        // The service did not answer in time, refused, or answered what is
        // no answer; `error` says which.
        Failed,
    };
    Outcome outcome = Outcome::Failed;
    std::string error;
    AccountdCounters counters;
};

// Connects, asks and reads the whole answer, all of it within `timeout`.
// Blocks the calling thread at most that long; safe on any thread.
AccountdReading readAccountd(const std::string &socketPath = std::string(kAccountdDefaultSocket),
                             std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

} // namespace flowtally
