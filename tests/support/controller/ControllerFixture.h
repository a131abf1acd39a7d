#pragma once

#include "AppDelegate.h"
#include "DynamicStore.h"
#include "FormattedField.h"
#include "TrafficSample.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A controller with its windows loaded offscreen, a network store that
// answers with a service of the test's choosing, and the settings in a
// temporary folder.
class ControllerFixture : public ::testing::Test {
  protected:
    static inline const QString kService = QStringLiteral("5F0C1E8A-0000-4000-8000-00000000A11C");
    static inline const QString kOtherService =
        QStringLiteral("5F0C1E8A-0000-4000-8000-00000000B0B0");

    void SetUp() override;
    void TearDown() override;

    // The network store's answer from now on; no service means no network.
    void setCurrentService(const std::optional<QString> &service);

    // A sample of the local source (or the router's) at `seconds` after the
    // fixture's base time.
    TrafficSample localSample(quint64 in, quint64 out, double seconds,
                              const QString &service = kService) const;
    TrafficSample routerSample(quint64 in, quint64 out, double seconds, double uptime,
                               const QString &service = kService) const;

    // Sets the limit field and unit as a person would in the preferences.
    void setLimit(double number, quint64 scale);

    template <typename Widget> Widget *outlet(const char *name) const {
        for (QWidget *window : {controller->mainWindowWidget(), controller->prefsWindowWidget(),
                                controller->helpWindowWidget()}) {
            if (auto *found = window->findChild<Widget *>(QString::fromLatin1(name)))
                return found;
        }
        return nullptr;
    }

    std::unique_ptr<AppDelegate> controller;
    QDateTime base = QDateTime::currentDateTimeUtc();
    std::optional<QString> currentService = kService;
};
