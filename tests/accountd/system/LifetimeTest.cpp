// Callers who misbehave keep nobody else waiting; the service's programs go
// with it, however it ends, and a new start begins its counters again under
// a new start identifier.
#include "accountd/client/AccountdClient.h"
#include "platform/process/FileDescriptor.h"
#include "tests/accountd/ServerHarness.h"
#include "tests/accountd/system/AccountdScene.h"

#include <bpf/bpf.h>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace flowtally {

namespace {

// The programs attached to the root folder, ingress and egress.
std::uint32_t attachedTo(const std::string &folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::uint32_t all = 0;
    for (const bpf_attach_type type : {BPF_CGROUP_INET_INGRESS, BPF_CGROUP_INET_EGRESS}) {
        std::uint32_t count = 0;
        if (bpf_prog_query(fd, type, 0, nullptr, nullptr, &count) == 0)
            all += count;
    }
    ::close(fd);
    return all;
}

using LifetimeTest = AccountdSystemTest;

TEST_F(LifetimeTest, OutlivesHostileCallersGoesWhenStoppedAndBeginsAgain) {
    // Another user holds hundreds of connections that never ask, sends
    // garbage and a request of a mebibyte, and asks without ever reading
    // (what the service answers these: Server's
    // AnswersTheCallersUserAndRefusesWhatIsNoRequest); meanwhile every other
    // caller, that user's own included, is answered.
    ASSERT_EQ(::seteuid(65534), 0);
    std::vector<FileDescriptor> held;
    const auto hold = [&] { return held.emplace_back(connectTo(scene->socketPath)).get(); };
    for (int index = 0; index < 300; ++index)
        hold();
    sendAndRead(hold(), "GET / HTTP/1.0\r\n\r\n");
    sendAndRead(hold(), std::string(1 << 20, 'x'));
    ::send(hold(), "counters 1\n", 11, MSG_NOSIGNAL);
    for (int index = 0; index < 300; ++index)
        hold();
    ASSERT_EQ(::seteuid(0), 0);
    for (const std::uint32_t uid : {0u, 1000u, 65534u})
        EXPECT_EQ(scene->countersAs(uid).uid, uid);
    EXPECT_TRUE(scene->serviceRunning());
    held.clear();
    EXPECT_EQ(scene->countersAs(1000).uid, 1000u);

    ASSERT_TRUE(scene->makeCgroup(kEditor));
    ASSERT_TRUE(scene->runApplication(kEditor, "203.0.113.1", 100000, 1000));
    const AccountdReading first = readAccountd(scene->socketPath);
    ASSERT_EQ(first.outcome, AccountdReading::Outcome::Counters) << first.error;
    const auto sent = [](const AccountdCounters &counters) {
        return AccountdSystemTest::find(counters, "", "wan0", AccountdDirection::Out,
                                        AccountdPeer::Internet)
            .bytes;
    };
    EXPECT_GT(sent(first.counters), 100000u);
    EXPECT_EQ(attachedTo(scene->root), 2u);

    // Stopped: detached, the socket gone, the service absent to a client.
    ASSERT_TRUE(scene->stopService(SIGTERM));
    EXPECT_EQ(attachedTo(scene->root), 0u);
    EXPECT_EQ(readAccountd(scene->socketPath).outcome, AccountdReading::Outcome::Absent);

    // Started again: a new identifier, counters from zero.
    ASSERT_EQ(scene->startService(), QString());
    ASSERT_TRUE(scene->runApplication(kEditor, "203.0.113.1", 10000, 1000));
    const AccountdReading second = readAccountd(scene->socketPath);
    ASSERT_EQ(second.outcome, AccountdReading::Outcome::Counters) << second.error;
    EXPECT_NE(second.counters.startId, first.counters.startId);
    EXPECT_GT(sent(second.counters), 10000u);
    EXPECT_LT(sent(second.counters), 100000u);

    // Killed: the kernel detaches the programs with the process; the socket
    // it left is taken over by the next start.
    ASSERT_TRUE(scene->stopService(SIGKILL));
    EXPECT_EQ(attachedTo(scene->root), 0u);
    EXPECT_EQ(readAccountd(scene->socketPath).outcome, AccountdReading::Outcome::Absent);
    ASSERT_EQ(scene->startService(), QString());
    const AccountdReading third = readAccountd(scene->socketPath);
    ASSERT_EQ(third.outcome, AccountdReading::Outcome::Counters) << third.error;
    EXPECT_NE(third.counters.startId, second.counters.startId);
}

} // namespace

} // namespace flowtally
