// Running other programs: why one cannot start, the descriptors it gets, a
// tool's output and errors, its time limit and how its arguments are
// logged, and the log viewer left running on its own.
#include "platform/process/ProgramRun.h"
#include "platform/process/DirectToolRun.h"
#include "platform/process/LogViewer.h"

#include "tests/support/EnvironmentVariables.h"
#include "tests/support/NetworkScene.h"
#include "tests/support/ProcessProbe.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace flowtally {

namespace {

// Output that is not valid UTF-8 is absent, no output is empty text; a tool
// that cannot start gives nothing (ProgramRun says why); added variables
// replace ours of their names and leave the rest; the errors, when asked
// for, are collected and not shared with ours. Nothing is logged and no
// descriptor leaks, until a hanging tool is killed: the log gives each
// argument quoted, the community after -c masked. (That its whole group
// ends with it: SynchronousTaskWrapperTest's hanging tool.)
TEST(DirectToolRun, GivesTheDecodedOutputAndErrorsOrNothing) {
    ScriptFolder scripts;
    TestEnvironment environment;
    const QString plain = scripts.write("plain", {}, false);
    ProgramRun notExecutable, missing;
    const Status denied = notExecutable.start({.path = plain});
    EXPECT_EQ(denied.errorNumber(), EACCES);
    EXPECT_EQ(denied.code(), Status::Code::Refused);
    EXPECT_EQ(denied.message(), "cannot start the program: Permission denied");
    const Status absent =
        missing.start({.path = scripts.filePath("missing"), .errors = ErrorText::Collected});
    EXPECT_EQ(absent.errorNumber(), ENOENT);
    EXPECT_EQ(absent.code(), Status::Code::NotFound);

    // clang-format off
    const struct { const char *body; std::optional<QString> expected; } cases[] = {
        {"printf '%s|' \"$@\"; echo err >&2; exit 2", QStringLiteral("a b|$HOME|*||")},
        {"exit 0", QString()},
        {"printf 'caf\\303\\251'", QStringLiteral(u"caf\u00e9")},
        {"printf 'a\\377b'", std::nullopt},
        {"printf 'a\\303'", std::nullopt},
        // More than a pipe holds, read while the tool runs.
        {"head -c 5000000 /dev/zero | tr '\\0' a", QString(5000000, QLatin1Char('a'))},
    };
    // clang-format on
    const auto descriptors = QDir("/proc/self/fd").count();
    for (const auto &c : cases)
        EXPECT_EQ(directToolRun(scripts.write("tool", c.body), {"a b", "$HOME", "*", ""}),
                  c.expected)
            << c.body;
    // No search: a bare name is a path relative to the working directory.
    for (const QString &tool : {plain, scripts.path(), QString("true")})
        EXPECT_EQ(directToolRun(tool, {}), std::nullopt) << tool.toStdString();

    EnvironmentVariables saved({"FLOWTALLY_TEST_KEPT", "FLOWTALLY_TEST_REPLACED"});
    EnvironmentVariables::set("FLOWTALLY_TEST_KEPT", "ours");
    EnvironmentVariables::set("FLOWTALLY_TEST_REPLACED", "ours");
    const QString tool = scripts.write(
        "tool",
        "printf '%s|' \"$FLOWTALLY_TEST_KEPT\" \"$FLOWTALLY_TEST_REPLACED\" "
        "\"$FLOWTALLY_TEST_ADDED\"; printf 'no\\nanswer' >&2; head -c 100000 /dev/zero >&2");
    const ToolRunWithErrors collected =
        directToolRunWithErrors(tool, {},
                                {"FLOWTALLY_TEST_REPLACED=new=value", "FLOWTALLY_TEST_ADDED=added",
                                 "NO_VALUE", "=nameless"});
    EXPECT_EQ(collected.output, "ours|new=value|added|");
    EXPECT_EQ(collected.errors, "no\nanswer" + QString(100000, QChar(0)));
    EXPECT_EQ(directToolRun(tool, {}, {}), "ours|ours||") << "errors shared with ours";
    const ToolRunWithErrors notStarted = directToolRunWithErrors(plain, {}, {});
    EXPECT_EQ(notStarted.output, std::nullopt);
    EXPECT_EQ(notStarted.errors, "");
    EXPECT_EQ(QDir("/proc/self/fd").count(), descriptors);
    EXPECT_TRUE(environment.logLines().isEmpty());

    environment.setToolTimeout(std::chrono::milliseconds(300));
    const QString hanging = scripts.write("hanging", "echo early; sleep 30");
    EXPECT_EQ(directToolRun(hanging, {"-c", "s3cret", "a \"b\" \\"}), std::nullopt);
    EXPECT_EQ(environment.logLines().join('\n'),
              "Tool did not end within 300 ms and was killed: " + hanging +
                  ", arguments: (\"-c\", \"********\", \"a \\\"b\\\" \\\\\")");
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
    EXPECT_EQ(readFile(fds), "0\n1\n2\n3\n"); // the fourth is the folder ls reads
    QFile(go).open(QIODevice::WriteOnly);
    EXPECT_TRUE(waitUntilReaped(viewer));
}

} // namespace

} // namespace flowtally
