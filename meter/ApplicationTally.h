#pragma once

#include "history/TrafficTotals.h"
#include "meter/ApplicationGrowth.h"
#include "meter/LastReading.h"
#include "net/TrafficSample.h"

#include <QDateTime>
#include <QMap>
#include <QString>

namespace flowtally {

namespace SampleKey {
// With a router's sample and flowtally-accountd's counters, this computer's
// interface toward the router, by name.
inline const QString ComputerInterface = QStringLiteral("ComputerInterface");
} // namespace SampleKey

// What each application moved, counted with the meter's own bytes: a
// sample of this computer's interface (all its traffic, or the Internet's
// alone) that carries flowtally-accountd's counters gives each application
// its growth since the last such sample (ApplicationGrowth). A router's
// sample with them gives this computer's applications their Internet
// traffic on the interface toward the router (SampleKey::ComputerInterface):
// the router's counters hold that traffic beside the other devices', and
// never this computer's with the local network. The bytes the
// applications are given with one sample never exceed, in either direction,
// what the meter counted with it: the service's reading and the
// interface's are not taken at the same instant, so bytes beyond it wait
// for the next sample's. So an hour's, a day's or a cycle's bytes of all
// applications are never more than the network's. Bytes that wait are
// dropped when the network or its period changes; a sample without the
// service's counters (no service) gives nothing and
// nothing is made up for it: the next one counts from the service's last
// reading, or, after the service's restart, from its start.
class ApplicationTally {
  public:
    // The applications' share of `growth`, what the meter counted with
    // `sample` for the network `service` in the period that began at
    // `periodStart`, by application key; applications without bytes left
    // out. Bytes of another network (growth.network set) give nothing.
    QMap<QString, TrafficTotals> count(const TrafficSample &sample, const CounterGrowth &growth,
                                       const QString &service, const QDateTime &periodStart);

  private:
    ApplicationGrowth growth_;
    QString service_;
    QDateTime periodStart_;
    // Bytes the applications moved that no sample's growth covered yet.
    QMap<QString, TrafficTotals> waiting_;
};

} // namespace flowtally
