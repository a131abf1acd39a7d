// Alerts through the desktop's notification service, as the controller sends
// them from its samples: each crossing once, not again after a restart,
// again after a reset, and without a service in the status line (the log
// says so once), bytes of free hours not held against the limit; the offer
// to mark the connection metered, in the alert and the window, with
// NetworkManager on a bus of the test's own.
#include "tests/support/controller/ControllerFixture.h"

#include "platform/loop/MainLoop.h"
#include "tests/support/FakeNetworkManager.h"
#include "tests/support/FakeNotificationService.h"
#include "tests/support/LoopWaits.h"
#include "tests/support/PrivateBus.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace flowtally {

namespace {

class Alerts : public ControllerFixture {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning());
        // NetworkManager says the connection is not metered, and names no
        // primary connection: the network is the router's, as in every
        // controller test.
        ASSERT_TRUE(networkManager.registerOn(bus.connection("NetworkManager")));
        ASSERT_TRUE(networkManager.bus.registerService(kNetworkManagerService));
        environment.setSystemBus(bus.connection("flowtally system"));
        ControllerFixture::SetUp();
        ASSERT_TRUE(serviceBus.registerObject(kNotificationsPath, &service,
                                              QDBusConnection::ExportAllSlots |
                                                  QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(serviceBus.registerService(kNotificationsService));
        environment.setSessionBus(bus.connection("flowtally"));
        // 1000 bytes of limit, counting for 29 days already: on course to pass
        // the limit only once it is nearly reached.
        setLimit(1000, 1);
        controller->loadPersistentValuesFromDict(
            {{"resetDate", base.addDays(-29)}, {"prevInVal", quint64(0)}});
        counter = 10000;
        seconds = 0;
        sample(0); // the time only
        sample(0); // the counters only
    }

    // A sample `bytes` received after the one before it.
    void sample(quint64 bytes) {
        counter += bytes;
        seconds += 2;
        controller->processStatsDict(ControllerFixture::sample('L', counter, 5, seconds));
    }
    QString infoText() { return outlet<QLabel>("infoText")->text(); }
    // The summaries the service was shown, once the bus has carried them.
    QStringList shown(qsizetype expected) {
        runLoopUntil([&] { return service.received.size() >= expected; }, 5);
        runMainLoopFor(0.1);
        QStringList summaries;
        for (const Notification &notification : service.received)
            summaries.append(notification.summary);
        return summaries;
    }

    // Whether the window offers to mark the connection metered, once it shows
    // the connection as `state`.
    bool offered(const QString &state) {
        EXPECT_TRUE(runLoopUntil([&] { return outlet<QLineEdit>("meteredText")->text() == state; }))
            << "shown: " << outlet<QLineEdit>("meteredText")->text().toStdString();
        return outlet<QPushButton>("markMeteredPB")->isVisibleTo(windows().mainWindowWidget());
    }

    PrivateBus bus;
    FakeNetworkManagerObjects networkManager;
    QDBusConnection serviceBus = bus.connection("notifications");
    FakeNotificationService service;
    quint64 counter = 0;
    double seconds = 0;
};

TEST_F(Alerts, EachCrossingOnceNotAgainAfterARestartAgainAfterAReset) {
    // 400 bytes counted in free hours before: not held against the limit.
    controller->loadPersistentValuesFromDict(
        {{"totalInBytes", quint64(400)}, {"freeInBytes", quint64(400)}});
    sample(500);
    EXPECT_EQ(shown(0), QStringList()) << "half the limit";
    sample(350);
    ASSERT_EQ(shown(1), QStringList{"85% of your limit used"});
    EXPECT_TRUE(service.received.first().body.startsWith("This network: 0.83K of 0.98K used"))
        << service.received.first().body.toStdString();
    sample(200);
    sample(10);
    const QStringList both{"85% of your limit used", "Limit reached"};
    EXPECT_EQ(shown(2), both);

    // A restart reads what was told from the settings.
    controller = std::make_unique<AppDelegate>();
    controller->setPrimaryService(kService);
    controller->readDatFile();
    // The network is named once NetworkManager answered the new controller.
    ASSERT_TRUE(runLoopUntil([] { return AppDelegate::primaryServiceUUID() == kService; }));
    seconds += 10;
    sample(0);
    sample(0);
    sample(5);
    EXPECT_EQ(shown(2), both) << "told again after a restart";

    // After a reset, without a service: the status line tells each alert,
    // the log once.
    controller->doResetTotalsNow();
    setLimit(1000, 1); // a reset brings back the default unit
    ASSERT_TRUE(serviceBus.unregisterService(kNotificationsService));
    environment.clearLog();
    sample(0); // the new period begins
    sample(900);
    EXPECT_TRUE(runLoopUntil([&] { return infoText().contains("90% of your limit used"); }, 15))
        << "a reset did not re-arm the warning: " << infoText().toStdString();
    sample(200);
    EXPECT_TRUE(runLoopUntil([&] { return infoText().contains("Limit reached"); }, 15))
        << infoText().toStdString();
    EXPECT_EQ(environment.logLinesContaining("notification").size(), 1)
        << environment.logLines().join('\n').toStdString();
}

// Offered, in the alert and in the window, only while NetworkManager says
// the connection is not metered and the period heads past the limit; either
// offer taken reaches NetworkManager, its failure the status line.
TEST_F(Alerts, AnUnmeteredConnectionHeadingPastTheLimitIsOfferedToBeMarkedMetered) {
    service.capabilities = {"body", "actions"};
    EXPECT_FALSE(offered("no")) << "nothing used yet";
    sample(980); // 98 %, heading for 1014 bytes
    ASSERT_EQ(shown(2).size(), 2);
    EXPECT_EQ(service.received.last().actions,
              QStringList({"offer", "Mark this connection metered"}));
    EXPECT_TRUE(offered("no"));

    // No primary connection to mark.
    emit service.ActionInvoked(static_cast<uint>(service.received.size()), "offer");
    EXPECT_TRUE(runLoopUntil([&] {
        return infoText().contains("There is no primary connection to mark metered.");
    })) << infoText().toStdString();

    ASSERT_TRUE(networkManager.bus.unregisterService(kNetworkManagerService));
    EXPECT_FALSE(offered("unknown")) << "offered without NetworkManager";
    ASSERT_TRUE(networkManager.bus.registerService(kNetworkManagerService));
    EXPECT_TRUE(offered("no"));

    // The mark asks NetworkManager for its primary connection afresh.
    networkManager.manager.primary = kHomeConnectionPath;
    outlet<QPushButton>("markMeteredPB")->click();
    ASSERT_TRUE(runLoopUntil([&] { return networkManager.settings.updates == 1; }));
    EXPECT_EQ(networkManager.settings.settings["connection"]["metered"].toInt(), 1);
    networkManager.meteredBecomes(1);
    EXPECT_FALSE(offered("yes"));
}

} // namespace

} // namespace flowtally
