#include "SnmpEnvironment.h"

#include "EnvironmentVariables.h"
#include "ScriptFolder.h"
#include "TestEnvironment.h"
#include "ToolPaths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// SNMPv2-MIB's sysName and IF-MIB's ifDescr, ifName and ifAlias.
constexpr int kTextObjects = 4;

// snmptranslate is the environment's, as every tool: here one that names the
// objects only when MIBS names the modules, and reads no configuration file
// of the system's.
TEST(SnmpEnvironment, AsksTheEnvironmentsSnmptranslate) {
    ScriptFolder scripts;
    TestEnvironment environment;
    EnvironmentVariables variables({"MIBS"});
    EnvironmentVariables::set("MIBS", std::nullopt);
    const QString asked = scripts.filePath("asked");
    environment.setToolPath(
        kSnmpTranslateTool,
        scripts.write(
            "snmptranslate",
            QStringLiteral("echo \"$@\" >> '%1'\n"
                           "[ \"$MIBS\" = SNMPv2-MIB:IF-MIB ] && [ -d \"$SNMPCONFPATH\" ] "
                           "|| exit 1\n"
                           "shift 2\n"
                           "for o in \"$@\"; do echo \"X-MIB::$o\"; done\n"
                           "for t in $(seq %2); do echo '  DISPLAY-HINT \"255a\"'; done")
                .arg(asked)
                .arg(kTextObjects)));
    EXPECT_EQ(setUpSnmpEnvironment(bundledMibFolder()), SnmpModules::SystemNamed);
    EXPECT_EQ(snmpToolVariables(), QStringList{"MIBS=SNMPv2-MIB:IF-MIB"});
    QFile file(asked);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count("-Td -IR system.sysName.0 "), 2);
}

// Flowtally's own modules where the system's cannot name the objects it
// asks for, the system's where they can, played by copies of ours. The
// tools are given them; Flowtally's own environment, which other threads
// read, stays as it was.
TEST(SnmpEnvironment, ChoosesTheSystemsModulesWhereTheyNameTheObjects) {
    if (!QFile::exists("/usr/bin/snmptranslate"))
        GTEST_SKIP() << "the net-snmp tools are not installed";
    const QString bundled = bundledMibFolder();
    QTemporaryDir full, empty, configured, lacking;
    for (const QString name : {"SNMPv2-MIB.txt", "IF-MIB.txt"})
        ASSERT_TRUE(QFile::copy(QDir(bundled).filePath(name), full.filePath(name)));
    // An IF-MIB of old, whose interfaces tell no counter discontinuity.
    ASSERT_TRUE(QFile::copy(full.filePath("SNMPv2-MIB.txt"), lacking.filePath("SNMPv2-MIB.txt")));
    QFile ifMib(full.filePath("IF-MIB.txt")), oldIfMib(lacking.filePath("IF-MIB.txt"));
    ASSERT_TRUE(ifMib.open(QIODevice::ReadOnly) && oldIfMib.open(QIODevice::WriteOnly));
    const QByteArray modules = ifMib.readAll();
    ASSERT_TRUE(modules.contains("ifCounterDiscontinuityTime OBJECT-TYPE"));
    oldIfMib.write(modules.left(modules.indexOf("ifCounterDiscontinuityTime OBJECT-TYPE")) +
                   "END\n");
    oldIfMib.close();
    // A configuration file of the user's that points the tools at modules.
    QFile configuration(configured.filePath("snmp.conf"));
    ASSERT_TRUE(configuration.open(QIODevice::WriteOnly));
    configuration.write("mibdirs +" + QFile::encodeName(full.path()) +
                        "\nmibs +SNMPv2-MIB:IF-MIB\n");
    configuration.close();
    const QList<QByteArray> kNames{"MIBS", "MIBDIRS", "SNMPCONFPATH"};
    EnvironmentVariables variables(kNames);
    using Value = std::optional<QByteArray>;
    const QString oursText = "SNMPv2-MIB:IF-MIB";
    const QByteArray ours = "SNMPv2-MIB:IF-MIB", withModules = QFile::encodeName(full.path()),
                     without = QFile::encodeName(empty.path()),
                     withoutOne = QFile::encodeName(lacking.path());
    const struct {
        Value before[3]; // MIBS, MIBDIRS, SNMPCONFPATH
        SnmpModules expected;
        QStringList given; // to the tools
    } cases[] = {
        // Loaded by the system's configuration; named in the environment.
        {{{}, withModules, without}, SnmpModules::System, {}},
        {{ours, withModules, {}}, SnmpModules::System, {}},
        // Loaded, but without an object the router source asks for.
        {{ours, withoutOne, {}},
         SnmpModules::Bundled,
         {"MIBDIRS=" + lacking.path() + ':' + bundled, "MIBS=" + oursText}},
        // Loaded by nothing (Debian's "mibs :"); not in the folders searched.
        {{"", withModules, {}}, SnmpModules::SystemNamed, {"MIBS=" + oursText}},
        {{{}, without, {}},
         SnmpModules::Bundled,
         {"MIBDIRS=" + empty.path() + ':' + bundled, "MIBS=" + oursText}},
        // Flowtally's tools read no configuration file but their own: what
        // one of the user's loads does not count.
        {{{}, {}, QFile::encodeName(configured.path())},
         SnmpModules::Bundled,
         {"MIBDIRS=+" + bundled, "MIBS=" + oursText}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(&c - cases));
        for (int i = 0; i < 3; ++i)
            EnvironmentVariables::set(kNames[i], c.before[i]);
        TestEnvironment environment;
        EXPECT_EQ(setUpSnmpEnvironment(bundled), c.expected);
        EXPECT_EQ(snmpToolVariables(), c.given);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(EnvironmentVariables::get(kNames[i]), c.before[i]);
        EXPECT_EQ(environment.logLines().size(), c.expected == SnmpModules::System ? 0 : 1);
        QProcess tool; // the tools, given them, name the objects Flowtally uses
        QProcessEnvironment given = QProcessEnvironment::systemEnvironment();
        for (const QString &variable : c.given)
            given.insert(variable.section('=', 0, 0), variable.section('=', 1));
        tool.setProcessEnvironment(given);
        tool.start("/usr/bin/snmptranslate", {"-IR", "system.sysName.0", "ifDescr"});
        EXPECT_TRUE(tool.waitForFinished(5000));
        EXPECT_EQ(QString(tool.readAllStandardOutput()).simplified(),
                  "SNMPv2-MIB::sysName.0 IF-MIB::ifDescr");
    }
}

} // namespace

} // namespace flowtally
