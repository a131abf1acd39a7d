#pragma once

#include "accountd/CgroupPaths.h"
#include "accountd/InterfaceWatch.h"
#include "accountd/Programs.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace flowtally {

// The service's answers: the counters read from the programs' map at most
// every kFreshness (callers who come together share one reading), the
// cgroups' paths learnt for them, composed for each caller.
class Accounting {
  public:
    static constexpr std::chrono::milliseconds kFreshness{200};

    Accounting(const Programs &programs, const InterfaceWatch &interfaces, CgroupPaths &paths,
               std::string startId);

    // The answer to a caller of this user.
    std::string answer(std::uint32_t uid);

  private:
    const Programs &programs_;
    const InterfaceWatch &interfaces_;
    CgroupPaths &paths_;
    std::string startId_;
    std::vector<Programs::Counter> counters_;
    std::chrono::steady_clock::time_point readAt_{};
    bool read_ = false;
};

} // namespace flowtally
