// The router source against saved replies of the net-snmp tools: the
// command lines, the order of the tool runs, the readings of replies of many
// shapes, and what each query leaves in the status line.
#include "ControllerFixture.h"

#include "FakeSnmpTools.h"
#include "LogCapture.h"
#include "StatusTexts.h"
#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QLabel>

#include <string>
#include <vector>

namespace {

// The fixture's router, and a community that must reach the tools whole.
const QString kRouter = QStringLiteral("127.0.0.77");
const QString kCommunity = QStringLiteral("pub lic");
const QString kCommunityKey = QStringLiteral("communityPassword");

const QString kUptime = QStringLiteral("system.sysUpTime.0");
const QString kName = QStringLiteral("system.sysName.0");
const QString kDescriptions = QStringLiteral("ifDescr");

const QString kNoError = QStringLiteral("No Error");
const QString kNoData = QStringLiteral("(NO DATA)");
const QString kTimeout = QStringLiteral("Timeout: No Response from 127.0.0.77.\n");
const QString kNoCommunity = QStringLiteral("SNMP Error: no community string is set.");
const QString kNoRouter = QStringLiteral("SNMP Error: no router address.");

const QString kUsualUptime =
    QStringLiteral("SNMPv2-MIB::sysUpTime.0 = Timeticks: (250) 0:00:02.50\n");
const QString kUsualName = QStringLiteral("SNMPv2-MIB::sysName.0 = STRING: gateway\n");
const QString kUsualWalk = QStringLiteral("IF-MIB::ifDescr.1 = STRING: lo\n"
                                          "IF-MIB::ifDescr.2 = STRING: eth0\n"
                                          "IF-MIB::ifDescr.7 = STRING: vlan1\n");

QString inOctets(quint32 index) {
    return QStringLiteral("IF-MIB::ifInOctets.%1").arg(index);
}
QString outOctets(quint32 index) {
    return QStringLiteral("IF-MIB::ifOutOctets.%1").arg(index);
}

// A run as text, its words joined by "|" so that their limits show.
std::string get(const QString &object) {
    return QStringList{QStringLiteral("snmpget"),
                       "-v",
                       "2c",
                       "-r",
                       "0",
                       "-t",
                       "1",
                       "-c",
                       kCommunity,
                       kRouter,
                       object}
        .join('|')
        .toStdString();
}
std::string walk(const QString &object) {
    return QStringList{QStringLiteral("snmpwalk"), "-v", "2c", "-c", kCommunity, kRouter, object}
        .join('|')
        .toStdString();
}

class RouterSource : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        tools = std::make_unique<FakeSnmpTools>();
        UserDefaults::standardUserDefaults().setObject(kCommunityKey, kCommunity);
        // The tick's router decision: the fixture's wired interface and a
        // router that answers.
        tools->reply(kName, kUsualName);
        AppDelegate::clearRouterDecision();
        ASSERT_TRUE(AppDelegate::probablyHasRouter());
        runs();
        status.shown();
    }

    void TearDown() override {
        for (const QString &text : status.shown())
            EXPECT_FALSE(text.contains(kCommunity)) << "status text " << text.toStdString();
        for (const QString &line : log.lines())
            EXPECT_FALSE(line.contains(kCommunity)) << "log line " << line.toStdString();
        tools.reset();
        setToolPath(kArpTool, {});
        UserDefaults::standardUserDefaults().removeObject(kCommunityKey);
        AppDelegate::clearRouterDecision();
        ControllerFixture::TearDown();
    }

    // A router that answers every query of a sample in the usual way.
    void usualRouter() {
        tools->reply(kUptime, kUsualUptime);
        tools->reply(kDescriptions, kUsualWalk);
        tools->reply(inOctets(7), QStringLiteral("IF-MIB::ifInOctets.7 = Counter32: 123456789\n"));
        tools->reply(outOctets(7), QStringLiteral("IF-MIB::ifOutOctets.7 = Counter32: 98765\n"));
    }

    std::vector<std::string> runs() {
        std::vector<std::string> described;
        for (const FakeSnmpTools::Run &run : tools->takeRuns())
            described.push_back(run.join('|').toStdString());
        return described;
    }

    // The text that the status line shows below its time stamp.
    QString statusLine() {
        status.shown();
        const QString line = outlet<QLabel>("infoText")->text();
        return line.mid(line.indexOf('\n') + 1);
    }

    QString lastStatus() {
        const QStringList shown = status.shown();
        return shown.isEmpty() ? QString() : shown.last();
    }

    std::unique_ptr<FakeSnmpTools> tools;
    StatusTexts status;
    LogCapture log;
};

TEST_F(RouterSource, SampleRunsSixQueriesInOrderWithWholeArguments) {
    usualRouter();
    const std::optional<TrafficSample> sample = controller->routerStats();
    ASSERT_TRUE(sample);
    EXPECT_EQ(runs(),
              (std::vector<std::string>{get(kUptime), walk(kDescriptions), get(inOctets(7)),
                                        walk(kDescriptions), get(outOctets(7)), get(kName)}));

    EXPECT_EQ(sample->value(SampleKey::Router).toString().toStdString(), "gateway\n");
    EXPECT_EQ(sample->value(SampleKey::Uptime).toDouble(), 2.5);
    EXPECT_EQ(sample->value(SampleKey::InTraffic).toULongLong(), 123456789u);
    EXPECT_EQ(sample->value(SampleKey::OutTraffic).toULongLong(), 98765u);
    EXPECT_EQ(sample->value(SampleKey::PrimaryService).toString(), kService);
    EXPECT_TRUE(sample->value(SampleKey::FireDate).toDateTime().isValid());
    EXPECT_FALSE(sample->contains(SampleKey::PrimaryInterface)) << "a router sample names none";
    EXPECT_FALSE(sample->contains(SampleKey::MAC));
    EXPECT_EQ(sourceOfSample(*sample), CounterSource::Router);
    EXPECT_EQ(statusLine().toStdString(), "No Error");
}

TEST_F(RouterSource, NameReplyDecidesProbeAndName) {
    struct Case {
        const char *what;
        QString reply;
        bool answers;
        std::string name;
        QString status;
    };
    const Case cases[] = {
        {"usual", kUsualName, true, "gateway\n", kNoError},
        {"several words: the last one",
         QStringLiteral("SNMPv2-MIB::sysName.0 = STRING: home gateway\n"), true, "gateway\n",
         kNoError},
        {"another type tag", QStringLiteral("SNMPv2-MIB::sysName.0 = Hex-STRING: 67 77 \n"), false,
         "UNAVAILABLE", kNoError},
        {"quoted where the display convention is missing",
         QStringLiteral("SNMPv2-MIB::sysName.0 = STRING: \"gateway\"\n"), true, "\"gateway\"\n",
         kNoError},
        {"no such instance",
         QStringLiteral("SNMPv2-MIB::sysName.0 = No Such Instance currently exists at this OID\n"),
         false, "UNAVAILABLE", kNoError},
        {"three words", QStringLiteral("SNMPv2-MIB::sysName.0 = STRING:"), false, "UNAVAILABLE",
         kNoError},
        {"nothing printed", QString(), false, "UNAVAILABLE", kNoData},
        {"the tool's complaint", kTimeout, false, "UNAVAILABLE", kTimeout},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        tools->reply(kName, c.reply);
        EXPECT_EQ(AppDelegate::SNMPWorksWith(kRouter), c.answers);
        EXPECT_EQ(lastStatus().toStdString(), c.status.toStdString());
        EXPECT_EQ(AppDelegate::SNMPConfiguredName().toStdString(), c.name);
        EXPECT_EQ(controller->routerName().toStdString(), c.name);
        EXPECT_EQ(runs(), (std::vector<std::string>{get(kName), get(kName), get(kName)}));
    }
}

TEST_F(RouterSource, UpTimeReplyDecidesWhetherASampleIsTaken) {
    struct Case {
        const char *what;
        QString reply;
        double uptime;
    };
    const Case cases[] = {
        {"usual", kUsualUptime, 2.5},
        {"large", QStringLiteral("SNMPv2-MIB::sysUpTime.0 = Timeticks: ( 123456789) 14 days\n"),
         1234567.89},
        {"other module", QStringLiteral("DISMAN-EVENT-MIB::sysUpTimeInstance = Timeticks: (1)\n"),
         0.01},
        {"no parentheses", QStringLiteral("SNMPv2-MIB::sysUpTime.0 = Timeticks: 250\n"), -1},
        {"not closed", QStringLiteral("SNMPv2-MIB::sysUpTime.0 = Timeticks: (250 0:00:02.50\n"),
         -1},
        {"zero", QStringLiteral("SNMPv2-MIB::sysUpTime.0 = Timeticks: (0) 0:00:00.00\n"), 0},
        {"not a number", QStringLiteral("SNMPv2-MIB::sysUpTime.0 = Timeticks: (x) 0\n"), 0},
        {"no such instance",
         QStringLiteral(
             "SNMPv2-MIB::sysUpTime.0 = No Such Instance currently exists at this OID\n"),
         -1},
        {"nothing printed", QString(), -1},
        {"the tool's complaint", kTimeout, -1},
    };
    usualRouter();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        tools->reply(kUptime, c.reply);
        EXPECT_DOUBLE_EQ(controller->SNMPUptime(), c.uptime);
        EXPECT_EQ(runs(), std::vector<std::string>{get(kUptime)});

        const std::optional<TrafficSample> sample = controller->routerStats();
        EXPECT_EQ(sample.has_value(), c.uptime > 0);
        if (!sample)
            EXPECT_EQ(runs(), std::vector<std::string>{get(kUptime)}) << "no query after it";
        else
            EXPECT_DOUBLE_EQ(sample->value(SampleKey::Uptime).toDouble(), c.uptime);
        runs();
    }
}

TEST_F(RouterSource, LastLineNamingVlan1ChoosesTheInterfaceOfBothCounters) {
    struct Case {
        const char *what;
        QString walkReply;
        quint32 index;
    };
    const Case cases[] = {
        {"usual", kUsualWalk, 7},
        {"vlan10 after vlan1",
         QStringLiteral("IF-MIB::ifDescr.5 = STRING: vlan1\nIF-MIB::ifDescr.6 = STRING: eth1\n"
                        "IF-MIB::ifDescr.7 = STRING: vlan10\nIF-MIB::ifDescr.8 = STRING: br0\n"),
         7},
        {"vlan1 after vlan12",
         QStringLiteral("IF-MIB::ifDescr.3 = STRING: vlan12\nIF-MIB::ifDescr.4 = STRING: vlan1\n"),
         4},
        {"no vlan1",
         QStringLiteral("IF-MIB::ifDescr.1 = STRING: lo\nIF-MIB::ifDescr.2 = STRING: "
                        "eth0\nIF-MIB::ifDescr.3 = STRING: wlan0\n"),
         6},
        {"nothing printed", QString(), 6},
        {"the tool's complaint", kTimeout, 6},
    };
    usualRouter();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        tools->reply(kDescriptions, c.walkReply);
        tools->reply(inOctets(c.index),
                     QStringLiteral("IF-MIB::ifInOctets.%1 = Counter32: 1000\n").arg(c.index));
        tools->reply(outOctets(c.index),
                     QStringLiteral("IF-MIB::ifOutOctets.%1 = Counter32: 2000\n").arg(c.index));
        EXPECT_EQ(controller->SNMPInterfaceIndex(), c.index);
        EXPECT_EQ(runs(), std::vector<std::string>{walk(kDescriptions)});

        const std::optional<TrafficSample> sample = controller->routerStats();
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->value(SampleKey::InTraffic).toULongLong(), 1000u);
        EXPECT_EQ(sample->value(SampleKey::OutTraffic).toULongLong(), 2000u);
        EXPECT_EQ(runs(), (std::vector<std::string>{get(kUptime), walk(kDescriptions),
                                                    get(inOctets(c.index)), walk(kDescriptions),
                                                    get(outOctets(c.index)), get(kName)}));
    }
}

TEST_F(RouterSource, CounterRepliesGiveTheLow32BitsOrZero) {
    struct Case {
        const char *what;
        QString value; // what follows "IF-MIB::ifInOctets.7 = ", or the whole reply
        bool whole;
        quint64 counter;
        QString status;
    };
    const Case cases[] = {
        {"usual", QStringLiteral("Counter32: 4000\n"), false, 4000, kNoError},
        {"largest", QStringLiteral("Counter32: 4294967295\n"), false, 4294967295ull, kNoError},
        {"wider than 32 bits", QStringLiteral("Counter64: 4294967297\n"), false, 1, kNoError},
        {"spaces around it", QStringLiteral("Counter32: \t17\t\n"), false, 17, kNoError},
        {"no such instance", QStringLiteral("No Such Instance currently exists at this OID\n"),
         false, 0, kNoError},
        {"no value", QStringLiteral("Counter32:"), false, 0, kNoError},
        {"nothing printed", QString(), true, 0, kNoData},
        {"the tool's complaint", kTimeout, true, 0, kTimeout},
    };
    usualRouter();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString &object : {inOctets(7), outOctets(7)})
            tools->reply(object, c.whole ? c.value : object + QStringLiteral(" = ") + c.value);
        EXPECT_EQ(controller->SNMPIfIn(), c.counter);
        EXPECT_EQ(lastStatus().toStdString(), c.status.toStdString());
        EXPECT_EQ(controller->SNMPIfOut(), c.counter);

        const std::optional<TrafficSample> sample = controller->routerStats();
        ASSERT_TRUE(sample) << "a counter that cannot be read is 0 in the sample";
        EXPECT_EQ(sample->value(SampleKey::InTraffic).typeId(), QMetaType::ULongLong);
        EXPECT_EQ(sample->value(SampleKey::InTraffic).toULongLong(), c.counter);
        EXPECT_EQ(sample->value(SampleKey::OutTraffic).toULongLong(), c.counter);
        runs();
    }
}

TEST_F(RouterSource, StatusLineShowsTheOutcomeOfTheLastQuery) {
    struct Case {
        const char *what;
        QString uptimeReply;
        std::string shown;
    };
    const Case cases[] = {
        {"nothing printed", QString(), "(NO DATA)"},
        {"the tool's complaint", kTimeout, kTimeout.toStdString()},
        {"a good sample after a failure", kUsualUptime, "No Error"},
    };
    usualRouter();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        tools->reply(kUptime, c.uptimeReply);
        controller->routerStats();
        EXPECT_EQ(statusLine().toStdString(), c.shown);
    }
}

TEST_F(RouterSource, WithoutCommunityNoToolRuns) {
    // The registration defaults hold one, so only a cleared field or a
    // setting of another type leaves none.
    usualRouter();
    for (const QVariant &setting : {QVariant(QString()), QVariant(42)}) {
        SCOPED_TRACE(setting.typeName());
        UserDefaults::standardUserDefaults().setObject(kCommunityKey, setting);
        EXPECT_FALSE(controller->routerStats());
        EXPECT_FALSE(AppDelegate::SNMPWorksWith(kRouter));
        EXPECT_FALSE(controller->SNMPWalk(kDescriptions));
        EXPECT_TRUE(runs().empty());
        EXPECT_EQ(statusLine().toStdString(), kNoCommunity.toStdString());
    }
}

TEST_F(RouterSource, WithoutRouterAddressNoToolRuns) {
    usualRouter();
    const qsizetype textsBefore = status.shown().size();
    for (const std::optional<QString> &address :
         {std::optional<QString>(), std::optional(QString())})
        EXPECT_FALSE(AppDelegate::SNMPGet(kName, address));
    EXPECT_TRUE(runs().empty());
    EXPECT_EQ(status.shown().size(), textsBefore) << "a query without an address says nothing";

    // No router in the network store, and arp knows no address of ours.
    DynamicStore::setProvider([](const QString &) {
        return std::optional<QVariantMap>(
            QVariantMap{{kSCDynamicStorePropNetPrimaryInterface, QStringLiteral("tun0")},
                        {kSCDynamicStorePropNetPrimaryService, kService}});
    });
    setToolPath(kArpTool, QStringLiteral("/bin/true"));
    AppDelegate::clearRouterDecision();
    EXPECT_FALSE(controller->SNMPWalk(kDescriptions));
    EXPECT_FALSE(AppDelegate::SNMPGet(kName));
    EXPECT_TRUE(runs().empty());
    EXPECT_EQ(statusLine().toStdString(), kNoRouter.toStdString());
}

} // namespace
