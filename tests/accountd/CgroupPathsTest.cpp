// Where the cgroup v2 tree is mounted, and the paths of the cgroups in it.
#include "accountd/CgroupPaths.h"
#include "accountd/CgroupMount.h"
#include "platform/process/FileDescriptor.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

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

// The walker reads any tree of folders: a temporary one stands for the
// cgroup tree, its folders' inode numbers for the cgroup ids.
class CgroupPathsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        for (const char *path :
             {"user.slice/user-1000.slice/app-a.scope", "system.slice/b.service"})
            ASSERT_TRUE(QDir(folder.path()).mkpath(path));
        root =
            FileDescriptor(::open(qPrintable(folder.path()), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(root.isOpen());
    }
    std::uint64_t idOf(const QString &path) const {
        struct stat status {};
        ::stat(qPrintable(folder.filePath(path)), &status);
        return status.st_ino;
    }
    static std::string pathOf(const CgroupPaths &paths, std::uint64_t id) {
        const std::string *path = paths.pathOf(id);
        return path ? *path : "(unknown)";
    }

    QTemporaryDir folder;
    FileDescriptor root;
};

TEST_F(CgroupPathsTest, AnUnknownIdIsLookedUpAndAGoneCgroupKeepsItsPathWhileCounted) {
    CgroupPaths paths(root.get(), {.pause = std::chrono::milliseconds(0)});
    const std::uint64_t app = idOf("user.slice/user-1000.slice/app-a.scope");
    const std::uint64_t service = idOf("system.slice/b.service");
    paths.learn({app});
    EXPECT_EQ(pathOf(paths, app), "user.slice/user-1000.slice/app-a.scope");
    EXPECT_EQ(pathOf(paths, service), "system.slice/b.service");
    EXPECT_EQ(pathOf(paths, idOf("")), "");

    // A cgroup made later is found when its id shows up.
    ASSERT_TRUE(QDir(folder.path()).mkpath("user.slice/user-1000.slice/app-c.scope"));
    const std::uint64_t later = idOf("user.slice/user-1000.slice/app-c.scope");
    paths.learn({later});
    EXPECT_EQ(pathOf(paths, later), "user.slice/user-1000.slice/app-c.scope");

    // Two went: the one still counted keeps its path, the other is forgotten.
    ASSERT_TRUE(
        QDir(folder.filePath("user.slice/user-1000.slice/app-a.scope")).removeRecursively());
    ASSERT_TRUE(QDir(folder.filePath("system.slice/b.service")).removeRecursively());
    paths.learn({app, service + 1'000'000'007});
    EXPECT_EQ(pathOf(paths, app), "user.slice/user-1000.slice/app-a.scope");
    EXPECT_EQ(pathOf(paths, service), "(unknown)");
}

// Ids that no walk finds (a cgroup outside the root) cost a walk at most
// once a pause; a tree larger than the bounds is walked only as far as they
// allow.
TEST_F(CgroupPathsTest, WalksAreBoundedInFrequencyAndSize) {
    CgroupPaths paused(root.get(), {.pause = std::chrono::hours(1)});
    paused.learn({1});
    ASSERT_TRUE(QDir(folder.path()).mkpath("late.scope"));
    paused.learn({1, idOf("late.scope")});
    EXPECT_EQ(paused.pathOf(idOf("late.scope")), nullptr);

    for (int index = 0; index < 50; ++index)
        ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("many/%1").arg(index)));
    ASSERT_TRUE(QDir(folder.path()).mkpath("a/b/c/d/e/f"));
    CgroupPaths few(root.get(), {.folders = 20, .pause = std::chrono::milliseconds(0)});
    few.learn({1});
    EXPECT_EQ(few.size(), 20u);
    CgroupPaths shallow(root.get(), {.depth = 3, .pause = std::chrono::milliseconds(0)});
    shallow.learn({1});
    EXPECT_NE(shallow.pathOf(idOf("a/b/c")), nullptr);
    EXPECT_EQ(shallow.pathOf(idOf("a/b/c/d")), nullptr);
}

} // namespace

} // namespace flowtally
