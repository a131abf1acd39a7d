#pragma once

#include "tests/support/NetworkScene.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace flowtally {

// A LAN whose router has an Internet side and a real UPnP IGD: the Lan of
// NetworkScene (host 10.77.N.2, router 10.77.N.1 on vlan1), a veth "wan0"
// from the router to a third namespace (router 10.78.N.1, the Internet's
// end 10.78.N.2), and miniupnpd in the router's namespace, serving the LAN
// side and counting wan0. All of it goes with the object, also when building
// failed half-way. Needs root, iproute2 and miniupnpd.
class IgdScene {
  public:
    static constexpr quint16 kHttpPort = 5000;
    static constexpr const char *kUuid = "5a1e0f7c-3b1d-4c2e-9f00-77f10a7a11ce";
    static constexpr const char *kName = "Flowtally test router";
    static constexpr const char *kModel = "Scene IGD";
    static constexpr quint64 kUpBits = 40000000, kDownBits = 250000000;

    IgdScene();
    ~IgdScene();
    IgdScene(const IgdScene &) = delete;
    IgdScene &operator=(const IgdScene &) = delete;

    static bool canPlay();

    // Starts miniupnpd and waits until it serves; what failed, or empty.
    QString startIgd();
    // Ends it (TERM, then KILL), waiting for the end.
    bool stopIgd();
    qint64 igdPid() const;
    // Its output so far.
    QByteArray igdLog() const;

    // Moves bytes over TCP between the Internet's end and the router:
    // `toRouter` arrive on wan0 (its received bytes), `fromRouter` leave it
    // (its sent bytes). What failed, or empty.
    QString push(quint64 toRouter, quint64 fromRouter) const;
    // The kernel's counters of wan0 in the router's namespace.
    InterfaceCounters wanCounters() const { return Lan::counters(lan.peer, "wan0"); }

    Lan lan;
    QString internet, wanRouter, wanInternet, error;

  private:
    QTemporaryDir folder_;
    std::unique_ptr<QProcess> igd_;
};

} // namespace flowtally
