// The work cycle driven for real: timers, one worker per tick, the status
// line, stopping for the preferences, restarting and quitting.
#include "ControllerFixture.h"

#include "LoopWaits.h"
#include "MainLoop.h"
#include "UserDefaults.h"

#include <QLabel>
#include <QPushButton>

#include <functional>

namespace flowtally {

namespace {

class WorkCycle : public ControllerFixture {
  protected:
    void SetUp() override {
        ControllerFixture::SetUp();
        setCounters(5000, 6000);
        reply("arp", QString("host (127.0.0.78) -- no entry\n"));
    }

    // A netstat that prints these counters.
    void setCounters(quint64 in, quint64 out) {
        reply("netstat", QString("Name Mtu Network Address Ipkts Ierrs Ibytes Opkts Oerrs Obytes "
                                 "Coll\neth0 1500 <Link#2> 02:00:00:00:00:01 10 0 %1 20 0 %2 0\n")
                             .arg(in)
                             .arg(out));
    }

    QString statusLine() { return outlet<QLabel>("infoText")->text(); }
};

TEST_F(WorkCycle, TicksCountTheDifferencesAndStopRestartPicksUpTheStoredRecord) {
    controller->startLogging();
    ASSERT_TRUE(runLoopUntil([&] {
        return UserDefaults::standardUserDefaults().objectForKey(kService).toMap().value(
                   "prevInVal") == 5000;
    })) << "the first samples record the counters, the write timer stores them";
    setCounters(9000, 6100);
    ASSERT_TRUE(runLoopUntil([&] { return controller->totalInBytes() == 4000; }));
    EXPECT_EQ(controller->totalOutBytes(), 100u);
    ASSERT_TRUE(runLoopUntil([&] { return statusLine().endsWith("\nNo Error"); }));
    EXPECT_EQ(outlet("airportIP")->text(), "127.0.0.78");

    controller->stopLogging();
    EXPECT_FALSE(controller->isWorking());
    EXPECT_TRUE(outlet<QPushButton>("restartPB")->isEnabled());
    setCounters(11000, 6100);
    controller->doRestart();
    EXPECT_FALSE(outlet<QPushButton>("restartPB")->isEnabled());
    ASSERT_TRUE(runLoopUntil([&] { return controller->totalInBytes() == 6000; }));
}

TEST_F(WorkCycle, BrokenNetstatOutputShowsOnTheStatusLine) {
    reply("netstat", QString("only a header\n"));
    controller->startLogging();
    ASSERT_TRUE(
        runLoopUntil([&] { return statusLine().endsWith("\nNetstat Error: see Console Log."); }));
    EXPECT_EQ(controller->totalInBytes(), 0u);
}

TEST_F(WorkCycle, WithoutANetworkTicksGoOnQuietly) {
    useNetwork(std::nullopt);
    controller->setPrimaryService(std::nullopt);
    environment.clearLog();
    controller->startLogging();
    int quiet = 0;
    ASSERT_TRUE(
        runLoopUntil([&] { return (quiet += newTexts().count("No network connection.")) >= 3; }));
    // Only the start loads the defaults; the ticks after it find nothing new.
    EXPECT_EQ(environment.logLinesContaining("for undefined key: DisplayLimitGB").size(), 1);
    EXPECT_EQ(runs().find("netstat"), std::string::npos);
    EXPECT_TRUE(controller->isLogging());
}

TEST_F(WorkCycle, QuittingStopsTicksAndDropsLateStatusTexts) {
    controller->startLogging();
    EXPECT_TRUE(controller->applicationShouldTerminate());
    EXPECT_FALSE(controller->isLogging());
    EXPECT_FALSE(controller->isWorking());
    const QString shown = statusLine();
    AppDelegate::doSetInfoText("too late");
    runMainLoopFor(0.3);
    EXPECT_EQ(statusLine(), shown);
    controller->startLogging();
    EXPECT_FALSE(controller->isLogging()) << "nothing starts again once quitting";
}

} // namespace

} // namespace flowtally
