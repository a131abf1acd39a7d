#include "charts/ApplicationsWindow.h"

#include "platform/widgets/CloseButton.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTableWidget>
#include <QVBoxLayout>

namespace flowtally {

namespace {

constexpr unsigned kByteFractions = 2;
constexpr int kSortRole = Qt::UserRole;

// A cell that sorts by its number, not its text ("1.20G" after "400.00K").
class NumberItem : public QTableWidgetItem {
  public:
    NumberItem(const QString &text, const QVariant &number) : QTableWidgetItem(text) {
        setData(kSortRole, number);
        setTextAlignment(Qt::AlignVCenter | Qt::AlignRight);
    }
    bool operator<(const QTableWidgetItem &other) const override {
        return data(kSortRole).toDouble() < other.data(kSortRole).toDouble();
    }
};

QTableWidgetItem *bytesItem(quint64 bytes) {
    return new NumberItem(WBBKMGTFormatter::stringForObjectValue(double(bytes), kByteFractions),
                          double(bytes));
}

} // namespace

ApplicationsWindow::ApplicationsWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), caption_(new QLabel(this)), table_(new QTableWidget(this)) {
    setWindowTitle(tr("Flowtally Applications"));
    table_->setColumnCount(4);
    table_->setHorizontalHeaderLabels({tr("Application"), tr("Received"), tr("Sent"), tr("Share")});
    table_->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption_);
    layout->addWidget(table_);
    layout->addWidget(closeButtonFor(this));
    resize(480, 320);
}

void ApplicationsWindow::showApplications(const QDateTime &since, const QList<Row> &rows,
                                          quint64 networkBytes) {
    caption_->setText(since.isValid()
                          ? tr("Since %1").arg(QLocale().toString(since, QLocale::ShortFormat))
                          : tr("Nothing counted yet"));
    table_->setSortingEnabled(false);
    table_->setRowCount(int(rows.size()));
    for (int at = 0; at < rows.size(); ++at) {
        const ApplicationBytes &bytes = rows[at].bytes;
        const double share = networkBytes == 0 ? 0.0
                                               : double(bytes.in) / double(networkBytes) +
                                                     double(bytes.out) / double(networkBytes);
        table_->setItem(at, NameColumn, new QTableWidgetItem(rows[at].name));
        table_->setItem(at, ReceivedColumn, bytesItem(bytes.in));
        table_->setItem(at, SentColumn, bytesItem(bytes.out));
        table_->setItem(
            at, ShareColumn,
            new NumberItem(QLocale().toString(share * 100, 'f', 1) + QLatin1Char('%'), share));
    }
    table_->setSortingEnabled(true);
    table_->sortByColumn(ShareColumn, Qt::DescendingOrder);
}

QString ApplicationsWindow::caption() const {
    return caption_->text();
}

} // namespace flowtally
