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
}

TEST(ApplicationGrowth, AnotherInterfaceOrKindOfPeerOnlyRecords) {
    ApplicationGrowth growth;
    const AccountdCounters first =
        reading("s1", {counter(kFirefox, In, Internet, 5000), counter(kFirefox, In, Local, 9000),
                       counter(kFirefox, In, Internet, 7000, 3)});
    growth.count(first, {2, ""}, true);
    // The local network's counters were not counted so far: not new.
    EXPECT_TRUE(growth.count(first, {2, ""}, false).isEmpty());
    // Nor were another interface's.
    EXPECT_TRUE(growth.count(first, {3, ""}, false).isEmpty());
    EXPECT_TRUE(growth.count(first, {3, ""}, true).isEmpty());
    // The Internet's alone leaves the local network's out.
    const QMap<QString, Bytes> expected{{"app:firefox", {100, 0}}};
    EXPECT_EQ(growth.count(reading("s1", {counter(kFirefox, In, Internet, 5000),
                                          counter(kFirefox, In, Local, 9500),
                                          counter(kFirefox, In, Internet, 7100, 3)}),
                           {3, ""}, true),
              expected);
    // By its name where its index is not known (behind a router): another
    // way of telling the interface, so its first reading only records.
    const AccountdCounters named = reading(
        "s1", {counter(kFirefox, In, Internet, 7300, 3), counter(kFirefox, In, Local, 9900, 3)});
    EXPECT_TRUE(growth.count(named, {0, "wlan0"}, true).isEmpty());
    EXPECT_EQ(growth.count(reading("s1", {counter(kFirefox, In, Internet, 7400, 3),
                                          counter(kFirefox, In, Internet, 5500)}),
                           {0, "wlan0"}, true),
              expected);
}

} // namespace

} // namespace flowtally
