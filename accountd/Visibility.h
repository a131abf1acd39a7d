#pragma once

#include <cstdint>
#include <string_view>

namespace flowtally {

// Whether a caller of user `uid` may see the counters of the cgroup at
// `path` (relative to the tree's root): the cgroups of its own user's
// slice ("user.slice/user-UID.slice" and all below it) and the system's
// services ("system.slice/" and all below it). Never another user's, nor
// the root's or anything else outside those two: they count only in the
// machine's totals.
bool visibleTo(std::string_view path, std::uint32_t uid);

} // namespace flowtally
