#pragma once

#include "AppDelegate.h"
#include "DynamicStore.h"
#include "FormattedField.h"
#include "LogCapture.h"
#include "ScriptFolder.h"
#include "TrafficSample.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Failure messages show a text as text.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}
inline std::ostream &operator<<(std::ostream &out, const QString &text) {
    return out << text.toStdString();
}

namespace flowtally {

// A controller with its windows loaded offscreen, a network store that
// answers with a service of the test's choosing, the settings in a temporary
// folder, the log captured, and every tool a script that writes down its runs
// and prints a saved reply (nothing without one). No query leaves the
// machine: the router is on loopback.
class ControllerFixture : public ::testing::Test {
  protected:
    static inline const QString kService = "5F0C1E8A-0000-4000-8000-00000000A11C";
    static inline const QString kOtherService = "5F0C1E8A-0000-4000-8000-00000000B0B0";

    void SetUp() override;
    void TearDown() override;

    // What a tool prints when its last argument is `key`; a tool's name
    // ("netstat", "arp", "snmpget", "snmpwalk") as the key sets its reply to
    // any other argument.
    void reply(const QString &key, const QByteArray &text);
    void reply(const QString &key, const QString &text) { reply(key, text.toUtf8()); }
    // The runs since the last call, one line each: the tool's name and every
    // argument, each after a "|".
    std::string runs();
    // The status texts shown since the last call.
    QStringList newTexts();
    // A sample of the local source ('L') or the router's ('R') at `seconds`
    // after the fixture's base time.
    TrafficSample sample(char source, quint64 in, quint64 out, double seconds, double uptime = 0,
                         const QString &service = kService) const;
    // Sets the limit field and unit as a person would in the preferences.
    void setLimit(double number, quint64 scale);

    template <typename Widget = FormattedField> Widget *outlet(const char *name) const {
        for (QWidget *window : {controller->mainWindowWidget(), controller->prefsWindowWidget(),
                                controller->helpWindowWidget()}) {
            if (auto *found = window->findChild<Widget *>(QString::fromLatin1(name)))
                return found;
        }
        return nullptr;
    }

    LogCapture log;
    ScriptFolder tools;
    std::unique_ptr<AppDelegate> controller;
    QDateTime base = QDateTime::currentDateTimeUtc();
    // The network store's answer; no service means no network.
    std::optional<QString> currentService = kService;
    QString interface = "eth0", router = "127.0.0.77";
    QObject observer; // of the status texts
    QStringList shownTexts;
    qsizetype textsTaken = 0;
};

} // namespace flowtally
