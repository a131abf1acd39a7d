#include "Threads.h"

#include <QCoreApplication>
#include <QThread>

#include <thread>

namespace flowtally {

bool isMainThread() {
    const QCoreApplication *application = QCoreApplication::instance();
    return application && QThread::currentThread() == application->thread();
}

void performOnMainThread(std::function<void()> action, bool waitUntilDone) {
    // A blocking queued call from the main thread to itself would deadlock.
    if (waitUntilDone && isMainThread()) {
        action();
        return;
    }
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(action),
                              waitUntilDone ? Qt::BlockingQueuedConnection : Qt::QueuedConnection);
}

void detachThread(std::function<void()> body) {
    std::thread(std::move(body)).detach();
}

} // namespace flowtally
