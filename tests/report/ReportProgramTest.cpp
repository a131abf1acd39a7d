// The flowtally-report program as a status bar or a script runs it: its
// exit codes, one line on standard error for each failure, and its folders
// taken from XDG_CONFIG_HOME and XDG_DATA_HOME.
#include "tests/report/ReportFixture.h"
#include "tests/support/CommandRun.h"
#include "tests/support/EnvironmentVariables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

class ReportProgramTest : public ::testing::Test {
  protected:
    ReportProgramTest() {
        // An empty data folder: no history.
        EnvironmentVariables::set("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath("config")));
        EnvironmentVariables::set("XDG_DATA_HOME", QFile::encodeName(folder.filePath("data")));
        EnvironmentVariables::set("TZ", "Europe/Berlin");
        EnvironmentVariables::set("LC_ALL", "C.UTF-8");
    }

    QString settingsPath() const { return folder.filePath("config/flowtally/defaults.plist"); }

    // Totals that read the same at any moment: no cycle.
    void writeSettings(quint64 in) {
        const QDateTime reset = QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC);
        ASSERT_TRUE(QDir().mkpath(folder.filePath("config/flowtally")));
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xmlData({{"home", record("home", reset, in, 2 * kGiB, 250.0 * kGiB)}}));
    }

    EnvironmentVariables variables{{"XDG_CONFIG_HOME", "XDG_DATA_HOME", "TZ", "LC_ALL"}};
    QTemporaryDir folder;
};

// One row per channel: the report on standard output (a note the byte
// formatter logs above 10T kept to itself), in ASCII where the locale's
// characters are not UTF-8; a failure, a report that cannot be written to
// a full disk too, as one line on standard error with its exit code; the
// folders from XDG_CONFIG_HOME and XDG_DATA_HOME. Every
// failure and its sentence: ReportRunTest, in-process.
TEST_F(ReportProgramTest, OutputErrorAndExitCode) {
    const struct {
        const char *what;
        const char *locale;
        QStringList arguments;
        quint64 in; // 0: no settings file
        int exitCode;
        QString output;
        QString error;
        bool toFullDisk = false; // standard output on /dev/full
    } cases[] = {
        // clang-format off
        {"a report of many bytes", "C.UTF-8", {"--oneline"}, 20 * 1024 * kGiB, kReportWritten,
         "20.0T ↓ 2.0G ↑ · 20.0T of 250G (8193%, over the limit)\n", ""},
        {"the C locale", "C", {"--oneline"}, 10 * kGiB, kReportWritten,
         "10.0G in 2.0G out | 12.0G of 250G (5%)\n", ""},
        // A status bar shows the line; the reason goes to standard error.
        {"nothing yet, one line", "C.UTF-8", {"--oneline"}, 0, kReportWritten,
         "Flowtally: nothing counted yet\n",
         "flowtally-report: nothing to report yet: there is no settings file at " + settingsPath() +
             "\n"},
        {"no history for a table", "C.UTF-8", {"--days", "7"}, 10 * kGiB, kNothingToReport, "",
         "flowtally-report: nothing to report yet: there is no traffic history at " +
             folder.filePath("data/flowtally/history.sqlite3") + "\n"},
        {"a report that cannot be written", "C.UTF-8", {"--json"}, 10 * kGiB, kCannotRead, "",
         "flowtally-report: cannot write the report: No space left on device\n", true},
        // clang-format on
    };
    for (const auto &c : cases) {
        QFile::remove(settingsPath());
        if (c.in != 0)
            writeSettings(c.in);
        EnvironmentVariables::set("LC_ALL", c.locale);
        const QString program = helperToolPath("flowtally-report");
        const CommandResult result =
            c.toFullDisk
                ? runCommand("/bin/sh", QStringList{"-c", R"(exec "$0" "$@" >/dev/full)", program} +
                                            c.arguments)
                : runCommand(program, c.arguments);
        EXPECT_TRUE(result.finished) << c.what;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.what;
        EXPECT_EQ(result.output, c.output) << c.what;
        EXPECT_EQ(result.error, c.error) << c.what;
    }
}

} // namespace

} // namespace flowtally
