#include "charts/ApplicationsWindow.h"

#include "WBLib/WBBKMGTFormatter.h"
#include "platform/text/PercentText.h"
#include "platform/widgets/CloseButton.h"

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
    : QWidget(parent, Qt::Window), caption_(new QLabel(this)), serviceNote_(new QLabel(this)),
      table_(new QTableWidget(this)) {
    setWindowTitle(tr("Flowtally Applications"));
    table_->setColumnCount(4);
    table_->setHorizontalHeaderLabels({tr("Application"), tr("Received"), tr("Sent"), tr("Share")});
    table_->horizontalHeader()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    serviceNote_->setWordWrap(true);
    serviceNote_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    serviceNote_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    serviceNote_->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption_);
    layout->addWidget(serviceNote_, 1);
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
        table_->setItem(at, ShareColumn, new NumberItem(percentText(share, 1), share));
    }
    table_->setSortingEnabled(true);
    table_->sortByColumn(ShareColumn, Qt::DescendingOrder);
}

void ApplicationsWindow::showServiceAnswers(bool answers) {
    // The unit's name as the package installs it.
    serviceNote_->setText(
        answers ? QString()
                : tr("Counts per application need the flowtally-accountd service, which does not "
                     "answer. To enable it: sudo systemctl enable --now flowtally-accountd"));
    serviceNote_->setVisible(!answers);
    caption_->setVisible(answers);
    table_->setVisible(answers);
}

QString ApplicationsWindow::serviceNote() const {
    return serviceNote_->text();
}

QString ApplicationsWindow::caption() const {
    return caption_->text();
}

} // namespace flowtally
