#include "WBLib/SynchronousTaskWrapper.h"

#include "tests/support/ProcessProbe.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>

namespace flowtally {

using Errors = std::optional<QString>;

struct SynchronousTaskWrapperTest : testing::Test {
    ScriptFolder scripts;
    TestEnvironment environment;
};

// Bare names are looked for in the working directory first, then in /usr/bin; a file that
// cannot be started logs the framed block.
TEST_F(SynchronousTaskWrapperTest, FindsAndStartsTools) {
    const QString previous = QDir::currentPath();
    QDir::setCurrent(scripts.path());
    EXPECT_TRUE(QDir().mkdir("folder"));
    for (const char *tool :
         {"flowtally-no-such-tool", "missing/printf", "folder", "/usr/bin", ""}) {
        Errors errors = "stale";
        EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {}, &errors), std::nullopt) << tool;
        EXPECT_EQ(errors, std::nullopt) << tool;
    }
    const QStringList args{"%s|", "a b", "$HOME", "*"};
    EXPECT_EQ(SynchronousTaskWrapper::execute("printf", args), QByteArray("a b|$HOME|*|"));
    scripts.write("printf", "echo \"$@\"");
    EXPECT_EQ(SynchronousTaskWrapper::execute("printf", args), QByteArray("%s| a b $HOME *\n"));
    EXPECT_TRUE(environment.logLines().isEmpty());
    QDir::setCurrent(previous);

    // A file that cannot be started.
    const QString tool = scripts.write("plain", "echo hi", false);
    Errors errors;
    EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {"-x"}, &errors), std::nullopt);
    EXPECT_EQ(errors, QString());
    const QString block =
        "\n*****\nException caught in SynchronousTaskWrapper.cpp before line 160 (in "
        "-[SynchronousTaskWrapper(privateMethods) executeTaskWithErrors:]):\n"
        "\t\"ToolLaunchFailure\"  -- \"Permission denied\" UserInfo: "
        "\"{errno = 13; path = \"%1\";}\"\n*****\n";
    EXPECT_EQ(environment.logLines(), QStringList{block.arg(tool)});
}

// Each tool runs without and with a place for standard error; a status other than 0 is logged.
TEST_F(SynchronousTaskWrapperTest, ReturnsEveryByteOfOutputAndStandardErrorAsText) {
    const std::tuple<const char *, QByteArray, Errors, int> cases[] = {
        {"exit 0", "", QString(), 0},
        {"printf 'a\\000\\377\\n'", QByteArray("a\0\377\n", 4), QString(), 0},
        {"echo out; printf 'caf\\303\\251\\n' >&2", "out\n", QStringLiteral(u"café\n"), 0},
        {"echo out; printf '\\377' >&2", "out\n", std::nullopt, 0},
        // Written after the tool has ended and standard output has closed.
        {"echo out; (exec >&-; sleep 0.2; echo late >&2) &", "out\n", "late\n", 0},
        {"echo one; echo two; exit 2", "one\ntwo\n", QString(), 2},
        {"echo one; kill -KILL $$", "one\n", QString(), 9},
    };
    const QString ended = "Task ended badly. Status: %1, arguments: (\"-f\", \"inet\")";
    for (const auto &[body, output, expectedErrors, status] : cases) {
        SCOPED_TRACE(body);
        environment.clearLog();
        const QString tool = scripts.write("tool", body);
        EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {"-f", "inet"}), output);
        Errors errors = "stale";
        EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {"-f", "inet"}, &errors), output);
        EXPECT_EQ(errors, expectedErrors);
        EXPECT_EQ(environment.logLines(),
                  status ? QStringList(2, ended.arg(status)) : QStringList());
    }
    // Mebibytes on both streams are read while the tool runs.
    const QString tool = scripts.write("tool", "head -c 3000000 /dev/zero >&2 &\n"
                                               "head -c 5000000 /dev/zero | tr '\\0' a; wait");
    Errors errors;
    EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {}, &errors), QByteArray(5000000, 'a'));
    EXPECT_EQ(errors, QString(3000000, QChar(0)));
}

TEST_F(SynchronousTaskWrapperTest, HangingToolIsKilledWithItsGroupAndGivesNothing) {
    environment.setToolTimeout(std::chrono::milliseconds(300));
    const QString killed = "Tool did not end within 300 ms and was killed: %1, arguments: (\"x\")";
    // The tool waits for its child; or the child holds standard output after the tool ended.
    for (const char *end : {"; wait", ""}) {
        SCOPED_TRACE(end);
        environment.clearLog();
        const QString pidFile = scripts.filePath(QStringLiteral("pid%1").arg(*end == 0));
        const QString tool = scripts.write(
            "tool", QStringLiteral("sleep 30 & echo $! > '%1'; echo early%2").arg(pidFile, end));
        Errors errors;
        EXPECT_EQ(SynchronousTaskWrapper::execute(tool, {"x"}, &errors), std::nullopt);
        EXPECT_EQ(errors, QString());
        EXPECT_EQ(environment.logLines(), QStringList{killed.arg(tool)});
        const pid_t child = waitForPidFile(pidFile);
        ASSERT_GT(child, 0);
        EXPECT_TRUE(waitUntilEnded(child));
    }
}

} // namespace flowtally
