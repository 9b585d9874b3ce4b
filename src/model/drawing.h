#pragma once

// The platform-free heart of a document: the stroke list with its undo history, the
// background colour, and the window frame and view transform that wait in the document
// until a window shows them. The application's document controller owns one and adds the
// window, the view and the tools.
//
// Undo replays its edits through this class, so that every replayed edit also reaches the
// observer (the view) to be drawn. The drawing is "edited" when the undo history has moved
// away from the saved state or a change that cannot be undone (the background) was made.

#include "document_file.h"
#include "strokes.h"
#include "undo_manager.h"

#include <QColor>
#include <QString>

#include <optional>
#include <utility>

// Whether loading or saving worked, and why not.
struct DrawingResult {
    bool ok = false;
    QString error;
    explicit operator bool() const { return ok; }
};

// What the view needs to hear from the drawing.
class DrawingObserver {
public:
    virtual ~DrawingObserver() = default;
    // A stroke was added on top: drawing it is enough.
    virtual void strokeAdded(const StrokePtr& stroke) = 0;
    // Anything else changed the picture: redraw it all.
    virtual void drawingChanged() = 0;
    virtual void editedChanged(bool edited) = 0;
    // The undo history changed (a step added, undone, redone or dropped).
    virtual void historyChanged() {}
};

class Drawing : public StrokeEditor {
public:
    Drawing();
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

    void setObserver(DrawingObserver* observer) { _observer = observer; }

    Strokes& strokes() { return _strokes; }
    const Strokes& strokes() const { return _strokes; }
    UndoManager& undoManager() { return _undo; }

    // None: no background colour, shown as white. Changing it is not undoable but marks
    // the drawing as edited.
    const std::optional<QColor>& backgroundColor() const { return _background; }
    void setBackgroundColor(const std::optional<QColor>& color);

    // What the file holds for the window; the window takes them once it exists.
    std::optional<QString> takeWindowFrame() { return std::exchange(_window_frame, {}); }
    std::optional<AffineTransform> takeViewTransform() { return std::exchange(_view_transform, {}); }

    // Replaces the whole drawing with a file's content; on failure nothing changes.
    DrawingResult load(const QString& path);
    DrawingResult loadData(const QByteArray& data);
    // Saves with the window's frame and the view's transform; the old file is untouched when
    // it fails. A successful save makes the drawing clean.
    DrawingResult save(const QString& path, const std::optional<QString>& windowFrame,
                      const std::optional<AffineTransform>& viewTransform);
    // Writes the same file but leaves the drawing as it was, edited or not: for copies kept
    // against a crash.
    DrawingResult writeCopy(const QString& path, const std::optional<QString>& windowFrame,
                            const std::optional<AffineTransform>& viewTransform) const;

    // A change that cannot be undone but is saved (the view's transformation) was made.
    void markChanged();
    bool isEdited() const { return _changed_outside_undo || !_undo.isClean(); }

    // The edits undo replays; each reaches the observer.
    void addStroke(const StrokePtr& stroke) override;
    void removeLastStroke() override;
    void insertStroke(const StrokePtr& stroke, int index) override;
    void removeStrokeAtIndex(int index) override;
    bool transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t) override;

private:
    DrawingResult adopt(Result<DocumentData> loaded);
    void changed();
    void editedMayHaveChanged();

    Strokes _strokes;
    UndoManager _undo;
    std::optional<QColor> _background;
    std::optional<QString> _window_frame;
    std::optional<AffineTransform> _view_transform;
    bool _changed_outside_undo = false;
    bool _was_edited = false;
    DrawingObserver* _observer = nullptr;
};
