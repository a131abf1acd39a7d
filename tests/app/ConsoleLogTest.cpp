// The console-log button where no log viewer can be started: the person who
// pressed it is told why, in the status line.
#include "ControllerFixture.h"

#include "EnvironmentVariables.h"

#include <QPushButton>

namespace flowtally {

namespace {

using ConsoleLog = ControllerFixture;

TEST_F(ConsoleLog, AViewerThatCannotStartIsTold) {
    ScriptFolder nothing;
    EnvironmentVariables path({"PATH"});
    EnvironmentVariables::set("PATH", QFile::encodeName(nothing.path()));
    newTexts();
    outlet<QPushButton>("consoleLogPB")->click();
    const QString none = "No log viewer could be started: none of gnome-logs, ksystemlog, or a "
                         "terminal with journalctl, is installed";
    EXPECT_EQ(newTexts(), QStringList{none});
    EXPECT_EQ(environment.logLinesContaining("No log viewer").size(), 1);
}

} // namespace

} // namespace flowtally
