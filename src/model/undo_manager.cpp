#include "undo_manager.h"

#include <algorithm>
#include <utility>

void UndoManager::registerUndo(const void* target, Action action)
{
    // An empty action could only fail later, in the middle of an undo.
    if (!action) return;
    if (!replaying()) _redo.clear();
    openGroup().steps.push_back({target, std::move(action)});
    if (_level == 0 && !replaying()) closeGroup();
}

void UndoManager::beginUndoGrouping()
{
    // Opened now rather than at the first registration, so that it can be named first.
    openGroup();
    ++_level;
}

void UndoManager::endUndoGrouping()
{
    if (_level == 0) return;
    --_level;
    // While replaying, the group collecting the inverse stays open until the replay ends.
    if (_level == 0 && !replaying()) closeGroup();
}

void UndoManager::undo() { replay(_undo, true); }

void UndoManager::redo() { replay(_redo, false); }

void UndoManager::setActionName(const QString& name)
{
    if (_building_open) {
        _building.name = name;
        return;
    }
    std::vector<Group>& stack = registrationStack();
    if (!stack.empty()) stack.back().name = name;
}

void UndoManager::setFirstActionName(const QString& name)
{
    if (!replaying()) setActionName(name);
}

QString UndoManager::undoActionName() const { return _undo.empty() ? QString() : _undo.back().name; }

QString UndoManager::redoActionName() const { return _redo.empty() ? QString() : _redo.back().name; }

void UndoManager::removeAllActions()
{
    const bool was_clean = isClean();
    _undo.clear();
    _redo.clear();
    _building.steps.clear();
    for (Step& step : _replaying.steps) step.action = nullptr;
    keepCleanness(was_clean);
    changed();
}

void UndoManager::removeAllActionsWithTarget(const void* target)
{
    const bool was_clean = isClean();
    dropTarget(_undo, target);
    dropTarget(_redo, target);
    std::erase_if(_building.steps, [target](const Step& step) { return step.target == target; });
    // Emptied in place: the replay walks these steps by index.
    for (Step& step : _replaying.steps)
        if (step.target == target) step.action = nullptr;
    keepCleanness(was_clean);
    changed();
}

void UndoManager::markClean()
{
    _clean_id = topId();
    changed();
}

bool UndoManager::isClean() const { return topId() == _clean_id; }

std::vector<UndoManager::Group>& UndoManager::registrationStack()
{
    return _undoing ? _redo : _undo;
}

UndoManager::Group& UndoManager::openGroup()
{
    if (!_building_open) {
        _building = Group{{}, {}, _next_id++};
        _building_open = true;
    }
    return _building;
}

void UndoManager::closeGroup()
{
    if (pushBuilding()) changed();
}

// Closes the group being built; true when it had steps and went on its stack.
bool UndoManager::pushBuilding()
{
    if (!_building_open) return false;
    _building_open = false;
    Group group = std::exchange(_building, Group{});
    if (group.steps.empty()) return false;
    registrationStack().push_back(std::move(group));
    return true;
}

void UndoManager::replay(std::vector<Group>& from, const bool undoing)
{
    // Mid-group the top of the stack is not what the user sees as the last action, and
    // an action that undoes from inside an undo would tear its own group apart.
    if (from.empty() || _level > 0 || replaying()) return;
    _replaying = std::move(from.back());
    from.pop_back();
    // The inverse keeps the name and identity, so that clean tracking follows it across.
    _building = Group{{}, _replaying.name, _replaying.id};
    _building_open = true;
    _undoing = undoing;
    _redoing = !undoing;
    try {
        runReplayedSteps();
    } catch (...) {
        finishReplay();
        throw;
    }
    finishReplay();
    changed();
}

void UndoManager::runReplayedSteps()
{
    // By index and newest first: a step may remove later ones or register new ones.
    for (std::size_t i = _replaying.steps.size(); i-- > 0;) {
        // Taken out of the group so that a removal from inside it cannot destroy it mid-call.
        const Action action = std::exchange(_replaying.steps[i].action, nullptr);
        if (action) action();
    }
}

void UndoManager::finishReplay()
{
    pushBuilding();
    _undoing = false;
    _redoing = false;
    // An action that left a group open must not hold every later edit in it.
    _level = 0;
    _replaying = Group{};
}

// A removal changes the history but not the document, so the saved state stays what it was.
void UndoManager::keepCleanness(const bool was_clean)
{
    if (isClean() == was_clean) return;
    // An id no group carries: the saved state can no longer be reached through the history.
    _clean_id = was_clean ? topId() : _next_id++;
}

void UndoManager::dropTarget(std::vector<Group>& stack, const void* target)
{
    for (Group& group : stack)
        std::erase_if(group.steps, [target](const Step& step) { return step.target == target; });
    std::erase_if(stack, [](const Group& group) { return group.steps.empty(); });
}

void UndoManager::changed()
{
    // A copy, in case the handler replaces itself.
    if (const std::function<void()> handler = _on_change) handler();
}
