// Flowtally's totals against the kernel's counters, to the byte: whatever
// happens to the program, every byte that crosses the interface after the
// service's first accepted sample is counted once.
#include "BackgroundTraffic.h"
#include "SystemTest.h"

namespace {

using namespace std::chrono_literals;

class CountingTest : public SystemTest {
  protected:
    // Starts Flowtally on a link that has carried some traffic (counters
    // of 0 read as "no value") and waits for its first stored sample, which
    // fixes the bases the service counts from.
    void startCounting() {
        ASSERT_NO_FATAL_FAILURE(pushTraffic(64 * 1024, 64 * 1024));
        const InterfaceCounters beforeStart = counters();
        ASSERT_NO_FATAL_FAILURE(launch());
        const auto first =
            waitForRecord([](const StoredRecord &record) { return record.sampled(); });
        ASSERT_TRUE(first) << "Flowtally stored no sample";
        service = first->key;
        inBase = first->inBase();
        outBase = first->outBase();
        // The first accepted sample comes after the start and before any
        // traffic but Flowtally's own probes.
        EXPECT_GE(inBase, beforeStart.received);
        EXPECT_LE(inBase, beforeStart.received + kProbeSlack);
        EXPECT_GE(outBase, beforeStart.sent);
        EXPECT_LE(outBase, beforeStart.sent + kProbeSlack);
    }

    // The service's record now, which must be the only one.
    StoredRecord storedRecord() {
        const StoredRecords all = records();
        EXPECT_EQ(all.size(), 1u);
        const auto found = all.find(service);
        EXPECT_NE(found, all.end()) << "the record of " << service.toStdString() << " is gone";
        return found == all.end() ? StoredRecord{} : found->second;
    }

    void expectEveryObservedStateConsistent() {
        for (const StoredRecord &record : observed(service))
            expectConsistent(record, inBase, outBase);
    }

    QString service;
    quint64 inBase = 0;
    quint64 outBase = 0;
};

TEST_F(CountingTest, CountsEveryByteOnceWithinARunAndAcrossRestarts) {
    ASSERT_NO_FATAL_FAILURE(startCounting());
    // A few samples pass before the traffic.
    ASSERT_TRUE(waitForRecords([&](const StoredRecords &) {
        return observed(service).size() >= 3;
    })) << "Flowtally stored no new samples";

    ASSERT_NO_FATAL_FAILURE(pushTraffic(3 * kMiB, 2 * kMiB));
    ASSERT_TRUE(waitForSampleAfter(counters())) << "the traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    const StoredRecord firstRun = storedRecord();
    expectConsistent(firstRun, inBase, outBase);
    expectRecent(firstRun, counters());
    EXPECT_GE(firstRun.totalOutBytes(), 3 * kMiB);
    EXPECT_GE(firstRun.totalInBytes(), 2 * kMiB);
    // The router here answers no SNMP, so every sample is the interface's.
    EXPECT_EQ(firstRun.prevValSource().toStdString(), "local");
    expectEveryObservedStateConsistent();

    // Traffic while Flowtally is not running counts at its next start.
    ASSERT_NO_FATAL_FAILURE(pushTraffic(kMiB, kMiB));
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(pushTraffic(2 * kMiB, 2 * kMiB));
    ASSERT_TRUE(waitForSampleAfter(counters())) << "the traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    const StoredRecord secondRun = storedRecord();
    expectConsistent(secondRun, inBase, outBase);
    expectRecent(secondRun, counters());
    EXPECT_GE(secondRun.totalOutBytes() - firstRun.totalOutBytes(), 3 * kMiB);
    EXPECT_GE(secondRun.totalInBytes() - firstRun.totalInBytes(), 3 * kMiB);
    EXPECT_EQ(secondRun.resetDate(), firstRun.resetDate()) << "the period started again";
    expectEveryObservedStateConsistent();
}

TEST_F(CountingTest, LosesAndDoublesNothingWhenKilledInTheMiddleOfTraffic) {
    ASSERT_NO_FATAL_FAILURE(startCounting());
    {
        BackgroundTraffic traffic(connection(), 256 * 1024);
        // Once a sample taken amid the traffic is stored, the run dies.
        ASSERT_TRUE(waitUntil([&] { return traffic.exchanges() > 0; }));
        ASSERT_TRUE(waitForSampleAfter(counters())) << "the traffic was never sampled";
        ASSERT_NO_FATAL_FAILURE(crash());
        pause(500ms);
        ASSERT_TRUE(traffic.stop()) << connection().error().toStdString();
    }

    // What the killed run left is whole, and one of its samples.
    const StoredRecord killed = storedRecord();
    expectConsistent(killed, inBase, outBase);

    ASSERT_NO_FATAL_FAILURE(pushTraffic(kMiB, kMiB));
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(pushTraffic(kMiB, kMiB));
    ASSERT_TRUE(waitForSampleAfter(counters())) << "the traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    const StoredRecord afterRestart = storedRecord();
    expectConsistent(afterRestart, inBase, outBase);
    expectRecent(afterRestart, counters());
    EXPECT_GE(afterRestart.totalOutBytes() - killed.totalOutBytes(), 2 * kMiB);
    EXPECT_GE(afterRestart.totalInBytes() - killed.totalInBytes(), 2 * kMiB);
    expectEveryObservedStateConsistent();
}

} // namespace
