#include "DirectToolRun.h"

#include "LogCapture.h"
#include "ProcessProbe.h"
#include "ScriptFolder.h"
#include "ToolTimeoutOverride.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace std::chrono_literals;

namespace {

struct OutputCase {
    const char *name;
    const char *body;
    std::optional<QString> expected;
};

class DirectToolRunOutput : public testing::TestWithParam<OutputCase> {};

TEST_P(DirectToolRunOutput, DecodesWhatTheToolWrote) {
    ScriptFolder scripts;
    LogCapture log;
    const QString tool = scripts.write(QStringLiteral("tool"), QString::fromUtf8(GetParam().body));
    EXPECT_EQ(directToolRun(tool, {}), GetParam().expected);
    EXPECT_TRUE(log.lines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DirectToolRunOutput,
    testing::Values(OutputCase{"Text", "printf 'eth0 (10.0.0.1)\\nx\\n'",
                               QStringLiteral("eth0 (10.0.0.1)\nx\n")},
                    OutputCase{"NothingIsEmptyText", "exit 0", QString()},
                    OutputCase{"FailingToolStillGivesItsOutput", "echo partial; exit 2",
                               QStringLiteral("partial\n")},
                    OutputCase{"Multibyte", "printf 'caf\\303\\251'", QStringLiteral(u"café")},
                    OutputCase{"InvalidUtf8IsAbsent", "printf 'a\\377b'", std::nullopt},
                    OutputCase{"CutOffSequenceIsAbsent", "printf 'a\\303'", std::nullopt},
                    OutputCase{"StandardErrorIsNotRead", "echo out; echo err >&2",
                               QStringLiteral("out\n")}),
    [](const testing::TestParamInfo<OutputCase> &info) { return info.param.name; });

TEST(DirectToolRun, PassesEachArgumentAsOneWord) {
    ScriptFolder scripts;
    const QString tool =
        scripts.write(QStringLiteral("tool"), QStringLiteral("printf '%s|' \"$@\""));
    EXPECT_EQ(directToolRun(tool, {QStringLiteral("a b"), QStringLiteral("$HOME"),
                                   QStringLiteral("*"), QString()}),
              QStringLiteral("a b|$HOME|*||"));
}

TEST(DirectToolRun, ToolThatCannotStartGivesNothing) {
    ScriptFolder scripts;
    LogCapture log;
    const QString plainFile = scripts.write(QStringLiteral("plain"), {}, false);
    EXPECT_EQ(directToolRun(plainFile, {}), std::nullopt);
    EXPECT_EQ(directToolRun(scripts.filePath(QStringLiteral("missing")), {}), std::nullopt);
    EXPECT_EQ(directToolRun(scripts.path(), {}), std::nullopt);
    // No search: a bare name is a path relative to the working directory.
    EXPECT_EQ(directToolRun(QStringLiteral("true"), {}), std::nullopt);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(DirectToolRun, ReadsMoreThanAPipeHoldsWhileTheToolRuns) {
    ScriptFolder scripts;
    const QString tool = scripts.write(QStringLiteral("tool"),
                                       QStringLiteral("head -c 5000000 /dev/zero | tr '\\0' a"));
    const std::optional<QString> output = directToolRun(tool, {});
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(output->size(), 5000000);
    EXPECT_EQ(output->count(QLatin1Char('a')), 5000000);
}

TEST(DirectToolRun, DoesNotWaitForChildrenTheToolLeftHoldingItsOutput) {
    // The tool timeout would end a run that waited for the leftover child.
    ToolTimeoutOverride timeout(5s);
    ScriptFolder scripts;
    const QString pidFile = scripts.filePath(QStringLiteral("pid"));
    const QString tool =
        scripts.write(QStringLiteral("tool"),
                      QStringLiteral("sleep 30 & echo $! > '%1'; echo done").arg(pidFile));
    EXPECT_EQ(directToolRun(tool, {}), QStringLiteral("done\n"));
    const pid_t leftover = waitForPidFile(pidFile);
    ASSERT_GT(leftover, 0);
    ::kill(leftover, SIGKILL);
}

TEST(DirectToolRun, HangingToolIsKilledWithItsChildrenAndGivesNothing) {
    ToolTimeoutOverride timeout(300ms);
    ScriptFolder scripts;
    LogCapture log;
    const QString pidFile = scripts.filePath(QStringLiteral("pid"));
    const QString tool =
        scripts.write(QStringLiteral("tool"),
                      QStringLiteral("sleep 30 & echo $! > '%1'; echo early; wait").arg(pidFile));
    EXPECT_EQ(directToolRun(tool, {QStringLiteral("x")}), std::nullopt);
    const QStringList lines = log.lines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(
        lines.first(),
        QStringLiteral("Tool did not end within 300 ms and was killed: %1, arguments: (\"x\")")
            .arg(tool));
    const pid_t grandchild = waitForPidFile(pidFile);
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(waitUntilEnded(grandchild));
}

} // namespace
