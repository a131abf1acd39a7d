#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>

class QTimer;

namespace flowtally {

// The QTimer interval for a time in seconds: whole milliseconds rounded up,
// 0 for no time (negative or not a number), at most what QTimer can hold.
int timerMilliseconds(double seconds);

// A timer on the main event loop. Like the loop's own timers, a scheduled
// timer keeps itself alive while it is valid, so one that nobody holds any
// more goes on firing until it is invalidated. Main thread only.
class Timer : public QObject, public std::enable_shared_from_this<Timer> {
  public:
    // Fires the action every `interval` seconds (or once, when not repeating),
    // the first time `interval` seconds from now.
    static std::shared_ptr<Timer> scheduledTimer(double interval, std::function<void()> action,
                                                 bool repeats);
    ~Timer() override;

    // Runs the action now without changing the schedule. A timer that does not
    // repeat is invalidated by it, as by its own firing.
    void fire();

    // Moves the next firing to the given time (at once when it has passed);
    // a repeating timer then fires at its interval again.
    void setFireDate(const QDateTime &date);
    void setFireDateFromNow(double seconds);
    // When the timer fires next; invalid once the timer is.
    QDateTime fireDate() const;

    // Stops the timer for good. Safe from inside its own action.
    void invalidate();
    bool isValid() const { return valid_; }

  private:
    Timer(double interval, std::function<void()> action, bool repeats);
    void scheduleIn(int milliseconds);
    void timeout();

    QTimer *qtimer_;
    double interval_;
    std::function<void()> action_;
    bool repeats_;
    bool valid_ = true;
    QDateTime fireDate_;
    // The reference by which a valid timer keeps itself alive.
    std::shared_ptr<Timer> self_;
};

} // namespace flowtally
