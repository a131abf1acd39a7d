#include "platform/loop/Threads.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
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

// Takes the actions on the main thread: one posted event an action.
class MainThreadQueue::Receiver : public QObject {
  public:
    Receiver() { moveToThread(QCoreApplication::instance()->thread()); }

    void add(std::function<void()> action) {
        QEvent *event = nullptr;
        {
            // The event is made under the lock that the main thread takes
            // before it reads it.
            std::lock_guard lock(mutex_);
            actions_.push_back(std::move(action));
            event = new QEvent(eventType());
        }
        QCoreApplication::postEvent(this, event);
    }

  protected:
    bool event(QEvent *event) override {
        std::function<void()> action;
        {
            std::unique_lock lock(mutex_);
            if (event->type() != eventType()) {
                lock.unlock();
                return QObject::event(event);
            }
            if (actions_.empty())
                return true;
            action = std::move(actions_.front());
            actions_.pop_front();
        }
        action();
        return true;
    }

  private:
    static QEvent::Type eventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    std::mutex mutex_;
    std::deque<std::function<void()>> actions_;
};

MainThreadQueue::MainThreadQueue() : receiver_(std::make_unique<Receiver>()) {}

MainThreadQueue::~MainThreadQueue() = default;

void MainThreadQueue::perform(std::function<void()> action, bool waitUntilDone) {
    if (!waitUntilDone) {
        receiver_->add(std::move(action));
        return;
    }
    // Waiting for the main thread on the main thread would wait for ever.
    if (isMainThread()) {
        action();
        return;
    }
    std::mutex mutex;
    std::condition_variable ran;
    bool done = false;
    receiver_->add([&] {
        action();
        std::lock_guard lock(mutex);
        done = true;
        ran.notify_one();
    });
    std::unique_lock lock(mutex);
    ran.wait(lock, [&] { return done; });
}

namespace {

// The application's own queue, made on the main thread with the application
// object, before any other thread can queue to it; never destroyed: it
// serves as long as the application does.
MainThreadQueue *applicationQueue = nullptr;

void makeApplicationQueue() {
    applicationQueue = new MainThreadQueue;
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(makeApplicationQueue)

void performOnMainThread(std::function<void()> action, bool waitUntilDone) {
    applicationQueue->perform(std::move(action), waitUntilDone);
}

void detachThread(std::function<void()> body) {
    idleThreads().run(std::move(body));
}

void endIdleThreads() {
    idleThreads().endIdle();
}

} // namespace flowtally
