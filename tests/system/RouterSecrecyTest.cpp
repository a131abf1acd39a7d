// No SNMP query of Flowtally's goes to a router outside the local ranges
// unless a person typed its address: the real program and the real net-snmp
// tools, in namespaces of the test's own, watched on the wire.
#include "tests/support/TextPrinting.h"
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

const QString kCommunity = QStringLiteral("ft-secret-5e1d");
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

} // namespace

} // namespace flowtally
