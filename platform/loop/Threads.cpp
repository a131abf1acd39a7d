#include "Threads.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace flowtally {

namespace {

// How long a thread that ran its body waits for another before it ends: longer
// than the work cycle's slowest pace, so one thread serves tick after tick.
constexpr auto kIdleLife = std::chrono::seconds(30);

// Threads that ran their body and wait for another. A body never waits for a
// thread: when none is idle, a new one starts, so a body that hangs (a tool
// that does not answer) holds up no other.
class IdleThreads {
  public:
    void run(std::function<void()> body) {
        {
            std::lock_guard lock(mutex_);
            if (bodies_.size() < idle_) {
                bodies_.push_back(std::move(body));
                handed_.notify_one();
                return;
            }
        }
        std::thread([this, first = std::move(body)]() mutable {
            serve(std::move(first));
        }).detach();
    }

    void endIdle() {
        std::lock_guard lock(mutex_);
        ++dismissals_;
        handed_.notify_all();
    }

  private:
    void serve(std::function<void()> body) {
        for (;;) {
            body();
            body = nullptr; // what it captured goes now, not with the next body
            std::unique_lock lock(mutex_);
            ++idle_;
            const std::size_t dismissed = dismissals_;
            handed_.wait_for(lock, kIdleLife,
                             [&] { return !bodies_.empty() || dismissals_ != dismissed; });
            --idle_;
            if (bodies_.empty())
                return;
            body = std::move(bodies_.front());
            bodies_.pop_front();
        }
    }

    std::mutex mutex_;
    std::condition_variable handed_;
    std::deque<std::function<void()>> bodies_; // handed to idle threads, not yet taken
    std::size_t idle_ = 0;
    std::size_t dismissals_ = 0; // how often idle threads were told to end
};

IdleThreads &idleThreads() {
    // Never destroyed: idle threads may still wait on it while the process
    // ends.
    static IdleThreads *const threads = new IdleThreads;
    return *threads;
}

} // namespace

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
    idleThreads().run(std::move(body));
}

void endIdleThreads() {
    idleThreads().endIdle();
}

} // namespace flowtally
