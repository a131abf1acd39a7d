// Every byte the interface moves is counted once: an interface made anew
// and a reboot, told by the kernel's own index and boot identifier. (Which
// reading measures which, across networks that come back and renamed
// interfaces: LastReading; the service of each network: DynamicStoreTest.
// A second start: DesktopTest.)
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

// The interface deleted and made anew counts from 0 again, though it moves
// more afterwards than before; so does a reboot, though the interface keeps
// its index and its counter rises past the last one stored.
TEST_F(SystemTest, InterfaceMadeAnewAndRebootCountFromZero) {
    const QString bootId = folder.filePath("boot_id");
    ASSERT_EQ(sh("echo 6b0e0a8c-0000-4000-8000-00000000b001 > " + bootId), QString());
    ASSERT_NO_FATAL_FAILURE(launch(bootId));
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "the network was never metered";
    const QString service = first->key;
    ASSERT_NO_FATAL_FAILURE(push(kMiB, kMiB));
    const auto before = waitForSample(counters(), service);
    ASSERT_TRUE(before) << "the traffic was never sampled";

    const int oldIndex = lan->hostIndex();
    const InterfaceCounters atDelete = counters();
    ASSERT_EQ(lan->remakeLink(), QString());
    ASSERT_NE(lan->hostIndex(), oldIndex);
    ASSERT_NO_FATAL_FAILURE(reconnect());
    ASSERT_NO_FATAL_FAILURE(push(4 * kMiB, 4 * kMiB));
    const auto remade = waitForSample(counters(), service);
    ASSERT_TRUE(remade) << "the traffic on the new interface was never sampled";
    // Everything the new interface counted is new: on top of it, the total
    // holds what the old one counted, which is at least the total sampled
    // before and at most that and what the old one moved after that sample.
    const InterfaceCounters oldTotal = remade->total() - remade->prev();
    expectAtLeast(oldTotal, before->total());
    expectAtLeast(before->total() + (atDelete - before->prev()), oldTotal);

    // A reboot: Flowtally stops, the interface starts again from 0 at its
    // index and moves more than it had when the record was stored.
    ASSERT_NO_FATAL_FAILURE(quit());
    const Record stored = records().at(service);
    ASSERT_EQ(lan->remakeLink(lan->hostIndex()), QString());
    ASSERT_NO_FATAL_FAILURE(reconnect());
    ASSERT_NO_FATAL_FAILURE(push(8 * kMiB, 8 * kMiB));
    ASSERT_GT(counters().received, stored.prev().received) << "not past the stored counter";
    ASSERT_EQ(sh("echo 6b0e0a8c-0000-4000-8000-00000000b002 > " + bootId), QString());
    const InterfaceCounters atStart = counters();
    ASSERT_NO_FATAL_FAILURE(launch(bootId));
    const auto rebooted = waitForSample(atStart, service);
    ASSERT_TRUE(rebooted) << "the network was never metered after the reboot";
    ASSERT_NO_FATAL_FAILURE(quit());
    EXPECT_EQ((rebooted->total() - stored.total()).received, rebooted->prev().received)
        << "the reboot's bytes were not counted from 0";
    EXPECT_EQ((rebooted->total() - stored.total()).sent, rebooted->prev().sent);
}

} // namespace

} // namespace flowtally
