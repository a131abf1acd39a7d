// This computer's Internet traffic alone: flowtally-accountd's machine
// totals of the primary interface in place of the interface's counters, and
// the interface's own while the service does not answer.
#include "AccountdProtocol.h"
#include "ControllerFixture.h"
#include "ServerHarness.h"
#include "UserDefaults.h"

namespace flowtally {

namespace {

const std::string kStart = "0123456789abcdef0123456789abcdef";

AccountdCounter counter(std::uint32_t ifindex, const std::string &interface,
                        AccountdDirection direction, AccountdPeer peer, std::uint64_t bytes,
                        const std::string &cgroup = {}) {
    return {cgroup, ifindex, interface, direction, peer, bytes / 100, bytes};
}

std::string answerOf(const std::vector<AccountdCounter> &counters) {
    std::string text = accountdHeaderLine(kStart, 1000, 0);
    for (const AccountdCounter &c : counters)
        text += accountdCounterLine(c);
    return text + accountdEndLine(counters.size() + 1);
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
    const std::string answer = answerOf({
        counter(2, "eth0", In, Internet, 700'000),
        counter(2, "eth0", Out, Internet, 300'000),
        counter(2, "eth0", In, Local, 9'000'000),
        counter(2, "eth0", Out, Local, 8'000'000),
        counter(3, "wlan0", In, Internet, 123'400),
        counter(7, "eth0", In, Internet, 55'500),
        counter(2, "eth0", In, Internet, 600'000, app),
    });
    ServerHarness service({}, [&answer](std::uint32_t) { return answer; });
    ASSERT_EQ(service.error(), "");
    environment.setAccountdSocket(QString::fromStdString(service.path()));

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

    // A service that counted nothing of the interface yet: 0 is its reading.
    const std::string empty = answerOf({});
    ServerHarness fresh({}, [&empty](std::uint32_t) { return empty; });
    environment.setAccountdSocket(QString::fromStdString(fresh.path()));
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
    {
        const std::string answer = answerOf({});
        ServerHarness service({}, [&answer](std::uint32_t) { return answer; });
        const QString socket = environment.accountdSocket();
        environment.setAccountdSocket(QString::fromStdString(service.path()));
        ASSERT_TRUE(internetSample());
        environment.setAccountdSocket(socket);
    }
    ASSERT_TRUE(internetSample());
    EXPECT_EQ(environment.logLines().size(), 2);
}

} // namespace

} // namespace flowtally
