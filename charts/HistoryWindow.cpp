#include "charts/HistoryWindow.h"

#include "platform/widgets/CloseButton.h"
#include "history/CycleBuckets.h"
#include "charts/HistoryTable.h"
#include "charts/HistoryTableModel.h"
#include "charts/PeriodChart.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHash>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace flowtally {

namespace {

// Sizes in average character widths and lines of the font.
constexpr int kHintWidth = 130;
constexpr int kHintHeight = 32;
// The table is as wide as its columns need (in average character widths);
// the chart takes the room that is left.
constexpr int kTableWidth = 56;

QSplitter *besideEachOther(QWidget *table, QWidget *chart) {
    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(table);
    splitter->addWidget(chart);
    table->setMinimumWidth(table->fontMetrics().averageCharWidth() * kTableWidth);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    return splitter;
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), picker_(new QComboBox), tabs_(new QTabWidget),
      days_(new HistoryTableModel(HistoryTableModel::Period::Days, this)),
      months_(new HistoryTableModel(HistoryTableModel::Period::Months, this)),
      dayTable_(new HistoryTable(days_)), monthTable_(new HistoryTable(months_)),
      dayChart_(new PeriodChart(PeriodChart::Span::Days)),
      monthChart_(new PeriodChart(PeriodChart::Span::Months)) {
    setWindowTitle(tr("Flowtally History"));
    picker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *pickerRow = new QFormLayout;
    pickerRow->addRow(tr("Network:"), picker_);
    tabs_->addTab(besideEachOther(dayTable_, dayChart_), tr("Days"));
    tabs_->addTab(besideEachOther(monthTable_, monthChart_), tr("Months"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(pickerRow);
    layout->addWidget(tabs_, 1);
    layout->addWidget(closeButtonFor(this));
    connect(picker_, &QComboBox::currentIndexChanged, this, &HistoryWindow::choose);
}

void HistoryWindow::setNetworks(const QList<HistoryNetwork> &networks) {
    QHash<QString, int> named;
    for (const HistoryNetwork &network : networks)
        ++named[network.name];
    const QSignalBlocker quiet(picker_);
    picker_->clear();
    for (const HistoryNetwork &network : networks) {
        QString shown = network.name.isEmpty() ? network.network : network.name;
        if (!network.name.isEmpty() && named.value(network.name) > 1)
            shown += QStringLiteral(" (%1)").arg(network.network);
        picker_->addItem(shown, network.network);
    }
    const int kept = picker_->findData(chosen_);
    picker_->setCurrentIndex(kept >= 0 ? kept : 0);
    // Read again even when the choice stays: the rows, or the billing cycle
    // they are summed by, may have changed since they were shown.
    showNetwork(picker_->currentIndex());
}

QString HistoryWindow::chosenNetwork() const {
    return chosen_;
}

QString HistoryWindow::networkAt(int index) const {
    return index >= 0 ? picker_->itemData(index).toString() : QString();
}

void HistoryWindow::choose(int index) {
    if (networkAt(index) != chosen_)
        showNetwork(index);
}

void HistoryWindow::showNetwork(int index) {
    chosen_ = networkAt(index);
    showRows({}, {}, 0);
    emit networkChosen(chosen_);
}

void HistoryWindow::showHistory(const QString &network, const QList<HistoryBucket> &days,
                                const QList<HistoryBucket> &months, int cycleStartDay) {
    if (network == chosen_ && !network.isEmpty())
        showRows(days, months, cycleStartDay);
}

void HistoryWindow::showRows(const QList<HistoryBucket> &days, const QList<HistoryBucket> &months,
                             int cycleStartDay) {
    const QList<HistoryBucket> cycles =
        days.isEmpty() ? QList<HistoryBucket>()
                       : cycleBuckets(days, cycleStartDay, days.first().start.timeZone());
    const bool byCycle = !cycles.isEmpty();
    days_->setBuckets(days);
    dayChart_->setBuckets(PeriodChart::Span::Days, days);
    if (byCycle) {
        months_->setBuckets(HistoryTableModel::Period::Cycles, cycles, cycleStartDay);
        monthChart_->setBuckets(PeriodChart::Span::Cycles, cycles);
    } else {
        months_->setBuckets(HistoryTableModel::Period::Months, months);
        monthChart_->setBuckets(PeriodChart::Span::Months, months);
    }
    tabs_->setTabText(1, byCycle ? tr("Billing cycles") : tr("Months"));
}

QSize HistoryWindow::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * kHintWidth, metrics.height() * kHintHeight};
}

} // namespace flowtally
