#include "net/AddressResolution.h"

#include "platform/process/DirectToolRun.h"
#include "platform/system/Environment.h"
#include "WBLib/IsValidLocalIP.h"
#include "platform/system/ToolPaths.h"
#include "net/ToolReplies.h"

namespace flowtally {

namespace {

std::optional<QString> arpReply(const QString &address) {
    return directToolRun(Environment::current().toolPath(kArpTool), {address});
}

} // namespace

std::optional<QVariantMap> IPInfo(const std::optional<QString> &address) {
    if (!address || address->isEmpty() || !isValidLocalIP(*address))
        return std::nullopt;
    const std::optional<QString> reply = arpReply(*address);
    return reply ? addressRecordInArpReply(*reply) : std::nullopt;
}

std::optional<QString> enetAddressFromIPAddress(const std::optional<QString> &address) {
    if (!address || address->isEmpty())
        return std::nullopt;
    const std::optional<QString> reply = arpReply(*address);
    return reply ? hardwareAddressInArpReply(*reply) : std::nullopt;
}

} // namespace flowtally
