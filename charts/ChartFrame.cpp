#include "charts/ChartFrame.h"

#include <QPainter>

#include <algorithm>

namespace flowtally {

namespace {

// Sizes in lines of the font.
constexpr double kPad = 0.5;
constexpr double kMarkLength = 1.4;
constexpr double kBoxSize = 0.7;
constexpr double kTickLength = 0.3;
// Room for a title of a cycle and its totals, and for a plot of a few lines.
constexpr int kMinimumWidth = 46; // in widths of an average character
constexpr int kMinimumHeight = 12;
constexpr double kLabelSpacing = 1.2; // between the middles of two value labels
constexpr int kAxisAlpha = 160;
constexpr double kBarShare = 0.7; // of a slot's width
constexpr int kLabelStrides[] = {1, 2, 3, 5, 7, 10, 14, 31};

double widestLabel(const QFontMetricsF &metrics, const ByteAxis &axis) {
    double widest = 0;
    for (const double tick : axis.ticks())
        widest = std::max(widest, metrics.horizontalAdvance(axis.label(tick)));
    return widest;
}

} // namespace

ChartFrame::ChartFrame(const QRectF &bounds, const QFontMetricsF &metrics, const QString &title,
                       const QList<LegendEntry> &legend, const Axis &left,
                       const std::optional<Axis> &right, const QString &widestBottomLabel)
    : bounds_(bounds), metrics_(metrics), title_(title), legend_(legend), left_(left),
      right_(right) {
    const double line = metrics.height();
    pad_ = line * kPad;
    const double inner = bounds.width() - 2 * pad_;
    const double titleWidth = metrics.horizontalAdvance(title);
    const double legendWide = legendWidth();
    legendBesideTitle_ = titleWidth + 2 * pad_ + legendWide <= inner;
    const double top = bounds.top() + pad_;
    legendAt_ = legendBesideTitle_ ? QPointF(bounds.right() - pad_ - legendWide, top)
                                   : QPointF(bounds.left() + pad_, top + line);
    captionTop_ = top + line * (legendBesideTitle_ ? 1 : 2) + pad_;
    const double halfBottom = metrics.horizontalAdvance(widestBottomLabel) / 2;
    const double leftMargin = pad_ + std::max(widestLabel(metrics, left.scale) + pad_, halfBottom);
    const double rightMargin =
        pad_ + (right ? widestLabel(metrics, right->scale) + pad_ : halfBottom);
    // The top tick's label is centred on the plot's top edge.
    const double plotTop = captionTop_ + line * 1.5;
    const double plotBottom = bounds.bottom() - pad_ - line - pad_ / 2;
    // Too small a widget leaves an empty plot, never one turned inside out.
    const double plotLeft = bounds.left() + leftMargin;
    plot_ =
        QRectF(QPointF(plotLeft, plotTop), QPointF(std::max(plotLeft, bounds.right() - rightMargin),
                                                   std::max(plotTop, plotBottom)));
}

double ChartFrame::x(double share) const {
    return plot_.left() + share * plot_.width();
}

double ChartFrame::yLeft(double bytes) const {
    return plot_.bottom() - left_.scale.fraction(bytes) * plot_.height();
}

double ChartFrame::yRight(double bytes) const {
    const ByteAxis &scale = right_ ? right_->scale : left_.scale;
    return plot_.bottom() - scale.fraction(bytes) * plot_.height();
}

double ChartFrame::legendWidth() const {
    const double line = metrics_.height();
    double width = 0;
    for (const LegendEntry &entry : legend_)
        width += line * kMarkLength + pad_ / 2 + metrics_.horizontalAdvance(entry.text) + pad_;
    return std::max(0.0, width - pad_);
}

void ChartFrame::drawLegend(QPainter &painter, const QColor &text) const {
    const double line = metrics_.height();
    double x = legendAt_.x();
    const double middle = legendAt_.y() + line / 2;
    for (const LegendEntry &entry : legend_) {
        if (entry.mark == LegendEntry::Mark::Box) {
            const double size = line * kBoxSize;
            painter.fillRect(
                QRectF(x + (line * kMarkLength - size) / 2, middle - size / 2, size, size),
                entry.colour);
        } else {
            QPen pen(entry.colour, 2);
            if (entry.mark == LegendEntry::Mark::DashedLine)
                pen.setStyle(Qt::DashLine);
            else if (entry.mark == LegendEntry::Mark::DottedLine)
                pen.setStyle(Qt::DotLine);
            painter.setPen(pen);
            painter.drawLine(QPointF(x, middle), QPointF(x + line * kMarkLength, middle));
        }
        x += line * kMarkLength + pad_ / 2;
        const double width = metrics_.horizontalAdvance(entry.text);
        painter.setPen(text);
        painter.drawText(QRectF(x, legendAt_.y(), width + 1, line),
                         Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        x += width + pad_;
    }
}

void ChartFrame::drawAxisLabels(QPainter &painter, const Axis &axis, bool leftSide) const {
    const double line = metrics_.height();
    const double columnLeft = leftSide ? bounds_.left() + pad_ : plot_.right() + pad_;
    const double columnRight = leftSide ? plot_.left() - pad_ : bounds_.right() - pad_;
    // Every tick is marked; in a low plot only every second, fifth… is labelled.
    const QList<double> ticks = axis.scale.ticks();
    const double spacing = plot_.height() / double(std::max<qsizetype>(ticks.size() - 1, 1));
    qsizetype labelEvery = 1;
    for (const qsizetype every : {1, 2, 5}) {
        labelEvery = every;
        if (spacing * double(every) >= line * kLabelSpacing)
            break;
    }
    for (qsizetype index = 0; index < ticks.size(); ++index) {
        const double y = plot_.bottom() - axis.scale.fraction(ticks[index]) * plot_.height();
        const Qt::Alignment side = leftSide ? Qt::AlignRight : Qt::AlignLeft;
        if (index % labelEvery == 0)
            painter.drawText(QRectF(columnLeft, y - line / 2, columnRight - columnLeft, line),
                             side | Qt::AlignVCenter, axis.scale.label(ticks[index]));
        if (!leftSide) {
            const double edge = plot_.right();
            painter.drawLine(QPointF(edge, y), QPointF(edge + line * kTickLength, y));
        }
    }
    // The caption starts at the widget's edge, above its labels.
    const QRectF captionRow(bounds_.left() + pad_, captionTop_, bounds_.width() - 2 * pad_, line);
    painter.drawText(captionRow, (leftSide ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter,
                     axis.caption);
}

void ChartFrame::draw(QPainter &painter, const ChartColours &colours,
                      const QList<BottomLabel> &bottomLabels) const {
    const double line = metrics_.height();
    painter.fillRect(bounds_, colours.background);
    painter.setPen(QPen(colours.grid, 1));
    for (const double tick : left_.scale.ticks())
        painter.drawLine(QPointF(plot_.left(), yLeft(tick)), QPointF(plot_.right(), yLeft(tick)));

    QColor axisColour = colours.text;
    axisColour.setAlpha(kAxisAlpha);
    painter.setPen(QPen(axisColour, 1));
    painter.drawLine(plot_.bottomLeft(), plot_.bottomRight());
    if (right_)
        painter.drawLine(plot_.topRight(), plot_.bottomRight());

    painter.setPen(colours.text);
    drawAxisLabels(painter, left_, true);
    if (right_)
        drawAxisLabels(painter, *right_, false);
    for (const BottomLabel &label : bottomLabels) {
        const double width = metrics_.horizontalAdvance(label.text) + 2;
        painter.drawText(QRectF(x(label.at) - width / 2, plot_.bottom() + pad_ / 2, width, line),
                         Qt::AlignCenter, label.text);
    }
    drawLegend(painter, colours.text);
}

void ChartFrame::drawTitle(QPainter &painter, const ChartColours &colours) const {
    painter.setPen(colours.text);
    painter.drawText(QRectF(bounds_.left() + pad_, bounds_.top() + pad_, bounds_.width() - 2 * pad_,
                            metrics_.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     metrics_.elidedText(title_, Qt::ElideRight, bounds_.width() - 2 * pad_));
}

void ChartFrame::drawBar(QPainter &painter, const ChartColours &colours, double from, double to,
                         quint64 in, quint64 out) const {
    const double slot = x(to) - x(from);
    const double left = x(from) + slot * (1 - kBarShare) / 2;
    const double right = left + slot * kBarShare;
    const double inTop = yLeft(double(in));
    painter.fillRect(QRectF(QPointF(left, inTop), QPointF(right, plot_.bottom())), colours.in);
    painter.fillRect(QRectF(QPointF(left, yLeft(double(in + out))), QPointF(right, inTop)),
                     colours.out);
}

int ChartFrame::labelStride(const QFontMetricsF &metrics, double slotWidth, double widest) {
    const double room = widest + metrics.averageCharWidth() * 2;
    for (const int each : kLabelStrides) {
        if (each * slotWidth >= room)
            return each;
    }
    return kLabelStrides[std::size(kLabelStrides) - 1];
}

QSize ChartFrame::sizeIn(const QFont &font, int characters, int lines) {
    const QFontMetrics metrics(font);
    return {metrics.averageCharWidth() * characters, metrics.height() * lines};
}

QSize ChartFrame::minimumSize(const QFont &font) {
    return sizeIn(font, kMinimumWidth, kMinimumHeight);
}

} // namespace flowtally
