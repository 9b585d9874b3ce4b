// What every tool shares: going back after a single use, transfer mode names, cursor pictures.

#include "tool.h"

#include "fakes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>

namespace {

class SingleUse : public RecordingTool {
public:
    using RecordingTool::RecordingTool;
    void toolUpEvent(const ToolEvent& e, ToolView& view) override
    {
        RecordingTool::toolUpEvent(e, view);
        after(view.document());
    }
};

// A single use is given back by the tool's up; switching away first keeps it for later.
TEST(RestoreAfter, SwitchingAwayBeforeUseKeepsTheTargetAndRestoringToItselfDoesNothing)
{
    CallLog log;
    FakeDocument document(&log);
    FakeView view(document);
    RecordingTool pen{"pen", log};
    SingleUse fill{"fill", log}, zoom{"zoom", log};
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
}

TEST(TransferModeNames, RoundTripAndUnknownOnesAreNormal)
{
    const auto name = [](const char* text) { return QString::fromLatin1(text); };
    const char* const names[] = {"normal", "erase",  "darker",  "lighter",
                                 "colorize", "shadow", "hilight", "multiply"};
    for (int mode = 0; mode < 8; ++mode) {
        EXPECT_EQ(Tool::transferModeIntToString(mode), name(names[mode]));
        EXPECT_EQ(Tool::transferModeStringToInt(name(names[mode]).toUpper()), mode) << names[mode];
    }
    for (const char* text : {"", "multiply ", "erased"})
        EXPECT_EQ(Tool::transferModeStringToInt(name(text)), 0) << text;
    for (const int mode : {8, -1, INT_MIN})
        EXPECT_EQ(Tool::transferModeIntToString(mode), name("normal")) << mode;
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
    const auto argb = [](const ToolCursor& c) { return c.image.convertToFormat(QImage::Format_ARGB32); };
    EXPECT_EQ(argb(moved), argb(fromSource));
    EXPECT_EQ(absent.shape, ToolCursor::Shape::Crosshair);
}

} // namespace
