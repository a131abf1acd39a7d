#include "TestEnvironment.h"

#include "DynamicStore.h"

#include <QDir>
#include <QFile>

#include <arpa/inet.h>

namespace flowtally {

namespace {

const QString kRouteTable = QStringLiteral("route");
const QString kNeighbourTable = QStringLiteral("arp");
const QString kBootId = QStringLiteral("boot_id");

// The column headers of the kernel's tables, as /proc/net prints them.
const QByteArray kRouteHeader =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
const QByteArray kNeighbourHeader =
    "IP address       HW type     Flags       HW address            Mask     Device\n";

// An address as the routing table prints it: its network-order bytes as one
// hexadecimal number of this machine's byte order.
QByteArray kernelHex(const QString &address) {
    in_addr parsed{};
    inet_pton(AF_INET, address.toLatin1().constData(), &parsed);
    return QByteArray::number(parsed.s_addr, 16).rightJustified(8, '0').toUpper();
}

} // namespace

TestEnvironment::TestEnvironment()
    : EnvironmentWrapper(Environment::current()),
      runtimeFolder_(folder_.filePath(QStringLiteral("runtime"))),
      ownRuntimeFolder_(folder_.filePath(QStringLiteral("own-runtime"))) {
    setNetwork(std::nullopt);
    setBootId(QStringLiteral("6d3c5b1e-0000-4000-8000-00000000b007"));
    scope_ = new ScopedEnvironment(*this);
}

TestEnvironment::~TestEnvironment() {
    delete scope_;
}

void TestEnvironment::writeFile(const QString &name, const QByteArray &text) {
    // Written whole and renamed into place, as readers on other threads may
    // look at any moment.
    QFile file(folder_.filePath(name + QStringLiteral(".new")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    file.close();
    QFile::remove(folder_.filePath(name));
    QFile::rename(file.fileName(), folder_.filePath(name));
}

void TestEnvironment::setToolPath(const QString &tool, const QString &path) {
    std::lock_guard lock(mutex_);
    if (path.isEmpty())
        tools_.remove(tool);
    else
        tools_.insert(tool, path);
}

void TestEnvironment::setToolTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(mutex_);
    toolTimeout_ = timeout;
}

void TestEnvironment::setNetwork(const std::optional<FakeNetwork> &network) {
    QByteArray routes = kRouteHeader;
    QByteArray neighbours = kNeighbourHeader;
    if (network) {
        routes += network->interface.toLatin1() + "\t00000000\t" + kernelHex(network->router) +
                  "\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
        const bool resolved = network->routerHardware.has_value();
        neighbours += network->router.toLatin1().leftJustified(17, ' ') + "0x1         " +
                      (resolved ? "0x2         " : "0x0         ") +
                      network->routerHardware.value_or("00:00:00:00:00:00").toLatin1() +
                      "     *        " + network->interface.toLatin1() + '\n';
    }
    writeFile(kRouteTable, routes);
    writeFile(kNeighbourTable, neighbours);
}

void TestEnvironment::setBootId(const QString &bootId) {
    writeFile(kBootId, bootId.toLatin1() + '\n');
}

void TestEnvironment::setHostName(const QString &name) {
    std::lock_guard lock(mutex_);
    hostName_ = name;
}

void TestEnvironment::setClock(std::function<QDateTime()> clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
}

std::optional<QString> TestEnvironment::currentService() const {
    const std::optional<QVariantMap> state = DynamicStore::copyValue(kGlobalIPv4StateKey);
    if (!state)
        return std::nullopt;
    return state->value(kSCDynamicStorePropNetPrimaryService).toString();
}

QStringList TestEnvironment::logLines() const {
    std::lock_guard lock(mutex_);
    return log_;
}

QStringList TestEnvironment::logLinesContaining(const QString &text) const {
    return logLines().filter(text);
}

void TestEnvironment::clearLog() {
    std::lock_guard lock(mutex_);
    log_.clear();
}

QString TestEnvironment::toolPath(const QString &tool) {
    {
        std::lock_guard lock(mutex_);
        const auto found = tools_.constFind(tool);
        if (found != tools_.constEnd())
            return *found;
    }
    return EnvironmentWrapper::toolPath(tool);
}

std::chrono::milliseconds TestEnvironment::toolTimeout() {
    {
        std::lock_guard lock(mutex_);
        if (toolTimeout_)
            return *toolTimeout_;
    }
    return EnvironmentWrapper::toolTimeout();
}

QString TestEnvironment::routeTablePath() {
    return folder_.filePath(kRouteTable);
}

QString TestEnvironment::neighbourTablePath() {
    return folder_.filePath(kNeighbourTable);
}

QString TestEnvironment::bootIdPath() {
    return folder_.filePath(kBootId);
}

void TestEnvironment::setUpnpAllowed(bool allowed) {
    std::lock_guard lock(mutex_);
    upnpAllowed_ = allowed;
}

bool TestEnvironment::mayAskRoutersOverUpnp() {
    std::lock_guard lock(mutex_);
    return upnpAllowed_;
}

QString TestEnvironment::interfacesFolder() {
    return folder_.filePath(QStringLiteral("interfaces"));
}

QString TestEnvironment::hostName() {
    {
        std::lock_guard lock(mutex_);
        if (hostName_)
            return *hostName_;
    }
    return EnvironmentWrapper::hostName();
}

void TestEnvironment::setTimeZone(const QTimeZone &zone) {
    std::lock_guard lock(mutex_);
    zone_ = zone;
}

void TestEnvironment::setSystemBus(const QDBusConnection &bus) {
    std::lock_guard lock(mutex_);
    systemBus_ = bus;
}

void TestEnvironment::setSessionBus(const QDBusConnection &bus) {
    std::lock_guard lock(mutex_);
    sessionBus_ = bus;
}

QDBusConnection TestEnvironment::systemBus() {
    std::lock_guard lock(mutex_);
    return systemBus_.value_or(QDBusConnection(QStringLiteral("flowtally-test-no-bus")));
}

QDBusConnection TestEnvironment::sessionBus() {
    std::lock_guard lock(mutex_);
    return sessionBus_.value_or(QDBusConnection(QStringLiteral("flowtally-test-no-bus")));
}

QTimeZone TestEnvironment::timeZone() {
    {
        std::lock_guard lock(mutex_);
        if (zone_)
            return *zone_;
    }
    return EnvironmentWrapper::timeZone();
}

QDateTime TestEnvironment::now() {
    std::function<QDateTime()> clock;
    {
        std::lock_guard lock(mutex_);
        clock = clock_;
    }
    return clock ? clock() : EnvironmentWrapper::now();
}

QString TestEnvironment::configFolder() {
    return folder_.filePath(QStringLiteral("config"));
}

QString TestEnvironment::dataFolder() {
    return folder_.filePath(QStringLiteral("data"));
}

void TestEnvironment::setRuntimeFolder(const QString &path) {
    std::lock_guard lock(mutex_);
    runtimeFolder_ = path;
}

void TestEnvironment::setOwnRuntimeFolder(const QString &path) {
    std::lock_guard lock(mutex_);
    ownRuntimeFolder_ = path;
}

QString TestEnvironment::runtimeFolder() {
    std::lock_guard lock(mutex_);
    return runtimeFolder_;
}

QString TestEnvironment::ownRuntimeFolder() {
    std::lock_guard lock(mutex_);
    return ownRuntimeFolder_;
}

void TestEnvironment::log(const QString &line) {
    std::lock_guard lock(mutex_);
    log_.append(line);
}

} // namespace flowtally
