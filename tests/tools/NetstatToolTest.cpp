#include "CommandRun.h"
#include "TestNetwork.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Runner = std::function<CommandResult(const QString &, const QStringList &)>;

const QStringList kCounterNames = {"rx_packets", "rx_errors", "rx_bytes",  "tx_packets",
                                   "tx_errors",  "tx_bytes",  "collisions"};
// Where each counter stands in the printed line.
const int kCounterColumns[] = {4, 5, 6, 7, 8, 9, 10};

CommandResult netstat(const Runner &runner, const QStringList &arguments) {
    return runner(helperToolPath(QStringLiteral("flowtally-netstat")), arguments);
}

// The interface's counters as the kernel reports them, in kCounterNames order.
QList<quint64> kernelCounters(const Runner &runner, const QString &interface) {
    QStringList paths;
    for (const QString &name : kCounterNames)
        paths << QStringLiteral("/sys/class/net/%1/statistics/%2").arg(interface, name);
    const CommandResult result = runner(QStringLiteral("cat"), paths);
    QList<quint64> counters;
    for (const QString &line : result.output.split('\n', Qt::SkipEmptyParts))
        counters << line.toULongLong();
    return counters;
}

// Runs the tool for the interface and checks its line against the kernel's
// figures, read just before and just after.
void expectInterfaceLine(const Runner &runner, const QString &interface, const QString &mtu,
                         const QString &address) {
    const QList<quint64> before = kernelCounters(runner, interface);
    const CommandResult result = netstat(runner, {"-f", "inet", "-bI", interface});
    const QList<quint64> after = kernelCounters(runner, interface);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(result.exitCode, 0) << result.error.toStdString();
    ASSERT_EQ(before.size(), kCounterNames.size());
    ASSERT_EQ(after.size(), kCounterNames.size());

    const QStringList lines = result.output.split('\n');
    ASSERT_EQ(lines.size(), 3) << result.output.toStdString();
    EXPECT_EQ(lines[0].simplified(),
              "Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll");
    EXPECT_TRUE(lines[2].isEmpty());
    const QStringList fields = lines[1].split(' ', Qt::SkipEmptyParts);
    ASSERT_EQ(fields.size(), 11) << lines[1].toStdString();
    EXPECT_EQ(fields[0], interface);
    EXPECT_EQ(fields[1], mtu);
    EXPECT_TRUE(fields[2].startsWith("<Link#") && fields[2].endsWith('>'))
        << fields[2].toStdString();
    EXPECT_EQ(fields[3], address);
    for (qsizetype i = 0; i < kCounterNames.size(); ++i) {
        bool number = false;
        const quint64 printed = fields[kCounterColumns[i]].toULongLong(&number);
        EXPECT_TRUE(number) << fields[kCounterColumns[i]].toStdString();
        EXPECT_LE(before[i], printed) << kCounterNames[i].toStdString();
        EXPECT_LE(printed, after[i]) << kCounterNames[i].toStdString();
    }
}

} // namespace

TEST(NetstatTool, RejectsOtherArgumentForms) {
    const QStringList forms[] = {
        {},
        {"-f", "inet"},
        {"-bI", "lo"},
        {"-f", "inet6", "-bI", "lo"},
        {"-f", "inet", "-I", "lo"},
        {"-f", "inet", "-bI", "lo", "extra"},
    };
    for (const QStringList &arguments : forms) {
        const CommandResult result = netstat(runCommand, arguments);
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.output.isEmpty());
        EXPECT_TRUE(result.error.startsWith("usage:")) << result.error.toStdString();
    }
}

TEST(NetstatTool, RefusesNamesThatLeaveTheInterfaceFolder) {
    const QString names[] = {"",      ".",         "..",
                             "../lo", "lo/..",     "../../../proc/self",
                             "a/b",   "two words", "averylonginterfacename"};
    for (const QString &name : names) {
        const CommandResult result = netstat(runCommand, {"-f", "inet", "-bI", name});
        EXPECT_TRUE(result.finished);
        EXPECT_EQ(result.exitCode, 1) << name.toStdString();
        EXPECT_TRUE(result.output.isEmpty()) << name.toStdString();
        EXPECT_FALSE(result.error.isEmpty());
    }
}

TEST(NetstatTool, UnknownInterfaceGivesTheHeaderOnly) {
    const CommandResult result = netstat(runCommand, {"-f", "inet", "-bI", "nosuchif0"});
    EXPECT_TRUE(result.finished);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(result.output.count('\n'), 1);
    EXPECT_TRUE(result.output.startsWith("Name")) << result.output.toStdString();
    EXPECT_TRUE(result.error.contains("nosuchif0"));
}

TEST(NetstatTool, PrintsTheLoopbackCounters) {
    QFile mtu(QStringLiteral("/sys/class/net/lo/mtu"));
    if (!mtu.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "no loopback interface in sysfs";
    expectInterfaceLine(runCommand, QStringLiteral("lo"),
                        QString::fromLatin1(mtu.readAll()).trimmed(),
                        QStringLiteral("00:00:00:00:00:00"));
}

TEST(NetstatTool, PrintsAVethInterfaceInsideANamespace) {
    TestNetwork network;
    if (!network.unavailableReason().isEmpty())
        GTEST_SKIP() << network.unavailableReason().toStdString();
    const Runner inside = [&](const QString &program, const QStringList &arguments) {
        return network.run(program, arguments);
    };
    expectInterfaceLine(inside, QStringLiteral("ft0"), QStringLiteral("1400"),
                        QStringLiteral("02:00:5e:77:00:02"));
}
