#include "tests/support/CommandRun.h"
#include "tests/support/NetworkScene.h"

#include <QRegularExpression>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <unistd.h>

namespace flowtally {

namespace {

// Every run happens on the host of a LAN of namespaces of our own (the arp
// tool may consult the resolver), from which nothing reaches another
// network: ft0 with an MTU of 1400, its default route via the router's ft1,
// a permanent neighbour entry for the router.
class ToolsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "network namespaces need root";
        lan = std::make_unique<Lan>(Lan::Shape{"ft0", "ft1", 1400});
        ASSERT_EQ(lan->error, QString());
    }
    CommandResult run(const QString &program, const QStringList &arguments) const {
        return runCommand("ip", QStringList{"netns", "exec", lan->lan, program} + arguments);
    }

    std::unique_ptr<Lan> lan;
};

// The kernel's counters, read just before and just after the run, bound the
// ones printed. Names that would leave the interface folder are refused.
TEST_F(ToolsTest, NetstatPrintsTheLayoutWithTheKernelsCountersAndRefusesUnsafeNames) {
    const QStringList counters{"rx_packets", "rx_errors", "rx_bytes",  "tx_packets",
                               "tx_errors",  "tx_bytes",  "collisions"};
    // One datagram to a port of the router that nothing serves: the bytes
    // sent and received differ, so that a counter printed in another's column shows.
    const int socket = socketIn(lan->lan, SOCK_DGRAM);
    const sockaddr_in router{.sin_family = AF_INET,
                             .sin_port = htons(9),
                             .sin_addr = {inet_addr(lan->router.toLatin1().constData())},
                             .sin_zero = {}};
    ASSERT_EQ(::sendto(socket, QByteArray(1000, 'x').constData(), 1000, 0,
                       reinterpret_cast<const sockaddr *>(&router), sizeof router),
              1000);
    ::close(socket);
    const QList<quint64> before = interfaceStatistics(lan->lan, "ft0", counters);
    const CommandResult result =
        run(helperToolPath("flowtally-netstat"), {"-f", "inet", "-bI", "ft0"});
    const QList<quint64> after = interfaceStatistics(lan->lan, "ft0", counters);
    EXPECT_TRUE(result.finished && result.exitCode == 0) << result.error.toStdString();
    const QStringList lines = result.output.split('\n');
    ASSERT_EQ(lines.size(), 3) << result.output.toStdString();
    EXPECT_EQ(lines[0].simplified(),
              "Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll");
    ASSERT_TRUE(QRegularExpression("^ft0 1400 <Link#\\d+> " + lan->hostHardware + "( \\d+){7}$")
                    .match(lines[1].simplified())
                    .hasMatch())
        << lines[1].toStdString();
    const QStringList printed = lines[1].split(' ', Qt::SkipEmptyParts).mid(4);
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(before[i] <= printed[i].toULongLong() && printed[i].toULongLong() <= after[i])
            << counters[i].toStdString() << " " << printed[i].toStdString();
    for (const QString name : {"", ".", "..", "../lo", "lo/..", "../../../proc/self", "a/b",
                               "two words", "averylonginterfacename"}) {
        const auto refused = run(helperToolPath("flowtally-netstat"), {"-f", "inet", "-bI", name});
        EXPECT_TRUE(refused.finished && refused.exitCode == 1) << name.toStdString();
        EXPECT_TRUE(refused.output.isEmpty() && !refused.error.isEmpty());
    }
}

TEST_F(ToolsTest, ArpAnswersFromTheNeighbourTable) {
    const QString host = QSysInfo::machineHostName();
    const QString stranger = QString(lan->router).replace(QRegularExpression("1$"), "9");
    const struct {
        QString argument, output, error;
    } cases[] = {
        {lan->router, "? (" + lan->router + ") at " + lan->routerHardware + " on ft0 [ethernet]\n",
         ""},
        {stranger, stranger + " (" + stranger + ") -- no entry\n", ""},
        // The resolver knows this computer's name only as a loopback address
        // (/etc/hosts); the tool answers with the primary interface's address.
        {host, host + " (" + lan->host + ") -- no entry\n", ""},
        // Not a valid host name, so the resolver gives up without asking DNS.
        {"no such host!", "", "arp: no such host!: Unknown host\n"},
    };
    for (const auto &c : cases) {
        const CommandResult result = run(helperToolPath("flowtally-arp"), {c.argument});
        EXPECT_TRUE(result.finished && result.exitCode == (c.error.isEmpty() ? 0 : 1))
            << c.argument.toStdString();
        EXPECT_EQ(result.output, c.output);
        EXPECT_EQ(result.error, c.error);
    }
}

} // namespace

} // namespace flowtally
