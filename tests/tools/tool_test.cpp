// What every tool shares: going back after a single use, transfer mode names, cursors.

#include "tool.h"

#include "fakes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>

namespace {

// A single use is given back by the tool's up; switching away first keeps it for later.
TEST(RestoreAfter, SwitchingAwayBeforeUseKeepsTheTargetAndRestoringToItselfDoesNothing)
{
    CallLog log;
    FakeDocument document(&log);
    FakeView view(document);
    RecordingTool pen{"pen", log}, fill{"fill", log}, zoom{"zoom", log};
    fill.endsSingleUse = zoom.endsSingleUse = true;
    document.setTool(&pen);
    zoom.restoreToolAfter(&pen);
    document.setTool(&zoom);
    document.setTool(&fill);
    fill.toolUpEvent({{5, 5}, 0, 0}, view);
    EXPECT_EQ(document.tool(), &fill);
    document.setTool(&zoom);
    zoom.toolUpEvent({{5, 5}, 0, 0}, view);
    EXPECT_EQ(document.tool(), &pen);
    EXPECT_EQ(zoom.restoreAfter(), nullptr);

    document.setTool(&zoom);
    zoom.restoreToolAfter(&zoom);
    log.clear();
    zoom.toolUpEvent({{5, 5}, 0, 0}, view);
    EXPECT_EQ(log, (CallLog{"zoom:up 5,5", "setTool zoom"}));
    EXPECT_EQ(zoom.restoreAfter(), nullptr);
}

TEST(TransferModeNames, RoundTripAndUnknownOnesAreNormal)
{
    const char* const names[] = {"normal", "erase", "darker", "lighter", "colorize", "shadow", "hilight", "multiply"};
    for (int mode = 0; mode < 8; ++mode) {
        const QString name = QString::fromLatin1(names[mode]);
        EXPECT_EQ(Tool::transferModeIntToString(mode), name);
        EXPECT_EQ(Tool::transferModeStringToInt(name.toUpper()), mode) << names[mode];
    }
    for (const char* name : {"", "multiply ", "erased", "hi light"})
        EXPECT_EQ(Tool::transferModeStringToInt(QString::fromLatin1(name)), 0) << name;
    for (const int mode : {8, -1, INT_MAX, INT_MIN})
        EXPECT_EQ(Tool::transferModeIntToString(mode), QStringLiteral("normal")) << mode;
}

// Each cursor is a small shape, mostly see-through, with ink at the pixel it points with.
TEST(ToolCursors, EachIsAShapeThatPointsWithItsHotSpot)
{
    for (const CursorResource& resource : kToolCursors) {
        SCOPED_TRACE(resource.name);
        const ToolCursor cursor = ToolCursor::load(resource);
        ASSERT_EQ(cursor.shape, ToolCursor::Shape::Image);
        EXPECT_LE(std::max(cursor.image.width(), cursor.image.height()), 32);
        bool ink = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const QPoint q = cursor.hotSpot + QPoint(dx, dy);
                ink = ink || (cursor.image.valid(q) && qAlpha(cursor.image.pixel(q)) >= 160);
            }
        EXPECT_TRUE(ink);
        int clear = 0;
        for (int y = 0; y < cursor.image.height(); ++y)
            for (int x = 0; x < cursor.image.width(); ++x) clear += qAlpha(cursor.image.pixel(x, y)) == 0;
        EXPECT_GT(clear, cursor.image.width() * cursor.image.height() / 4);
    }
}

TEST(ToolCursors, PicturesComeFromTheResourceFolderAndAMissingOneIsTheCrosshair)
{
    const ToolCursor fromSource = ToolCursor::load(kMoveCursor);
    ASSERT_EQ(fromSource.shape, ToolCursor::Shape::Image);
    QTemporaryDir resources;
    ASSERT_TRUE(QDir(resources.path()).mkdir(QStringLiteral("Images")));
    ASSERT_TRUE(fromSource.image.save(resources.path() + QStringLiteral("/Images/move_cursor.png")));
    const QByteArray saved = qgetenv("PAVO_RESOURCES");
    qputenv("PAVO_RESOURCES", resources.path().toLocal8Bit());
    const ToolCursor moved = ToolCursor::load(kMoveCursor);
    const ToolCursor absent = ToolCursor::load(kFillCursor);
    if (saved.isEmpty()) qunsetenv("PAVO_RESOURCES");
    else qputenv("PAVO_RESOURCES", saved);
    EXPECT_EQ(moved.image.convertToFormat(QImage::Format_ARGB32),
              fromSource.image.convertToFormat(QImage::Format_ARGB32));
    EXPECT_EQ(absent.shape, ToolCursor::Shape::Crosshair);
    EXPECT_TRUE(absent.image.isNull());
}

} // namespace
