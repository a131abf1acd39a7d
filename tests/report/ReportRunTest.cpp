// flowtally-report run in-process on a known settings file and history, in
// Berlin at a fixed moment: the exact output of every format, every failure
// with its exit code and its sentence, the files left as they were, and
// runs while Flowtally writes both files.
#include "tests/report/ReportFixture.h"
#include "tests/support/PlantedFiles.h"

#include <QFile>
#include <QJsonObject>
#include <QRegularExpression>

#include <atomic>
#include <thread>

#include <sys/stat.h>

namespace flowtally {

namespace {

class ReportRunTest : public ReportFixture {};

TEST_F(ReportRunTest, TheFiguresAndTablesAsText) {
    EXPECT_EQ(output({}).toStdString(), R"(6A1F0E52-0000-4000-8000-00000000A002
  source     SNMP
  since      2024-01-20 09:30
  received   300.00M
  sent       20.00M
  total      320.00M
  limit      No limit
  projected  212.84M in 30 days
  cycle      2024-02-29 to 2024-03-30, 26 days left
  in cycle   0.00B (the totals above are from before it)
  projected  0.00B by the cycle's end
  expected   not enough data yet

Home router (6A1F0E52-0000-4000-8000-00000000A001)
  source     UPnP
  since      2024-02-14 00:00
  received   10.00G
  sent       2.00G
  total      12.00G
  free hours 2.00G, 02:00 to 08:00
  billed     10.00G
  limit      8G, 125.0% used: over the limit
  projected  17.56G in 30 days
  cycle      2024-02-14 to 2024-03-13, 9 days left
  projected  14.15G billed by the cycle's end
  expected   12.89G by 14 Mar

6A1F0E52-0000-4000-8000-00000000A003
  source     not known
  since      not set yet
  received   0.00B
  sent       0.00B
  total      0.00B
  limit      1G, 0.0% used
  projected  — in 30 days
)");
    // The tables of days and months, of a network asked for by its name.
    EXPECT_EQ(output({"--days", "3", "--months=3", "--network", "home ROUTER"}).toStdString(),
              R"(Home router (6A1F0E52-0000-4000-8000-00000000A001)
  day           received        sent       total        free
  2024-03-03       2.00G     500.00M       2.49G       0.00B
  2024-03-04       3.50G      12.00M       3.51G       2.00G
  2024-03-05     512.00M      12.00M       0.51G       0.00B

  month         received        sent       total        free
  2024-01          3.00G     300.00M       3.29G       0.00B
  2024-02          6.00G       1.10G       7.10G       0.00B
  2024-03          6.00G       0.51G       6.51G       2.00G
)");
    // Every day of the span, those without traffic too.
    EXPECT_EQ(output({"--days=2", "--months=1", "--network", kOffice}).toStdString(),
              R"(6A1F0E52-0000-4000-8000-00000000A002
  day           received        sent       total
  2024-03-04       0.00B       0.00B       0.00B
  2024-03-05       0.00B       0.00B       0.00B

  no traffic in the history for this month
)");
}

TEST_F(ReportRunTest, JsonInItsVersionedLayout) {
    const QByteArray bytes = output({"--json", "--days", "2", "--months", "1"});
    // One line, for a reader that takes a line at a time.
    EXPECT_EQ(bytes.indexOf('\n'), bytes.size() - 1);
    const char *none = R"({"in": 0, "out": 0, "total": 0})";
    const QString nothing =
        QStringLiteral(R"("in": 0, "out": 0, "total": 0, "free": %1, "billed": 0)").arg(none);
    EXPECT_EQ(indented(bytes), indented(QStringLiteral(R"({
  "version": 1,
  "now": "2024-03-05T12:00:00+01:00",
  "networks": [
    {"id": "6A1F0E52-0000-4000-8000-00000000A002",
     "name": "6A1F0E52-0000-4000-8000-00000000A002",
     "source": "router",
     "resetDate": "2024-01-20T09:30:00+01:00",
     "in": 314572800, "out": 20971520, "total": 335544320,
     "free": %1, "billed": 335544320,
     "thirtyDayProjection": 223179594,
     "limit": null, "limitShare": null, "overLimit": false,
     "freeHours": [],
     "cycle": {"startDay": 31, "start": "2024-02-29T00:00:00+01:00",
               "end": "2024-03-31T00:00:00+01:00", "daysLeft": 26,
               %2, "projectedTotal": 0, "projectedBilled": 0},
     "expected": {"end": "2024-03-31T00:00:00+01:00", "billed": null},
     "days": [{"date": "2024-03-04", %2}, {"date": "2024-03-05", %2}],
     "months": []},
    {"id": "6A1F0E52-0000-4000-8000-00000000A001",
     "name": "Home router",
     "source": "upnp",
     "resetDate": "2024-02-14T00:00:00+01:00",
     "in": 10737418240, "out": 2147483648, "total": 12884901888,
     "free": {"in": 2147483648, "out": 0, "total": 2147483648}, "billed": 10737418240,
     "thirtyDayProjection": 18855953982,
     "limit": 8589934592, "limitShare": 1.25, "overLimit": true,
     "freeHours": [{"start": "02:00", "end": "08:00"}],
     "cycle": {"startDay": 14, "start": "2024-02-14T00:00:00+01:00",
               "end": "2024-03-14T00:00:00+01:00", "daysLeft": 9,
               "in": 10737418240, "out": 2147483648, "total": 12884901888,
               "free": {"in": 2147483648, "out": 0, "total": 2147483648}, "billed": 10737418240,
               "projectedTotal": 18227422183, "projectedBilled": 15189518486},
     "expected": {"end": "2024-03-14T00:00:00+01:00", "billed": 13841727488},
     "days": [{"date": "2024-03-04", "in": 3758096384, "out": 12582912, "total": 3770679296,
               "free": {"in": 2147483648, "out": 0, "total": 2147483648}, "billed": 1623195648},
              {"date": "2024-03-05", "in": 536870912, "out": 12582912, "total": 549453824,
               "free": %1, "billed": 549453824}],
     "months": [{"month": "2024-03", "in": 6442450944, "out": 549453824, "total": 6991904768,
                 "free": {"in": 2147483648, "out": 0, "total": 2147483648},
                 "billed": 4844421120}]},
    {"id": "6A1F0E52-0000-4000-8000-00000000A003",
     "name": "6A1F0E52-0000-4000-8000-00000000A003",
     "source": null,
     "resetDate": null,
     %2,
     "thirtyDayProjection": null,
     "limit": 1073741824, "limitShare": 0, "overLimit": false,
     "freeHours": [],
     "cycle": null,
     "expected": null,
     "days": [{"date": "2024-03-04", %2}, {"date": "2024-03-05", %2}],
     "months": []}
  ]
})")
                                            .arg(none, nothing)
                                            .toUtf8()));
    // Without tables, no "days" and no "months"; in a zone that is not
    // valid, in UTC.
    const QJsonDocument plain = json(runReport({"--json", "--network", kHome}, QTimeZone()).output);
    const QJsonObject home = plain["networks"][0].toObject();
    EXPECT_FALSE(home.contains("days") || home.contains("months"));
    EXPECT_EQ(plain["now"].toString().toStdString(), "2024-03-05T11:00:00+00:00");
    EXPECT_EQ(home["cycle"]["start"].toString().toStdString(), "2024-02-14T00:00:00+00:00");
}

TEST_F(ReportRunTest, HelpAndVersion) {
    EXPECT_TRUE(output({"--help"}).startsWith("Usage: flowtally-report "));
    const QString version = QString::fromUtf8(output({"--version"}));
    EXPECT_TRUE(
        QRegularExpression("^flowtally-report \\d+(\\.\\d+)+\\n$").match(version).hasMatch())
        << version.toStdString();
}

TEST_F(ReportRunTest, CsvForSpreadsheets) {
    EXPECT_EQ(
        output({"--csv"}).toStdString(),
        "id,name,reset_date,in,out,total,thirty_day_projection,limit,cycle_start,cycle_end,"
        "days_left,cycle_in,cycle_out,cycle_total,cycle_projected_total,free_in,free_out,"
        "free_total,billed,limit_share,over_limit,cycle_free_total,cycle_billed,"
        "cycle_projected_billed,expected_end,expected_billed,source\n"
        "6A1F0E52-0000-4000-8000-00000000A002,6A1F0E52-0000-4000-8000-00000000A002,"
        "2024-01-20T09:30:00+01:00,314572800,20971520,335544320,223179594,,"
        "2024-02-29T00:00:00+01:00,2024-03-31T00:00:00+01:00,26,0,0,0,0,0,0,0,335544320,,,0,0,0,"
        "2024-03-31T00:00:00+01:00,,router\n"
        "6A1F0E52-0000-4000-8000-00000000A001,Home router,2024-02-14T00:00:00+01:00,10737418240,"
        "2147483648,12884901888,18855953982,8589934592,2024-02-14T00:00:00+01:00,"
        "2024-03-14T00:00:00+01:00,9,10737418240,2147483648,12884901888,18227422183,2147483648,0,"
        "2147483648,10737418240,1.25,1,2147483648,10737418240,15189518486,"
        "2024-03-14T00:00:00+01:00,13841727488,upnp\n"
        "6A1F0E52-0000-4000-8000-00000000A003,6A1F0E52-0000-4000-8000-00000000A003,,0,0,0,,"
        "1073741824,,,,,,,,0,0,0,0,0,0,,,,,,\n");
    EXPECT_EQ(output({"--csv", "--months", "1", "--days", "1", "--network", kHome}).toStdString(),
              "id,name,period,start,in,out,total,free\n"
              "6A1F0E52-0000-4000-8000-00000000A001,Home router,day,2024-03-05,536870912,"
              "12582912,549453824,0\n"
              "6A1F0E52-0000-4000-8000-00000000A001,Home router,month,2024-03-01,6442450944,"
              "549453824,6991904768,2147483648\n");
}

TEST_F(ReportRunTest, TheReportGoesToAFileWhole) {
    const QString folder = QFileInfo(historyPath()).absolutePath();
    const QString file = folder + "/flowtally.prom";
    ASSERT_TRUE(Environment::current().writeFileAtomically(file, "the last report\n").ok());
    const QByteArray expected = output({"--prometheus"});
    const ReportOutcome outcome = run({"--prometheus", "--output", file});
    EXPECT_EQ(outcome.exitCode, kReportWritten);
    EXPECT_EQ(outcome.output, "");
    EXPECT_EQ(readFile(file), expected);
    // Readable by others, as node_exporter's collector needs: 0666 less the
    // umask. No temporary file is left beside it.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(file), int(0666 & ~mask));
    EXPECT_EQ(QDir(folder).entryList({"flowtally.prom*"}), QStringList{"flowtally.prom"});

    // One line, of the network metered last.
    EXPECT_EQ(run({"--oneline", "--output", file}).exitCode, kReportWritten);
    EXPECT_EQ(readFile(file), "0.0B ↓ 0.0B ↑ · No limit · until the 31st\n");
    // Nothing to report: the line says so, in the file too.
    QFile::remove(settingsPath());
    EXPECT_EQ(run({"--oneline", "--output", file}).exitCode, kReportWritten);
    EXPECT_EQ(readFile(file), "Flowtally: nothing counted yet\n");
}

TEST_F(ReportRunTest, NamesFromOutsideCannotReachTheTerminalOrTheSpreadsheet) {
    // A router names itself: with a formula, a screen-clearing escape
    // sequence, a comma, more than ASCII and DEL.
    const QString name = QStringLiteral("=HYPERLINK(\"x\")\x1b[2J, Caf\u00e9 \u2192 5G\x7f");
    ASSERT_TRUE(nameHome(name));
    const auto line = [&](const QStringList &arguments, int index) {
        return QString::fromUtf8(output(arguments)).split('\n').value(index);
    };
    EXPECT_EQ(line({"--network", kHome}, 0),
              "=HYPERLINK(\"x\")\uFFFD[2J, Caf\u00e9 \u2192 5G\uFFFD (" + kHome + ")");
    EXPECT_EQ(line({"--network", kHome, "--csv"}, 1).section(',', 0, 2),
              kHome + ",\"'=HYPERLINK(\"\"x\"\")\uFFFD[2J, Caf\u00e9 \u2192 5G\uFFFD\"");
    EXPECT_EQ(json(output({"--network", kHome, "--json"}))["networks"][0]["name"].toString(), name);
    // In ASCII, for a terminal whose character set is not UTF-8: every
    // character of the report.
    const QString ascii = QString::fromUtf8(runReport({}, berlin, Characters::Ascii).output);
    EXPECT_NE(ascii.indexOf("=HYPERLINK(\"x\")?[2J, Caf? ? 5G? (" + kHome + ")\n"), -1)
        << ascii.toStdString();
    EXPECT_NE(ascii.indexOf("  projected  - in 30 days\n"), -1) << ascii.toStdString();
    for (const QChar c : ascii)
        ASSERT_LT(c.unicode(), 0x80) << ascii.toStdString();
    // Every other start a spreadsheet reads as a formula.
    for (const QString formula : {"+1", "-1", "@A1"}) {
        ASSERT_TRUE(nameHome(formula));
        EXPECT_EQ(line({"--network", kHome, "--csv"}, 1).section(',', 1, 1), "'" + formula);
    }
}

TEST_F(ReportRunTest, FailuresWithTheirExitCodesLeaveTheFilesAsTheyWere) {
    const QString settings = settingsPath();
    const QString history = historyPath();
    const QString dataFolder = QFileInfo(history).absolutePath();
    const QString missing = dataFolder + "/missing";
    enum class Files { Known, NoSettings, NoRecords, SettingsFolder, NoHistory };
    const QByteArray knownHistory = readFile(history);
    // The file's header and layout whole, every page after them overwritten.
    constexpr qsizetype kPageSize = 4096;
    const QByteArray garbageHistory = "Flowtally 0.1 totals\n";
    QByteArray damagedHistory = knownHistory;
    ASSERT_GT(damagedHistory.size(), kPageSize);
    damagedHistory.replace(kPageSize, damagedHistory.size() - kPageSize,
                           QByteArray(damagedHistory.size() - kPageSize, '\xa5'));
    // A row for each way a run fails or goes on without the history; the
    // sentence for every other history file that cannot be used: HistoryFileTest.
    // clang-format off
    const struct {
        const char *what;
        QStringList arguments;
        Files files;
        const char *settingsBytes; // instead of the known settings
        const QByteArray *historyBytes; // instead of the known history
        const char *historySql;    // run on the history by a connection held through the run
        int exitCode;
        QStringList messages;
    } cases[] = {
        {"no settings file", {}, Files::NoSettings, nullptr, nullptr, nullptr, kNothingToReport,
         {"nothing to report yet: there is no settings file at " + settings}},
        {"no record", {"--json"}, Files::NoRecords, nullptr, nullptr, nullptr, kNothingToReport,
         {"nothing to report yet: the settings file " + settings + " holds no network's totals"}},
        {"no such network", {"--network", "Cafe"}, Files::Known, nullptr, nullptr, nullptr, kNothingToReport,
         {"no network in " + settings + " has the identifier or name 'Cafe'"}},
        {"no history, no table", {"--oneline"}, Files::NoHistory, nullptr, nullptr, nullptr,
         kReportWritten, {}},
        {"settings that are a folder", {}, Files::SettingsFolder, nullptr, nullptr, nullptr, kCannotRead,
         {"the settings file " + settings + " is not a file"}},
        {"empty settings", {}, Files::Known, "", nullptr, nullptr, kCannotRead,
         {"the settings file " + settings + " is empty"}},
        // Which files are property lists with a dictionary: PropertyList's tests.
        {"settings of another kind", {"--oneline"}, Files::Known,
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>",
         nullptr, nullptr, kCannotRead,
         {"the settings file " + settings + " is damaged: it is not a property list that Flowtally reads"}},
        {"history with damaged pages", {"--months", "2", "--json"}, Files::Known, nullptr, &damagedHistory,
         nullptr, kCannotRead, {"the traffic history " + history + " is damaged"}},
        {"history with damaged pages, no table", {"--network", kHome, "--oneline"}, Files::Known, nullptr,
         &damagedHistory, nullptr, kReportWritten,
         {"the traffic history " + history + " is damaged; the networks are shown by their identifiers"}},
        // Without tables the history gives only names.
        {"history of garbage, a network by name", {"--network", "Home router"}, Files::Known, nullptr,
         &garbageHistory, nullptr, kNothingToReport,
         {history + " is not a traffic history: it is not an SQLite database, or a damaged one"
                    "; the networks are shown by their identifiers",
          "no network in " + settings + " has the identifier or name 'Home router'"}},
        // Exclusive locking, in a transaction that has written.
        {"history another program keeps to itself", {"--days", "3"}, Files::Known, nullptr, nullptr,
         "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; INSERT INTO networks (service) VALUES ('held')",
         kCannotRead, {"the traffic history " + history + " is locked by another program"}},
        // Flowtally in the middle of a transaction: the report reads what was committed.
        {"history in Flowtally's transaction", {"--json", "--days", "3"}, Files::Known, nullptr, nullptr,
         "BEGIN IMMEDIATE; UPDATE days SET bytes_in = bytes_in + 1; UPDATE networks SET name = 'renamed'",
         kReportWritten, {}},
        {"a usage error", {"--days"}, Files::Known, nullptr, nullptr, nullptr, kUsageError,
         {"--days needs a value (see flowtally-report --help)"}},
        {"an output file in no folder", {"--json", "--output", missing + "/report.json"}, Files::Known,
         nullptr, nullptr, nullptr, kCannotRead,
         {"cannot write the report to " + missing + "/report.json: cannot open the folder " + missing +
          ": No such file or directory"}},
        {"an output file that is a folder", {"--json", "--output", dataFolder}, Files::Known, nullptr,
         nullptr, nullptr, kCannotRead, {"cannot write the report to " + dataFolder + ": cannot replace " + dataFolder + ": Is a directory"}},
    };
    // clang-format on
    for (const auto &c : cases) {
        QFile::remove(settings);
        QDir().rmdir(settings);
        if (c.files == Files::SettingsFolder)
            ASSERT_TRUE(QDir().mkpath(settings));
        else if (c.files != Files::NoSettings)
            // Totals in a dictionary that names no service are no record.
            writeSettings(c.files == Files::NoRecords
                              ? QVariantMap{{SettingsKey::DisplayLimitGB, 250.0},
                                            {"x", QVariantMap{{RecordKey::totalInBytes, 1}}}}
                              : knownSettings());
        if (c.settingsBytes)
            writeSettingsBytes(c.settingsBytes);
        for (const char *ending : {"", "-wal", "-shm"})
            QFile::remove(history + QLatin1String(ending));
        if (c.files != Files::NoHistory) {
            ASSERT_TRUE(makeFile(history, c.historyBytes ? *c.historyBytes : knownHistory, 0644));
        }
        const auto holder = c.historySql ? historyConnection(c.historySql) : nullptr;
        const QByteArray settingsBefore = readFile(settings);
        const QByteArray historyBefore = readFile(history);
        const QStringList settingsFolder = QDir(QFileInfo(settings).absolutePath()).entryList();

        const ReportOutcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(lines(outcome.messages), lines(c.messages)) << c.what;
        EXPECT_EQ(outcome.output.isEmpty(), c.exitCode != kReportWritten) << c.what;
        EXPECT_EQ(readFile(settings), settingsBefore) << c.what;
        EXPECT_EQ(readFile(history), historyBefore) << c.what;
        EXPECT_EQ(QFileInfo::exists(settings), c.files != Files::NoSettings) << c.what;
        EXPECT_EQ(QFileInfo::exists(history), c.files != Files::NoHistory) << c.what;
        EXPECT_EQ(QDir(QFileInfo(settings).absolutePath()).entryList(), settingsFolder) << c.what;
    }
}

TEST_F(ReportRunTest, ReadsWhileFlowtallyWrites) {
    // Flowtally adding to the history and replacing the settings file over
    // and over, each record with out = 2 × in.
    const QDateTime homeReset = utc("2024-02-13T23:00:00Z");
    const auto settings = [&](quint64 in) {
        QVariantMap settings = knownSettings();
        settings.insert(kHome, record(kHome, homeReset, in, 2 * in, 250.0 * kGiB, 14));
        return xmlData(settings);
    };
    writeSettingsBytes(settings(0));
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::thread flowtally([&] {
        std::unique_ptr<HistoryStore> store;
        if (!HistoryStore::open(historyPath(), {.zone = berlin}, &store).ok())
            return;
        for (quint64 i = 1; i <= 100000 && !stop; ++i) {
            if (!store->add({{kHome, now.addSecs(-60), kMiB, 2 * kMiB, homeReset}}).ok() ||
                !Environment::current()
                     .writeFileAtomically(settingsPath(), settings(i * kMiB))
                     .ok())
                return;
            ++writes;
        }
    });

    qint64 previousToday = 0;
    for (int run = 0; run < 20 || (writes < 3 && run < 200); ++run) {
        const QByteArray bytes = output({"--json", "--days", "1", "--network", kHome});
        const QJsonObject home = json(bytes)["networks"][0].toObject();
        EXPECT_EQ(home["out"].toInteger(), 2 * home["in"].toInteger()) << run;
        const qint64 today = home["days"][0]["in"].toInteger();
        EXPECT_GE(today, previousToday) << run;
        previousToday = today;
    }
    stop = true;
    flowtally.join();
    EXPECT_GE(writes, 3);
}

} // namespace

} // namespace flowtally
