// Reading the records of Flowtally's settings file: which dictionaries are
// records, and what values of the wrong type or out of range read as.
#include "StoredSettings.h"
#include "../../app/SettingsKeys.h"
#include "PropertyList.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace flowtally {

namespace {

constexpr quint64 kMost = std::numeric_limits<quint64>::max();

class StoredSettingsTest : public ::testing::Test {
  protected:
    std::optional<StoredSettings> read(const QVariantMap &settings) {
        QFile file(folder.filePath(QStringLiteral("defaults.plist")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xmlData(settings));
        file.close();
        std::optional<StoredSettings> read;
        const Status status = readStoredSettings(file.fileName(), &read);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return read;
    }

    QTemporaryDir folder;
};

TEST_F(StoredSettingsTest, ValuesOfTheWrongTypeOrOutOfRangeReadAsTheDefaults) {
    const QDateTime reset = QDateTime::fromSecsSinceEpoch(1707865200, Qt::UTC);
    const struct {
        const char *what;
        QString key;
        QVariant value;
        NetworkRecord expected;
    } cases[] = {
        {"a reset date", RecordKey::resetDate, reset, {.service = "n", .resetDate = reset}},
        {"the epoch: not set",
         RecordKey::resetDate,
         QDateTime::fromSecsSinceEpoch(0, Qt::UTC),
         {.service = "n"}},
        {"a reset date as text",
         RecordKey::resetDate,
         QStringLiteral("2024-02-14"),
         {.service = "n"}},
        {"bytes as text",
         RecordKey::totalInBytes,
         QStringLiteral("123"),
         {.service = "n", .in = 123}},
        {"bytes as a real", RecordKey::totalOutBytes, 1e30, {.service = "n", .out = kMost}},
        // -1 in the file reads as 2^64 - 1.
        {"negative bytes", RecordKey::totalInBytes, qint64(-1), {.service = "n", .in = kMost}},
        {"a limit", RecordKey::gbpmLimit, 5e9, {.service = "n", .limit = 5e9}},
        {"a negative limit", RecordKey::gbpmLimit, -5e9, {.service = "n"}},
        {"an infinite limit",
         RecordKey::gbpmLimit,
         std::numeric_limits<double>::infinity(),
         {.service = "n"}},
        {"a limit that is not a number",
         RecordKey::gbpmLimit,
         std::numeric_limits<double>::quiet_NaN(),
         {.service = "n"}},
        {"start day 31",
         RecordKey::cycleStartDay,
         quint64(31),
         {.service = "n", .cycleStartDay = 31}},
        {"start day 32", RecordKey::cycleStartDay, quint64(32), {.service = "n"}},
        // Its low 32 bits are 5.
        {"a start day that would wrap",
         RecordKey::cycleStartDay,
         (quint64(1) << 32) + 5,
         {.service = "n"}},
        {"a negative start day", RecordKey::cycleStartDay, qint64(-14), {.service = "n"}},
        {"a start day as text",
         RecordKey::cycleStartDay,
         QStringLiteral("14"),
         {.service = "n", .cycleStartDay = 14}},
    };
    for (const auto &c : cases) {
        QVariantMap entries{{RecordKey::PrimaryService, QStringLiteral("n")}, {c.key, c.value}};
        const std::optional<StoredSettings> settings = read({{QStringLiteral("n"), entries}});
        ASSERT_TRUE(settings) << c.what;
        ASSERT_EQ(settings->records.size(), 1) << c.what;
        EXPECT_EQ(settings->records.first(), c.expected) << c.what;
    }
}

TEST_F(StoredSettingsTest, RecordsAreTheDictionariesWithAPrimaryServiceAndTheLastReadingNamesOne) {
    const std::optional<StoredSettings> settings = read({
        {QStringLiteral("b"), QVariantMap{{RecordKey::PrimaryService, QStringLiteral("b")}}},
        {QStringLiteral("a"), QVariantMap{{RecordKey::PrimaryService, QStringLiteral("a")},
                                          {RecordKey::totalInBytes, quint64(7)}}},
        {QStringLiteral("no record"), QVariantMap{{RecordKey::totalInBytes, quint64(1)}}},
        {QStringLiteral("a list"), QVariantList{QStringLiteral("PrimaryService")}},
        {SettingsKey::communityPassword, QStringLiteral("secret")},
        {SettingsKey::LastReading, QVariantMap{{LastReadingKey::service, QStringLiteral("b")}}},
    });
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->records,
              (QList<NetworkRecord>{{.service = "a", .in = 7}, {.service = "b"}}));
    EXPECT_EQ(settings->lastMetered, QStringLiteral("b"));
}

} // namespace

} // namespace flowtally
