// Discovery: the router address, the once-per-tick router decision and the
// change of network service, with the network store and tools faked.
#include "ControllerFixture.h"

#include "LogCapture.h"
#include "ScriptFolder.h"
#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QFile>

namespace {

const QString kNameReply = QStringLiteral("SNMPv2-MIB::sysName.0 = STRING: gateway\n");

class Discovery : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        routerAnswers(kNameReply);
        arpAnswers(QStringLiteral("myhost (192.168.7.20) -- no entry\n"));
        AppDelegate::clearRouterDecision();
    }

    void TearDown() override {
        UserDefaults::standardUserDefaults().removeObject(QStringLiteral("AirportIP"));
        setToolPath(kArpTool, {});
        ControllerFixture::TearDown();
    }

    // snmpget counts its runs in a file and prints the reply.
    void routerAnswers(const QString &reply) {
        setToolPath(kSnmpGetTool, scripts.write(QStringLiteral("snmpget"),
                                                QStringLiteral("echo run >> '%1'\nprintf '%2'\n")
                                                    .arg(scripts.filePath(QStringLiteral("runs")),
                                                         QString(reply).replace('\n', "\\n"))));
    }

    void arpAnswers(const QString &reply) {
        setToolPath(kArpTool,
                    scripts.write(
                        QStringLiteral("arp"),
                        QStringLiteral("printf '%1'\n").arg(QString(reply).replace('\n', "\\n"))));
    }

    int probes() {
        QFile runs(scripts.filePath(QStringLiteral("runs")));
        return runs.open(QIODevice::ReadOnly) ? int(runs.readAll().count('\n')) : 0;
    }

    void setNetwork(const QString &interface, const QString &router) {
        DynamicStore::setProvider([interface, router](const QString &) {
            return std::optional<QVariantMap>(
                QVariantMap{{kSCDynamicStorePropNetPrimaryInterface, interface},
                            {kSCPropNetIPv4Router, router},
                            {kSCDynamicStorePropNetPrimaryService, kService}});
        });
    }

    ScriptFolder scripts;
};

TEST_F(Discovery, RouterThatAnswersBehindAWiredInterfaceIsUsed) {
    setNetwork(QStringLiteral("enp3s0"), QStringLiteral("127.0.0.77"));
    EXPECT_EQ(AppDelegate::routerIPAddress(), QStringLiteral("127.0.0.77"));
    EXPECT_TRUE(AppDelegate::probablyHasRouter());
    EXPECT_EQ(probes(), 1) << "one probe a tick, however often the decision is asked for";

    AppDelegate::clearRouterDecision();
    EXPECT_TRUE(AppDelegate::probablyHasRouter());
    EXPECT_EQ(probes(), 2);
}

TEST_F(Discovery, DecisionIsNoUnlessInterfaceAddressAndAnswerAllFit) {
    struct Case {
        QString interface;
        QString router;
        QString reply;
    };
    const Case cases[] = {
        {QStringLiteral("tun0"), QStringLiteral("127.0.0.77"), kNameReply},
        {QStringLiteral("eth0"), QStringLiteral("8.8.8.8"), kNameReply},
        {QStringLiteral("wlan0"), QStringLiteral("127.0.0.77"),
         QStringLiteral("SNMPv2-MIB::sysName.0 = INTEGER: 5\n")},
        {QStringLiteral("eth0"), QStringLiteral("127.0.0.77"), QString()},
    };
    int expectedProbes = 0;
    for (const Case &c : cases) {
        setNetwork(c.interface, c.router);
        routerAnswers(c.reply);
        AppDelegate::clearRouterDecision();
        EXPECT_FALSE(AppDelegate::probablyHasRouter()) << c.interface.toStdString();
        EXPECT_EQ(probes(), ++expectedProbes) << "the probe goes out all the same";
    }
}

TEST_F(Discovery, WithoutARouterTheComputersOwnAddressIsShown) {
    setNetwork(QStringLiteral("tun0"), QStringLiteral("127.0.0.77"));
    EXPECT_EQ(AppDelegate::routerIPAddress(), QStringLiteral("192.168.7.20"));

    const QString replies[] = {QStringLiteral("myhost -- no entry\n"),
                               QStringLiteral("myhost (10.0.0.1) at (incomplete)\n"), QString()};
    for (const QString &reply : replies) {
        arpAnswers(reply);
        EXPECT_FALSE(AppDelegate::primaryInterfaceIP()) << reply.toStdString();
    }
}

TEST_F(Discovery, AddressSetByTheUserWinsAndAnInvalidOneIsLoggedOnce) {
    LogCapture log;
    setNetwork(QStringLiteral("eth0"), QStringLiteral("127.0.0.77"));
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("AirportIP"),
                                                   QStringLiteral("8.8.4.4"));
    EXPECT_EQ(AppDelegate::routerIPAddress(), QStringLiteral("8.8.4.4"));
    EXPECT_EQ(probes(), 0) << "the user's address needs no decision";
    EXPECT_EQ(AppDelegate::routerIPAddress(), QStringLiteral("8.8.4.4"));
    UserDefaults::standardUserDefaults().setObject(QStringLiteral("AirportIP"),
                                                   QStringLiteral("9.9.9.9"));
    EXPECT_EQ(AppDelegate::routerIPAddress(), QStringLiteral("9.9.9.9"));
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("8.8.4.4 is not a valid local IP address!")});
}

TEST_F(Discovery, ServiceChangedUnlessBothAreThereAndEqual) {
    controller->setPrimaryService(kService);
    EXPECT_FALSE(controller->serviceChanged());
    setCurrentService(kOtherService);
    EXPECT_TRUE(controller->serviceChanged());
    setCurrentService(std::nullopt);
    EXPECT_TRUE(controller->serviceChanged());
    controller->setPrimaryService(std::nullopt);
    EXPECT_TRUE(controller->serviceChanged());
}

} // namespace
