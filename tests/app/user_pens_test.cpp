// Pen scripts of the person's own, in the data folder the program finds through
// XDG_DATA_HOME, replayed by the program itself and checked in the pictures it exports.

#include "replay.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The person's "Pen" stamps a red square from their own Lib where the built-in Pen would
// draw a dot; a broken script is told once although two drawings load the pens, and the
// built-in types still load beside it.
TEST_F(ReplayTest, APersonsPenReplacesTheBuiltInOfItsNameAndABrokenOneIsToldOnce)
{
    const std::pair<const char*, const char*> files[] = {
        {"Lib/square.lua", "return function(p) return { x = p.x - 10, y = p.y - 10, w = 20, h = 20 } end"},
        {"Pens/pen.lua", "local square = require 'square'\nname = 'Pen' custom_pen = true color = 'ff0000'\n"
                         "function pen_down(p) local path = bezier_path()\n"
                         "  append_bezier_path_with_rect(path, square(p)) add_fill(path) end\n"
                         "function pen_move() end function pen_up() end"},
        {"Pens/broken.lua", "name = 'Broken' error('not finished yet')"},
        {"../../../s.txt", "down 50 50\nup 50 50\nsave a.pavo\nexport one.png\nopen a.pavo\ndown 150 50\nup 150 50\n"
                           "set pen.type Line\nset pen.color 00ff00\ndown 20 90\nmove 180 90\nup 180 90\nexport two.png"}};
    const QDir data(path(QStringLiteral("data/Pavo/Pavo")));
    for (const auto& [name, text] : files) {
        QFile file(data.filePath(QLatin1String(name)));
        ASSERT_TRUE(data.mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toLocal8Bit());
    const ProcessRun run = run_pavo({QStringLiteral("--replay"), path(QStringLiteral("s.txt"))});
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    const QRegularExpression alert(QStringLiteral("^Runtime error: .*not finished yet$"), QRegularExpression::MultilineOption);
    EXPECT_EQ(run.errors.count(alert), 1) << run.errors.toStdString();
    expectPixels({{"one.png", 42, 42, 0xffff0000, "the square's corner, beyond a dot"},
                  {"two.png", 142, 58, 0xffff0000, "the reopened drawing's pen is the person's too"},
                  {"two.png", 100, 90, 0xff00ff00, "a built-in type beside it"}});
}

} // namespace
