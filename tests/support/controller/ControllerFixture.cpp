#include "ControllerFixture.h"

#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QDir>

namespace {

// Every test of this executable keeps its settings in one temporary folder,
// set before the settings store is first used.
QString settingsFolder() {
    static const QTemporaryDir folder;
    return folder.path();
}

} // namespace

void ControllerFixture::SetUp() {
    qputenv("XDG_CONFIG_HOME", settingsFolder().toUtf8());
    // No query of these tests leaves the machine: the router is on loopback
    // and the SNMP tools answer nothing.
    setToolPath(kSnmpGetTool, QStringLiteral("/bin/true"));
    setToolPath(kSnmpWalkTool, QStringLiteral("/bin/true"));
    DynamicStore::setProvider([this](const QString &) -> std::optional<QVariantMap> {
        if (!currentService)
            return std::nullopt;
        return QVariantMap{{kSCDynamicStorePropNetPrimaryInterface, QStringLiteral("eth0")},
                           {kSCPropNetIPv4Router, QStringLiteral("127.0.0.77")},
                           {kSCDynamicStorePropNetPrimaryService, *currentService}};
    });
    controller = std::make_unique<AppDelegate>();
    controller->setPrimaryService(kService);
}

void ControllerFixture::TearDown() {
    controller.reset();
    DynamicStore::setProvider({});
    UserDefaults &defaults = UserDefaults::standardUserDefaults();
    for (const QString &service : {kService, kOtherService})
        defaults.removeObject(service);
}

void ControllerFixture::setCurrentService(const std::optional<QString> &service) {
    currentService = service;
}

TrafficSample ControllerFixture::localSample(quint64 in, quint64 out, double seconds,
                                             const QString &service) const {
    return TrafficSample{{SampleKey::PrimaryInterface, QStringLiteral("eth0")},
                         {SampleKey::MAC, QStringLiteral("02:00:00:00:00:01")},
                         {SampleKey::Router, QStringLiteral("myhost")},
                         {SampleKey::InTraffic, in},
                         {SampleKey::OutTraffic, out},
                         {SampleKey::Uptime, 0.0},
                         {SampleKey::FireDate, base.addMSecs(qint64(seconds * 1000))},
                         {SampleKey::PrimaryService, service}};
}

TrafficSample ControllerFixture::routerSample(quint64 in, quint64 out, double seconds,
                                              double uptime, const QString &service) const {
    return TrafficSample{{SampleKey::Router, QStringLiteral("gateway\n")},
                         {SampleKey::InTraffic, in},
                         {SampleKey::OutTraffic, out},
                         {SampleKey::Uptime, uptime},
                         {SampleKey::FireDate, base.addMSecs(qint64(seconds * 1000))},
                         {SampleKey::PrimaryService, service}};
}

void ControllerFixture::setLimit(double number, quint64 scale) {
    outlet<FormattedField>("displayLimitGB")->setDoubleValue(number);
    controller->loadPersistentValuesFromDict({{QStringLiteral("limitUnitsScale"), scale}});
}
