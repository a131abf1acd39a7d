// A netstat that misbehaves for some ticks of the running work cycle:
// metering goes on, the log tells the fault once, and the bytes the counters
// moved meanwhile are counted whole once the tool answers again.
#include "ControllerFixture.h"

#include "LoopWaits.h"
#include "ToolPaths.h"

#include <QLabel>

namespace flowtally {

namespace {

class ToolFaults : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        reply("arp", QString("host (127.0.0.78) -- no entry\n"));
        setNetstatCounters(5000, 6000);
    }

    QString statusLine() { return outlet<QLabel>("infoText")->text(); }

    // A tool that hangs is given up after 300 ms; one that only works hard
    // (megabytes through a pipe on a busy machine) gets all the time it needs.
    void expectHang(bool hang) {
        environment.setToolTimeout(hang ? std::chrono::milliseconds(300)
                                        : std::chrono::seconds(60));
    }

    // Runs netstat as this script until it has run `ticks` times, then puts
    // the fixture's netstat back.
    bool runFaultyNetstat(const QString &body, int ticks) {
        const QString kept = environment.toolPath(kNetstatTool);
        const QString counted = tools.filePath("faulty-runs");
        QFile::remove(counted);
        environment.setToolPath(
            kNetstatTool,
            tools.write("faulty-netstat", QString("echo >> '%1'\n").arg(counted) + body));
        const bool ran = runLoopUntil([&] {
            QFile file(counted);
            return file.open(QIODevice::ReadOnly) && file.readAll().count('\n') >= ticks;
        });
        environment.setToolPath(kNetstatTool, kept);
        return ran;
    }
};

TEST_F(ToolFaults, FaultIsToldOnceAndItsBytesCountOnceItEnds) {
    // clang-format off
    const struct { const char *fault, *body, *told; } cases[] = {
        {"crash", "ulimit -c 0; printf 'Name Mtu'; kill -SEGV $$", "Task ended badly. Status: 11"},
        {"hang", "sleep 30", "Tool did not end within 300 ms"},
        {"hang holding the output", "sleep 30 & echo early", "Tool did not end within 300 ms"},
        {"garbage", R"(printf '\377\376\000garbage\n\001\002\n')", "Short line-count"},
        {"garbage lines", "printf 'garbage\\nmore garbage\\n'", "Result Format Error"},
        {"megabytes", "head -c 20000000 /dev/zero | tr '\\0' x", "Short line-count"},
        {"megabytes of lines", "yes 'x x x' | head -c 20000000", "Result Format Error"},
        {"output closed early", "printf 'Name Mtu'; exec >&-; sleep 0.2", "Short line-count"},
        {"failure", "echo 'netstat: no such interface' >&2; exit 1", "Task ended badly. Status: 1"},
    };
    // clang-format on
    quint64 in = 5000, out = 6000;
    ASSERT_TRUE(startMetering(in));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        expectHang(QByteArray(c.told).startsWith("Tool did not end"));
        environment.clearLog();
        newTexts();
        const quint64 totalIn = controller->totalInBytes(), totalOut = controller->totalOutBytes();
        ASSERT_TRUE(runFaultyNetstat(c.body, 3)) << "metering stopped";
        EXPECT_EQ(controller->totalInBytes(), totalIn);
        EXPECT_TRUE(newTexts().contains("Netstat Error: see Console Log."));
        const QStringList told = environment.logLines();
        ASSERT_EQ(told.size(), 1) << told.join('\n').left(2000).toStdString();
        EXPECT_TRUE(told.first().contains(c.told)) << told.first().left(2000).toStdString();
        EXPECT_LT(told.first().size(), 1000) << "the log line holds the tool's megabytes";

        in += 1'000'003;
        out += 7;
        setNetstatCounters(in, out);
        ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == in; }))
            << "metering did not resume";
        EXPECT_EQ(controller->totalInBytes(), totalIn + 1'000'003);
        EXPECT_EQ(controller->totalOutBytes(), totalOut + 7);
        EXPECT_TRUE(runLoopUntil([&] { return statusLine().endsWith("\nNo Error"); }));
        EXPECT_EQ(environment.logLines(), told) << "the end of the fault was told again";
    }
    EXPECT_TRUE(controller->isLogging());
}

// The same fault after a good sample, or after metering began again, is a
// new fault and told again.
TEST_F(ToolFaults, FaultIsToldAgainWhenItComesBack) {
    ASSERT_TRUE(startMetering(5000));
    environment.clearLog();
    ASSERT_TRUE(runFaultyNetstat("ulimit -c 0; kill -SEGV $$", 2));
    setNetstatCounters(5001, 6001);
    ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == 5001; }));
    ASSERT_TRUE(runFaultyNetstat("ulimit -c 0; kill -SEGV $$", 2));
    EXPECT_EQ(environment.logLinesContaining("Task ended badly").size(), 2);
    controller->stopLogging();
    environment.clearLog();
    controller->doRestart();
    ASSERT_TRUE(runFaultyNetstat("ulimit -c 0; kill -SEGV $$", 2));
    EXPECT_EQ(environment.logLinesContaining("Task ended badly").size(), 1);
    setNetstatCounters(5101, 6001);
    ASSERT_TRUE(runLoopUntil([&] { return controller->prevInVal() == 5101; }));
    EXPECT_EQ(controller->totalInBytes(), 101u);
}

} // namespace

} // namespace flowtally
