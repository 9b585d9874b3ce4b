// The pen scripting interface. The bytes are read as a pen script of random calls, with
// random arguments, to the drawing functions; it runs through the real script host under
// small limits while a stroke is drawn. Whatever it does, the host's stack stays level, its
// memory within the cap, and the drawing holds only good strokes.

#include "fakes.h"
#include "fuzz_check.h"
#include "lua_script_maker.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

namespace {

class Pen : public ScriptPen {
public:
    QColor color() const override { return _color; }
    void setColor(const QColor& c) override { _color = c; }
    float opacity() const override { return _opacity; }
    void setOpacity(float o) override { _opacity = o; }
    float radius() const override { return _radius; }
    void setRadius(float r) override { _radius = r; }
    int transferMode() const override { return _mode; }
    QString transferModeString() const override { return QString::fromStdString(transfer_mode_name(_mode)); }
    void setTransferModeString(const QString& n) override { _mode = transfer_mode_from_name(n.toLower().toStdString()); }

private:
    QColor _color{Qt::red};
    float _opacity = 0.5f, _radius = 5;
    int _mode = kModeNormal;
};

// The resources folder of the run, with its Pens/ and Lib/.
const QString& resources()
{
    static QTemporaryDir dir;
    static const QString root = [] {
        fuzz_check(QDir(dir.path()).mkpath(QStringLiteral("Pens")) &&
                       QDir(dir.path()).mkpath(QStringLiteral("Lib")),
                   "the resources folder is made");
        return dir.path();
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_quiet_log();
    ScriptMaker maker(data, size);
    const QString path = resources() + QStringLiteral("/Pens/fuzz.lua");
    QFile file(path);
    fuzz_check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the script is written");
    file.write(maker.script());
    // To see what a finding ran.
    if (qEnvironmentVariableIsSet("PAVO_FUZZ_SHOW_SCRIPT")) std::fputs(maker.script().constData(), stderr);
    file.close();

    const ScriptLimits limits{std::size_t(8) << 20, 200'000, std::chrono::milliseconds(1000)};
    RecordingAlerts alerts;
    FakeDocument doc;
    FakeView view(doc, {64, 48}, AffineTransform::scaling(1.5f, 1.5f));
    Pen pen;
    const auto lua = Lua::runningFile(path, alerts, resources(), limits);
    fuzz_check(lua != nullptr, "a state is made");
    const int height = lua->stackHeight();
    (void)lua->getGlobalStringArray(QStringLiteral("parameters"));
    lua->setGlobal(QStringLiteral("radius"), lua->getGlobalNumber(QStringLiteral("radius"), 5));
    (void)lua->penDownAt(view, pen, maker.point(), 0, maker.event());
    for (int moves = maker.moves(); moves > 0; --moves)
        (void)lua->penMoveTo(view, pen, maker.point(), maker.radius(), maker.event());
    QImage image(64, 48, QImage::Format_RGBA8888_Premultiplied);
    QPainter painter(&image);
    lua->penDraw(view, pen, painter);
    (void)lua->penUp(view, pen);
    fuzz_check(lua->stackHeight() == height, "the stack stays level");
    fuzz_check(lua->memoryInUse() <= limits.memoryBytes, "memory stays within the cap");
    for (const auto& stroke : doc.drawing().strokes().strokeArray())
        fuzz_check(!stroke->bad(), "only good strokes are added");
    doc.drawing().strokes().drawInCanvas(view.canvas());
    return 0;
}
