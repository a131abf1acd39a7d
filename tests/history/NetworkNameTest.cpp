// A network's name as people know it: the first thing known of connection,
// router and interface, shown as one line of plain text whatever a router
// or a connection calls itself.
#include "NetworkName.h"

#include <gtest/gtest.h>

namespace flowtally {

namespace {

TEST(NetworkName, TheFirstKnownNameInOneLineOfPlainText) {
    const QString longName = QString(80, u'x');
    // clang-format off
    const struct { NetworkNaming naming; QString name; } cases[] = {
        {{"Home Wi-Fi", "gateway", "192.168.1.1", "wlan0"}, "Home Wi-Fi"},
        {{"", "gateway", "192.168.1.1", "eth0"}, "gateway (192.168.1.1)"},
        {{"  ", "gateway", "", "eth0"}, "gateway"},
        {{"", "UNAVAILABLE", "192.168.1.1", "eth0"}, "eth0"},     // the router kept its name
        {{"", "", "192.168.1.1", "eth0"}, "eth0"},
        {{"", "", "", ""}, ""},
        {{"Caf\u00e9\n\tGuest\x1b[31m", "", "", "eth0"}, "Caf\u00e9 Guest [31m"},
        {{"", "gw\r\nFAKE\u202e", "10.0.0.1", "eth0"}, "gw FAKE (10.0.0.1)"},
        {{longName, "", "", "eth0"}, QString(63, u'x') + u'…'},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(networkName(c.naming), c.name)
            << c.naming.connection.toStdString() << "|" << c.naming.routerName.toStdString();
}

} // namespace

} // namespace flowtally
