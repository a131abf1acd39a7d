#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace flowtally {

// Where the cgroup v2 hierarchy is mounted, read from the text of
// /proc/self/mountinfo: /sys/fs/cgroup on most desktops,
// /sys/fs/cgroup/unified on systems that mount v1 controllers beside it.
// The first mount of type "cgroup2"; none when there is no such mount.
std::optional<std::string> cgroup2MountPoint(std::string_view mountinfo);

} // namespace flowtally
