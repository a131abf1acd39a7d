#pragma once

#include "meter/CounterStep.h"
#include "net/TrafficSample.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace flowtally {

// Which counters a reading came from. Two readings are subtracted from each
// other only when they come from the same counters.
struct CounterOrigin {
    CounterSource source = CounterSource::Unknown;
    // A local interface's name, or the router's address.
    QString device;
    // The interface's index: the kernel's for a local interface, the
    // router's own for a router's interface; 0 when unknown.
    quint32 index = 0;
    // The boot the local counters belong to; empty for a router.
    QString boot;
    // The counters' width in bits, 32 or 64; 0 where it was not recorded
    // (origins of older versions): a router's counters are then 32 bits
    // wide, a computer's 64.
    int bits = 0;
    // A router's hardware address; empty where it is not known (a router
    // that is not the default one, origins of older versions), which then
    // tells no router from another at the same address.
    QString hardware = {};

    // The counters' width, recorded or not.
    int width() const { return bits != 0 ? bits : source == CounterSource::Router ? 32 : 64; }
    // Counters of this computer's own: its interface's, or the Internet's
    // bytes of its interface as flowtally-accountd counts them, whose
    // "boot" is the service's start (they begin at 0 at every start).
    bool ofThisComputer() const {
        return source == CounterSource::Local || source == CounterSource::LocalInternet;
    }
    // The same counters: a router's 32-bit and 64-bit counters of one
    // interface are not. A local interface is known by its kernel index in
    // its boot, whatever it is called: a renamed interface keeps its
    // counters.
    bool operator==(const CounterOrigin &other) const;
    bool isKnown() const { return source != CounterSource::Unknown; }

    // Whether these counters are the ones of `earlier` made anew: the same
    // local interface after a reboot, or deleted and made again (another
    // kernel index), or counted by a service started anew. Such counters
    // began again at 0.
    bool isRebirthOf(const CounterOrigin &earlier) const;

    QVariantMap toMap() const;
    static CounterOrigin fromMap(const QVariantMap &map);
};

// The counters of one sample: a direction whose reading failed (a source
// gives 0 for it) has none.
struct CounterReading {
    CounterOrigin origin;
    std::optional<quint64> in, out;
    // The source's up-time, in seconds: a router's, or this computer's
    // since it started.
    double uptime = 0;
    // The speed of the counters' link in bits a second; 0 where the source
    // does not tell it.
    quint64 linkSpeed = 0;
    // When a router's interface counters were last reset or made anew
    // (IF-MIB's ifCounterDiscontinuityTime, in hundredths of a second of
    // its up-time), where it tells it.
    std::optional<qint64> discontinuity = {};

    // The most the counters may grow in a second: the link's speed, or
    // 10 Gbit/s where it is not known, with a margin for links that carry
    // more than they report (veth and loopback).
    double ceiling() const;
};

// The reading of a sample; a sample without both counters gives none.
std::optional<CounterReading> readingOfSample(const TrafficSample &sample);

// The bytes a step of accounting counts, and for whom.
struct CounterGrowth {
    quint64 in = 0, out = 0;
    // The network whose bytes they are, where it is not the one the reading
    // was metered for: the network that read the counters last, under the
    // interface's name before it was renamed.
    QString network;
    // What the reading showed that was not counted (a rise faster than the
    // link carries, a fall that is no wrap), one line each, for the log;
    // told once for a run of such readings.
    QStringList refused;
};

// The last reading that Flowtally metered: which counters, their values,
// and the network it was metered for. The growth of a counter is measured
// against it, whichever network's record is loaded, so that every byte the
// counters moved is counted once. When the same counters are metered for
// another network while Flowtally runs (a laptop that goes home, office,
// home on one interface), the new network counts on from where the last one
// left off: what moved since went to the network the link reaches now. An
// interface that was renamed is no new link, though its network is seen
// anew under the new name: the bytes it moved since the last reading
// belong to the network that read them last.
// Once other counters were metered (the router's, another interface's), a
// counter's earlier reading is no measure any more: what it moved since may
// have been counted by the others. What the counters moved while Flowtally
// did not meter them (not running, or stopped for the preferences) belongs
// to the network that metered them last, if it is the one metered now; else
// nobody can tell whose bytes they were, and they are counted for neither.
// Kept in the settings beside the records and written with them, so that
// both stay in step.
class LastReading {
  public:
    struct Entry {
        QString service;
        CounterOrigin origin;
        CounterTrack in, out;
        // When the latest reading was made.
        CounterMoment moment;
        // The router's discontinuity time at the latest reading.
        std::optional<qint64> discontinuity;
        // The metering session that read it; 0 for a reading of an earlier
        // session (loaded from the settings).
        int session = 0;

        // The counters last counted; none for a direction that has none.
        std::optional<quint64> inValue() const;
        std::optional<quint64> outValue() const;
    };

    // What a network's record says of its previous counters: their origin
    // (none known in records of older versions, which kept only the
    // source), the counters (0 for none) and a router's up-time then.
    struct Recorded {
        CounterOrigin origin;
        quint64 in = 0, out = 0;
        double uptime = 0;
    };

    // Metering begins (again): the reading held is of an earlier session.
    void beginSession() { ++session_; }

    // Counts a reading for a network, measured against the last reading if
    // it is of the same counters (for a reading of another network's from
    // an earlier session, the counters only record); against the network's
    // record where there is no last reading (settings of an older version).
    // Counters made anew since (the same local interface after a reboot, or
    // made again) began again at 0 and count whole; other counters only
    // record (so do a router's counters of another width). A router whose
    // up-time fell restarted, and one whose interface counters' discontinuity
    // time changed reset them: they began again at 0; a restart is
    // remembered for a counter whose reading failed. Growth the link could
    // not carry, and a fall that is no 32-bit wrap, count nothing until the
    // readings after bear them out (see stepCounter). Afterwards the reading
    // is the last one, metered for `service` at `at`.
    CounterGrowth count(const QString &service, const CounterReading &reading,
                        const Recorded &recorded, const QDateTime &at);

    // The last reading; none before the first.
    const std::optional<Entry> &entry() const { return last_; }

    // The reading as the settings keep it, and back.
    QVariantMap toMap() const;
    static LastReading fromMap(const QVariantMap &map);

  private:
    std::optional<Entry> last_;
    int session_ = 1;
};

} // namespace flowtally
