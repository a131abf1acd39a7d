// The router source for real: snmpd runs in the router's namespace with an
// interface named vlan1 that carries the LAN's traffic, and Flowtally on the
// LAN host samples it through the net-snmp tools. A router outside the local
// ranges, watched on the wire; an interface a person chose.
#include "tests/support/TextPrinting.h"
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

const QString kCommunity = QStringLiteral("ft-router-3c9a");

class RouterTest : public SystemTest {
  protected:
    RouterTest() { playsRouter = true; }
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Flowtally's settings before its first run: the community only.
        ASSERT_NO_FATAL_FAILURE(writeSettings({{"communityPassword", kCommunity}}));
        ASSERT_EQ(agent->start(kCommunity), QString()) << "snmpd never served";
    }

    // Stops snmpd, and starts it again with the community, if one.
    void restartAgent(const QString &community) {
        ASSERT_TRUE(agent->stop());
        if (!community.isEmpty()) {
            ASSERT_EQ(agent->start(community), QString());
        }
    }

    InterfaceCounters vlan1() const { return lan->routerCounters(); }

    QString service;
};

// Router samples count exactly what vlan1 moved. A wrong community, a
// stopped agent and a router that drops the queries each fall back to local
// samples within a few ticks; a restarted or silent agent amid traffic
// comes back. None of it counts a byte that did not cross the link, though
// the counters are far above what moves: one counted whole would show.
TEST_F(RouterTest, CountsTheRoutersBytesAndFallsBackWithoutPhantomBytes) {
    constexpr quint64 kCounted = 64 * kMiB;
    ASSERT_NO_FATAL_FAILURE(push(kCounted, kCounted));
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto start = waitForSample(vlan1(), {}, "router");
    ASSERT_TRUE(start) << "Flowtally stored no router sample";
    service = start->key;

    ASSERT_NO_FATAL_FAILURE(push(3 * kMiB, 2 * kMiB));
    ASSERT_TRUE(waitForSample(vlan1(), service, "router"))
        << "the traffic was never sampled on the router";
    const Record counted = records()[service];
    // vlan1 received what the LAN host sent, and sent what it received.
    expectAtLeast(counted.total() - start->total(), {3 * kMiB, 2 * kMiB});
    expectSoonAfter(counted.prev(), vlan1(), kQuerySlack);
    for (const Record &state : seen[service]) {
        EXPECT_EQ(state.source(), "router");
        expectConsistent(state, start->base());
        EXPECT_EQ(state.values.value("prevValOrigin").toMap().value("bits").toInt(), 64);
    }

    // Requests to port 161 go nowhere: the rule that finds local addresses
    // moves behind one that drops them.
    const QString rules = "ip -n " + lan->peer + " rule ";
    const QString drop = rules + "add pref 100 lookup local && " + rules + "del pref 0 && " +
                         rules + "add pref 10 iif vlan1 ipproto udp dport 161 blackhole";
    for (const QString what : {"wrong community", "agent stopped", "router drops the queries"}) {
        SCOPED_TRACE(what.toStdString());
        const bool drops = what.startsWith("router");
        const Record before = records()[service];
        const InterfaceCounters kernelBefore = counters();
        ASSERT_EQ(sh(drops ? drop : "true"), QString());
        ASSERT_NO_FATAL_FAILURE(drops ? void()
                                      : restartAgent(what.startsWith("wrong") ? "another" : ""));
        ASSERT_TRUE(waitForSample({}, service, "local")) << "Flowtally never fell back";
        EXPECT_LE(ticks, 4) << "fell back only after " << ticks << " ticks";
        ASSERT_EQ(sh(drops ? rules + "del pref 10" : "true"), QString());
        ASSERT_NO_FATAL_FAILURE(drops ? void() : restartAgent(kCommunity));
        ASSERT_TRUE(waitForSample({}, service, "router")) << "the router samples never came back";
        // Only Flowtally's own traffic passed.
        EXPECT_LE(records()[service].total().sum() - before.total().sum(),
                  counters().sum() - kernelBefore.sum() + kQuerySlack);
    }

    const Record before = records()[service];
    const InterfaceCounters kernelBefore = counters();
    startTraffic(16 * 1024);
    ASSERT_TRUE(waitUntil([&] { return exchanges > 0; }));
    // Restarted: its up-time starts again, its counters do not.
    ASSERT_NO_FATAL_FAILURE(restartAgent(kCommunity));
    ASSERT_TRUE(waitForSample(vlan1(), service, "router")) << "no router sample after the restart";
    // Silent for a while, then back.
    ASSERT_TRUE(agent->pause());
    ASSERT_TRUE(waitForSample({}, service, "local")) << "a silent router was still used";
    ASSERT_TRUE(agent->resume());
    ASSERT_TRUE(waitForSample(vlan1(), service, "router")) << "no router sample after the silence";
    ASSERT_TRUE(stopTraffic()) << "the traffic did not go through";
    ASSERT_TRUE(waitForSample(vlan1(), service, "router")) << "the last traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());
    const Record last = records()[service];
    const quint64 crossed = counters().sum() - kernelBefore.sum();
    ASSERT_LT(crossed, kCounted) << "too much traffic to tell a counter counted whole";
    EXPECT_LE(last.total().sum() - before.total().sum(), crossed + kQuerySlack)
        << "more counted than crossed";
    EXPECT_GT(last.total().sum(), before.total().sum()) << "the traffic was not counted at all";
    EXPECT_EQ(last.source(), "router");
    // The community reached the tools through their file only (the process
    // table: RouterSourceTest), which goes with Flowtally.
    EXPECT_FALSE(QString(readFile(logPath())).contains(kCommunity)) << "in the log";
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("runtime/snmp/snmp.conf")))
        << "the tools' file outlived Flowtally";
}

// ---- No SNMP query of Flowtally's goes to a router outside the local
// ranges unless a person typed its address: watched on the wire.

// A router address in a documentation range: public, and reachable from
// the LAN host over its link only.
const QString kPublicRouter = QStringLiteral("198.51.100.1");

class RouterSecrecyTest : public SystemTest {
  protected:
    RouterSecrecyTest() { playsRouter = true; }
    void SetUp() override {
        if (!QFileInfo::exists("/usr/sbin/nft"))
            GTEST_SKIP() << "no nft";
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_EQ(agent->start(kCommunity), QString()) << "snmpd never served";
        // The LAN host counts what it sends to the public address's port 161.
        ASSERT_EQ(sh(QStringLiteral("ip netns exec %1 nft -f - <<'EOF'\n"
                                    "table ip flowtally_test {\n"
                                    "  chain out { type filter hook output priority 0;\n"
                                    "    ip daddr %2 udp dport 161 counter\n  }\n"
                                    "}\nEOF")
                         .arg(lan->lan, kPublicRouter)),
                  QString());
    }

    // Packets the LAN host sent to the public address's SNMP port so far.
    quint64 packetsToPublicRouter() const {
        QString output;
        sh("ip netns exec " + lan->lan + " nft list table ip flowtally_test", &output);
        const QRegularExpressionMatch found =
            QRegularExpression(R"(counter packets (\d+))").match(output);
        return found.hasMatch() ? found.captured(1).toULongLong() : quint64(-1);
    }

    // The host's link reaches the public address: its hardware address is
    // the router's, so the packets cross the link (where nobody answers).
    QString reachPublicRouter(const QString &how) const {
        return sh(
            QStringLiteral("ip -n %1 neigh replace %2 lladdr %3 dev %4 nud permanent && "
                           "ip -n %1 route %5")
                .arg(lan->lan, kPublicRouter, lan->routerHardware, lan->shape.hostInterface, how));
    }
};

// The default router has a public address: Flowtally counts the computer's
// own interface and sends it nothing. Typed into the address field, the
// same address is asked.
TEST_F(RouterSecrecyTest, PublicRouterIsAskedOnlyWhenTyped) {
    ASSERT_NO_FATAL_FAILURE(writeSettings({{"communityPassword", kCommunity}}));
    ASSERT_EQ(sh(lan->route("del")), QString());
    ASSERT_EQ(reachPublicRouter("add default via " + kPublicRouter + " dev " +
                                lan->shape.hostInterface + " onlink"),
              QString());
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto local = waitForSample({}, {}, "local");
    ASSERT_TRUE(local) << "Flowtally stored no sample";
    QThread::sleep(8); // ticks, each of which would probe a router that may be asked
    ASSERT_NO_FATAL_FAILURE(quit());
    EXPECT_EQ(records().at(local->key).source(), "local");
    EXPECT_EQ(packetsToPublicRouter(), 0u) << "the public default router was asked";

    // The default router is the agent again; the public address is typed.
    ASSERT_EQ(sh("ip -n " + lan->lan + " route del default"), QString());
    ASSERT_EQ(sh(lan->route("add")), QString());
    ASSERT_EQ(reachPublicRouter("add " + kPublicRouter + " dev " + lan->shape.hostInterface),
              QString());
    QVariantMap settings = storedSettings();
    settings.insert("AirportIP", kPublicRouter);
    ASSERT_NO_FATAL_FAILURE(writeSettings(settings));
    ASSERT_NO_FATAL_FAILURE(launch());
    EXPECT_TRUE(waitUntil([&] { return packetsToPublicRouter() > 0; }))
        << "the typed address was never asked";
    ASSERT_NO_FATAL_FAILURE(quit());
}

// ---- The router interface a person chose, on a router that names its
// interfaces as today's do: beside interfaces named vlan1 and pppoe-wan.
// (The pop-up that lists them, a choice found again under another index and
// one that is gone: RouterSourceTest.)

// The LAN's link ends on the router's eth0.2.
class RouterInterfaceTest : public SystemTest {
  protected:
    RouterInterfaceTest() {
        lanShape.routerInterface = "eth0.2";
        playsRouter = true;
    }
};

// The real program meters the router's eth0.2, which carries the LAN's
// traffic, beside an idle vlan1 that Automatic would take: every byte of
// eth0.2 counted once. A view hides the 64-bit counters, so that the 32-bit
// ones count. (The same interface's 64-bit counters come in the same query,
// RouterSourceTest; real 64-bit counters counted to the byte: RouterTest.)
TEST_F(RouterInterfaceTest, ChosenInterfaceCountedToTheByteWith32BitCounters) {
    ASSERT_EQ(lan->addRouterInterfaces({"vlan1", "pppoe-wan"}), QString());
    ASSERT_EQ(agent->start(kCommunity,
                           {"view noHC included .1", "view noHC excluded .1.3.6.1.2.1.31.1.1.1.6",
                            "view noHC excluded .1.3.6.1.2.1.31.1.1.1.10",
                            "rocommunity " + kCommunity + " 10.77.0.0/16 -V noHC"}),
              QString());
    const QVariantMap choice{{"object", "ifDescr"}, {"text", "eth0.2"}};
    ASSERT_NO_FATAL_FAILURE(
        writeSettings({{"communityPassword", kCommunity},
                       {"RouterInterface", QVariantMap{{lan->router, choice}}}}));
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto start = waitForSample(lan->routerCounters(), {}, "router");
    ASSERT_TRUE(start) << "Flowtally stored no router sample";
    const QString service = start->key;
    ASSERT_NO_FATAL_FAILURE(push(3 * kMiB, 2 * kMiB));
    ASSERT_TRUE(waitForSample(lan->routerCounters(), service, "router"))
        << "the traffic was never sampled on the router";
    ASSERT_NO_FATAL_FAILURE(quit());
    const Record last = records()[service];
    // eth0.2 received what the LAN host sent, and sent what it received.
    expectAtLeast(last.total() - start->total(), {3 * kMiB, 2 * kMiB});
    expectSoonAfter(last.prev(), lan->routerCounters(), kQuerySlack);
    for (const Record &state : seen[service]) {
        EXPECT_EQ(state.source(), "router");
        expectConsistent(state, start->base());
        EXPECT_EQ(state.values.value("prevValOrigin").toMap().value("bits").toInt(), 32);
    }
}

} // namespace

} // namespace flowtally
