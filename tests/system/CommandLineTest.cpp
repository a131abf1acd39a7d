// Flowtally's command line: --help and --version answer and end before
// anything else starts (no window system, no settings, no lock of the one
// instance), and anything else Flowtally does not take is a usage error of
// one line. The real program, in a namespace of the test's own all the
// same.
#include "tests/support/CommandRun.h"
#include "tests/support/PlantedFiles.h"
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

using CommandLineTest = SystemTest;

TEST_F(CommandLineTest, AnswersAndUsageErrorsEndBeforeAnythingStarts) {
    // Runs Flowtally with the arguments (10 s at most), after the test's
    // environment and the given variables.
    const auto run = [&](const QStringList &arguments, const QStringList &variables = {}) {
        return runCommand("ip", QStringList{"netns", "exec", lan->lan} +
                                    flowtallyCommand(variables) + arguments);
    };
    // No file of Flowtally's may come of the runs: settings, history, the
    // instance lock. The runtime folder is there, as in a session.
    ASSERT_TRUE(makeFolder(folder.filePath("runtime"), 0700));
    const auto filesBefore = snapshot(folder.path());
    const CommandResult help = run({"--help"});
    EXPECT_TRUE(help.output.startsWith("Usage: flowtally [--help | --version]\n"))
        << help.output.toStdString();
    EXPECT_TRUE(help.output.contains("  --version")) << help.output.toStdString();
    const CommandResult version = run({"--version"});
    EXPECT_TRUE(
        QRegularExpression(R"(^flowtally \d+\.\d+\.\d+\n$)").match(version.output).hasMatch())
        << version.output.toStdString();
    const QString usage = QStringLiteral("flowtally: %1 (see flowtally --help)\n");
    // clang-format off
    const struct { QStringList arguments, variables; int status; QString output, error; } cases[] = {
        {{"-h"}, {}, 0, help.output, {}},
        // No display to reach: nothing of the window system starts.
        {{"--version"}, {"QT_QPA_PLATFORM=xcb", "DISPLAY=:99"}, 0, version.output, {}},
        // Qt's own options may come before.
        {{"-platform", "offscreen", "--version"}, {}, 0, version.output, {}},
        {{"--bogus"}, {}, 2, {}, usage.arg("unknown option '--bogus'")},
        {{"-x"}, {}, 2, {}, usage.arg("unknown option '-x'")},
        {{"--help=me"}, {}, 2, {}, usage.arg("unknown option '--help=me'")},
        {{"stray"}, {}, 2, {}, usage.arg("unexpected argument 'stray'")},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CommandResult answer = run(c.arguments, c.variables);
        EXPECT_TRUE(answer.finished);
        EXPECT_EQ(answer.exitCode, c.status);
        EXPECT_EQ(answer.output, c.output);
        EXPECT_EQ(answer.error, c.error);
    }
    EXPECT_EQ(snapshot(folder.path()), filesBefore);
}

} // namespace

} // namespace flowtally
