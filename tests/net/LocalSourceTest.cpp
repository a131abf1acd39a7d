// The local source: one netstat run per sample, what the sample holds, and
// what an unreadable listing leaves in the status line and the log.
#include "ControllerFixture.h"

namespace flowtally {

namespace {

const QString kHeader = "Name  Mtu   Network       Address            Ipkts Ierrs     Ibytes    "
                        "Opkts Oerrs     Obytes  Coll\n";

using LocalSource = ControllerFixture;

TEST_F(LocalSource, SampleOfTheInterfaceAskedFor) {
    reply("netstat", kHeader + "eth0 1500 <Link#2> 02:42:ac:11:00:02 1234 0 5000000000 4321 0 "
                               "6000000000 0\n");
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
