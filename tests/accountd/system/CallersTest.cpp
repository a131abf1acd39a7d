// Each caller sees only its own applications, the system services and the
// machine's totals; callers who misbehave keep nobody else waiting.
#include "tests/accountd/ServerHarness.h"
#include "tests/accountd/system/AccountdScene.h"
#include "tests/support/ProcessProbe.h"

#include <csignal>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace flowtally {

namespace {

std::vector<std::string> cgroupsOf(const AccountdCounters &counters) {
    std::vector<std::string> cgroups;
    for (const AccountdCounter &counter : counters.cgroups)
        if (cgroups.empty() || cgroups.back() != counter.cgroup)
            cgroups.push_back(counter.cgroup);
    return cgroups;
}

using CallersTest = AccountdSystemTest;

// Two users' applications and a system service; the second user's cgroup
// is made after the service walked the tree, so that it learns its path
// when its counters show up (at the next walk, at most a second later).
TEST_F(CallersTest, ACallerSeesOnlyItsOwnApplicationsAndTheSystemServices) {
    for (const std::string &cgroup : {kEditor, kBackup})
        ASSERT_TRUE(scene->makeCgroup(cgroup));
    ASSERT_TRUE(scene->runApplication(kEditor, "203.0.113.1", 10000, 20000));
    ASSERT_TRUE(scene->runApplication(kBackup, "192.168.77.1", 30000, 1000));
    EXPECT_EQ(cgroupsOf(scene->countersAs(1000)), (std::vector<std::string>{kBackup, kEditor}));
    ASSERT_TRUE(scene->makeCgroup(kViewer));
    ASSERT_TRUE(scene->runApplication(kViewer, "203.0.113.1", 40000, 50000));
    pollUntil([&] { return cgroupsOf(scene->countersAs(65534)).size() >= 2; }, 30, 100);

    const AccountdCounters first = scene->countersAs(1000);
    const AccountdCounters second = scene->countersAs(65534);
    const AccountdCounters root = scene->countersAs(0);
    EXPECT_EQ(first.uid, 1000u);
    EXPECT_EQ(second.uid, 65534u);
    EXPECT_EQ(cgroupsOf(first), (std::vector<std::string>{kBackup, kEditor}));
    EXPECT_EQ(cgroupsOf(second), (std::vector<std::string>{kBackup, kViewer}));
    EXPECT_EQ(cgroupsOf(root), (std::vector<std::string>{kBackup}));
    // The machine's totals are everyone's, the same for all.
    EXPECT_EQ(first.totals, second.totals);
    EXPECT_EQ(first.totals, root.totals);
    EXPECT_GT(find(second, "", "wan0", AccountdDirection::In, AccountdPeer::Internet).bytes,
              find(second, kViewer, "wan0", AccountdDirection::In, AccountdPeer::Internet).bytes);
}

// Another user's process holds hundreds of connections that never ask,
// sends garbage and a request of a mebibyte, and asks without ever reading;
// meanwhile every other caller, that user's own included, is answered.
TEST_F(CallersTest, HostileCallersKeepNobodyElseWaiting) {
    const std::string socketPath = scene->socketPath;
    const pid_t hostile = ::fork();
    if (hostile == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        std::vector<int> held;
        for (int index = 0; index < 300; ++index)
            held.push_back(connectTo(socketPath));
        // What the service answers these: Server's AnswersTheCallersUserAndRefusesWhatIsNoRequest.
        sendAndRead(connectTo(socketPath), "GET / HTTP/1.0\r\n\r\n");
        sendAndRead(connectTo(socketPath), std::string(1 << 20, 'x'));
        ::send(connectTo(socketPath), "counters 1\n", 11, MSG_NOSIGNAL);
        for (int index = 0; index < 300; ++index)
            held.push_back(connectTo(socketPath));
        // Holding all of it until the test kills it.
        ::raise(SIGSTOP);
        ::_exit(0);
    }
    ASSERT_GT(hostile, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(hostile, &status, WUNTRACED), hostile);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the hostile caller ended with " << WEXITSTATUS(status);
    for (const std::uint32_t uid : {0u, 1000u, 65534u})
        EXPECT_EQ(scene->countersAs(uid).uid, uid);
    EXPECT_TRUE(scene->serviceRunning());
    ::kill(hostile, SIGKILL);
    ::waitpid(hostile, nullptr, 0);
    EXPECT_EQ(scene->countersAs(1000).uid, 1000u);
}

} // namespace

} // namespace flowtally
