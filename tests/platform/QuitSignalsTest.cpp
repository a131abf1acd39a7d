#include "QuitSignals.h"
#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace {

void ignoreSignal(int) {}

} // namespace

TEST(QuitSignals, EachSignalArrivesOnTheMainLoopInOrder) {
    QuitSignals quitSignals;
    std::vector<int> received;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested,
                     [&](int signalNumber) { received.push_back(signalNumber); });
    raise(SIGHUP);
    raise(SIGTERM);
    raise(SIGINT);
    // Nothing runs inside the signal handler itself.
    EXPECT_TRUE(received.empty());
    ASSERT_TRUE(waitUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (std::vector<int>{SIGHUP, SIGTERM, SIGINT}));
}

TEST(QuitSignals, SignalDuringHandlingWaitsUntilTheHandlerReturns) {
    QuitSignals quitSignals;
    std::vector<QString> order;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, [&](int signalNumber) {
        order.push_back(QString("begin %1").arg(signalNumber));
        if (signalNumber == SIGTERM) {
            raise(SIGINT);
            // Quitting runs the loop while it waits for the worker.
            runMainLoopFor(0.1);
        }
        order.push_back(QString("end %1").arg(signalNumber));
    });
    raise(SIGTERM);
    ASSERT_TRUE(waitUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<QString>{
                         QString("begin %1").arg(SIGTERM), QString("end %1").arg(SIGTERM),
                         QString("begin %1").arg(SIGINT), QString("end %1").arg(SIGINT)}));
}

TEST(QuitSignals, EarlierHandlingComesBackWhenDestroyed) {
    struct sigaction mine = {};
    mine.sa_handler = ignoreSignal;
    sigemptyset(&mine.sa_mask);
    struct sigaction before = {};
    sigaction(SIGHUP, &mine, &before);
    { QuitSignals quitSignals; }
    struct sigaction after = {};
    sigaction(SIGHUP, &before, &after);
    EXPECT_EQ(after.sa_handler, &ignoreSignal);
}
