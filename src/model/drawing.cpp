#include "drawing.h"

#include <QCoreApplication>

#include <algorithm>
#include <unordered_set>

Drawing::Drawing()
{
    _undo.setChangeHandler([this] {
        editedMayHaveChanged();
        if (_observer) _observer->historyChanged();
    });
}

void Drawing::setBackgroundColor(const std::optional<QColor>& color)
{
    _background = color;
    _changed_outside_undo = true;
    notify(DrawingChange::Background);
    editedMayHaveChanged();
}

void Drawing::markChanged()
{
    _changed_outside_undo = true;
    editedMayHaveChanged();
}

// Selection

void Drawing::setSelection(const StrokeArray& strokes)
{
    // Through sets, so that selecting every stroke of a large drawing stays linear.
    StrokeArray wanted = _strokes.activeStrokesInArray(strokes);
    std::unordered_set<const Stroke*> seen;
    seen.reserve(wanted.size());
    std::erase_if(wanted, [&seen](const StrokePtr& s) { return !seen.insert(s.get()).second; });
    if (wanted == _selection) return;
    _selection = std::move(wanted);
    notify(DrawingChange::Selection);
}

bool Drawing::isSelected(const StrokePtr& stroke) const
{
    return std::find(_selection.begin(), _selection.end(), stroke) != _selection.end();
}

Rect Drawing::selectionBounds() const
{
    if (_selection.empty()) return {};
    Rect bounds = _selection.front()->bounds();
    for (const StrokePtr& s : _selection) bounds = union_rect(bounds, s->bounds());
    return bounds;
}

// Files

Result<> Drawing::load(const QString& path) { return adopt(loadDocument(path)); }

Result<> Drawing::loadData(const QByteArray& data) { return adopt(loadDataRepresentation(data)); }

Result<> Drawing::adopt(Result<DocumentData> loaded)
{
    if (!loaded) return Failure{loaded.error()};
    DocumentData& data = *loaded;
    _background = data.background_color;
    _window_frame = std::move(data.window_frame);
    _view_transform = data.view_transform;
    // The file's strokes, already checked one by one.
    _strokes.assign(data.strokes ? data.strokes->strokeArray() : StrokeArray{});
    _selection.clear();
    _undo.removeAllActions();
    _undo.markClean();
    _changed_outside_undo = false;
    notify(DrawingChange::Strokes);
    editedMayHaveChanged();
    return {};
}

Result<> Drawing::writeCopy(const QString& path, const std::optional<QString>& windowFrame,
                            const std::optional<AffineTransform>& viewTransform) const
{
    DocumentData data;
    data.background_color = _background;
    data.strokes = std::make_unique<Strokes>(_strokes.strokeArray());
    data.window_frame = windowFrame;
    data.view_transform = viewTransform;
    return saveDocument(path, data);
}

Result<> Drawing::save(const QString& path, const std::optional<QString>& windowFrame,
                       const std::optional<AffineTransform>& viewTransform)
{
    Result<> written = writeCopy(path, windowFrame, viewTransform);
    if (!written) return written;
    _undo.markClean();
    _changed_outside_undo = false;
    editedMayHaveChanged();
    return {};
}

// Commands

void Drawing::addStroke(const StrokePtr& stroke)
{
    if (!stroke) return;
    const UndoTransaction transaction(_undo);
    insertStroke(stroke, _strokes.count());
    nameAction("Stroke");
}

bool Drawing::transformStrokes(const StrokeArray& strokes, const AffineTransform& t)
{
    // Checked for every stroke first, so that the change is all or nothing and its inverse
    // restores exactly what was there.
    const std::optional<AffineTransform> inverse = t.isUsable() ? t.inverted() : std::nullopt;
    if (!inverse) return false;
    // Each stroke once, however often it is named.
    const StrokeArray present = _strokes.sortedStrokesInArray(strokes);
    for (const StrokePtr& s : present)
        if (!s->canTransformUsing(t)) return false;
    // Moving by nothing is no edit: no undo step, and the drawing stays as clean as it was.
    if (present.empty() || t == AffineTransform::identity()) return true;
    const UndoTransaction transaction(_undo);
    applyTransform(present, t);
    return true;
}

void Drawing::removeStrokes(const StrokeArray& strokes)
{
    const std::vector<int> indices = _strokes.strokesToIndexList(strokes);
    if (indices.empty()) return;
    const UndoTransaction transaction(_undo);
    if (indices.size() == 1) {
        removeStroke(indices.front());
        nameAction("Delete Stroke");
        return;
    }
    StrokeArray kept;
    const StrokeArray& all = _strokes.strokeArray();
    std::size_t next = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (next < indices.size() && std::size_t(indices[next]) == i) ++next;
        else kept.push_back(all[i]);
    }
    replaceStrokes(std::move(kept));
    nameAction("Delete Strokes");
}

void Drawing::removeLastStroke()
{
    if (_strokes.count() == 0) return;
    const UndoTransaction transaction(_undo);
    removeStroke(_strokes.count() - 1);
    nameAction("Delete Stroke");
}

void Drawing::mergeStrokes(const StrokeArray& strokes)
{
    const StrokeArray present = _strokes.activeStrokesInArray(strokes);
    if (present.size() < 2) return;
    StrokePtr merged = present.front()->copyWithArchiver();
    for (std::size_t i = 1; merged && i < present.size(); ++i) merged->appendPathOf(*present[i]);
    // A stroke that cannot be copied leaves the drawing as it was.
    if (!merged) return;
    const std::unordered_set<const Stroke*> gone = [&present] {
        std::unordered_set<const Stroke*> set;
        for (const StrokePtr& s : present) set.insert(s.get());
        return set;
    }();
    StrokeArray result;
    for (const StrokePtr& s : _strokes.strokeArray())
        if (!gone.contains(s.get())) result.push_back(s);
    result.push_back(std::move(merged));
    const UndoTransaction transaction(_undo);
    replaceStrokes(std::move(result));
    nameAction("Merge");
}

void Drawing::mergeTopTwoStrokes()
{
    const StrokeArray& all = _strokes.strokeArray();
    if (all.size() < 2) return;
    mergeStrokes({all[all.size() - 2], all.back()});
}

void Drawing::clear()
{
    if (_strokes.count() == 0) return;
    const UndoTransaction transaction(_undo);
    replaceStrokes({});
    nameAction("Clear");
}

void Drawing::arrange(const StrokeArray& strokes, Arrangement arrangement)
{
    const std::vector<int> indices = _strokes.strokesToIndexList(strokes);
    if (indices.empty()) return;
    const int count = _strokes.count();
    // The selected strokes move as one block, in list order, to just below the stroke that
    // was at this index (or to the top).
    int target = 0;
    switch (arrangement) {
    case Arrangement::BringForward: target = std::min(indices.back() + 2, count); break;
    case Arrangement::BringToFront: target = count; break;
    case Arrangement::SendBackward: target = std::max(indices.front() - 1, 0); break;
    case Arrangement::SendToBack: target = 0; break;
    }
    const StrokeArray& all = _strokes.strokeArray();
    StrokeArray below, block, above;
    std::size_t next = 0;
    for (int i = 0; i < count; ++i) {
        if (next < indices.size() && indices[next] == i) {
            block.push_back(all[std::size_t(i)]);
            ++next;
        } else {
            (i < target ? below : above).push_back(all[std::size_t(i)]);
        }
    }
    below.insert(below.end(), block.begin(), block.end());
    below.insert(below.end(), above.begin(), above.end());
    if (below == all) return;
    const UndoTransaction transaction(_undo);
    replaceStrokes(std::move(below));
    static const char* const names[] = {QT_TR_NOOP("Bring Forward"), QT_TR_NOOP("Bring to Front"),
                                        QT_TR_NOOP("Send Backward"), QT_TR_NOOP("Send to Back")};
    nameAction(names[int(arrangement)]);
}

// Building blocks

void Drawing::insertStroke(const StrokePtr& stroke, int index)
{
    _strokes.insert(index, stroke);
    _undo.registerUndo(this, [this, index] { removeStroke(index); });
    if (index == _strokes.count() - 1) notify(DrawingChange::StrokeAdded, stroke);
    else notify(DrawingChange::Strokes);
}

void Drawing::removeStroke(int index)
{
    const StrokePtr stroke = _strokes.strokeArray()[std::size_t(index)];
    _strokes.removeAt(index);
    _undo.registerUndo(this, [this, stroke, index] { insertStroke(stroke, index); });
    // From the back: deleting what select-all chose removes the top strokes first.
    const auto selected = std::find(_selection.rbegin(), _selection.rend(), stroke);
    if (selected != _selection.rend()) _selection.erase(std::next(selected).base());
    notify(DrawingChange::Strokes);
}

void Drawing::replaceStrokes(StrokeArray strokes)
{
    StrokeArray before = _strokes.strokeArray();
    _strokes.assign(std::move(strokes));
    _undo.registerUndo(this, [this, before = std::move(before)] { replaceStrokes(before); });
    if (!_selection.empty()) _selection = _strokes.activeStrokesInArray(_selection);
    notify(DrawingChange::Strokes);
}

// Undone by putting back where the strokes were, and redone by moving them again from
// there, so that both give back exactly the drawing they had.
void Drawing::applyTransform(const StrokeArray& strokes, const AffineTransform& t)
{
    std::vector<Stroke::Placement> before;
    before.reserve(strokes.size());
    for (const StrokePtr& s : strokes) {
        before.push_back(s->placement());
        s->transformUsingAffineTransform(t);
    }
    _undo.registerUndo(this, [this, strokes, t, before = std::move(before)] { restorePlacements(strokes, before, t); });
    notify(DrawingChange::Strokes);
}

void Drawing::restorePlacements(const StrokeArray& strokes, const std::vector<Stroke::Placement>& placements,
                                const AffineTransform& t)
{
    for (std::size_t i = 0; i < strokes.size(); ++i) strokes[i]->restorePlacement(placements[i]);
    _undo.registerUndo(this, [this, strokes, t] { applyTransform(strokes, t); });
    notify(DrawingChange::Strokes);
}

void Drawing::nameAction(const char* name)
{
    _undo.setFirstActionName(QCoreApplication::translate("Drawing", name));
}

void Drawing::notify(DrawingChange::Kind kind, const StrokePtr& stroke)
{
    if (_observer) _observer->drawingChanged({kind, stroke});
}

void Drawing::editedMayHaveChanged()
{
    const bool edited = isEdited();
    if (edited == _was_edited) return;
    _was_edited = edited;
    if (_observer) _observer->editedChanged(edited);
}
