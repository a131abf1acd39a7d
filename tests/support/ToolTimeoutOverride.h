#pragma once

#include "ChildProcess.h"

namespace flowtally {

// Sets the tool timeout for one test and puts the old one back afterwards.
class ToolTimeoutOverride {
  public:
    explicit ToolTimeoutOverride(std::chrono::milliseconds timeout) : previous_(toolTimeout()) {
        setToolTimeout(timeout);
    }
    ~ToolTimeoutOverride() { setToolTimeout(previous_); }
    Q_DISABLE_COPY(ToolTimeoutOverride)

  private:
    std::chrono::milliseconds previous_;
};

} // namespace flowtally
