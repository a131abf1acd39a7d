// Address lookups against replies of the arp helper.
#include "ControllerFixture.h"

namespace flowtally {

namespace {

using AddressResolution = ControllerFixture;

TEST_F(AddressResolution, EntriesOfTheNeighbourTable) {
    reply("arp", QString("? (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n"));
    EXPECT_EQ(AppDelegate::IPInfo("192.168.1.1"),
              (QVariantMap{{"IP", "192.168.1.1"},
                           {"MAC", "0:1a:2b:3c:4d:5e"},
                           {"PrimaryInterface", "eth0"},
                           {"INTERFACE_DESCRIPTION", "ethernet"}}));
    EXPECT_EQ(runs(), "arp|192.168.1.1\n");
    // A named host is no record, but its hardware address is read.
    reply("arp", QString("gw.lan (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n"));
    EXPECT_FALSE(AppDelegate::IPInfo("192.168.1.1"));
    EXPECT_EQ(AppDelegate::enetAddressFromIPAddress("192.168.1.1"), "0:1a:2b:3c:4d:5e");
    reply("arp", QString("? (10.0.0.1) at 0:1:2:3:4:5 on eth0 permanent [ethernet]\n"));
    EXPECT_EQ(AppDelegate::IPInfo("10.0.0.1")->value("INTERFACE_DESCRIPTION"), "permanent");
}

TEST_F(AddressResolution, NoToolRunWithoutAUsableAddress) {
    reply("arp", QString("? (8.8.8.8) at 0:1:2:3:4:5 on eth0 [ethernet]\n"));
    EXPECT_FALSE(AppDelegate::IPInfo(QString()));
    EXPECT_FALSE(AppDelegate::enetAddressFromIPAddress(QString()));
    EXPECT_FALSE(AppDelegate::IPInfo(std::nullopt));
    EXPECT_FALSE(AppDelegate::IPInfo("8.8.8.8")) << "not a local address";
    EXPECT_EQ(runs(), "");
}

} // namespace

} // namespace flowtally
