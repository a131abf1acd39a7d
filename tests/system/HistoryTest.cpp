// The traffic history against the totals and the kernel's counters: killed
// amid traffic and started again, Flowtally's history since the reset holds
// exactly the record's totals, which hold what the interface moved.
#include "HistoryStore.h"
#include "SystemTest.h"

namespace flowtally {

namespace {

TEST_F(SystemTest, HistoryAgreesWithTheTotalsAfterAKill) {
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "the network was never metered";
    const QString service = first->key;
    for (int kill = 0; kill < 2; ++kill) {
        startTraffic(256 * 1024);
        ASSERT_TRUE(waitUntil([&] { return exchanges > 2; }));
        ASSERT_TRUE(waitForSample(counters(), service)) << "the traffic was never sampled";
        ASSERT_TRUE(running(*flowtally) && end(*flowtally, SIGKILL));
        ASSERT_TRUE(stopTraffic()) << "the traffic did not go through";
        ASSERT_NO_FATAL_FAILURE(push(kMiB, kMiB)); // counted at the next start
        ASSERT_NO_FATAL_FAILURE(launch());
    }
    ASSERT_NO_FATAL_FAILURE(push(2 * kMiB, kMiB));
    ASSERT_TRUE(waitForSample(counters(), service)) << "the last traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    const Record record = records().at(service);
    for (const Record &state : seen[service])
        expectConsistent(state, first->base());
    HistoryStore::Options options;
    options.readOnly = true;
    std::unique_ptr<HistoryStore> history;
    ASSERT_TRUE(HistoryStore::open(folder.filePath("data/flowtally/history.sqlite3"), options,
                                   &history)
                    .ok());
    TrafficTotals since;
    ASSERT_TRUE(
        history->bytesSince(service, record.values.value("resetDate").toDateTime(), &since).ok());
    EXPECT_EQ(since.in, record.total().received) << "history and totals differ";
    EXPECT_EQ(since.out, record.total().sent);
}

} // namespace

} // namespace flowtally
