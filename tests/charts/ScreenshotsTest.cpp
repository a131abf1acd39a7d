// Pictures of the charts and the History window, written under the build
// folder (screenshots/chart.png, history.png, the charts on a dark desktop in
// chart-dark.png, and their @2x versions) for people to look at: forty days of a household's
// traffic in a history, a billing cycle from the 20th that runs across the end of March and its
// change of clocks, a limit of 250G, and ten minutes of rates with a pause.
#include "CycleChart.h"
#include "HistoryTable.h"
#include "HistoryWindow.h"
#include "Palettes.h"
#include "RatesChart.h"
#include "SampleTraffic.h"

#include "../history/HistoryFixture.h"
#include "TextPrinting.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QItemSelectionModel>
#include <QPixmap>
#include <QVBoxLayout>

#include <cmath>

namespace flowtally {

namespace {

constexpr double kLimit = 250.0 * (quint64(1) << 30);

void save(QWidget &widget, const QString &name) {
    const QString folder = QApplication::applicationDirPath() + "/../screenshots/";
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const int scale : {1, 2}) {
        QPixmap picture(widget.size() * scale);
        picture.setDevicePixelRatio(scale);
        picture.fill(Qt::transparent);
        widget.render(&picture);
        EXPECT_TRUE(picture.save(folder + name + (scale == 1 ? "" : "@2x") + ".png"))
            << qPrintable(name);
    }
}

class Screenshots : public HistoryFixture {
  protected:
    Screenshots() {
        store = open({.zone = berlin});
        const QDate last = now.date();
        EXPECT_TRUE(
            addSampleTraffic(*store, {kHome, kOffice}, last.addDays(-39), last, berlin).ok());
        EXPECT_TRUE(store->nameNetwork(kHome, QStringLiteral("Home router (192.168.1.1)")).ok());
        EXPECT_TRUE(store->nameNetwork(kOffice, QStringLiteral("Office (eth0)")).ok());
    }

    const QDateTime now = local("2024-03-27T20:00:00", berlin);
    std::unique_ptr<HistoryStore> store;
};

TEST_F(Screenshots, ChartAndHistory) {
    const BillingCycle cycle = *billingCycleAt(now, 20, berlin);
    QList<HistoryBucket> days;
    ASSERT_TRUE(store->days(kHome, cycle.start, cycle.end, &days).ok());

    QWidget charts;
    auto *cycleChart = new CycleChart;
    cycleChart->setDays(cycle, days, kLimit, now);
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
    QObject::connect(&window, &HistoryWindow::networkChosen, [&](const QString &network) {
        QList<HistoryBucket> all, months;
        const QDateTime beginning = QDateTime::fromSecsSinceEpoch(0);
        EXPECT_TRUE(store->days(network, beginning, now.addDays(1), &all).ok());
        EXPECT_TRUE(store->months(network, beginning, now.addDays(1), &months).ok());
        window.showHistory(network, all, months);
    });
    window.setNetworks(networks);
    window.networkPicker()->setCurrentIndex(window.networkPicker()->findData(kHome));
    HistoryTable &table = *window.dayTable();
    for (const int row : {1, 2})
        table.selectionModel()->select(table.model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.resize(window.sizeHint());
    window.show();
    save(window, "history");
}

} // namespace

} // namespace flowtally
