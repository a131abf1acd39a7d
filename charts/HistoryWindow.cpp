#include "HistoryWindow.h"

#include "HistoryTable.h"
#include "HistoryTableModel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHash>
#include <QTabWidget>
#include <QVBoxLayout>

namespace flowtally {

namespace {

// Sizes in average character widths and lines of the font.
constexpr int kHintWidth = 90;
constexpr int kHintHeight = 32;

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), picker_(new QComboBox), tabs_(new QTabWidget),
      days_(new HistoryTableModel(HistoryTableModel::Period::Days, this)),
      months_(new HistoryTableModel(HistoryTableModel::Period::Months, this)),
      dayTable_(new HistoryTable(days_)), monthTable_(new HistoryTable(months_)) {
    setWindowTitle(tr("Traffic History"));
    picker_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *pickerRow = new QFormLayout;
    pickerRow->addRow(tr("Network:"), picker_);
    tabs_->addTab(dayTable_, tr("Days"));
    tabs_->addTab(monthTable_, tr("Months"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(pickerRow);
    layout->addWidget(tabs_, 1);
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
    choose(picker_->currentIndex());
}

QString HistoryWindow::chosenNetwork() const {
    return chosen_;
}

void HistoryWindow::choose(int index) {
    const QString network = index >= 0 ? picker_->itemData(index).toString() : QString();
    if (network == chosen_)
        return;
    chosen_ = network;
    days_->setBuckets({});
    months_->setBuckets({});
    emit networkChosen(network);
}

void HistoryWindow::showHistory(const QString &network, const QList<HistoryBucket> &days,
                                const QList<HistoryBucket> &months) {
    if (network != chosen_ || network.isEmpty())
        return;
    days_->setBuckets(days);
    months_->setBuckets(months);
}

QSize HistoryWindow::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.averageCharWidth() * kHintWidth, metrics.height() * kHintHeight};
}

} // namespace flowtally
