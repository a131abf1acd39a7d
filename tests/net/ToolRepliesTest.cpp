// The readers of the tools' replies, on saved outputs of every shape the
// tools print: netstat listings, snmpget and snmpwalk replies, arp answers;
// the local source's one netstat run per sample and what an unreadable
// listing leaves in the status line and the log; how a router interface
// chosen in the preferences is kept and found again.
#include "net/ToolReplies.h"

#include "net/InterfaceChoice.h"
#include "tests/support/controller/ControllerFixture.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

const QString kHeader = "Name  Mtu   Network       Address            Ipkts Ierrs     Ibytes    "
                        "Opkts Oerrs     Obytes  Coll\n";

// Rows of the usual shape; a header without a line end or an error in
// place of a row: LocalSource's UnreadableOutputGivesNoSampleAndSaysWhy.
TEST(NetstatListing, FieldsAndCountersOfManyShapes) {
    // clang-format off
    const struct { QString row; QString address; quint64 in, out; quint32 index; } cases[] = {
        // exactly ten fields; letters after the digits; a counter that is no number
        {"eth0 1500 <Link#17> aa 1 0 123abc 1 0 x9\n", "aa", 123, 0, 17},
        // a negative text reads as its two's complement; a sign is allowed
        {"eth0 1500 <Link#2> aa 1 0 -1 1 0 +42\n", "aa", 0xFFFF'FFFF'FFFF'FFFFull, 42, 2},
        // beyond the signed 64-bit range: its limit; 2^32 and above whole
        {"eth0 1500 <Link#2> aa 1 0 99999999999999999999 1 0 4294967296\n", "aa",
         0x7FFF'FFFF'FFFF'FFFFull, 4294967296, 2},
        // leading white space gives an empty first field: everything moves up
        {"  eth0 1500 net addr 1 5 777 2 6 888 0\n", "net", 5, 6, 0},
        {"eth0 1500 <Link#x> aa 1 0 1 1 0 2\n", "aa", 1, 2, 0},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.row.toStdString());
        const NetstatReading reading = readNetstatListing(kHeader + c.row);
        EXPECT_EQ(reading.outcome, NetstatReading::Outcome::Row);
        EXPECT_EQ(reading.row.address, c.address);
        EXPECT_EQ(reading.row.in, c.in);
        EXPECT_EQ(reading.row.out, c.out);
        EXPECT_EQ(reading.row.kernelIndex, c.index);
    }
}

using LocalSource = ControllerFixture;

TEST_F(LocalSource, SampleOfTheInterfaceAskedFor) {
    reply("netstat", kHeader + "eth0\t1500  <Link#2>   02:42:ac:11:00:02   1234 0  5000000000 "
                               "4321 0 6000000000 0\n");
    environment.setHostName("myhost");
    environment.setBootId("f00d-b007");
    const std::optional<TrafficSample> sample =
        AppDelegate::localStatsForPrimaryInterface("enp3s0");
    ASSERT_TRUE(sample);
    EXPECT_EQ(runs(), "netstat|-f|inet|-bI|enp3s0\n");
    EXPECT_EQ(*sample, (TrafficSample{{SampleKey::PrimaryInterface, "enp3s0"}, // as asked
                                      {SampleKey::SourceDescription, "This computer: enp3s0"},
                                      {SampleKey::MAC, "02:42:ac:11:00:02"},
                                      {SampleKey::InTraffic, quint64(5'000'000'000)},
                                      {SampleKey::OutTraffic, quint64(6'000'000'000)},
                                      {SampleKey::PrimaryService, kService},
                                      {SampleKey::Router, "myhost"},
                                      {SampleKey::FireDate, sample->value(SampleKey::FireDate)},
                                      {SampleKey::Uptime, sample->value(SampleKey::Uptime)},
                                      {SampleKey::KernelIndex, 2u},
                                      {SampleKey::BootID, "f00d-b007"}}));
    EXPECT_EQ(newTexts(), QStringList{"No Error"});
}

TEST_F(LocalSource, UnreadableOutputGivesNoSampleAndSaysWhy) {
    const QString shortCount = "Short line-count in localStatsForPrimaryInterface:: \"";
    const QString format = "Result Format Error in localStatsForPrimaryInterface:: \"";
    // clang-format off
    const struct { QByteArray output; QString logLine; } cases[] = {
        {kHeader.trimmed().toUtf8(), shortCount + kHeader.trimmed() + '"'}, // no newline
        {"\xff\xfe\n\xff\n", shortCount + '"'}, // not UTF-8: no text at all
        {kHeader.toUtf8(), format + '"'}, // the empty line has no fields
        {(kHeader + "foo:  no   such   interface\n").toUtf8(), format + "foo: no such interface\""},
    };
    // clang-format on
    for (const auto &c : cases) {
        reply("netstat", c.output);
        environment.clearLog();
        EXPECT_FALSE(AppDelegate::localStatsForPrimaryInterface("eth0"));
        EXPECT_EQ(environment.logLines(), QStringList{c.logLine});
        EXPECT_EQ(newTexts(), QStringList{"Netstat Error: see Console Log."});
    }
}

// A plain name, a name of another type, no data and a timeout: RouterSource's
// NameQueryGivesProbeNameAndStatus; an answer that is no name: Discovery's
// RouterDecisionNeedsAWiredNameALocalAddressAndAnAnswer.
TEST(SnmpReplies, AnswersNamesAndTheirShapes) {
    // clang-format off
    const struct { QString reply; bool answer; std::optional<QString> name; } cases[] = {
        {"SNMPv2-MIB::sysName.0 = STRING: home gateway\n", true, "gateway\n"}, // the last word
        // Quoted where the display convention is missing.
        {"SNMPv2-MIB::sysName.0 = STRING: \"gateway\"\n", true, "\"gateway\"\n"},
        {"SNMPv2-MIB::sysName.0 = STRING:", true, std::nullopt}, // three words
    };
    // clang-format on
    for (const auto &c : cases) {
        EXPECT_EQ(isSnmpAnswer(c.reply), c.answer) << c.reply.toStdString();
        EXPECT_EQ(nameInReply(c.reply), c.name) << c.reply.toStdString();
    }
}

// Ticks without parentheses (as any answer without them) and a zero
// up-time: RouterSource's NoSampleWithoutAnUpTime; 2.5 s in a sample: its
// SampleIsOneGetAfterTheWalkThatFoundTheInterface.
TEST(SnmpReplies, UpTimeIsTheTicksInParentheses) {
    // clang-format off
    const struct { std::optional<QString> reply; double seconds; } cases[] = {
        {"SNMPv2-MIB::sysUpTime.0 = Timeticks: ( 123456789) 14 days\n", 1234567.89},
        {"DISMAN-EVENT-MIB::sysUpTimeInstance = Timeticks: (1)\n", 0.01},
        {"SNMPv2-MIB::sysUpTime.0 = Timeticks: (250 0:00:02.50\n", -1},
        {"SNMPv2-MIB::sysUpTime.0 = Timeticks: (x) 0\n", 0},
        {std::nullopt, -1},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(uptimeInReply(c.reply), c.seconds)
            << c.reply.value_or("none").toStdString();
}

// (None named: RouterSource's InterfaceWithoutCountersGivesNoSampleAndSaysWhy.)
TEST(SnmpReplies, LastLineNamingTheDescriptionGivesTheIndex) {
    // clang-format off
    const struct { std::optional<QString> walk; quint32 index; } cases[] = {
        {"IF-MIB::ifDescr.5 = STRING: vlan1\nIF-MIB::ifDescr.6 = STRING: eth1\n"
         "IF-MIB::ifDescr.7 = STRING: vlan10\nIF-MIB::ifDescr.8 = STRING: br0\n", 7},
        {"IF-MIB::ifDescr.3 = STRING: vlan12\nIF-MIB::ifDescr.4 = STRING: vlan1\n", 4},
        {"IF-MIB::ifDescr.12 = STRING: vlan1\r\n", 12},
        {std::nullopt, 6},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(interfaceIndexInWalk(c.walk, "vlan1", 6), c.index)
            << c.walk.value_or("none").toStdString();
}

// A get of several objects answers each on a line of its own, or without the
// ones the agent would not give; each found by its whole name, as the tool
// prints it (.7 is not the .70 before it).
TEST(SnmpReplies, EachObjectsAnswerInAReplyOfSeveral) {
    const QStringList answers{"SNMPv2-MIB::sysUpTime.0 = Timeticks: (250) 0:00:02.50\n",
                              "IF-MIB::ifInOctets.70 = Counter32: 34\n",
                              "IF-MIB::ifInOctets.7 = Counter32: 12\n",
                              "SNMPv2-MIB::sysName.0 = STRING: gate way\n"};
    const QString reply = answers.join(QString());
    for (const QString &answer : answers)
        EXPECT_EQ(answerInReply(reply, answer.section(" = ", 0, 0)), answer);
    for (const char *object : {"IF-MIB::ifOutOctets.7", "ifInOctets.7", "IF-MIB::ifInOctets"})
        EXPECT_EQ(answerInReply(reply, object), std::nullopt) << object;
}

// A counter's answer read whole, of either width, or as the per-object
// operations read it: the low 32 bits of whatever number the fourth word
// holds (the widest 32-bit value, no such instance, a timeout and no reply
// through them: RouterSource's InterfaceWithoutCountersGivesNoSampleAndSaysWhy;
// a 64-bit 0 in a sample: its SampleIsOneGetAfterTheWalkThatFoundTheInterface).
TEST(SnmpReplies, CountersOfEitherWidthWholeOrTheirLow32Bits) {
    const QString object = "IF-MIB::ifHCInOctets.7 = ";
    // clang-format off
    const struct { std::optional<QString> answer; std::optional<CounterAnswer> whole; quint32 low; } cases[] = {
        {object + "Counter64: 4294967297\n", CounterAnswer{4294967297ull, 64}, 1}, // wider than 32 bits
        {object + "Counter64: 18446744073709551615\n", CounterAnswer{18446744073709551615ull, 64}, 4294967295u},
        {object + "Counter32: \t17\t\n", CounterAnswer{17, 32}, 17},
        {object + "Gauge32: 5\n", std::nullopt, 5},
        {object + "Counter64: -1\n", std::nullopt, 4294967295u},
        {object + "Counter64: 18446744073709551616\n", std::nullopt, 4294967295u}, // beyond 64 bits
        {object + "Counter64:", std::nullopt, 0},
        {std::nullopt, std::nullopt, 0},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer.value_or("none").toStdString());
        EXPECT_EQ(counterOfAnswer(c.answer), c.whole);
        EXPECT_EQ(counterInReply(c.answer), c.low);
    }
}

// Walks of the interface table's columns, as routers of today name their
// interfaces; each line by the interface's index.
TEST(SnmpReplies, WalksOfTextAndCounterColumns) {
    const QString names = "IF-MIB::ifName.1 = STRING: lo\n"
                          "IF-MIB::ifName.4 = STRING: eth0.2\n"
                          "IF-MIB::ifName.12 = STRING: pppoe-wan\r\n"
                          "IF-MIB::ifName.13 = STRING: \n" // no name
                          "IF-MIB::ifName.14 = STRING: WAN port 2\n"
                          "IF-MIB::ifName.15 = Hex-STRING: 00 01\n"
                          "IF-MIB::ifName = No more variables left in this MIB View\n"
                          "Timeout: No Response from 127.0.0.77.\n";
    const QMap<quint32, QString> texts{
        {1, "lo"}, {4, "eth0.2"}, {12, "pppoe-wan"}, {13, ""}, {14, "WAN port 2"}};
    EXPECT_EQ(textsInWalk(names), texts);
    EXPECT_EQ(textsInWalk(std::nullopt), (QMap<quint32, QString>{}));
    // Each interface is found by its whole text only.
    for (auto text = texts.cbegin(); text != texts.cend(); ++text)
        EXPECT_EQ(interfaceIndexNamed(names, *text), text.key()) << text->toStdString();
    for (const char *text : {"eth0", "wan"})
        EXPECT_EQ(interfaceIndexNamed(names, text), std::nullopt) << text;

    const QString counters = "IF-MIB::ifHCInOctets.1 = Counter64: 5000000000\n"
                             "IF-MIB::ifHCInOctets.4 = Counter64: 0\n"
                             "IF-MIB::ifInOctets.7 = Counter32: 12\n"
                             "IF-MIB::ifHCInOctets.9 = No Such Instance currently exists at this "
                             "OID\n";
    EXPECT_EQ(
        countersInWalk(counters),
        (QMap<quint32, CounterAnswer>{{1, {5000000000ull, 64}}, {4, {0, 64}}, {7, {12, 32}}}));
}

// The arp tool's answers: the record of a host that has no name, the
// hardware address (word 4, whatever it holds) and this computer's own
// address (the one parenthesised part).
TEST(ArpReplies, AddressRecordHardwareAddressAndOwnAddress) {
    const QString entry = "? (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n";
    EXPECT_EQ(addressRecordInArpReply(entry), (QVariantMap{{"IP", "192.168.1.1"},
                                                           {"MAC", "0:1a:2b:3c:4d:5e"},
                                                           {"PrimaryInterface", "eth0"},
                                                           {"INTERFACE_DESCRIPTION", "ethernet"}}));
    // clang-format off
    const struct { QString reply; std::optional<QString> description, hardware, address; } cases[] = {
        // An extra word before the bracketed type takes its place.
        {"? (10.0.0.1) at 0:1:2:3:4:5 on eth0 permanent [ethernet]\n", "permanent", "0:1:2:3:4:5", "10.0.0.1"},
        // A host with a name is no record.
        {"gw.lan (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n", {}, "0:1a:2b:3c:4d:5e", "192.168.1.1"},
        {"myhost (192.168.7.20) -- no entry\n", {}, "no", "192.168.7.20"},
        {"myhost (10.0.0.2) at (10.0.0.3)\n", {}, "(10.0.0.3)\n", {}}, // two parts
        {"a b c", {}, {}, {}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply.toStdString());
        const std::optional<QVariantMap> record = addressRecordInArpReply(c.reply);
        EXPECT_EQ(record ? std::optional(record->value("INTERFACE_DESCRIPTION").toString())
                         : std::nullopt,
                  c.description);
        EXPECT_EQ(hardwareAddressInArpReply(c.reply), c.hardware);
        EXPECT_EQ(addressInArpReply(c.reply), c.address);
    }
}

// Each interface's choice finds that interface and no other: by the
// description while it is the router's only one of that description, by
// the name where descriptions repeat (and by the description still where
// the router gives no name). How a choice is kept in the settings and read
// back: RouterSource's InterfacePopUpListsTheRoutersInterfacesAndKeepsTheChoice.
TEST(InterfaceChoice, EachChoiceFindsItsInterfaceAlone) {
    const QList<RouterInterface> all{
        {1, "lo", "lo", {}, {}, {}},           {2, "ethernet", "ether1", "wan", {}, {}},
        {3, "ethernet", "ether2", {}, {}, {}}, {4, "eth0.2", {}, {}, {}, {}},
        {5, "bridge", {}, {}, {}, {}},         {6, "bridge", {}, {}, {}, {}}};
    const InterfaceChoice expected[] = {{"ifDescr", "lo"},     {"ifName", "ether1"},
                                        {"ifName", "ether2"},  {"ifDescr", "eth0.2"},
                                        {"ifDescr", "bridge"}, {"ifDescr", "bridge"}};
    for (qsizetype i = 0; i < all.size(); ++i) {
        SCOPED_TRACE(all[i].index);
        const InterfaceChoice choice = choiceOf(all[i], all);
        EXPECT_EQ(choice, expected[i]);
        for (const RouterInterface &other : all) {
            if (other.description != "bridge") {
                EXPECT_EQ(isChosen(other, choice), other.index == all[i].index) << other.index;
            }
        }
    }
    EXPECT_FALSE(isChosen(all[1], {"ifName", "ethernet"}))
        << "the name column, not the description";
    EXPECT_FALSE(InterfaceChoice::fromMap({{"object", "ifAlias"}, {"text", "wan"}}));
    EXPECT_FALSE(InterfaceChoice::fromMap({{"object", "ifName"}, {"text", ""}}));
}

} // namespace

} // namespace flowtally
