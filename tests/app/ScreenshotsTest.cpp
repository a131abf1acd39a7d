// Pictures of every window and chart, written under the build folder
// (screenshots/NAME.png and NAME@2x.png) for people to look at: the main,
// preferences and help windows ten days into the period with 10.8G counted,
// after two samples of a router 2 s apart (1.59M/s in, 82K/s out), the busy
// indicator moving, the main window also on a dark desktop and at 1590x940; the charts, also on a
// dark desktop, over forty days of a household's traffic with a billing cycle from the 20th that
// runs across the end of March and its change of clocks, a limit of 250G and ten minutes of rates
// with a pause; the History window; the log window, light and dark, its text on the window's
// colours. Each picture, at its window's size, is not blank.
#include "tests/support/controller/ControllerFixture.h"

#include "app/LogWindow.h"
#include "charts/ChartColours.h"
#include "charts/CycleChart.h"
#include "charts/HistoryTable.h"
#include "charts/HistoryWindow.h"
#include "charts/RatesChart.h"
#include "platform/loop/MainLoop.h"
#include "platform/system/SystemLog.h"
#include "platform/widgets/BusyIndicator.h"

#include "tests/charts/Palettes.h"
#include "tests/charts/RedrawnLikeNew.h"
#include "tests/charts/SampleTraffic.h"
#include "tests/history/HistoryFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <cmath>

namespace flowtally {

namespace {

constexpr quint64 kGiB = quint64(1) << 30;

// Returns the picture at a scale of 1.
QImage save(QWidget &widget, const QString &name) {
    SCOPED_TRACE(name.toStdString());
    const QString folder = QApplication::applicationDirPath() + "/../screenshots/";
    EXPECT_TRUE(QDir().mkpath(folder));
    QImage image;
    for (const int scale : {2, 1}) {
        image = pictureAt(widget, scale);
        QImage blank(image.size(), image.format());
        blank.fill(image.pixelColor(0, 0));
        EXPECT_NE(image, blank) << "a blank picture";
        EXPECT_TRUE(image.save(folder + name + (scale == 1 ? "" : "@2x") + ".png"));
    }
    return image;
}

using Screenshots = ControllerFixture;

TEST_F(Screenshots, EveryWindowAndChart) {
    setLimit(250, kGiB);
    controller->loadPersistentValuesFromDict({{"resetDate", base.addDays(-10)},
                                              {"totalInBytes", quint64(10.8 * kGiB)},
                                              {"prevInVal", quint64(5'000'000)},
                                              {"prevOutVal", quint64(700'000)}});
    // The router's 64-bit counters of its vlan1, as the router source reads them.
    for (const auto &[in, out, seconds] :
         {std::tuple{5'000'000ull, 700'000ull, 0.0}, std::tuple{8'340'000ull, 868'000ull, 2.0}}) {
        TrafficSample read = sample('R', in, out, seconds, 100 + seconds);
        read.insert(SampleKey::MeteredInterface, "vlan1");
        read.insert(SampleKey::CounterBits, 64);
        read.insert(SampleKey::SourceDescription, "SNMP: vlan1, 64-bit");
        controller->processStatsDict(read);
    }
    controller->setIPField("192.168.1.1");
    AppDelegate::doSetInfoText("No Error");
    outlet<BusyIndicator>("workProgress")->startAnimation();
    for (const auto &[window, name] : {std::pair{windows().mainWindowWidget(), "main"},
                                       {windows().prefsWindowWidget(), "preferences"},
                                       {windows().helpWindowWidget(), "help"}}) {
        window->show();
        // The busy indicator shows once the work has lasted a moment.
        runMainLoopFor(0.2 + BusyIndicator::kShowDelayMs / 1000.0);
        save(*window, name);
    }
    // The main window on a dark desktop, and grown large: its rows stay
    // together, the charts take the room.
    QWidget &main = *windows().mainWindowWidget();
    const QSize usual = main.size();
    // The fields and buttons of a dark desktop too, beside the charts' colours.
    QPalette dark = darkPalette();
    for (const QPalette::ColorRole role : {QPalette::Base, QPalette::Button})
        dark.setColor(role, QColor(0x2a, 0x2e, 0x32));
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, dark.color(QPalette::WindowText));
    main.setPalette(dark);
    save(main, "main-dark");
    main.setPalette(QPalette());
    main.resize(1590, 940);
    runMainLoopFor(0.1);
    save(main, "main-large");
    main.resize(usual);

    const QTimeZone berlin = zone("Europe/Berlin");
    const QDateTime now = local("2024-03-27T20:00:00", berlin);
    std::unique_ptr<HistoryStore> store;
    ASSERT_TRUE(
        HistoryStore::open(environment.folder() + "/history.sqlite3", {.zone = berlin}, &store)
            .ok());
    ASSERT_TRUE(addSampleTraffic(*store, {flowtally::kHome, flowtally::kOffice},
                                 now.date().addDays(-39), now.date(), berlin)
                    .ok());
    ASSERT_TRUE(
        store->nameNetwork(flowtally::kHome, QStringLiteral("Home router (192.168.1.1)")).ok());
    ASSERT_TRUE(store->nameNetwork(flowtally::kOffice, QStringLiteral("Office (eth0)")).ok());
    const BillingCycle cycle = *billingCycleAt(now, 20, berlin);
    QList<HistoryBucket> days;
    ASSERT_TRUE(store->days(flowtally::kHome, cycle.start, cycle.end, &days).ok());
    QWidget charts;
    auto *cycleChart = new CycleChart;
    cycleChart->setDays(cycle, days, 250.0 * kGiB, now);
    // Rates every 1.5 s, a pause of a minute and a half four minutes ago.
    QList<RatePoint> points;
    for (int sample = 400; sample >= 0; --sample) {
        const double seconds = sample * 1.5;
        if (seconds > 240 && seconds < 330)
            continue;
        const double wave = 1 + 0.6 * std::sin(seconds / 40) + 0.2 * std::sin(seconds / 3);
        points.append({now.addMSecs(qint64(-seconds * 1000)), 1.1e6 * wave, 6e4 * (2 - wave)});
    }
    auto *ratesChart = new RatesChart;
    ratesChart->setRates(points, now);
    auto *layout = new QVBoxLayout(&charts);
    layout->addWidget(cycleChart, 3);
    layout->addWidget(ratesChart, 2);
    charts.resize(760, 620);
    charts.show();
    save(charts, "chart");
    charts.setPalette(darkPalette());
    save(charts, "chart-dark");

    HistoryWindow window;
    QList<HistoryNetwork> networks;
    ASSERT_TRUE(store->networks(&networks).ok());
    window.setNetworks(networks);
    window.networkPicker()->setCurrentIndex(window.networkPicker()->findData(flowtally::kHome));
    QList<HistoryBucket> all, months;
    const QDateTime beginning = QDateTime::fromSecsSinceEpoch(0);
    ASSERT_TRUE(store->days(flowtally::kHome, beginning, now.addDays(1), &all).ok());
    ASSERT_TRUE(store->months(flowtally::kHome, beginning, now.addDays(1), &months).ok());
    window.showHistory(flowtally::kHome, all, months);
    HistoryTable &table = *window.dayTable();
    for (const int row : {1, 2})
        table.selectionModel()->select(table.model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.resize(window.sizeHint());
    window.show();
    save(window, "history");

    systemLog("The router at 192.168.1.1 does not answer SNMP; metering this computer.");
    LogWindow *log = LogWindow::showWindow();
    // The log shows in the window's colours, light and dark, its text
    // readable on them.
    const QWidget &area = *log->findChild<QPlainTextEdit *>("logText")->viewport();
    for (const auto &[palette, name] :
         {std::pair{QPalette(), "log"}, {darkPalette(), "log-dark"}}) {
        log->setPalette(palette);
        runMainLoopFor(0.1);
        const QImage picture = save(*log, name);
        const QColor empty = picture.pixelColor(area.mapTo(log, QPoint(4, area.height() - 4)));
        EXPECT_EQ(empty, picture.pixelColor(1, 1)) << name;
        EXPECT_GE(contrastRatio(area.palette().color(QPalette::Text), empty), 4.5) << name;
    }
    log->close();
}

} // namespace

} // namespace flowtally
