// Every byte the interface moves is counted once, in the record of the
// network it crossed: networks that come back, an interface made anew, a
// reboot and a rename. (A second start: DesktopTest.)
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

// What Flowtally's own queries and the connection's headers add to a
// network's bytes, far below the mebibytes another network would add.
constexpr quint64 kOwnBytes = 256 * 1024;

// Home, office, home on one interface: the LAN's router takes another
// hardware address for the office and its own again for home. While
// Flowtally runs throughout, the two records together hold exactly what the
// interface moved from the first sample to the last, each only its own
// network's bytes. Then Flowtally is stopped at the office and started again
// at home: what moved meanwhile belongs to nobody it can tell, and home
// counts only its own bytes from then on.
TEST_F(SystemTest, NetworksThatComeBackCountOnlyTheirOwnBytes) {
    const QString homeHardware = lan->routerHardware;
    const QString officeHardware = QStringLiteral("02:00:5e:77:ee:0f");
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "home was never metered";
    const QString home = first->key;
    const InterfaceCounters start = first->base(); // the counters where counting began

    ASSERT_NO_FATAL_FAILURE(pushSampled(2 * kMiB, kMiB, home));
    ASSERT_EQ(lan->setRouterHardware(officeHardware), QString());
    const QString office = waitForNewService({home});
    ASSERT_FALSE(office.isEmpty()) << "the office was never metered";
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, 3 * kMiB, office));
    ASSERT_EQ(lan->setRouterHardware(homeHardware), QString());
    const Record officeLeft = records().at(office);
    ASSERT_TRUE(waitForSample({officeLeft.prev().received + 1, 0}, home)) << "home never came back";
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, kMiB, home));

    Records now = records();
    const Record homeRecord = now.at(home), officeRecord = now.at(office);
    const InterfaceCounters moved = homeRecord.prev() - start;
    EXPECT_EQ(homeRecord.total().received + officeRecord.total().received, moved.received)
        << "bytes lost or counted twice across the networks";
    EXPECT_EQ(homeRecord.total().sent + officeRecord.total().sent, moved.sent);
    expectSoonAfter({3 * kMiB, kMiB}, officeRecord.total(), kOwnBytes);
    expectSoonAfter({2 * kMiB, 3 * kMiB}, homeRecord.total(), kOwnBytes);

    // Stopped at the office, started again at home.
    ASSERT_EQ(lan->setRouterHardware(officeHardware), QString());
    ASSERT_TRUE(waitForSample({homeRecord.prev().received + 1, 0}, office))
        << "the office was never metered again";
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, kMiB, office));
    ASSERT_NO_FATAL_FAILURE(quit());
    const Record officeAtStop = records().at(office);
    ASSERT_NO_FATAL_FAILURE(push(3 * kMiB, 3 * kMiB)); // nobody's
    ASSERT_EQ(lan->setRouterHardware(homeHardware), QString());
    ASSERT_NO_FATAL_FAILURE(launch());
    const InterfaceCounters restarted = counters();
    ASSERT_TRUE(waitForSample(restarted, home)) << "home was never metered after the start";
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, 2 * kMiB, home));
    ASSERT_NO_FATAL_FAILURE(quit());
    now = records();
    EXPECT_TRUE(now.at(office) == officeAtStop) << "the office counted after its stop";
    expectSoonAfter({2 * kMiB, kMiB}, now.at(home).total() - homeRecord.total(), kOwnBytes);
}

// The interface deleted and made anew counts from 0 again, though it moves
// more afterwards than before; so does a reboot, though the interface keeps
// its index and its counter rises past the last one stored.
TEST_F(SystemTest, InterfaceMadeAnewAndRebootCountFromZero) {
    const QString bootId = folder.filePath("boot_id");
    const auto setBoot = [&](const QByteArray &text) {
        QFile file(bootId);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) > 0;
    };
    ASSERT_TRUE(setBoot("6b0e0a8c-0000-4000-8000-00000000b001\n"));
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
    ASSERT_TRUE(setBoot("6b0e0a8c-0000-4000-8000-00000000b002\n"));
    const InterfaceCounters atStart = counters();
    ASSERT_NO_FATAL_FAILURE(launch(bootId));
    const auto rebooted = waitForSample(atStart, service);
    ASSERT_TRUE(rebooted) << "the network was never metered after the reboot";
    ASSERT_NO_FATAL_FAILURE(quit());
    EXPECT_EQ((rebooted->total() - stored.total()).received, rebooted->prev().received)
        << "the reboot's bytes were not counted from 0";
    EXPECT_EQ((rebooted->total() - stored.total()).sent, rebooted->prev().sent);
}

// A renamed interface keeps its counters: what it moved before a network
// was read under the new name is the network's that read it last, whether
// the rename came while Flowtally ran or while it was stopped; together the
// networks hold exactly what the interface moved.
TEST_F(SystemTest, RenamedInterfaceKeepsItsCountersAndTheLastNetworkItsBytes) {
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "the network was never metered";
    const QString eth0 = first->key;
    const InterfaceCounters start = first->base();

    ASSERT_NO_FATAL_FAILURE(push(20 * kMiB, kMiB));
    ASSERT_EQ(lan->renameHostInterface("wan0"), QString());
    const QString wan0 = waitForNewService({eth0});
    ASSERT_FALSE(wan0.isEmpty()) << "the renamed interface was never metered";
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, kMiB, wan0));

    ASSERT_TRUE(signalProcess(*flowtally, SIGSTOP));
    ASSERT_NO_FATAL_FAILURE(push(20 * kMiB, kMiB));
    ASSERT_EQ(lan->renameHostInterface("lan0"), QString());
    ASSERT_TRUE(signalProcess(*flowtally, SIGCONT));
    const QString lan0 = waitForNewService({eth0, wan0});
    ASSERT_FALSE(lan0.isEmpty()) << "the interface renamed again was never metered";
    ASSERT_NO_FATAL_FAILURE(pushSampled(kMiB, kMiB, lan0));
    ASSERT_NO_FATAL_FAILURE(quit());

    const Records now = records();
    const InterfaceCounters moved = now.at(lan0).prev() - start;
    const InterfaceCounters total =
        now.at(eth0).total() + now.at(wan0).total() + now.at(lan0).total();
    EXPECT_EQ(total.received, moved.received) << "bytes lost or counted twice across the renames";
    EXPECT_EQ(total.sent, moved.sent);
    expectAtLeast(now.at(eth0).total() - first->total(), {kMiB, 20 * kMiB});
    expectAtLeast(now.at(wan0).total(), {2 * kMiB, 21 * kMiB});
}

} // namespace

} // namespace flowtally
