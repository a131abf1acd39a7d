#include "charts/ScrollingPlot.h"

#include <QPainter>

#include <cmath>
#include <cstring>

namespace flowtally {

namespace {

bool inOrder(const PlotMark &first, const PlotMark &second) {
    return first.shows < second.shows;
}

} // namespace

void ScrollingPlot::paint(QPainter &painter, const QPixmap &frame, const QRect &area,
                          const Columns &steady, qreal ratio, qint64 column,
                          const std::vector<PlotMark> &marks, const DrawMarks &draw) {
    if (area.isEmpty())
        return;
    // Marks out of order (a clock that went back) cannot be matched with
    // those last painted: the picture is painted whole, now and next time.
    const bool sorted = std::is_sorted(marks.begin(), marks.end(), inOrder);
    const qint64 shift = column - column_;
    const bool kept = !picture_.isNull() && frame.cacheKey() == frameKey_ && area == area_ &&
                      ratio == ratio_ && shift >= 0 && shift < area.width() && sorted;
    std::vector<Columns> changed;
    if (kept) {
        shiftLeft(int(shift));
        changed = changedColumns(marks, int(shift), steady);
    } else {
        picture_ = QImage(area.size(), QImage::Format_RGB32);
        changed = {{0, area.width()}};
    }
    frameKey_ = sorted ? frame.cacheKey() : 0;
    area_ = area;
    ratio_ = ratio;
    column_ = column;
    for (const Columns &columns : changed)
        paintColumns(columns, frame, marks, draw);
    marks_ = marks;

    // Shown at the widget's pixel ratio, one picture pixel on one device
    // pixel; painted on at 1, in device pixels.
    picture_.setDevicePixelRatio(ratio);
    painter.drawImage(QPointF(area.topLeft()) / ratio, picture_);
    picture_.setDevicePixelRatio(1);
}

std::vector<ScrollingPlot::Columns>
ScrollingPlot::changedColumns(const std::vector<PlotMark> &marks, int shift,
                              const Columns &steady) const {
    const int width = area_.width();
    // The columns where the frame changes from column to column (where the
    // plot's grid lines end), and at the right those that the shift
    // uncovered or filled with such columns.
    std::vector<Columns> changed{
        {0, std::clamp(steady.from - area_.left(), 0, width)},
        {std::clamp(std::min(steady.to - area_.left(), width) - shift, 0, width), width}};
    const auto add = [&](double left, double right) {
        const int from = std::clamp(int(std::floor(left)), 0, width);
        const int to = std::clamp(int(std::ceil(right)), 0, width);
        changed.push_back({from, to});
    };
    // Both lists are sorted: the marks in only one of them came or went.
    auto before = marks_.cbegin();
    auto now = marks.cbegin();
    while (before != marks_.cend() || now != marks.cend()) {
        if (now == marks.cend() || (before != marks_.cend() && inOrder(*before, *now))) {
            add(before->left() - shift, before->right() - shift);
            ++before;
        } else if (before == marks_.cend() || inOrder(*now, *before)) {
            add(now->left(), now->right());
            ++now;
        } else {
            ++before;
            ++now;
        }
    }
    std::sort(changed.begin(), changed.end(),
              [](const Columns &first, const Columns &second) { return first.from < second.from; });
    std::vector<Columns> merged;
    for (const Columns &columns : changed) {
        if (columns.from >= columns.to)
            continue;
        if (!merged.empty() && columns.from <= merged.back().to)
            merged.back().to = std::max(merged.back().to, columns.to);
        else
            merged.push_back(columns);
    }
    return merged;
}

void ScrollingPlot::shiftLeft(int columns) {
    if (columns == 0)
        return;
    const size_t pixel = sizeof(QRgb);
    const size_t kept = size_t(picture_.width() - columns) * pixel;
    for (int row = 0; row < picture_.height(); ++row) {
        uchar *line = picture_.scanLine(row);
        std::memmove(line, line + size_t(columns) * pixel, kept);
    }
}

void ScrollingPlot::paintColumns(const Columns &columns, const QPixmap &frame,
                                 const std::vector<PlotMark> &marks, const DrawMarks &draw) {
    // Every mark with ink in the columns, the kept ones too: they are
    // painted as a whole picture would be. The marks are drawn whole, on a
    // scratch picture wide enough for all of them, never cut at the
    // columns' edges: a line cut short is rasterized a little differently.
    std::vector<qsizetype> touching;
    Columns scratch = columns;
    for (qsizetype index = 0; index < qsizetype(marks.size()); ++index) {
        const PlotMark &mark = marks[size_t(index)];
        if (mark.right() > columns.from && mark.left() < columns.to) {
            touching.push_back(index);
            scratch.from = std::min(scratch.from, int(std::floor(mark.left())));
            scratch.to = std::max(scratch.to, int(std::ceil(mark.right())));
        }
    }
    scratch.from = std::max(scratch.from, 0);
    scratch.to = std::min(scratch.to, picture_.width());
    QImage drawn(scratch.to - scratch.from, picture_.height(), picture_.format());
    QPainter scratchPainter(&drawn);
    scratchPainter.setCompositionMode(QPainter::CompositionMode_Source);
    // The frame's pixels one to one, whatever its pixel ratio.
    const QRect whole = drawn.rect();
    scratchPainter.drawPixmap(whole, frame,
                              whole.translated(area_.left() + scratch.from, area_.top()));
    scratchPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    scratchPainter.translate(-scratch.from, 0);
    if (!touching.empty())
        draw(scratchPainter, touching);
    scratchPainter.end();
    const size_t pixel = sizeof(QRgb);
    const size_t skipped = size_t(columns.from - scratch.from) * pixel;
    for (int row = 0; row < picture_.height(); ++row)
        std::memcpy(picture_.scanLine(row) + size_t(columns.from) * pixel,
                    drawn.constScanLine(row) + skipped, size_t(columns.to - columns.from) * pixel);
}

} // namespace flowtally
