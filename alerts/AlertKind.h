#pragma once

namespace flowtally {

// The alerts Flowtally sends before and when a network's limit is reached.
enum class AlertKind {
    Warning,       // the used share of the limit reached the "Warn at" level
    LimitReached,  // the whole limit is used
    PaceOverLimit, // at the pace so far, the period will end above the limit
};

} // namespace flowtally
