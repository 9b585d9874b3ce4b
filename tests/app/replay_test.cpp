// End to end: event scripts replayed headless through the real view, pens and document,
// checked in the pictures they export and the files they save.

#include "event_replay.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Replay : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QStringList messages;

    QString path(const QString& name) const { return dir.filePath(name); }

    int replay(const QString& script, std::optional<QString> document = std::nullopt)
    {
        const EventScriptResult parsed = parse_event_script(script);
        if (const auto* error = std::get_if<EventScriptError>(&parsed)) {
            messages << error->text();
            return kReplayMalformed;
        }
        ReplayOptions options;
        options.document = std::move(document);
        return replay_event_script(std::get<EventScript>(parsed), options,
                                   [this](const QString& line) { messages << line; });
    }

    QImage exported(const QString& name) const
    {
        const QImage image(path(name));
        EXPECT_FALSE(image.isNull()) << name.toStdString();
        return image.convertToFormat(QImage::Format_ARGB32);
    }

    // A pressure stroke with the shipped default pen from (100, 100) to (300, 100),
    // pressing harder towards its end.
    static QString stroke(int y = 100)
    {
        QString s = QStringLiteral("down 100 %1 0.2\n").arg(y);
        for (int x = 110; x <= 300; x += 10)
            s += QStringLiteral("move %1 %2 %3\n").arg(x).arg(y).arg(0.2 + 0.8 * (x - 100) / 200.0);
        return s + QStringLiteral("up 300 %1\n").arg(y);
    }
};

int inked_rows(const QImage& image, int x)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        if (qAlpha(image.pixel(x, y)) > 128) ++n;
    return n;
}

TEST_F(Replay, APressureStrokeAppearsWhereItWasDrawn)
{
    ASSERT_EQ(replay(stroke() + "export " + path("out.png") + "\n"), kReplayOk) << messages.join('\n').toStdString();
    const QImage image = exported("out.png");
    EXPECT_EQ(image.size(), QSize(800, 600));
    const QRgb middle = image.pixel(200, 100);
    EXPECT_EQ(qAlpha(middle), 255);
    EXPECT_LT(qGray(middle), 40);
    // Transparent where nothing was drawn, since a PNG keeps no background colour.
    EXPECT_EQ(qAlpha(image.pixel(200, 300)), 0);
    EXPECT_EQ(qAlpha(image.pixel(50, 100)), 0);
    // Harder pressure draws a wider mark.
    EXPECT_GT(inked_rows(image, 280), inked_rows(image, 120));
}

TEST_F(Replay, UndoAndRedoGoBackAndForthOneGestureAtATime)
{
    const QString script = stroke(100) + stroke(200) + "action undo:\nexport " + path("undone.png") +
                           "\naction redo:\nexport " + path("redone.png") + "\n";
    ASSERT_EQ(replay(script), kReplayOk) << messages.join('\n').toStdString();
    const QImage undone = exported("undone.png");
    EXPECT_EQ(qAlpha(undone.pixel(200, 100)), 255);
    EXPECT_EQ(qAlpha(undone.pixel(200, 200)), 0);
    const QImage redone = exported("redone.png");
    EXPECT_EQ(qAlpha(redone.pixel(200, 200)), 255);
}

TEST_F(Replay, ASprayGestureIsOneUndoStep)
{
    QString spray = QStringLiteral("set pen.type Spray\ndown 400 300\n");
    for (int x = 405; x <= 600; x += 5) spray += QStringLiteral("move %1 300\n").arg(x);
    spray += QStringLiteral("up 600 300\naction undo:\nexport ") + path("out.png") + "\n";
    ASSERT_EQ(replay(stroke() + spray), kReplayOk) << messages.join('\n').toStdString();
    const QImage image = exported("out.png");
    EXPECT_EQ(qAlpha(image.pixel(200, 100)), 255);
    for (int x = 380; x < 620; ++x)
        for (int y = 270; y < 330; ++y) ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
}

TEST_F(Replay, TheEraserRemovesInkWhetherChosenByMenuOrByTheStylusEnd)
{
    const QString thick = QStringLiteral("set pen.radius 20\n") + stroke(100) + stroke(300);
    // A built-in pen records samples from the first move on.
    const QString crossing = QStringLiteral("down 200 40\nmove 200 40\nmove 200 360\nup 200 360\n");
    // The menu first, then the pen back by the menu, then the stylus turned over.
    const QString script = thick + "action setPenType: Eraser\n" + "down 150 40\nmove 150 40\nmove 150 160\nup 150 160\n" +
                           "action setPenType: Pen\n" + "proximity enter eraser\n" + crossing +
                           "proximity enter tip\n" + stroke(500) + "export " + path("out.png") + "\n";
    ASSERT_EQ(replay(script), kReplayOk) << messages.join('\n').toStdString();
    const QImage image = exported("out.png");
    EXPECT_EQ(qAlpha(image.pixel(150, 100)), 0) << "erased by the eraser from the menu";
    EXPECT_EQ(qAlpha(image.pixel(200, 300)), 0) << "erased by the eraser end";
    EXPECT_EQ(qAlpha(image.pixel(250, 100)), 255);
    EXPECT_EQ(qAlpha(image.pixel(250, 300)), 255);
    // The tip brought the pen back: the last stroke is ink again.
    EXPECT_EQ(qAlpha(image.pixel(250, 500)), 255);
    EXPECT_LT(qGray(image.pixel(250, 500)), 40);
}

TEST_F(Replay, ASavedDrawingReopensToTheSamePixels)
{
    const QString first = QStringLiteral("set pen.color 3366cc\nset pen.opacity 0.5\n") + stroke(100) +
                          "set pen.type Marker\n" + stroke(150) + "action zoomOut:\nexport " + path("a.png") +
                          "\nsave " + path("d.pavo") + "\n";
    ASSERT_EQ(replay(first), kReplayOk) << messages.join('\n').toStdString();
    ASSERT_EQ(replay(QStringLiteral("export ") + path("b.png") + "\n", path("d.pavo")), kReplayOk)
        << messages.join('\n').toStdString();
    const QImage a = exported("a.png");
    EXPECT_EQ(a, exported("b.png"));
    // Zoomed out to 0.3 about the centre (400, 300): the stroke along y 100 lies along y 240.
    EXPECT_GT(qAlpha(a.pixel(340, 240)), 0);
    EXPECT_EQ(qAlpha(a.pixel(200, 100)), 0);

    // The same through `open` in a script, and as a template that opens untitled.
    ASSERT_EQ(replay(QStringLiteral("open ") + path("d.pavo") + "\nsave " + path("t.pavotemplate") +
                     "\nopen " + path("t.pavotemplate") + "\nexport " + path("c.png") + "\n"),
              kReplayOk)
        << messages.join('\n').toStdString();
    EXPECT_EQ(exported("c.png"), a);
}

TEST_F(Replay, APictureOpensCentredInTheView)
{
    QImage picture(100, 50, QImage::Format_ARGB32);
    picture.fill(QColor(200, 0, 0));
    ASSERT_TRUE(picture.save(path("picture.png")));
    ASSERT_EQ(replay(QStringLiteral("export ") + path("out.png") + "\n", path("picture.png")), kReplayOk)
        << messages.join('\n').toStdString();
    const QImage image = exported("out.png");
    EXPECT_EQ(image.pixel(400, 300), qRgb(200, 0, 0));
    EXPECT_EQ(image.pixel(352, 277), qRgb(200, 0, 0));
    EXPECT_EQ(image.pixel(448, 322), qRgb(200, 0, 0));
    EXPECT_EQ(qAlpha(image.pixel(345, 300)), 0);
    EXPECT_EQ(qAlpha(image.pixel(455, 300)), 0);
    EXPECT_EQ(qAlpha(image.pixel(400, 270)), 0);
    EXPECT_EQ(qAlpha(image.pixel(400, 330)), 0);
}

TEST_F(Replay, JpegAndGifExportsAreOverWhiteUnlessTheDrawingHasABackground)
{
    const QString script = stroke() + "export " + path("w.jpg") + "\nexport " + path("w.gif") +
                           "\nset background 336699\nexport " + path("b.png") + "\n";
    ASSERT_EQ(replay(script), kReplayOk) << messages.join('\n').toStdString();
    EXPECT_GT(qGray(exported("w.jpg").pixel(200, 400)), 250);
    EXPECT_EQ(exported("w.gif").pixel(200, 400), qRgb(255, 255, 255));
    EXPECT_EQ(exported("b.png").pixel(200, 400), qRgb(0x33, 0x66, 0x99));
}

TEST_F(Replay, AMalformedLineStopsTheReplayWithItsNumber)
{
    // A line that cannot be read stops everything before the first event runs.
    EXPECT_EQ(replay(QStringLiteral("export ") + path("x.png") + "\ndown 1 2\nmove 3\n"), kReplayMalformed);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.front().startsWith(u"line 3: ")) << messages.front().toStdString();
    EXPECT_FALSE(QFile::exists(path("x.png")));

    // An unknown action, setting or pen type stops the replay at its line.
    const QStringList bad = {QStringLiteral("action fly:"), QStringLiteral("set pen.hue 3"),
                             QStringLiteral("set pen.type Crayon"), QStringLiteral("action setPenType: Crayon"),
                             QStringLiteral("set pen.opacity 2"), QStringLiteral("set pen.color blue"),
                             QStringLiteral("set pen.mode sideways"), QStringLiteral("action penSize: huge"),
                             QStringLiteral("place ") + path("x.png")};
    for (const QString& line : bad) {
        messages.clear();
        EXPECT_EQ(replay(QStringLiteral("export ") + path("before.png") + "\n" + line + "\nexport " +
                         path("after.png") + "\n"),
                  kReplayMalformed)
            << line.toStdString();
        ASSERT_EQ(messages.size(), 1) << line.toStdString();
        EXPECT_TRUE(messages.front().startsWith(u"line 2: ")) << messages.front().toStdString();
        EXPECT_TRUE(QFile::exists(path("before.png")));
        EXPECT_FALSE(QFile::exists(path("after.png"))) << line.toStdString();
    }
}

TEST_F(Replay, FailedFilesAreReportedAndTheReplayGoesOn)
{
    QFile damaged(path("damaged.pavo"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("this is no drawing at all PAVO0100ZLIB");
    damaged.close();
    const QString script = stroke() + "open " + path("damaged.pavo") + "\nsave " + path("no/such/folder/d.pavo") +
                           "\nexport " + path("out.bmp") + "\nexport " + path("ok.png") + "\n";
    EXPECT_EQ(replay(script), kReplayFailed);
    EXPECT_EQ(messages.size(), 3) << messages.join('\n').toStdString();
    // The damaged file opened nothing: the drawing made before it is still there.
    EXPECT_EQ(qAlpha(exported("ok.png").pixel(200, 100)), 255);
}

TEST_F(Replay, ADamagedDocumentOnTheCommandLineFails)
{
    QFile damaged(path("damaged.pavo"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(100, '\x7f'));
    damaged.close();
    EXPECT_EQ(replay(QStringLiteral("export ") + path("out.png") + "\n", path("damaged.pavo")), kReplayFailed);
    EXPECT_FALSE(messages.isEmpty());
}

} // namespace
