// The drawing model: every command undoes to the exact state before it and redoes to the one
// after, heard alike all three ways; the selection keeps to the drawing; no change, no step;
// and the undo history beneath it.

#include "rows.h"
#include "support/fakes.h"
#include "support/strokes.h"
#include "undo_manager.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {
using Kinds = std::vector<DrawingChange::Kind>;

// Strokes A..E bottom to top, apart from each other and of every kind (a fill, a line, a
// pen stroke, a picture, a fill), with an empty history; what the observer hears after that.
class DrawingTest : public ::testing::Test {
protected:
    FakeDocument document;
    Drawing& drawing = document.drawing();
    Kinds kinds;
    StrokeArray abcde;
    const StrokePtr stranger = fill_stroke(make_rect(0, 0, 1, 1));
    void SetUp() override
    {
        abcde = {fill_stroke(make_rect(0, 0, 10, 10)), line_stroke({20, 5}, {30, 5}, 2),
                 pen_stroke({{42, 2}, {46, 6}, {48, 8}}), image_stroke(make_rect(60, 0, 10, 10)),
                 fill_stroke(make_rect(80, 0, 10, 10))};
        for (const StrokePtr& s : abcde) drawing.addStroke(s);
        drawing.undoManager().removeAllActions();
        drawing.undoManager().markClean();
        document.onChange = [this](const DrawingChange& change) {
            kinds.push_back(change.kind);
            EXPECT_EQ(change.kind == DrawingChange::StrokeAdded, change.stroke != nullptr);
        };
    }
    Kinds take() { return std::exchange(kinds, {}); }
    StrokeArray strokes(const std::string& letters) const
    {
        StrokeArray out;
        for (const char c : letters) out.push_back(abcde[std::size_t(c - 'A')]);
        return out;
    }
    // The letters of the strokes, bottom first; "*" for a stroke made by the command.
    std::string letters(const StrokeArray& list) const
    {
        std::string out;
        for (const StrokePtr& s : list) {
            const auto it = std::find(abcde.begin(), abcde.end(), s);
            out += it == abcde.end() ? '*' : char('A' + (it - abcde.begin()));
        }
        return out;
    }
    // Every stroke with where it is: what undo must restore exactly.
    std::vector<std::pair<StrokePtr, Rect>> state() const
    {
        std::vector<std::pair<StrokePtr, Rect>> out;
        for (const StrokePtr& s : drawing.strokes().strokeArray()) out.emplace_back(s, s->bounds());
        return out;
    }
};

using Command = std::function<void(Drawing&, const StrokeArray& selected)>;
Command arrange(Drawing::Arrangement a)
{
    return [a](Drawing& d, const StrokeArray& s) { d.arrange(s, a); };
}
Command transform(AffineTransform t)
{
    return [t](Drawing& d, const StrokeArray& s) { EXPECT_TRUE(d.transformStrokes(s, t)); };
}

// Whether doing it, or undoing it, puts a stroke on top: heard as one added stroke to draw.
struct Edit {
    const char *name, *selected;
    Command command;
    const char *after, *actionName, *selectedAfter;
    bool addsOnTop = false, undoAddsOnTop = false;
};

using A = Drawing::Arrangement;
// clang-format off
const Edit kEdits[] = {
    {"add", "B", [](Drawing& d, const StrokeArray&) { d.addStroke(fill_stroke(make_rect(0, 30, 5, 5))); }, "ABCDE*", "Stroke", "B", true},
    {"remove one", "BC", [](Drawing& d, const StrokeArray& s) { d.removeStrokes({s[1]}); }, "ABDE", "Delete Stroke", "B"},
    {"remove several", "DB", [](Drawing& d, const StrokeArray& s) { d.removeStrokes(s); }, "ACE", "Delete Strokes", ""},
    {"remove the last", "E", [](Drawing& d, const StrokeArray&) { d.removeLastStroke(); }, "ABCD", "Delete Stroke", "", false, true},
    {"merge", "DBE", [](Drawing& d, const StrokeArray& s) { d.mergeStrokes({s[0], s[1]}); }, "ACE*", "Merge", "E"},
    {"merge the top two", "", [](Drawing& d, const StrokeArray&) { d.mergeTopTwoStrokes(); }, "ABC*", "Merge", ""},
    {"clear", "AC", [](Drawing& d, const StrokeArray&) { d.clear(); }, "", "Clear", ""},
    {"bring forward", "BC", arrange(A::BringForward), "ADBCE", "Bring Forward", "BC"},
    {"bring to front", "B", arrange(A::BringToFront), "ACDEB", "Bring to Front", "B"},
    {"send backward", "DC", arrange(A::SendBackward), "ACDBE", "Send Backward", "DC"},
    {"send to back", "D", arrange(A::SendToBack), "DABCE", "Send to Back", "D"},
    {"move", "AB", transform(AffineTransform::translation(5, -3)), "ABCDE", "", "AB"},
    {"scale", "CD", transform(AffineTransform::scaling(2, 4)), "ABCDE", "", "CD"},
};
// clang-format on

class DrawingEdits : public DrawingTest, public ::testing::WithParamInterface<Edit> {};

TEST_P(DrawingEdits, UndoRestoresTheStateBeforeAndRedoTheStateAfter)
{
    const Edit& e = GetParam();
    // Heard the same way done, undone or redone: a stroke put on top alone, else a change.
    const Kinds added{DrawingChange::StrokeAdded}, changed{DrawingChange::Strokes};
    drawing.setSelection(strokes(e.selected));
    take();
    const auto before = state();
    e.command(drawing, drawing.selection());
    const auto after = state();
    EXPECT_EQ(letters(drawing.strokes().strokeArray()), e.after);
    EXPECT_NE(after, before);
    EXPECT_EQ(letters(drawing.selection()), e.selectedAfter);
    EXPECT_EQ(drawing.undoManager().undoActionName().toStdString(), e.actionName);
    EXPECT_TRUE(drawing.isEdited());
    EXPECT_EQ(take(), e.addsOnTop ? added : changed);
    drawing.undoManager().undo();
    EXPECT_EQ(state(), before);
    // Strokes undo brings back do not come back into the selection.
    EXPECT_EQ(letters(drawing.selection()), e.selectedAfter);
    EXPECT_FALSE(drawing.isEdited());
    EXPECT_EQ(take(), e.undoAddsOnTop ? added : changed);
    drawing.undoManager().redo();
    EXPECT_EQ(state(), after);
    EXPECT_EQ(drawing.undoManager().undoActionName().toStdString(), e.actionName);
    EXPECT_EQ(take(), e.addsOnTop ? added : changed);
}

INSTANTIATE_TEST_SUITE_P(Drawing, DrawingEdits, ::testing::ValuesIn(kEdits),
                         [](const auto& row) { return test_name(row.param.name); });

TEST_F(DrawingTest, CommandsThatChangeNothingLeaveNoStepAndNoEdit)
{
    // clang-format off
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"move by nothing", [&] { EXPECT_TRUE(drawing.transformStrokes(strokes("AB"), {})); }},
        {"a singular scale", [&] { EXPECT_FALSE(drawing.transformStrokes(strokes("A"), AffineTransform::scaling(0, 1))); }},
        {"a transform of no stroke", [&] { EXPECT_TRUE(drawing.transformStrokes({stranger}, AffineTransform::scaling(2, 2))); }},
        {"remove a stranger", [&] { drawing.removeStrokes({stranger}); }},
        {"merge one stroke", [&] { drawing.mergeStrokes(strokes("C")); }},
        {"bring the top to the front", [&] { drawing.arrange(strokes("E"), A::BringToFront); }},
        {"add nothing", [&] { drawing.addStroke(nullptr); }},
    };
    // clang-format on
    const auto before = state();
    for (const auto& [what, command] : rows) {
        {
            const UndoTransaction gesture(drawing.undoManager());
            command();
        }
        EXPECT_EQ(state(), before) << what;
        EXPECT_FALSE(drawing.undoManager().canUndo()) << what;
        EXPECT_FALSE(drawing.isEdited()) << what;
    }
    EXPECT_EQ(kinds, Kinds{});
}

TEST_F(DrawingTest, StrokesLeavingTheDrawingLeaveTheSelection)
{
    // Strokes that are not in the drawing and repeats are not selected.
    drawing.setSelection({abcde[3], stranger, abcde[1], abcde[3], abcde[4]});
    EXPECT_EQ(letters(drawing.selection()), "DBE");
    EXPECT_EQ(take(), Kinds{DrawingChange::Selection});
    // An added stroke that is selected leaves the selection when its adding is undone.
    drawing.addStroke(fill_stroke(make_rect(0, 40, 5, 5)));
    drawing.setSelection(drawing.strokes().strokeArray());
    drawing.undoManager().undo();
    EXPECT_EQ(letters(drawing.selection()), "ABCDE");
}

// A file read replaces the drawing, its selection and history; a damaged one changes nothing.
TEST_F(DrawingTest, LoadReplacesEverythingOrNothing)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("b.pavo");
    drawing.removeLastStroke();
    ASSERT_TRUE(drawing.save(path, QStringLiteral("frame"), AffineTransform::translation(3, 4)));
    drawing.addStroke(fill_stroke(make_rect(0, 50, 5, 5)));
    drawing.setSelection(strokes("A"));
    take();
    ASSERT_TRUE(drawing.load(path));
    EXPECT_TRUE(drawing.strokes().count() == 4 && drawing.selection().empty());
    EXPECT_FALSE(drawing.isEdited());
    EXPECT_FALSE(drawing.undoManager().canUndo());
    EXPECT_EQ(take(), Kinds{DrawingChange::Strokes});
    EXPECT_EQ(drawing.takeViewTransform(), AffineTransform::translation(3, 4));
    ASSERT_TRUE(writeFileAtomically(path, "not a drawing"));
    const StrokeArray loaded = drawing.strokes().strokeArray();
    EXPECT_FALSE(drawing.load(path));
    EXPECT_EQ(drawing.strokes().strokeArray(), loaded);
}
} // namespace

// The undo history, driven by scripts of edits on a string of letters: "+x" appends x, "-"
// removes the last letter, "[" and "]" open and close a transaction, "u" and "r" undo and redo,
// "s" saves, "x" removes every action. After each step the test reads the letters ("_" for
// none), "!" when at the saved state; at the end, how many changes the change handler heard.
namespace {
struct Letters {
    UndoManager undo;
    std::string text;
    int changes = 0;
    Letters() { undo.setChangeHandler([this] { ++changes; }); }
    void add(char c)
    {
        text += c;
        undo.registerUndo(this, [this] { removeLast(); });
    }
    void removeLast()
    {
        const char c = text.back();
        text.pop_back();
        undo.registerUndo(this, [this, c] { add(c); });
    }
    std::string state() const { return (text.empty() ? "_" : text) + (undo.isClean() ? "!" : ""); }
    // Runs the script and returns the state after each step.
    std::string run(const std::string& script)
    {
        std::vector<std::unique_ptr<UndoTransaction>> open;
        std::istringstream steps(script);
        std::string step, states;
        while (steps >> step) {
            if (step[0] == '+') add(step[1]);
            else if (step == "-") removeLast();
            else if (step == "[") open.push_back(std::make_unique<UndoTransaction>(undo));
            else if (step == "]") open.pop_back();
            else if (step == "u") undo.undo();
            else if (step == "r") undo.redo();
            else if (step == "s") undo.markClean();
            else if (step == "x") undo.removeAllActions();
            states += (states.empty() ? "" : " ") + state();
        }
        return states;
    }
};

struct Script { const char *what, *script, *states; int changes; };
// clang-format off
const Script kScripts[] = {
    {"a transaction is undone and redone whole", "[ +a +b ] u r", "_! a! ab! ab _! ab", 3},
    {"every level walks back and forth", "+a +b +c u u r r", "a ab abc ab a ab abc", 7},
    {"a removal undoes", "+a +b - u r", "a ab a ab a", 5},
    {"a new edit drops what could be redone", "+a +b u +c r", "a ab a ac ac", 4},
    {"nesting closes at the outermost", "[ +a [ +b ] +c ] u", "_! a! a! ab! ab! abc! abc _!", 2},
    {"an empty transaction leaves no step", "+a [ ] u", "a a a _!", 2},
    {"undo inside an open transaction is ignored", "+a [ +b u ] u", "a a ab ab ab a", 3},
    {"clean follows the saved step", "+a s +b u u r", "a a! ab a! _ a!", 6},
    {"saved empty, clean again after undoing all", "s +a u", "_! a _!", 3},
    {"an edit past an undone save is never clean", "+a +b s u u +c u r", "a ab ab! a _ c _ c", 8},
    {"removing every action leaves nothing to undo", "+a x u", "a a a", 2},
};
// clang-format on

class UndoScripts : public ::testing::TestWithParam<Script> {};
TEST_P(UndoScripts, GiveTheStatesAndChangesExpected)
{
    Letters l;
    EXPECT_EQ(l.run(GetParam().script), GetParam().states) << GetParam().what;
    EXPECT_EQ(l.changes, GetParam().changes) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(UndoManager, UndoScripts, ::testing::ValuesIn(kScripts),
                         [](const auto& row) { return test_name(row.param.what); });

// Actions that act on the history while it undoes them: a nested undo is ignored, and a
// throw leaves the history usable.
TEST(UndoManager, ActionsThatTouchTheHistoryLeaveItSound)
{
    Letters l;
    l.run("+a +b");
    l.undo.registerUndo(&l, [&l] { l.undo.undo(); });
    l.undo.undo();
    EXPECT_EQ(l.run("u"), "a");
    l.undo.registerUndo(&l, [] { throw std::runtime_error("broken"); });
    EXPECT_THROW(l.undo.undo(), std::runtime_error);
    EXPECT_EQ(l.undo.groupingLevel(), 0);
    EXPECT_EQ(l.run("u +b u"), "_! b _!");
}
} // namespace
