#pragma once

// A chart keeps parts of its picture from one paint to the next; whatever
// changed, it must look like a chart made anew.
#include <QImage>
#include <QPixmap>
#include <QString>

#include <functional>
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
            EXPECT_EQ(pictureAt(shown, ratio), pictureAt(fresh, ratio))
                << what.toStdString() << " at " << ratio << "x";
        }
    }
}

} // namespace flowtally
