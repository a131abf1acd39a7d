// The local source: this computer's own primary interface, read with the
// netstat tool's byte-count layout.
#include "AppDelegate.h"

#include "CharacterSet.h"
#include "ComponentsSeparatedByCharactersFromSet.h"
#include "Environment.h"
#include "Numbers.h"
#include "SynchronousTaskWrapper.h"
#include "SystemLog.h"
#include "ToolPaths.h"
#include "Utf8Decoding.h"

#include <ctime>

namespace flowtally {

namespace {

const QString kNetstatErrorText = QStringLiteral("Netstat Error: see Console Log.");
const QString kOperationName = QStringLiteral("localStatsForPrimaryInterface:");

// Seconds since the computer started.
double secondsSinceBoot() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A counter column read as a signed 64-bit number and kept as its bits.
quint64 counterField(const QString &field) {
    return static_cast<quint64>(longLongValue(field));
}

} // namespace

std::optional<TrafficSample> AppDelegate::primaryInterfaceStats() {
    const std::optional<QString> interface = primaryInterface();
    if (!interface) {
        // Nothing to read: no tool run, no error in the log.
        doSetInfoText(QStringLiteral("No network connection."));
        return std::nullopt;
    }
    return localStatsForPrimaryInterface(*interface);
}

std::optional<TrafficSample> AppDelegate::localStatsForPrimaryInterface(const QString &name) {
    const QStringList arguments =
        QStringLiteral("-f inet -bI %1").arg(name).split(QLatin1Char(' '));
    const std::optional<QByteArray> output =
        SynchronousTaskWrapper::execute(Environment::current().toolPath(kNetstatTool), arguments);
    const QString text = output ? decodeUtf8(*output).value_or(QString()) : QString();

    const QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.size() < 2) {
        doSetInfoText(kNetstatErrorText);
        systemLog(QStringLiteral("Short line-count in %1: \"%2\"").arg(kOperationName, text));
        return std::nullopt;
    }

    const QStringList fields = componentsSeparatedByCharactersFromSet(
        lines.at(1), CharacterSet::whitespaceAndNewlineCharacterSet());
    if (fields.size() < 10) {
        doSetInfoText(kNetstatErrorText);
        systemLog(QStringLiteral("Result Format Error in %1: \"%2\"")
                      .arg(kOperationName, fields.join(QLatin1Char(' '))));
        return std::nullopt;
    }

    TrafficSample sample;
    sample.insert(SampleKey::PrimaryInterface, name);
    sample.insert(SampleKey::MAC, fields.at(3));
    sample.insert(SampleKey::Router, Environment::current().hostName());
    sample.insert(SampleKey::InTraffic, counterField(fields.at(6)));
    sample.insert(SampleKey::OutTraffic, counterField(fields.at(9)));
    sample.insert(SampleKey::Uptime, secondsSinceBoot());
    sample.insert(SampleKey::FireDate, Environment::current().now());
    // Without a service the sample can never be accepted; it still goes
    // through so the status line tells what happened.
    if (const std::optional<QString> service = primaryServiceUUID())
        sample.insert(SampleKey::PrimaryService, *service);

    doSetInfoText(QStringLiteral("No Error"));
    return sample;
}

} // namespace flowtally
