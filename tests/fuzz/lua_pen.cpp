// The pen scripting interface: lua_pen.lua makes a pen script of random calls to the drawing
// functions from the bytes and runs it through the real script host under small limits,
// while a stroke made of the last bytes is drawn. Whatever it does, the stack stays level,
// memory within the cap, and the drawing holds only good strokes, which render.

#include "fuzz_check.h"
#include "pens_test_support.h"

#include <QPainter>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz_quiet_log();
    auto next = [&] { return size ? data[--size] : std::uint8_t{0}; };
    auto point = [&] { return Point{float(std::int8_t(next())) * 2, float(std::int8_t(next())) * 2}; };
    auto event = [&] { return ToolEvent{point(), float(next()) / 255, unsigned(next() & 0x1f) << 16}; };
    const ScriptLimits limits{std::size_t(8) << 20, 200'000, std::chrono::milliseconds(1000)};
    RecordingAlerts alerts;
    PenView view(1.5f, {64, 48});
    FakePen pen;
    const auto made = Lua::create(alerts, QStringLiteral(PAVO_FUZZ_DIR), limits).take();
    fuzz_check(made.has_value(), "a state is made");
    Lua& lua = **made;
    lua.setGlobal(QStringLiteral("fuzz_bytes"), QString::fromLatin1(fuzz_bytes(data, size).toHex()));
    (void)lua.runFile(QStringLiteral(PAVO_FUZZ_DIR "/lua_pen.lua"));
    if (qEnvironmentVariableIsSet("PAVO_FUZZ_SHOW_SCRIPT"))
        std::fputs(qPrintable(lua.getGlobalString(QStringLiteral("fuzz_script")).value_or("")), stderr);
    const int height = lua.stackHeight();
    (void)lua.getGlobalStringArray(QStringLiteral("parameters"));
    lua.setGlobal(QStringLiteral("radius"), lua.getGlobalNumber(QStringLiteral("radius"), 5));
    (void)lua.penDownAt(view, pen, point(), 0, event());
    for (int moves = next() % 6; moves > 0; --moves)
        (void)lua.penMoveTo(view, pen, point(), float(next()) / 16, event());
    QImage image(64, 48, QImage::Format_RGBA8888_Premultiplied);
    QPainter painter(&image);
    lua.penDraw(view, pen, painter);
    (void)lua.penUp(view, pen);
    fuzz_check(lua.stackHeight() == height, "the stack stays level");
    fuzz_check(lua.memoryInUse() <= limits.memoryBytes, "memory stays within the cap");
    for (const auto& stroke : view.added()) fuzz_check(!stroke->bad(), "only good strokes are added");
    view.doc.drawing().strokes().drawInCanvas(view.canvas());
    return 0;
}
