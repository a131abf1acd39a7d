// Where the runtime files go: the session's runtime folder only where it is
// this user's alone, else a folder of Flowtally's own; nothing another user
// prepared is used, followed or changed. And in it, the lock and the
// socket that keep Flowtally to one per user.
#include "platform/system/RuntimeFolder.h"
#include "platform/system/SingleInstance.h"

#include "platform/process/FileDescriptor.h"

#include "tests/support/LoopWaits.h"
#include "tests/support/PlantedFiles.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TextPrinting.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace flowtally {

namespace {

// A user the tests give folders to, as root can.
constexpr uid_t kOtherUser = 65534;

// The session's folder is used where it is this user's alone (made where
// missing); else Flowtally's own is, made private, with one log line that
// gives the reason however often it is asked. What the test prepared stays
// as it was.
TEST(RuntimeFolder, TheSessionsFolderOnlyWhereItIsThisUsersAlone) {
    const QString another = "belongs to user 65534";
    const struct {
        const char *what;
        std::function<bool(const QString &session, const QString &outside)> prepare;
        QString reason; // why the session's folder is not used; empty: it is
        std::optional<QString> named = std::nullopt; // the folder named, where not the session's
    } cases[] = {
        {"private", [](auto session, auto) { return makeFolder(session, 0700); }, ""},
        {"missing: made private", [](auto, auto) { return true; }, ""},
        {"open to the group", [](auto session, auto) { return makeFolder(session, 0750); },
         "is open to other users (mode 0750)"},
        {"readable by others", [](auto session, auto) { return makeFolder(session, 0704); },
         "is open to other users (mode 0704)"},
        {"a link to a private folder",
         [](auto session, auto outside) {
             return makeFolder(outside + "/private", 0700) &&
                    makeLink(outside + "/private", session);
         },
         "is a link"},
        {"a dangling link",
         [](auto session, auto outside) { return makeLink(outside + "/planted", session); },
         "is a link"},
        {"a file", [](auto session, auto) { return makeFile(session, "x", 0600); },
         "is not a folder"},
        {"another user's",
         [](auto session, auto) {
             return makeFolder(session, 0700) &&
                    ::chown(QFile::encodeName(session).constData(), kOtherUser, kOtherUser) == 0;
         },
         another},
        // No runtime folder named at all, or one that is no absolute path.
        {"not named", [](auto, auto) { return true; }, "XDG_RUNTIME_DIR is not set", QString()},
        {"relative", [](auto, auto) { return true; },
         "\"flowtally-relative-runtime\" is no absolute folder", "flowtally-relative-runtime"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (c.reason == another && ::geteuid() != 0)
            continue; // only root can give a folder to another user
        TestEnvironment environment;
        const QString outside = environment.folder() + "/outside";
        const QString session = environment.folder() + "/session";
        const QString own = environment.ownRuntimeFolder();
        ASSERT_TRUE(makeFolder(outside, 0755));
        ASSERT_TRUE(c.prepare(session, outside));
        environment.setRuntimeFolder(c.named.value_or(session));
        const auto before = snapshot(outside), sessionBefore = snapshot(session);
        const bool sessions = c.reason.isEmpty();
        for (int ask = 0; ask < 3; ++ask) {
            PrivateFolder folder;
            ASSERT_TRUE(openRuntimeFolder(&folder).ok());
            EXPECT_EQ(folder.path(), sessions ? session : own);
        }
        EXPECT_EQ(modeOf(sessions ? session : own), 0700);
        const QString named = c.named ? QString() : session + ' ';
        EXPECT_EQ(environment.logLines(),
                  sessions ? QStringList()
                           : QStringList{"Runtime files go to " + own + ": " + named + c.reason});
        EXPECT_EQ(snapshot(outside), before);
        if (!sessions) {
            EXPECT_EQ(snapshot(session), sessionBefore);
        }
    }
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

// One start is the first; later ones reach it, as often as they start, and
// once it is gone the next start is the first, whatever stood in the runtime
// folder: a lock planted as a link (to a folder, to a file, to nothing) is
// replaced, never followed, and what it points to stays as it was; a socket
// left by a start that was killed is replaced; a runtime folder open to
// others is not used at all.
TEST(SingleInstance, LaterStartsReachTheFirstWhateverStoodInTheRuntimeFolder) {
    // clang-format off
    const struct { const char *what; QString lockTarget; bool socketLeft = false, open = false; } cases[] = {
        {"nothing", {}},
        {"a lock linked to a folder", "outside/home"},
        {"a lock linked to a file", "outside/file"},
        {"a dangling lock link", "outside/planted"},
        {"a socket left by a killed start", {}, true},
        {"an open runtime folder", {}, false, true},
    };
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment environment;
        const QString outside = environment.folder() + "/outside";
        ASSERT_TRUE(makeFolder(outside, 0755) && makeFolder(outside + "/home", 0755) &&
                    makeFile(outside + "/file", "the person's\n", 0644));
        const QString runtime = environment.runtimeFolder();
        ASSERT_TRUE(makeFolder(runtime, c.open ? 0777 : 0700));
        if (!c.lockTarget.isEmpty()) {
            ASSERT_TRUE(
                makeLink(environment.folder() + '/' + c.lockTarget, runtime + "/flowtally.lock"));
        }
        if (c.socketLeft) {
            sockaddr_un address{AF_UNIX, {}};
            const QByteArray path = QFile::encodeName(runtime + "/flowtally.socket");
            ASSERT_LT(path.size(), qsizetype(sizeof address.sun_path));
            std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
            const FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM, 0));
            ASSERT_EQ(::bind(socket.get(), reinterpret_cast<sockaddr *>(&address), sizeof address),
                      0);
        }
        const auto before = snapshot(outside), runtimeBefore = snapshot(runtime);
        auto first = std::make_unique<SingleInstance>();
        EXPECT_TRUE(first->isFirst());
        int asked = 0;
        QObject::connect(first.get(), &SingleInstance::comeForwardRequested, [&] { ++asked; });
        for (int start = 1; start <= 2; ++start) {
            const SingleInstance later;
            EXPECT_FALSE(later.isFirst());
            EXPECT_TRUE(later.askFirstToComeForward());
            EXPECT_TRUE(runLoopUntil([&] { return asked == start; })) << "start " << start;
        }
        first.reset();
        const SingleInstance next;
        EXPECT_TRUE(next.isFirst());
        const SingleInstance after;
        EXPECT_FALSE(after.isFirst());
        EXPECT_TRUE(after.askFirstToComeForward());
        EXPECT_EQ(modeOf((c.open ? environment.ownRuntimeFolder() : runtime) + "/flowtally.lock"),
                  0600);
        EXPECT_EQ(snapshot(outside), before);
        if (c.open) {
            EXPECT_EQ(snapshot(runtime), runtimeBefore);
        }
        EXPECT_EQ(environment.logLines().size(), c.open ? 1 : 0)
            << environment.logLines().join('\n').toStdString();
    }
}

} // namespace

} // namespace flowtally
