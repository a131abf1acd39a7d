#include "net/UpnpSource.h"

#include "platform/system/DynamicStore.h"
#include "platform/system/Environment.h"
#include "platform/system/KernelTables.h"
#include "net/NetworkState.h"
#include "record/SettingsKeys.h"
#include "net/StatusTexts.h"
#include "platform/system/SystemLog.h"
#include "platform/system/UserDefaults.h"

#include <QFile>

#include <algorithm>

namespace flowtally {

namespace {

constexpr quint64 k2to32 = quint64(1) << 32;
// What counters stuck at a limit of their type show.
constexpr quint64 kStuckValues[] = {4294967295ull, 2147483647ull};
// What this computer's interface moves between two readings before a
// router's counters that did not move are taken to be stuck.
constexpr quint64 kFlowing = 64 * 1024;
// How near the top of 32 bits, and 0, a wrap goes.
constexpr quint64 kNearTheEdge = quint64(1) << 30;

// The bytes this computer's interface received and sent, by the kernel's
// counters; 0 where they cannot be read.
quint64 localBytes() {
    const std::optional<QString> interface = primaryInterface();
    if (!interface)
        return 0;
    quint64 bytes = 0;
    for (const char *counter : {"rx_bytes", "tx_bytes"}) {
        const std::string text = kernelTableText(
            QFile::encodeName(Environment::current().interfacesFolder() + QLatin1Char('/') +
                              *interface + QStringLiteral("/statistics/") + QLatin1String(counter))
                .toStdString());
        const std::size_t end = text.find_first_of("\n ");
        bytes += tableNumber<quint64>(std::string_view(text).substr(0, end), 10).value_or(0);
    }
    return bytes;
}

bool isStuckValue(quint64 value) {
    return std::find(std::begin(kStuckValues), std::end(kStuckValues), value) !=
           std::end(kStuckValues);
}

} // namespace

UpnpSource::UpnpSource(StatusSink status, Discover discover)
    : status_(std::move(status)), discover_(std::move(discover)) {
    if (!discover_)
        discover_ = [](const UpnpSearchOptions &options, QList<UpnpDevice> *devices) {
            return discoverUpnpDevices(options, devices);
        };
}

void UpnpSource::probed(bool answered, const QString &what) {
    if (rhythm_.probed(answered, Environment::current().now()))
        systemLog(answered ? what : QStringLiteral("No router answers UPnP: %1").arg(what));
}

std::optional<UpnpDevice> UpnpSource::deviceFor(const QString &conditions) {
    {
        std::lock_guard lock(mutex_);
        if (found_ && found_->conditions == conditions)
            return found_->device;
    }
    if (!rhythm_.isDue(conditions, Environment::current().now()))
        return std::nullopt;
    UpnpSearchOptions options;
    options.typedAddress = UserDefaults::standardUserDefaults()
                               .stringForKey(SettingsKey::AirportIP)
                               .value_or(QString());
    options.preferredAddress = primaryInterfaceRouterIP().value_or(QString());
    QList<UpnpDevice> devices;
    const Status status = discover_(options, &devices);
    if (!status.ok() || devices.isEmpty()) {
        probed(false, status.ok() ? QStringLiteral("no UPnP gateway answered") : status.message());
        std::lock_guard lock(mutex_);
        found_.reset();
        return std::nullopt;
    }
    // Whether it answers is told by the reading that follows.
    std::lock_guard lock(mutex_);
    found_ = Found{conditions, devices.first()};
    // What was seen of another device tells nothing of this one.
    if (udn_ != found_->device.udn) {
        udn_ = found_->device.udn;
        last_.reset();
        wrappedAt32_ = false;
    }
    return found_->device;
}

std::optional<QString> UpnpSource::faultOf(const UpnpReading &reading, quint64 local) {
    std::lock_guard lock(mutex_);
    const std::optional<Last> before = last_;
    Last now{reading.sent, reading.received, local, reading.uptime, std::nullopt};
    if (before) {
        const bool flowing = local >= before->localBytes && local - before->localBytes > kFlowing;
        // A fault lasts while the counters show it, whether this computer's
        // interface moves or not.
        const auto lasting = [&](const QString &fault) { return flowing || before->fault == fault; };
        const auto stuck = [](quint64 was, quint64 is) { return is == was && isStuckValue(is); };
        // Counters seen to wrap at 32 bits (from near the top to near 0
        // while the connection stayed up) cannot hold a larger value.
        const auto wrapped = [](quint64 was, quint64 is) {
            return was >= k2to32 - kNearTheEdge && was < k2to32 && is < kNearTheEdge;
        };
        if (reading.uptime >= before->uptime &&
            (wrapped(before->sent, reading.sent) || wrapped(before->received, reading.received)))
            wrappedAt32_ = true;
        if ((stuck(before->sent, reading.sent) || stuck(before->received, reading.received)) &&
            lasting(StatusText::UpnpStuck))
            now.fault = StatusText::UpnpStuck;
        else if (reading.sent == 0 && reading.received == 0 && lasting(StatusText::UpnpZero))
            now.fault = StatusText::UpnpZero;
        else if (wrappedAt32_ && (reading.sent >= k2to32 || reading.received >= k2to32))
            now.fault = StatusText::UpnpJump;
    }
    last_ = now;
    return now.fault;
}

SourceOutcome UpnpSource::read() {
    if (!Environment::current().mayAskRoutersOverUpnp())
        return {};
    const QString conditions = QStringList{primaryServiceUUID().value_or(QString()),
                                           UserDefaults::standardUserDefaults()
                                               .stringForKey(SettingsKey::AirportIP)
                                               .value_or(QString())}
                                   .join(QChar(0));
    std::optional<UpnpDevice> device = deviceFor(conditions);
    if (!device)
        return {};
    UpnpReading reading;
    const Status status = readUpnpCounters(*device, &reading);
    {
        std::lock_guard lock(mutex_);
        if (found_)
            found_->device = *device; // what the reading learnt of it
        if (!status.ok())
            found_.reset(); // looked for again in the rhythm
    }
    probed(status.ok(), status.ok() ? QStringLiteral("The router %1 (%2) answers UPnP.")
                                          .arg(device->name, device->address)
                                    : status.message());
    if (!status.ok())
        return {};
    // The status line tells a fault once this computer's sample is taken.
    if (const std::optional<QString> fault = faultOf(reading, localBytes()))
        return {std::nullopt, *fault};
    status_(StatusText::NoError);

    const QString name = reading.name.isEmpty() ? reading.model : reading.name;
    TrafficSample sample;
    sample.insert(SampleKey::CounterSourceName, QStringLiteral("upnp"));
    sample.insert(SampleKey::SourceDescription, QStringLiteral("UPnP: %1").arg(name));
    sample.insert(SampleKey::Router, name);
    sample.insert(SampleKey::InTraffic, reading.received);
    sample.insert(SampleKey::OutTraffic, reading.sent);
    sample.insert(SampleKey::Uptime, reading.uptime > 0 ? reading.uptime : 0.0);
    sample.insert(SampleKey::FireDate, Environment::current().now());
    // Which counters these are: the device, and which call gave them.
    sample.insert(SampleKey::RouterAddress, reading.udn);
    const QVariantMap network = primaryInterfacePlist().value_or(QVariantMap());
    if (network.value(kSCPropNetIPv4Router).toString() == device->address)
        sample.insert(SampleKey::RouterHardware, network.value(kRouterHardwareAddress));
    sample.insert(SampleKey::InterfaceIndex,
                  device->counterCall == UpnpDevice::CounterCall::AddonInfos ? 1u : 0u);
    sample.insert(SampleKey::CounterBits, reading.bits);
    if (const quint64 speed = std::max(reading.linkUpBitsPerSecond, reading.linkDownBitsPerSecond))
        sample.insert(SampleKey::LinkSpeed, speed);
    if (const std::optional<QString> service = primaryServiceUUID())
        sample.insert(SampleKey::PrimaryService, *service);
    return {sample};
}

QString UpnpSource::routerName() const {
    std::lock_guard lock(mutex_);
    if (!found_)
        return {};
    return found_->device.name.isEmpty() ? found_->device.model : found_->device.name;
}

void UpnpSource::reset() {
    std::lock_guard lock(mutex_);
    rhythm_.rearm();
    found_.reset();
    udn_.clear();
    last_.reset();
    wrappedAt32_ = false;
}

} // namespace flowtally
