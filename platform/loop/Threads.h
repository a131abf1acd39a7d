#pragma once

#include <functional>
#include <memory>

namespace flowtally {

// The main thread (the thread of the application object, which runs the main
// event loop) and the worker threads Flowtally detaches.

// Whether the caller runs on the main thread.
bool isMainThread();

// Actions queued to the main event loop for one owner, run in the order
// they were queued, one a pass of the loop: what is still queued when the
// queue goes (with its owner) is dropped, never run. Make it on the main
// thread; queue from any thread while it lives. The hand-over is the
// queue's own (a mutex), never a function object passed through Qt's
// queues, so that the thread sanitizer sees it.
class MainThreadQueue {
  public:
    MainThreadQueue();
    ~MainThreadQueue();
    MainThreadQueue(const MainThreadQueue &) = delete;
    MainThreadQueue &operator=(const MainThreadQueue &) = delete;

    // Queues the action from any thread; the action and whatever it
    // captures live until it has run or is dropped. With waitUntilDone the
    // calling thread blocks until the main thread has run it (on the main
    // thread itself it runs at once): its owner must not go meanwhile.
    // Without waiting, the action runs on a later pass of the loop, also
    // when queued by the main thread.
    void perform(std::function<void()> action, bool waitUntilDone);

  private:
    class Receiver;
    std::unique_ptr<Receiver> receiver_;
};

// Queues an action that captures nothing that may go before the
// application does to the application's own queue.
void performOnMainThread(std::function<void()> action, bool waitUntilDone);

// Runs the body at once on a thread of its own; nobody waits for or joins it.
// The thread is one that ran an earlier body and now idles, when there is
// one: starting a thread costs more than a tick's work.
void detachThread(std::function<void()> body);

// Lets the threads that idle now end at once; those still running a body
// idle after it as usual.
void endIdleThreads();

} // namespace flowtally
