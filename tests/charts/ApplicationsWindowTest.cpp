// The Applications window: each application's bytes and share, sorted by
// their numbers, the shares written as every percentage Flowtally shows.
#include "charts/ApplicationsWindow.h"

#include "tests/charts/ChartTesting.h"

#include <QTableWidget>

namespace flowtally {

namespace {

TEST(ApplicationsWindow, SharesOfTheNetworkSortedByTheirNumbers) {
    ApplicationsWindow window;
    // Bytes whose texts sort otherwise than their numbers.
    window.showApplications(QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC),
                            {{"Firefox", {"app:firefox", kG, 200 * kM}},
                             {"cups.service", {"service:cups.service", 400 * kK, 0}},
                             {"Other", {"other", 0, 100 * kM}}},
                            4 * kG);
    QTableWidget &table = *window.table();
    EXPECT_EQ(shownColumn(table, ApplicationsWindow::NameColumn),
              (QStringList{"Firefox", "Other", "cups.service"}));
    EXPECT_EQ(shownColumn(table, ApplicationsWindow::ShareColumn),
              (QStringList{"29.9%", "2.4%", "0.0%"}));
    table.sortByColumn(ApplicationsWindow::ReceivedColumn, Qt::AscendingOrder);
    EXPECT_EQ(shownColumn(table, ApplicationsWindow::ReceivedColumn),
              (QStringList{"0.00B", "400.00K", "1.00G"}));
    // Nothing counted yet: a share of nothing is none.
    window.showApplications({}, {{"Other", {"other", 5, 5}}}, 0);
    EXPECT_EQ(window.caption().toStdString(), "Nothing counted yet");
    EXPECT_EQ(shownColumn(table, ApplicationsWindow::ShareColumn), QStringList{"0.0%"});
    // Just after a reset the applications' bytes can pass the network's
    // many times: no group separator, and 1200% still before 300%.
    window.showApplications(
        QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC),
        {{"Backup", {"app:backup", 12 * kM, 0}}, {"Updates", {"service:updates", 3 * kM, 0}}}, kM);
    EXPECT_EQ(shownColumn(table, ApplicationsWindow::ShareColumn),
              (QStringList{"1200.0%", "300.0%"}));
}

} // namespace

} // namespace flowtally
