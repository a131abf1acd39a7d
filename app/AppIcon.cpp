#include "app/AppIcon.h"

#include <QPainter>
#include <QPainterPath>

namespace flowtally {

namespace {

// The picture is drawn on a grid of 128 units, as in flowtally.svg.
constexpr double kGrid = 128.0;

} // namespace

QPixmap appIconPixmap(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / kGrid, size / kGrid);

    painter.setPen(Qt::NoPen);
    painter.setBrush(kIconTile);
    painter.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);

    QPainterPath curve(QPointF(20, 88));
    curve.cubicTo(QPointF(40, 88), QPointF(44, 40), QPointF(64, 40));
    curve.cubicTo(QPointF(84, 40), QPointF(88, 88), QPointF(108, 88));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 10, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(curve);

    painter.setPen(Qt::NoPen);
    QColor track(Qt::white);
    track.setAlphaF(0.55);
    painter.setBrush(track);
    painter.drawRoundedRect(QRectF(20, 100, 88, 8), 4, 4);
    painter.setBrush(kIconUsedBar);
    painter.drawRoundedRect(QRectF(20, 100, 58, 8), 4, 4);
    return picture;
}

QIcon appIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(appIconPixmap(size));
    return icon;
}

} // namespace flowtally
