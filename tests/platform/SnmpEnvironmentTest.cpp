#include "SnmpEnvironment.h"

#include "EnvironmentVariables.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

// Flowtally's own modules where the system's cannot name the objects it
// asks for, the system's where they can, played by copies of ours.
TEST(SnmpEnvironment, ChoosesTheSystemsModulesWhereTheyNameTheObjects) {
    if (!QFile::exists("/usr/bin/snmptranslate"))
        GTEST_SKIP() << "the net-snmp tools are not installed";
    const QString bundled = bundledMibFolder();
    QTemporaryDir full, empty, configured;
    for (const QString name : {"SNMPv2-MIB.txt", "IF-MIB.txt"})
        ASSERT_TRUE(QFile::copy(QDir(bundled).filePath(name), full.filePath(name)));
    // A configuration file of the user's that points the tools at modules.
    QFile configuration(configured.filePath("snmp.conf"));
    ASSERT_TRUE(configuration.open(QIODevice::WriteOnly));
    configuration.write("mibdirs +" + QFile::encodeName(full.path()) +
                        "\nmibs +SNMPv2-MIB:IF-MIB\n");
    configuration.close();
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
        // Flowtally's tools read no configuration file but their own: what
        // one of the user's loads does not count.
        {{{}, {}, QFile::encodeName(configured.path())},
         SnmpModules::Bundled,
         ours,
         '+' + QFile::encodeName(bundled)},
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
