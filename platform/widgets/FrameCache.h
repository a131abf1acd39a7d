#pragma once

#include <QPixmap>
#include <QStringList>

#include <functional>

class QPainter;
class QWidget;

namespace flowtally {

// The picture of a widget's still parts (a chart's background, grid, axes and
// legend; a group box's frame and title) as last drawn, kept while the
// widget's size, colours and font, the pixel ratio painted at and what the
// picture says stay the same. Most repaints change only what lies on top or
// inside, and texts cost more to draw than anything else.
class FrameCache {
  public:
    // Paints the picture with `painter`, which paints `widget`. `says` is all
    // else the picture depends on (its texts, where they stand, the state
    // drawn); `draw` draws it anew, over the whole widget, when any of it
    // changed.
    void paint(QPainter &painter, const QWidget &widget, const QStringList &says,
               const std::function<void(QPainter &)> &draw);

    // The picture as last painted; a new picture has a new cache key.
    const QPixmap &picture() const { return pixmap_; }

  private:
    QPixmap pixmap_;
    QStringList key_;
};

} // namespace flowtally
