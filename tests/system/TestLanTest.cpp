// The ground the Flowtally runs stand on: a LAN whose counters move only by
// what is sent, and that leaves nothing behind.
#include "TestLan.h"
#include "TcpConnection.h"

#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr quint64 kUp = 1024 * 1024;
constexpr quint64 kDown = 512 * 1024;

class TestLanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString unavailable = NetworkNamespace::unavailableReason();
        if (!unavailable.isEmpty())
            GTEST_SKIP() << "needs network namespaces: " << unavailable.toStdString();
    }
};

QString inside(const NetworkNamespace &network, const QString &path) {
    return network.exec(QStringLiteral("cat"), {path}).output;
}

TEST_F(TestLanTest, IsSilentAndCountsEveryByteMoved) {
    TestLan network;
    ASSERT_TRUE(network.failure().isEmpty()) << network.failure().toStdString();

    // What Flowtally finds inside: its interface carries the default route,
    // no name server, no IPv6.
    EXPECT_TRUE(inside(network.lan(), "/proc/net/route").contains("eth0\t00000000\t"));
    EXPECT_EQ(inside(network.lan(), "/etc/resolv.conf"), QString());
    EXPECT_EQ(inside(network.lan(), "/proc/sys/net/ipv6/conf/eth0/disable_ipv6").trimmed(), "1");

    const auto before = network.counters();
    ASSERT_TRUE(before);
    QThread::msleep(1500);
    const auto idle = network.counters();
    ASSERT_TRUE(idle);
    EXPECT_EQ(idle->received, before->received) << "the link is not silent";
    EXPECT_EQ(idle->sent, before->sent) << "the link is not silent";

    TcpConnection tcp(network.lan(), network.peer(), network.routerAddress());
    ASSERT_TRUE(tcp.exchange(kUp, kDown)) << tcp.error().toStdString();
    const auto after = network.counters();
    ASSERT_TRUE(after);
    // Every byte crossed once, plus headers and acknowledgements.
    const quint64 headroom = (kUp + kDown) / 16 + 16 * 1024;
    EXPECT_GE(after->sent - idle->sent, kUp);
    EXPECT_LE(after->sent - idle->sent, kUp + headroom);
    EXPECT_GE(after->received - idle->received, kDown);
    EXPECT_LE(after->received - idle->received, kDown + headroom);
}

TEST_F(TestLanTest, ReplacedRouterTakesTheTrafficAndTheNeighbourEntry) {
    TestLan network;
    ASSERT_TRUE(network.failure().isEmpty()) << network.failure().toStdString();
    QString error;
    ASSERT_TRUE(network.replaceRouter("02:00:5e:77:ee:01", &error)) << error.toStdString();

    EXPECT_TRUE(inside(network.lan(), "/proc/net/arp").contains("02:00:5e:77:ee:01"));
    TcpConnection tcp(network.lan(), network.peer(), network.routerAddress());
    EXPECT_TRUE(tcp.exchange(kDown, kDown)) << tcp.error().toStdString();
}

TEST_F(TestLanTest, LeavesNoNamespaceOrResolverFileBehind) {
    QString lan, peer;
    {
        TestLan network;
        ASSERT_TRUE(network.failure().isEmpty()) << network.failure().toStdString();
        lan = network.lan().name();
        peer = network.peer().name();
        ASSERT_TRUE(QFile::exists("/var/run/netns/" + lan));
        ASSERT_TRUE(QFile::exists("/etc/netns/" + lan + "/resolv.conf"));
    }
    for (const QString &name : {lan, peer}) {
        EXPECT_FALSE(QFile::exists("/var/run/netns/" + name)) << name.toStdString();
        EXPECT_FALSE(QFile::exists("/etc/netns/" + name)) << name.toStdString();
    }
}

} // namespace
