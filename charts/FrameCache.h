#pragma once

#include <QPixmap>
#include <QStringList>

#include <functional>

class QPainter;
class QWidget;

namespace flowtally {

// A chart's frame (background, grid, axes, their labels, title and legend)
// as last drawn, kept while the widget's size, colours and font, the pixel
// ratio painted at and what the frame says stay the same. Most repaints of a
// chart move only its data, and the frame's texts cost more to draw than
// the data.
class FrameCache {
  public:
    // Paints the frame with `painter`, which paints `widget`. `says` is all
    // else the frame's picture depends on (its texts and where they stand);
    // `draw` draws the frame anew when any of it changed.
    void paint(QPainter &painter, const QWidget &widget, const QStringList &says,
               const std::function<void(QPainter &)> &draw);

  private:
    QPixmap pixmap_;
    QStringList key_;
};

} // namespace flowtally
