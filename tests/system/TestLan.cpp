#include "TestLan.h"

#include <atomic>

namespace {

std::atomic<int> lansMade{0};

} // namespace

TestLan::TestLan() : lan_(QStringLiteral("lan")), peer_(QStringLiteral("peer")) {
    const int subnet = 10 + lansMade.fetch_add(1) % 200;
    hostAddress_ = QStringLiteral("10.77.%1.2").arg(subnet);
    routerAddress_ = QStringLiteral("10.77.%1.1").arg(subnet);
    hostHardwareAddress_ = QStringLiteral("02:00:5e:77:%1:02").arg(subnet, 2, 16, QLatin1Char('0'));
    routerHardwareAddress_ =
        QStringLiteral("02:00:5e:77:%1:01").arg(subnet, 2, 16, QLatin1Char('0'));
    if (!lan_.failure().isEmpty())
        failure_ = lan_.failure();
    else if (!peer_.failure().isEmpty())
        failure_ = peer_.failure();
    else
        build();
}

bool TestLan::build() {
    const QString prefix = QStringLiteral("/24");
    const bool built =
        lan_.ip({"link", "add", kLanInterface, "address", hostHardwareAddress_, "type", "veth",
                 "peer", "name", kPeerInterface, "netns", peer_.name(), "address",
                 routerHardwareAddress_},
                &failure_) &&
        lan_.ip({"address", "add", hostAddress_ + prefix, "dev", kLanInterface}, &failure_) &&
        peer_.ip({"address", "add", routerAddress_ + prefix, "dev", kPeerInterface}, &failure_) &&
        lan_.ip({"neigh", "replace", routerAddress_, "lladdr", routerHardwareAddress_, "dev",
                 kLanInterface, "nud", "permanent"},
                &failure_) &&
        peer_.ip({"neigh", "replace", hostAddress_, "lladdr", hostHardwareAddress_, "dev",
                  kPeerInterface, "nud", "permanent"},
                 &failure_) &&
        lan_.ip({"link", "set", kLanInterface, "up"}, &failure_) &&
        peer_.ip({"link", "set", kPeerInterface, "up"}, &failure_) && addDefaultRoute(&failure_);
    return built;
}

bool TestLan::removeDefaultRoute(QString *error) const {
    return lan_.ip({"route", "del", "default"}, error);
}

bool TestLan::addDefaultRoute(QString *error) const {
    return lan_.ip({"route", "add", "default", "via", routerAddress_, "dev", kLanInterface}, error);
}

bool TestLan::replaceRouter(const QString &hardwareAddress, QString *error) const {
    return peer_.ip({"link", "set", kPeerInterface, "address", hardwareAddress}, error) &&
           lan_.ip({"neigh", "replace", routerAddress_, "lladdr", hardwareAddress, "dev",
                    kLanInterface, "nud", "permanent"},
                   error);
}
