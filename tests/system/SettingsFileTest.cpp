// A settings file that cannot be read, and a settings folder that cannot be
// written: Flowtally goes on metering, keeps what it cannot read, and says
// so once.
#include "SystemTest.h"

#include <QDir>
#include <QFile>

namespace {

const QByteArray kGarbage = QByteArrayLiteral("<?xml version=\"1.0\"?>\n<plist><dict><key>tot\x01"
                                              "\xff\xfe half a settings file");

class SettingsFileTest : public SystemTest {
  protected:
    static bool writeFile(const QString &path, const QByteArray &contents) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(contents) == contents.size();
    }

    QStringList settingsLines() { return flowtally().logLinesContaining(defaultsPath()); }
};

TEST_F(SettingsFileTest, UnreadableFileIsKeptAsideOnceAndAFreshRecordIsWritten) {
    ASSERT_TRUE(QDir().mkpath(settingsFolder()));
    ASSERT_TRUE(writeFile(defaultsPath(), kGarbage));
    ASSERT_NO_FATAL_FAILURE(pushTraffic(64 * 1024, 64 * 1024));
    const InterfaceCounters beforeStart = counters();

    ASSERT_NO_FATAL_FAILURE(launch());
    const auto fresh = waitForRecord([](const StoredRecord &record) { return record.sampled(); });
    ASSERT_TRUE(fresh) << "no fresh record";
    ASSERT_NO_FATAL_FAILURE(quit());

    const QStringList kept =
        QDir(settingsFolder()).entryList({"defaults.plist.corrupt-*"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1) << kept.join(' ').toStdString();
    QFile keptFile(QDir(settingsFolder()).filePath(kept.first()));
    ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(keptFile.readAll(), kGarbage) << "the unreadable file was not kept as it was";

    const QStringList reports = settingsLines();
    ASSERT_EQ(reports.size(), 1) << reports.join('\n').toStdString();
    EXPECT_TRUE(reports.first().contains(kept.first())) << reports.first().toStdString();

    const StoredRecords stored = records();
    ASSERT_EQ(stored.size(), 1u);
    const StoredRecord &record = stored.begin()->second;
    expectConsistent(record, fresh->inBase(), fresh->outBase());
    expectRecent(record, counters());
    EXPECT_GE(record.inBase(), beforeStart.received) << "counted from before the start";
    EXPECT_GE(record.outBase(), beforeStart.sent) << "counted from before the start";
}

TEST_F(SettingsFileTest, UnwritableFolderStopsNeitherRunningNorMetering) {
    // A file where the settings folder belongs: nothing can be made in it,
    // root or not.
    ASSERT_TRUE(writeFile(settingsFolder(), "in the way"));
    ASSERT_NO_FATAL_FAILURE(pushTraffic(64 * 1024, 64 * 1024));
    const InterfaceCounters beforeStart = counters();

    ASSERT_NO_FATAL_FAILURE(launch());
    // The first sample only records the counters; by the third tick the
    // second one has counted.
    ASSERT_TRUE(waitForTicks(3)) << "Flowtally does not tick";
    ASSERT_TRUE(waitUntil([&] { return !settingsLines().isEmpty(); }))
        << "no word that the settings cannot be written";
    ASSERT_NO_FATAL_FAILURE(pushTraffic(2 * kMiB, kMiB));
    // Several writes fail while the folder stays blocked.
    ASSERT_TRUE(waitForTicks(2)) << "Flowtally stopped ticking";
    ASSERT_TRUE(flowtally().isRunning()) << "Flowtally ended while it could not write";
    const QStringList whileBlocked = settingsLines();
    ASSERT_EQ(whileBlocked.size(), 1) << whileBlocked.join('\n').toStdString();

    // Once the folder can be made, the totals kept in memory arrive whole.
    ASSERT_TRUE(QFile::remove(settingsFolder()));
    const InterfaceCounters afterTraffic = counters();
    const auto record = waitForSampleAfter(afterTraffic);
    ASSERT_TRUE(record) << "the settings were never written once the folder could be made";
    ASSERT_NO_FATAL_FAILURE(quit());

    expectConsistent(*record, record->inBase(), record->outBase());
    EXPECT_GE(record->inBase(), beforeStart.received);
    EXPECT_LE(record->inBase(), beforeStart.received + kProbeSlack) << "counting started late";
    EXPECT_GE(record->outBase(), beforeStart.sent);
    EXPECT_LE(record->outBase(), beforeStart.sent + kProbeSlack) << "counting started late";
    EXPECT_GE(record->totalInBytes(), kMiB);
    EXPECT_GE(record->totalOutBytes(), 2 * kMiB);
    EXPECT_EQ(settingsLines().count(whileBlocked.first()), 1) << "the failure was reported again";
}

} // namespace
