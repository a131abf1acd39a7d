// The local source against netstat output of many shapes.
#include "ControllerFixture.h"

namespace flowtally {

namespace {

const QString kHeader = "Name  Mtu   Network       Address            Ipkts Ierrs     Ibytes    "
                        "Opkts Oerrs     Obytes  Coll\n";

using LocalSource = ControllerFixture;

TEST_F(LocalSource, FieldsAndCountersOfManyShapes) {
    // clang-format off
    const struct { QString line; QString mac; quint64 in, out; } cases[] = { // the line after the header
        {"eth0\t1500  <Link#2>   02:42:ac:11:00:02   1234 0  5000000000 4321 0 6000000000 0\n",
         "02:42:ac:11:00:02", 5'000'000'000, 6'000'000'000},
        {"eth0 1500 <Link#2> aa 1 0 123abc 1 0 x9\n", "aa", 123, 0}, // exactly ten fields
        {"eth0 1500 <Link#2> aa 1 0 -1 1 0 +42\n", "aa", 0xFFFF'FFFF'FFFF'FFFFull, 42},
        {"eth0 1500 <Link#2> aa 1 0 99999999999999999999 1 0 4294967296\n", "aa", 0x7FFF'FFFF'FFFF'FFFFull, 4294967296},
        {"  eth0 1500 net addr 1 5 777 2 6 888 0\n", "net", 5, 6}, // leading white space shifts
    };
    // clang-format on
    for (const auto &c : cases) {
        reply("netstat", kHeader + c.line);
        const std::optional<TrafficSample> sample =
            AppDelegate::localStatsForPrimaryInterface("enp3s0");
        ASSERT_TRUE(sample) << c.line;
        EXPECT_EQ(runs(), "netstat|-f|inet|-bI|enp3s0\n");
        EXPECT_EQ(*sample, (TrafficSample{{SampleKey::PrimaryInterface, "enp3s0"}, // as asked
                                          {SampleKey::MAC, c.mac},
                                          {SampleKey::InTraffic, c.in},
                                          {SampleKey::OutTraffic, c.out},
                                          {SampleKey::PrimaryService, kService},
                                          {SampleKey::Router, sample->value(SampleKey::Router)},
                                          {SampleKey::FireDate, sample->value(SampleKey::FireDate)},
                                          {SampleKey::Uptime, sample->value(SampleKey::Uptime)}}));
        EXPECT_EQ(newTexts(), QStringList{"No Error"});
    }
}

TEST_F(LocalSource, UnreadableOutputGivesNoSampleAndSaysWhy) {
    const QString shortCount = "Short line-count in localStatsForPrimaryInterface:: \"";
    const QString format = "Result Format Error in localStatsForPrimaryInterface:: \"";
    // clang-format off
    const struct { QByteArray output; QString logLine; } cases[] = {
        {kHeader.trimmed().toUtf8(), shortCount + kHeader.trimmed() + '"'}, // no newline
        {"", shortCount + '"'},
        {"\xff\xfe\n\xff\n", shortCount + '"'},
        {kHeader.toUtf8(), format + '"'},
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

} // namespace

} // namespace flowtally
