// Flowtally's totals and traffic history against the kernel's counters of
// eth0, to the byte. The router answers no SNMP here, so every sample is the
// interface's.
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

// Without a default route there is no service: Flowtally runs on and stores
// nothing, under an empty key least of all. Once the route comes, every byte
// that crosses eth0 after the service's first sample counts once: within a
// run, while Flowtally is stopped, across a SIGKILL amid traffic and a
// restart. The history agrees with the record. (A new router on the same
// address, a new service: NetworksThatComeBackCountOnlyTheirOwnBytes.)
TEST_F(SystemTest, CountsEveryByteOnceFromNoNetworkThroughAKillAndARestart) {
    ASSERT_EQ(sh(lan->route("del")), QString());
    ASSERT_NO_FATAL_FAILURE(launch());
    QThread::sleep(3); // two ticks and a timed write
    ASSERT_TRUE(isRunning(*flowtally)) << "Flowtally ended without a network";
    EXPECT_FALSE(storedSettings().contains("")) << "a record under an empty key";
    EXPECT_TRUE(records().empty()) << "a record without a network";

    ASSERT_EQ(sh(lan->route("add")), QString());
    const InterfaceCounters networkUp = counters();
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "the network that came was never metered";
    const QString service = first->key;
    expectSoonAfter(networkUp, first->base());
    ASSERT_TRUE(waitUntil([&] { return records(), seen[service].size() >= 3; }));

    ASSERT_NO_FATAL_FAILURE(push(3 * kMiB, 2 * kMiB));
    ASSERT_TRUE(waitForSample(counters())) << "the traffic was never sampled";
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
    ASSERT_NO_FATAL_FAILURE(push(kMiB, kMiB));
    ASSERT_TRUE(waitForSample(counters(), service)) << "the traffic was never sampled";
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
