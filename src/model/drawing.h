#pragma once

// The platform-free heart of a document: the stroke list with its undo history, the
// selection, the background colour, and the window frame and view transform that wait in
// the document until a window shows them. The application's document controller owns one
// and adds the window, the view and the tools.
//
// Every change of the drawing is made here, as a command that registers its inverse and
// tells the observer. Undo and redo replay the same few building blocks (insert, remove,
// reorder, transform), so a change reaches the observer the same way whether it was done,
// undone or redone, and the view needs no other news to stay right. The selection only
// ever holds strokes of the drawing: a stroke that leaves the drawing leaves it too.
//
// The drawing is "edited" when the undo history has moved away from the saved state or a
// change that cannot be undone (the background) was made.

#include "document_file.h"
#include "result.h"
#include "strokes.h"
#include "undo_manager.h"

#include <QColor>
#include <QString>

#include <optional>
#include <utility>

// What changed, as the observer hears it.
struct DrawingChange {
    enum Kind {
        // A stroke was added on top: drawing it is enough.
        StrokeAdded,
        // The strokes changed otherwise: redraw them all.
        Strokes,
        // Only which strokes are selected.
        Selection,
        // The background colour, which is not undoable.
        Background,
    };
    Kind kind;
    StrokePtr stroke; // the added stroke, for StrokeAdded
};

class DrawingObserver {
public:
    virtual ~DrawingObserver() = default;
    virtual void drawingChanged(const DrawingChange& change) = 0;
    virtual void editedChanged(bool edited) = 0;
    // The undo history changed (a step added, undone, redone or dropped).
    virtual void historyChanged() {}
};

class Drawing {
public:
    Drawing();
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

    void setObserver(DrawingObserver* observer) { _observer = observer; }

    const Strokes& strokes() const { return _strokes; }
    UndoManager& undoManager() { return _undo; }

    // None: no background colour, shown as white. Changing it is not undoable but marks
    // the drawing as edited.
    const std::optional<QColor>& backgroundColor() const { return _background; }
    void setBackgroundColor(const std::optional<QColor>& color);

    // The selected strokes in the order they were selected, none twice.
    const StrokeArray& selection() const { return _selection; }
    // Selects the given strokes that are in the drawing, in order, skipping repeats.
    void setSelection(const StrokeArray& strokes);
    void clearSelection() { setSelection({}); }
    bool isSelected(const StrokePtr& stroke) const;
    // The union of the selected strokes' bounds; a zero rectangle for an empty selection.
    Rect selectionBounds() const;

    // What the file holds for the window; the window takes them once it exists.
    std::optional<QString> takeWindowFrame() { return std::exchange(_window_frame, {}); }
    std::optional<AffineTransform> takeViewTransform() { return std::exchange(_view_transform, {}); }

    // Replaces the whole drawing with a file's content; on failure nothing changes.
    Result<> load(const QString& path);
    Result<> loadData(const QByteArray& data);
    // Saves with the window's frame and the view's transform; the old file is untouched when
    // it fails. A successful save makes the drawing clean.
    Result<> save(const QString& path, const std::optional<QString>& windowFrame,
                  const std::optional<AffineTransform>& viewTransform);
    // Writes the same file but leaves the drawing as it was, edited or not: for copies kept
    // against a crash.
    Result<> writeCopy(const QString& path, const std::optional<QString>& windowFrame,
                       const std::optional<AffineTransform>& viewTransform) const;

    // A change that cannot be undone but is saved (the view's transformation) was made.
    void markChanged();
    bool isEdited() const { return _changed_outside_undo || !_undo.isClean(); }

    // The commands. Each is one undo step unless a transaction around it gathers more, and
    // one that changes nothing registers nothing.
    void addStroke(const StrokePtr& stroke);
    // Moves, turns or scales the strokes; false, and nothing changes, for a transformation
    // that is not finite and invertible or that a stroke cannot take.
    bool transformStrokes(const StrokeArray& strokes, const AffineTransform& t);
    void removeStrokes(const StrokeArray& strokes);
    void removeLastStroke();
    // The strokes, in the given order, become one stroke on top of the drawing.
    void mergeStrokes(const StrokeArray& strokes);
    void mergeTopTwoStrokes();
    void clear();
    enum class Arrangement { BringForward, BringToFront, SendBackward, SendToBack };
    void arrange(const StrokeArray& strokes, Arrangement arrangement);

private:
    Result<> adopt(Result<DocumentData> loaded);
    // The building blocks: each changes the list, registers its inverse and tells the
    // observer, whether it runs as a command, an undo or a redo.
    void insertStroke(const StrokePtr& stroke, int index);
    void removeStroke(int index);
    void replaceStrokes(StrokeArray strokes);
    void applyTransform(const StrokeArray& strokes, const AffineTransform& t);
    void restorePlacements(const StrokeArray& strokes, const std::vector<Stroke::Placement>& placements,
                           const AffineTransform& t);
    void nameAction(const char* name);
    void notify(DrawingChange::Kind kind, const StrokePtr& stroke = nullptr);
    void editedMayHaveChanged();

    Strokes _strokes;
    UndoManager _undo;
    StrokeArray _selection;
    std::optional<QColor> _background;
    std::optional<QString> _window_frame;
    std::optional<AffineTransform> _view_transform;
    bool _changed_outside_undo = false;
    bool _was_edited = false;
    DrawingObserver* _observer = nullptr;
};
