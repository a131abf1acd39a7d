#pragma once

#include "net/ProbeRhythm.h"

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
    // a tick, probing the default router in the probe's rhythm. Behind a
    // router that answered the last probe, where the tick's router sample
    // goes to that router, the decision is made on trust and the probe is
    // owed: the sample's own get asks for the router's name too, and
    // answers it (settleOwedProbe).
    bool probablyHasRouter();
    // Whether the tick's decision was made on trust, its probe still owed.
    bool probeOwed() const { return owed_; }
    // Settles the owed probe with the answer that the tick's router sample
    // gave to the name query; without one (the get failed, or was not
    // sent) the probe goes out now. The tick's decision, as the probe gives
    // it. Nothing happens when no probe is owed.
    bool settleOwedProbe(const std::optional<Answer> &answer);
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
    // The outcome of the probe of the router at `router`, under these
    // conditions, at the tick at `now`.
    void probed(const QString &router, const QString &conditions, const Answer &answer,
                const QDateTime &now);

    Probe probe_;
    std::atomic<bool> checked_ = false;
    std::atomic<bool> decision_ = false;
    ProbeRhythm rhythm_;
    std::atomic<bool> answered_ = false;
    // Whether the tick's network allows a router at all (a local router
    // behind a wired or wireless interface), whatever it answers.
    std::atomic<bool> eligible_ = false;
    // What the probe depended on when the router last answered it (empty:
    // it did not, or the probe was rearmed since); the owed probe's router,
    // conditions and tick.
    mutable std::mutex trustMutex_;
    QString trusted_;
    QString owedRouter_, owedConditions_;
    QDateTime owedAt_;
    std::atomic<bool> owed_ = false;
    std::mutex ownAddressMutex_;
    std::optional<OwnAddress> ownAddress_;
    std::atomic<bool> toldNotLocal_ = false;
};

} // namespace flowtally
