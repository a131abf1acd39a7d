#pragma once

#include "charts/ByteAxis.h"
#include "platform/widgets/FrameCache.h"
#include "charts/RateSegments.h"
#include "charts/ScrollingPlot.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

namespace flowtally {

class ChartFrame;
struct BottomLabel;

// The incoming and outgoing rates of the last ten minutes (kRatesSpan) as
// two lines over a time axis that ends at now, broken where the samples
// stopped for a while (rateSegments()); the rate axis in bytes per second,
// in the units of Flowtally's figures ("200K/s", "1.5M/s"). Without points it
// shows its axes and says that there are no rates. A pure view, in the
// colours and font of its palette.
class RatesChart : public QWidget {
    Q_OBJECT

  public:
    explicit RatesChart(QWidget *parent = nullptr);

    // Shows `points` (oldest first; bytes per second) over the ten minutes
    // that end at `now`.
    void setRates(const QList<RatePoint> &points, const QDateTime &now);

    // What is shown: the runs of points and the rate axis.
    const QList<QList<RatePoint>> &segments() const { return segments_; }
    const ByteAxis &rateAxis() const { return rateAxis_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    // The labels under the plot: "−10 min" to "now", as many as fit.
    QList<BottomLabel> timeLabels(const ChartFrame &frame) const;
    QString timeLabel(int minutesAgo) const;

    QList<QList<RatePoint>> segments_;
    QDateTime now_;
    ByteAxis rateAxis_{0, QStringLiteral("/s")};
    FrameCache frame_;
    ScrollingPlot plot_;
};

} // namespace flowtally
