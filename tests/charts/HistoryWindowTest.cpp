// The History window as a person uses it: sorting a column by its numbers,
// copying rows for a spreadsheet, picking another network, and a network's
// billing cycles in place of its months, in the tables and their charts.
#include "charts/HistoryWindow.h"

#include "charts/HistoryTable.h"
#include "charts/HistoryTableModel.h"
#include "charts/PeriodChart.h"

#include "tests/charts/ChartTesting.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTabWidget>

namespace flowtally {

namespace {

const QTimeZone kBerlin("Europe/Berlin");

HistoryBucket day(int dayOfMarch, quint64 in, quint64 out) {
    return {QDate(2024, 3, dayOfMarch).startOfDay(kBerlin), in, out};
}

// Totals whose texts sort otherwise than their numbers.
const QList<HistoryBucket> kDays{
    day(1, 400 * kK, 0),      // 400.00K
    day(2, kG, 200 * kM),     // 1.20G
    day(3, 10 * kM, 90 * kM), // 100.00M
    day(4, 5, 0),             // 5.00B
    day(5, 20 * kM, 0),       // 20.00M
};
const QList<HistoryBucket> kMonths{{QDate(2024, 2, 1).startOfDay(kBerlin), 40 * kG, 4 * kG},
                                   {QDate(2024, 3, 1).startOfDay(kBerlin), kG, 210 * kM}};

// A window with one network and its days and months.
class HistoryWindowTest : public ::testing::Test {
  protected:
    HistoryWindowTest() {
        window.setNetworks({{kHome, "Home", {}}});
        window.showHistory(kHome, kDays, kMonths);
    }
    HistoryWindow window;
};

TEST_F(HistoryWindowTest, ColumnsSortByTheirNumbersAndCtrlCCopiesTheRowsAsShown) {
    HistoryTable &table = *window.dayTable();
    // Newest first at the start.
    EXPECT_EQ(shownColumn(table, HistoryTableModel::TotalColumn),
              (QStringList{"20.00M", "5.00B", "100.00M", "1.20G", "400.00K"}));
    // clang-format off
    const struct { int column; Qt::SortOrder order; QStringList shown; } cases[] = {
        {HistoryTableModel::TotalColumn, Qt::DescendingOrder, {"1.20G", "100.00M", "20.00M", "400.00K", "5.00B"}},
        {HistoryTableModel::TotalColumn, Qt::AscendingOrder, {"5.00B", "400.00K", "20.00M", "100.00M", "1.20G"}},
        {HistoryTableModel::InColumn, Qt::DescendingOrder, {"1.20G", "20.00M", "100.00M", "400.00K", "5.00B"}},
        {HistoryTableModel::PeriodColumn, Qt::AscendingOrder, {"400.00K", "1.20G", "100.00M", "5.00B", "20.00M"}},
    };
    // clang-format on
    for (const auto &c : cases) {
        // What a click on the column's header does.
        table.horizontalHeader()->setSortIndicator(c.column, c.order);
        EXPECT_EQ(shownColumn(table, HistoryTableModel::TotalColumn), c.shown) << c.column;
    }

    // Ctrl+C copies the selected rows as shown, with a header; nothing
    // selected, nothing.
    const auto copy = [](HistoryTable &table, const QList<int> &rows) {
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        table.clearSelection();
        for (const int row : rows)
            table.selectionModel()->select(table.model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QStringLiteral("c"));
        QApplication::sendEvent(&table, &press);
        return QGuiApplication::clipboard()->text();
    };
    HistoryTable &days = *window.dayTable();
    days.horizontalHeader()->setSortIndicator(HistoryTableModel::TotalColumn, Qt::DescendingOrder);
    EXPECT_EQ(copy(days, {2, 0}), "Day\tIn (bytes)\tOut (bytes)\tTotal (bytes)\n"
                                  "2024-03-02\t1073741824\t209715200\t1283457024\n"
                                  "2024-03-05\t20971520\t0\t20971520\n");
    EXPECT_EQ(copy(*window.monthTable(), {0, 1}),
              "Month\tIn (bytes)\tOut (bytes)\tTotal (bytes)\n"
              "2024-03\t1073741824\t220200960\t1293942784\n"
              "2024-02\t42949672960\t4294967296\t47244640256\n");
    EXPECT_EQ(copy(days, {}), "before");
}

TEST(HistoryWindow, PickingAnotherNetworkShowsItsRows) {
    HistoryWindow window;
    QStringList asked;
    QObject::connect(&window, &HistoryWindow::networkChosen,
                     [&](const QString &network) { asked.append(network); });
    window.setNetworks({{kHome, "Home", {}}, {kOffice, {}, {}}, {"third", "Home", {}}});
    window.showHistory(kHome, kDays, kMonths);
    QComboBox &picker = *window.networkPicker();
    EXPECT_EQ(picker.itemText(0), "Home (" + kHome + ")");
    EXPECT_EQ(picker.itemText(1), kOffice) << "no name yet";
    EXPECT_EQ(window.chosenNetwork(), kHome);
    EXPECT_EQ(window.dayTable()->model()->rowCount(), 5);

    picker.setCurrentIndex(1);
    EXPECT_EQ(window.chosenNetwork(), kOffice);
    // Until the answer comes, no rows of the network picked before.
    EXPECT_EQ(window.dayTable()->model()->rowCount(), 0);
    EXPECT_EQ(window.monthTable()->model()->rowCount(), 0);
    window.showHistory(kOffice, kDays.mid(0, 2), kMonths);
    EXPECT_EQ(shownColumn(*window.dayTable(), HistoryTableModel::TotalColumn),
              (QStringList{"1.20G", "400.00K"}));
    // A late answer for the network no longer chosen.
    window.showHistory(kHome, kDays, kMonths);
    EXPECT_EQ(window.dayTable()->model()->rowCount(), 2);

    // The chosen network stays chosen while it is there, and goes with it;
    // its rows are read again each time (a window opened again shows what
    // came since, and a billing cycle set meanwhile).
    window.setNetworks({{kOffice, "Office", {}}, {kHome, "Home", {}}});
    EXPECT_EQ(window.chosenNetwork(), kOffice);
    EXPECT_EQ(picker.currentText(), "Office");
    window.setNetworks({{kHome, "Home", {}}});
    EXPECT_EQ(window.chosenNetwork(), kHome);
    EXPECT_EQ(asked, (QStringList{kHome, kOffice, kOffice, kHome}));
    window.setNetworks({});
    EXPECT_EQ(window.chosenNetwork(), QString());
    EXPECT_EQ(window.dayTable()->model()->rowCount(), 0);
}

// With a cycle starting on the 3rd, March's first two days belong to the
// cycle of February; without one, calendar months come back.
TEST_F(HistoryWindowTest, ACycleShowsItsPeriodsInTableAndChart) {
    window.showHistory(kHome, kDays, kMonths, 3);
    HistoryTable &cycles = *window.monthTable();
    EXPECT_EQ(window.tabs()->tabText(1), "Billing cycles");
    EXPECT_EQ(shownColumn(cycles, HistoryTableModel::PeriodColumn),
              (QStringList{"3 Mar 2024 – 2 Apr 2024", "3 Feb 2024 – 2 Mar 2024"}));
    EXPECT_EQ(shownColumn(cycles, HistoryTableModel::TotalColumn),
              (QStringList{"120.00M", "1.20G"}));
    const QList<HistoryBucket> bars = window.monthChart()->bars();
    ASSERT_EQ(bars.size(), 2);
    EXPECT_EQ(bars[1].start, QDate(2024, 3, 3).startOfDay(kBerlin));
    EXPECT_EQ(window.dayChart()->bars(), kDays);

    window.showHistory(kHome, kDays, kMonths, 0);
    EXPECT_EQ(window.tabs()->tabText(1), "Months");
    EXPECT_EQ(shownColumn(cycles, HistoryTableModel::PeriodColumn),
              (QStringList{"March 2024", "February 2024"}));
    EXPECT_EQ(window.monthChart()->bars(), kMonths);
}

} // namespace

} // namespace flowtally
