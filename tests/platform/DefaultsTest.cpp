#include "PropertyList.h"
#include "UserDefaults.h"

#include "MainLoop.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <limits>

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

// Dates keep whole seconds, in UTC, clamped to the range libplist holds.
TEST(PropertyList, RoundTripKeepsValuesAndTypes) {
    QVariantMap written = kValues, expected = kValues;
    written["date"] = kValues["date"].toDateTime().addMSecs(750);
    written["minusOne"] = QVariant::fromValue(qint64(-1));
    expected["minusOne"] = QVariant::fromValue(kMax); // two's complement
    written["early"] = QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
    expected["early"] = QDateTime::fromSecsSinceEpoch(978307200LL - 2147483648LL, Qt::UTC);
    written["late"] = QDateTime(QDate(4000, 1, 1), QTime(0, 0), Qt::UTC);
    expected["late"] = QDateTime::fromSecsSinceEpoch(978307200LL + 2147483647LL, Qt::UTC);
    const std::optional<QVariantMap> read = dictionaryFromData(xmlData(written));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(*read, expected);
    EXPECT_EQ(read->value("max").typeId(), QMetaType::ULongLong);
    EXPECT_EQ(read->value("no").typeId(), QMetaType::Bool);
    EXPECT_EQ(read->value("date").toDateTime().timeSpec(), Qt::UTC);
}

TEST(PropertyList, ReadsBinaryInputWithMicroseconds) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "n", plist_new_uint(kMax));
    plist_dict_set_item(root, "d", plist_new_date(10, 500000));
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const std::optional<QVariantMap> read = dictionaryFromData(QByteArray(bytes, length));
    plist_to_bin_free(bytes);
    plist_free(root);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value("n").toULongLong(), kMax);
    EXPECT_EQ(read->value("d").toDateTime().toMSecsSinceEpoch(), 978307210500LL);
}

TEST(PropertyList, UnreadableInputOrWrongRootReadsNothing) {
    const QByteArray arrayRoot = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<plist version=\"1.0\"><array><string>a</string></array></plist>";
    for (const QByteArray &input : {QByteArray(), QByteArray("not a property list"),
                                    QByteArray("bplist00\x01\x02"), arrayRoot})
        EXPECT_FALSE(dictionaryFromData(input).has_value()) << input.toStdString();
}

class UserDefaultsTest : public ::testing::Test {
  protected:
    QString storePath() const { return folder_.filePath("flowtally/defaults.plist"); }
    QStringList storeFiles() const {
        return QDir(folder_.filePath("flowtally")).entryList(QDir::Files);
    }

    QTemporaryDir folder_;
};

// Written soon without synchronize, through a temporary file moved in.
TEST_F(UserDefaultsTest, EveryTypeSurvivesTheFileWrittenSoonAndAtomically) {
    UserDefaults store(storePath());
    store.setObject("record", kValues);
    for (int slice = 0; slice < 1000 && !QFile::exists(storePath()); ++slice)
        runMainLoopFor(0.01);
    EXPECT_EQ(storeFiles(), QStringList{"defaults.plist"});
    const QVariantMap read = UserDefaults(storePath()).objectForKey("record").toMap();
    EXPECT_EQ(read, kValues);
    EXPECT_EQ(read["max"].typeId(), QMetaType::ULongLong);
}

TEST_F(UserDefaultsTest, StoredValuesOverRegisteredOnesAndOnlyTheyAreWritten) {
    UserDefaults store(storePath());
    store.registerDefaults({{"communityPassword", "public"}});
    store.registerDefaults({{"communityPassword", "private"}});
    store.setObject("communityPassword", QStringLiteral("secret"));
    EXPECT_EQ(store.stringForKey("communityPassword"), QStringLiteral("secret"));
    store.removeObject("communityPassword");
    EXPECT_EQ(store.stringForKey("communityPassword"), QStringLiteral("private"));
    ASSERT_TRUE(store.synchronize().ok());
    EXPECT_EQ(UserDefaults(storePath()).objectForKey("communityPassword"), QVariant());
}

TEST_F(UserDefaultsTest, UnreadableFileIsKeptAsideAndReportedOnce) {
    QDir(folder_.path()).mkpath("flowtally");
    QFile file(storePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not a property list") > 0);
    file.close();
    TestEnvironment environment;
    UserDefaults store(storePath());
    EXPECT_EQ(environment.logLinesContaining("could not be read").size(), 1);
    EXPECT_EQ(environment.logLines().size(), 1);
    store.setObject("AirportIP", QStringLiteral("10.0.0.1"));
    ASSERT_TRUE(store.synchronize().ok());
    const QStringList files = storeFiles();
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[1].startsWith("defaults.plist.corrupt-")) << files[1].toStdString();
    QFile kept(QDir(folder_.filePath("flowtally")).filePath(files[1]));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "not a property list");
}

TEST_F(UserDefaultsTest, UnwritableFolderCostsOneLinePerStreakAndNoValues) {
    // A file where the settings folder belongs blocks every write, even for root.
    QFile blocker(folder_.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = blocker.fileName() + "/flowtally/defaults.plist";
    TestEnvironment environment;
    UserDefaults store(path);
    store.setObject("totalInBytes", QVariant::fromValue(quint64(5) << 33));
    EXPECT_FALSE(store.synchronize().ok());
    store.setObject("totalOutBytes", QVariant::fromValue(quint64(3)));
    EXPECT_FALSE(store.synchronize().ok());
    EXPECT_EQ(environment.logLinesContaining("could not be written").size(), 1);
    EXPECT_EQ(environment.logLines().size(), 1);
    ASSERT_TRUE(blocker.remove());
    EXPECT_TRUE(store.synchronize().ok());
    EXPECT_EQ(environment.logLinesContaining("are written to").size(), 1);
    EXPECT_EQ(environment.logLines().size(), 2);
    EXPECT_EQ(UserDefaults(path).objectForKey("totalInBytes").toULongLong(), quint64(5) << 33);
}

} // namespace

} // namespace flowtally
