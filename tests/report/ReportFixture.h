#pragma once

// A world for flowtally-report: a test environment (its own folders and a
// fixed clock), a settings file and a traffic history written the way
// Flowtally writes them, and the report run in-process in Berlin's time.
// Each test begins with the known settings and history.
#include "history/HistoryStore.h"
#include "history/SqliteDatabase.h"
#include "platform/system/PropertyList.h"
#include "platform/system/UserDefaults.h"
#include "record/SettingsKeys.h"
#include "report/ReportRun.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/NetworkScene.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <memory>

namespace flowtally {

// Two networks as the history's tests know them (kHome, kOffice), and one more.
inline const QString kHotspot = QStringLiteral("6A1F0E52-0000-4000-8000-00000000A003");
inline constexpr quint64 kMiB = quint64(1) << 20;
inline constexpr quint64 kGiB = quint64(1) << 30;

// A network's record as Flowtally stores it.
inline QVariantMap record(const QString &service, const QDateTime &resetDate, quint64 in,
                          quint64 out, double limit = 0,
                          std::optional<quint64> cycleStartDay = {}) {
    QVariantMap entries{{RecordKey::PrimaryService, service},
                        {RecordKey::resetDate, resetDate},
                        {RecordKey::totalInBytes, in},
                        {RecordKey::totalOutBytes, out},
                        {RecordKey::prevInVal, quint64(123456)},
                        {RecordKey::prevOutVal, quint64(654321)},
                        {RecordKey::limitUnitsScale, kGiB},
                        {RecordKey::gbpmLimit, limit},
                        {RecordKey::prevValSource, QStringLiteral("local")},
                        {RecordKey::prevUptime, 0.0}};
    if (cycleStartDay)
        entries.insert(RecordKey::cycleStartDay, *cycleStartDay);
    return entries;
}

// Messages as lines a failed check prints plainly.
inline std::string lines(const QStringList &messages) {
    return messages.join('\n').toStdString();
}

inline QJsonDocument json(const QByteArray &bytes) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    return document;
}

// A JSON document with its keys in order, a line each, for a comparison
// that prints what differs.
inline std::string indented(const QByteArray &bytes) {
    return json(bytes).toJson(QJsonDocument::Indented).toStdString();
}

class ReportFixture : public ::testing::Test {
  protected:
    // Tuesday 5 March 2024, 12:00 in Berlin (CET, UTC+1).
    const QDateTime now = utc("2024-03-05T11:00:00Z");
    const QTimeZone berlin = zone("Europe/Berlin");

    ReportFixture() {
        environment.setClock([this] { return now; });
    }

    QString settingsPath() const { return UserDefaults::standardPath(); }
    QString historyPath() const { return HistoryStore::standardPath(); }

    void writeSettings(const QVariantMap &settings) { writeSettingsBytes(xmlData(settings)); }
    void writeSettingsBytes(const QByteArray &bytes) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(settingsPath()).absolutePath()));
        const Status written = Environment::current().writeFileAtomically(settingsPath(), bytes);
        ASSERT_TRUE(written.ok()) << written.message().toStdString();
    }

    // Three networks: home over its limit, free hours from 02:00 to 08:00
    // that counted 2G of its 12G, and a cycle that began at its reset, read
    // last from its router over UPnP; the office, metered last, whose cycle
    // began after its reset (Flowtally has not run since), read over SNMP; a
    // hotspot never reset, with a limit it has not used, from a settings file
    // that kept no source. The
    // settings of the window, the SNMP password among them, beside them.
    QVariantMap knownSettings() const {
        QVariantMap home =
            record(kHome, utc("2024-02-13T23:00:00Z"), 10 * kGiB, 2 * kGiB, 8.0 * kGiB, 14);
        home.insert(RecordKey::freeHours,
                    QVariantList{QVariantMap{{FreeWindowKey::start, quint64(120)},
                                             {FreeWindowKey::end, quint64(480)}}});
        home.insert(RecordKey::freeInBytes, 2 * kGiB);
        home.insert(RecordKey::prevValSource, QStringLiteral("upnp"));
        QVariantMap office =
            record(kOffice, utc("2024-01-20T08:30:00Z"), 300 * kMiB, 20 * kMiB, 0, 31);
        office.insert(RecordKey::prevValSource, QStringLiteral("router"));
        QVariantMap hotspot =
            record(kHotspot, QDateTime::fromSecsSinceEpoch(0, Qt::UTC), 0, 0, 1.0 * kGiB);
        hotspot.remove(RecordKey::prevValSource);
        return {
            {kHome, home},
            {kOffice, office},
            {kHotspot, hotspot},
            {SettingsKey::DisplayLimitGB, 250.0},
            {SettingsKey::communityPassword, QStringLiteral("s3cret-community")},
            {SettingsKey::AirportIP, QStringLiteral("192.0.2.1")},
            {SettingsKey::HideHelp, true},
            {SettingsKey::MainWindowGeometry, QStringLiteral("10 10 400 300")},
            {SettingsKey::LastReading,
             QVariantMap{{LastReadingKey::service, kOffice},
                         {QStringLiteral("at"), utc("2024-03-05T10:59:58Z")}}},
        };
    }

    std::unique_ptr<HistoryStore> openHistory() {
        std::unique_ptr<HistoryStore> store;
        const Status opened = HistoryStore::open(historyPath(), {.zone = berlin}, &store);
        EXPECT_TRUE(opened.ok()) << opened.message().toStdString();
        return store;
    }

    // Home named as a router names itself, in a history closed again.
    bool nameHome(const QString &name) {
        const std::unique_ptr<HistoryStore> store = openHistory();
        return store && store->nameNetwork(kHome, name).ok();
    }

    // Home's traffic on three days of March (2G of it in free hours), two of
    // February and one of January, named as the window shows it; the office
    // seen without a name.
    void writeKnownHistory() {
        std::unique_ptr<HistoryStore> store = openHistory();
        ASSERT_TRUE(store);
        const QDateTime homeReset = utc("2024-02-13T23:00:00Z");
        const Status added = store->add({
            {kHome, utc("2024-01-15T09:00:00Z"), 3 * kGiB, 300 * kMiB, {}},
            {kHome, utc("2024-02-10T18:00:00Z"), kGiB, 100 * kMiB, {}},
            {kHome, utc("2024-02-20T18:00:00Z"), 5 * kGiB, kGiB, homeReset},
            {kHome, utc("2024-03-03T20:00:00Z"), 2 * kGiB, 500 * kMiB, homeReset},
            // 04:00 in Berlin: in the free hours.
            {kHome, utc("2024-03-04T03:00:00Z"), 2 * kGiB, 0, homeReset, 2 * kGiB, 0},
            // 23:30 in Berlin: still the 4th there.
            {kHome, utc("2024-03-04T22:30:00Z"), 1536 * kMiB, 12 * kMiB, homeReset},
            {kHome, utc("2024-03-05T10:00:00Z"), 512 * kMiB, 12 * kMiB, homeReset},
            {kOffice, utc("2024-03-01T09:00:00Z"), 0, 0, {}},
        });
        ASSERT_TRUE(added.ok()) << added.message().toStdString();
        ASSERT_TRUE(store->nameNetwork(kHome, QStringLiteral("Home router")).ok());
    }

    // Another program's connection to the history that has run `sql`; it
    // holds what the SQL began until it goes.
    std::unique_ptr<SqliteDatabase> historyConnection(const char *sql) {
        auto database = std::make_unique<SqliteDatabase>(historyPath());
        Status status = database->open(SqliteDatabase::Access::ReadWrite, std::chrono::seconds(1));
        if (status.ok())
            status = database->execute(sql);
        EXPECT_TRUE(status.ok()) << sql << ": " << status.message().toStdString();
        return database;
    }

    void SetUp() override {
        writeSettings(knownSettings());
        writeKnownHistory();
    }

    ReportOutcome run(const QStringList &arguments) { return runReport(arguments, berlin); }

    // The output of a run that must succeed without a word on standard error.
    QByteArray output(const QStringList &arguments) {
        const ReportOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, kReportWritten) << arguments.join(' ').toStdString();
        EXPECT_EQ(lines(outcome.messages), "") << arguments.join(' ').toStdString();
        return outcome.output;
    }

    TestEnvironment environment;
};

} // namespace flowtally
