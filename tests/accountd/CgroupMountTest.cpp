#include "accountd/CgroupMount.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(CgroupMount, TheCgroup2MountIsFoundWhereverItIs) {
    // A hybrid system, as these machines are: v1 controllers beside v2.
    const char *hybrid = "31 23 0:28 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
                         "32 31 0:29 / /sys/fs/cgroup/cpu rw,relatime - cgroup cgroup rw,cpu\n"
                         "41 31 0:38 / /sys/fs/cgroup/unified rw,relatime - cgroup2 cgroup2 rw\n";
    EXPECT_EQ(cgroup2MountPoint(hybrid), "/sys/fs/cgroup/unified");
    // Most desktops, with optional fields before the separator.
    const char *unified = "25 30 0:22 / /sys/fs/cgroup rw,nosuid shared:9 master:2 - cgroup2 "
                          "cgroup2 rw,nsdelegate,memory_recursiveprot";
    EXPECT_EQ(cgroup2MountPoint(unified), "/sys/fs/cgroup");
    // Spaces and backslashes in a mount point come as octal escapes.
    EXPECT_EQ(cgroup2MountPoint("7 1 0:5 / /mnt/my\\040cgroups\\134x rw - cgroup2 none rw\n"),
              "/mnt/my cgroups\\x");
    // A file system named so elsewhere in the line is not the type.
    EXPECT_EQ(cgroup2MountPoint("7 1 0:5 / /cgroup2 rw - tmpfs cgroup2 rw\n"
                                "8 1 0:6 / /x rw\n"),
              std::nullopt);
    EXPECT_EQ(cgroup2MountPoint(""), std::nullopt);
}

} // namespace

} // namespace flowtally
