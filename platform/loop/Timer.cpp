#include "platform/loop/Timer.h"

#include <QTimer>

#include <algorithm>
#include <climits>
#include <cmath>

namespace flowtally {

int timerMilliseconds(double seconds) {
    if (!(seconds > 0))
        return 0;
    return static_cast<int>(std::min(std::ceil(seconds * 1000.0), double(INT_MAX)));
}

Timer::Timer(double interval, std::function<void()> action, bool repeats)
    : qtimer_(new QTimer(this)), interval_(interval), action_(std::move(action)),
      repeats_(repeats) {
    qtimer_->setSingleShot(true);
    qtimer_->setTimerType(Qt::PreciseTimer);
    connect(qtimer_, &QTimer::timeout, this, [this] { timeout(); });
}

Timer::~Timer() = default;

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, std::function<void()> action,
                                             bool repeats) {
    // The last reference may go inside the timer's own action.
    std::shared_ptr<Timer> timer(new Timer(interval, std::move(action), repeats),
                                 [](Timer *t) { t->deleteLater(); });
    timer->self_ = timer;
    timer->scheduleIn(timerMilliseconds(interval));
    return timer;
}

void Timer::scheduleIn(int milliseconds) {
    fireDate_ = QDateTime::currentDateTimeUtc().addMSecs(milliseconds);
    qtimer_->start(milliseconds);
}

void Timer::timeout() {
    if (!valid_)
        return;
    // A repeating timer that fires back to back would starve the loop.
    if (repeats_)
        scheduleIn(std::max(1, timerMilliseconds(interval_)));
    fire();
}

void Timer::fire() {
    if (!valid_)
        return;
    // The action may drop the last reference to this timer or invalidate it.
    const std::shared_ptr<Timer> keepAlive = shared_from_this();
    const std::function<void()> action = action_;
    action();
    if (!repeats_)
        invalidate();
}

void Timer::setFireDate(const QDateTime &date) {
    if (!valid_)
        return;
    const qint64 wait = QDateTime::currentDateTimeUtc().msecsTo(date);
    scheduleIn(static_cast<int>(std::clamp<qint64>(wait, 0, INT_MAX)));
}

void Timer::setFireDateFromNow(double seconds) {
    if (!valid_)
        return;
    scheduleIn(timerMilliseconds(seconds));
}

QDateTime Timer::fireDate() const {
    return valid_ ? fireDate_ : QDateTime();
}

void Timer::invalidate() {
    if (!valid_)
        return;
    valid_ = false;
    qtimer_->stop();
    self_.reset();
}

} // namespace flowtally
