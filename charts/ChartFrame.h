#pragma once

#include "charts/ByteAxis.h"
#include "charts/ChartColours.h"

#include <QColor>
#include <QFontMetricsF>
#include <QList>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace flowtally {

// One series as the legend shows it: a filled box for bars, a line for
// lines.
struct LegendEntry {
    enum class Mark { Box, Line, DashedLine, DottedLine };
    QString text;
    QColor colour;
    Mark mark = Mark::Box;
};

// A label under the plot, centred at `at` (0 is the plot's left edge, 1 its
// right edge).
struct BottomLabel {
    double at = 0;
    QString text;
};

// The frame that Flowtally's charts draw their data in: a title with the
// legend beside it (under it when both do not fit in one line), a byte axis
// on the left and optionally one on the right, each with its caption above
// its labels, grid lines at the left axis' ticks, and labels under the plot.
// Every margin is measured from the texts it holds in the widget's font, so
// nothing is cut off at any font size or pixel ratio; what is left is the
// plot.
class ChartFrame {
  public:
    struct Axis {
        ByteAxis scale;
        QString caption;
    };

    // `widestBottomLabel` is the widest label the chart will put under the
    // plot: the first and last stick out by half of it.
    ChartFrame(const QRectF &bounds, const QFontMetricsF &metrics, const QString &title,
               const QList<LegendEntry> &legend, const Axis &left, const std::optional<Axis> &right,
               const QString &widestBottomLabel);

    const QRectF &plot() const { return plot_; }
    // Where a horizontal share of the plot (0 to 1) and a value of either
    // axis lie in the widget.
    double x(double share) const;
    double yLeft(double bytes) const;
    double yRight(double bytes) const;

    // Whether the legend stands beside the title, in its line, rather than
    // under it: the only way the title's text moves the rest of the frame.
    bool legendBesideTitle() const { return legendBesideTitle_; }

    // Paints the background, grid, axes, labels and legend; the chart paints
    // the title and its data on top.
    void draw(QPainter &painter, const ChartColours &colours,
              const QList<BottomLabel> &bottomLabels) const;
    void drawTitle(QPainter &painter, const ChartColours &colours) const;
    // A bar of incoming bytes with outgoing ones on top, measured on the left
    // axis, in the middle of the plot's slot from share `from` to `to`.
    void drawBar(QPainter &painter, const ChartColours &colours, double from, double to, quint64 in,
                 quint64 out) const;

    // Every how many slots of `slotWidth` a label as wide as `widest` fits
    // with room to spare: 1, 2, 3, 5, 7, 10, 14 or 31.
    static int labelStride(const QFontMetricsF &metrics, double slotWidth, double widest);

    // A size in average character widths and lines of `font`.
    static QSize sizeIn(const QFont &font, int characters, int lines);
    // The smallest size in which a chart still has a plot to speak of.
    static QSize minimumSize(const QFont &font);

  private:
    double legendWidth() const;
    void drawLegend(QPainter &painter, const QColor &text) const;
    void drawAxisLabels(QPainter &painter, const Axis &axis, bool leftSide) const;

    QRectF bounds_;
    QFontMetricsF metrics_;
    QString title_;
    QList<LegendEntry> legend_;
    Axis left_;
    std::optional<Axis> right_;
    double pad_ = 0;
    bool legendBesideTitle_ = false;
    QPointF legendAt_; // the legend's top left corner
    double captionTop_ = 0;
    QRectF plot_;
};

} // namespace flowtally
