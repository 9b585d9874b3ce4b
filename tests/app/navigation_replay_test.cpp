// Moving around the drawing: the wheel, the touchpad, the temporary hand and the keys,
// replayed headless and checked in the exported pictures.

#include "pictures.h"
#include "replay.h"

namespace {

// A red box from (100, 100) to (200, 200) in the 800 x 600 view, and a drag for the hand.
const QString kBox = box("ff0000", {100, 100}, {200, 200});
const QString kHandDrag = QStringLiteral("down 300 300%1\nmove 310 315\nmove 320 330\nup 320 330\n");
// A red line of radius 3 along y 400, after the keys given.
QString line_after(const char* keys)
{
    return QStringLiteral("set pen.type Pen\nset pen.color ff0000\nset pen.radius 3\n%1\n").arg(keys) +
           drag({300, 400}, {600, 400});
}

} // namespace

// Each way of moving around places the box where its rule says: the point under the
// pointer stays put while zooming and turning, scrolls and pans keep the size.
TEST_F(ReplayTest, NavigationMovesTheDrawingAsItsRuleSays)
{
    const struct {
        const char* rule;
        QString lines;
        std::vector<std::pair<QPoint, bool>> redAt;
    } rows[] = {
        {"Ctrl+wheel grows by 1.25 a notch about the pointer", "wheel 100 100 0 2 command",
         {{{104, 104}, true}, {{252, 252}, true}, {{96, 96}, false}, {{260, 150}, false}}},
        {"the wheel scrolls 48 pixels a notch", "wheel 0 0 0 -1",
         {{{104, 56}, true}, {{196, 148}, true}, {{150, 48}, false}, {{150, 156}, false}}},
        {"a hundredth of a notch at a time scrolls as far", QStringLiteral("wheel 0 0 0 -0.01\n").repeated(100),
         {{{104, 56}, true}, {{196, 148}, true}, {{150, 48}, false}, {{150, 156}, false}}},
        {"shift turns the wheel sideways", "wheel 0 0 0 1 shift",
         {{{152, 150}, true}, {{244, 150}, true}, {{144, 150}, false}, {{252, 150}, false}}},
        {"a sideways wheel scrolls sideways", "wheel 0 0 -1 0",
         {{{56, 150}, true}, {{148, 150}, true}, {{48, 150}, false}, {{156, 150}, false}}},
        {"Ctrl+Shift+wheel turns 15 degrees clockwise about the pointer", "wheel 100 100 0 1 command,shift",
         {{{102, 150}, true}, {{150, 102}, false}, {{96, 96}, false}}},
        {"a pinch zooms about its point", "pinch 200 200 2",
         {{{4, 4}, true}, {{196, 196}, true}, {{204, 100}, false}, {{100, 204}, false}}},
        {"the middle button pans by the drag", kHandDrag.arg(" middle"),
         {{{124, 134}, true}, {{216, 226}, true}, {{116, 150}, false}, {{150, 126}, false}}},
        {"Space held pans by the drag", "keydown space\n" + kHandDrag.arg("") + "keyup space",
         {{{124, 134}, true}, {{216, 226}, true}, {{116, 150}, false}, {{150, 126}, false}}},
        // Had the hands drawn, or added an undo step, the undo would leave the box.
        {"the middle button adds no stroke or undo step", kHandDrag.arg(" middle") + "action undo:",
         {{{124, 134}, false}, {{150, 150}, false}, {{310, 315}, false}}},
        {"nor does Space", "keydown space\n" + kHandDrag.arg("") + "action undo:", {{{124, 134}, false}, {{150, 150}, false}}},
        {"the right arrow shows a tenth of the view further right", "key right",
         {{{24, 150}, true}, {{116, 150}, true}, {{124, 150}, false}}},
        {"Actual Size takes a zoom back", "action zoomIn:\naction actualSize:",
         {{{104, 104}, true}, {{196, 196}, true}, {{96, 96}, false}, {{204, 204}, false}}},
        {"] widens the next stroke to radius 5", line_after("key bracketright\nkey bracketright"),
         {{{450, 403}, true}, {{450, 397}, true}, {{450, 406}, false}}},
        {"without it the stroke keeps radius 3", line_after(""), {{{450, 403}, false}, {{450, 401}, true}}},
    };
    for (const auto& row : rows) {
        const QImage image = picture(kBox + row.lines);
        ASSERT_FALSE(image.isNull()) << row.rule;
        for (const auto& [at, red] : row.redAt)
            EXPECT_EQ(image.pixel(at) == 0xffff0000, red) << row.rule << " at " << at.x() << "," << at.y();
    }
}

// Zoom Out is the inverse of Zoom In, and a turn each way gives the picture back.
TEST_F(ReplayTest, ZoomInThenOutGivesTheSamePicture)
{
    const QImage before = picture(kBox);
    for (const char* back : {"action zoomIn:\naction zoomOut:", "action rotateViewRight:\naction rotateViewLeft:"})
        EXPECT_EQ(largest_difference(picture(kBox + back), before), 0) << back;
}

// [ and ] step through the Size menu's values, the fill's expand with the fill tool, and
// stop at the ends; Space held shows the hand's cursor and letting go the tool's again.
TEST(NavigationKeys, BracketsStepTheSizeAndSpaceLendsTheHand)
{
    Headless headless;
    DocumentShell shell;
    const auto doc = headless.open(shell);
    const struct { bool fill; float from; const char* key; float to; } rows[] = {
        {false, 7, "bracketleft", 6}, {false, 1, "bracketleft", 1}, {false, 64, "bracketright", 64},
        {true, 0, "bracketright", 1}, {true, 1, "bracketleft", 0}, {true, 100, "bracketright", 100}};
    for (const auto& [fill, from, key, to] : rows) {
        doc->perform(fill ? "fillTool:" : "penTool:");
        fill ? doc->setFillExpand(int(from)) : doc->setPenSize(from);
        EXPECT_TRUE(doc->keyPressed(key, 0) && (fill ? float(doc->fill().expand()) : doc->pen().radius()) == to) << from << key;
    }
    EXPECT_FALSE(doc->keyPressed("bracketright", kCommandKey)) << "the menus' key";
    const QImage tool = doc->view().cursor().image;
    ASSERT_TRUE(doc->keyHeld("space", true));
    EXPECT_EQ(doc->view().cursor().image, doc->move().toolCursor().image);
    doc->keyHeld("space", false);
    EXPECT_EQ(doc->view().cursor().image, tool);
    EXPECT_NE(tool, doc->move().toolCursor().image);
}
