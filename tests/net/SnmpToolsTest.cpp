// What the SNMP tools are given: the community's file, written, rewritten
// and removed only inside a private folder, through no link planted there,
// never changing anything outside; and the modules that name the objects
// Flowtally asks for.
#include "net/SnmpCommunityFile.h"
#include "net/SnmpEnvironment.h"

#include "platform/system/ToolPaths.h"
#include "tests/support/EnvironmentVariables.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TextPrinting.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace flowtally {

namespace {

const QByteArray kFile = "defCommunity \"pub lic\"\n";

// A person's own files, where planted links point: ~/.snmp (0755) and its
// snmp.conf, another file, and a name that is not there.
struct Outside {
    explicit Outside(const QString &folder)
        : path(folder + "/outside"), snmp(path + "/home/.snmp"), file(path + "/file"),
          missing(path + "/planted") {
        ready = makeFolder(path, 0755) && makeFolder(path + "/home", 0755) &&
                makeFolder(snmp, 0755) && makeFile(snmp + "/snmp.conf", "mibs +ALL\n", 0644) &&
                makeFile(file, "the person's\n", 0644);
    }
    QString path, snmp, file, missing;
    bool ready = false;
};

// Written where it belongs, a plain file 0600 in a folder 0700, and named
// to the tools.
void expectFileIn(const QString &folder) {
    EXPECT_EQ(modeOf(folder), 0700);
    EXPECT_EQ(modeOf(folder + "/snmp.conf"), 0600);
    QFile file(folder + "/snmp.conf");
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), kFile);
    EXPECT_EQ(snmpCommunityVariable(), "SNMPCONFPATH=" + folder);
}

// Links and files planted where the folder and the file belong go, and
// what they point to stays as it was: also when a link takes the written
// file's place between writes (the same community is written again) and
// at quit. A runtime folder open to every user is not used at all: the
// file goes to Flowtally's own folder and the link planted there stays.
TEST(SnmpCommunityFile, PlantedEntriesAreReplacedNeverFollowed) {
    // The entry planted in the runtime folder, and where its link points
    // (none: a plain file).
    // clang-format off
    const struct { const char *what; QString entry; QString Outside::*target; bool open = false; } cases[] = {
        {"snmp: a link to a folder", "snmp", &Outside::snmp},
        {"snmp: a link to a file", "snmp", &Outside::file},
        {"snmp: a dangling link", "snmp", &Outside::missing},
        {"snmp: a file", "snmp", nullptr},
        {"snmp.conf: a link to a file", "snmp/snmp.conf", &Outside::file},
        {"snmp.conf: a link to a folder", "snmp/snmp.conf", &Outside::snmp},
        {"snmp.conf: a dangling link", "snmp/snmp.conf", &Outside::missing},
        {"an open runtime folder, snmp: a link to a folder", "snmp", &Outside::snmp, true},
    };
    // clang-format on
    const auto check = [](const auto &c) {
        TestEnvironment environment;
        const Outside outside(environment.folder());
        ASSERT_TRUE(outside.ready);
        if (c.open)
            environment.setRuntimeFolder(environment.folder() + "/open");
        const QString runtime = environment.runtimeFolder();
        const QString folder = (c.open ? environment.ownRuntimeFolder() : runtime) + "/snmp";
        ASSERT_TRUE(makeFolder(runtime, c.open ? 0777 : 0700));
        if (c.entry.contains('/')) {
            ASSERT_TRUE(makeFolder(folder, 0700));
        }
        const QString planted = runtime + '/' + c.entry;
        ASSERT_TRUE(c.target ? makeLink(outside.*c.target, planted)
                             : makeFile(planted, "planted\n", 0644));
        const auto before = snapshot(outside.path), openBefore = snapshot(runtime);
        EXPECT_TRUE(writeSnmpCommunityFile("pub lic").ok());
        expectFileIn(folder);
        for (const bool quit : {false, true}) {
            QFile::remove(folder + "/snmp.conf");
            ASSERT_TRUE(makeLink(outside.file, folder + "/snmp.conf"));
            if (quit) {
                EXPECT_TRUE(removeSnmpCommunityFile().ok());
                EXPECT_EQ(modeOf(folder + "/snmp.conf"), -1);
            } else {
                EXPECT_TRUE(writeSnmpCommunityFile("pub lic").ok());
                expectFileIn(folder);
            }
        }
        EXPECT_EQ(snapshot(outside.path), before);
        if (c.open) {
            EXPECT_EQ(snapshot(runtime), openBefore);
        } else {
            EXPECT_TRUE(environment.logLines().isEmpty());
        }
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        check(c);
    }
}

// Folders that another user made where Flowtally's belongs: an empty one
// is replaced, one that holds files is left alone and nothing is written.
TEST(SnmpCommunityFile, AnotherUsersFolderIsNeverUsed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    for (const bool holdsFiles : {false, true}) {
        SCOPED_TRACE(holdsFiles ? "holding a file" : "empty");
        TestEnvironment environment;
        const QString runtime = environment.runtimeFolder(), folder = runtime + "/snmp";
        ASSERT_TRUE(makeFolder(runtime, 0700));
        ASSERT_TRUE(makeFolder(folder, 0755));
        if (holdsFiles) {
            ASSERT_TRUE(makeFile(folder + "/snmp.local.conf", "theirs\n", 0644));
        }
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
        const auto before = snapshot(folder);
        const Status status = writeSnmpCommunityFile("pub lic");
        EXPECT_EQ(status.ok(), !holdsFiles) << status.message().toStdString();
        if (holdsFiles) {
            EXPECT_EQ(snapshot(folder), before);
        } else {
            expectFileIn(folder);
        }
        EXPECT_TRUE(removeSnmpCommunityFile().ok());
    }
}

// SNMPv2-MIB's sysName and IF-MIB's ifDescr, ifName and ifAlias.
constexpr int kTextObjects = 4;

// snmptranslate is the environment's, as every tool: here one that reads no
// configuration file of the system's and, unless MIBS names the modules,
// lacks an object's name, or a text object's display hint (the tools would
// print its values quoted).
TEST(SnmpEnvironment, AsksTheEnvironmentsSnmptranslate) {
    ScriptFolder scripts;
    TestEnvironment environment;
    EnvironmentVariables variables({"MIBS"});
    EnvironmentVariables::set("MIBS", std::nullopt);
    const QString asked = scripts.filePath("asked");
    for (const QString lacking : {"name", "hint"}) {
        SCOPED_TRACE(lacking.toStdString());
        QFile::remove(asked);
        environment.setToolPath(
            kSnmpTranslateTool,
            scripts.write("snmptranslate",
                          QStringLiteral("echo \"$@\" >> '%1'\n"
                                         "[ -d \"$SNMPCONFPATH\" ] || exit 1\n"
                                         "shift 2\n"
                                         "named=; [ \"$MIBS\" = SNMPv2-MIB:IF-MIB ] && named=1\n"
                                         "[ -z \"$named\" ] && [ %3 = name ] && shift\n"
                                         "for o in \"$@\"; do echo \"X-MIB::$o\"; done\n"
                                         "hints=%2; [ -z \"$named\" ] && [ %3 = hint ] && "
                                         "hints=$((hints - 1))\n"
                                         "for t in $(seq $hints); do echo '  DISPLAY-HINT "
                                         "\"255a\"'; done")
                              .arg(asked)
                              .arg(kTextObjects)
                              .arg(lacking)));
        EXPECT_EQ(setUpSnmpEnvironment(bundledMibFolder()), SnmpModules::SystemNamed);
        EXPECT_EQ(snmpToolVariables(), QStringList{"MIBS=SNMPv2-MIB:IF-MIB"});
        QFile file(asked);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().count("-Td -IR system.sysName.0 "), 2);
    }
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
    QFile ifMib(full.filePath("IF-MIB.txt"));
    ASSERT_TRUE(ifMib.open(QIODevice::ReadOnly));
    const QByteArray modules = ifMib.readAll();
    const qsizetype discontinuity = modules.indexOf("ifCounterDiscontinuityTime OBJECT-TYPE");
    ASSERT_GE(discontinuity, 0);
    ASSERT_TRUE(
        makeFile(lacking.filePath("IF-MIB.txt"), modules.left(discontinuity) + "END\n", 0644));
    // A configuration file of the user's that points the tools at modules.
    ASSERT_TRUE(makeFile(
        configured.filePath("snmp.conf"),
        "mibdirs +" + QFile::encodeName(full.path()) + "\nmibs +SNMPv2-MIB:IF-MIB\n", 0644));
    const QList<QByteArray> kNames{"MIBS", "MIBDIRS", "SNMPCONFPATH"};
    EnvironmentVariables variables(kNames);
    using Value = std::optional<QByteArray>;
    const QString oursText = "SNMPv2-MIB:IF-MIB";
    const QByteArray ours = "SNMPv2-MIB:IF-MIB", withModules = QFile::encodeName(full.path()),
                     without = QFile::encodeName(empty.path()),
                     withoutOne = QFile::encodeName(lacking.path());
    using enum SnmpModules;
    // MIBS, MIBDIRS and SNMPCONFPATH before, the modules chosen, and the
    // variables given to the tools.
    // clang-format off
    const struct { Value before[3]; SnmpModules expected; QStringList given; } cases[] = {
        // Loaded by the system's configuration; named in the environment.
        {{{}, withModules, without}, System, {}},
        {{ours, withModules, {}}, System, {}},
        // Loaded, but without an object the router source asks for.
        {{ours, withoutOne, {}}, Bundled, {"MIBDIRS=" + lacking.path() + ':' + bundled, "MIBS=" + oursText}},
        // Loaded by nothing (Debian's "mibs :"); not in the folders searched.
        {{"", withModules, {}}, SystemNamed, {"MIBS=" + oursText}},
        {{{}, without, {}}, Bundled, {"MIBDIRS=" + empty.path() + ':' + bundled, "MIBS=" + oursText}},
        // Flowtally's tools read no configuration file but their own: what
        // one of the user's loads does not count.
        {{{}, {}, QFile::encodeName(configured.path())}, Bundled, {"MIBDIRS=+" + bundled, "MIBS=" + oursText}},
    };
    // clang-format on
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
