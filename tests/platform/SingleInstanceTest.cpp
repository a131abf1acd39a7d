// One Flowtally per user: the lock and the socket in the runtime folder.
#include "SingleInstance.h"

#include "LoopWaits.h"
#include "TestEnvironment.h"

#include <QDir>

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

} // namespace

} // namespace flowtally
