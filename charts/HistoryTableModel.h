#pragma once

#include "history/HistoryBucket.h"

#include <QAbstractTableModel>
#include <QList>

namespace flowtally {

// The rows of the History window: one per day, month or billing cycle of a
// network,
// with its incoming, outgoing and total bytes shown in the units of
// Flowtally's figures ("10.80G"). Sorting reads kSortRole, which gives
// numbers: the period's start and the byte counts, never their texts.
class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum class Period { Days, Months, Cycles };
    enum Column { PeriodColumn, InColumn, OutColumn, TotalColumn, ColumnCount };
    static constexpr int kSortRole = Qt::UserRole;

    explicit HistoryTableModel(Period period, QObject *parent = nullptr);

    // One row per bucket (HistoryStore::days or months of one network, or
    // cycleBuckets() with Period::Cycles), in the order given; the period is
    // the date of the bucket's start in its own time zone, for a cycle with
    // the cycle's last day.
    void setBuckets(const QList<HistoryBucket> &buckets);
    void setBuckets(Period period, const QList<HistoryBucket> &buckets, int cycleStartDay = 0);
    Period period() const { return period_; }

    // The given rows as text for a spreadsheet: a header line, then one line
    // per row in the order given, fields separated by tabs and every line
    // ending in a newline. The period in ISO form ("2024-03-05", "2024-03";
    // a cycle by its first day),
    // the bytes as exact counts, so that pasted figures add up to the bytes
    // counted. Rows out of range are left out.
    QString tabSeparated(const QList<int> &rows) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    QString periodText(const QDateTime &start) const;
    static quint64 bytes(const HistoryBucket &bucket, int column);

    Period period_;
    int cycleStartDay_ = 0;
    QList<HistoryBucket> buckets_;
};

} // namespace flowtally
