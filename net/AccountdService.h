#pragma once

#include "AccountdClient.h"

#include <chrono>

namespace flowtally {

// Flowtally's questions to flowtally-accountd, at the socket the
// environment names (Environment::accountdSocket()).

// The service's counters for this user: its answer, or why there is none.
// Blocks at most `timeout`: never on the main thread.
AccountdReading askAccountd(std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

} // namespace flowtally
