#include "ScriptedRouter.h"

namespace flowtally {

using namespace igd;

ScriptedRouter::Answer ScriptedRouter::answer(const ScriptedIgd::Request &request) {
    std::lock_guard lock(mutex_);
    const QByteArray action = request.method == "GET" ? "GET" : request.soapAction;
    ++asked_[action];
    if (const auto found = state_.scripted.find(action); found != state_.scripted.end())
        return found->second;
    const auto ok = [](const QByteArray &body) { return Answer{ScriptedIgd::reply(200, body)}; };
    if (action == "GET")
        return ok(description("/ctl/cmn", state_.connections));
    if (action == "GetStatusInfo")
        return ok(request.path == "/ctl/ppp"
                      ? statusInfo(state_.uptime, state_.pppStatus, kPppConnection)
                      : statusInfo(state_.uptime, state_.ipStatus));
    if (action == "GetAddonInfos" && state_.avm)
        return ok(addonInfos(state_.sent, state_.received, state_.wide));
    if (action == "GetTotalBytesSent")
        return ok(soapAnswer(action, {{"NewTotalBytesSent", QByteArray::number(state_.sent)}}));
    if (action == "GetTotalBytesReceived")
        return ok(
            soapAnswer(action, {{"NewTotalBytesReceived", QByteArray::number(state_.received)}}));
    if (action == "GetCommonLinkProperties")
        return ok(soapAnswer(
            action, {{"NewWANAccessType", "DSL"},
                     {"NewLayer1UpstreamMaxBitRate", "46720000"},
                     {"NewLayer1DownstreamMaxBitRate", QByteArray::number(state_.downBits)},
                     {"NewPhysicalLinkStatus", "Up"}}));
    return Answer{ScriptedIgd::reply(500, soapFault(401, "Invalid Action"))};
}

} // namespace flowtally
