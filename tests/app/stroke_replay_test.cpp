// The built-in pen's stroke as the exported picture shows it: where it begins.

#include "replay.h"

namespace {

// A gesture through the points, 8 moves a leg, at full pressure.
QString polyline(const std::vector<Point>& points)
{
    QString s = QStringLiteral("down %1 %2\n").arg(points[0].x).arg(points[0].y);
    for (std::size_t i = 1; i < points.size(); ++i)
        for (float t = 0.125f; t <= 1; t += 0.125f)
            s += QStringLiteral("move %1 %2\n").arg(points[i - 1].x + (points[i].x - points[i - 1].x) * t)
                     .arg(points[i - 1].y + (points[i].y - points[i - 1].y) * t);
    return s + QStringLiteral("up %1 %2\n").arg(points.back().x).arg(points.back().y);
}

} // namespace

// A click without a move leaves a dot of the pen's radius (10) at the click's pressure.
TEST_F(ReplayTest, AClickLeavesADotOfThePressedRadius)
{
    for (const auto& [pressure, inside, outside] : {std::tuple{"1", 8, 12}, {"0.5", 3, 7}}) {
        const QImage image = picture(QStringLiteral("set pen.type Pen\nset pen.radius 10\ndown 100 100 %1\nup 100 100\n").arg(pressure));
        ASSERT_FALSE(image.isNull()) << pressure;
        EXPECT_GT(qAlpha(image.pixel(100 + inside, 100)), 128) << pressure;
        EXPECT_EQ(qAlpha(image.pixel(100 - outside, 100)), 0) << pressure;
    }
}

// A square drawn back to its corner is closed there: a fill inside stays inside.
TEST_F(ReplayTest, ASquareDrawnBackToItsStartHoldsAFill)
{
    const QImage image = picture("set pen.type Pen\nset pen.radius 1\n" + polyline({{40, 40}, {140, 40}, {140, 140}, {40, 140}, {40, 40}}) +
                                 "set fill.color ff0000\naction fillTool:\n" + click({90, 90}));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(90, 90), 0xffff0000);
    EXPECT_EQ(qAlpha(image.pixel(10, 10)), 0) << "the fill leaked out of the square";
}
