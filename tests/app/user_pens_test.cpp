// Pen scripts of the person's own, in the data folder the program finds through
// XDG_DATA_HOME, replayed by the program itself and checked in the pictures it exports.

#include "pictures.h"
#include "replay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

class UserPensTest : public ReplayTest {
protected:
    // The program's data folder under the test's own XDG_DATA_HOME.
    QString data() const { return path(QStringLiteral("data/Pavo/Pavo")); }
    void script(const QString& relative, const QByteArray& text) const
    {
        ASSERT_TRUE(QDir(data()).mkpath(QFileInfo(relative).path()));
        QFile file(QDir(data()).filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    ProcessRun replayed(const QString& events) const
    {
        QFile file(path(QStringLiteral("s.txt")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(events.toUtf8());
        file.close();
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
        ProcessRun run = run_pavo({QStringLiteral("--replay"), file.fileName()});
        qunsetenv("XDG_DATA_HOME");
        return run;
    }
};

// The person's "Pen" stamps a red square from their own Lib where the built-in Pen would
// draw a black dot; a broken script is told once although two drawings load the pens, and
// the built-in types still load beside it.
TEST_F(UserPensTest, APensScriptReplacesTheBuiltInOfItsNameAndABrokenOneIsToldOnce)
{
    script(QStringLiteral("Lib/square.lua"),
           "return function(p) return { x = p.x - 10, y = p.y - 10, w = 20, h = 20 } end\n");
    script(QStringLiteral("Pens/pen.lua"), "local square = require 'square'\n"
                                           "name = 'Pen' custom_pen = true color = 'ff0000' default = true\n"
                                           "function pen_down(p) local path = bezier_path()\n"
                                           "  append_bezier_path_with_rect(path, square(p)) add_fill(path) end\n"
                                           "function pen_move() end function pen_up() end\n");
    script(QStringLiteral("Pens/broken.lua"), "name = 'Broken' error('not finished yet')\n");
    const ProcessRun run = replayed(click({50, 50}) + "save a.pavo\nexport one.png\nopen a.pavo\n" +
                                    click({150, 50}) + "set pen.type Line\nset pen.color 00ff00\n" +
                                    drag({20, 90}, {180, 90}) + "export two.png\n");
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    EXPECT_EQ(run.errors.count(QRegularExpression(QStringLiteral("^Runtime error: .*not finished yet$"),
                                                  QRegularExpression::MultilineOption)),
              1)
        << run.errors.toStdString();
    expectPixels({{"one.png", 42, 42, 0xffff0000, "the square's corner, beyond a dot"},
                  {"two.png", 142, 58, 0xffff0000, "the reopened drawing's pen is the person's too"},
                  {"two.png", 100, 90, 0xff00ff00, "a built-in type beside it"}});
}

} // namespace
