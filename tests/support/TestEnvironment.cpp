#include "tests/support/TestEnvironment.h"

#include "platform/system/DynamicStore.h"
#include "tests/support/PlantedFiles.h"

#include <QFile>

#include <arpa/inet.h>
#include <cstdio>

namespace flowtally {

namespace {

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
      ownRuntimeFolder_(folder_.filePath(QStringLiteral("own-runtime"))),
      accountdSocket_(folder_.filePath(QStringLiteral("accountd.sock"))) {
    setNetwork(std::nullopt);
    setBootId(QStringLiteral("6d3c5b1e-0000-4000-8000-00000000b007"));
    scope_.emplace(*this);
}

void TestEnvironment::writeFile(const QString &name, const QByteArray &text) {
    // Written whole and renamed over the old one, which the file's readers on
    // other threads find there until that moment.
    const QString path = folder_.filePath(name);
    makeFile(path + ".new", text, 0644);
    std::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData());
}

void TestEnvironment::setToolPath(const QString &tool, const QString &path) {
    // An empty path stands for none.
    std::lock_guard lock(mutex_);
    tools_.insert(tool, path);
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

std::optional<QString> TestEnvironment::currentService() const {
    if (const std::optional<QVariantMap> state = DynamicStore::copyValue(kGlobalIPv4StateKey))
        return state->value(kSCDynamicStorePropNetPrimaryService).toString();
    return std::nullopt;
}

QString TestEnvironment::toolPath(const QString &tool) {
    // Looked up under the lock: a copy of the table, read after the lock,
    // would race with a test that sets a tool meanwhile.
    QString path;
    {
        std::lock_guard lock(mutex_);
        path = tools_.value(tool);
    }
    return path.isEmpty() ? EnvironmentWrapper::toolPath(tool) : path;
}

QDateTime TestEnvironment::now() {
    const std::function<QDateTime()> clock = get(clock_);
    return clock ? clock() : EnvironmentWrapper::now();
}

void TestEnvironment::log(const QString &line) {
    std::lock_guard lock(mutex_);
    log_.append(line);
}

} // namespace flowtally
