// Flowtally's totals and traffic history against the kernel's counters of
// eth0, to the byte. The router answers no SNMP here, so every sample is the
// interface's. Free hours: what moves before a free window is billed, what
// moves in it is free, and the two add up to the metered total to the byte,
// in the record and in the history alike.
#include "tests/system/SystemTest.h"

#include <QDateTime>

#include <chrono>

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

// A window can only start on a local minute; a minute ahead of the clock
// would make the test wait up to a minute. Flowtally's second run gets a
// zone of its own instead, ahead of UTC by the seconds that put a local
// minute a few seconds after its start, and a window of five minutes opens
// then.
TEST_F(SystemTest, FreeHoursHoldWhatMovedInTheirWindowAndTheRestIsBilled) {
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "the network was never metered";
    const QString service = first->key;
    const InterfaceCounters base = first->base();
    ASSERT_NO_FATAL_FAILURE(push(3 * kMiB, 2 * kMiB));
    const auto billed = waitForSample(counters());
    ASSERT_TRUE(billed) << "the traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    constexpr qint64 kLead = 4; // seconds from the start to the window
    const qint64 opens = QDateTime::currentSecsSinceEpoch() + kLead;
    const int ahead = int((60 - opens % 60) % 60);
    const int minute = int((opens + ahead) / 60 % 1440);
    QVariantMap settings = storedSettings();
    QVariantMap record = settings.value(service).toMap();
    record.insert("freeHours", QVariantList{QVariantMap{{"start", quint64(minute)},
                                                        {"end", quint64((minute + 5) % 1440)}}});
    settings.insert(service, record);
    ASSERT_NO_FATAL_FAILURE(writeSettings(settings));
    flowtally = start(lan->lan,
                      flowtallyCommand({QString("TZ=FTT-0:00:%1").arg(ahead, 2, 10, QChar('0'))}));
    ASSERT_TRUE(isRunning(*flowtally)) << "Flowtally did not start";

    // Half a second into the window: every sample from here on is free.
    const auto windowIn = std::chrono::system_clock::time_point(std::chrono::seconds(opens)) +
                          std::chrono::milliseconds(500);
    std::this_thread::sleep_until(
        std::min(windowIn, std::chrono::system_clock::now() + std::chrono::seconds(kLead + 1)));
    const InterfaceCounters opened = counters();
    ASSERT_NO_FATAL_FAILURE(pushSampled(4 * kMiB, kMiB, service));
    ASSERT_NO_FATAL_FAILURE(quit());

    const Record last = records().at(service);
    for (const Record &state : seen[service])
        expectConsistent(state, base);
    expectSoonAfter(last.prev(), counters());
    const InterfaceCounters free{last.number("freeInBytes"), last.number("freeOutBytes")};
    const InterfaceCounters total = last.total(), billedPart = total - free;
    // Billed: all that was sampled before the window, nothing after it opened.
    expectAtLeast(billedPart, billed->total());
    expectAtLeast(opened - base, billedPart);
    // Free: all that moved from its opening to the last sample.
    expectAtLeast(free, last.prev() - opened);
    expectAtLeast(free, {kMiB, 4 * kMiB});

    expectHistoryHolds(last);
}

} // namespace

} // namespace flowtally
