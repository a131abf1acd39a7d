#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// Address-resolution lookups through the arp tool: an IPv4 address's
// record ("IP", "MAC", "PrimaryInterface", "INTERFACE_DESCRIPTION") for an
// address in the local ranges, and its hardware address. Run a tool: never
// on the main thread.
std::optional<QVariantMap> IPInfo(const std::optional<QString> &address);
std::optional<QString> enetAddressFromIPAddress(const std::optional<QString> &address);

} // namespace flowtally
