// One Flowtally per user: the lock and the socket in the runtime folder.
#include "SingleInstance.h"

#include "LoopWaits.h"
#include "PlantedFiles.h"
#include "TestEnvironment.h"
#include "TextPrinting.h"


#include <gtest/gtest.h>

#include <memory>

namespace flowtally {

namespace {

// A later start finds the first and reaches it; once the first is gone the
// next start is the first, also where a killed one left its socket behind.
TEST(SingleInstance, LaterStartsReachTheFirstAndTheLockGoesWithIt) {
    TestEnvironment environment;
    auto first = std::make_unique<SingleInstance>();
    ASSERT_TRUE(first->isFirst());
    int asked = 0;
    QObject::connect(first.get(), &SingleInstance::comeForwardRequested, [&] { ++asked; });
    for (int start = 1; start <= 2; ++start) {
        const SingleInstance later;
        EXPECT_FALSE(later.isFirst());
        EXPECT_TRUE(later.askFirstToComeForward());
        EXPECT_TRUE(runLoopUntil([&] { return asked == start; })) << "start " << start;
    }
    first.reset();
    const SingleInstance next;
    EXPECT_TRUE(next.isFirst());
    const SingleInstance after;
    EXPECT_FALSE(after.isFirst());
    EXPECT_TRUE(after.askFirstToComeForward());
    EXPECT_TRUE(environment.logLines().isEmpty())
        << environment.logLines().join('\n').toStdString();
}

// A lock planted as a link (to a folder, to a file, to nothing) is replaced,
// never followed: what it points to stays as it was, and one start is the
// first as always. A runtime folder open to others is not used at all.
TEST(SingleInstance, PlantedLocksAndOpenFoldersAreNeverFollowed) {
    const struct {
        const char *what;
        QString target; // in the test's folder; empty: the runtime folder is open to all
    } cases[] = {
        {"a link to a folder", "outside/home"},
        {"a link to a file", "outside/file"},
        {"a dangling link", "outside/planted"},
        {"an open runtime folder", {}},
    };
    const auto check = [](const auto &c) {
        TestEnvironment environment;
        const QString outside = environment.folder() + "/outside";
        ASSERT_TRUE(makeFolder(outside, 0755) && makeFolder(outside + "/home", 0755) &&
                    makeFile(outside + "/file", "the person's\n", 0644));
        const QString runtime = environment.runtimeFolder();
        ASSERT_TRUE(makeFolder(runtime, c.target.isEmpty() ? 0777 : 0700));
        if (!c.target.isEmpty()) {
            ASSERT_TRUE(
                makeLink(environment.folder() + '/' + c.target, runtime + "/flowtally.lock"));
        }
        const auto before = snapshot(outside), runtimeBefore = snapshot(runtime);
        {
            const SingleInstance first;
            EXPECT_TRUE(first.isFirst());
            const SingleInstance later;
            EXPECT_FALSE(later.isFirst());
            EXPECT_TRUE(later.askFirstToComeForward());
        }
        const QString used = c.target.isEmpty() ? environment.ownRuntimeFolder() : runtime;
        EXPECT_EQ(modeOf(used + "/flowtally.lock"), 0600);
        EXPECT_EQ(snapshot(outside), before);
        if (c.target.isEmpty()) {
            EXPECT_EQ(snapshot(runtime), runtimeBefore);
        }
        EXPECT_EQ(environment.logLines().size(), c.target.isEmpty() ? 1 : 0)
            << environment.logLines().join('\n').toStdString();
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        check(c);
    }
}

} // namespace

} // namespace flowtally
