// The work cycle driven for real: timers, one worker per tick, the status
// line, stopping for the preferences, restarting and quitting.
#include "ControllerFixture.h"

#include "LogCapture.h"
#include "MainLoop.h"
#include "StatusTexts.h"
#include "ToolPaths.h"
#include "UserDefaults.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>

#include <functional>

namespace {

class WorkCycle : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        ASSERT_TRUE(folder.isValid());
        setCounters(5000, 6000);
        // A netstat that prints the counters this test chose.
        writeScript(QStringLiteral("netstat"),
                    QStringLiteral("echo 'Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs "
                                   "Obytes Coll'\ncat '%1'\n")
                        .arg(folder.filePath(QStringLiteral("line"))));
        writeScript(QStringLiteral("arp"),
                    QStringLiteral("echo 'host (127.0.0.78) -- no entry'\n"));
        setToolPath(kNetstatTool, folder.filePath(QStringLiteral("netstat")));
        setToolPath(kArpTool, folder.filePath(QStringLiteral("arp")));
    }

    void TearDown() override {
        if (controller && controller->isLogging())
            controller->applicationShouldTerminate();
        setToolPath(kNetstatTool, {});
        setToolPath(kArpTool, {});
        ControllerFixture::TearDown();
    }

    void writeScript(const QString &name, const QString &body) {
        QFile script(folder.filePath(name));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + body.toUtf8());
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void setCounters(quint64 in, quint64 out) {
        QFile line(folder.filePath(QStringLiteral("line")));
        ASSERT_TRUE(line.open(QIODevice::WriteOnly | QIODevice::Truncate));
        line.write(QStringLiteral("eth0 1500 <Link#2> 02:00:00:00:00:01 10 0 %1 20 0 %2 0\n")
                       .arg(in)
                       .arg(out)
                       .toUtf8());
    }

    // Runs the main loop until the condition holds, for at most `seconds`.
    static bool runUntil(const std::function<bool()> &condition, double seconds = 20) {
        for (int slice = 0; slice < int(seconds / 0.05) && !condition(); ++slice)
            runMainLoopFor(0.05);
        return condition();
    }

    QTemporaryDir folder;
};

TEST_F(WorkCycle, TicksTakeSamplesAndCountTheDifferences) {
    controller->startLogging();
    ASSERT_TRUE(runUntil([&] { return controller->prevInVal() == 5000; }))
        << "the first samples record the counters";
    setCounters(9000, 6100);
    ASSERT_TRUE(runUntil([&] { return controller->totalInBytes() == 4000; }));
    EXPECT_EQ(controller->totalOutBytes(), 100u);

    auto *status = outlet<QLabel>("infoText");
    ASSERT_TRUE(runUntil([&] { return status->text().endsWith(QLatin1String("\nNo Error")); }));
    EXPECT_EQ(status->toolTip(), status->text());
    EXPECT_EQ(outlet<FormattedField>("airportIP")->text(), QStringLiteral("127.0.0.78"));
}

TEST_F(WorkCycle, StopWaitsForTheWorkerAndRestartPicksUpTheStoredRecord) {
    controller->startLogging();
    ASSERT_TRUE(runUntil([&] { return controller->prevInVal() == 5000; }));
    ASSERT_TRUE(runUntil([&] {
        const QVariantMap stored =
            UserDefaults::standardUserDefaults().objectForKey(kService).toMap();
        return stored.value(QStringLiteral("prevInVal")).toULongLong() == 5000;
    })) << "the write timer stores the record";

    controller->stopLogging();
    EXPECT_FALSE(controller->isLogging());
    EXPECT_FALSE(controller->isWorking());
    EXPECT_TRUE(outlet<QPushButton>("restartPB")->isEnabled());

    setCounters(7000, 7000);
    controller->doRestart();
    EXPECT_FALSE(outlet<QPushButton>("restartPB")->isEnabled());
    ASSERT_TRUE(runUntil([&] { return controller->totalInBytes() == 2000; }));
}

TEST_F(WorkCycle, BrokenNetstatOutputShowsOnTheStatusLine) {
    writeScript(QStringLiteral("netstat"), QStringLiteral("echo 'only a header'\n"));
    controller->startLogging();
    auto *status = outlet<QLabel>("infoText");
    ASSERT_TRUE(runUntil([&] {
        return status->text().endsWith(QLatin1String("\nNetstat Error: see Console Log."));
    }));
    EXPECT_EQ(controller->totalInBytes(), 0u);
}

TEST_F(WorkCycle, WithoutANetworkTicksGoOnQuietly) {
    setCurrentService(std::nullopt);
    controller->setPrimaryService(std::nullopt);
    LogCapture log;
    StatusTexts status;
    controller->startLogging();
    ASSERT_TRUE(runUntil(
        [&] { return status.shown().count(QStringLiteral("No network connection.")) >= 3; }));
    // Only the start loads the defaults; the ticks after it find nothing new.
    EXPECT_EQ(log.linesContaining(QStringLiteral("for undefined key: DisplayLimitGB")).size(), 1);
    EXPECT_TRUE(log.linesContaining(QStringLiteral("netstat")).isEmpty());
    EXPECT_TRUE(controller->isLogging());
}

TEST_F(WorkCycle, QuittingStopsTicksAndDropsLateStatusTexts) {
    controller->startLogging();
    EXPECT_TRUE(controller->applicationShouldTerminate());
    EXPECT_FALSE(controller->isLogging());
    EXPECT_FALSE(controller->isWorking());
    auto *status = outlet<QLabel>("infoText");
    const QString shown = status->text();
    AppDelegate::doSetInfoText(QStringLiteral("too late"));
    runMainLoopFor(0.3);
    EXPECT_EQ(status->text(), shown);
    controller->startLogging();
    EXPECT_FALSE(controller->isLogging()) << "nothing starts again once quitting";
}

} // namespace
