// The router source against saved replies of the net-snmp tools: the
// command lines, the order of the tool runs, the readings of replies of many
// shapes, and what each query leaves in the status line.
#include "tests/support/controller/ControllerFixture.h"

#include "platform/system/UserDefaults.h"
#include "tests/support/NetworkScene.h"
#include "tests/support/PlantedFiles.h"

#include <QComboBox>
#include <QLabel>

namespace flowtally {

namespace {

// The fixture's router, and a community that must reach the tools whole.
const QString kRouter = "127.0.0.77", kCommunity = "pub lic";
const QString kUptime = "system.sysUpTime.0", kName = "system.sysName.0", kWalk = "ifDescr";
const QString kTimeout = "Timeout: No Response from 127.0.0.77.\n";
const QString kNameReply = "SNMPv2-MIB::sysName.0 = STRING: gateway\n";
const QString kUptimeReply = "SNMPv2-MIB::sysUpTime.0 = Timeticks: (250) 0:00:02.50\n";

QString octets(const QString &direction, quint32 index) {
    return QString("IF-MIB::if%1Octets.%2").arg(direction).arg(index);
}

// Runs as the fake tools write them down: no community on the command line.
std::string get(const QString &object, const QString &router = kRouter) {
    return ("snmpget|-v|2c|-r|0|-t|1|" + router + '|' + object + '\n').toStdString();
}
std::string walk() {
    return ("snmpwalk|-v|2c|" + kRouter + '|' + kWalk + '\n').toStdString();
}
// A sample's one get: the up-time, the interface's counters of both widths
// and the name.
std::string sampleGet(quint32 index, const QString &router = kRouter) {
    return ("snmpget|-v|2c|-r|0|-t|1|" + router + '|' + kUptime + '|' + octets("HCIn", index) +
            '|' + octets("HCOut", index) + '|' + octets("In", index) + '|' + octets("Out", index) +
            '|' + kName + QString("|IF-MIB::ifHighSpeed.%1|IF-MIB::ifSpeed.%1|").arg(index) +
            QString("IF-MIB::ifCounterDiscontinuityTime.%1\n").arg(index))
        .toStdString();
}

class RouterSource : public ControllerFixture {
  protected:
    // The tick's router, behind the fixture's wired interface, answers every
    // query of a sample in the usual way.
    void SetUp() override {
        ControllerFixture::SetUp();
        UserDefaults::standardUserDefaults().setObject("communityPassword", kCommunity);
        answerSamples();
        reply(kWalk, QString("IF-MIB::ifDescr.1 = STRING: lo\nIF-MIB::ifDescr.2 = STRING: eth0\n"
                             "IF-MIB::ifDescr.7 = STRING: vlan1\n"));
        AppDelegate::clearRouterDecision();
        ASSERT_TRUE(AppDelegate::probablyHasRouter());
        runs();
    }

    void TearDown() override {
        newTexts();
        for (const QString &text : shownTexts + environment.logLines())
            EXPECT_FALSE(text.contains(kCommunity)) << "shown or logged: " << text;
        // Every run the test made, as any local user could see it.
        for (const QString &process : processes())
            EXPECT_FALSE(process.contains(kCommunity)) << "in the process table: " << process;
        AppDelegate::clearRouterDecision();
        ControllerFixture::TearDown();
    }

    // The name, the up-time and interface 7's counters, as a sample asks.
    void answerSamples() {
        reply(kName, kNameReply);
        reply(kUptime, kUptimeReply);
        counters(7, "Counter32: 123456789\n", "Counter32: 98765\n");
    }
    // The reply "OBJECT = value" to a get of the object.
    void answer(const QString &object, const QString &value) {
        reply(object, object + " = " + value);
    }
    // The counter replies of the interface: the text after "OBJECT = ", or
    // a whole reply that does not start with "Counter" or "No".
    void counters(quint32 index, const QString &in, const QString &out) {
        for (const auto &[direction, value] : {std::pair{"In", in}, std::pair{"Out", out}}) {
            if (value.startsWith('C') || value.startsWith('N'))
                answer(octets(direction, index), value);
            else
                reply(octets(direction, index), value);
        }
    }
    // An up-time reply of whole seconds.
    void upFor(int seconds) {
        reply(kUptime, QString("SNMPv2-MIB::sysUpTime.0 = Timeticks: (%1) x\n").arg(seconds * 100));
    }
    QString lastText() {
        const QStringList texts = newTexts();
        return texts.value(texts.size() - 1);
    }
};

// The first sample walks the interfaces and asks for the rest in one get;
// the ones after it only get, as long as the router does not restart.
TEST_F(RouterSource, SampleIsOneGetAfterTheWalkThatFoundTheInterface) {
    // The interface's speed and its counters' discontinuity time come along.
    answer("IF-MIB::ifHighSpeed.7", "Gauge32: 1000\n");
    answer("IF-MIB::ifSpeed.7", "Gauge32: 1000000000\n");
    answer("IF-MIB::ifCounterDiscontinuityTime.7", "Timeticks: (4200) 0:00:42.00\n");
    for (const bool first : {true, false}) {
        SCOPED_TRACE(first ? "first sample" : "second sample");
        const std::optional<TrafficSample> sample = controller->routerStats();
        ASSERT_TRUE(sample);
        EXPECT_EQ(runs(), (first ? walk() : "") + sampleGet(7));
        EXPECT_EQ(*sample, (TrafficSample{{SampleKey::Router, "gateway\n"},
                                          {SampleKey::Uptime, 2.5},
                                          {SampleKey::InTraffic, quint64(123456789)},
                                          {SampleKey::OutTraffic, quint64(98765)},
                                          {SampleKey::FireDate, sample->value(SampleKey::FireDate)},
                                          {SampleKey::PrimaryService, kService},
                                          {SampleKey::RouterAddress, kRouter},
                                          {SampleKey::InterfaceIndex, 7u},
                                          {SampleKey::RouterHardware, *kHome.routerHardware},
                                          {SampleKey::CounterBits, 32},
                                          {SampleKey::MeteredInterface, "vlan1"},
                                          {SampleKey::SourceDescription, "SNMP: vlan1, 32-bit"},
                                          {SampleKey::LinkSpeed, quint64(1000000000)},
                                          {SampleKey::CounterDiscontinuity, qint64(4200)}}));
        newTexts();
        EXPECT_EQ(outlet<QLabel>("infoText")->text().section('\n', 1), "No Error")
            << "under the time";
    }
    // The per-object operations ask as they always did: each its own run.
    EXPECT_EQ(controller->SNMPIfIn(), 123456789u);
    EXPECT_EQ(runs(), walk() + get(octets("In", 7)));

    // IF-MIB's 64-bit counters where the router answers both, else the
    // 32-bit ones; the sample says which.
    const QString none = "No Such Object available on this agent at this OID\n";
    // clang-format off
    const struct { QString wideIn, wideOut; quint64 in, out; int bits; } cases[] = {
        {"Counter64: 9000000000\n", "Counter64: 8000000000\n", 9000000000, 8000000000, 64},
        {none, none, 123456789, 98765, 32},
        {"Counter64: 9000000000\n", none, 123456789, 98765, 32}, // both or neither
        {"Counter64: 0\n", "Counter64: 5\n", 0, 5, 64},           // 0: a failed read, as ever
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.bits);
        answer(octets("HCIn", 7), c.wideIn);
        answer(octets("HCOut", 7), c.wideOut);
        const std::optional<TrafficSample> sample = controller->routerStats();
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->value(SampleKey::InTraffic), c.in);
        EXPECT_EQ(sample->value(SampleKey::OutTraffic), c.out);
        EXPECT_EQ(sample->value(SampleKey::CounterBits), c.bits);
        EXPECT_EQ(sample->value(SampleKey::SourceDescription),
                  QString("SNMP: vlan1, %1-bit").arg(c.bits));
    }
}

TEST_F(RouterSource, NameQueryGivesProbeNameAndStatus) {
    // clang-format off
    const struct { QString reply; bool answers; QString name, status; } cases[] = {
        {QString(), false, "UNAVAILABLE", "(NO DATA)"},
        {kNameReply, true, "gateway\n", "No Error"}, // a good answer after a failure
        {"SNMPv2-MIB::sysName.0 = Hex-STRING: 67 77 \n", false, "UNAVAILABLE", "No Error"},
        {kTimeout, false, "UNAVAILABLE", kTimeout},
    };
    // clang-format on
    for (const auto &c : cases) {
        reply(kName, c.reply);
        EXPECT_EQ(AppDelegate::SNMPWorksWith(kRouter), c.answers) << c.reply;
        EXPECT_EQ(lastText(), c.status);
        EXPECT_EQ(AppDelegate::SNMPConfiguredName(), c.name);
        EXPECT_EQ(runs(), get(kName) + get(kName));
    }
    // Queries go to the local ranges, and elsewhere only to the address a
    // person typed (a local one while another is typed: the ticks of
    // TickBehindAnAnsweringRouterIsOneGet).
    reply(kName, kNameReply);
    const QString outside = "198.51.100.1";
    for (const QString typed : {"198.51.100.2", "198.51.100.1"}) {
        UserDefaults::standardUserDefaults().setObject("AirportIP", typed);
        const bool asked = typed == outside;
        EXPECT_EQ(AppDelegate::SNMPWorksWith(outside), asked) << typed;
        EXPECT_EQ(runs(), asked ? get(kName, outside) : "");
        if (!asked) {
            EXPECT_EQ(lastText(),
                      "SNMP Error: the router's address is not local; type it in to ask it.");
        }
    }
}

// With the system's whole set of modules loaded, the tools name the up-time
// by DISMAN-EVENT-MIB, which gives sysUpTime.0 a name of its own: the same
// object, and a sample like any other.
TEST_F(RouterSource, UpTimeUnderDismanEventMibsNameGivesASample) {
    reply(kUptime, QString("DISMAN-EVENT-MIB::sysUpTimeInstance = Timeticks: (250) 0:00:02.50\n"));
    const std::optional<TrafficSample> sample = controller->routerStats();
    ASSERT_TRUE(sample);
    EXPECT_EQ(runs(), walk() + sampleGet(7));
    EXPECT_EQ(sample->value(SampleKey::Uptime), 2.5);
    EXPECT_EQ(sample->value(SampleKey::InTraffic), quint64(123456789));
}

// An up-time that cannot be read, or of 0, gives no sample (the readings of
// up-time replies: SnmpReplies' UpTimeIsTheTicksInParentheses; what a tick
// does behind a silent router: TickBehindAnAnsweringRouterIsOneGet).
TEST_F(RouterSource, NoSampleWithoutAnUpTime) {
    // clang-format off
    const struct { QString reply; double uptime; } cases[] = {
        {"SNMPv2-MIB::sysUpTime.0 = Timeticks: 250\n", -1},
        {"SNMPv2-MIB::sysUpTime.0 = Timeticks: (0) 0:00:00.00\n", 0},
    };
    // clang-format on
    for (const auto &c : cases) {
        reply(kUptime, c.reply);
        EXPECT_DOUBLE_EQ(controller->SNMPUptime(), c.uptime) << c.reply;
        EXPECT_EQ(runs(), get(kUptime));
        EXPECT_FALSE(controller->routerStats()) << c.reply;
        EXPECT_EQ(runs(), walk() + sampleGet(7)) << "walked anew: no index is kept";
    }
    // A router that does not answer at all: one query, no sample, and the
    // tool's complaint on the status line.
    for (const QString &object : {kUptime, octets("In", 7), octets("Out", 7)})
        reply(object, QString());
    reply(kName, kTimeout);
    EXPECT_FALSE(controller->routerStats());
    EXPECT_EQ(runs(), walk() + sampleGet(7));
    EXPECT_EQ(lastText(), kTimeout);
}

// Each counter alone reads 0 where it cannot be read. A sample of zeros
// would count nothing while the status said all was well: without counters
// for the interface there is no router sample, and the status says why. The
// interface may have been made anew under another index (a PPPoE link that
// came back): the next sample walks again.
TEST_F(RouterSource, InterfaceWithoutCountersGivesNoSampleAndSaysWhy) {
    const QString noCounters = "The router has no traffic counters for \"vlan1\"; metering this "
                               "computer's interface.";
    // clang-format off
    const struct { QString reply; quint64 counter; QString status; bool walks; } cases[] = {
        {"Counter32: 4294967295\n", 4294967295ull, "No Error", true},
        {"No Such Instance currently exists at this OID\n", 0, "No Error", false},
        {kTimeout, 0, kTimeout, true},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply);
        counters(7, c.reply, c.reply);
        EXPECT_EQ(controller->SNMPIfIn(), c.counter);
        EXPECT_EQ(lastText(), c.status);
        EXPECT_EQ(controller->SNMPIfOut(), c.counter);
        runs();
        const std::optional<TrafficSample> sample = controller->routerStats();
        EXPECT_EQ(runs(), (c.walks ? walk() : "") + sampleGet(7));
        ASSERT_EQ(sample.has_value(), c.counter != 0);
        if (sample) {
            EXPECT_EQ(sample->value(SampleKey::InTraffic).typeId(), QMetaType::ULongLong);
            EXPECT_EQ(sample->value(SampleKey::InTraffic), c.counter);
        } else {
            EXPECT_EQ(lastText(), noCounters);
        }
    }

    // A router without "vlan1" is read at interface 6, and says so.
    reply(kWalk, QString("IF-MIB::ifDescr.1 = STRING: lo\n"));
    EXPECT_EQ(controller->SNMPInterfaceIndex(), 6u);
    AppDelegate::sources().router().reset();
    EXPECT_FALSE(controller->routerStats());
    EXPECT_EQ(lastText(), "The router has no traffic counters for interface 6; metering this "
                          "computer's interface.");
    runs();
    counters(6, "Counter32: 5\n", "Counter32: 6\n");
    const std::optional<TrafficSample> sixth = controller->routerStats();
    ASSERT_TRUE(sixth);
    EXPECT_EQ(runs(), walk() + sampleGet(6));
    EXPECT_EQ(sixth->value(SampleKey::InTraffic), quint64(5));
    EXPECT_EQ(sixth->value(SampleKey::SourceDescription), "SNMP: interface 6, 32-bit");
    // Also once the index is known.
    EXPECT_EQ(controller->routerStats()->value(SampleKey::MeteredInterface), "interface 6");
    EXPECT_EQ(runs(), sampleGet(6));
    // A router at the same address in another network (192.168.1.1 at home
    // and at the office, told apart by their hardware addresses; that their
    // counters are others' is LastReading's) is walked anew.
    useNetwork(kOffice);
    ASSERT_TRUE(controller->routerStats());
    EXPECT_EQ(runs(), walk() + sampleGet(6));
    // A walk that failed tells nothing of the router's interfaces: the
    // sample is given up without a get.
    reply(kWalk, kTimeout);
    AppDelegate::sources().router().reset();
    runs();
    EXPECT_FALSE(controller->routerStats());
    EXPECT_EQ(runs(), walk());
}

// A walk that timed out half-way printed the interfaces it reached: without
// vlan1 among them it would have the default index metered, and kept, for as
// long as the router runs. It is no walk: the status line tells the timeout
// and the next sample walks again. The complaints of the system's modules
// on every run are no failure.
TEST_F(RouterSource, WalkCutShortByATimeoutIsNoWalk) {
    counters(6, "Counter32: 555\n", "Counter32: 66\n");
    const QString whole = "IF-MIB::ifDescr.1 = STRING: lo\nIF-MIB::ifDescr.2 = STRING: eth0\n"
                          "IF-MIB::ifDescr.7 = STRING: vlan1\n";
    reply(kWalk, whole.section('\n', 0, 1) + '\n');
    replyOnError(kWalk, kTimeout.toUtf8());
    EXPECT_FALSE(controller->routerStats());
    EXPECT_EQ(runs(), walk());
    EXPECT_EQ(lastText(), kTimeout.trimmed());

    reply(kWalk, whole);
    replyOnError(kWalk, "Cannot find module (CISCO-SMI): At line 0 in (none)\n");
    const std::optional<TrafficSample> sample = controller->routerStats();
    ASSERT_TRUE(sample);
    EXPECT_EQ(runs(), walk() + sampleGet(7));
    EXPECT_EQ(sample->value(SampleKey::InterfaceIndex), 7u);
    EXPECT_EQ(sample->value(SampleKey::MeteredInterface), "vlan1");
    EXPECT_EQ(sample->value(SampleKey::InTraffic), quint64(123456789));
}

// A router that hands out a wrong value now and then (a rise its link
// cannot carry at the speed it reports, a counter lower for one reading)
// counts nothing for it, tells it once, and counts on from the last good
// reading.
TEST_F(RouterSource, GlitchesCountNothingAndAreToldOnce) {
    QDateTime now = QDateTime::currentDateTimeUtc();
    environment.setClock([&] { return now; });
    answer("IF-MIB::ifHighSpeed.7", "Gauge32: 100\n");
    const quint64 k2to40 = quint64(1) << 40, kMB = 1000000;
    // clang-format off
    const struct { quint64 in; quint64 totalIn; int toldSoFar; } steps[] = {
        {1000, 0, 0},                  // sets the time only
        {1500, 0, 0},                  // records
        {2000, 500, 0},
        {2000 + k2to40, 500, 1},       // faster than 100 Mbit/s: told
        {2000 + 2 * k2to40, 500, 1},   // still, told once
        {5000, 3500, 1},               // counts on from the last good reading
        {5000 + 50 * kMB, 3500, 2},    // 50 MB in 2 s: not at 100 Mbit/s
        {5500, 4000, 2},
        {4000, 4000, 3},               // lower for one reading
        {6000, 4500, 3},
    };
    // clang-format on
    int uptime = 1000;
    for (const auto &step : steps) {
        SCOPED_TRACE(step.in);
        uptime += 2;
        now = now.addSecs(2);
        upFor(uptime);
        answer(octets("HCIn", 7), "Counter64: " + QString::number(step.in) + '\n');
        answer(octets("HCOut", 7), "Counter64: 10\n");
        controller->processStatsDict(controller->routerStats());
        EXPECT_EQ(controller->totalInBytes(), step.totalIn);
        EXPECT_EQ(environment.logLinesContaining("received-bytes counter of the router").size(),
                  step.toldSoFar);
    }
    environment.setClock({});
}

// A chosen interface is found by its text (an index moves when the router
// restarts); one the router no longer has says so on the status line, and
// the ticks meter the computer's own interface meanwhile.
TEST_F(RouterSource, ChosenInterfaceIsFoundAgainOrMissedAndLocalSamplesStandIn) {
    UserDefaults::standardUserDefaults().setObject(
        "RouterInterface",
        QVariantMap{{kRouter, QVariantMap{{"object", "ifName"}, {"text", "pppoe-wan"}}}});
    const QString walkOfNames = "snmpwalk|-v|2c|" + kRouter + "|ifName\n";
    setNetstatCounters(5000, 6000);
    // clang-format off
    const struct { int uptime; QString names; std::optional<quint32> index; std::string runs; } steps[] = {
        {10, "IF-MIB::ifName.7 = STRING: vlan1\nIF-MIB::ifName.12 = STRING: pppoe-wan\n", 12,
         walkOfNames.toStdString() + sampleGet(12)},
        {12, {}, 12, sampleGet(12)},
        // restarted; the link came up as interface 15
        {3, "IF-MIB::ifName.12 = STRING: eth1\nIF-MIB::ifName.15 = STRING: pppoe-wan\n", 15,
         sampleGet(12) + walkOfNames.toStdString() + sampleGet(15)},
        {5, {}, 15, sampleGet(15)},
        // restarted; the link kept its index: no second get
        {3, {}, 15, sampleGet(15) + walkOfNames.toStdString()},
        // restarted without it
        {2, "IF-MIB::ifName.12 = STRING: eth1\nIF-MIB::ifName.15 = STRING: pppoe\n", std::nullopt,
         sampleGet(15) + walkOfNames.toStdString()},
        // No get answered the name: the probe goes out after the walk.
        {4, {}, std::nullopt, walkOfNames.toStdString() + get(kName)},
    };
    // clang-format on
    for (const auto &step : steps) {
        SCOPED_TRACE(step.uptime);
        upFor(step.uptime);
        if (!step.names.isEmpty())
            reply("ifName", step.names);
        for (const quint32 index : {12u, 15u})
            counters(index, QString("Counter32: %1\n").arg(index), "Counter32: 1\n");
        AppDelegate::clearRouterDecision();
        const std::optional<TrafficSample> sample = controller->tickSample();
        ASSERT_TRUE(sample);
        // The router answered: the sample's get is the tick's probe.
        EXPECT_EQ(runs(), step.runs + (step.index ? "" : "netstat|-f|inet|-bI|eth0\n"));
        if (step.index) {
            EXPECT_EQ(sample->value(SampleKey::InTraffic), quint64(*step.index)); // its counter
            EXPECT_EQ(lastText(), "No Error");
        } else {
            EXPECT_EQ(sourceOfSample(*sample), CounterSource::Local);
            EXPECT_EQ(sample->value(SampleKey::InTraffic), quint64(5000));
            EXPECT_EQ(lastText(), "The router has no interface \"pppoe-wan\" any more; metering "
                                  "this computer's interface.");
        }
    }
}

// Behind a router that answered, a tick is one get: the sample's get asks
// for the name as the probe does, and its answer is the tick's decision. A
// get that does not answer the name sends the probe after it; a router
// that fails the probe, in either way, leaves the tick to this computer's
// counters at once. Only where the sample goes to the probed router.
TEST_F(RouterSource, TickBehindAnAnsweringRouterIsOneGet) {
    setNetstatCounters(5000, 6000);
    const std::string netstat = "netstat|-f|inet|-bI|eth0\n";
    const QString typed = "127.0.0.78";
    const QStringList sampleObjects{kUptime, octets("In", 7), octets("Out", 7), kName};
    const auto answering = [&] {
        takeFile("snmpget");
        answerSamples();
    };
    // clang-format off
    const struct { const char *what; std::function<void()> router; std::string runs; char source; } ticks[] = {
        {"first", [] {}, walk() + sampleGet(7), 'R'},
        {"second", [] {}, sampleGet(7), 'R'},
        {"name not a string",
         [&] { reply(kName, QString("SNMPv2-MIB::sysName.0 = INTEGER: 5\n")); },
         sampleGet(7) + netstat, 'L'},
        {"answers again, probed at once",
         [&] { reply(kName, kNameReply); AppDelegate::rearmRouterProbe(); },
         get(kName) + sampleGet(7), 'R'},
        {"silent",
         [&] { for (const QString &object : sampleObjects) reply(object, QString()); },
         sampleGet(7) + get(kName) + netstat, 'L'},
        // The address field shows this computer's own address.
        {"silent, not probed in the rhythm", [] {},
         "arp|" + environment.hostName().toStdString() + '\n' + netstat, 'L'},
        // The get's answer as a whole is a complaint without the name,
        // which a get of the name alone answers: the router is there, its
        // sample given up.
        {"too big",
         [&] {
             AppDelegate::rearmRouterProbe();
             for (const QString &object : sampleObjects)
                 takeFile(QString(object).replace(':', '_'));
             reply(kUptime, QString("Error in packet.\nReason: (tooBig) Response too large\n"));
             reply("snmpget", kNameReply);
         },
         get(kName) + sampleGet(7), 0},
        {"too big, on trust", [] {}, sampleGet(7) + get(kName), 0},
        {"answering", answering, sampleGet(7), 'R'},
        // The sample goes elsewhere than the probe: each tick probes.
        {"typed address",
         [&] { UserDefaults::standardUserDefaults().setObject("AirportIP", typed); },
         get(kName) + "snmpwalk|-v|2c|" + typed.toStdString() + "|ifDescr\n" +
             sampleGet(7, typed), 'R'},
        {"typed address again", [] {}, get(kName) + sampleGet(7, typed), 'R'},
    };
    // clang-format on
    for (const auto &tick : ticks) {
        SCOPED_TRACE(tick.what);
        tick.router();
        AppDelegate::clearRouterDecision();
        // As the worker asks: the address field's first, then the sample.
        AppDelegate::routerIPAddress();
        const std::optional<TrafficSample> sample = controller->tickSample();
        EXPECT_EQ(runs(), tick.runs);
        ASSERT_EQ(sample.has_value(), tick.source != 0);
        if (sample) {
            EXPECT_EQ(sourceOfSample(*sample),
                      tick.source == 'R' ? CounterSource::Router : CounterSource::Local);
        }
        EXPECT_EQ(AppDelegate::probablyHasRouter(), tick.source != 'L');
    }
    EXPECT_EQ(lastText(), "No Error");
}

// The preferences' pop-up lists the router's interfaces with their totals,
// from the walks of their descriptions, names, aliases and counters of
// either width, Automatic first; a choice is kept for the router, by the description,
// or by the name where descriptions repeat.
TEST_F(RouterSource, InterfacePopUpListsTheRoutersInterfacesAndKeepsTheChoice) {
    reply(kWalk,
          QString("IF-MIB::ifDescr.1 = STRING: lo\nIF-MIB::ifDescr.2 = STRING: ethernet\n"
                  "IF-MIB::ifDescr.3 = STRING: ethernet\nIF-MIB::ifDescr.4 = STRING: eth0.2\n"));
    reply("ifName",
          QString("IF-MIB::ifName.1 = STRING: lo\nIF-MIB::ifName.2 = STRING: ether1\n"
                  "IF-MIB::ifName.3 = STRING: ether2\nIF-MIB::ifName.4 = STRING: eth0.2\n"));
    reply("ifAlias", QString("IF-MIB::ifAlias.2 = STRING: wan\n"));
    reply("ifHCInOctets", QString("IF-MIB::ifHCInOctets.2 = Counter64: 12884901888\n"));
    reply("ifHCOutOctets", QString("IF-MIB::ifHCOutOctets.2 = Counter64: 1073741824\n"));
    // Interface 2 has counters of both widths: the 64-bit ones show.
    reply("ifInOctets", QString("IF-MIB::ifInOctets.2 = Counter32: 4096\n"
                                "IF-MIB::ifInOctets.3 = Counter32: 2048\n"));
    reply("ifOutOctets", QString("IF-MIB::ifOutOctets.3 = Counter32: 1024\n"));
    auto *popUp = outlet<QComboBox>("routerInterfacePopUp");
    ASSERT_TRUE(popUp);
    const auto open = [&] {
        controller->windowDidBecomeKey(controller->prefsWindowWidget());
        controller->stopLogging(); // waits for the list
        QStringList items;
        for (int i = 0; i < popUp->count(); ++i)
            items.append(popUp->itemText(i));
        return items;
    };
    EXPECT_EQ(open(), (QStringList{"Automatic (vlan1, else interface 6)", "lo",
                                   "ethernet (ether1, wan) — in 12.00G, out 1.00G",
                                   "ethernet (ether2) — in 2.00K, out 1.00K", "eth0.2"}));
    EXPECT_EQ(popUp->currentIndex(), 0);
    const auto choose = [&](int item) {
        popUp->setCurrentIndex(item);
        emit popUp->activated(item);
        return UserDefaults::standardUserDefaults().objectForKey("RouterInterface").toMap();
    };
    EXPECT_EQ(choose(2),
              (QVariantMap{{kRouter, QVariantMap{{"object", "ifName"}, {"text", "ether1"}}}}));
    EXPECT_EQ(choose(4),
              (QVariantMap{{kRouter, QVariantMap{{"object", "ifDescr"}, {"text", "eth0.2"}}}}));
    EXPECT_EQ(open().size(), 5);
    EXPECT_EQ(popUp->currentIndex(), 4) << "the choice shows when the window opens again";
    // A choice the router does not have any more shows as such.
    reply(kWalk, QString("IF-MIB::ifDescr.1 = STRING: lo\n"));
    EXPECT_EQ(open(), (QStringList{"Automatic (vlan1, else interface 6)", "lo",
                                   "eth0.2 (not on the router)"}));
    EXPECT_EQ(popUp->currentIndex(), 2);
    EXPECT_EQ(choose(0), QVariantMap{}) << "Automatic keeps nothing";
    runs();
}

// The community reaches the tools in their configuration file, in step with
// the setting, and the tools read no other. (The file's modes and place, and
// that a file that went is written again, are SnmpCommunityFile's.)
//
// No tool runs without a community: the registration defaults hold one, so
// only a cleared field or a setting of another type leaves none, and one
// with a line end cannot be written (the file of the one before goes, so no
// query is made with it). Nor where no private folder for the community's
// file can be had (the session's is open to others, Flowtally's own cannot
// be made; which folder is private is SnmpCommunityFile's).
TEST_F(RouterSource, CommunityReachesTheToolsThroughAPrivateFileOnly) {
    const QString folder = environment.runtimeFolder() + "/snmp";
    configurations(); // the probe's in SetUp
    // clang-format off
    const struct { QString community, file; } cases[] = {
        {kCommunity, "defCommunity \"pub lic\"\n"},
        {"q\"uo\\te", "defCommunity \"q\\\"uo\\\\te\"\n"}, // changed: written anew
    };
    // clang-format on
    for (const auto &c : cases) {
        UserDefaults::standardUserDefaults().setObject("communityPassword", c.community);
        ASSERT_TRUE(AppDelegate::SNMPWorksWith(kRouter));
        EXPECT_EQ(configurations(), c.file) << "what the tool found in SNMPCONFPATH";
        EXPECT_EQ(runs(), get(kName));
        for (const QString &process : processes()) {
            EXPECT_FALSE(process.contains(c.community)) << process;
            EXPECT_TRUE(process.contains("|SNMPCONFPATH=" + folder + '|')) << process;
        }
    }
    for (const QVariant &setting : {QVariant("two\nlines"), QVariant(QString()), QVariant(42)}) {
        UserDefaults::standardUserDefaults().setObject("communityPassword", setting);
        EXPECT_FALSE(controller->routerStats());
        EXPECT_FALSE(AppDelegate::SNMPWorksWith(kRouter));
        EXPECT_FALSE(controller->SNMPWalk(kWalk));
        EXPECT_EQ(runs(), "");
        EXPECT_FALSE(QFile::exists(folder + "/snmp.conf"));
        EXPECT_EQ(lastText(), "SNMP Error: no community string is set.");
    }
    UserDefaults::standardUserDefaults().setObject("communityPassword", kCommunity);
    ASSERT_TRUE(makeFolder(environment.folder() + "/open", 0777));
    environment.setRuntimeFolder(environment.folder() + "/open");
    ASSERT_TRUE(makeFile(environment.folder() + "/file", "", 0600));
    environment.setOwnRuntimeFolder(environment.folder() + "/file/own");
    EXPECT_FALSE(AppDelegate::SNMPWorksWith(kRouter));
    EXPECT_EQ(runs(), "");
    EXPECT_EQ(lastText(), "SNMP Error: no private folder for the community file; see the log.");
}

} // namespace

} // namespace flowtally
