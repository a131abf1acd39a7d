#include "accountd/protocol/AccountdProtocol.h"
#include "platform/process/FileDescriptor.h"
#include "tests/accountd/ServerHarness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace flowtally {

namespace {

std::string answerFor(std::uint32_t uid) {
    return "answer for " + std::to_string(uid) + "\n";
}

// The test's sockets, closed as it ends.
struct Sockets {
    int add(int fd) { return fds.emplace_back(fd).get(); }
    std::vector<FileDescriptor> fds;
};

TEST(Server, AnswersTheCallersUserAndRefusesWhatIsNoRequest) {
    ServerHarness server({}, answerFor);
    ASSERT_EQ(server.error(), "");
    Sockets sockets;
    const std::string own = answerFor(static_cast<std::uint32_t>(::getuid()));
    EXPECT_EQ(sendAndRead(sockets.add(connectTo(server.path())), "counters 1\n"), own);
    EXPECT_EQ(sendAndRead(sockets.add(connectTo(server.path())), "garbage\n"),
              "error 1 bad-request\n");
    EXPECT_EQ(sendAndRead(sockets.add(connectTo(server.path())), "counters 2\n"),
              "error 1 unsupported-version\n");
    // A request that never ends is cut at its bound and refused; the rest
    // of it is never read.
    EXPECT_EQ(sendAndRead(sockets.add(connectTo(server.path())), std::string(1 << 20, 'c')),
              "error 1 bad-request\n");
    // A request in pieces is one request.
    const int pieces = sockets.add(connectTo(server.path()));
    ASSERT_EQ(::send(pieces, "coun", 4, 0), 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(sendAndRead(pieces, "ters 1\n"), own);
}

// Callers that never ask, ask by the byte, or never read their answer, and
// far more of them than the bound: each goes at its deadline or for a
// newer one, and a caller who asks still gets the whole answer.
TEST(Server, IdleSlowAndManyCallersCannotHoldItUp) {
    const std::string big(2u << 20, 'x');
    ServerHarness server(
        {.connections = 32, .connectionsPerUser = 32, .deadline = std::chrono::milliseconds(1500)},
        [&big](std::uint32_t) { return big; });
    ASSERT_EQ(server.error(), "");
    Sockets sockets;
    const int neverReads = sockets.add(connectTo(server.path()));
    ASSERT_EQ(::send(neverReads, "counters 1\n", 11, 0), 11);
    const int byTheByte = sockets.add(connectTo(server.path()));
    ASSERT_EQ(::send(byTheByte, "c", 1, 0), 1);
    std::vector<int> idle;
    for (int index = 0; index < 300; ++index)
        idle.push_back(sockets.add(connectTo(server.path())));
    EXPECT_EQ(sendAndRead(sockets.add(connectTo(server.path())), "counters 1\n"), big);
    EXPECT_LE(server.most(), 32u);

    // Every one of them was closed: reading ends, short of a whole answer.
    EXPECT_LT(sendAndRead(neverReads, "").size(), big.size());
    EXPECT_EQ(sendAndRead(byTheByte, ""), "");
    for (const int fd : {idle.front(), idle.back()})
        EXPECT_EQ(sendAndRead(fd, ""), "");
}

// Answers that wait to be read hold memory: past the bound a caller is
// told to come again, and a caller whose deadline passed gives its room up.
TEST(Server, AnswersWaitingToBeReadAreBoundedInBytes) {
    const std::string big(4u << 20, 'x');
    ServerHarness server({.deadline = std::chrono::milliseconds(500),
                          .answerBytes = 6u << 20,
                          .waitingBytes = 6u << 20},
                         [&big](std::uint32_t) { return big; });
    ASSERT_EQ(server.error(), "");
    Sockets sockets;
    const int neverReads = sockets.add(connectTo(server.path()));
    ASSERT_EQ(::send(neverReads, "counters 1\n", 11, 0), 11);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(sendAndRead(sockets.add(connectTo(server.path())), "counters 1\n"), "error 1 busy\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(sendAndRead(sockets.add(connectTo(server.path())), "counters 1\n"), big);
}

} // namespace

} // namespace flowtally
