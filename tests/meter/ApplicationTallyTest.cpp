// What each application moved, counted with the meter's bytes: never more
// than the interface counted, and nothing made up when the service is
// missing or restarted.
#include "AccountdService.h"
#include "Meter.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace flowtally {

namespace {

using enum AccountdDirection;
using enum AccountdPeer;
using Given = QMap<QString, TrafficTotals>;

const QString kHome = QStringLiteral("home");
const QDateTime kBase = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
const std::string kApps = "user.slice/user-1000.slice/user@1000.service/app.slice/";
const std::string kFirefox = kApps + "app-gnome-firefox-11.scope";
const std::string kTerminal = kApps + "app-org.gnome.Terminal.slice/vte-spawn-9.scope";

// The service's reading: each application's bytes received on eth0
// (interface 2) from the Internet.
struct Reading {
    std::string start;
    quint64 firefox = 0, terminal = 0;
};

// A sample of eth0 at `seconds` after the base time ('L' its own counters,
// 'I' the Internet's, 'R' a router's), with the service's reading if any.
TrafficSample sample(char source, quint64 in, double seconds,
                     const std::optional<Reading> &reading = std::nullopt) {
    TrafficSample sample{{SampleKey::InTraffic, in},
                         {SampleKey::OutTraffic, quint64(1000)},
                         {SampleKey::FireDate, kBase.addMSecs(qint64(seconds * 1000))},
                         {SampleKey::PrimaryService, kHome},
                         {SampleKey::KernelIndex, 2u}};
    if (source != 'R')
        sample.insert(SampleKey::PrimaryInterface, "eth0");
    if (source == 'I')
        sample.insert(SampleKey::CounterSourceName, "local-internet");
    if (reading) {
        AccountdCounters counters;
        counters.startId = reading->start;
        counters.cgroups = {{kFirefox, 2, "eth0", In, Internet, 1, reading->firefox},
                            {kTerminal, 2, "eth0", In, Internet, 1, reading->terminal}};
        sample.insert(SampleKey::ApplicationCounters, QVariant::fromValue(counters));
    }
    return sample;
}

TEST(ApplicationTally, ApplicationsGetWhatTheyMovedNeverMoreThanTheMeterCounted) {
    // clang-format off
    struct Step { TrafficSample sample; Given given; };
    const struct { const char *what; std::vector<Step> steps; } cases[] = {
        {"the service read ahead of the interface: what is beyond waits for the next sample", {
            {sample('L', 1000, 0, Reading{"s1", 0, 0}), {}},
            {sample('L', 1000, 2, Reading{"s1", 0, 0}), {}},
            {sample('L', 1100, 4, Reading{"s1", 90, 30}), {{"app:firefox", {75, 0}}, {"app:org.gnome.Terminal", {25, 0}}}},
            {sample('L', 1200, 6, Reading{"s1", 150, 40}), {{"app:firefox", {75, 0}}, {"app:org.gnome.Terminal", {15, 0}}}}}},
        {"without the service nothing is given; its next reading counts from its last", {
            {sample('I', 1000, 0, Reading{"s1", 5000, 0}), {}},
            {sample('I', 1000, 2, Reading{"s1", 5000, 0}), {}},
            {sample('I', 1500, 4), {}},
            {sample('I', 2000, 6, Reading{"s1", 5800, 0}), {{"app:firefox", {500, 0}}}},
            {sample('I', 2500, 8, Reading{"s1", 5800, 0}), {{"app:firefox", {300, 0}}}}}},
        {"after the service's restart its counters count from 0, not from the old values", {
            {sample('L', 1000, 0, Reading{"s1", 5000, 7000}), {}},
            {sample('L', 1000, 2, Reading{"s1", 5000, 7000}), {}},
            {sample('L', 9000, 4, Reading{"s2", 200, 100}), {{"app:firefox", {200, 0}}, {"app:org.gnome.Terminal", {100, 0}}}}}},
        {"a router's counters give the applications nothing", {
            {sample('R', 1000, 0, Reading{"s1", 0, 0}), {}},
            {sample('R', 1000, 2, Reading{"s1", 0, 0}), {}},
            {sample('R', 9000, 4, Reading{"s1", 500, 0}), {}}}},
    };
    // clang-format on
    for (const auto &c : cases) {
        Meter meter;
        meter.record().service = kHome;
        quint64 counted = 0, given = 0;
        for (const Step &step : c.steps) {
            const std::optional<Meter::Figures> figures =
                meter.take(step.sample, kHome, 250, kBase);
            const Given applications = figures ? figures->applications : Given();
            EXPECT_EQ(applications, step.given)
                << c.what << ", at "
                << step.sample.value(SampleKey::FireDate).toString().toStdString();
            counted += figures ? figures->growth.in : 0;
            for (const TrafficTotals &bytes : applications)
                given += bytes.in;
        }
        EXPECT_LE(given, counted) << c.what;
    }
}

TEST(ApplicationTally, BytesThatWaitStayWithTheirNetworkAndPeriod) {
    Meter meter;
    meter.record().service = kHome;
    meter.take(sample('L', 1000, 0, Reading{"s1", 0, 0}), kHome, 250, kBase);
    meter.take(sample('L', 1000, 2, Reading{"s1", 0, 0}), kHome, 250, kBase);
    // 900 bytes of Firefox's wait, beyond the 100 the interface counted.
    EXPECT_EQ(
        meter.take(sample('L', 1100, 4, Reading{"s1", 1000, 0}), kHome, 250, kBase)->applications,
        (Given{{"app:firefox", {100, 0}}}));
    // A new period begins (a reset): what waited belonged to the last one.
    meter.record().resetDate = kBase.addSecs(5);
    EXPECT_EQ(
        meter.take(sample('L', 2100, 6, Reading{"s1", 1000, 0}), kHome, 250, kBase.addSecs(6))
            ->applications,
        Given());
}

} // namespace

} // namespace flowtally
