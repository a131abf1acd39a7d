// The tools' environment: Flowtally's own modules where the system cannot
// name the objects Flowtally asks for, the system's where it can. The
// system's modules are played by copies of ours in a folder of the test's.
#include "SnmpEnvironment.h"

#include "EnvironmentVariables.h"
#include "LogCapture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace {

const QByteArray kOurModules = "SNMPv2-MIB:IF-MIB";

struct Translation {
    std::string names; // the names printed, one line each
    std::string errors;
};

// What the tools, in our environment, make of the names Flowtally uses.
Translation translate(const QStringList &objects) {
    QProcess tool;
    tool.start(QStringLiteral("/usr/bin/snmptranslate"),
               QStringList{QStringLiteral("-IR")} + objects);
    tool.waitForFinished(5000);
    const QStringList names =
        QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return {names.join('\n').toStdString(), tool.readAllStandardError().toStdString()};
}

const QStringList kObjects{QStringLiteral("system.sysName.0"), QStringLiteral("system.sysUpTime.0"),
                           QStringLiteral("ifDescr"), QStringLiteral("IF-MIB::ifInOctets.7"),
                           QStringLiteral("IF-MIB::ifOutOctets.7")};
const std::string kSymbolic = "SNMPv2-MIB::sysName.0\nSNMPv2-MIB::sysUpTime.0\n"
                              "IF-MIB::ifDescr\nIF-MIB::ifInOctets.7\nIF-MIB::ifOutOctets.7";

class SnmpEnvironment : public testing::Test {
  protected:
    void SetUp() override {
        if (!QFile::exists(QStringLiteral("/usr/bin/snmptranslate")))
            GTEST_SKIP() << "the net-snmp tools are not installed";
        ASSERT_TRUE(QDir(bundledMibFolder()).exists(QStringLiteral("IF-MIB.txt")))
            << "modules not beside the build: " << bundledMibFolder().toStdString();
        // A system folder with modules that name the objects, one without,
        // and a configuration folder with no configuration.
        for (const QString &name : {QStringLiteral("SNMPv2-MIB.txt"), QStringLiteral("IF-MIB.txt")})
            ASSERT_TRUE(QFile::copy(QDir(bundledMibFolder()).filePath(name), full.filePath(name)));
    }

    // MIBS, MIBDIRS and SNMPCONFPATH: set to the values given, or unset.
    static void setVariables(const std::array<std::optional<QByteArray>, 3> &values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            EnvironmentVariables::set(kVariables[i], values[i]);
    }

    // The variables that steer where the tools look for modules.
    static inline const QList<QByteArray> kVariables{"MIBS", "MIBDIRS", "SNMPCONFPATH"};
    EnvironmentVariables variables{kVariables};
    QTemporaryDir full;
    QTemporaryDir empty;
};

TEST_F(SnmpEnvironment, ChoosesTheSystemsModulesWhereTheyNameTheObjects) {
    struct Case {
        const char *what;
        std::array<std::optional<QByteArray>, 3> before; // MIBS, MIBDIRS, SNMPCONFPATH
        SnmpModules expected;
        std::optional<QByteArray> mibsAfter;
        std::optional<QByteArray> mibDirsAfter;
    };
    const QByteArray fullPath = QFile::encodeName(full.path());
    const QByteArray emptyPath = QFile::encodeName(empty.path());
    const QByteArray bundled = QFile::encodeName(bundledMibFolder());
    const Case cases[] = {
        {"system modules that its configuration loads",
         {std::nullopt, fullPath, emptyPath},
         SnmpModules::System,
         std::nullopt,
         fullPath},
        {"system modules named in the environment",
         {kOurModules, fullPath, std::nullopt},
         SnmpModules::System,
         kOurModules,
         fullPath},
        {"system modules that nothing loads (Debian's \"mibs :\")",
         {QByteArray(), fullPath, std::nullopt},
         SnmpModules::SystemNamed,
         kOurModules,
         fullPath},
        {"no modules in the folders searched",
         {std::nullopt, emptyPath, std::nullopt},
         SnmpModules::Bundled,
         kOurModules,
         emptyPath + ':' + bundled},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        setVariables(c.before);
        LogCapture log;
        EXPECT_EQ(setUpSnmpEnvironment(bundledMibFolder()), c.expected);
        EXPECT_EQ(EnvironmentVariables::get("MIBS"), c.mibsAfter);
        EXPECT_EQ(EnvironmentVariables::get("MIBDIRS"), c.mibDirsAfter);
        EXPECT_EQ(EnvironmentVariables::get("SNMPCONFPATH"), c.before[2]) << "never touched";
        EXPECT_EQ(log.lines().size(), c.expected == SnmpModules::System ? 0 : 1);
        EXPECT_EQ(translate(kObjects).names, kSymbolic);
    }
}

TEST_F(SnmpEnvironment, OurModulesComeAfterTheToolsOwnFoldersAndLoadCleanly) {
    // As on Debian as it comes: no variables, a configuration that loads no
    // module, no SNMPv2-MIB or IF-MIB anywhere the tools look.
    setVariables({std::nullopt, std::nullopt, std::nullopt});
    if (translate(QStringList{QStringLiteral("-m"), QString::fromLatin1(kOurModules)} + kObjects)
            .errors.empty())
        GTEST_SKIP() << "this system has modules of its own";

    EXPECT_EQ(setUpSnmpEnvironment(bundledMibFolder()), SnmpModules::Bundled);
    EXPECT_EQ(EnvironmentVariables::get("MIBDIRS"), "+" + QFile::encodeName(bundledMibFolder()));
    const Translation translation = translate(kObjects);
    EXPECT_EQ(translation.names, kSymbolic);
    EXPECT_EQ(translation.errors, "") << "no warnings from our modules";
}

TEST_F(SnmpEnvironment, MissingFolderIsLogged) {
    setVariables({std::nullopt, QFile::encodeName(empty.path()), std::nullopt});
    LogCapture log;
    const QString missing = empty.filePath(QStringLiteral("gone"));
    EXPECT_EQ(setUpSnmpEnvironment(missing), SnmpModules::Bundled);
    EXPECT_EQ(log.linesContaining(missing).size(), 1);
}

} // namespace
