#pragma once

#include "charts/ByteAxis.h"
#include "history/HistoryBucket.h"

#include <QList>
#include <QWidget>

namespace flowtally {

class ChartFrame;
struct BottomLabel;

// The History window's chart beside a table: the latest days (31), months or
// billing cycles (12 each) of a network as stacked bars, incoming at the
// bottom and outgoing on top, measured in bytes on the left axis, each
// labelled under its bar. A pure view of what it is given.
class PeriodChart : public QWidget {
    Q_OBJECT

  public:
    enum class Span { Days, Months, Cycles };

    explicit PeriodChart(Span span, QWidget *parent = nullptr);

    // Shows the latest of `buckets` (HistoryStore::days or months, or
    // cycleBuckets(); oldest first) as their span.
    void setBuckets(Span span, const QList<HistoryBucket> &buckets);

    // What is shown: the bars, oldest first, and the title ("Days 26 Feb 2024 –
    // 27 Mar 2024"); a cycle is named by its first day.
    const QList<HistoryBucket> &bars() const { return bars_; }
    QString title() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    QString label(const HistoryBucket &bucket) const;
    QList<BottomLabel> labels(const ChartFrame &frame) const;

    Span span_;
    QList<HistoryBucket> bars_;
    ByteAxis axis_;
};

} // namespace flowtally
