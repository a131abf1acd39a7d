#include "net/NetworkState.h"

#include "platform/process/DirectToolRun.h"
#include "platform/system/DynamicStore.h"
#include "platform/system/Environment.h"
#include "record/SettingsKeys.h"
#include "platform/system/ToolPaths.h"
#include "net/ToolReplies.h"
#include "platform/system/UserDefaults.h"

namespace flowtally {

namespace {

std::optional<QString> stateEntry(const QString &key) {
    const std::optional<QVariantMap> state = primaryInterfacePlist();
    if (!state)
        return std::nullopt;
    const QVariant value = state->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

} // namespace

std::optional<QVariantMap> primaryInterfacePlist() {
    return DynamicStore::copyValue(kGlobalIPv4StateKey);
}

std::optional<QString> primaryInterface() {
    return stateEntry(kSCDynamicStorePropNetPrimaryInterface);
}

std::optional<QString> primaryInterfaceRouterIP() {
    return stateEntry(kSCPropNetIPv4Router);
}

std::optional<QString> primaryServiceUUID() {
    return stateEntry(kSCDynamicStorePropNetPrimaryService);
}

std::optional<QString> primaryInterfaceIP() {
    Environment &environment = Environment::current();
    const std::optional<QString> reply =
        directToolRun(environment.toolPath(kArpTool), {environment.hostName()});
    return reply ? addressInArpReply(*reply) : std::nullopt;
}

std::optional<QString> communityPassword() {
    return UserDefaults::standardUserDefaults().stringForKey(SettingsKey::communityPassword);
}

} // namespace flowtally
