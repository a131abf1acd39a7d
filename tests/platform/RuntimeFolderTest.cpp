// Where the runtime files go: the session's runtime folder only where it is
// this user's alone, else a folder of Flowtally's own; nothing another user
// prepared is used, followed or changed.
#include "RuntimeFolder.h"

#include "PlantedFiles.h"
#include "TestEnvironment.h"
#include "TextPrinting.h"


#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace flowtally {

namespace {

// A user the tests give folders to, as root can.
constexpr uid_t kOtherUser = 65534;

// The folder chosen for the session's folder as the test prepared it: the
// session's where it is private, else the own one, made private, with one
// log line however often it is asked; what the test prepared stays as it was.
void expectChoice(TestEnvironment &environment, const QString &session, bool sessions) {
    const QString own = environment.ownRuntimeFolder();
    environment.setRuntimeFolder(session);
    const auto before = snapshot(environment.folder() + "/outside");
    const auto sessionBefore = snapshot(session);
    for (int ask = 0; ask < 3; ++ask) {
        PrivateFolder folder;
        ASSERT_TRUE(openRuntimeFolder(&folder).ok());
        EXPECT_EQ(folder.path(), sessions ? session : own);
    }
    EXPECT_EQ(modeOf(sessions ? session : own), 0700);
    EXPECT_EQ(environment.logLines().size(), sessions ? 0 : 1)
        << environment.logLines().join('\n').toStdString();
    EXPECT_EQ(snapshot(environment.folder() + "/outside"), before);
    if (!sessions) {
        EXPECT_EQ(snapshot(session), sessionBefore);
        EXPECT_EQ(modeOf(own), 0700);
    }
}

TEST(RuntimeFolder, TheSessionsFolderOnlyWhereItIsThisUsersAlone) {
    const struct {
        const char *what;
        std::function<bool(const QString &session, const QString &outside)> prepare;
        bool sessions;
    } cases[] = {
        {"private", [](auto session, auto) { return makeFolder(session, 0700); }, true},
        {"missing: made private", [](auto, auto) { return true; }, true},
        {"open to all", [](auto session, auto) { return makeFolder(session, 0777); }, false},
        {"open to the group", [](auto session, auto) { return makeFolder(session, 0750); }, false},
        {"readable by others", [](auto session, auto) { return makeFolder(session, 0704); }, false},
        {"a link to a private folder",
         [](auto session, auto outside) {
             return makeFolder(outside + "/private", 0700) &&
                    makeLink(outside + "/private", session);
         },
         false},
        {"a dangling link",
         [](auto session, auto outside) { return makeLink(outside + "/planted", session); }, false},
        {"a file", [](auto session, auto) { return makeFile(session, "x", 0600); }, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment environment;
        const QString outside = environment.folder() + "/outside";
        const QString session = environment.folder() + "/session";
        ASSERT_TRUE(makeFolder(outside, 0755));
        ASSERT_TRUE(c.prepare(session, outside));
        expectChoice(environment, session, c.sessions);
    }
    // No runtime folder named at all.
    TestEnvironment environment;
    environment.setRuntimeFolder({});
    PrivateFolder folder;
    ASSERT_TRUE(openRuntimeFolder(&folder).ok());
    EXPECT_EQ(folder.path(), environment.ownRuntimeFolder());
    EXPECT_EQ(environment.logLinesContaining("XDG_RUNTIME_DIR is not set").size(), 1);
}

TEST(RuntimeFolder, AnotherUsersFolderIsNeverUsed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a folder to another user";
    TestEnvironment environment;
    const QString session = environment.folder() + "/session";
    ASSERT_TRUE(makeFolder(environment.folder() + "/outside", 0755));
    ASSERT_TRUE(makeFolder(session, 0700));
    ASSERT_EQ(::chown(QFile::encodeName(session).constData(), kOtherUser, kOtherUser), 0);
    expectChoice(environment, session, false);
    EXPECT_EQ(environment.logLinesContaining("belongs to user 65534").size(), 1);
}

// Where neither folder is private, none is had: both reasons are given and
// nothing is made.
TEST(RuntimeFolder, NoneWhereNeitherIsPrivate) {
    TestEnvironment environment;
    const QString outside = environment.folder() + "/outside";
    ASSERT_TRUE(makeFolder(outside, 0755));
    ASSERT_TRUE(makeFolder(outside + "/elsewhere", 0700));
    ASSERT_TRUE(makeFolder(environment.folder() + "/session", 0777));
    ASSERT_TRUE(makeLink(outside + "/elsewhere", environment.folder() + "/own"));
    environment.setRuntimeFolder(environment.folder() + "/session");
    environment.setOwnRuntimeFolder(environment.folder() + "/own");
    const auto before = snapshot(environment.folder());
    PrivateFolder folder;
    const Status status = openRuntimeFolder(&folder);
    EXPECT_EQ(status.code(), Status::Code::Refused);
    EXPECT_FALSE(folder.isOpen());
    EXPECT_EQ(status.message(), "no private folder for runtime files: " + environment.folder() +
                                    "/session is open to other users (mode 0777); " +
                                    environment.folder() + "/own is a link");
    EXPECT_EQ(snapshot(environment.folder()), before);
}

} // namespace

} // namespace flowtally
