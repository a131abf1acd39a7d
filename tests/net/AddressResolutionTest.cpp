// Address lookups: the arp helper is run for usable addresses only.
#include "ControllerFixture.h"

namespace flowtally {

namespace {

using AddressResolution = ControllerFixture;

TEST_F(AddressResolution, ToolRunOnlyForAUsableAddress) {
    reply("arp", QString("? (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n"));
    EXPECT_EQ(AppDelegate::IPInfo("192.168.1.1")->value("MAC"), "0:1a:2b:3c:4d:5e");
    EXPECT_EQ(AppDelegate::enetAddressFromIPAddress("8.8.8.8"), "0:1a:2b:3c:4d:5e")
        << "any address is looked up for its hardware";
    EXPECT_EQ(runs(), "arp|192.168.1.1\narp|8.8.8.8\n");
    EXPECT_FALSE(AppDelegate::IPInfo(QString()));
    EXPECT_FALSE(AppDelegate::enetAddressFromIPAddress(QString()));
    EXPECT_FALSE(AppDelegate::IPInfo(std::nullopt));
    EXPECT_FALSE(AppDelegate::IPInfo("8.8.8.8")) << "not a local address";
    EXPECT_EQ(runs(), "");
}

} // namespace

} // namespace flowtally
