// The router source for real: snmpd runs in the router's namespace with an
// interface named vlan1 that carries the LAN's traffic, and Flowtally on the
// LAN host samples it through the net-snmp tools. (Queries only to local
// ranges or a typed address: RouterSource.QueriesLeaveTheLocalRangesOnlyForATypedAddress
// and Discovery; a chosen interface and the 32-bit counters where the 64-bit
// ones are missing: RouterSource's and InterfaceChoice's tests.)
#include "tests/support/PlantedFiles.h"
#include "tests/support/TextPrinting.h"
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

const QString kCommunity = QStringLiteral("ft-router-3c9a");

class RouterTest : public SystemTest {
  protected:
    // Flowtally's own queries and answers that may pass between a look at a
    // router's counters and a sample, with snmpd's figures some seconds
    // behind.
    static constexpr quint64 kQuerySlack = 4 * kSlack;

    void setUpScene() override {
        // Flowtally's own SNMP modules, in the build tree as after an install.
        const QString modules =
            QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/flowtally/mibs");
        if (!QFileInfo::exists(modules + "/IF-MIB.txt") || !QFileInfo::exists("/usr/sbin/snmpd"))
            GTEST_SKIP() << "no snmpd or no modules in " << modules.toStdString();
        agent = std::make_unique<SnmpAgent>(*lan, modules, folder.filePath("snmp"), logPath());
        // Flowtally's settings before its first run: the community only.
        ASSERT_TRUE(makeFile(defaultsPath(), xmlData({{"communityPassword", kCommunity}}), 0600));
        ASSERT_EQ(agent->start(kCommunity), QString()) << "snmpd never served";
    }

    InterfaceCounters vlan1() const { return lan->routerCounters(); }

    std::unique_ptr<SnmpAgent> agent;
};

// Router samples count exactly what vlan1 moved. Amid traffic, a restarted
// agent is counted on; a silent one falls back to local samples and comes
// back. None of it counts a byte that did not cross the link, though the
// counters are far above what moves: one counted whole would show. (How
// soon a wrong community, a stopped agent or dropped queries fall back, as
// the tools tell them: RouterSource's and Discovery's tests.)
TEST_F(RouterTest, CountsTheRoutersBytesAndFallsBackWithoutPhantomBytes) {
    constexpr quint64 kCounted = 64 * kMiB;
    ASSERT_NO_FATAL_FAILURE(push(kCounted, kCounted));
    ASSERT_NO_FATAL_FAILURE(launch());
    const auto start = waitForSample(vlan1(), {}, "router");
    ASSERT_TRUE(start) << "Flowtally stored no router sample";
    const QString service = start->key;

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

    const Record before = records()[service];
    const InterfaceCounters kernelBefore = counters();
    startTraffic(16 * 1024);
    ASSERT_TRUE(waitUntil([&] { return exchanges > 0; }));
    // Restarted: its up-time starts again, its counters do not.
    ASSERT_TRUE(agent->stop());
    ASSERT_EQ(agent->start(kCommunity), QString());
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

} // namespace

} // namespace flowtally
