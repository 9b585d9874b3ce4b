// Each pen key an event script sets, as the pen panel sets it, seen in the exported drawing:
// strokes across a black and a yellow box and the clear ground between, and pixels on and
// beside them. Calligraphy takes its own colour and radius 8 when chosen.

#include "replay.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>

namespace {

struct PenKeyRow {
    const char* name;
    const char* settings;  // lines after "set pen.type Pen" and "set pen.color ff0000"
    int x, y;
    QRgb colour;           // with alpha; compared within 3 per channel
};

class PenKeys : public ReplayTest, public ::testing::WithParamInterface<PenKeyRow> {};

TEST_P(PenKeys, SetKeyShowsInPixels)
{
    const PenKeyRow& row = GetParam();
    const QString script = box("ffff00", {0, 140}, {300, 200}) + box("000000", {0, 0}, {300, 60}) +
                           "set pen.type Pen\nset pen.color ff0000\nset pen.radius 20\n" +
                           QString::fromLatin1(row.settings) + drag({40, 100}, {260, 100}) +
                           drag({40, 30}, {260, 30}) + drag({40, 170}, {260, 170});
    const QImage out = picture(script);
    ASSERT_FALSE(out.isNull());
    const QRgb got = out.pixel(row.x, row.y);
    const auto near = [](int a, int b) { return std::abs(a - b) <= 3; };
    // Where nothing is drawn the colour of a clear pixel says nothing.
    const bool same = qAlpha(row.colour) == 0 ? qAlpha(got) == 0
                                              : near(qRed(got), qRed(row.colour)) && near(qGreen(got), qGreen(row.colour)) &&
                                                    near(qBlue(got), qBlue(row.colour)) && near(qAlpha(got), qAlpha(row.colour));
    EXPECT_TRUE(same) << row.name << ": " << std::hex << got << " not " << row.colour;
}

INSTANTIATE_TEST_SUITE_P(EveryPenKey, PenKeys, ::testing::Values(
    PenKeyRow{"radius 20 reaches 14 below", "", 150, 114, 0xffff0000},
    PenKeyRow{"radius 5 does not", "set pen.radius 5\n", 150, 114, 0},
    PenKeyRow{"colour", "set pen.color 00ff00\n", 150, 100, 0xff00ff00},
    PenKeyRow{"opacity 1", "", 150, 100, 0xffff0000},
    PenKeyRow{"opacity one half", "set pen.opacity 0.5\n", 150, 100, 0x80ff0000},
    PenKeyRow{"opacity 0 draws nothing", "set pen.opacity 0\n", 150, 100, 0},
    PenKeyRow{"normal over black", "", 150, 30, 0xffff0000},
    PenKeyRow{"erase clears black", "set pen.mode erase\n", 150, 30, 0},
    PenKeyRow{"multiply: red over yellow", "set pen.mode multiply\n", 150, 170, 0xffff0000},
    PenKeyRow{"multiply: blue over yellow", "set pen.mode multiply\nset pen.color 0000ff\n", 150, 170, 0xff000000},
    PenKeyRow{"nib across the stroke is broad", "set pen.type Calligraphy\nset pen.param.nib_angle 90\n", 150, 106, 0xff1a1a40},
    PenKeyRow{"nib along the stroke is thin", "set pen.type Calligraphy\nset pen.param.nib_angle 0\n", 150, 106, 0},
    PenKeyRow{"thin nib still draws its middle", "set pen.type Calligraphy\nset pen.param.nib_angle 0\n", 150, 100, 0xff1a1a40}),
    [](const ::testing::TestParamInfo<PenKeyRow>& row) {
        std::string name = row.param.name;
        for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

} // namespace
