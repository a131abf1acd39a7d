#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// What discovery reads of the network and the settings, without keeping
// anything: the network store's record of the primary interface, its
// entries, this computer's own address (which runs the arp tool) and the
// SNMP community. Safe on any thread.

std::optional<QVariantMap> primaryInterfacePlist();
std::optional<QString> primaryInterface();
std::optional<QString> primaryInterfaceRouterIP();
std::optional<QString> primaryServiceUUID();
std::optional<QString> primaryInterfaceIP();
std::optional<QString> communityPassword();

} // namespace flowtally
