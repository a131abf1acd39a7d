// The settings file and its folder under attack while Flowtally meters:
// deleted, corrupted, made unreadable, replaced, or refusing writes (a full
// or read-only file system). Metering goes on, a failure to write is told
// once, and the file holds the exact totals once it can be written again.
#include "ControllerFixture.h"

#include "LoopWaits.h"
#include "PropertyList.h"
#include "UserDefaults.h"

#include <QDir>

#include <atomic>
#include <cerrno>
#include <functional>

namespace flowtally {

namespace {

// A world whose file writes fail with an error number while one is set, as
// they do on a full or read-only file system.
class RefusedWrites : public EnvironmentWrapper {
  public:
    using EnvironmentWrapper::EnvironmentWrapper;
    Status writeFileAtomically(const QString &path, const QByteArray &data) override {
        if (const int error = refusal)
            return Status::systemError(QStringLiteral("cannot write %1").arg(path), error);
        return EnvironmentWrapper::writeFileAtomically(path, data);
    }
    std::atomic<int> refusal = 0;
};

class SettingsFaults : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        reply("arp", QString("host (127.0.0.78) -- no entry\n"));
        setNetstatCounters(5000, 6000);
    }

    static QString path() { return UserDefaults::standardPath(); }

    // The record of the service that the file holds now.
    static QVariantMap storedRecord() {
        return dictionaryWithContentsOfFile(path()).value_or(QVariantMap()).value(kService).toMap();
    }

    // Moves the counters on by a step, waits until the controller counted
    // it and has the file written; whether the file then holds its totals.
    bool countAndStore(quint64 &in, quint64 &out) {
        in += 70'001;
        out += 3;
        setNetstatCounters(in, out);
        if (!runLoopUntil([&] { return controller->prevInVal() == in; }))
            return false;
        controller->storeRecordNow();
        return runLoopUntil([&] {
            const QVariantMap record = storedRecord();
            return record.value("totalInBytes").toULongLong() == controller->totalInBytes() &&
                   record.value("totalOutBytes").toULongLong() == controller->totalOutBytes() &&
                   record.value("prevInVal").toULongLong() == in;
        });
    }
};

// What happens to the file behind Flowtally's back is mended by its next
// write, which holds everything: nothing is read back from it while it runs.
TEST_F(SettingsFaults, FileDeletedCorruptedOrUnreadableIsWrittenWholeAgain) {
    const auto write = [](const QByteArray &text) {
        QFile file(path());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(text) == text.size();
    };
    // clang-format off
    const struct { const char *fault; std::function<bool()> make; } cases[] = {
        {"deleted", [] { return QFile::remove(path()); }},
        {"corrupted", [&] { return write("<?xml version=\"1.0\"?>\n<plist><dict><key>tot\x01\xff half"); }},
        {"emptied", [&] { return write({}); }},
        {"unreadable", [] { return QFile::setPermissions(path(), QFileDevice::Permissions()); }},
        {"folder deleted", [] { return QDir(QFileInfo(path()).path()).removeRecursively(); }},
    };
    // clang-format on
    ASSERT_TRUE(startMetering(5000));
    quint64 in = 5000, out = 6000;
    ASSERT_TRUE(countAndStore(in, out));
    environment.clearLog();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        ASSERT_TRUE(c.make());
        ASSERT_TRUE(countAndStore(in, out)) << "the file does not hold the totals";
        EXPECT_TRUE(controller->isLogging());
    }
    EXPECT_EQ(controller->totalInBytes(), 6 * 70'001u);
    EXPECT_EQ(controller->totalOutBytes(), 6 * 3u);
    EXPECT_TRUE(environment.logLines().isEmpty())
        << environment.logLines().join('\n').toStdString();
}

// A file system that refuses the writes (full, read-only) or a file where the
// folder belongs: one log line when writing starts failing, one when it
// works again, the totals go on in memory and reach the file whole.
TEST_F(SettingsFaults, RefusedWritesAreToldOnceAndTheTotalsArriveWhole) {
    RefusedWrites refusing(environment);
    ScopedEnvironment scope(refusing);
    // The controller's last worker is gone before the world it asks.
    struct Terminated {
        AppDelegate &controller;
        ~Terminated() { controller.applicationShouldTerminate(); }
    } terminated{*controller};
    ASSERT_TRUE(startMetering(5000));
    quint64 in = 5000, out = 6000;
    ASSERT_TRUE(countAndStore(in, out));
    const QString folder = QFileInfo(path()).path();
    // clang-format off
    const struct { const char *fault; std::function<void()> make, mend; const char *told; } cases[] = {
        {"no space", [&] { refusing.refusal = ENOSPC; }, [&] { refusing.refusal = 0; }, "No space left on device"},
        {"read-only", [&] { refusing.refusal = EROFS; }, [&] { refusing.refusal = 0; }, "Read-only file system"},
        {"a file for the folder",
         [&] { QDir(folder).removeRecursively(); QFile(folder).open(QIODevice::WriteOnly); },
         [&] { QFile::remove(folder); }, "cannot make the folder"},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        environment.clearLog();
        c.make();
        const quint64 before = controller->totalInBytes();
        in += 1'000'000;
        setNetstatCounters(in, out);
        ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == in; }));
        controller->storeRecordNow();
        ASSERT_TRUE(runLoopUntil([&] { return environment.logLines().size() >= 1; }));
        // More ticks and writes while it lasts, each of which fails.
        in += 1'000'000;
        setNetstatCounters(in, out);
        ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == in; }))
            << "metering stopped";
        controller->storeRecordNow();
        runLoopUntil([] { return UserDefaults::standardUserDefaults().isWritten(); }, 2.5);
        ASSERT_EQ(environment.logLines().size(), 1)
            << environment.logLines().join('\n').toStdString();
        EXPECT_TRUE(environment.logLines().first().contains(c.told))
            << environment.logLines().first().toStdString();
        EXPECT_EQ(controller->totalInBytes(), before + 2'000'000);

        c.mend();
        ASSERT_TRUE(countAndStore(in, out)) << "the totals never reached the file";
        EXPECT_EQ(environment.logLinesContaining("are written to").size(), 1);
        EXPECT_EQ(environment.logLines().size(), 2);
    }
    EXPECT_TRUE(controller->isLogging());
}

} // namespace

} // namespace flowtally
