// Tablet input under stress: a random session at 10,000 events a second, with the stylus
// turned over and taken away, modifiers changed, undo and redo in the middle of gestures and
// windows closed (the drawing saved and opened in a new one), leaves every drawing
// consistent. PAVO_STRESS_SECONDS sets the session's length in event time (60: the full
// minute); PAVO_STRESS_SEED another session.

#include "archive.h"
#include "event_replay.h"
#include "pavo_document.h"

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int kEventsPerSecond = 10000;
constexpr int kClosesPerSession = 12;

using Kind = ScriptEvent::Kind;

ScriptEvent event(Kind kind, Point at = {}, float pressure = 1, unsigned modifiers = 0)
{
    ScriptEvent e;
    e.kind = kind, e.point = at, e.pressure = pressure, e.modifiers = modifiers;
    return e;
}

ScriptEvent named(Kind kind, const QString& name, const QString& text = {})
{
    ScriptEvent e = event(kind);
    e.name = name, e.text = text;
    return e;
}

// The drawing files a session closes its windows into, in order.
QString closed_file(const QString& folder, int n)
{
    return QStringLiteral("%1/closed-%2.pavo").arg(folder).arg(n);
}

// Gestures of a few hundred moves with wandering pressure, now and then leaving the view;
// between and within them the rarer events, each at its own rate per event.
EventScript session(unsigned seed, int count, const QString& folder)
{
    std::mt19937 random(seed);
    const auto chance = [&random](double p) { return std::bernoulli_distribution(p)(random); };
    std::normal_distribution<float> step(0, 3);
    EventScript script;
    const auto add = [&script](ScriptEvent e) {
        e.line = int(script.events.size()) + 1;
        script.events.push_back(std::move(e));
    };
    const auto modifiers = [&] { return chance(0.6) ? 0u : unsigned(random()) & kScriptModifierMask; };
    Point at{400, 300};
    float pressure = 0.5f;
    bool down = false;
    int closes = 0;
    while (int(script.events.size()) < count) {
        if (chance(double(kClosesPerSession) / count)) {
            add(named(Kind::Save, {}, closed_file(folder, closes)));
            add(named(Kind::Open, {}, closed_file(folder, closes++)));
        } else if (chance(0.002)) {
            ScriptEvent e = named(Kind::Proximity, chance(0.8) ? "enter" : "leave");
            e.eraser = chance(0.5), e.pointerId = chance(0.9) ? 0 : 1;
            add(e);
        } else if (chance(0.002)) {
            add(event(Kind::Flags, {}, 1, modifiers()));
        } else if (chance(0.0015)) {
            add(named(Kind::Action, chance(0.7) ? "undo:" : "redo:"));
        } else if (chance(0.0005)) {
            // The view scrolled, zoomed (with command) or held by the hand while drawing.
            ScriptEvent e = event(Kind::Wheel, at, 1, modifiers());
            e.notches = {step(random), step(random)};
            add(chance(0.5) ? e : named(chance(0.5) ? Kind::KeyDown : Kind::KeyUp, "space"));
        } else if (chance(0.0006)) {
            // The arrow tool's selection, and commands on it in mid-gesture too.
            static const char* const actions[] = {"penTool:",  "penTool:",   "arrowTool:", "arrowTool:",
                                                  "fillTool:", "selectAll:", "delete:",    "duplicate:"};
            add(named(Kind::Action, actions[random() % std::size(actions)]));
        } else {
            at = {std::clamp(at.x + step(random), -20.0f, 820.0f),
                  std::clamp(at.y + step(random), -20.0f, 620.0f)};
            pressure = std::clamp(pressure + step(random) / 30, 0.0f, 1.0f);
            const Kind kind = !down ? Kind::Down : chance(0.004) ? Kind::Up : Kind::Move;
            add(event(kind, at, kind == Kind::Up ? 0 : pressure, modifiers()));
            down = kind != Kind::Up;
        }
    }
    if (down) add(event(Kind::Up, at));
    return script;
}

QByteArray archive_of(const Strokes& strokes)
{
    return archive::to_bytes(strokes.encode());
}

bool finite_rect(const Rect& r)
{
    return std::isfinite(r.origin.x + r.origin.y + r.size.width + r.size.height);
}

// The same stroke but for where it lies: undoing a move applies the move's inverse, which
// float arithmetic brings back only nearly, and after a turn that shrank the strokes to
// almost nothing, not even that.
bool same_but_placement(const Stroke& a, const Stroke& b)
{
    const auto samples = [](const Stroke& s) { return s.penPoints() ? s.penPoints()->count() : -1; };
    return a.color() == b.color() && a.transferMode() == b.transferMode() && a.opacity() == b.opacity() &&
           a.isImage() == b.isImage() && samples(a) == samples(b);
}

// The drawing holds only good strokes and selects only its own; it saves and reopens as it
// is, and undoing everything brings back what it was opened with.
void expect_consistent(PavoDocument& document, const std::optional<QString>& opened, const QString& copy,
                       bool undo_all)
{
    const StrokeArray& strokes = document.strokes().strokeArray();
    EXPECT_EQ(std::count_if(strokes.begin(), strokes.end(),
                            [](const StrokePtr& s) { return !s || s->bad() || !finite_rect(s->bounds()); }),
              0);
    const StrokeArray& selected = document.drawing().selection();
    EXPECT_TRUE(std::all_of(selected.begin(), selected.end(), [&](const StrokePtr& s) {
        return std::find(strokes.begin(), strokes.end(), s) != strokes.end();
    }));
    ASSERT_TRUE(document.writeCopy(copy));
    const Result<DocumentData> reopened = loadDocument(copy);
    ASSERT_TRUE(reopened) << reopened.error().toStdString();
    EXPECT_EQ(archive_of(*reopened->strokes), archive_of(document.strokes()));
    if (!undo_all) return;
    for (int steps = 0; document.undoManager().canUndo(); ++steps) {
        ASSERT_LT(steps, 100000) << "undo never reaches the start";
        document.undo();
    }
    const Result<DocumentData> start =
        opened ? loadDocument(*opened)
               : Result<DocumentData>(DocumentData{{}, std::make_unique<Strokes>(), {}, {}});
    ASSERT_TRUE(start);
    const StrokeArray& undone = document.strokes().strokeArray();
    const StrokeArray& opened_strokes = start->strokes->strokeArray();
    EXPECT_TRUE(std::equal(undone.begin(), undone.end(), opened_strokes.begin(), opened_strokes.end(),
                           [](const StrokePtr& a, const StrokePtr& b) { return same_but_placement(*a, *b); }))
        << "undoing everything";
}

} // namespace

TEST(TabletStress, ARandomSessionLeavesEveryDrawingConsistent)
{
    const int seconds = qEnvironmentVariableIsSet("PAVO_STRESS_SECONDS")
                            ? qEnvironmentVariableIntValue("PAVO_STRESS_SECONDS")
                            : 2;
    const unsigned seed = qEnvironmentVariableIsSet("PAVO_STRESS_SEED")
                              ? unsigned(qEnvironmentVariableIntValue("PAVO_STRESS_SEED"))
                              : 16;
    QTemporaryDir dir;
    const EventScript script = session(seed, seconds * kEventsPerSecond, dir.path());
    int closed = 0;
    ReplayOptions options;
    options.closing = [&](PavoDocument& document) {
        SCOPED_TRACE(closed);
        const auto opened = closed > 0 ? std::optional(closed_file(dir.path(), closed - 1)) : std::nullopt;
        // Every other drawing closes as it is, in the middle of a gesture as likely as not.
        expect_consistent(document, opened, dir.filePath(QStringLiteral("copy.pavo")), closed % 2 == 0);
        ++closed;
    };
    QStringList errors;
    EXPECT_EQ(replay_event_script(script, options, [&errors](const QString& e) { errors << e; }), kReplayOk)
        << errors.join(u'\n').toStdString();
    EXPECT_EQ(closed, std::count_if(script.events.begin(), script.events.end(), [](const ScriptEvent& e) {
                          return e.kind == Kind::Open;
                      }) + 1);
}
