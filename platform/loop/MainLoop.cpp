#include "platform/loop/MainLoop.h"

#include "platform/loop/Timer.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace flowtally {

void runMainLoopFor(double seconds) {
    const int milliseconds = timerMilliseconds(seconds);
    const QDeadlineTimer deadline(milliseconds, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    end.start(milliseconds);
    loop.exec();
    // Once the application has been asked to quit, exec() returns at once;
    // yet quitting waits for the worker by running the loop, so go on pass
    // by pass (the end timer wakes the last wait).
    while (!deadline.hasExpired())
        loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

} // namespace flowtally
