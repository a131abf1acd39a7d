#include "ChildProcess.h"
#include "DirectToolRun.h"
#include "SnmpEnvironment.h"

#include "EnvironmentVariables.h"
#include "ProcessProbe.h"
#include "ScriptFolder.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>

namespace flowtally {

namespace {

TEST(ChildProcess, ReportsWhyAToolCannotStart) {
    ScriptFolder scripts;
    ChildProcess notExecutable, missing;
    const Status denied = notExecutable.start(scripts.write("plain", {}, false), {},
                                              ChildProcess::ErrorStream::Inherited);
    EXPECT_EQ(denied.errorNumber(), EACCES);
    EXPECT_EQ(denied.message(), "cannot start the program: Permission denied");
    const Status absent =
        missing.start(scripts.filePath("missing"), {}, ChildProcess::ErrorStream::Piped);
    EXPECT_EQ(absent.errorNumber(), ENOENT);
    EXPECT_FALSE(absent.ok());
}

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

// Flowtally's own modules where the system's cannot name the objects it
// asks for, the system's where they can, played by copies of ours.
TEST(SnmpEnvironment, ChoosesTheSystemsModulesWhereTheyNameTheObjects) {
    if (!QFile::exists("/usr/bin/snmptranslate"))
        GTEST_SKIP() << "the net-snmp tools are not installed";
    const QString bundled = bundledMibFolder();
    QTemporaryDir full, empty;
    for (const QString name : {"SNMPv2-MIB.txt", "IF-MIB.txt"})
        ASSERT_TRUE(QFile::copy(QDir(bundled).filePath(name), full.filePath(name)));
    const QList<QByteArray> kNames{"MIBS", "MIBDIRS", "SNMPCONFPATH"};
    EnvironmentVariables variables(kNames);
    using Value = std::optional<QByteArray>;
    const QByteArray ours = "SNMPv2-MIB:IF-MIB", withModules = QFile::encodeName(full.path()),
                     without = QFile::encodeName(empty.path());
    const struct {
        Value before[3]; // MIBS, MIBDIRS, SNMPCONFPATH
        SnmpModules expected;
        Value mibsAfter, mibDirsAfter;
    } cases[] = {
        // Loaded by the system's configuration; named in the environment.
        {{{}, withModules, without}, SnmpModules::System, {}, withModules},
        {{ours, withModules, {}}, SnmpModules::System, ours, withModules},
        // Loaded by nothing (Debian's "mibs :"); not in the folders searched.
        {{"", withModules, {}}, SnmpModules::SystemNamed, ours, withModules},
        {{{}, without, {}}, SnmpModules::Bundled, ours, without + ':' + QFile::encodeName(bundled)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(&c - cases));
        for (int i = 0; i < 3; ++i)
            EnvironmentVariables::set(kNames[i], c.before[i]);
        TestEnvironment environment;
        EXPECT_EQ(setUpSnmpEnvironment(bundled), c.expected);
        EXPECT_EQ(EnvironmentVariables::get("MIBS"), c.mibsAfter);
        EXPECT_EQ(EnvironmentVariables::get("MIBDIRS"), c.mibDirsAfter);
        EXPECT_EQ(EnvironmentVariables::get("SNMPCONFPATH"), c.before[2]);
        EXPECT_EQ(environment.logLines().size(), c.expected == SnmpModules::System ? 0 : 1);
        QProcess tool; // the tools, in this environment, name the objects Flowtally uses
        tool.start("/usr/bin/snmptranslate", {"-IR", "system.sysName.0", "ifDescr"});
        EXPECT_TRUE(tool.waitForFinished(5000));
        EXPECT_EQ(QString(tool.readAllStandardOutput()).simplified(),
                  "SNMPv2-MIB::sysName.0 IF-MIB::ifDescr");
    }
}

} // namespace

} // namespace flowtally
