#pragma once

#include "tests/support/IgdTexts.h"
#include "tests/support/ScriptedIgd.h"

#include <QUrl>

#include <map>
#include <mutex>

namespace flowtally {

// A router's UPnP side as a test scripts it, on a ScriptedIgd: a Fritz!Box
// (GetAddonInfos with its 64-bit counters, a PPP connection down and an IP
// connection up) unless told otherwise. Its description is at location().
class ScriptedRouter {
  public:
    using Answer = ScriptedIgd::Answer;

    ScriptedRouter()
        : igd_([this](const ScriptedIgd::Request &request) { return answer(request); }) {}

    QUrl location() const { return QUrl(igd_.origin() + "/igddesc.xml"); }

    struct State {
        quint64 sent = 0, received = 0, uptime = 3600, downBits = 254960000;
        bool avm = true, wide = true;
        // Answers instead of the router's own, by action (or "GET").
        std::map<QByteArray, Answer> scripted;
    };
    template <typename Change> void change(Change &&change) {
        std::lock_guard lock(mutex_);
        change(state_);
    }
    // How often an action (or "GET") was asked.
    int asked(const QByteArray &action) {
        std::lock_guard lock(mutex_);
        return asked_[action];
    }

  private:
    Answer answer(const ScriptedIgd::Request &request) {
        using namespace igd;
        std::lock_guard lock(mutex_);
        const QByteArray action = request.method == "GET" ? "GET" : request.soapAction;
        ++asked_[action];
        if (const auto found = state_.scripted.find(action); found != state_.scripted.end())
            return found->second;
        const auto ok = [](const QByteArray &body) {
            return Answer{ScriptedIgd::reply(200, body)};
        };
        if (action == "GET")
            return ok(description("/ctl/cmn", service(kPppConnection, "/ctl/ppp") +
                                                  service(kIpConnection, "/ctl/ip")));
        if (action == "GetStatusInfo")
            return ok(request.path == "/ctl/ppp"
                          ? statusInfo(state_.uptime, "Disconnected", kPppConnection)
                          : statusInfo(state_.uptime));
        if (action == "GetAddonInfos" && state_.avm)
            return ok(addonInfos(state_.sent, state_.received, state_.wide));
        if (action == "GetTotalBytesSent")
            return ok(soapAnswer(action, {{"NewTotalBytesSent", QByteArray::number(state_.sent)}}));
        if (action == "GetTotalBytesReceived")
            return ok(soapAnswer(action,
                                 {{"NewTotalBytesReceived", QByteArray::number(state_.received)}}));
        if (action == "GetCommonLinkProperties")
            return ok(soapAnswer(
                action, {{"NewWANAccessType", "DSL"},
                         {"NewLayer1UpstreamMaxBitRate", "46720000"},
                         {"NewLayer1DownstreamMaxBitRate", QByteArray::number(state_.downBits)},
                         {"NewPhysicalLinkStatus", "Up"}}));
        return Answer{ScriptedIgd::reply(500, soapFault(401, "Invalid Action"))};
    }

    std::mutex mutex_;
    State state_;
    std::map<QByteArray, int> asked_;
    ScriptedIgd igd_;
};

} // namespace flowtally
