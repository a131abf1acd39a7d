// The settings folder on a small file system of its own, in a mount
// namespace that only Flowtally and the test see, filled up while Flowtally
// meters. (A settings file that cannot be read: DefaultsTest; a folder that
// cannot be written at all, read-only or blocked:
// UserDefaultsTest.UnwritableFolderCostsOneLinePerStreakAndNoValues.)
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

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
