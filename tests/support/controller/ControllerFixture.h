#pragma once

#include "app/AppDelegate.h"
#include "platform/system/DynamicStore.h"
#include "platform/widgets/FormattedField.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TextPrinting.h"
#include "net/TrafficSample.h"
#include "app/WindowController.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <memory>

namespace flowtally {

// A controller with its windows loaded offscreen in a test environment
// (TestEnvironment.h): settings in a temporary folder, the log captured, the
// kernel's tables showing the home network, and every tool a script that
// writes down its runs and prints a saved reply (nothing without one). No
// query leaves the machine: the router is on loopback.
class ControllerFixture : public ::testing::Test {
  protected:
    // Two networks behind the same interface and router address, told apart
    // by the router's hardware address.
    static inline const FakeNetwork kHome{};
    static inline const FakeNetwork kOffice{QStringLiteral("eth0"), QStringLiteral("127.0.0.77"),
                                            QStringLiteral("02:00:00:00:00:bb")};
    static inline const QString kService =
        DynamicStore::serviceIdentifier(kHome.interface, *kHome.routerHardware);
    static inline const QString kOtherService =
        DynamicStore::serviceIdentifier(kOffice.interface, *kOffice.routerHardware);

    void SetUp() override;
    void TearDown() override;

    // What a tool prints for an argument `key`: the replies of all its
    // arguments that have one, in their order (a get of several objects
    // answers each); a tool's name ("netstat", "arp", "snmpget", "snmpwalk")
    // as the key sets its reply when no argument has one.
    void reply(const QString &key, const QByteArray &text);
    void reply(const QString &key, const QString &text) { reply(key, text.toUtf8()); }
    // What the tool writes to its standard error for the key, beside its reply.
    void replyOnError(const QString &key, const QByteArray &text);
    // The runs since the last call, one line each: the tool's name and every
    // argument, each after a "|".
    std::string runs();
    // The same runs as the process table showed them: each one's command
    // line (/proc/PID/cmdline) and environment, each word after a "|".
    QStringList processes();
    // What the SNMP configuration files that the runs were given said.
    QString configurations();
    // The status texts shown since the last call.
    QStringList newTexts();
    // A sample of the local source ('L') or the router's ('R') at `seconds`
    // after the fixture's base time.
    TrafficSample sample(char source, quint64 in, quint64 out, double seconds, double uptime = 0,
                         const QString &service = kService) const;
    // netstat lists the interface eth0 with these byte counters.
    void setNetstatCounters(quint64 in, quint64 out);
    // Starts the work cycle and waits (20 s at most) until a sample has
    // read this incoming counter; whether one did.
    bool startMetering(quint64 in);
    // Sets the limit field and unit as a person would in the preferences.
    void setLimit(double number, quint64 scale);

    // The controller's windows.
    WindowController &windows() const { return controller->windowController(); }
    template <typename Widget = FormattedField> Widget *outlet(const char *name) const {
        for (QWidget *window : {windows().mainWindowWidget(), windows().prefsWindowWidget(),
                                windows().helpWindowWidget()}) {
            if (auto *found = window->findChild<Widget *>(QString::fromLatin1(name)))
                return found;
        }
        return nullptr;
    }

    // The network the kernel's tables show, or none.
    void useNetwork(const std::optional<FakeNetwork> &network) { environment.setNetwork(network); }

    // A file the tools write, read and removed.
    QByteArray takeFile(const QString &name);

    TestEnvironment environment;
    ScriptFolder tools;
    std::unique_ptr<AppDelegate> controller;
    QDateTime base = QDateTime::currentDateTimeUtc();
    QObject observer; // of the status texts
    QStringList shownTexts;
    qsizetype textsTaken = 0;
};

} // namespace flowtally
