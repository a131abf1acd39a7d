// The service's counters travel with the samples of this computer's
// interface, where it answers, and with no other.
#include "AccountdService.h"
#include "ServerHarness.h"
#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(ApplicationCounters, GoWithSamplesOfThisComputersInterfaceWhereTheServiceAnswers) {
    TestEnvironment environment;
    const std::string answer =
        accountdHeaderLine("0123456789abcdef0123456789abcdef", 1000, 0) +
        accountdCounterLine({"system.slice/cups.service", 2, "eth0", AccountdDirection::In,
                             AccountdPeer::Local, 1, 640}) +
        accountdEndLine(2);
    ServerHarness service({}, [&answer](std::uint32_t) { return answer; });
    ASSERT_EQ(service.error(), "");
    environment.setAccountdSocket(QString::fromStdString(service.path()));

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
    environment.setAccountdSocket(QString::fromStdString(service.path()) + ".gone");
    TrafficSample alone{{SampleKey::PrimaryInterface, "eth0"}};
    addApplicationCounters(alone);
    EXPECT_FALSE(alone.contains(SampleKey::ApplicationCounters));
}

} // namespace

} // namespace flowtally
