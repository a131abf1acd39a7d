// Lines drawn in fewer pieces: straight stretches collapse, turns and
// spikes stay.
#include "LineSimplification.h"

#include <gtest/gtest.h>

#include <cmath>

namespace flowtally {

namespace {

// Points every `step` pixels across, at the heights given.
QList<QPointF> across(const QList<double> &heights, double step = 1.6) {
    QList<QPointF> points;
    for (qsizetype index = 0; index < heights.size(); ++index)
        points.append({double(index) * step, heights[index]});
    return points;
}

TEST(LineSimplification, StraightStretchesCollapseAndTurnsStay) {
    QList<double> flat(400, 100.0), wobbling, spiked(400, 100.0), zigzag;
    for (int index = 0; index < 400; ++index) {
        wobbling.append(100 + 0.1 * std::sin(index)); // within a quarter pixel
        zigzag.append(index % 2 ? 100 : 140);
    }
    spiked[200] = 95;
    const QList<double> vee{10, 20, 30, 40, 30, 20, 10};
    // clang-format off
    const struct { const char *what; QList<QPointF> points, kept; } cases[] = {
        {"none", {}, {}},
        {"two points", across({1, 9}), across({1, 9})},
        {"flat", across(flat), {QPointF(0, 100), QPointF(399 * 1.6, 100)}},
        {"wobbling less than the tolerance", across(wobbling),
         {QPointF(0, wobbling.first()), QPointF(399 * 1.6, wobbling.last())}},
        {"a spike", across(spiked), {QPointF(0, 100), QPointF(199 * 1.6, 100),
                                     QPointF(200 * 1.6, 95), QPointF(201 * 1.6, 100),
                                     QPointF(399 * 1.6, 100)}},
        {"a turn", across(vee, 10), {QPointF(0, 10), QPointF(30, 40), QPointF(60, 10)}},
        {"a zigzag", across(zigzag), across(zigzag)},
    };
    // clang-format on
    for (const auto &c : cases)
        EXPECT_EQ(simplifiedLine(c.points, 0.25), c.kept) << c.what;
}

} // namespace

} // namespace flowtally
