// The arrow tool end to end: an event script replayed headless through the real view, tools
// and document, checked in the pictures it exports.

#include "event_replay.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A short horizontal bar of the default pen.
QString bar(int x0, int x1, int y)
{
    QString s = QStringLiteral("set pen.radius 6\ndown %1 %2\n").arg(x0).arg(y);
    for (int x = x0; x <= x1; x += 5) s += QStringLiteral("move %1 %2\n").arg(x).arg(y);
    return s + QStringLiteral("up %1 %2\n").arg(x1).arg(y);
}

bool ink(const QImage& image, int x, int y)
{
    const QRgb c = image.pixel(x, y);
    return qAlpha(c) > 200 && qGray(c) < 60;
}

TEST(ReplayTools, TheArrowPicksAndMovesAStrokeUndoably)
{
    QTemporaryDir dir;
    const auto exported = [&](const char* name) {
        return QImage(dir.filePath(QLatin1String(name))).convertToFormat(QImage::Format_ARGB32);
    };
    // Click the upper bar, drag it 300 to the right and 100 down.
    const QString script = bar(100, 200, 100) + bar(100, 200, 400) +
                           "action arrowTool:\ndown 150 100\nup 150 100\n"
                           "down 150 100\nmove 250 130\nmove 450 200\nup 450 200\n"
                           "export %1/moved.png\naction undo:\nexport %1/back.png\n";
    const Result<EventScript> parsed = parse_event_script(script.arg(dir.path()));
    ASSERT_TRUE(parsed) << parsed.error().toStdString();
    QStringList messages;
    const auto log = [&](const QString& line) { messages << line; };
    ASSERT_EQ(replay_event_script(*parsed, {}, log), kReplayOk) << messages.join('\n').toStdString();
    const QImage moved = exported("moved.png"), back = exported("back.png");
    EXPECT_EQ(qAlpha(moved.pixel(150, 100)), 0);
    EXPECT_TRUE(ink(moved, 450, 200));
    EXPECT_TRUE(ink(moved, 150, 400)) << "the other bar stays";
    EXPECT_TRUE(ink(back, 150, 100));
    EXPECT_EQ(qAlpha(back.pixel(450, 200)), 0);
}

} // namespace
