// The main window's group boxes keep their frame's picture between paints;
// in every state they must look as the style draws a group box itself.
#include "platform/widgets/GroupBox.h"

#include "tests/charts/Palettes.h"
#include "tests/charts/RedrawnLikeNew.h"

#include <QLabel>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace flowtally {

namespace {

// A window holding one group box with a figure inside, as the main window
// holds them.
struct Shown {
    explicit Shown(std::unique_ptr<QGroupBox> groupBox) : box(groupBox.release()) {
        auto *windowLayout = new QVBoxLayout(&window);
        windowLayout->addWidget(box);
        auto *boxLayout = new QVBoxLayout(box);
        figure = new QLabel(QStringLiteral("1630.9 K/s"));
        boxLayout->addWidget(figure);
    }
    QWidget window;
    QGroupBox *box;
    QLabel *figure;
};

TEST(GroupBox, LooksAsTheStyleDrawsAGroupBoxInEveryState) {
    // clang-format off
    const struct { const char *what; QString title, figure; QSize size; bool enabled; QPalette palette; } states[] = {
        {"first", "Now", "1630.9 K/s", {300, 120}, true, lightPalette()},
        {"another figure", "Now", "82 K/s", {300, 120}, true, lightPalette()},
        {"another title", "Since the reset", "82 K/s", {300, 120}, true, lightPalette()},
        {"another size", "Since the reset", "82 K/s", {340, 160}, true, lightPalette()},
        {"disabled", "Since the reset", "82 K/s", {340, 160}, false, lightPalette()},
        {"other colours", "Since the reset", "82 K/s", {340, 160}, true, darkPalette()},
    };
    // clang-format on
    Shown kept(std::make_unique<GroupBox>());
    for (const qreal ratio : {1.0, 2.0}) {
        for (const auto &state : states) {
            Shown styles(std::make_unique<QGroupBox>());
            for (Shown *shown : {&kept, &styles}) {
                shown->window.setPalette(state.palette);
                shown->window.resize(state.size);
                shown->box->setTitle(state.title);
                shown->box->setEnabled(state.enabled);
                shown->figure->setText(state.figure);
            }
            EXPECT_EQ(pictureAt(kept.window, ratio), pictureAt(styles.window, ratio))
                << state.what << " at " << ratio << "x";
        }
    }
}

} // namespace

} // namespace flowtally
