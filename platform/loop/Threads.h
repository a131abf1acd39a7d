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

// Starts a thread that runs the body and ends; nobody waits for or joins it.
void detachThread(std::function<void()> body);

} // namespace flowtally
