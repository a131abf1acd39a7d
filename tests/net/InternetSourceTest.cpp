// This computer's Internet traffic alone: flowtally-accountd's machine
// totals of the primary interface in place of the interface's counters, and
// the interface's own while the service does not answer. The service's
// counters of each cgroup travel with the samples of this computer's
// interface, and tell whose traffic it is by the names the desktops and
// systemd give their units.
#include "accountd/protocol/AccountdProtocol.h"
#include "net/AccountdService.h"
#include "net/CgroupApplication.h"
#include "platform/system/UserDefaults.h"
#include "tests/accountd/ServerHarness.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/controller/ControllerFixture.h"

namespace flowtally {

namespace {

const std::string kStart = "0123456789abcdef0123456789abcdef";

AccountdCounter counter(std::uint32_t ifindex, const std::string &interface,
                        AccountdDirection direction, AccountdPeer peer, std::uint64_t bytes,
                        const std::string &cgroup = {}) {
    return {cgroup, ifindex, interface, direction, peer, bytes / 100, bytes};
}

// flowtally-accountd's stand-in, at the environment's socket, answering
// with these counters.
std::unique_ptr<ServerHarness> serve(TestEnvironment &environment,
                                     const std::vector<AccountdCounter> &counters) {
    std::string answer = accountdHeaderLine(kStart, 1000, 0);
    for (const AccountdCounter &c : counters)
        answer += accountdCounterLine(c);
    answer += accountdEndLine(counters.size() + 1);
    auto service = std::make_unique<ServerHarness>(Server::Limits{},
                                                   [answer](std::uint32_t) { return answer; });
    EXPECT_EQ(service->error(), "");
    environment.setAccountdSocket(QString::fromStdString(service->path()));
    return service;
}

class InternetSource : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        // Only this computer is metered: no router is asked.
        UserDefaults::standardUserDefaults().setObject("RouterCounters", "local");
        setNetstatCounters(5'000'000'000, 6'000'000'000);
    }
    std::optional<TrafficSample> internetSample() {
        return controller->tickSample(CountedTraffic::Internet);
    }
};

TEST_F(InternetSource, CountsTheInterfacesInternetTrafficOfEveryProgram) {
    using enum AccountdDirection;
    using enum AccountdPeer;
    const std::string app = "user.slice/user-1000.slice/app-firefox-1.scope";
    // eth0 is interface 2. Its local traffic, another interface's Internet
    // traffic and the cgroups' own counters (already in the totals) are not
    // counted; eth0 under its old index is other counters.
    // clang-format off
    const auto service = serve(environment, {
        counter(2, "eth0", In, Internet, 700'000),
        counter(2, "eth0", Out, Internet, 300'000),
        counter(2, "eth0", In, Local, 9'000'000),
        counter(2, "eth0", Out, Local, 8'000'000),
        counter(3, "wlan0", In, Internet, 123'400),
        counter(7, "eth0", In, Internet, 55'500),
        counter(2, "eth0", In, Internet, 600'000, app),
    });
    // clang-format on

    const std::optional<TrafficSample> sample = internetSample();
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->value(SampleKey::InTraffic), quint64(700'000));
    EXPECT_EQ(sample->value(SampleKey::OutTraffic), quint64(300'000));
    EXPECT_EQ(sample->value(SampleKey::BootID), QString::fromStdString(kStart));
    EXPECT_EQ(sample->value(SampleKey::KernelIndex), 2u);
    EXPECT_EQ(sourceOfSample(*sample), CounterSource::LocalInternet);
    EXPECT_EQ(sample->value(SampleKey::PrimaryService), kService);
    EXPECT_EQ(newTexts().last(), "No Error");

    // All traffic, as before, while the record asks for it.
    const std::optional<TrafficSample> all = controller->tickSample();
    ASSERT_TRUE(all);
    EXPECT_EQ(sourceOfSample(*all), CounterSource::Local);
    EXPECT_EQ(all->value(SampleKey::InTraffic), quint64(5'000'000'000));

    // A listing that tells no kernel index: eth0's counters by their name,
    // under either index.
    reply("netstat", QString("Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll\n"
                             "eth0 1500 <Link> 02:00:00:00:00:01 10 0 5 20 0 6 0\n"));
    const std::optional<TrafficSample> byName = internetSample();
    ASSERT_TRUE(byName);
    EXPECT_EQ(byName->value(SampleKey::InTraffic), quint64(700'000 + 55'500));

    // A service that counted nothing of the interface yet: 0 is its reading.
    const auto fresh = serve(environment, {});
    const std::optional<TrafficSample> nothing = internetSample();
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing->value(SampleKey::InTraffic), quint64(0));
    EXPECT_EQ(nothing->value(SampleKey::OutTraffic), quint64(0));
    EXPECT_EQ(sourceOfSample(*nothing), CounterSource::LocalInternet);
}

TEST_F(InternetSource, WithoutTheServiceCountsAllTrafficAndSaysSo) {
    const QString fallback =
        "flowtally-accountd does not answer; counting all traffic on the interface.";
    const QString logged = "Counting all traffic on eth0, not only the Internet's: "
                           "flowtally-accountd is not running (";
    for (int tick = 0; tick < 2; ++tick) {
        const std::optional<TrafficSample> sample = internetSample();
        ASSERT_TRUE(sample);
        EXPECT_EQ(sourceOfSample(*sample), CounterSource::Local);
        EXPECT_EQ(sample->value(SampleKey::InTraffic), quint64(5'000'000'000));
        EXPECT_EQ(newTexts().last(), fallback);
    }
    // Told once while it lasts, and again after the service answered.
    ASSERT_EQ(environment.logLines().size(), 1);
    EXPECT_TRUE(environment.logLines()[0].startsWith(logged))
        << environment.logLines()[0].toStdString();
    const QString socket = environment.accountdSocket();
    {
        const auto service = serve(environment, {});
        ASSERT_TRUE(internetSample());
    }
    environment.setAccountdSocket(socket);
    ASSERT_TRUE(internetSample());
    EXPECT_EQ(environment.logLines().size(), 2);
}

// The kernel's link speed bounds what a reading may show, where it is a
// device's. A tunnel's is a nominal one (10 Mbit/s for tun and tap before
// Linux 6.2), not what it carries: a full-tunnel VPN moves more, and every
// byte of it counts.
TEST_F(InternetSource, OnlyADevicesLinkSpeedIsACeiling) {
    // An interface's folder as the kernel shows it: its files ("NAME=text")
    // and, for a device's, a "device" entry.
    const auto show = [&](const QString &interface, bool device, const QStringList &files) {
        const QString folder = environment.interfacesFolder() + '/' + interface + '/';
        ASSERT_TRUE(QDir().mkpath(device ? folder + "device" : folder));
        for (const QString &entry : files)
            ASSERT_TRUE(makeFile(folder + entry.section('=', 0, 0),
                                 entry.section('=', 1).toLatin1() + '\n', 0644));
    };
    // An Ethernet card: its speed goes with the sample.
    show("eth0", true, {"speed=1000", "type=1"});
    const std::optional<TrafficSample> wired = controller->tickSample();
    ASSERT_TRUE(wired);
    EXPECT_EQ(wired->value(SampleKey::LinkSpeed), quint64(1'000'000'000));

    useNetwork(FakeNetwork{"tun0"});
    controller->setPrimaryService(environment.currentService());
    controller->readDatFile();
    // A tunnel: a speed, the type "none", no device.
    show("tun0", false, {"speed=10", "type=65534", "tun_flags=0x1001"});
    QDateTime now = QDateTime::currentDateTimeUtc();
    environment.setClock([&] { return now; });
    // 40 MB in 4 s, 80 Mbit/s. The first sample sets the time, the second
    // the counters' base.
    for (quint64 tick = 0; tick < 6; ++tick) {
        now = now.addSecs(4);
        reply("netstat",
              QString("Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes Coll\n"
                      "tun0 1500 <Link#5> 02:00:00:00:00:05 10 0 %1 20 0 5000 0\n")
                  .arg(1'000'000 + tick * 40'000'000));
        controller->processStatsDict(controller->tickSample());
    }
    EXPECT_EQ(controller->totalInBytes(), 4u * 40'000'000);
    environment.setClock({});
}

// Where the service answers, and with no other samples.
TEST(ApplicationCounters, GoWithSamplesOfThisComputersInterfaceWhereTheServiceAnswers) {
    TestEnvironment environment;
    const auto service =
        serve(environment, {counter(2, "eth0", AccountdDirection::In, AccountdPeer::Local, 640,
                                    "system.slice/cups.service")});

    TrafficSample local{{SampleKey::PrimaryInterface, "eth0"}};
    addApplicationCounters(local);
    ASSERT_TRUE(local.value(SampleKey::ApplicationCounters).canConvert<AccountdCounters>());
    EXPECT_EQ(
        local.value(SampleKey::ApplicationCounters).value<AccountdCounters>().cgroups.at(0).bytes,
        640u);
    // A router's counters are not this computer's.
    TrafficSample router{{SampleKey::Router, "gateway"}};
    addApplicationCounters(router);
    EXPECT_FALSE(router.contains(SampleKey::ApplicationCounters));
    // No service: the sample is as it was.
    environment.setAccountdSocket(QString::fromStdString(service->path()) + ".gone");
    TrafficSample alone{{SampleKey::PrimaryInterface, "eth0"}};
    addApplicationCounters(alone);
    EXPECT_FALSE(alone.contains(SampleKey::ApplicationCounters));
}

// (A program started in a terminal, a system service, the session's own
// scope and the keys the meter counts them under: ApplicationGrowth's
// EachApplicationsBytesCountOnce.)
TEST(CgroupApplication, TheInnermostUnitThatNamesOneTellsTheApplication) {
    using enum CgroupApplication::Kind;
    const QString apps = "user.slice/user-1000.slice/user@1000.service/app.slice/";
    // clang-format off
    const struct { QString cgroup; CgroupApplication application; } cases[] = {
        {apps + "app-gnome-org.gnome.Nautilus-4242.scope", {Application, "org.gnome.Nautilus"}},
        {apps + "app-firefox-5a3e9b0c.scope", {Application, "firefox"}},
        {apps + "app-gnome-org.gnome.Evolution\\x2dalarm\\x2dnotify-2210.scope",
         {Application, "org.gnome.Evolution-alarm-notify"}},
        {apps + "app-org.kde.dolphin@0f1e2d3c.service", {Application, "org.kde.dolphin"}},
        {apps + "app-kde-org.kde.konsole.service", {Application, "org.kde.konsole"}},
        {"system.slice/system-getty.slice/getty@tty1.service", {SystemService, "getty@tty1.service"}},
        // Neither: the user's services, no unit at all.
        {"user.slice/user-1000.slice/user@1000.service/session.slice/pipewire.service", {}},
        {apps + "app-.scope", {}},
        {"system.slice", {}},
        {"", {}},
        {"init.scope", {}},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cgroup.toStdString());
        EXPECT_EQ(CgroupApplication::of(c.cgroup), c.application)
            << CgroupApplication::of(c.cgroup).key().toStdString();
    }
}

} // namespace

} // namespace flowtally
