// The built-in pen's stroke as the exported picture shows it: where it begins, and how the
// stabiliser shapes and ends it.

#include "replay.h"

namespace {

// The mean distance of the ink's middle from the line y 130, over the columns 110 to 390.
double deviation_from_mean_line(const QImage& image)
{
    double sum = 0;
    for (int x = 110; x <= 390; ++x) {
        double ys = 0, inked = 0;
        for (int y = 0; y < image.height(); ++y)
            if (qAlpha(image.pixel(x, y)) > 128) ys += y, ++inked;
        sum += inked ? std::abs(ys / inked - 130) : 1e9;
    }
    return sum / 281;
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

// The stabiliser cuts a zig-zag's corners for the built-in and the scripted pens alike, and
// the stroke still reaches the point where the pen was lifted, (450, 100).
TEST_F(ReplayTest, AStabilisedZigZagIsSmootherAndEndsWhereThePenWasLifted)
{
    std::vector<Point> zig_zag;
    for (int i = 0; i <= 20; ++i) zig_zag.push_back({50.0f + 20.0f * float(i), i % 2 ? 160.0f : 100.0f});
    for (const char* type : {"Pen", "Calligraphy"}) {
        const QString pen = QStringLiteral("set pen.type %1\nset pen.radius 2\nset pen.smoothing ").arg(type);
        const QImage plain = picture(pen + "0\n" + polyline(zig_zag)), steady = picture(pen + "0.8\n" + polyline(zig_zag));
        ASSERT_FALSE(plain.isNull() || steady.isNull()) << type;
        const double wobble = deviation_from_mean_line(plain);
        EXPECT_GT(wobble, 10) << type;
        EXPECT_LT(deviation_from_mean_line(steady), wobble / 3) << type;
        EXPECT_GT(qAlpha(steady.pixel(450, 100)), 128) << type << ": the stroke stops short of the pen-up point";
    }
    EXPECT_EQ(replay("set pen.smoothing 1.5\n").status, kReplayMalformed);
}

// The pressure curve in force maps a click's raw pressure 0.5 before the pen sees it: the dot
// (radius 10 at full pressure) is as wide as the mapped pressure says.
TEST_F(ReplayTest, APressureCurveSetsTheDotsRadius)
{
    for (const auto& [curve, inside, outside] :
         {std::tuple{"0 0 1 1", 3, 7}, {"0 0 0.5 1 1 1", 8, 12}, {"0 0 1 0.4", 1, 4}}) {
        const QImage image = picture(QStringLiteral("set pressure.curve %1\nset pen.type Pen\nset pen.radius 10\n"
                                                    "down 100 100 0.5\nup 100 100\n").arg(curve));
        ASSERT_FALSE(image.isNull()) << curve;
        EXPECT_GT(qAlpha(image.pixel(100 + inside, 100)), 128) << curve;
        EXPECT_EQ(qAlpha(image.pixel(100 - outside, 100)), 0) << curve;
    }
    EXPECT_EQ(replay("set pressure.curve 0 0.5 1 0.2\n").status, kReplayMalformed);
}
