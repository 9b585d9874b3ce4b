#include "recording_tool.h"

#include "tool.h"
#include "tool_host.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <map>

namespace {

class FakeToolDocument : public ToolDocument {
public:
    explicit FakeToolDocument(CallLog& log) : _log(log) {}

    Tool* tool() override { return _current; }
    void setTool(Tool* tool) override { switch_tool(_current, tool, _log); }
    void addStroke(const StrokePtr&) override { _log.push_back("addStroke"); }
    void setToolColor(const QColor&) override { _log.push_back("setToolColor"); }
    void refreshCursor() override { _log.push_back("refreshCursor"); }
    const Strokes& strokes() const override { return _strokes; }
    bool transformStrokesInArray(const StrokeArray&, const AffineTransform&) override { return false; }

private:
    Strokes _strokes;
    CallLog& _log;
    Tool* _current = nullptr;
};

// One completed gesture: the tool's up is where a single-use tool lets go.
void gesture(Tool& tool) { tool.toolUpEvent(ToolEvent{{5, 5}, 0, 0}); }

class RestoreAfter : public ::testing::Test {
protected:
    CallLog log;
    FakeToolDocument document{log};
    RecordingTool pen{"pen", log};
    RecordingTool fill{"fill", log};
    RecordingTool zoom{"zoom", log};

    void SetUp() override
    {
        zoom.endGesturesIn(&document);
        document.setTool(&pen);
        log.clear();
    }
};

} // namespace

TEST_F(RestoreAfter, WithoutATargetAGestureSwitchesNothing)
{
    document.setTool(&zoom);
    log.clear();
    gesture(zoom);
    EXPECT_EQ(log, (CallLog{"zoom:up 5,5"}));
    EXPECT_EQ(document.tool(), &zoom);
}

TEST_F(RestoreAfter, ASingleUseToolGoesBackAfterOneGestureOnly)
{
    zoom.restoreToolAfter(document.tool());
    document.setTool(&zoom);
    log.clear();
    gesture(zoom);
    EXPECT_EQ(log, (CallLog{"zoom:up 5,5", "setTool pen", "zoom:deactivate", "pen:activate"}));
    EXPECT_EQ(document.tool(), &pen);
    EXPECT_EQ(zoom.restoreAfter(), nullptr);

    // Chosen again by its ordinary command, the tool stays after its gestures.
    document.setTool(&zoom);
    gesture(zoom);
    gesture(zoom);
    EXPECT_EQ(document.tool(), &zoom);
}

TEST_F(RestoreAfter, SwitchingAwayBeforeUseKeepsTheTarget)
{
    zoom.restoreToolAfter(document.tool());
    document.setTool(&zoom);
    document.setTool(&fill);
    EXPECT_EQ(zoom.restoreAfter(), &pen);
    gesture(fill);
    EXPECT_EQ(document.tool(), &fill);

    document.setTool(&zoom);
    gesture(zoom);
    EXPECT_EQ(document.tool(), &pen);
    EXPECT_EQ(zoom.restoreAfter(), nullptr);
}

TEST_F(RestoreAfter, RestoringToItselfChangesNothing)
{
    document.setTool(&zoom);
    zoom.restoreToolAfter(&zoom);
    log.clear();
    gesture(zoom);
    EXPECT_EQ(log, (CallLog{"zoom:up 5,5", "setTool zoom"}));
    EXPECT_EQ(document.tool(), &zoom);
    EXPECT_EQ(zoom.restoreAfter(), nullptr);
}

TEST(TransferModeNames, NamesAndNumbersRoundTrip)
{
    const char* const names[] = {"normal", "erase",   "darker", "lighter",
                                 "colorize", "shadow", "hilight", "multiply"};
    for (int mode = 0; mode < 8; ++mode) {
        const QString name = QString::fromLatin1(names[mode]);
        EXPECT_EQ(Tool::transferModeIntToString(mode), name);
        EXPECT_EQ(Tool::transferModeStringToInt(name), mode) << names[mode];
        EXPECT_EQ(Tool::transferModeStringToInt(name.toUpper()), mode) << names[mode];
    }
}

TEST(TransferModeNames, UnknownNamesAndNumbersAreNormal)
{
    EXPECT_EQ(Tool::transferModeStringToInt(QStringLiteral("MULTIPLY")), 7);
    EXPECT_EQ(Tool::transferModeStringToInt(QStringLiteral("Shadow")), 5);
    for (const char* name : {"Normal", "", "multiply ", "erased", "hi light"})
        EXPECT_EQ(Tool::transferModeStringToInt(QString::fromLatin1(name)), 0) << name;
    for (const int mode : {8, -1, INT_MAX, INT_MIN})
        EXPECT_EQ(Tool::transferModeIntToString(mode), QStringLiteral("normal")) << mode;
}

namespace {

// Whether some clearly visible pixel lies within one pixel of p.
bool ink_near(const QImage& image, QPoint p)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint q = p + QPoint(dx, dy);
            if (image.valid(q) && qAlpha(image.pixel(q)) >= 160) return true;
        }
    return false;
}

} // namespace

TEST(ToolCursors, EachIsAPictureThatPointsWithItsHotSpot)
{
    const std::map<std::string, QPoint> expected = {
        {"zoom_in_cursor", {6, 6}},  {"zoom_out_cursor", {6, 6}},
        {"rotate_cursor", {6, 6}},   {"move_cursor", {6, 6}},
        {"fill_cursor", {14, 14}},   {"color_picker_cursor", {0, 15}},
    };
    ASSERT_EQ(kToolCursors.size(), expected.size());
    for (const CursorResource& resource : kToolCursors) {
        SCOPED_TRACE(resource.name);
        ASSERT_EQ(expected.count(resource.name), 1u);
        EXPECT_EQ(resource.hotSpot, expected.at(resource.name));
        const ToolCursor cursor = ToolCursor::load(resource);
        ASSERT_EQ(cursor.shape, ToolCursor::Shape::Image);
        EXPECT_EQ(cursor.hotSpot, resource.hotSpot);
        EXPECT_TRUE(cursor.image.hasAlphaChannel());
        EXPECT_LE(cursor.image.width(), 32);
        EXPECT_LE(cursor.image.height(), 32);
        EXPECT_TRUE(cursor.image.rect().contains(cursor.hotSpot));
        EXPECT_TRUE(ink_near(cursor.image, cursor.hotSpot));
        // A cursor is a shape, not a tile: most of the drawing beneath shows through.
        int clear = 0;
        for (int y = 0; y < cursor.image.height(); ++y)
            for (int x = 0; x < cursor.image.width(); ++x)
                clear += qAlpha(cursor.image.pixel(x, y)) == 0;
        EXPECT_GT(clear, cursor.image.width() * cursor.image.height() / 4);
    }
}

TEST(ToolCursors, AMissingPictureGivesTheCrosshair)
{
    const ToolCursor missing = ToolCursor::load(QStringLiteral("no_such_cursor"), {3, 3});
    EXPECT_EQ(missing.shape, ToolCursor::Shape::Crosshair);
    EXPECT_TRUE(missing.image.isNull());
    const Tool plain;
    EXPECT_EQ(plain.toolCursor().shape, ToolCursor::Shape::Crosshair);
}

TEST(ToolCursors, PicturesComeFromTheResourceFolder)
{
    const ToolCursor fromSource = ToolCursor::load(kMoveCursor);
    ASSERT_EQ(fromSource.shape, ToolCursor::Shape::Image);
    QTemporaryDir resources;
    ASSERT_TRUE(resources.isValid());
    ASSERT_TRUE(QDir(resources.path()).mkdir(QStringLiteral("Images")));
    const QString copy = resources.path() + QStringLiteral("/Images/move_cursor.png");
    ASSERT_TRUE(fromSource.image.save(copy));

    const QByteArray saved = qgetenv("PAVO_RESOURCES");
    qputenv("PAVO_RESOURCES", resources.path().toLocal8Bit());
    const ToolCursor moved = ToolCursor::load(kMoveCursor);
    const ToolCursor absent = ToolCursor::load(kFillCursor);
    if (saved.isEmpty()) qunsetenv("PAVO_RESOURCES");
    else qputenv("PAVO_RESOURCES", saved);

    ASSERT_EQ(moved.shape, ToolCursor::Shape::Image);
    EXPECT_EQ(moved.image.convertToFormat(QImage::Format_ARGB32),
              fromSource.image.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(absent.shape, ToolCursor::Shape::Crosshair);
}
