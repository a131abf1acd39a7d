// Flowtally as the Debian package installs it: the package unpacked into a
// throwaway root and the program started from there, in a LAN namespace,
// with the source tree and the package's build tree hidden from it. It must
// find its helpers and SNMP modules beside itself, under that root.
#include "tests/system/SystemTest.h"

namespace flowtally {

namespace {

// The program runs offscreen with its settings and history in the test's
// folder, in a mount namespace of its own (`ip netns exec` makes one) where
// an empty file system covers the trees and the working folder is "/".
// MIBDIRS names an empty folder: the system's SNMP modules are out of reach
// and the tools need Flowtally's own, wherever the machine has modules.
TEST_F(SystemTest, InstalledProgramUsesItsHelpersAndModulesFromThePackage) {
    const QTemporaryDir unpacked;
    const QString root = QDir(unpacked.path()).canonicalPath();
    for (const QString &tree : QStringList{FLOWTALLY_SOURCE_DIR, FLOWTALLY_BINARY_DIR})
        ASSERT_FALSE(root.startsWith(tree + '/')) << "the root is inside " << tree.toStdString();
    ASSERT_EQ(sh(QStringLiteral("dpkg-deb -x '%1' '%2'").arg(FLOWTALLY_PACKAGE_FILE, root)),
              QString());
    ASSERT_TRUE(QDir().mkpath(folder.filePath("no-modules")));

    flowtally = start(lan->lan,
                      {"sh", "-c",
                       "for tree in \"$1\" \"$2\"; do mount -t tmpfs -o ro hidden \"$tree\" || "
                       "exit 1; done; shift 2; cd / && exec env \"$@\"",
                       "sh", FLOWTALLY_BINARY_DIR, FLOWTALLY_SOURCE_DIR,
                       "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + folder.filePath("config"),
                       "XDG_DATA_HOME=" + folder.filePath("data"),
                       "XDG_RUNTIME_DIR=" + folder.filePath("runtime"),
                       "MIBDIRS=" + folder.filePath("no-modules"), root + "/usr/bin/flowtally"});
    ASSERT_TRUE(isRunning(*flowtally)) << "Flowtally did not start";

    const QString modulesLine =
        "SNMP tools use Flowtally's own modules in " + root + "/usr/share/flowtally/mibs";
    EXPECT_TRUE(waitUntil([&] { return readFile(logPath()).contains(modulesLine.toUtf8()); }))
        << "no line \"" << modulesLine.toStdString() << "\"";
    // A local sample: flowtally-netstat ran, from the root's libexec.
    const auto sample = waitForSample();
    ASSERT_TRUE(sample) << "no sample of the interface";
    EXPECT_EQ(sample->source(), "local");
    ASSERT_NO_FATAL_FAILURE(quit());
}

} // namespace

} // namespace flowtally
