#pragma once

namespace flowtally {

// Runs the main event loop from inside a handler for the given time: timers,
// queued actions and events are delivered meanwhile. Re-entrant: works from a
// timer's action, a queued action or another such run. Main thread only.
void runMainLoopFor(double seconds);

} // namespace flowtally
