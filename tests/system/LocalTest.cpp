// Flowtally's totals and traffic history against the kernel's counters of
// eth0, to the byte. The router answers no SNMP here, so every sample is the
// interface's. (Free hours: Meter.FreeHoursAreCountedApart, FreeHours'
// wall-clock windows and TrafficHistory.BytesOfFreeHoursReachTheHistoryAsFree.)
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

// Every byte that crosses eth0 after the service's first sample counts
// once: within a run, while Flowtally is stopped, across a SIGKILL amid
// traffic and a restart. The history agrees with the record. (No network,
// nothing stored: Persistence.WithoutANetworkNothingIsStoredAndValuesStay
// and WorkCycle.WithoutANetworkTicksGoOnQuietly.)
TEST_F(SystemTest, CountsEveryByteOnceThroughAKillAndARestart) {
    const InterfaceCounters atStart = counters();
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "the network was never metered";
    const QString service = first->key;
    expectSoonAfter(atStart, first->base());
    ASSERT_TRUE(waitUntil([&] { return records(), seen[service].size() >= 3; }));

    ASSERT_NO_FATAL_FAILURE(pushSampled(3 * kMiB, 2 * kMiB));
    ASSERT_NO_FATAL_FAILURE(quit());
    const Record firstRun = records().at(service);
    expectSoonAfter(firstRun.prev(), counters());
    expectAtLeast(firstRun.total(), {2 * kMiB, 3 * kMiB});
    EXPECT_EQ(firstRun.source(), "local");

    ASSERT_NO_FATAL_FAILURE(push(kMiB, kMiB)); // counted at the next start
    realWriteInterval = true; // bytes counted but not yet written when it is killed
    ASSERT_NO_FATAL_FAILURE(launch());
    realWriteInterval = false;
    startTraffic(256 * 1024);
    ASSERT_TRUE(waitUntil([&] { return exchanges > 0; }));
    ASSERT_TRUE(waitForSample(counters())) << "the traffic was never sampled";
    ASSERT_TRUE(isRunning(*flowtally) && endProcess(*flowtally, SIGKILL));
    QThread::msleep(500);
    ASSERT_TRUE(stopTraffic()) << "the traffic did not go through";
    const Record killed = records().at(service);
    EXPECT_EQ(killed.values.value("resetDate"), firstRun.values.value("resetDate"))
        << "a new period began";
    expectAtLeast(killed.total() - firstRun.total(), {kMiB, kMiB});

    ASSERT_NO_FATAL_FAILURE(push(kMiB, kMiB));
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, kMiB, service));
    ASSERT_NO_FATAL_FAILURE(quit());

    const Record last = records().at(service);
    expectSoonAfter(last.prev(), counters());
    expectAtLeast(last.total() - killed.total(), {2 * kMiB, 2 * kMiB});
    for (const Record &state : seen[service])
        expectConsistent(state, first->base());

    // The history holds the kill's bytes too.
    expectHistoryHolds(last);
}

} // namespace

} // namespace flowtally
