#include "Threads.h"

#include "MainLoop.h"

#include <gtest/gtest.h>

#include <atomic>

namespace flowtally {

namespace {

// The work cycle's shape: the worker waits once for the main thread, which
// meanwhile waits for the worker by running its loop in slices.
TEST(MainThread, WorkerWaitsForItsActionWhileTheMainThreadRunsTheLoopInSlices) {
    std::atomic<bool> working = true, ranOnMainThread = false, ranBeforeReturn = false;
    detachThread([&] {
        performOnMainThread([&] { ranOnMainThread = isMainThread(); }, true);
        ranBeforeReturn = bool(ranOnMainThread);
        working = false;
    });
    for (int slices = 0; working && slices < 200; ++slices)
        runMainLoopFor(0.05);
    EXPECT_TRUE(ranBeforeReturn);
}

} // namespace

} // namespace flowtally
