// The undo history, driven by scripts of edits on a string of letters: "+x" appends x, "-"
// removes the last letter, "[" and "]" open and close a transaction, "u" and "r" undo and redo,
// "s" saves, "x" removes every action. After each step the test reads the letters ("_" for
// none), "!" when at the saved state; at the end, how many changes the change handler heard.

#include "rows.h"
#include "undo_manager.h"
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

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
