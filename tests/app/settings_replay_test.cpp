// Each pen and fill key an event script sets, as the panels set them, seen in the exported
// drawing: one pixel a row, within a few steps a channel.

#include "pictures.h"
#include "replay.h"
#include "rows.h"

#include <algorithm>
#include <cmath>

namespace {

const QString kFill = QStringLiteral("action fillTool:\n");

// Pen strokes across a black and a yellow box and the clear ground between; Calligraphy takes
// its own colour and radius 8 when chosen.
QString pen(const char* settings)
{
    return box("ffff00", {0, 140}, {300, 200}) + box("000000", {0, 0}, {300, 60}) +
           "set pen.type Pen\nset pen.color ff0000\nset pen.radius 20\n" + QLatin1String(settings) +
           drag({40, 100}, {260, 100}) + drag({40, 30}, {260, 30}) + drag({40, 170}, {260, 170});
}
// A click of the fill tool at (60, 60) after the scene and the fill settings.
QString fill(const QString& scene, const char* settings)
{
    return scene + QLatin1String(settings) + kFill + click({60, 60});
}
// Black beside 0x330000 differ by 51 of 255: a tolerance of 0.2 reaches across, anything less
// stops at the border.
const QString kBoxes = box("000000", {20, 20}, {100, 100}) + box("330000", {100, 20}, {180, 100}) +
                       "set fill.color 0000ff\nset fill.expand 0\n";
const QString kBlack = box("000000", {20, 20}, {100, 100}) + "set fill.color 0000ff\nset fill.tolerance 0\n";
const QString kGrey = box("808080", {20, 20}, {120, 120}) + "set fill.tolerance 0\n";

struct SettingRow {
    const char* name;
    QString script;
    int x, y;
    QRgb colour; // with alpha; where nothing is drawn (alpha 0) the colour says nothing
    int within = 3;
};

class Settings : public ReplayTest, public ::testing::WithParamInterface<SettingRow> {};

TEST_P(Settings, ShowInThePixels)
{
    const SettingRow& row = GetParam();
    const QImage out = picture(row.script);
    ASSERT_FALSE(out.isNull());
    const QRgb got = out.pixel(row.x, row.y);
    EXPECT_TRUE(qAlpha(row.colour) == 0 ? qAlpha(got) == 0 : near(got, row.colour, row.within))
        << row.name << ": " << std::hex << got << " not " << row.colour;
}

// clang-format off
// The pen's radius, colour, opacity and mode show in the pictures of every mode (Golden in
// replay_test.cpp); here what those leave out.
INSTANTIATE_TEST_SUITE_P(EveryKey, Settings, ::testing::Values(
    SettingRow{"opacity 0 draws nothing", pen("set pen.opacity 0\n"), 150, 100, 0},
    SettingRow{"nib across the stroke is broad", pen("set pen.type Calligraphy\nset pen.param.nib_angle 90\n"), 150, 106, 0xff1a1a40},
    SettingRow{"nib along the stroke is thin", pen("set pen.type Calligraphy\nset pen.param.nib_angle 0\n"), 150, 106, 0},
    SettingRow{"thin nib still draws its middle", pen("set pen.type Calligraphy\nset pen.param.nib_angle 0\n"), 150, 100, 0xff1a1a40},
    SettingRow{"fill tolerance 0.2 reaches across", fill(kBoxes, "set fill.tolerance 0.2\n"), 140, 60, 0xff0000ff, 0},
    SettingRow{"fill tolerance 0.199 stops at the border", fill(kBoxes, "set fill.tolerance 0.199\n"), 140, 60, 0xff330000, 0},
    SettingRow{"fill tolerance 0.199 fills its own box", fill(kBoxes, "set fill.tolerance 0.199\n"), 60, 60, 0xff0000ff, 0},
    SettingRow{"fill tolerance 1 reaches across", fill(kBoxes, "set fill.tolerance 1\n"), 140, 60, 0xff0000ff, 0},
    // Expand grows the filled region by one pixel a step past the edge it stopped at.
    SettingRow{"fill expand 0", fill(kBlack, "set fill.expand 0\n"), 103, 60, 0},
    SettingRow{"fill expand 1", fill(kBlack, "set fill.expand 1\n"), 103, 60, 0},
    SettingRow{"fill expand 5", fill(kBlack, "set fill.expand 5\n"), 103, 60, 0xff0000ff, 0},
    // Each mode combines the fill with the grey beneath it in its own way.
    SettingRow{"fill normal", fill(kGrey, "set fill.mode normal\nset fill.color ffff00\n"), 70, 70, 0xffffff00, 1},
    SettingRow{"fill erase", fill(kGrey, "set fill.mode erase\nset fill.color ffff00\n"), 70, 70, 0},
    SettingRow{"fill darker", fill(kGrey, "set fill.mode darker\nset fill.color ffff00\n"), 70, 70, 0xff808080, 1},
    SettingRow{"fill lighter", fill(kGrey, "set fill.mode lighter\nset fill.color 404040\n"), 70, 70, 0xff808080, 1},
    SettingRow{"fill multiply", fill(kGrey, "set fill.mode multiply\nset fill.color ffff00\n"), 70, 70, 0xff808000, 1},
    SettingRow{"fill shadow", fill(kGrey, "set fill.mode shadow\nset fill.color ffff00\n"), 70, 70, 0xff000000, 1},
    SettingRow{"fill hilight", fill(kGrey, "set fill.mode hilight\nset fill.color ffff00\n"), 70, 70, 0xffffffff, 1},
    // Opacity mixes the fill colour with what lies beneath.
    SettingRow{"fill opacity 1", fill(kGrey, "set fill.color ff0000\nset fill.opacity 1\n"), 70, 70, 0xffff0000, 2},
    SettingRow{"fill opacity one half", fill(kGrey, "set fill.color ff0000\nset fill.opacity 0.5\n"), 70, 70, 0xffbf4040, 2},
    SettingRow{"fill opacity 0", fill(kGrey, "set fill.color ff0000\nset fill.opacity 0\n"), 70, 70, 0xff808080, 2}),
    [](const auto& row) { return test_name(row.param.name); });
// clang-format on

} // namespace

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
