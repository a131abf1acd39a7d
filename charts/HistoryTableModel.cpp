#include "charts/HistoryTableModel.h"

#include "history/BillingCycle.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <QLocale>

namespace flowtally {

namespace {

constexpr unsigned kByteFractions = 2; // as the window's byte figures

} // namespace

HistoryTableModel::HistoryTableModel(Period period, QObject *parent)
    : QAbstractTableModel(parent), period_(period) {}

void HistoryTableModel::setBuckets(const QList<HistoryBucket> &buckets) {
    setBuckets(period_, buckets, cycleStartDay_);
}

void HistoryTableModel::setBuckets(Period period, const QList<HistoryBucket> &buckets,
                                   int cycleStartDay) {
    beginResetModel();
    period_ = period;
    cycleStartDay_ = cycleStartDay;
    buckets_ = buckets;
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, PeriodColumn, PeriodColumn);
}

quint64 HistoryTableModel::bytes(const HistoryBucket &bucket, int column) {
    switch (column) {
    case InColumn:
        return bucket.in;
    case OutColumn:
        return bucket.out;
    default:
        return bucket.in + bucket.out;
    }
}

QString HistoryTableModel::periodText(const QDateTime &start) const {
    const QLocale locale;
    switch (period_) {
    case Period::Days:
        return locale.toString(start.date(), QStringLiteral("ddd yyyy-MM-dd"));
    case Period::Months:
        return locale.toString(start.date(), QStringLiteral("MMMM yyyy"));
    case Period::Cycles:
        break;
    }
    const std::optional<BillingCycle> cycle =
        billingCycleAt(start, cycleStartDay_, start.timeZone());
    const QString first = locale.toString(start.date(), QStringLiteral("d MMM yyyy"));
    if (!cycle)
        return first;
    return QStringLiteral("%1 – %2").arg(
        first, locale.toString(cycle->end.date().addDays(-1), QStringLiteral("d MMM yyyy")));
}

int HistoryTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(buckets_.size());
}

int HistoryTableModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= buckets_.size())
        return {};
    const HistoryBucket &bucket = buckets_[index.row()];
    const bool isPeriod = index.column() == PeriodColumn;
    switch (role) {
    case Qt::DisplayRole:
        return isPeriod ? periodText(bucket.start)
                        : WBBKMGTFormatter::stringForObjectValue(
                              double(bytes(bucket, index.column())), kByteFractions);
    case kSortRole:
        return isPeriod ? QVariant(bucket.start.toSecsSinceEpoch())
                        : QVariant(bytes(bucket, index.column()));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignVCenter | (isPeriod ? Qt::AlignLeft : Qt::AlignRight));
    default:
        return {};
    }
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter |
                                   (section == PeriodColumn ? Qt::AlignLeft : Qt::AlignRight));
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case PeriodColumn:
        return period_ == Period::Days     ? tr("Day")
               : period_ == Period::Months ? tr("Month")
                                           : tr("Billing cycle");
    case InColumn:
        return tr("In");
    case OutColumn:
        return tr("Out");
    case TotalColumn:
        return tr("Total");
    default:
        return {};
    }
}

QString HistoryTableModel::tabSeparated(const QList<int> &rows) const {
    QString text = QStringList{headerData(PeriodColumn, Qt::Horizontal).toString(),
                               tr("In (bytes)"), tr("Out (bytes)"), tr("Total (bytes)")}
                       .join(u'\t') +
                   u'\n';
    const QString periodFormat =
        period_ == Period::Months ? QStringLiteral("yyyy-MM") : QStringLiteral("yyyy-MM-dd");
    for (const int row : rows) {
        if (row < 0 || row >= buckets_.size())
            continue;
        const HistoryBucket &bucket = buckets_[row];
        text += bucket.start.date().toString(periodFormat);
        for (const int column : {InColumn, OutColumn, TotalColumn})
            text += u'\t' + QString::number(bytes(bucket, column));
        text += u'\n';
    }
    return text;
}

} // namespace flowtally
