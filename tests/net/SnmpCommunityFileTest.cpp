// The community's file for the SNMP tools: written, rewritten and removed
// only inside a private folder, through no link planted there, never
// changing anything outside.
#include "SnmpCommunityFile.h"

#include "PlantedFiles.h"
#include "TestEnvironment.h"
#include "TextPrinting.h"

#include <QFile>

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
// at quit.
TEST(SnmpCommunityFile, PlantedEntriesAreReplacedNeverFollowed) {
    const struct {
        const char *what;
        QString entry;            // in the runtime folder
        QString Outside::*target; // none: a plain file
    } cases[] = {
        {"snmp: a link to a folder", "snmp", &Outside::snmp},
        {"snmp: a link to a file", "snmp", &Outside::file},
        {"snmp: a dangling link", "snmp", &Outside::missing},
        {"snmp: a file", "snmp", nullptr},
        {"snmp.conf: a link to a file", "snmp/snmp.conf", &Outside::file},
        {"snmp.conf: a link to a folder", "snmp/snmp.conf", &Outside::snmp},
        {"snmp.conf: a dangling link", "snmp/snmp.conf", &Outside::missing},
    };
    const auto check = [](const auto &c) {
        TestEnvironment environment;
        const Outside outside(environment.folder());
        const QString runtime = environment.runtimeFolder(), folder = runtime + "/snmp";
        ASSERT_TRUE(outside.ready);
        ASSERT_TRUE(makeFolder(runtime, 0700));
        if (c.entry.contains('/')) {
            ASSERT_TRUE(makeFolder(folder, 0700));
        }
        const QString planted = runtime + '/' + c.entry;
        ASSERT_TRUE(c.target ? makeLink(outside.*c.target, planted)
                             : makeFile(planted, "planted\n", 0644));
        const auto before = snapshot(outside.path);
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
        EXPECT_TRUE(environment.logLines().isEmpty());
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        check(c);
    }
}

// A runtime folder open to every user, with a link to the person's ~/.snmp
// planted in it, is not used: the file goes to Flowtally's own folder and
// nothing in the open folder or in ~/.snmp changes. Where no private folder
// can be had at all, nothing is written.
TEST(SnmpCommunityFile, AFolderOpenToOthersIsNeverUsed) {
    TestEnvironment environment;
    const Outside outside(environment.folder());
    const QString open = environment.folder() + "/open";
    ASSERT_TRUE(outside.ready);
    ASSERT_TRUE(makeFolder(open, 0777));
    ASSERT_TRUE(makeLink(outside.snmp, open + "/snmp"));
    environment.setRuntimeFolder(open);
    const auto before = snapshot(outside.path), openBefore = snapshot(open);

    ASSERT_TRUE(writeSnmpCommunityFile("pub lic").ok());
    expectFileIn(environment.ownRuntimeFolder() + "/snmp");
    EXPECT_TRUE(removeSnmpCommunityFile().ok());
    EXPECT_EQ(modeOf(environment.ownRuntimeFolder() + "/snmp/snmp.conf"), -1);

    ASSERT_TRUE(makeFile(environment.folder() + "/file", "", 0600));
    environment.setOwnRuntimeFolder(environment.folder() + "/file/own");
    const Status refused = writeSnmpCommunityFile("pub lic");
    EXPECT_FALSE(refused.ok());
    EXPECT_TRUE(refused.message().startsWith("no private folder for runtime files: "))
        << refused.message().toStdString();
    EXPECT_FALSE(refused.message().contains("pub lic"));
    EXPECT_TRUE(removeSnmpCommunityFile().ok());
    EXPECT_EQ(snapshot(outside.path), before);
    EXPECT_EQ(snapshot(open), openBefore);
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

} // namespace

} // namespace flowtally
