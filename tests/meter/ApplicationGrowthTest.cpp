// Each application's bytes between readings of flowtally-accountd's cgroup
// counters: counted once, across the service's restarts and the counters
// it gives up.
#include "meter/ApplicationGrowth.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

using enum AccountdDirection;
using enum AccountdPeer;
using Bytes = ApplicationGrowth::Bytes;

const std::string kApps = "user.slice/user-1000.slice/user@1000.service/app.slice/";
const std::string kFirefox = kApps + "app-gnome-firefox-11.scope";
const std::string kFirefoxToo = kApps + "app-gnome-firefox-12.scope";
const std::string kTerminal = kApps + "app-org.gnome.Terminal.slice/vte-spawn-9.scope";
const std::string kCups = "system.slice/cups.service";

AccountdCounter counter(const std::string &cgroup, AccountdDirection direction, AccountdPeer peer,
                        std::uint64_t bytes, std::uint32_t ifindex = 2) {
    return {cgroup, ifindex, ifindex == 2 ? "eth0" : "wlan0", direction, peer, 1, bytes};
}

AccountdCounters reading(const std::string &start, std::vector<AccountdCounter> cgroups) {
    AccountdCounters counters;
    counters.startId = start;
    counters.cgroups = std::move(cgroups);
    return counters;
}

TEST(ApplicationGrowth, EachApplicationsBytesCountOnce) {
    ApplicationGrowth growth;
    // The first reading only records.
    EXPECT_TRUE(growth
                    .count(reading("s1", {counter(kFirefox, In, Internet, 5000),
                                          counter(kFirefox, Out, Local, 700),
                                          counter(kCups, In, Internet, 100)}),
                           {2, ""}, false)
                    .isEmpty());
    // Two scopes of one application add up; a new cgroup counts whole;
    // another interface's counters are not this one's.
    QMap<QString, Bytes> expected{{"app:firefox", {1500 + 40, 50}},
                                  {"app:org.gnome.Terminal", {0, 900}}};
    EXPECT_EQ(growth.count(reading("s1", {counter(kFirefox, In, Internet, 6500),
                                          counter(kFirefox, Out, Local, 750),
                                          counter(kFirefoxToo, In, Internet, 40),
                                          counter(kTerminal, Out, Internet, 900),
                                          counter(kTerminal, Out, Internet, 8888, 3),
                                          counter(kCups, In, Internet, 100)}),
                           {2, ""}, false),
              expected);
    // A counter that fell was given up and began again at 0; one that is
    // gone counts nothing.
    expected = {{"app:firefox", {300, 0}}, {"service:cups.service", {20, 0}}};
    EXPECT_EQ(growth.count(reading("s1", {counter(kFirefox, In, Internet, 300),
                                          counter(kFirefox, Out, Local, 750),
                                          counter(kCups, In, Internet, 120)}),
                           {2, ""}, false),
              expected);
    // After the service's restart its counters count whole.
    expected = {{"app:firefox", {900, 0}}, {"other", {0, 5}}};
    EXPECT_EQ(growth.count(reading("s2", {counter(kFirefox, In, Internet, 900),
                                          counter("user.slice/user-1000.slice/session-2.scope", Out,
                                                  Internet, 5)}),
                           {2, ""}, false),
              expected);
    // Another interface, then the Internet's counters alone, only record: the
    // bytes they hold may have been counted already.
    EXPECT_TRUE(
        growth.count(reading("s2", {counter(kFirefox, In, Internet, 7000, 3)}), {3, ""}, false)
            .isEmpty());
    EXPECT_TRUE(
        growth.count(reading("s2", {counter(kFirefox, In, Internet, 7100, 3)}), {3, ""}, true)
            .isEmpty());
}

} // namespace

} // namespace flowtally
