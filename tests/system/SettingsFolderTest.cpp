// Flowtally's own files: none at all of a run that only answers its command
// line; the settings folder on a small file system of its own, in a mount
// namespace that only Flowtally and the test see, filled up while Flowtally
// meters. (A settings file that cannot be read: DefaultsTest; a folder that
// cannot be written at all, read-only or blocked:
// UserDefaultsTest.UnwritableFolderCostsOneLinePerStreakAndNoValues.)
#include "tests/support/CommandRun.h"
#include "tests/support/PlantedFiles.h"
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

// --help and --version answer and end before anything else starts (no
// window system, no settings, no lock of the one instance), and anything
// else Flowtally does not take is a usage error of one line.
TEST_F(SystemTest, CommandLineAnswersAndUsageErrorsEndBeforeAnythingStarts) {
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

// A full folder costs a log line when writing starts failing and one when
// it works again (one a streak, not one an attempt:
// UserDefaultsTest.UnwritableFolderCostsOneLinePerStreakAndNoValues);
// Flowtally meters on, and the totals counted meanwhile reach the file
// whole: no write cut short by the full file system replaced the file.
TEST_F(SystemTest, FullFolderCostsALogLineAndNoByte) {
    if (QStandardPaths::findExecutable("unshare").isEmpty() ||
        QStandardPaths::findExecutable("nsenter").isEmpty())
        GTEST_SKIP() << "needs unshare and nsenter";
    // The mount namespace, held by a process of the test's in the LAN's
    // network namespace (so that its /sys shows the LAN's interfaces): a
    // tmpfs of 256 KiB on the settings folder.
    const std::unique_ptr<QProcess> holder =
        start(lan->lan,
              {"unshare", "--mount", "--propagation", "private", "sh", "-c",
               "mount -t tmpfs -o size=256k,mode=0700 flowtally-settings \"$0\" && exec sleep 600",
               settingsFolder()});
    const QString pid = QString::number(holder->processId());
    settingsRoot = "/proc/" + pid + "/root";
    const QString inNamespace = "nsenter -t " + pid + " -m ";
    ASSERT_TRUE(waitUntil([&] {
        return sh(inNamespace + "mountpoint -q " + settingsFolder()).isEmpty();
    })) << "no tmpfs on the settings folder";
    ASSERT_NO_FATAL_FAILURE(launch({"nsenter", "-t", pid, "-m"}));
    const auto first = waitForSample();
    ASSERT_TRUE(first) << "never metered";

    // Filled up: writing starts failing, and works again once room is made.
    // Flowtally's log lines that name the defaults file tell it.
    const auto settingsLines = [&] {
        return QString(readFile(logPath())).split('\n').filter(defaultsPath());
    };
    const QString filler = settingsRoot + settingsFolder() + "/filler";
    const qsizetype before = settingsLines().size();
    ASSERT_EQ(sh("dd if=/dev/zero of=" + filler + " bs=4096 2>/dev/null; true"), QString());
    ASSERT_NO_FATAL_FAILURE(push(2 * kMiB, kMiB));
    ASSERT_TRUE(waitUntil([&] { return settingsLines().size() > before; })) << "no word of it";
    EXPECT_TRUE(settingsLines().last().contains("No space left on device"))
        << settingsLines().last().toStdString();
    ASSERT_NO_FATAL_FAILURE(push(kMiB, 2 * kMiB));
    EXPECT_EQ(records().count(first->key), 1u) << "a write cut short replaced the file";

    ASSERT_EQ(sh("rm " + filler), QString());
    const auto record = waitForSample(counters());
    ASSERT_TRUE(record) << "the totals never reached the file";
    EXPECT_EQ(settingsLines().size(), before + 2) << settingsLines().join('\n').toStdString();
    EXPECT_TRUE(settingsLines().last().contains("are written to"));
    expectAtLeast(record->total(), {3 * kMiB, 3 * kMiB});
    expectConsistent(*record, first->base());
    ASSERT_NO_FATAL_FAILURE(quit());
}

} // namespace

} // namespace flowtally
