// The router source for real: snmpd runs in the router's namespace with an
// interface named vlan1 that carries the LAN's traffic, and Flowtally on the
// LAN host samples it through the net-snmp tools. Nothing the tools send
// leaves the two namespaces.
#include "AppDelegate.h"
#include "BackgroundTraffic.h"
#include "DynamicStore.h"
#include "EnvironmentVariables.h"
#include "MainLoop.h"
#include "ScriptFolder.h"
#include "SnmpAgent.h"
#include "SnmpEnvironment.h"
#include "SystemTest.h"
#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>

#include <iostream>

namespace {

using namespace std::chrono_literals;

const QString kCommunity = QStringLiteral("ft-router-3c9a");
const QString kRouterSource = QStringLiteral("router");
const QString kLocalSource = QStringLiteral("local");
// Flowtally's own traffic (probes, queries and their answers) that may pass
// between a look at the counters and a sample, with snmpd's figures some
// seconds behind the kernel's.
constexpr quint64 kQuerySlack = 4 * SystemTest::kProbeSlack;

quint64 sum(const InterfaceCounters &counters) {
    return counters.received + counters.sent;
}
quint64 totals(const StoredRecord &record) {
    return record.totalInBytes() + record.totalOutBytes();
}

class RouterTest : public SystemTest {
  protected:
    void SetUp() override {
        SystemTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        const QString unavailable = SnmpAgent::unavailableReason();
        if (!unavailable.isEmpty())
            GTEST_SKIP() << unavailable.toStdString();
        ASSERT_NO_FATAL_FAILURE(writeCommunity(kCommunity));
        agent = std::make_unique<SnmpAgent>(
            network().peer(), network().routerAddress(),
            network().routerAddress().section(QLatin1Char('.'), 0, 2) + QStringLiteral(".0/24"));
        QString error;
        ASSERT_TRUE(agent->start(kCommunity, &error)) << error.toStdString();
    }

    void TearDown() override {
        if (HasFailure() && agent)
            std::cout << "---- snmpd\n" << agent->log().toStdString() << "----\n";
        agent.reset();
        SystemTest::TearDown();
    }

    // Flowtally's settings before its first run: the community, nothing else.
    void writeCommunity(const QString &community) {
        ASSERT_TRUE(QDir().mkpath(settingsFolder()));
        QFile file(defaultsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                  "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                  "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                  "<plist version=\"1.0\">\n<dict>\n"
                                  "\t<key>communityPassword</key>\n\t<string>%1</string>\n"
                                  "</dict>\n</plist>\n")
                       .arg(community)
                       .toUtf8());
    }

    // The router's interface that faces the LAN, as the kernel counts it.
    InterfaceCounters vlan1() {
        const auto counters = network().peer().counters(TestLan::kPeerInterface);
        EXPECT_TRUE(counters) << "cannot read the counters of vlan1";
        return counters.value_or(InterfaceCounters{});
    }

    // Starts Flowtally on a link that has moved some megabytes (so that a
    // counter counted whole would show) and waits for its first stored
    // router sample, which fixes the bases the service counts from.
    void startOnRouter() {
        ASSERT_NO_FATAL_FAILURE(pushTraffic(4 * kMiB, 4 * kMiB));
        ASSERT_NO_FATAL_FAILURE(launch());
        const auto first = waitForRecord([](const StoredRecord &record) {
            return record.sampled() && record.prevValSource() == kRouterSource;
        });
        ASSERT_TRUE(first) << "Flowtally stored no router sample";
        service = first->key;
        start = *first;
    }

    StoredRecord current() {
        const StoredRecords all = records();
        const auto found = all.find(service);
        EXPECT_NE(found, all.end()) << "the record of " << service.toStdString() << " is gone";
        return found == all.end() ? StoredRecord{} : found->second;
    }

    // Waits for a stored sample of the source taken once vlan1's counters
    // had reached the given values (snmpd's figures lag the kernel's).
    std::optional<StoredRecord> waitForRouterSampleAfter(const InterfaceCounters &reached) {
        return waitForRecord(
            [&](const StoredRecord &record) {
                return record.prevValSource() == kRouterSource &&
                       record.prevInVal() >= reached.received &&
                       record.prevOutVal() >= reached.sent;
            },
            service);
    }

    // Waits until the stored samples come from the source; the work ticks
    // (probes seen leaving the LAN host) that passed meanwhile, or -1.
    int ticksUntilSource(const QString &source) {
        quint64 sent = counters().sent;
        int ticks = 0;
        const auto reached = waitForRecord(
            [&](const StoredRecord &record) {
                if (record.prevValSource() == source)
                    return true;
                const quint64 now = counters().sent;
                ticks += now != sent;
                sent = now;
                return false;
            },
            service);
        return reached ? ticks : -1;
    }

    std::unique_ptr<SnmpAgent> agent;
    QString service;
    StoredRecord start;
};

TEST_F(RouterTest, RouterSamplesCountWhatTheRoutersInterfaceMoved) {
    ASSERT_NO_FATAL_FAILURE(startOnRouter());
    ASSERT_NO_FATAL_FAILURE(pushTraffic(3 * kMiB, 2 * kMiB));
    const InterfaceCounters moved = vlan1();
    ASSERT_TRUE(waitForRouterSampleAfter(moved)) << "the traffic was never sampled on the router";
    ASSERT_NO_FATAL_FAILURE(quit());

    // Every stored state counts from the first router sample's counters:
    // the totals grew by exactly what vlan1's counters moved.
    const StoredRecord last = current();
    EXPECT_EQ(last.prevValSource().toStdString(), "router");
    expectConsistent(last, start.inBase(), start.outBase());
    for (const StoredRecord &state : observed(service)) {
        EXPECT_EQ(state.prevValSource().toStdString(), "router");
        expectConsistent(state, start.inBase(), start.outBase());
    }
    // vlan1 received what the LAN host sent, and sent what it received.
    EXPECT_GE(last.totalInBytes() - start.totalInBytes(), 3 * kMiB);
    EXPECT_GE(last.totalOutBytes() - start.totalOutBytes(), 2 * kMiB);
    // The counters are vlan1's as the kernel keeps them (far from 2^32).
    const InterfaceCounters now = vlan1();
    EXPECT_LE(last.prevInVal(), now.received);
    EXPECT_LE(last.prevOutVal(), now.sent);
    EXPECT_LE(now.received - last.prevInVal(), kQuerySlack);
    EXPECT_LE(now.sent - last.prevOutVal(), kQuerySlack);
}

TEST_F(RouterTest, FailingRouterFallsBackToLocalSamplesAndAddsNoPhantomBytes) {
    struct Case {
        const char *what;
        std::function<bool(QString *)> fail;
        std::function<bool(QString *)> mend;
    };
    const NetworkNamespace &router = network().peer();
    const Case cases[] = {
        {"wrong community",
         [&](QString *error) {
             return agent->stop() && agent->start(QStringLiteral("another-community"), error);
         },
         [&](QString *error) { return agent->stop() && agent->start(kCommunity, error); }},
        {"agent stopped", [&](QString *) { return agent->stop(); },
         [&](QString *error) { return agent->start(kCommunity, error); }},
        // Requests to port 161 go nowhere: the rule that finds local
        // addresses moves behind one that drops them.
        {"router drops the queries",
         [&](QString *error) {
             return router.ip({"rule", "add", "pref", "100", "lookup", "local"}, error) &&
                    router.ip({"rule", "del", "pref", "0"}, error) &&
                    router.ip({"rule", "add", "pref", "10", "iif", TestLan::kPeerInterface,
                               "ipproto", "udp", "dport", "161", "blackhole"},
                              error);
         },
         [&](QString *error) {
             return router.ip({"rule", "del", "pref", "10"}, error);
         }},
    };
    ASSERT_NO_FATAL_FAILURE(startOnRouter());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const StoredRecord before = current();
        const InterfaceCounters kernelBefore = counters();
        QString error;
        ASSERT_TRUE(c.fail(&error)) << error.toStdString();
        const int ticks = ticksUntilSource(kLocalSource);
        ASSERT_GE(ticks, 0) << "Flowtally never fell back to local samples";
        EXPECT_LE(ticks, 4) << "fell back only after " << ticks << " ticks";

        ASSERT_TRUE(c.mend(&error)) << error.toStdString();
        ASSERT_GE(ticksUntilSource(kRouterSource), 0) << "the router samples never came back";
        // No traffic but Flowtally's own passed: nothing was counted that
        // did not cross the LAN host's interface.
        EXPECT_LE(totals(current()) - totals(before),
                  sum(counters()) - sum(kernelBefore) + kQuerySlack);
    }
    ASSERT_NO_FATAL_FAILURE(quit());
}

TEST_F(RouterTest, RestartedOrSilentAgentAmidTrafficAddsNoPhantomBytes) {
    // Counters far above what moves during the test: one counted whole
    // would make more than crossed the link.
    constexpr quint64 kCounted = 64 * kMiB;
    ASSERT_NO_FATAL_FAILURE(pushTraffic(kCounted, kCounted));
    ASSERT_NO_FATAL_FAILURE(startOnRouter());
    const StoredRecord before = current();
    const InterfaceCounters kernelBefore = counters();
    {
        BackgroundTraffic traffic(connection(), 16 * 1024);
        ASSERT_TRUE(waitUntil([&] { return traffic.exchanges() > 0; }));

        // Restarted: its up-time starts again, its counters do not.
        QString error;
        ASSERT_TRUE(agent->stop());
        ASSERT_TRUE(agent->start(kCommunity, &error)) << error.toStdString();
        ASSERT_TRUE(waitForRouterSampleAfter(vlan1())) << "no router sample after the restart";

        // Silent for a while, then back.
        ASSERT_TRUE(agent->freeze());
        ASSERT_GE(ticksUntilSource(kLocalSource), 0) << "a silent router was still used";
        ASSERT_TRUE(agent->thaw());
        ASSERT_TRUE(waitForRouterSampleAfter(vlan1())) << "no router sample after the silence";
        ASSERT_TRUE(traffic.stop()) << connection().error().toStdString();
    }
    ASSERT_TRUE(waitForRouterSampleAfter(vlan1())) << "the last traffic was never sampled";
    ASSERT_NO_FATAL_FAILURE(quit());

    const StoredRecord last = current();
    const quint64 crossed = sum(counters()) - sum(kernelBefore);
    ASSERT_LT(crossed, kCounted) << "too much traffic to tell a counter counted whole";
    EXPECT_LE(totals(last) - totals(before), crossed + kQuerySlack)
        << "more counted than crossed the link";
    EXPECT_GT(totals(last) - totals(before), 0u) << "the traffic was not counted at all";
    EXPECT_EQ(last.prevValSource().toStdString(), "router");
}

// The tools themselves, in the LAN host's namespace, with Flowtally's own
// modules (as on Debian) and with modules that the system brings (played by
// copies of ours in a folder of the test's): the replies read the same.
TEST_F(RouterTest, ToolsPrintSymbolicRepliesWithEitherModules) {
    QTemporaryDir systemModules;
    for (const QString &name : {QStringLiteral("SNMPv2-MIB.txt"), QStringLiteral("IF-MIB.txt")})
        ASSERT_TRUE(QFile::copy(QDir(SnmpAgent::moduleFolder()).filePath(name),
                                systemModules.filePath(name)));
    struct Case {
        const char *what;
        std::optional<QByteArray> mibs;
        std::optional<QByteArray> mibDirectories;
    };
    const Case cases[] = {
        {"as the system comes", std::nullopt, std::nullopt},
        {"modules of the system's", "SNMPv2-MIB:IF-MIB", QFile::encodeName(systemModules.path())},
    };
    const QString address = network().routerAddress();
    const auto run = [&](const QString &tool, const QStringList &arguments) {
        return network().lan().exec(tool, arguments).output.toStdString();
    };
    const QStringList get{"-v", "2c", "-r", "0", "-t", "1", "-c", kCommunity, address};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EnvironmentVariables variables{{"MIBS", "MIBDIRS"}};
        EnvironmentVariables::set("MIBS", c.mibs);
        EnvironmentVariables::set("MIBDIRS", c.mibDirectories);
        const SnmpModules chosen = setUpSnmpEnvironment(SnmpAgent::moduleFolder());
        if (c.mibs) {
            EXPECT_EQ(chosen, SnmpModules::System) << "a system that names the objects is kept";
        }

        EXPECT_EQ(run("/usr/bin/snmpget", get + QStringList{"system.sysName.0"}),
                  "SNMPv2-MIB::sysName.0 = STRING: testrouter\n");
        EXPECT_TRUE(QRegularExpression(R"(^SNMPv2-MIB::sysUpTime\.0 = Timeticks: \(\d+\) .+\n$)")
                        .match(QString::fromStdString(
                            run("/usr/bin/snmpget", get + QStringList{"system.sysUpTime.0"})))
                        .hasMatch());
        const QString walk = QString::fromStdString(
            run("/usr/bin/snmpwalk", {"-v", "2c", "-c", kCommunity, address, "ifDescr"}));
        const QRegularExpressionMatch vlan1 =
            QRegularExpression(R"((?:^|\n)IF-MIB::ifDescr\.(\d+) = STRING: vlan1\n)").match(walk);
        ASSERT_TRUE(vlan1.hasMatch()) << walk.toStdString();
        for (const QString &object :
             {QStringLiteral("IF-MIB::ifInOctets"), QStringLiteral("IF-MIB::ifOutOctets")}) {
            const QString name = object + QLatin1Char('.') + vlan1.captured(1);
            EXPECT_TRUE(
                QRegularExpression(QStringLiteral("^%1 = Counter32: \\d+\\n$")
                                       .arg(QRegularExpression::escape(name)))
                    .match(QString::fromStdString(run("/usr/bin/snmpget", get + QStringList{name})))
                    .hasMatch())
                << name.toStdString();
        }
    }
}

// Flowtally's router source in this process, its tools run in the LAN
// host's namespace: the sample, the router's name in the main window and
// the status line.
TEST_F(RouterTest, NameAndStatusOfRouterSamples) {
    EnvironmentVariables variables{{"MIBS", "MIBDIRS", "XDG_CONFIG_HOME"}};
    QTemporaryDir settings;
    EnvironmentVariables::set("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    setUpSnmpEnvironment(SnmpAgent::moduleFolder());

    ScriptFolder tools;
    const QString inLan = QStringLiteral("exec ip netns exec '%1' %2 \"$@\"");
    setToolPath(kSnmpGetTool, tools.write(QStringLiteral("snmpget"),
                                          inLan.arg(network().lan().name(), kSnmpGetTool)));
    setToolPath(kSnmpWalkTool, tools.write(QStringLiteral("snmpwalk"),
                                           inLan.arg(network().lan().name(), kSnmpWalkTool)));
    const QString serviceId = QStringLiteral("RouterTest-service");
    DynamicStore::setProvider([&](const QString &) {
        return std::optional<QVariantMap>(
            {{kSCDynamicStorePropNetPrimaryInterface, TestLan::kLanInterface},
             {kSCPropNetIPv4Router, network().routerAddress()},
             {kSCDynamicStorePropNetPrimaryService, serviceId}});
    });
    struct Restore {
        ~Restore() {
            DynamicStore::setProvider({});
            setToolPath(kSnmpGetTool, {});
            setToolPath(kSnmpWalkTool, {});
            AppDelegate::clearRouterDecision();
            // Written now, while the settings folder is still there.
            UserDefaults::resetStandardUserDefaults();
        }
    } restore;

    AppDelegate controller;
    controller.setPrimaryService(serviceId);
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("communityPassword"), kCommunity);
    const auto statusLine = [&] {
        runMainLoopFor(0.1);
        const QString line =
            controller.mainWindowWidget()->findChild<QLabel *>(QStringLiteral("infoText"))->text();
        return line.mid(line.indexOf(QLatin1Char('\n')) + 1).toStdString();
    };

    AppDelegate::clearRouterDecision();
    ASSERT_TRUE(AppDelegate::probablyHasRouter());
    EXPECT_EQ(AppDelegate::routerIPAddress(), network().routerAddress());
    const std::optional<TrafficSample> first = controller.routerStats();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->value(SampleKey::Router).toString().toStdString(), "testrouter\n");
    EXPECT_GT(first->value(SampleKey::Uptime).toDouble(), 0);
    EXPECT_LE(first->value(SampleKey::InTraffic).toULongLong(), vlan1().received);
    EXPECT_EQ(statusLine(), "No Error");

    // Samples 1.5 s apart are counted and show the router's name.
    controller.processStatsDict(first);
    runMainLoopFor(AppDelegate::kFrontInterval);
    const std::optional<TrafficSample> second = controller.routerStats();
    ASSERT_TRUE(second);
    controller.processStatsDict(second);
    EXPECT_EQ(controller.mainWindowWidget()
                  ->findChild<QLineEdit *>(QStringLiteral("airportName"))
                  ->text()
                  .trimmed()
                  .toStdString(),
              "testrouter");
    EXPECT_EQ(controller.prevInVal(), second->value(SampleKey::InTraffic).toULongLong());

    // A community the agent does not know: no answer within the second.
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("communityPassword"),
                                                   QStringLiteral("not-the-one"));
    AppDelegate::clearRouterDecision();
    EXPECT_FALSE(AppDelegate::probablyHasRouter());
    EXPECT_EQ(statusLine(), "(NO DATA)");
}

} // namespace
