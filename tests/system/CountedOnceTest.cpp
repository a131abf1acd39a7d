// Every byte the interface moves is counted once: within a run, while
// Flowtally is stopped, across a SIGKILL amid traffic and a restart, an
// interface made anew and a reboot, told by the kernel's own index and boot
// identifier; the traffic history agrees with the record. The router
// answers no SNMP here, so every sample is the interface's. (Which reading
// measures which, across networks that come back and renamed interfaces:
// LastReading; the service of each network: DynamicStoreTest. A second
// start: DesktopTest. No network, nothing stored:
// Persistence.WithoutANetworkNothingIsStoredAndValuesStay and
// WorkCycle.WithoutANetworkTicksGoOnQuietly. Free hours:
// Meter.FreeHoursAreCountedApart, FreeHours' wall-clock windows and
// TrafficHistory.BytesOfFreeHoursReachTheHistoryAsFree.)
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

// Each step moves more than the interface had counted before it, so that a
// sample that reaches the kernel's counters is one taken after the step.
TEST_F(SystemTest, CountsEveryByteOnceThroughARebootANewInterfaceAKillAndARestart) {
    const QString bootId = folder.filePath("boot_id");
    ASSERT_EQ(sh("echo 6b0e0a8c-0000-4000-8000-00000000b001 > " + bootId), QString());
    // Flowtally sees the file's text as the identifier of this boot.
    const QStringList withBootId = {
        "sh", "-c", "mount --bind \"$0\" /proc/sys/kernel/random/boot_id && exec \"$@\"", bootId};
    const InterfaceCounters atStart = counters();
    ASSERT_NO_FATAL_FAILURE(launch(withBootId));
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "the network was never metered";
    const QString service = first->key;
    expectSoonAfter(atStart, first->base());
    ASSERT_TRUE(waitUntil([&] { return records(), seen[service].size() >= 3; }));
    ASSERT_NO_FATAL_FAILURE(pushSampled(3 * kMiB, 2 * kMiB));
    ASSERT_NO_FATAL_FAILURE(quit());
    const Record firstRun = records().at(service);
    expectSoonAfter(firstRun.prev(), counters());
    EXPECT_EQ(firstRun.source(), "local");
    for (const Record &state : seen[service])
        expectConsistent(state, first->base());

    // A reboot: the interface starts again from 0 at its index and moves
    // more than it had when the record was stored.
    ASSERT_EQ(lan->remakeLink(lan->hostIndex()), QString());
    ASSERT_NO_FATAL_FAILURE(reconnect());
    ASSERT_NO_FATAL_FAILURE(push(8 * kMiB, 8 * kMiB));
    ASSERT_GT(counters().received, firstRun.prev().received) << "not past the stored counter";
    ASSERT_EQ(sh("echo 6b0e0a8c-0000-4000-8000-00000000b002 > " + bootId), QString());
    const InterfaceCounters atReboot = counters();
    ASSERT_NO_FATAL_FAILURE(launch(withBootId));
    const auto rebooted = waitForSample(atReboot, service);
    ASSERT_TRUE(rebooted) << "the network was never metered after the reboot";
    EXPECT_EQ((rebooted->total() - firstRun.total()).received, rebooted->prev().received)
        << "the reboot's bytes were not counted from 0";
    EXPECT_EQ((rebooted->total() - firstRun.total()).sent, rebooted->prev().sent);

    // The interface deleted and made anew counts from 0 again, though it
    // moves more afterwards than before: everything the new interface
    // counted is new; on top of it, the total holds what the old one
    // counted, which is at least the total sampled before and at most that
    // and what the old one moved after that sample.
    const int oldIndex = lan->hostIndex();
    const InterfaceCounters atDelete = counters();
    ASSERT_EQ(lan->remakeLink(), QString());
    ASSERT_NE(lan->hostIndex(), oldIndex);
    ASSERT_NO_FATAL_FAILURE(reconnect());
    ASSERT_NO_FATAL_FAILURE(push(16 * kMiB, 16 * kMiB));
    const auto remade = waitForSample(counters(), service);
    ASSERT_TRUE(remade) << "the traffic on the new interface was never sampled";
    const InterfaceCounters oldTotal = remade->total() - remade->prev();
    expectAtLeast(oldTotal, rebooted->total());
    expectAtLeast(rebooted->total() + (atDelete - rebooted->prev()), oldTotal);
    seen.clear(); // counted from the new interface's base from here on

    // Stopped, killed amid traffic with bytes counted but not yet written,
    // started again: the bytes moved meanwhile count once.
    ASSERT_NO_FATAL_FAILURE(quit());
    records(); // the state written at the quit, checked with the others below
    ASSERT_NO_FATAL_FAILURE(push(kMiB, kMiB)); // counted at the next start
    realWriteInterval = true;
    ASSERT_NO_FATAL_FAILURE(launch(withBootId));
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

    ASSERT_NO_FATAL_FAILURE(push(kMiB, kMiB));
    ASSERT_NO_FATAL_FAILURE(launch(withBootId));
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, kMiB, service));
    ASSERT_NO_FATAL_FAILURE(quit());
    const Record last = records().at(service);
    expectSoonAfter(last.prev(), counters());
    for (const Record &state : seen[service])
        expectConsistent(state, remade->base());
    // The history holds the kill's bytes too.
    expectHistoryHolds(last);
}

} // namespace

} // namespace flowtally
