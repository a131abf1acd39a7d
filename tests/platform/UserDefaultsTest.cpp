#include "UserDefaults.h"
#include "LogCapture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSize>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <thread>

namespace {

// Runs the event loop until the condition holds, for five seconds at most.
bool pumpEventsUntil(const std::function<bool()> &condition) {
    QDeadlineTimer deadline(5000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

class UserDefaultsTest : public ::testing::Test {
  protected:
    QString storePath() const {
        return folder_.filePath(QStringLiteral("flowtally/defaults.plist"));
    }
    QStringList storeFolderEntries() const {
        return QDir(folder_.filePath(QStringLiteral("flowtally"))).entryList(QDir::Files);
    }
    void writeStoreFile(const QByteArray &contents) {
        QDir(folder_.path()).mkpath(QStringLiteral("flowtally"));
        QFile file(storePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    QTemporaryDir folder_;
};

} // namespace

TEST_F(UserDefaultsTest, EveryTypeSurvivesTheFile) {
    const quint64 largest = std::numeric_limits<quint64>::max();
    const QDateTime date(QDate(2024, 2, 29), QTime(23, 59, 58), Qt::UTC);
    const QVariantMap record{
        {"resetDate", date},
        {"totalInBytes", QVariant::fromValue(largest)},
        {"totalOutBytes", QVariant::fromValue(quint64(1) << 40)},
        {"PrimaryService", QStringLiteral("0f8a\u00e9 <&>")},
        {"gbpmLimit", 1.5e12},
    };
    {
        UserDefaults store(storePath());
        store.setObject("record", record);
        store.setObject("HideHelp", true);
        store.setObject("Shown", false);
        store.setObject("communityPassword", QStringLiteral("public"));
        store.setObject("DisplayLimitGB", 25.5);
        EXPECT_TRUE(store.synchronize());
    }
    EXPECT_EQ(storeFolderEntries(), QStringList{"defaults.plist"}); // no temporary files left

    UserDefaults reread(storePath());
    const QVariantMap read = reread.objectForKey("record").toMap();
    EXPECT_EQ(read.value("resetDate").toDateTime(), date);
    EXPECT_EQ(read.value("totalInBytes").typeId(), QMetaType::ULongLong);
    EXPECT_EQ(read.value("totalInBytes").toULongLong(), largest);
    EXPECT_EQ(read.value("totalOutBytes").toULongLong(), quint64(1) << 40);
    EXPECT_EQ(read.value("PrimaryService").toString(), QStringLiteral("0f8a\u00e9 <&>"));
    EXPECT_EQ(read.value("gbpmLimit").typeId(), QMetaType::Double);
    EXPECT_EQ(read.value("gbpmLimit").toDouble(), 1.5e12);
    EXPECT_TRUE(reread.boolForKey("HideHelp"));
    EXPECT_FALSE(reread.boolForKey("Shown"));
    EXPECT_EQ(reread.stringForKey("communityPassword"), QStringLiteral("public"));
    EXPECT_EQ(reread.objectForKey("DisplayLimitGB").toDouble(), 25.5);
}

TEST_F(UserDefaultsTest, StoredValuesOverRegisteredOnesAndOnlyTheyAreWritten) {
    UserDefaults store(storePath());
    store.registerDefaults({{"DisplayLimitGB", 10.0}, {"communityPassword", "public"}});
    store.registerDefaults({{"communityPassword", "private"}, {"HideHelp", true}});
    EXPECT_EQ(store.objectForKey("DisplayLimitGB").toDouble(), 10.0);
    EXPECT_EQ(store.stringForKey("communityPassword"), QStringLiteral("private"));
    EXPECT_TRUE(store.boolForKey("HideHelp"));
    EXPECT_FALSE(store.objectForKey("AirportIP").isValid());
    EXPECT_EQ(store.stringForKey("AirportIP"), std::nullopt);

    store.setObject("communityPassword", QStringLiteral("secret"));
    store.setObject("AirportIP", QStringLiteral("192.168.1.1"));
    EXPECT_EQ(store.stringForKey("communityPassword"), QStringLiteral("secret"));
    store.removeObject("communityPassword");
    EXPECT_EQ(store.stringForKey("communityPassword"), QStringLiteral("private"));
    store.setObject("AirportIP", QVariant()); // removes it
    EXPECT_EQ(store.stringForKey("AirportIP"), std::nullopt);
    store.setObject("kept", QStringLiteral("yes"));
    ASSERT_TRUE(store.synchronize());

    UserDefaults reread(storePath());
    EXPECT_FALSE(reread.objectForKey("DisplayLimitGB").isValid());
    EXPECT_FALSE(reread.objectForKey("communityPassword").isValid());
    EXPECT_FALSE(reread.objectForKey("AirportIP").isValid());
    EXPECT_EQ(reread.stringForKey("kept"), QStringLiteral("yes"));
}

TEST_F(UserDefaultsTest, TypedReadings) {
    UserDefaults store(storePath());
    store.registerDefaults({{"number", QVariant::fromValue(quint64(7))},
                            {"zero", 0.0},
                            {"yesText", "YES"},
                            {"oneText", "1"},
                            {"noText", "no"},
                            {"date", QDateTime::currentDateTimeUtc()}});
    EXPECT_EQ(store.stringForKey("number"), std::nullopt);
    EXPECT_EQ(store.stringForKey("yesText"), QStringLiteral("YES"));
    const struct {
        const char *key;
        bool expected;
    } cases[] = {{"number", true},  {"zero", false}, {"yesText", true}, {"oneText", true},
                 {"noText", false}, {"date", false}, {"missing", false}};
    for (const auto &entry : cases)
        EXPECT_EQ(store.boolForKey(entry.key), entry.expected) << entry.key;
}

TEST_F(UserDefaultsTest, UnreadableFileIsKeptAsideAndReportedOnce) {
    const QByteArray contents[] = {
        "not a property list",
        "",
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>",
    };
    for (const QByteArray &broken : contents) {
        QDir(folder_.filePath(QStringLiteral("flowtally"))).removeRecursively();
        writeStoreFile(broken);
        LogCapture log;
        UserDefaults store(storePath());
        EXPECT_EQ(log.lines().size(), 1) << broken.toStdString();
        EXPECT_EQ(log.linesContaining("could not be read").size(), 1);
        store.registerDefaults({{"HideHelp", true}});
        EXPECT_TRUE(store.boolForKey("HideHelp"));

        const QStringList entries = storeFolderEntries();
        ASSERT_EQ(entries.size(), 1);
        EXPECT_TRUE(entries[0].startsWith("defaults.plist.corrupt-")) << entries[0].toStdString();
        store.setObject("AirportIP", QStringLiteral("10.0.0.1"));
        ASSERT_TRUE(store.synchronize());
        QFile kept(QDir(folder_.filePath(QStringLiteral("flowtally"))).filePath(entries[0]));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), broken);
    }
}

TEST_F(UserDefaultsTest, UnwritableFolderCostsOneLinePerStreakAndNoValues) {
    // A file where the settings folder belongs blocks every write, even for
    // root.
    QFile blocker(folder_.filePath(QStringLiteral("blocked")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = blocker.fileName() + QStringLiteral("/flowtally/defaults.plist");

    LogCapture log;
    UserDefaults store(path);
    store.setObject("totalInBytes", QVariant::fromValue(quint64(5) << 33));
    EXPECT_FALSE(store.synchronize());
    store.setObject("totalOutBytes", QVariant::fromValue(quint64(3)));
    EXPECT_FALSE(store.synchronize());
    EXPECT_FALSE(store.synchronize());
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(log.linesContaining("could not be written").size(), 1);
    EXPECT_EQ(store.objectForKey("totalInBytes").toULongLong(), quint64(5) << 33);

    ASSERT_TRUE(blocker.remove());
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(log.linesContaining("are written to").size(), 1);
    EXPECT_EQ(log.lines().size(), 2);
    EXPECT_EQ(UserDefaults(path).objectForKey("totalOutBytes").toULongLong(), 3u);
}

TEST_F(UserDefaultsTest, ValueWithoutPropertyListFormIsRefused) {
    LogCapture log;
    UserDefaults store(storePath());
    store.setObject("size", QSize(3, 4));
    store.setObject("name", QStringLiteral("kept"));
    EXPECT_FALSE(store.objectForKey("size").isValid());
    EXPECT_EQ(log.linesContaining("size").size(), 1);
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(UserDefaults(storePath()).stringForKey("name"), QStringLiteral("kept"));
}

TEST_F(UserDefaultsTest, ChangesAreWrittenSoonWithoutSynchronize) {
    UserDefaults store(storePath());
    store.setObject("HideHelp", true);
    EXPECT_TRUE(pumpEventsUntil([&] { return QFile::exists(storePath()); }));
    EXPECT_TRUE(UserDefaults(storePath()).boolForKey("HideHelp"));
}

TEST_F(UserDefaultsTest, DestroyingTheStoreWritesPendingChanges) {
    UserDefaults(storePath()).setObject("AirportIP", QStringLiteral("192.168.0.1"));
    EXPECT_EQ(UserDefaults(storePath()).stringForKey("AirportIP"), QStringLiteral("192.168.0.1"));
}

// The worker thread may be the first to use the store; writing still runs
// on the main thread's loop.
TEST_F(UserDefaultsTest, StandardStoreFollowsTheEnvironmentAndTakesChangesFromAnyThread) {
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder_.path()));
    UserDefaults::resetStandardUserDefaults();

    std::thread worker([] {
        UserDefaults &store = UserDefaults::standardUserDefaults();
        for (quint64 i = 1; i <= 100; ++i)
            store.setObject("totalInBytes", QVariant::fromValue(i));
    });
    for (int i = 0; i < 100; ++i)
        UserDefaults::standardUserDefaults().setObject("prevInVal",
                                                       QVariant::fromValue(quint64(i)));
    worker.join();
    EXPECT_EQ(UserDefaults::standardUserDefaults().path(), storePath());
    EXPECT_TRUE(pumpEventsUntil([&] { return QFile::exists(storePath()); }));
    UserDefaults::resetStandardUserDefaults();

    const UserDefaults reread(storePath());
    EXPECT_EQ(reread.objectForKey("totalInBytes").toULongLong(), 100u);
    EXPECT_EQ(reread.objectForKey("prevInVal").toULongLong(), 99u);
    if (previous.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", previous);
}
