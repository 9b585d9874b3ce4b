// Tablet input under stress: a random session at 10,000 events a second, with the stylus turned
// over and taken away, modifiers changed, undo and redo in the middle of gestures and windows
// closed (the drawing saved and opened in a new one), leaves every drawing consistent.
// PAVO_STRESS_SECONDS sets its length in event time (60: the full minute), PAVO_STRESS_SEED another.

#include "archive.h"
#include "event_replay.h"
#include "pavo_document.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
namespace {
QString closed_file(const QString& folder, int n) { return QStringLiteral("%1/closed-%2.pavo").arg(folder).arg(n); }
// Gestures of a few hundred moves with wandering pressure, now and then leaving the view; between
// and within them the rarer events, each at its own rate.
EventScript session(unsigned seed, int count, const QString& folder)
{
    using K = ScriptEvent::Kind;
    std::mt19937 random(seed);
    const auto chance = [&random](double p) { return std::bernoulli_distribution(p)(random); };
    std::normal_distribution<float> step(0, 3);
    EventScript script;
    const auto add = [&](K kind, const QString& name = {}, const QString& text = {}) -> ScriptEvent& {
        ScriptEvent& e = script.events.emplace_back();
        e.kind = kind, e.name = name, e.text = text, e.line = int(script.events.size());
        e.modifiers = chance(0.6) ? 0u : unsigned(random()) & kScriptModifierMask;
        return e;
    };
    static const char* const actions[] = {"undo:",      "undo:",     "redo:",      "penTool:", "arrowTool:",
                                          "arrowTool:", "fillTool:", "selectAll:", "delete:",  "duplicate:"};
    Point at{400, 300};
    float pressure = 0.5f;
    bool down = false;
    for (int closes = 0; int(script.events.size()) < count;) {
        if (chance(12.0 / count)) {
            add(K::Save, {}, closed_file(folder, closes));
            add(K::Open, {}, closed_file(folder, closes++));
        } else if (chance(0.002)) {
            ScriptEvent& e = add(K::Proximity, chance(0.8) ? "enter" : "leave");
            e.eraser = chance(0.5), e.pointerId = chance(0.9) ? 0 : 1;
        } else if (chance(0.002)) {
            add(K::Flags); // modifiers changed
        } else if (chance(0.003)) {
            add(K::Action, actions[random() % std::size(actions)]);
        } else if (chance(0.0005)) { // the view scrolled, zoomed (with command) or held by the hand
            if (chance(0.5)) add(K::Wheel).notches = {step(random), step(random)};
            else add(chance(0.5) ? K::KeyDown : K::KeyUp, "space");
        } else {
            at = {std::clamp(at.x + step(random), -20.0f, 820.0f), std::clamp(at.y + step(random), -20.0f, 620.0f)};
            pressure = std::clamp(pressure + step(random) / 30, 0.0f, 1.0f);
            const K kind = !down ? K::Down : chance(0.004) ? K::Up : K::Move;
            ScriptEvent& e = add(kind);
            e.point = at, e.pressure = kind == K::Up ? 0 : pressure;
            down = kind != K::Up;
        }
    }
    if (down) add(K::Up).point = at;
    return script;
}
QByteArray archive_of(const Strokes& strokes) { return archive::to_bytes(strokes.encode()); }
// The drawing holds only good strokes and selects only its own, and saves and reopens as it is;
// undoing everything gives back, byte for byte, the drawing it was opened as.
void expect_consistent(PavoDocument& document, const QByteArray& opened, const QString& copy, bool undo_all)
{
    const StrokeArray& strokes = document.strokes().strokeArray();
    for (const StrokePtr& s : strokes)
        ASSERT_TRUE(!s->bad() && std::isfinite(s->bounds().origin.x + s->bounds().size.width + s->bounds().origin.y + s->bounds().size.height));
    for (const StrokePtr& s : document.drawing().selection())
        ASSERT_NE(std::find(strokes.begin(), strokes.end(), s), strokes.end()) << "a selected stroke not drawn";
    ASSERT_TRUE(document.writeCopy(copy));
    const Result<DocumentData> reopened = loadDocument(copy);
    ASSERT_TRUE(reopened && archive_of(*reopened->strokes) == archive_of(document.strokes()));
    for (int steps = 0; undo_all && document.undoManager().canUndo() && steps < 100000; ++steps) document.undo();
    ASSERT_FALSE(undo_all && document.undoManager().canUndo()) << "undo never reaches the start";
    EXPECT_TRUE(!undo_all || archive_of(document.strokes()) == opened);
}
} // namespace

TEST(TabletStress, ARandomSessionLeavesEveryDrawingConsistent)
{
    const auto env = [](const char* name, int otherwise) { return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : otherwise; };
    QTemporaryDir dir;
    const EventScript script = session(unsigned(env("PAVO_STRESS_SEED", 16)), env("PAVO_STRESS_SECONDS", 2) * 10000, dir.path());
    int closed = 0;
    ReplayOptions options;
    options.closing = [&](PavoDocument& document) {
        SCOPED_TRACE(closed);
        // The first drawing starts empty; every other one closes as it is, often in mid-gesture.
        const Result<DocumentData> opened = loadDocument(closed_file(dir.path(), closed - 1));
        expect_consistent(document, opened ? archive_of(*opened->strokes) : archive_of(Strokes()),
                          dir.filePath(QStringLiteral("copy.pavo")), closed++ % 2 == 0);
    };
    QStringList errors;
    EXPECT_EQ(replay_event_script(script, options, [&errors](const QString& e) { errors << e; }), kReplayOk)
        << errors.join(u'\n').toStdString();
    EXPECT_EQ(closed, std::ranges::count(script.events, ScriptEvent::Kind::Open, &ScriptEvent::kind) + 1);
}
