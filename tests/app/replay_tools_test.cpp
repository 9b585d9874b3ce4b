// End to end with the fill, arrow and navigation tools: event scripts replayed headless
// through the real view, tools and document, checked in the pictures they export.

#include "event_replay.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

class ReplayTools : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QStringList messages;

    QString path(const QString& name) const { return dir.filePath(name); }

    int replay(const QString& script)
    {
        const Result<EventScript> parsed = parse_event_script(script);
        if (!parsed) {
            messages << parsed.error();
            return kReplayMalformed;
        }
        return replay_event_script(*parsed, {}, [this](const QString& line) { messages << line; });
    }

    QImage exported(const QString& name) const
    {
        return QImage(path(name)).convertToFormat(QImage::Format_ARGB32);
    }

    // A closed ring of the default pen around (cx, cy).
    static QString ring(float cx, float cy, float r)
    {
        QString s = QStringLiteral("set pen.radius 4\ndown %1 %2\n").arg(cx + r).arg(cy);
        for (int i = 0; i <= 72; ++i) {
            const double a = 2 * std::numbers::pi * i / 72;
            s += QStringLiteral("move %1 %2\n").arg(cx + r * std::cos(a)).arg(cy + r * std::sin(a));
        }
        return s + QStringLiteral("up %1 %2\n").arg(cx + r).arg(cy);
    }

    // A short horizontal bar of the default pen.
    static QString bar(int x0, int x1, int y)
    {
        QString s = QStringLiteral("set pen.radius 6\ndown %1 %2\n").arg(x0).arg(y);
        for (int x = x0; x <= x1; x += 5) s += QStringLiteral("move %1 %2\n").arg(x).arg(y);
        return s + QStringLiteral("up %1 %2\n").arg(x1).arg(y);
    }

    void expectOk(int status) { ASSERT_EQ(status, kReplayOk) << messages.join('\n').toStdString(); }
};

bool green(QRgb c) { return qAlpha(c) == 255 && qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60; }
bool ink(QRgb c) { return qAlpha(c) > 200 && qGray(c) < 60; }

TEST_F(ReplayTools, AFillFloodsTheInsideOfAClosedRing)
{
    expectOk(replay(ring(400, 300, 100) + "action fillTool:\nset fill.color 00ff00\ndown 400 300\nup 400 300\n" +
                    "export " + path("filled.png") + "\naction undo:\nexport " + path("undone.png") + "\n"));
    const QImage filled = exported("filled.png");
    EXPECT_TRUE(green(filled.pixel(400, 300)));
    EXPECT_TRUE(green(filled.pixel(340, 300)));
    EXPECT_TRUE(green(filled.pixel(400, 220)));
    EXPECT_TRUE(ink(filled.pixel(500, 300)));
    EXPECT_EQ(qAlpha(filled.pixel(400, 100)), 0);
    EXPECT_EQ(qAlpha(filled.pixel(250, 300)), 0);
    const QImage undone = exported("undone.png");
    EXPECT_EQ(qAlpha(undone.pixel(400, 300)), 0);
    EXPECT_TRUE(ink(undone.pixel(500, 300)));
}

TEST_F(ReplayTools, OptionClickWithTheFillToolPicksTheColour)
{
    expectOk(replay(QStringLiteral("set pen.color 0000ff\n") + bar(100, 300, 100) + ring(400, 300, 60) +
                    "action fillTool:\ndown 200 100 1 option\nup 200 100 option\nflags -\ndown 400 300\nup 400 300\n" +
                    "export " + path("out.png") + "\n"));
    const QRgb inside = exported("out.png").pixel(400, 300);
    EXPECT_EQ(qAlpha(inside), 255);
    EXPECT_GT(qBlue(inside), 200);
    EXPECT_LT(qRed(inside), 60);
}

TEST_F(ReplayTools, TheArrowSelectsMovesAndTurnsStrokesUndoably)
{
    const QString draw = bar(100, 200, 100) + bar(100, 200, 400);
    // Click the upper bar, drag it 300 to the right and 100 down.
    const QString moveIt = QStringLiteral("action arrowTool:\ndown 150 100\nup 150 100\n"
                                          "down 150 100\nmove 250 130\nmove 450 200\nup 450 200\n");
    expectOk(replay(draw + moveIt + "export " + path("moved.png") + "\naction undo:\nexport " + path("back.png") + "\n"));
    const QImage moved = exported("moved.png");
    EXPECT_EQ(qAlpha(moved.pixel(150, 100)), 0);
    EXPECT_TRUE(ink(moved.pixel(450, 200)));
    EXPECT_TRUE(ink(moved.pixel(150, 400))) << "the other bar stays";
    const QImage back = exported("back.png");
    EXPECT_TRUE(ink(back.pixel(150, 100)));
    EXPECT_EQ(qAlpha(back.pixel(450, 200)), 0);

    // Select all, then a command-drag a quarter turn about the selection's centre.
    messages.clear();
    expectOk(replay(bar(300, 500, 300) + "action selectAll:\ndown 500 300 1 command\nmove 450 350 1 command\n"
                                         "move 400 400 1 command\nup 400 400 command\nexport " + path("turned.png") + "\n"));
    const QImage turned = exported("turned.png");
    EXPECT_TRUE(ink(turned.pixel(400, 220)));
    EXPECT_TRUE(ink(turned.pixel(400, 380)));
    EXPECT_EQ(qAlpha(turned.pixel(320, 300)), 0);
}

TEST_F(ReplayTools, DeleteRemovesTheSelectionAndArrangementReordersIt)
{
    const QString draw = QStringLiteral("set pen.color ff0000\n") + bar(100, 300, 200) + "set pen.color 0000ff\n" +
                         "down 200 100\nmove 200 100\nmove 200 300\nup 200 300\n";
    // The blue stroke crosses the red one on top; sending it back puts red on top.
    expectOk(replay(draw + "action arrowTool:\ndown 200 290\nup 200 290\naction sendToBack:\nexport " +
                    path("arranged.png") + "\nkey delete\nexport " + path("deleted.png") + "\n"));
    const QImage arranged = exported("arranged.png");
    EXPECT_GT(qRed(arranged.pixel(200, 200)), 200);
    const QImage deleted = exported("deleted.png");
    EXPECT_EQ(qAlpha(deleted.pixel(200, 280)), 0);
    EXPECT_GT(qRed(deleted.pixel(150, 200)), 200);
}

TEST_F(ReplayTools, NavigationToolsChangeTheViewAndSingleUseReturns)
{
    // Zoom in by a click at the bar, then draw again: the single use went back to the pen.
    expectOk(replay(bar(350, 450, 300) + "action zoomToRect:\ndown 400 300\nup 400 300\n" + bar(100, 150, 500) +
                    "export " + path("out.png") + "\n"));
    const QImage image = exported("out.png");
    EXPECT_TRUE(ink(image.pixel(400, 300)));
    // Twice as long about the view's centre: from 300 to 500.
    EXPECT_TRUE(ink(image.pixel(310, 300)));
    EXPECT_TRUE(ink(image.pixel(490, 300)));
    EXPECT_TRUE(ink(image.pixel(120, 500))) << "the pen came back after one gesture";
}

} // namespace
