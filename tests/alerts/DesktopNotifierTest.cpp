// The desktop notifier against a notification service that the test runs on
// a bus of its own: what each alert sends, the body escaped only for a
// service that reads markup, an offer as the one action of a service that
// shows actions and what comes back of it, and the ways of not being shown — no bus, an
// error, no answer; no service: Alerts.EachCrossingOnceNotAgainAfterARestartAgainAfterAReset
// — coming back for the status line with one log line per streak of
// failures. Every wait is bounded.
#include "alerts/DesktopNotifier.h"

#include "tests/support/FakeNotificationService.h"
#include "tests/support/LoopWaits.h"
#include "tests/support/PrivateBus.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TextPrinting.h"

#include <QDBusConnection>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// What a notifier reported.
struct Outcomes {
    explicit Outcomes(DesktopNotifier &notifier) {
        QObject::connect(&notifier, &DesktopNotifier::shown, [this] { ++shown; });
        QObject::connect(&notifier, &DesktopNotifier::notShown,
                         [this](const QString &line) { notShown.append(line); });
    }
    int shown = 0;
    QStringList notShown;
};

AlertText alert(const QString &headline, AlertText::Urgency urgency = AlertText::Urgency::Normal) {
    return {headline,
            QStringLiteral("Home: 200G of 250G used, 9 days left in this cycle."),
            urgency,
            {}};
}

// A bus with the fake service on it, and a notifier that finds it there.
class DesktopNotifierWithService : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(bus.isRunning());
        ASSERT_TRUE(serviceBus.registerObject(kNotificationsPath, &service,
                                              QDBusConnection::ExportAllSlots |
                                                  QDBusConnection::ExportAllSignals));
        ASSERT_TRUE(serviceBus.registerService(kNotificationsService));
        environment.setSessionBus(bus.connection(QStringLiteral("flowtally")));
    }

    // Sends and notes that send() returned before anything ran the loop.
    void send(const AlertText &text) {
        returned = false;
        notifier.send(text);
        returned = true;
    }

    PrivateBus bus;
    QDBusConnection serviceBus = bus.connection(QStringLiteral("service"));
    FakeNotificationService service;
    TestEnvironment environment;
    DesktopNotifier notifier;
    Outcomes outcomes{notifier};
    bool returned = false;
};

// The body is escaped only for a service that reads markup; an offer is an
// action only for a service that shows them. An offer taken comes back once,
// and only for a notification of the notifier's own with an offer: the
// service tells every program of every action taken.
TEST_F(DesktopNotifierWithService, EachAlertReachesTheServiceAndAnOfferTakenComesBackOnce) {
    service.sendReturned = &returned;
    int taken = 0;
    QObject::connect(&notifier, &DesktopNotifier::offerTaken, [&] { ++taken; });
    const QString body = QStringLiteral("Tom & Jerry <5G>: 251G of 250G used.");
    const QString offer = QStringLiteral("Mark this connection metered");
    const QStringList markup{QStringLiteral("body"), QStringLiteral("body-markup")};
    const QStringList actions{QStringLiteral("body"), QStringLiteral("actions")};
    // clang-format off
    // The service names the application: the summary is the headline as a sentence.
    const struct { AlertText text; const char *summary; uchar urgency; QStringList capabilities; QString body; QStringList actions; } cases[] = {
        {{QStringLiteral("80% of your limit used"), body, AlertText::Urgency::Normal, {}}, "80% of your limit used", 1,
         {QStringLiteral("body")}, body, {}},
        {{QStringLiteral("limit reached"), body, AlertText::Urgency::Critical, {}}, "Limit reached", 2, markup,
         QStringLiteral("Tom &amp; Jerry &lt;5G&gt;: 251G of 250G used."), {}},
        {{QStringLiteral("limit reached"), body, AlertText::Urgency::Critical, offer}, "Limit reached", 2, actions, body,
         {QStringLiteral("offer"), offer}},
        {{QStringLiteral("limit reached"), body, AlertText::Urgency::Critical, offer}, "Limit reached", 2,
         {QStringLiteral("body")}, body, {}},
    };
    // clang-format on
    int sent = 0;
    for (const auto &c : cases) {
        service.capabilities = c.capabilities;
        send(c.text);
        ++sent;
        ASSERT_TRUE(runLoopUntil([&] { return outcomes.shown == sent; }));
        ASSERT_EQ(service.received.size(), sent);
        const Notification &last = service.received.last();
        EXPECT_EQ(last.appName, QStringLiteral("Flowtally"));
        EXPECT_EQ(last.replacesId, 0u);
        EXPECT_EQ(last.icon, QStringLiteral("flowtally"));
        EXPECT_EQ(last.summary, QString::fromUtf8(c.summary));
        EXPECT_EQ(last.body, c.body);
        EXPECT_EQ(last.actions, c.actions);
        EXPECT_EQ(last.hints.value(QStringLiteral("urgency")).typeId(), QMetaType::UChar);
        EXPECT_EQ(last.hints.value(QStringLiteral("urgency")).value<uchar>(), c.urgency);
        EXPECT_EQ(last.hints.value(QStringLiteral("desktop-entry")).toString(),
                  QStringLiteral("flowtally"));
        EXPECT_EQ(last.timeout, -1);
        EXPECT_TRUE(last.afterSendReturned) << "send() waited for the service";
    }
    // The notifications above by their ids (the service counts from 1).
    // clang-format off
    const struct { uint id; const char *key; int taken; const char *what; } steps[] = {
        {1, "offer", 0, "a notification without an offer"},
        {4, "offer", 0, "an offer the service could not show"},
        {7, "offer", 0, "another program's notification"},
        {3, "default", 0, "a click on the notification itself"},
        {3, "offer", 1, "the offer"},
        {3, "offer", 1, "the same notification again"},
    };
    // clang-format on
    for (const auto &step : steps) {
        emit service.ActionInvoked(step.id, QString::fromLatin1(step.key));
        // The service's answer to an alert sent after it comes after it.
        send(alert(QStringLiteral("80% of your limit used")));
        ++sent;
        ASSERT_TRUE(runLoopUntil([&] { return outcomes.shown == sent; }));
        EXPECT_EQ(taken, step.taken) << step.what;
    }
    EXPECT_EQ(outcomes.notShown, QStringList());
    EXPECT_EQ(environment.logLines(), QStringList());
}

// Two alerts that are not shown: both come back for the status line, through
// the loop (send() returns first), and one log line says why; once an alert
// is shown again, the next failure is told again.
TEST_F(DesktopNotifierWithService, NoBusAnErrorOrNoAnswerSendsAlertsToTheStatusLine) {
    // clang-format off
    const struct { bool busRunning; FakeNotificationService::Answer answer; const char *why; } cases[] = {
        {true, FakeNotificationService::Answer::Error, "an error"},
        {true, FakeNotificationService::Answer::Nothing, "no answer"},
        {false, FakeNotificationService::Answer::Id, "no bus"},
    };
    // clang-format on
    const AlertText first = alert(QStringLiteral("80% of your limit used"));
    const AlertText second = alert(QStringLiteral("limit reached"), AlertText::Urgency::Critical);
    DesktopNotifier impatient(std::chrono::milliseconds(500));
    Outcomes reported(impatient);
    int shown = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        environment.clearLog();
        reported.notShown.clear();
        service.answer = c.answer;
        if (!c.busRunning)
            environment.setSessionBus(QDBusConnection(QStringLiteral("flowtally-test-no-bus")));
        impatient.send(first);
        impatient.send(second);
        EXPECT_EQ(reported.notShown, QStringList()) << "reported before send() returned";
        ASSERT_TRUE(runLoopUntil([&] { return reported.notShown.size() == 2; }));
        EXPECT_EQ(reported.notShown, QStringList({"80% of your limit used \u2014 " + first.body,
                                                  "Limit reached \u2014 " + second.body}));
        EXPECT_EQ(environment.logLinesContaining(QStringLiteral("No desktop notifications")).size(),
                  1);
        EXPECT_EQ(environment.logLines().size(), 1);
        EXPECT_EQ(reported.shown, shown);

        // Shown again: the streak of failures ends.
        ++shown;
        service.answer = FakeNotificationService::Answer::Id;
        environment.setSessionBus(bus.connection(QStringLiteral("flowtally")));
        impatient.send(first);
        ASSERT_TRUE(runLoopUntil([&] { return reported.shown == shown; }));
        EXPECT_EQ(reported.notShown.size(), 2);
    }
}

} // namespace

} // namespace flowtally
