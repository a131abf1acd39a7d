#pragma once

#include "ProbeRhythm.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

namespace flowtally {

// Discovery's state: the tick's router decision, when the router is probed
// and what the last probe found, this computer's own address as last asked.
// One object, made once for the process (the decision is the process's),
// with one reset. Safe on any thread; the decision is cleared by the main
// thread at each tick and made by that tick's worker.
class Discovery {
  public:
    // Whether the router at an address answers SNMP, and why not.
    struct Answer {
        bool answers = false;
        QString why;
    };
    using Probe = std::function<Answer(const QString &address)>;

    explicit Discovery(Probe probe) : probe_(std::move(probe)) {}

    // The router's address: the one typed into the address field, else the
    // default router's when the tick's decision says there is one, else
    // this computer's own (asked of arp once per network and at most once a
    // minute). The first address outside the local ranges is logged.
    std::optional<QString> routerIPAddress();
    // The tick's decision: whether samples come from the router. Made once
    // a tick, probing the default router in the probe's rhythm.
    bool probablyHasRouter();
    // A new tick decides anew.
    void clearRouterDecision() { checked_ = false; }
    // The next tick probes the router at once and asks for this computer's
    // address afresh: metering starts again.
    void rearmRouterProbe();
    // Everything as at the start of the process.
    void reset();

  private:
    struct OwnAddress {
        QString askedFor;
        QDateTime at;
        QString address;
    };
    std::optional<QString> ownAddressNow();

    Probe probe_;
    std::atomic<bool> checked_ = false;
    std::atomic<bool> decision_ = false;
    ProbeRhythm rhythm_;
    std::atomic<bool> answered_ = false;
    std::mutex ownAddressMutex_;
    std::optional<OwnAddress> ownAddress_;
    std::atomic<bool> toldNotLocal_ = false;
};

} // namespace flowtally
