#pragma once

#include <functional>

namespace flowtally {

// The main thread (the thread of the application object, which runs the main
// event loop) and the worker threads Flowtally detaches.

// Whether the caller runs on the main thread.
bool isMainThread();

// Queues an action to the main event loop from any thread; the action and
// whatever it captures live until it has run. With waitUntilDone the calling
// thread blocks until the main thread has run it; on the main thread itself
// that means running it at once. Without waiting, the action runs on a later
// pass of the loop, also when queued by the main thread.
void performOnMainThread(std::function<void()> action, bool waitUntilDone);

// Runs the body at once on a thread of its own; nobody waits for or joins it.
// The thread is one that ran an earlier body and now idles, when there is
// one: starting a thread costs more than a tick's work.
void detachThread(std::function<void()> body);

// Lets the threads that idle now end at once; those still running a body
// idle after it as usual.
void endIdleThreads();

} // namespace flowtally
