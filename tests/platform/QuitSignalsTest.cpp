#include "QuitSignals.h"

#include "LoopWaits.h"
#include "Threads.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <vector>

namespace flowtally {

namespace {

// Raised on another thread, handled on the main loop and not in the handler.
TEST(QuitSignals, ArriveOnTheMainThreadAndNotInTheHandler) {
    QuitSignals quitSignals;
    std::vector<int> received;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested,
                     [&](int signal) { received.push_back(isMainThread() ? signal : -signal); });
    std::thread([] { raise(SIGTERM); }).join();
    EXPECT_TRUE(received.empty());
    ASSERT_TRUE(runLoopUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector<int>{SIGTERM});
}

} // namespace

} // namespace flowtally
