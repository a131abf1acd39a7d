#pragma once

#include <functional>

namespace flowtally {

// Runs the main event loop in short slices until the condition holds or the
// bound has passed; answers whether it holds. Main thread only.
bool runLoopUntil(const std::function<bool()> &condition, double boundSeconds = 20);

} // namespace flowtally
