#include "MainLoop.h"

#include "TimerInterval.h"

#include <QEventLoop>
#include <QTimer>

void runMainLoopFor(double seconds) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timerMilliseconds(seconds));
    loop.exec();
}
