#pragma once

// The undo history of one document. Every edit registers the action that reverses it;
// the actions registered during one user action form one group, undone and redone as a
// whole. While a group is being undone, what it registers becomes the redo group, and
// while redoing, the undo group again, so edits only ever describe their own inverse.
//
// The manager also knows whether the document is back at its saved state: each group has
// an identity that travels between the undo and redo stacks, and the document is clean
// exactly when the group on top of the undo stack is the one that was on top at saving.

#include <QString>

#include <functional>
#include <vector>

class UndoManager {
public:
    using Action = std::function<void()>;

    UndoManager() = default;
    UndoManager(const UndoManager&) = delete;
    UndoManager& operator=(const UndoManager&) = delete;

    // Registers the inverse of an edit just made. `target` names the object the action
    // works on, so that its actions can be dropped when it goes away. A registration
    // outside an open group forms a group of its own. A new registration that is neither
    // an undo nor a redo clears the redo stack.
    void registerUndo(const void* target, Action action);

    // How deeply UndoTransactions are nested now; 0 outside any.
    int groupingLevel() const { return _level; }

    bool canUndo() const { return !_undo.empty(); }
    bool canRedo() const { return !_redo.empty(); }
    // Undoes or redoes the top group; nothing when there is none or a group is open.
    void undo();
    void redo();
    bool isUndoing() const { return _undoing; }
    bool isRedoing() const { return _redoing; }

    // Names the group being built (or, with no group open, the last one registered).
    void setActionName(const QString& name);
    // The same, except while undoing or redoing, so that a replayed action keeps its name.
    void setFirstActionName(const QString& name);
    QString undoActionName() const;
    QString redoActionName() const;

    // Both leave isClean() as it was, since the document itself does not change. Called
    // from inside an undo or redo, the removed steps of the group being replayed are skipped.
    void removeAllActions();
    void removeAllActionsWithTarget(const void* target);

    // Records the present state as the saved one; isClean() is true until it changes.
    void markClean();
    bool isClean() const;
    // Called after every change of the history: a group closed, an undo, a redo, markClean,
    // a removal.
    void setChangeHandler(std::function<void()> handler) { _on_change = std::move(handler); }

private:
    friend class UndoTransaction;
    // Groups nest; only the outermost begin and end delimit a group. An empty group is
    // dropped.
    void beginUndoGrouping();
    void endUndoGrouping();

    struct Step {
        const void* target;
        Action action;
    };
    struct Group {
        std::vector<Step> steps;
        QString name;
        unsigned long id = 0;
    };

    bool replaying() const { return _undoing || _redoing; }
    std::vector<Group>& registrationStack();
    Group& openGroup();
    void closeGroup();
    bool pushBuilding();
    void replay(std::vector<Group>& from, bool undoing);
    void runReplayedSteps();
    void finishReplay();
    void keepCleanness(bool was_clean);
    static void dropTarget(std::vector<Group>& stack, const void* target);
    void changed();
    unsigned long topId() const { return _undo.empty() ? 0 : _undo.back().id; }

    std::vector<Group> _undo;
    std::vector<Group> _redo;
    Group _building;
    bool _building_open = false;
    // The group being undone or redone, off its stack while its steps run.
    Group _replaying;
    int _level = 0;
    bool _undoing = false;
    bool _redoing = false;
    unsigned long _next_id = 1;
    unsigned long _clean_id = 0;
    std::function<void()> _on_change;
};

// One user action (a drag, a menu command): everything registered while it lives is undone
// and redone as one step. Transactions nest, the outermost delimiting the step; one that
// registered nothing leaves no step, so a gesture that changed nothing cannot be undone
// and does not make the drawing edited. The only way to group edits.
class UndoTransaction {
public:
    explicit UndoTransaction(UndoManager& manager) : _manager(manager) { _manager.beginUndoGrouping(); }
    ~UndoTransaction() { _manager.endUndoGrouping(); }
    UndoTransaction(const UndoTransaction&) = delete;
    UndoTransaction& operator=(const UndoTransaction&) = delete;

private:
    UndoManager& _manager;
};
