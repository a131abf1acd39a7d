// The UPnP source for real: miniupnpd runs in the router's namespace and
// answers the kernel's own counters of the router's Internet side (wan0);
// Flowtally on the LAN host, behind a router that answers no SNMP, finds it
// by SSDP and meters the whole household's traffic from it.
#include "tests/support/IgdScene.h"
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

class UpnpTest : public SystemTest {
  protected:
    void setUpScene() override {
        if (!IgdScene::canPlay())
            GTEST_SKIP() << "no miniupnpd";
        scene = std::make_unique<IgdScene>();
        ASSERT_EQ(scene->error, QString());
        ASSERT_EQ(scene->startIgd(), QString()) << "miniupnpd never served";
    }
    void TearDown() override {
        if (HasFailure() && scene)
            qInfo().noquote() << "---- miniupnpd\n" + scene->igdLog() + "----";
        SystemTest::TearDown();
        scene.reset();
    }

    // Waits until a UPnP sample stored has read wan0's counters as the
    // kernel shows them now, to the byte; the record then.
    std::optional<Record> waitForWan() {
        const InterfaceCounters wan = scene->wanCounters();
        const std::optional<Record> met = waitForSample(wan, {}, "upnp");
        if (met) {
            EXPECT_EQ(met->prev().received, wan.received) << "not wan0's counters";
            EXPECT_EQ(met->prev().sent, wan.sent) << "not wan0's counters";
        }
        return met;
    }

    std::unique_ptr<IgdScene> scene;
};

// What crosses the router's Internet side is stored to the byte: the stored
// counters reach wan0's own, and counter minus total never moves, across a
// restart of miniupnpd (its up-time falls, its counters do not) and one of
// Flowtally. (Counters past 4 GiB: UpnpRouter's reading and LastReading's
// UPnP counter that passes 2^32; a SIGKILL: CountedOnceTest.)
TEST_F(UpnpTest, StoresTheInternetSidesBytesExactlyAcrossRestarts) {
    ASSERT_EQ(scene->push(3 * kMiB, kMiB), QString());
    ASSERT_NO_FATAL_FAILURE(launch({}, scene->lan.lan));
    const std::optional<Record> start = waitForWan();
    ASSERT_TRUE(start) << "Flowtally stored no UPnP sample of wan0's counters";
    const QString service = start->key;

    const std::pair<const char *, std::function<void()>> events[] = {
        {"traffic", [] {}},
        {"miniupnpd restarted",
         [&] {
             ASSERT_TRUE(scene->stopIgd());
             ASSERT_EQ(scene->push(kMiB, 2 * kMiB), QString());
             ASSERT_EQ(scene->startIgd(), QString());
         }},
        {"Flowtally restarted",
         [&] {
             ASSERT_TRUE(endProcess(*flowtally));
             ASSERT_EQ(scene->push(2 * kMiB, kMiB), QString());
             ASSERT_NO_FATAL_FAILURE(launch({}, scene->lan.lan));
         }},
    };
    for (const auto &[what, event] : events) {
        SCOPED_TRACE(what);
        ASSERT_NO_FATAL_FAILURE(event());
        ASSERT_EQ(scene->push(5 * kMiB, 3 * kMiB), QString());
        const std::optional<Record> now = waitForWan();
        ASSERT_TRUE(now) << "wan0's counters were never stored";
        EXPECT_EQ(now->key, service);
        expectConsistent(*now, start->base());
    }
    ASSERT_NO_FATAL_FAILURE(quit());
}

} // namespace

} // namespace flowtally
