// Reading the records of Flowtally's settings file: which dictionaries are
// records, and which network was metered last.
#include "report/StoredSettings.h"

#include "platform/system/PropertyList.h"
#include "record/DistantPast.h"
#include "record/SettingsKeys.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

NetworkRecord expected(const char *service, quint64 in) {
    NetworkRecord record;
    record.service = QString::fromLatin1(service);
    record.resetDate = distantPast();
    record.totalIn = in;
    return record;
}

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
    EXPECT_EQ(settings->records, (QList<NetworkRecord>{expected("a", 7), expected("b", 0)}));
    EXPECT_EQ(settings->lastMetered, QStringLiteral("b"));
}

} // namespace

} // namespace flowtally
