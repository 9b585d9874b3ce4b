// The fill settings a person sets in the tool panel, set by script lines through the same
// document settings, checked in the exported picture.

#include "replay.h"

#include <QColor>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QString kFill = QStringLiteral("action fillTool:\n");

} // namespace

// Black beside 0x330000 differ by 51 of 255: a tolerance of 0.2 reaches across, anything
// less stops at the border.
TEST_F(ReplayTest, FillToleranceAtItsBoundary)
{
    const QString boxes = box("000000", {20, 20}, {100, 100}) + box("330000", {100, 20}, {180, 100});
    for (const auto& [tolerance, beyond] : {std::pair{"0.2", 0xff0000ffu}, {"0.199", 0xff330000u}, {"1", 0xff0000ffu}}) {
        const QImage image = picture(boxes + "set fill.color 0000ff\nset fill.expand 0\nset fill.tolerance " +
                                     tolerance + "\n" + kFill + click({60, 60}));
        ASSERT_FALSE(image.isNull()) << tolerance;
        EXPECT_EQ(image.pixel(60, 60), 0xff0000ffu) << tolerance;
        EXPECT_EQ(image.pixel(140, 60), beyond) << tolerance;
    }
}

// Expand grows the filled region by one pixel a step past the edge it stopped at.
TEST_F(ReplayTest, FillExpandGrowsTheRegion)
{
    for (const auto& [expand, grown] : {std::pair{"0", 0u}, {"1", 0u}, {"5", 0xff0000ffu}}) {
        const QImage image = picture(box("000000", {20, 20}, {100, 100}) + "set fill.color 0000ff\nset fill.tolerance 0\n"
                                     "set fill.expand " + expand + "\n" + kFill + click({60, 60}));
        ASSERT_FALSE(image.isNull()) << expand;
        EXPECT_EQ(image.pixel(103, 60), grown) << "expand " << expand;
    }
}

// Each mode combines the fill with the grey beneath it in its own way.
TEST_F(ReplayTest, FillModes)
{
    const struct {
        const char* mode;
        const char* colour;
        QRgb expected;
    } rows[] = {
        {"normal", "ffff00", 0xffffff00}, {"erase", "ffff00", 0},          {"darker", "ffff00", 0xff808080},
        {"lighter", "404040", 0xff808080}, {"multiply", "ffff00", 0xff808000}, {"shadow", "ffff00", 0xff000000},
        {"hilight", "ffff00", 0xffffffff},
    };
    for (const auto& row : rows) {
        const QImage image = picture(box("808080", {20, 20}, {120, 120}) + "set fill.tolerance 0\nset fill.mode " +
                                     row.mode + "\nset fill.color " + row.colour + "\n" + kFill + click({70, 70}));
        ASSERT_FALSE(image.isNull()) << row.mode;
        EXPECT_TRUE(near(image.pixel(70, 70), row.expected, 1))
            << row.mode << ": " << std::hex << image.pixel(70, 70);
    }
}

// Opacity mixes the fill colour with what lies beneath.
TEST_F(ReplayTest, FillOpacity)
{
    for (const auto& [opacity, expected] : {std::pair{"1", qRgb(255, 0, 0)}, {"0.5", qRgb(191, 64, 64)}, {"0", qRgb(128, 128, 128)}}) {
        const QImage image = picture(box("808080", {20, 20}, {120, 120}) + "set fill.color ff0000\nset fill.opacity " +
                                     opacity + "\n" + kFill + click({70, 70}));
        ASSERT_FALSE(image.isNull()) << opacity;
        EXPECT_TRUE(near(image.pixel(70, 70), expected, 2)) << opacity << ": " << std::hex << image.pixel(70, 70);
    }
}

// A square ring with an opening two pixels wide at the bottom: closing gaps of 3 keeps the
// fill inside, right up to the walls; without it the fill leaks.
TEST_F(ReplayTest, FillGapKeepsTheFloodInsideARingWithAnOpening)
{
    const QString ring = box("000000", {40, 40}, {46, 160}) + box("000000", {154, 40}, {160, 160}) +
                         box("000000", {40, 40}, {160, 46}) + box("000000", {40, 154}, {99, 160}) +
                         box("000000", {101, 154}, {160, 160});
    for (const auto& [gap, outside] : {std::pair{"0", 0xff0000ffu}, {"1", 0xff0000ffu}, {"3", 0u}, {"10", 0u}}) {
        const QImage image = picture(ring + "set fill.color 0000ff\nset fill.expand 0\nset fill.gap " + gap + "\n" +
                                     kFill + click({100, 100}));
        ASSERT_FALSE(image.isNull()) << gap;
        EXPECT_EQ(image.pixel(10, 10), outside) << "gap " << gap;
        for (const auto& [x, y] : {std::pair{46, 100}, {100, 46}, {153, 100}, {60, 153}})
            EXPECT_EQ(image.pixel(x, y), 0xff0000ffu) << "gap " << gap << " at " << x << "," << y;
    }
}

namespace {

// Along rays from the centre of the view, the largest distance between where the blue fill
// ends and the circle of radius `edge`.
double largest_miss(const QImage& image, QPointF centre, double edge)
{
    double largest = 0;
    for (int step = 0; step < 720; ++step) {
        const QPointF way(std::cos(step * M_PI / 360), std::sin(step * M_PI / 360));
        double end = 0;
        for (double r = edge - 30; r < edge + 30; r += 0.25) {
            const QPointF at = centre + r * way;
            const QRgb p = image.pixel(int(std::floor(at.x())), int(std::floor(at.y())));
            if (qBlue(p) > 128 && qRed(p) < 128 && qGreen(p) < 128) end = r;
        }
        largest = std::max(largest, std::abs(end - edge));
    }
    return largest;
}

} // namespace

// A white disc within a black ring, filled at 1:1 and seen at 400%: the finer the fill's
// precision, the closer its outline follows the ring's inner edge.
TEST_F(ReplayTest, FillPrecisionFollowsTheRingWhenZoomedIn)
{
    const QString ring = "set pen.type Ellipse\nset pen.opacity 1\nset pen.color 000000\n" + drag({340, 240}, {460, 360}, 4) +
                         "set pen.color ffffff\n" + drag({350, 250}, {450, 350}, 4);
    for (const auto& [precision, meets] : {std::pair{"1", false}, {"2", true}, {"4", true}}) {
        const QImage image = picture(ring + "set fill.color 0000ff\nset fill.expand 0\nset fill.precision " + precision +
                                     "\n" + kFill + click({400, 300}) + "action zoomTo: 400\n");
        ASSERT_FALSE(image.isNull()) << precision;
        // The inner edge, radius 50 at 1:1, lies 200 pixels from the centre at 400%.
        const double miss = largest_miss(image, {400, 300}, 200);
        EXPECT_EQ(miss <= 1, meets) << "precision " << precision << " misses by " << miss;
    }
}
