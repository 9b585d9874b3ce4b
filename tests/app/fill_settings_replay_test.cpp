// The fill settings a person sets in the tool panel, set by script lines through the same
// document settings, checked in the exported picture.

#include "replay.h"

#include <QColor>

namespace {

const QString kFill = QStringLiteral("action fillTool:\n");

// Channels within `within` of each other, alpha too.
bool near(QRgb a, QRgb b, int within)
{
    return std::abs(qRed(a) - qRed(b)) <= within && std::abs(qGreen(a) - qGreen(b)) <= within &&
           std::abs(qBlue(a) - qBlue(b)) <= within && std::abs(qAlpha(a) - qAlpha(b)) <= within;
}

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
