#include "platform/widgets/FrameCache.h"

#include <QPaintEngine>
#include <QPainter>
#include <QWidget>

namespace flowtally {

void FrameCache::paint(QPainter &painter, const QWidget &widget, const QStringList &says,
                       const std::function<void(QPainter &)> &draw) {
    // The device painted on, not the widget's screen: a picture of the
    // widget may be taken at another pixel ratio.
    const qreal ratio = painter.paintEngine()->paintDevice()->devicePixelRatioF();
    const QStringList key =
        QStringList{QString::number(widget.width()), QString::number(widget.height()),
                    QString::number(ratio), QString::number(widget.palette().cacheKey()),
                    widget.font().key()} +
        says;
    if (pixmap_.isNull() || key != key_) {
        QPixmap drawn(widget.size() * ratio);
        drawn.setDevicePixelRatio(ratio);
        QPainter framePainter(&drawn);
        // Set up as the widget's painter: its hints, font, pen and brush.
        // Pixmaps drawn scaled (a style's frame pieces) are scaled smoothly,
        // as they are when drawn on the widget itself; the picture is then
        // the one the widget would have shown, to the pixel.
        framePainter.setRenderHints(painter.renderHints() | QPainter::SmoothPixmapTransform);
        framePainter.setFont(painter.font());
        framePainter.setPen(painter.pen());
        framePainter.setBrush(painter.brush());
        draw(framePainter);
        framePainter.end();
        pixmap_ = drawn;
        key_ = key;
    }
    painter.drawPixmap(0, 0, pixmap_);
}

} // namespace flowtally
