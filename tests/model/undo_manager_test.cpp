#include "undo_manager.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using Items = std::vector<int>;

// A document in miniature: every edit registers its own inverse and names itself the way
// the stroke list does, with setFirstActionName so that a replay keeps the original name.
class ListModel {
public:
    explicit ListModel(UndoManager& undo) : _undo(undo) {}

    void insert(const std::size_t index, const int value)
    {
        ASSERT_LE(index, _items.size());
        _items.insert(_items.begin() + static_cast<std::ptrdiff_t>(index), value);
        _undo.registerUndo(this, [this, index] { remove(index); });
        _undo.setFirstActionName("Insert");
    }

    void remove(const std::size_t index)
    {
        ASSERT_LT(index, _items.size());
        const int value = _items[index];
        _items.erase(_items.begin() + static_cast<std::ptrdiff_t>(index));
        _undo.registerUndo(this, [this, index, value] { insert(index, value); });
        _undo.setFirstActionName("Remove");
    }

    void append(const int value) { insert(_items.size(), value); }

    const Items& items() const { return _items; }

private:
    UndoManager& _undo;
    Items _items;
};

class UndoManagerTest : public ::testing::Test {
protected:
    // One user action: its edits grouped, as the document does for each command.
    void appendAll(const Items& values)
    {
        const UndoGroup group(undo);
        for (const int v : values) list.append(v);
    }

    UndoManager undo;
    ListModel list{undo};
};

// ---- Groups undone and redone exactly

TEST_F(UndoManagerTest, GroupOfSeveralEditsIsUndoneAndRedoneExactly)
{
    list.append(7);
    {
        // Order matters: replayed front to back these inverses would remove the wrong items.
        const UndoGroup group(undo);
        list.insert(0, 1);
        list.insert(0, 2);
        list.remove(2);
        list.insert(1, 3);
    }
    const Items after{2, 3, 1};
    ASSERT_EQ(list.items(), after);
    for (int round = 0; round < 2; ++round) {
        undo.undo();
        EXPECT_EQ(list.items(), Items{7});
        EXPECT_TRUE(undo.canUndo()) << "only the group is undone, not the edit before it";
        EXPECT_TRUE(undo.canRedo());
        undo.redo();
        EXPECT_EQ(list.items(), after);
        EXPECT_FALSE(undo.canRedo());
    }
}

TEST_F(UndoManagerTest, MultiLevelUndoAndRedoWalkThroughEveryState)
{
    appendAll({1, 2});
    appendAll({3});
    list.remove(0);
    const std::vector<Items> states{{}, {1, 2}, {1, 2, 3}, {2, 3}};
    for (std::size_t i = states.size() - 1; i-- > 0;) {
        undo.undo();
        EXPECT_EQ(list.items(), states[i]);
    }
    EXPECT_FALSE(undo.canUndo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        undo.redo();
        EXPECT_EQ(list.items(), states[i]);
    }
    EXPECT_FALSE(undo.canRedo());
}

TEST_F(UndoManagerTest, UngroupedRegistrationsAreOneGroupEach)
{
    list.append(1);
    list.append(2);
    undo.undo();
    EXPECT_EQ(list.items(), Items{1});
    undo.undo();
    EXPECT_EQ(list.items(), Items{});
}

TEST_F(UndoManagerTest, NewEditClearsRedoStackButRedoDoesNot)
{
    appendAll({1});
    appendAll({2});
    appendAll({3});
    undo.undo();
    undo.undo();
    undo.redo();
    ASSERT_TRUE(undo.canRedo()) << "redo registered its inverse as an ordinary edit";
    undo.redo();
    EXPECT_EQ(list.items(), (Items{1, 2, 3}));

    undo.undo();
    list.append(4);
    EXPECT_FALSE(undo.canRedo());
    undo.redo();
    EXPECT_EQ(list.items(), (Items{1, 2, 4}));
}

// ---- Action names

TEST_F(UndoManagerTest, NamesFollowTheirGroupsThroughUndoAndRedo)
{
    EXPECT_TRUE(undo.undoActionName().isEmpty());
    EXPECT_TRUE(undo.redoActionName().isEmpty());
    list.append(1);
    list.remove(0);
    EXPECT_EQ(undo.undoActionName(), "Remove");

    // Undoing the removal inserts, which would rename the group to "Insert".
    undo.undo();
    EXPECT_EQ(undo.undoActionName(), "Insert");
    EXPECT_EQ(undo.redoActionName(), "Remove");
    undo.undo();
    EXPECT_TRUE(undo.undoActionName().isEmpty());
    EXPECT_EQ(undo.redoActionName(), "Insert");
    undo.redo();
    undo.redo();
    EXPECT_EQ(undo.undoActionName(), "Remove");
    EXPECT_TRUE(undo.redoActionName().isEmpty());
}

TEST_F(UndoManagerTest, SetActionNameNamesTheOpenGroupOrTheTopOne)
{
    {
        // Named before its first registration.
        const UndoGroup group(undo);
        undo.setActionName("Clear");
        undo.registerUndo(&list, [] {});
    }
    EXPECT_EQ(undo.undoActionName(), "Clear");
    list.append(1);
    undo.setActionName("Paste");
    EXPECT_EQ(undo.undoActionName(), "Paste");
    undo.undo();
    EXPECT_EQ(undo.undoActionName(), "Clear");

    // While undoing, an explicit name goes to the redo group being collected.
    undo.registerUndo(nullptr, [this] {
        undo.setActionName("Renamed");
        list.append(0);
    });
    undo.setActionName("Original");
    undo.undo();
    EXPECT_EQ(undo.redoActionName(), "Renamed");
    EXPECT_EQ(undo.undoActionName(), "Clear");
}

// ---- Clean state

TEST_F(UndoManagerTest, CleanFollowsTheSavedGroupThroughUndoAndRedo)
{
    EXPECT_TRUE(undo.isClean());
    appendAll({1});
    EXPECT_FALSE(undo.isClean());
    appendAll({2});
    undo.markClean();
    EXPECT_TRUE(undo.isClean());

    undo.undo();
    EXPECT_FALSE(undo.isClean());
    undo.redo();
    EXPECT_TRUE(undo.isClean());
    appendAll({3});
    EXPECT_FALSE(undo.isClean());
    undo.undo();
    EXPECT_TRUE(undo.isClean());
}

TEST_F(UndoManagerTest, SavedWithEmptyHistoryIsCleanAfterUndoingEverything)
{
    appendAll({1});
    appendAll({2});
    undo.undo();
    undo.undo();
    undo.markClean();
    undo.redo();
    EXPECT_FALSE(undo.isClean());
    undo.undo();
    EXPECT_TRUE(undo.isClean());
}

TEST_F(UndoManagerTest, NewEditAfterUndoingPastTheSavedStateIsNeverClean)
{
    appendAll({1});
    undo.markClean();
    undo.undo();
    // Same depth as the saved group, but a different edit.
    appendAll({2});
    EXPECT_FALSE(undo.isClean());
    undo.undo();
    EXPECT_FALSE(undo.isClean());
    undo.redo();
    EXPECT_FALSE(undo.isClean());
    undo.markClean();
    EXPECT_TRUE(undo.isClean());
}

// ---- Removing actions

TEST_F(UndoManagerTest, RemovingATargetDropsItsStepsAndEmptiedGroups)
{
    ListModel other(undo);
    {
        const UndoGroup group(undo);
        list.append(1);
        other.append(10);
    }
    other.append(11);
    appendAll({2});
    undo.undo();
    ASSERT_TRUE(undo.canRedo());

    undo.removeAllActionsWithTarget(&list);
    EXPECT_FALSE(undo.canRedo()) << "the redo group held only steps of the removed target";
    undo.undo();
    EXPECT_EQ(other.items(), Items{10});
    undo.undo();
    EXPECT_EQ(other.items(), Items{});
    EXPECT_EQ(list.items(), Items{1}) << "the removed step ran";
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(UndoManagerTest, RemovalDuringUndoSkipsTheRemovedSteps)
{
    ListModel other(undo);
    {
        const UndoGroup group(undo);
        list.append(1);
        other.append(10);
        // Registered last, so undone first, like a view going away mid-undo.
        undo.registerUndo(nullptr, [this] { undo.removeAllActionsWithTarget(&list); });
    }
    undo.undo();
    EXPECT_EQ(list.items(), Items{1});
    EXPECT_EQ(other.items(), Items{});
    undo.redo();
    EXPECT_EQ(other.items(), Items{10});
}

TEST_F(UndoManagerTest, RemovalKeepsTheCleanState)
{
    ListModel other(undo);
    appendAll({1});
    undo.markClean();
    other.append(10);
    undo.removeAllActionsWithTarget(&other);
    EXPECT_FALSE(undo.isClean()) << "the other list's edit is still unsaved";
    undo.undo();
    EXPECT_FALSE(undo.isClean());

    undo.redo();
    undo.markClean();
    other.append(11);
    undo.undo();
    ASSERT_TRUE(undo.isClean());
    undo.removeAllActionsWithTarget(&list);
    EXPECT_TRUE(undo.isClean());
    undo.removeAllActions();
    EXPECT_TRUE(undo.isClean());
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

// ---- Grouping

TEST_F(UndoManagerTest, NestedGroupsCloseOnlyAtTheOutermostEnd)
{
    undo.beginUndoGrouping();
    {
        const UndoGroup inner(undo);
        EXPECT_EQ(undo.groupingLevel(), 2);
        list.append(1);
    }
    EXPECT_EQ(undo.groupingLevel(), 1);
    EXPECT_FALSE(undo.canUndo()) << "closed at the inner end";
    list.append(2);
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.undo();
    EXPECT_EQ(list.items(), Items{});
    EXPECT_FALSE(undo.canUndo());
}

TEST_F(UndoManagerTest, EmptyGroupsAreDropped)
{
    appendAll({1});
    undo.undo();
    {
        const UndoGroup group(undo);
        undo.setActionName("Nothing");
    }
    EXPECT_FALSE(undo.canUndo());
    EXPECT_TRUE(undo.canRedo()) << "an empty group is no new edit";
    undo.endUndoGrouping();
    EXPECT_EQ(undo.groupingLevel(), 0) << "an unbalanced end is ignored";

    // An action whose undo registers nothing leaves no redo group behind.
    undo.registerUndo(nullptr, [] {});
    undo.undo();
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo());
}

// ---- Calls that are ignored

TEST_F(UndoManagerTest, UndoAndRedoWithNothingToReplayDoNothing)
{
    undo.undo();
    undo.redo();
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_FALSE(undo.isRedoing());
    appendAll({1});
    undo.redo();
    EXPECT_EQ(list.items(), Items{1});
    EXPECT_TRUE(undo.canUndo());
}

TEST_F(UndoManagerTest, UndoAndRedoInsideAnOpenGroupAreIgnored)
{
    appendAll({1});
    appendAll({2});
    undo.undo();
    {
        const UndoGroup group(undo);
        undo.undo();
        undo.redo();
        EXPECT_EQ(list.items(), Items{1});
        list.append(3);
        undo.undo();
        EXPECT_EQ(list.items(), (Items{1, 3}));
    }
    undo.undo();
    EXPECT_EQ(list.items(), Items{1});
    EXPECT_TRUE(undo.canUndo());
}

TEST_F(UndoManagerTest, ReentrantUndoAndRedoFromAnActionAreIgnored)
{
    appendAll({1});
    int runs = 0;
    const auto reenter = [this, &runs] {
        ++runs;
        EXPECT_EQ(undo.isUndoing(), !undo.isRedoing());
        undo.undo();
        undo.redo();
    };
    {
        const UndoGroup group(undo);
        list.append(2);
        undo.registerUndo(nullptr, [this, reenter] {
            reenter();
            // Registered during the undo, so that the redo replays the same call.
            undo.registerUndo(nullptr, [this, reenter] {
                reenter();
                undo.registerUndo(nullptr, [] {});
            });
        });
    }
    undo.undo();
    EXPECT_EQ(list.items(), Items{1});
    EXPECT_TRUE(undo.canUndo());
    undo.redo();
    EXPECT_EQ(list.items(), (Items{1, 2}));
    EXPECT_FALSE(undo.canRedo());
    EXPECT_EQ(runs, 2);
}

TEST_F(UndoManagerTest, GroupLeftOpenByAnActionEndsWithTheReplay)
{
    undo.registerUndo(nullptr, [this] {
        undo.beginUndoGrouping();
        list.append(5);
    });
    undo.undo();
    EXPECT_EQ(undo.groupingLevel(), 0);
    list.append(1);
    ASSERT_TRUE(undo.canUndo()) << "the edit went into the group the action left open";
    undo.undo();
    EXPECT_EQ(list.items(), Items{5});
}

TEST_F(UndoManagerTest, ThrowingActionLeavesTheHistoryUsable)
{
    appendAll({1});
    undo.registerUndo(nullptr, [] { throw std::runtime_error("failed"); });
    EXPECT_THROW(undo.undo(), std::runtime_error);
    EXPECT_FALSE(undo.isUndoing());
    EXPECT_EQ(undo.groupingLevel(), 0);
    undo.undo();
    EXPECT_EQ(list.items(), Items{});
    list.append(2);
    undo.undo();
    EXPECT_EQ(list.items(), Items{});
}

// ---- Change notifications

TEST_F(UndoManagerTest, ChangeHandlerRunsAfterEveryChangeOfTheHistory)
{
    int calls = 0;
    bool redo_seen = false;
    undo.setChangeHandler([this, &calls, &redo_seen] {
        ++calls;
        EXPECT_FALSE(undo.isUndoing() || undo.isRedoing()) << "called before the replay ended";
        redo_seen = undo.canRedo();
    });
    const auto changes = [&calls] { return std::exchange(calls, 0); };

    appendAll({1, 2, 3});
    EXPECT_EQ(changes(), 1) << "once per group, not per registration";
    list.append(4);
    EXPECT_EQ(changes(), 1);
    { const UndoGroup empty(undo); }
    EXPECT_EQ(changes(), 0);

    undo.undo();
    EXPECT_EQ(changes(), 1);
    EXPECT_TRUE(redo_seen);
    undo.redo();
    EXPECT_EQ(changes(), 1);
    undo.markClean();
    EXPECT_EQ(changes(), 1);
    undo.removeAllActionsWithTarget(&list);
    EXPECT_EQ(changes(), 1);
    undo.removeAllActions();
    EXPECT_EQ(changes(), 1);
    undo.undo();
    EXPECT_EQ(changes(), 0) << "nothing to undo";
}

} // namespace
