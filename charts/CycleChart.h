#pragma once

#include "history/BillingCycle.h"
#include "charts/ByteAxis.h"
#include "charts/CycleDays.h"
#include "platform/widgets/FrameCache.h"
#include "history/HistoryBucket.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

namespace flowtally {

class ChartFrame;
struct BottomLabel;

// The days of a network's billing cycle (or, without one, of
// periodWithoutCycle()) as stacked bars, incoming at the bottom and outgoing
// on top, one bar per day and nothing for the days to come, measured on the
// left axis in bytes per day. On the right axis, in bytes since the period
// began: the running total as a line through the end of each day up to today
// and, with a limit, the limit's pace as a dashed line that reaches the limit
// at the end of the period's last day. Given the meter's totals, today's bar
// and the title follow them, and a reset in the period is marked by a line
// where it came, the running total starting again from zero there. A pure
// view: it shows what it is given
// until it is given something else, in the colours and font of its palette.
class CycleChart : public QWidget {
    Q_OBJECT

  public:
    explicit CycleChart(QWidget *parent = nullptr);

    // Shows the days of `period` with the bytes of `days` (the network's
    // daily buckets, HistoryStore::days over the period, in the period's time
    // zone), `limit` in bytes (0 for none) and today being the day of `now`.
    // With `metered`, the meter's totals at the same moment. See cycleDays()
    // for what is taken and left out.
    void setDays(const BillingCycle &period, const QList<HistoryBucket> &days, double limit,
                 const QDateTime &now, const std::optional<MeteredTotals> &metered = std::nullopt);

    // What is shown: the days, the left axis (bytes per day) and the right
    // axis (bytes since the period began), and whether a pace line is drawn.
    const QList<CycleDay> &days() const { return days_; }
    const ByteAxis &dayAxis() const { return dayAxis_; }
    const ByteAxis &totalAxis() const { return totalAxis_; }
    bool hasPace() const { return hasPace_; }
    // The period and the bytes used in it ("20 Mar – 19 Apr 2024: 1.18G used
    // of 5.00G"); empty without days.
    QString title() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    // The day labels under the bars: as many as fit, the month named on the
    // first and where it changes.
    QList<BottomLabel> dayLabels(const ChartFrame &frame) const;
    QString dayLabel(const QDate &date, bool withMonth) const;

    QList<CycleDay> days_;
    double limit_ = 0;
    bool hasPace_ = false;
    ByteAxis dayAxis_;
    ByteAxis totalAxis_;
    FrameCache frame_;
};

} // namespace flowtally
