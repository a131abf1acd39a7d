#include "CommandRun.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <unistd.h>

namespace flowtally {

namespace {

// Every run happens inside a network namespace of our own (the arp tool may
// consult the resolver), from which nothing reaches another network: ft0
// 10.77.0.2/24, MAC 02:00:5e:77:00:02, MTU 1400, default route via its veth
// peer 10.77.0.1, MAC 02:00:5e:77:00:01, a permanent neighbour entry.
class ToolsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "network namespaces need root";
        const CommandResult setUp = runCommand("sh", {"-ec", QString(R"(
            ip netns add %1; ip netns add %1-peer
            ip -n %1 link add ft0 address 02:00:5e:77:00:02 mtu 1400 type veth peer name ft1 \
                netns %1-peer address 02:00:5e:77:00:01
            ip -n %1 address add 10.77.0.2/24 dev ft0; ip -n %1 link set ft0 up
            ip -n %1-peer address add 10.77.0.1/24 dev ft1; ip -n %1-peer link set ft1 up
            ip -n %1 route add default via 10.77.0.1 dev ft0
            ip -n %1 neigh replace 10.77.0.1 lladdr 02:00:5e:77:00:01 dev ft0 nud permanent)")
                                                                 .arg(namespace_)});
        ASSERT_EQ(setUp.exitCode, 0) << setUp.error.toStdString();
    }
    void TearDown() override {
        // Deleting a namespace also deletes the veth pair.
        runCommand("sh", {"-c", QString("ip netns del %1; ip netns del %1-peer").arg(namespace_)});
    }
    CommandResult run(const QString &program, const QStringList &arguments) const {
        return runCommand("ip", QStringList{"netns", "exec", namespace_, program} + arguments);
    }

    const QString namespace_ = QString("ft-tools-%1").arg(QCoreApplication::applicationPid());
};

// The kernel's counters, read just before and just after the run, bound the
// ones printed. Names that would leave the interface folder are refused.
TEST_F(ToolsTest, NetstatPrintsTheLayoutWithTheKernelsCountersAndRefusesUnsafeNames) {
    QStringList paths;
    for (const char *counter : {"rx_packets", "rx_errors", "rx_bytes", "tx_packets", "tx_errors",
                                "tx_bytes", "collisions"})
        paths << QString("/sys/class/net/ft0/statistics/") + counter;
    const QStringList before = run("cat", paths).output.split('\n');
    const CommandResult result =
        run(helperToolPath("flowtally-netstat"), {"-f", "inet", "-bI", "ft0"});
    const QStringList after = run("cat", paths).output.split('\n');
    EXPECT_TRUE(result.finished && result.exitCode == 0) << result.error.toStdString();
    const QStringList lines = result.output.split('\n');
    ASSERT_EQ(lines.size(), 3) << result.output.toStdString();
    EXPECT_EQ(lines[0].simplified(),
              "Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll");
    ASSERT_TRUE(QRegularExpression("^ft0 1400 <Link#\\d+> 02:00:5e:77:00:02( \\d+){7}$")
                    .match(lines[1].simplified())
                    .hasMatch())
        << lines[1].toStdString();
    const QStringList printed = lines[1].split(' ', Qt::SkipEmptyParts).mid(4);
    ASSERT_EQ(before.size() + after.size(), 16);
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(before[i].toULongLong() <= printed[i].toULongLong() &&
                    printed[i].toULongLong() <= after[i].toULongLong())
            << paths[i].toStdString() << " " << printed[i].toStdString();
    for (const QString name : {"", ".", "..", "../lo", "lo/..", "../../../proc/self", "a/b",
                               "two words", "averylonginterfacename"}) {
        const auto refused = run(helperToolPath("flowtally-netstat"), {"-f", "inet", "-bI", name});
        EXPECT_TRUE(refused.finished && refused.exitCode == 1) << name.toStdString();
        EXPECT_TRUE(refused.output.isEmpty() && !refused.error.isEmpty());
    }
}

TEST_F(ToolsTest, ArpAnswersFromTheNeighbourTable) {
    const QString host = QSysInfo::machineHostName();
    const struct {
        QString argument, output, error;
    } cases[] = {
        {"10.77.0.1", "? (10.77.0.1) at 02:00:5e:77:00:01 on ft0 [ethernet]\n", ""},
        {"10.77.0.9", "10.77.0.9 (10.77.0.9) -- no entry\n", ""},
        // The resolver knows this computer's name only as a loopback address
        // (/etc/hosts); the tool answers with the primary interface's address.
        {host, host + " (10.77.0.2) -- no entry\n", ""},
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
