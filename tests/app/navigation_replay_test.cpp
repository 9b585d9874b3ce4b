// Moving around the drawing: the wheel, the touchpad, the temporary hand and the keys,
// replayed headless and checked in the exported pictures.

#include "pictures.h"
#include "replay.h"

namespace {

constexpr QRgb kRed = 0xffff0000;
// A red box from (100, 100) to (200, 200) in the 800 x 600 view.
const QString kBox = box("ff0000", {100, 100}, {200, 200});
const QString kHandDrag = QStringLiteral("move 310 315\nmove 320 330\nup 320 330\n");

struct Probe {
    int x, y;
    bool red;
};

} // namespace

// Each way of moving around places the box where the rule says: the point under the
// pointer stays put while zooming and turning, scrolls keep the size.
TEST_F(ReplayTest, NavigationMovesTheDrawingAsItsRuleSays)
{
    const struct {
        const char* rule;
        QString lines;
        std::vector<Probe> probes;
    } rows[] = {
        {"Ctrl+wheel grows the box by 1.25 a notch about the pointer", "wheel 100 100 0 2 command",
         {{104, 104, true}, {252, 252, true}, {96, 96, false}, {260, 150, false}}},
        {"the wheel scrolls 48 pixels a notch, the size kept", "wheel 0 0 0 -1",
         {{104, 56, true}, {196, 148, true}, {150, 48, false}, {150, 156, false}}},
        {"shift turns the wheel sideways", "wheel 0 0 0 1 shift",
         {{152, 150, true}, {244, 150, true}, {144, 150, false}, {252, 150, false}}},
        {"a sideways wheel scrolls sideways", "wheel 0 0 -1 0",
         {{56, 150, true}, {148, 150, true}, {48, 150, false}, {156, 150, false}}},
        {"Ctrl+Shift+wheel turns 15 degrees clockwise about the pointer", "wheel 100 100 0 1 command,shift",
         {{102, 150, true}, {150, 102, false}, {96, 96, false}}},
        {"a pinch zooms about its point", "pinch 200 200 2",
         {{4, 4, true}, {196, 196, true}, {204, 100, false}, {100, 204, false}}},
        {"the middle button pans by the drag", "down 300 300 middle\n" + kHandDrag,
         {{124, 134, true}, {216, 226, true}, {116, 150, false}, {150, 126, false}}},
        {"Space held pans by the drag", "keydown space\ndown 300 300\n" + kHandDrag + "keyup space",
         {{124, 134, true}, {216, 226, true}, {116, 150, false}, {150, 126, false}}},
        {"the right arrow shows a tenth of the view further right", "key right",
         {{24, 150, true}, {116, 150, true}, {124, 150, false}}},
        {"Actual Size undoes a zoom", "action zoomIn:\naction actualSize:",
         {{104, 104, true}, {196, 196, true}, {96, 96, false}, {204, 204, false}}},
    };
    for (const auto& row : rows) {
        const QImage image = picture(kBox + row.lines);
        ASSERT_FALSE(image.isNull()) << row.rule;
        for (const Probe& p : row.probes)
            EXPECT_EQ(image.pixel(p.x, p.y) == kRed, p.red) << row.rule << " at " << p.x << "," << p.y;
    }
}

// Zoom Out is the inverse of Zoom In, and a turn each way gives the picture back.
TEST_F(ReplayTest, ZoomInThenOutGivesTheSamePicture)
{
    const QImage before = picture(kBox);
    for (const char* there_and_back : {"action zoomIn:\naction zoomOut:", "action rotateViewRight:\naction rotateViewLeft:"})
        EXPECT_EQ(largest_difference(picture(kBox + there_and_back), before), 0) << there_and_back;
}

// The hand draws nothing and adds no undo step: the undo after it takes the box away.
TEST_F(ReplayTest, TheHandAddsNothingToTheDrawingOrItsHistory)
{
    QImage empty(800, 600, QImage::Format_ARGB32);
    empty.fill(0);
    for (const QString& hand : {"down 300 300 middle\n" + kHandDrag, "keydown space\ndown 300 300\n" + kHandDrag})
        EXPECT_EQ(pixels_differing(picture(kBox + hand + "action undo:"), empty, 0), 0) << hand.toStdString();
}

// ] widens the next stroke to the Size menu's next size.
TEST_F(ReplayTest, TheRightBracketMakesTheNextStrokeWider)
{
    const QString line = "set pen.type Pen\nset pen.color ff0000\nset pen.radius 3\n" + drag({100, 100}, {500, 100}) +
                         "key bracketright\nkey bracketright\n" + drag({100, 300}, {500, 300});
    const QImage image = picture(line);
    const auto width_at = [&image](int y) {
        int n = 0;
        for (int dy = -20; dy <= 20; ++dy) n += qAlpha(image.pixel(300, y + dy)) > 128;
        return n;
    };
    EXPECT_GT(width_at(300), width_at(100) + 2);
}

// [ and ] step through the Size menu's values, the fill's expand with the fill tool, and
// stop at the ends; Space held shows the hand's cursor and letting go the tool's again.
TEST(NavigationKeys, BracketsStepTheSizeAndSpaceLendsTheHand)
{
    Headless headless;
    DocumentShell shell;
    const auto doc = headless.open(shell);
    ASSERT_TRUE(doc);
    const struct {
        bool fill;
        float from;
        const char* key;
        float to;
    } rows[] = {{false, 3, "bracketright", 4}, {false, 7, "bracketleft", 6}, {false, 1, "bracketleft", 1},
                {false, 64, "bracketright", 64}, {true, 0, "bracketright", 1}, {true, 1, "bracketleft", 0},
                {true, 100, "bracketright", 100}};
    for (const auto& row : rows) {
        doc->perform(row.fill ? "fillTool:" : "penTool:");
        row.fill ? doc->setFillExpand(int(row.from)) : doc->setPenSize(row.from);
        EXPECT_TRUE(doc->keyPressed(row.key, 0));
        EXPECT_EQ(row.fill ? float(doc->fill().expand()) : doc->pen().radius(), row.to) << row.from << row.key;
    }
    EXPECT_FALSE(doc->keyPressed("bracketright", kCommandKey)) << "the menus' key";
    const QImage tool = doc->view().cursor().image;
    ASSERT_TRUE(doc->keyHeld("space", true));
    EXPECT_EQ(doc->view().cursor().image, doc->move().toolCursor().image);
    doc->keyHeld("space", false);
    EXPECT_EQ(doc->view().cursor().image, tool);
    EXPECT_NE(tool, doc->move().toolCursor().image);
}
