// The settings store's writer: when the file is written, and by whom.
#include "UserDefaults.h"

#include "TestEnvironment.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace flowtally {

namespace {

// A world whose file writes are counted, and remembered by the thread that
// made them.
class CountedWrites : public TestEnvironment {
  public:
    Status writeFileAtomically(const QString &path, const QByteArray &data) override {
        ++writes;
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            ++onMainThread;
        return TestEnvironment::writeFileAtomically(path, data);
    }
    std::atomic<int> writes = 0, onMainThread = 0;
};

// Values that keep changing are written at most once a write interval, by
// the store's own thread; writeNow() does not wait for the interval, and
// the store's end writes what is left.
TEST(UserDefaults, WritesComeFromItsThreadAtMostOnceAnInterval) {
    CountedWrites environment;
    const QString path = environment.folder() + "/flowtally/defaults.plist";
    {
        UserDefaults store(path, std::chrono::milliseconds(300));
        const auto began = std::chrono::steady_clock::now();
        for (int change = 0; change < 150; ++change) {
            store.setObject("totalInBytes", QVariant::fromValue(quint64(change)));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        // About 1.5 s of changes (longer on a busy machine): one write at the
        // first, then one an interval.
        const auto intervals =
            (std::chrono::steady_clock::now() - began) / std::chrono::milliseconds(300);
        EXPECT_LE(environment.writes, 1 + intervals + 1);
        EXPECT_GE(environment.writes, 2);
        const int before = environment.writes;
        store.setObject("HideHelp", true);
        store.writeNow();
        for (int slice = 0; slice < 200 && !store.isWritten(); ++slice)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(store.isWritten()) << "writeNow waited for the interval";
        EXPECT_EQ(environment.writes, before + 1);
        store.setObject("totalOutBytes", QVariant::fromValue(quint64(7)));
    }
    EXPECT_EQ(environment.onMainThread, 0) << "a write on the main thread";
    EXPECT_EQ(UserDefaults(path).objectForKey("totalOutBytes").toULongLong(), 7u);
}

} // namespace

} // namespace flowtally
