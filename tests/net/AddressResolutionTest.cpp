// Address lookups against replies of the arp helper.
#include "ControllerFixture.h"

#include "ScriptFolder.h"
#include "ToolPaths.h"

#include <QFile>

namespace {

class AddressResolution : public ControllerFixture {
  protected:
    void TearDown() override {
        setToolPath(kArpTool, {});
        ControllerFixture::TearDown();
    }

    void arpAnswers(const QString &reply) {
        setToolPath(kArpTool, scripts.write(QStringLiteral("arp"),
                                            QStringLiteral("echo \"$@\" >> '%1'\nprintf '%2'\n")
                                                .arg(scripts.filePath(QStringLiteral("runs")),
                                                     QString(reply).replace('\n', "\\n"))));
    }

    bool toolRan() const { return QFile::exists(scripts.filePath(QStringLiteral("runs"))); }

    ScriptFolder scripts;
};

TEST_F(AddressResolution, EntryOfTheNeighbourTable) {
    arpAnswers(QStringLiteral("? (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n"));
    const std::optional<QVariantMap> info = AppDelegate::IPInfo(QStringLiteral("192.168.1.1"));
    ASSERT_TRUE(info);
    const QVariantMap expected{
        {QStringLiteral("IP"), QStringLiteral("192.168.1.1")},
        {QStringLiteral("MAC"), QStringLiteral("0:1a:2b:3c:4d:5e")},
        {QStringLiteral("PrimaryInterface"), QStringLiteral("eth0")},
        {QStringLiteral("INTERFACE_DESCRIPTION"), QStringLiteral("ethernet")}};
    EXPECT_EQ(*info, expected);
    EXPECT_EQ(AppDelegate::enetAddressFromIPAddress(QStringLiteral("192.168.1.1")),
              QStringLiteral("0:1a:2b:3c:4d:5e"));
}

TEST_F(AddressResolution, NamedHostsAndOddShapes) {
    arpAnswers(QStringLiteral("gw.lan (192.168.1.1) at 0:1a:2b:3c:4d:5e on eth0 [ethernet]\n"));
    EXPECT_FALSE(AppDelegate::IPInfo(QStringLiteral("192.168.1.1")));
    EXPECT_EQ(AppDelegate::enetAddressFromIPAddress(QStringLiteral("192.168.1.1")),
              QStringLiteral("0:1a:2b:3c:4d:5e"));

    arpAnswers(QStringLiteral("? (10.0.0.1) at 0:1:2:3:4:5 on eth0 permanent [ethernet]\n"));
    EXPECT_EQ(AppDelegate::IPInfo(QStringLiteral("10.0.0.1"))
                  ->value(QStringLiteral("INTERFACE_DESCRIPTION")),
              QStringLiteral("permanent"));

    arpAnswers(QStringLiteral("host (10.0.0.9) -- no entry\n"));
    EXPECT_FALSE(AppDelegate::IPInfo(QStringLiteral("10.0.0.9")));
    EXPECT_EQ(AppDelegate::enetAddressFromIPAddress(QStringLiteral("10.0.0.9")),
              QStringLiteral("no"));
}

TEST_F(AddressResolution, NoToolRunWithoutAUsableAddress) {
    arpAnswers(QStringLiteral("? (8.8.8.8) at 0:1:2:3:4:5 on eth0 [ethernet]\n"));
    EXPECT_FALSE(AppDelegate::IPInfo(QString()));
    EXPECT_FALSE(AppDelegate::enetAddressFromIPAddress(QString()));
    EXPECT_FALSE(AppDelegate::IPInfo(std::nullopt));
    EXPECT_FALSE(AppDelegate::IPInfo(QStringLiteral("8.8.8.8"))) << "not a local address";
    EXPECT_FALSE(toolRan());
}

} // namespace
