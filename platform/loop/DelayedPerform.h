#pragma once

#include <functional>

class QObject;

namespace flowtally {

// Runs an action on the main event loop after a delay, on behalf of a target
// (main thread only). A delay of 0 runs it once the events already queued
// have been handled. The action is dropped when the target cancels its
// performs or is destroyed first.
void performAfterDelay(QObject *target, double seconds, std::function<void()> action);

// Drops every delayed action queued for the target that has not run yet.
void cancelPerforms(QObject *target);

} // namespace flowtally
