// The console-log button where no log viewer can be started: Flowtally's own
// log window opens, with the lines of earlier runs that the journal gives
// (this run's own, a message that is not text and lines that are no entry
// left out) before those of this run, and copies and saves what it shows.
// (Escape closes it: WindowsTest.)
#include "tests/support/controller/ControllerFixture.h"

#include "app/LogWindow.h"
#include "platform/system/SystemLog.h"
#include "tests/support/EnvironmentVariables.h"
#include "tests/support/NetworkScene.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>

#include <unistd.h>

namespace flowtally {

namespace {

using ConsoleLog = ControllerFixture;

QString journalEntry(qint64 pid, const QString &message) {
    // 2024-03-01 12:00:00 UTC
    return QStringLiteral(R"({"__REALTIME_TIMESTAMP":"1709294400000000","_PID":"%1","MESSAGE":%2})")
        .arg(pid)
        .arg(message);
}

TEST_F(ConsoleLog, WithoutAViewerFlowtallysOwnWindowShowsTheLog) {
    environment.setTimeZone(QTimeZone::utc());
    ScriptFolder scripts;
    const QString journal =
        QStringList{journalEntry(1234, R"("Router metering stopped")"),
                    journalEntry(::getpid(), R"("a line of this run")"),
                    journalEntry(1234, "[104,105]"), QStringLiteral("-- not an entry --")}
            .join('\n');
    scripts.write("journalctl",
                  QStringLiteral("PATH=/usr/bin:/bin; cat <<'END'\n%1\nEND").arg(journal));
    EnvironmentVariables path({"PATH"});
    EnvironmentVariables::set("PATH", QFile::encodeName(scripts.path()));
    systemLog("A line before the button");
    outlet<QPushButton>("consoleLogPB")->click();

    LogWindow *window = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *log = qobject_cast<LogWindow *>(widget); log && log->isVisible())
            window = log;
    ASSERT_NE(window, nullptr) << "no log window";
    const QStringList lines = window->text().split('\n');
    const qsizetype earlier = lines.indexOf("2024-03-01 12:00:00  Router metering stopped");
    const qsizetype before = lines.indexOf(QRegularExpression(".*  A line before the button"));
    const qsizetype none =
        lines.indexOf(QRegularExpression(".*  No log viewer could be started.*"));
    EXPECT_EQ(lines.first(), "Earlier runs, from the journal:");
    EXPECT_EQ(earlier, 1) << window->text().toStdString();
    EXPECT_EQ(lines.at(3), "This run:") << "the journal gave more than one line";
    EXPECT_TRUE(earlier < before && before < none) << window->text().toStdString();
    EXPECT_FALSE(window->text().contains("a line of this run"));

    window->findChild<QPushButton *>("copyLogPB")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), window->text());
    const QString saved = scripts.filePath("saved.log");
    ASSERT_TRUE(window->saveTo(saved).ok());
    EXPECT_EQ(QString::fromUtf8(readFile(saved)), window->text());

    // Asked again, the same window comes with the log read afresh.
    systemLog("A line after the first look");
    outlet<QPushButton>("consoleLogPB")->click();
    EXPECT_EQ(LogWindow::showWindow(), window);
    EXPECT_TRUE(window->text().contains("  A line after the first look"));

    // Closed and asked for again in the same turn of the loop, before the
    // closed window is deleted: a new one comes, which stays.
    window->close();
    const QPointer<LogWindow> reopened = LogWindow::showWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(reopened);
    EXPECT_TRUE(reopened->isVisible());
    reopened->close();
}

} // namespace

} // namespace flowtally
