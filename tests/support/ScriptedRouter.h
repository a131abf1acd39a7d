#pragma once

#include "IgdTexts.h"
#include "ScriptedIgd.h"

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
        QByteArray connections = igd::service(igd::kPppConnection, "/ctl/ppp") +
                                 igd::service(igd::kIpConnection, "/ctl/ip");
        QByteArray pppStatus = "Disconnected", ipStatus = "Connected";
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
    Answer answer(const ScriptedIgd::Request &request);

    std::mutex mutex_;
    State state_;
    std::map<QByteArray, int> asked_;
    ScriptedIgd igd_;
};

} // namespace flowtally
