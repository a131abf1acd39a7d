#include "DirectToolRun.h"

#include "ProcessProbe.h"
#include "ScriptFolder.h"
#include "TestEnvironment.h"

#include <QDir>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// Output that is not valid UTF-8 is absent, no output is empty text; a tool
// that cannot start gives nothing; nothing is logged, no descriptor leaks.
TEST(DirectToolRun, GivesTheDecodedOutputOrNothing) {
    ScriptFolder scripts;
    TestEnvironment environment;
    const struct {
        const char *body;
        std::optional<QString> expected;
    } cases[] = {
        {"printf '%s|' \"$@\"; echo err >&2; exit 2", QStringLiteral("a b|$HOME|*||")},
        {"exit 0", QString()},
        {"printf 'caf\\303\\251'", QStringLiteral(u"caf\u00e9")},
        {"printf 'a\\377b'", std::nullopt},
        {"printf 'a\\303'", std::nullopt},
    };
    const auto descriptors = QDir("/proc/self/fd").count();
    for (const auto &c : cases)
        EXPECT_EQ(directToolRun(scripts.write("tool", c.body), {"a b", "$HOME", "*", ""}),
                  c.expected)
            << c.body;
    // No search: a bare name is a path relative to the working directory.
    for (const QString &tool : {scripts.write("plain", {}, false), scripts.path(), QString("true")})
        EXPECT_EQ(directToolRun(tool, {}), std::nullopt) << tool.toStdString();
    EXPECT_EQ(QDir("/proc/self/fd").count(), descriptors);
    EXPECT_TRUE(environment.logLines().isEmpty());
}

// Added variables replace ours of their names and leave the rest; the
// errors, when asked for, are collected and not shared with ours.
TEST(DirectToolRun, AddsVariablesAndCollectsTheErrors) {
    ScriptFolder scripts;
    qputenv("FLOWTALLY_TEST_KEPT", "ours");
    qputenv("FLOWTALLY_TEST_REPLACED", "ours");
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
    const ToolRunWithErrors notStarted =
        directToolRunWithErrors(scripts.write("plain", {}, false), {}, {});
    EXPECT_EQ(notStarted.output, std::nullopt);
    EXPECT_EQ(notStarted.errors, "");
    qunsetenv("FLOWTALLY_TEST_KEPT");
    qunsetenv("FLOWTALLY_TEST_REPLACED");
}

TEST(DirectToolRun, ReadsMoreThanAPipeHoldsWhileTheToolRuns) {
    ScriptFolder scripts;
    const auto output =
        directToolRun(scripts.write("tool", "head -c 5000000 /dev/zero | tr '\\0' a"), {});
    EXPECT_TRUE(output && *output == QString(5000000, QLatin1Char('a')));
}

TEST(DirectToolRun, HangingToolIsKilledWithItsWholeGroupAndGivesNothing) {
    ScriptFolder scripts;
    TestEnvironment environment;
    environment.setToolTimeout(std::chrono::milliseconds(300));
    const QString pidFile = scripts.filePath("pid");
    const QString tool =
        scripts.write("tool", QString("sleep 30 & echo $! > '%1'; echo early; wait").arg(pidFile));
    EXPECT_EQ(directToolRun(tool, {"x"}), std::nullopt);
    EXPECT_EQ(environment.logLines().join('\n'),
              "Tool did not end within 300 ms and was killed: " + tool + ", arguments: (\"x\")");
    const pid_t grandchild = waitForPidFile(pidFile); // it held the output pipe
    ASSERT_GT(grandchild, 0);
    EXPECT_TRUE(waitUntilEnded(grandchild));
}

} // namespace

} // namespace flowtally
