#include "LogViewer.h"

#include "EnvironmentVariables.h"
#include "ProcessProbe.h"
#include "ScriptFolder.h"
#include "TestEnvironment.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace flowtally {

namespace {

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The viewer is found on the search path and left running in a session of
// its own, with nothing of ours but the three standard streams; it is
// reaped when it ends. Without one, the error is logged.
TEST(LogViewer, StartsTheViewerAndLeavesItRunning) {
    ScriptFolder scripts;
    TestEnvironment environment;
    EnvironmentVariables path({"PATH"});
    EnvironmentVariables::set("PATH", QFile::encodeName(scripts.path()));

    const Status none = launchLogViewer();
    EXPECT_FALSE(none.ok());
    EXPECT_EQ(environment.logLines(), QStringList{none.message()});

    const QString pidFile = scripts.filePath("pid"), fds = scripts.filePath("fds"),
                  go = scripts.filePath("go");
    // It waits to be let go, ten seconds at most.
    scripts.write("ksystemlog",
                  QStringLiteral("PATH=/usr/bin:/bin; ls /proc/self/fd > '%1'; echo $$ > '%2'\n"
                                 "i=0; while [ ! -e '%3' ] && [ $i -lt 200 ]; do sleep 0.05; "
                                 "i=$((i+1)); done")
                      .arg(fds, pidFile, go));
    const int inherited = ::open("/dev/null", O_RDONLY);
    const Status started = launchLogViewer();
    ::close(inherited);
    EXPECT_TRUE(started.ok()) << started.message().toStdString();
    const pid_t viewer = waitForPidFile(pidFile);
    ASSERT_GT(viewer, 0);
    EXPECT_EQ(::kill(viewer, 0), 0) << "the launch waited for the viewer";
    EXPECT_EQ(::getsid(viewer), viewer);
    EXPECT_EQ(contents(fds), "0\n1\n2\n3\n"); // the fourth is the folder ls reads
    QFile(go).open(QIODevice::WriteOnly);
    EXPECT_TRUE(waitUntilReaped(viewer));
}

} // namespace

} // namespace flowtally
