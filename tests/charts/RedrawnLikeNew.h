#pragma once

// A chart keeps parts of its picture from one paint to the next; whatever
// changed, it must look like a chart made anew.
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace flowtally {

// The widget's picture at a pixel ratio.
inline QImage pictureAt(QWidget &widget, qreal ratio) {
    QPixmap picture(widget.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    widget.render(&picture);
    return picture.toImage();
}

// How two pictures differ: nothing when they are the same, else how many
// pixels differ and where.
inline std::string differences(const QImage &shown, const QImage &fresh) {
    if (shown.size() != fresh.size() || shown.format() != fresh.format())
        return "pictures of other sizes or formats";
    QRect where;
    qint64 count = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            if (shown.pixel(x, y) != fresh.pixel(x, y)) {
                where |= QRect(x, y, 1, 1);
                ++count;
            }
        }
    }
    if (count == 0)
        return {};
    return std::to_string(count) + " pixels differ, from (" + std::to_string(where.left()) + ", " +
           std::to_string(where.top()) + ") to (" + std::to_string(where.right()) + ", " +
           std::to_string(where.bottom()) + ")";
}

// Takes one chart through the states in turn (each sets a chart up), once
// pictured at 1x and once at 2x, and checks that in each state its picture
// is that of a chart made anew in that state.
template <typename Chart>
void expectRedrawnLikeNew(
    const std::vector<std::pair<QString, std::function<void(Chart &)>>> &states) {
    Chart shown;
    for (const qreal ratio : {1.0, 2.0}) {
        for (const auto &[what, setUp] : states) {
            Chart fresh;
            setUp(shown);
            setUp(fresh);
            EXPECT_EQ(differences(pictureAt(shown, ratio), pictureAt(fresh, ratio)), "")
                << what.toStdString() << " at " << ratio << "x";
        }
    }
}

} // namespace flowtally
