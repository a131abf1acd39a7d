#pragma once

#include <QDateTime>
#include <QString>

#include <mutex>
#include <optional>

namespace flowtally {

// When the router probe goes out. A router that answered is asked every
// tick. After a probe that failed the next waits 2 ticks, after two failed
// probes in a row 4, then 8 and so on, but never longer than a minute. A
// change of what the probe depends on (any text that changes with it: the
// network, the router's address, the typed address, the community) and a
// call to rearm() let the next tick probe at once and start the rhythm
// anew. Safe on any thread.
class ProbeRhythm {
  public:
    static constexpr qint64 kLongestWaitSeconds = 60;

    // Whether the tick at `now` probes, for these conditions; counts the tick.
    bool isDue(const QString &conditions, const QDateTime &now);
    // The outcome of the probe the tick at `now` made; whether it differs
    // from the last one under the same conditions (the first one does).
    bool probed(bool answered, const QDateTime &now);
    // The next tick probes.
    void rearm();

  private:
    mutable std::mutex mutex_;
    QString conditions_;
    bool armed_ = true;
    int failures_ = 0;
    qint64 ticksWaited_ = 0;
    QDateTime probedAt_;
    std::optional<bool> answered_;
};

} // namespace flowtally
