#pragma once

#include <QImage>
#include <QLineF>
#include <QPixmap>
#include <QRect>

#include <algorithm>
#include <compare>
#include <functional>
#include <vector>

class QPainter;

namespace flowtally {

// One thing drawn on a plot whose time axis ends at now: a dot at a point
// or a piece of line between two points of one series. What it shows is
// its identity from one paint to the next; where it lies in the plot's
// picture (`at`, in device pixels; a dot's two ends are its centre) changes
// as time moves on. Its ink reaches `reach` device pixels beyond `at` in
// every direction, edges smoothed by antialiasing included.
struct PlotMark {
    struct Shows {
        int series = 0;
        bool piece = false; // a dot when false
        qint64 fromMs = 0;  // the points' times
        qint64 toMs = 0;
        double fromValue = 0;
        double toValue = 0;

        auto operator<=>(const Shows &) const = default;
    };
    Shows shows;
    QLineF at;
    double reach = 0;

    double left() const { return std::min(at.x1(), at.x2()) - reach; }
    double right() const { return std::max(at.x1(), at.x2()) + reach; }
};

// The picture of a plot whose marks move left as time moves on: its
// background (the chart's frame) with the marks on it, in device pixels.
// Time moves the picture by whole device pixels (a column of the plot is a
// fixed stretch of time); the picture is shifted by as many, and painted
// anew only where marks came or went (at the right end new points join, at
// the left end old ones fall out of the plot's span) and in the columns
// that the shift uncovered. Each mark is rasterized on its own and on top
// of those before it, so the picture is the one a painting from scratch
// would make, to the pixel, at a fraction of its cost: a few marks a tick
// instead of hundreds.
class ScrollingPlot {
  public:
    // Draws the marks at these indices of the list given to paint(), in
    // their order, on a painter in the picture's device pixels.
    using DrawMarks = std::function<void(QPainter &, const std::vector<qsizetype> &)>;

    // A run of device columns, `to` past the last.
    struct Columns {
        int from = 0;
        int to = 0;
    };

    // Paints the plot with `painter` at `ratio`: the picture covers `area`
    // (device pixels of the widget) and is taken from `frame` (the widget's
    // background at that ratio) wherever no mark lies; between the columns
    // `steady` the frame is the same in every column. `column` is the
    // plot's right end, as a count of columns since a fixed moment: when it
    // grew by n, every mark lies n device pixels further left than when
    // last painted. `marks` are in drawing order; sorted by what they show
    // they can be matched with those last painted (else the whole picture
    // is painted anew).
    void paint(QPainter &painter, const QPixmap &frame, const QRect &area, const Columns &steady,
               qreal ratio, qint64 column, const std::vector<PlotMark> &marks,
               const DrawMarks &draw);

  private:
    // The columns of the picture that change when `marks` replace the marks
    // last painted and the picture moved `shift` columns left, beside those
    // outside `steady`.
    std::vector<Columns> changedColumns(const std::vector<PlotMark> &marks, int shift,
                                        const Columns &steady) const;
    void shiftLeft(int columns);
    void paintColumns(const Columns &columns, const QPixmap &frame,
                      const std::vector<PlotMark> &marks, const DrawMarks &draw);

    QImage picture_;
    qint64 frameKey_ = 0;
    QRect area_;
    qreal ratio_ = 0;
    qint64 column_ = 0;
    std::vector<PlotMark> marks_;
};

} // namespace flowtally
