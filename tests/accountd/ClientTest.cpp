#include "accountd/client/AccountdClient.h"
#include "tests/accountd/ServerHarness.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace flowtally {

namespace {

using std::chrono::milliseconds;

// A socket bound at `path`, listening or not, that never accepts.
int silentSocket(const std::string &path, bool listening) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    if (listening)
        ::listen(fd, 4);
    return fd;
}

// Each outcome of a reading: no service, one that fails, a whole answer.
TEST(AccountdClient, NoServiceIsAbsentAFailingOneAFailureAndAnAnswerArrivesWhole) {
    const QTemporaryDir folder;
    const std::string missing = folder.filePath("missing.sock").toStdString();
    EXPECT_EQ(readAccountd(missing, milliseconds(500)).outcome, AccountdReading::Outcome::Absent);
    // A socket left by a service that is gone: nothing listens.
    const std::string stale = folder.filePath("stale.sock").toStdString();
    ::close(silentSocket(stale, false));
    const AccountdReading gone = readAccountd(stale, milliseconds(500));
    EXPECT_EQ(gone.outcome, AccountdReading::Outcome::Absent) << gone.error;

    const std::string silent = folder.filePath("silent.sock").toStdString();
    const int listening = silentSocket(silent, true);
    const AccountdReading late = readAccountd(silent, milliseconds(300));
    EXPECT_EQ(late.outcome, AccountdReading::Outcome::Failed);
    EXPECT_EQ(late.error, "flowtally-accountd did not answer in time");
    ::close(listening);

    ServerHarness talker({}, [](std::uint32_t) { return std::string("hello\n"); });
    const AccountdReading garbled = readAccountd(talker.path(), milliseconds(2000));
    EXPECT_EQ(garbled.outcome, AccountdReading::Outcome::Failed);
    EXPECT_EQ(garbled.error, "not an answer of flowtally-accountd");

    const AccountdCounter counter{
        "system.slice/backup.service", 2, "eth0",    AccountdDirection::Out,
        AccountdPeer::Local,           7, 1ull << 40};
    std::string text = accountdHeaderLine("0123456789abcdef0123456789abcdef", 42, 0);
    // Many lines: the answer takes many reads.
    for (int index = 0; index < 20000; ++index)
        text += accountdCounterLine(counter);
    text += accountdEndLine(20001);
    ServerHarness service({}, [&text](std::uint32_t) { return text; });
    const AccountdReading reading = readAccountd(service.path(), milliseconds(5000));
    ASSERT_EQ(reading.outcome, AccountdReading::Outcome::Counters) << reading.error;
    EXPECT_EQ(reading.counters.uid, 42u);
    ASSERT_EQ(reading.counters.cgroups.size(), 20000u);
    EXPECT_EQ(reading.counters.cgroups.back(), counter);
}

} // namespace

} // namespace flowtally
