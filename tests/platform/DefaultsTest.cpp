// The settings: property lists read and written, and the store that keeps
// them in a file, how it writes it, and what it does with one it cannot read.
#include "platform/system/PropertyList.h"
#include "platform/system/UserDefaults.h"

#include "platform/loop/MainLoop.h"
#include "tests/support/NetworkScene.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QSize>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace flowtally {

namespace {

constexpr quint64 kMax = std::numeric_limits<quint64>::max();
const QVariantMap kValues{
    {"max", QVariant::fromValue(kMax)},
    {"text", QStringLiteral("caf\u00e9 <&> \"x\"")},
    {"real", 1.5e12},
    {"no", false},
    {"data", QByteArray("\x00\x01\xff", 3)},
    {"nested", QVariantMap{{"list", QVariantList{1, "two", QVariantMap()}}}},
    {"date", QDateTime(QDate(2023, 5, 17), QTime(8, 30, 15), Qt::UTC)},
};

// Arrays nested that many levels deep.
QByteArray arrays(int levels) {
    return QByteArray("<array>").repeated(levels) + QByteArray("</array>").repeated(levels);
}

// A settings-shaped list: the value under one key of the root dictionary.
QByteArray inDictionary(const QByteArray &value) {
    return "<plist><dict><key>k</key>" + value + "</dict></plist>";
}

// Arrays nested one level too deep, with a close tag that libplist's reader
// does not take for one hidden after the first open tag.
QByteArray tooDeepWithHiddenClose(const QByteArray &hiding) {
    return inDictionary("<array>" + hiding + arrays(kPropertyListDepthLimit - 1) + "</array>");
}

TEST(PropertyList, RefusalsSayWhy) {
    const QString tooDeep = QString("nested deeper than %1 levels").arg(kPropertyListDepthLimit);
    const QByteArray deepest = arrays(kPropertyListDepthLimit - 1);
    using enum Status::Code;
    // An empty reason: read. Binary lists, NUL bytes and text that is no
    // property list: HostileFilesAreKeptAsideWithTheirReasonWithinBounds.
    // clang-format off
    const struct { QByteArray input; QString reason; Status::Code code = Ok; } cases[] = {
        {"", "the text is empty", Corrupt},
        {"<plist><array><string>a</string></array></plist>", "the root is not a dictionary", Corrupt},
        // The nesting is counted the way libplist pairs tags.
        {inDictionary(deepest), ""},
        {inDictionary(arrays(kPropertyListDepthLimit)), tooDeep, Refused},
        {tooDeepWithHiddenClose("<!-- </array> -->"), tooDeep, Refused},
        {tooDeepWithHiddenClose("<string><![CDATA[</array>]]></string>"), tooDeep, Refused},
        {tooDeepWithHiddenClose("<?pi \"?></array>\" ?>"), tooDeep, Refused},
        {inDictionary("<array a=\"</array>\">" + deepest + "</array>"), tooDeep, Refused},
        {"<!DOCTYPE plist [ " + QByteArray("<array>").repeated(200) + " ]>" + inDictionary(deepest), ""},
        {inDictionary("<array>" + QByteArray("<array/><dict x=\"1\"/>").repeated(200) + "</array>"), ""},
    };
    // clang-format on
    for (const auto &c : cases) {
        QVariantMap dictionary{{"untouched", true}};
        const Status read = dictionaryFromData(c.input, &dictionary);
        EXPECT_EQ(read.message(), c.reason) << c.input.left(200).toStdString();
        EXPECT_EQ(read.code(), c.code) << c.input.left(200).toStdString();
        EXPECT_EQ(dictionary.contains("untouched"), !c.reason.isEmpty());
    }
}

class UserDefaultsTest : public ::testing::Test {
  protected:
    QString storePath() const { return folder_.filePath("flowtally/defaults.plist"); }
    QStringList storeFiles() const {
        return QDir(folder_.filePath("flowtally")).entryList(QDir::Files);
    }

    QTemporaryDir folder_;
};

// Written soon without synchronize, through a temporary file moved in, and
// only the values stored: the latest registered value is not written, and
// shows again once the stored one over it is removed; a value that has no
// form in the file is refused with a line, so that the others are written. Dates keep whole
// seconds, in UTC, clamped to the range libplist holds.
TEST_F(UserDefaultsTest, EveryStoredValueSurvivesTheFileWrittenSoonAndAtomically) {
    QVariantMap written = kValues, expected = kValues;
    written["date"] = kValues["date"].toDateTime().addMSecs(750);
    written["minusOne"] = QVariant::fromValue(qint64(-1));
    expected["minusOne"] = QVariant::fromValue(kMax); // two's complement
    written["early"] = QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    expected["early"] = QDateTime::fromSecsSinceEpoch(978307200LL - 2147483648LL, Qt::UTC);
    written["late"] = QDateTime(QDate(4000, 1, 1), QTime(0, 0), Qt::UTC);
    expected["late"] = QDateTime::fromSecsSinceEpoch(978307200LL + 2147483647LL, Qt::UTC);
    TestEnvironment environment;
    UserDefaults store(storePath());
    store.registerDefaults({{"communityPassword", "public"}});
    store.registerDefaults({{"communityPassword", "private"}});
    store.setObject("size", QSize(1, 2));
    store.setObject("record", written);
    for (int slice = 0; slice < 1000 && !QFile::exists(storePath()); ++slice)
        runMainLoopFor(0.01);
    EXPECT_EQ(storeFiles(), QStringList{"defaults.plist"});
    const UserDefaults reread(storePath());
    EXPECT_EQ(reread.keys(), QStringList{"record"});
    EXPECT_EQ(environment.logLines(),
              QStringList{"The setting size is not stored: a value of type QSize cannot be "
                          "written to the settings file."});
    const QVariantMap read = reread.objectForKey("record").toMap();
    EXPECT_EQ(read, expected);
    EXPECT_EQ(read["max"].typeId(), QMetaType::ULongLong);
    EXPECT_EQ(read["no"].typeId(), QMetaType::Bool);
    EXPECT_EQ(read["date"].toDateTime().timeSpec(), Qt::UTC);
    store.setObject("communityPassword", QStringLiteral("secret"));
    EXPECT_EQ(store.stringForKey("communityPassword"), QStringLiteral("secret"));
    store.removeObject("communityPassword");
    EXPECT_EQ(store.stringForKey("communityPassword"), QStringLiteral("private"));
}

QByteArray hostileSettings(const QString &name) {
    return readFile(QStringLiteral(FLOWTALLY_TEST_DATA_DIR "/hostile-settings/") + name);
}

// Reads the store in this (forked) process with at most 100 MB more address
// space and a minute of time, and exits 0 when the file was kept aside with
// one log line that gives the reason and the settings start afresh.
[[noreturn]] void readWithinBoundsAndExit(const QString &path, const QString &reason,
                                          TestEnvironment &environment) {
    alarm(60);
    const rlim_t inUse = rlim_t(readFile("/proc/self/statm").split(' ').value(0).toULongLong()) *
                         rlim_t(sysconf(_SC_PAGESIZE));
    const rlimit bound{inUse + (rlim_t(100) << 20), inUse + (rlim_t(100) << 20)};
    if (inUse == 0 || setrlimit(RLIMIT_AS, &bound) != 0)
        std::_Exit(2);
    const UserDefaults store(path);
    const QStringList lines = environment.logLines();
    const bool keptAside =
        lines.size() == 1 && lines[0].contains("could not be read (" + reason + "); it is kept as");
    const bool fresh = !store.objectForKey("communityPassword").isValid();
    if (!keptAside || !fresh)
        fprintf(stderr, "log: %s\n", qPrintable(lines.join('\n')));
    std::_Exit(keptAside && fresh ? 0 : 1);
}

// Files that once stopped Flowtally at every start until someone deleted
// them: NUL bytes that libplist asserts on, nesting that overflowed the
// stack, and binary lists whose shared objects expand to gigabytes; and a
// file that is simply not a property list. New settings are written beside
// the file kept aside.
TEST_F(UserDefaultsTest, HostileFilesAreKeptAsideWithTheirReasonWithinBounds) {
    GTEST_FLAG_SET(death_test_style, "fast");
    const QString binary = "a binary property list, which Flowtally does not read";
    // clang-format off
    const struct { QString name; QByteArray contents; QString reason; } cases[] = {
        {"nul_dict.plist", hostileSettings("nul_dict.plist"), "the text holds a NUL byte"},
        {"dag_dict_24.bplist", hostileSettings("dag_dict_24.bplist"), binary},
        {"40,000 nested arrays", inDictionary(arrays(40000)), QString("nested deeper than %1 levels").arg(kPropertyListDepthLimit)},
        {"plain text", "not a property list", "not an XML property list"},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        ASSERT_FALSE(c.contents.isEmpty());
        ASSERT_TRUE(QDir(folder_.path()).mkpath("flowtally") &&
                    makeFile(storePath(), c.contents, 0600));
        TestEnvironment environment;
        EXPECT_EXIT(readWithinBoundsAndExit(storePath(), c.reason, environment),
                    ::testing::ExitedWithCode(0), "");
        {
            UserDefaults store(storePath());
            store.setObject("AirportIP", QStringLiteral("10.0.0.1"));
            ASSERT_TRUE(store.synchronize().ok());
        }
        const QStringList files = storeFiles();
        ASSERT_EQ(files.size(), 2);
        EXPECT_TRUE(files[1].startsWith("defaults.plist.corrupt-")) << files[1].toStdString();
        EXPECT_EQ(readFile(QDir(folder_.filePath("flowtally")).filePath(files[1])), c.contents);
        ASSERT_TRUE(QDir(folder_.filePath("flowtally")).removeRecursively());
    }
}

TEST_F(UserDefaultsTest, UnwritableFolderCostsOneLinePerStreakAndNoValues) {
    // A file where the settings folder belongs blocks every write, even for root.
    const QString blocker = folder_.filePath("blocked");
    ASSERT_TRUE(makeFile(blocker, {}, 0600));
    const QString path = blocker + "/flowtally/defaults.plist";
    TestEnvironment environment;
    UserDefaults store(path);
    store.setObject("totalInBytes", QVariant::fromValue(quint64(5) << 33));
    EXPECT_FALSE(store.synchronize().ok());
    store.setObject("totalOutBytes", QVariant::fromValue(quint64(3)));
    EXPECT_FALSE(store.synchronize().ok());
    EXPECT_EQ(environment.logLinesContaining("could not be written").size(), 1);
    EXPECT_EQ(environment.logLines().size(), 1);
    ASSERT_TRUE(QFile::remove(blocker));
    EXPECT_TRUE(store.synchronize().ok());
    EXPECT_EQ(environment.logLinesContaining("are written to").size(), 1);
    EXPECT_EQ(environment.logLines().size(), 2);
    EXPECT_EQ(UserDefaults(path).objectForKey("totalInBytes").toULongLong(), quint64(5) << 33);
}

// The settings store's writer: when the file is written, and by whom.
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
// the store's own thread, and the store's end writes what is left. (That
// writeNow() does not wait for the interval: StallProbeTest.)
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
        store.setObject("totalOutBytes", QVariant::fromValue(quint64(7)));
    }
    EXPECT_EQ(environment.onMainThread, 0) << "a write on the main thread";
    EXPECT_EQ(UserDefaults(path).objectForKey("totalOutBytes").toULongLong(), 7u);
}

} // namespace

} // namespace flowtally
