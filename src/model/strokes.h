#pragma once

// The drawing itself: the ordered list of a document's strokes, bottom first. It answers
// the selection tool's queries, renders the whole list into the canvas (batching like
// strokes through one pass of the stroke layer), and carries out every edit of the list,
// registering the inverse of each with the undo history and naming the action.
//
// Undo goes through a StrokeEditor: the document, whose edit methods change this list and
// refresh the view. Without a document the list is its own editor.

#include "stroke.h"
#include "undo_manager.h"

#include <QCborValue>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// The edits that undo replays. The document implements them by forwarding to its stroke
// list and redrawing.
class StrokeEditor {
public:
    virtual ~StrokeEditor() = default;
    virtual void addStroke(const StrokePtr& stroke) = 0;
    virtual void removeLastStroke() = 0;
    virtual void insertStroke(const StrokePtr& stroke, int index) = 0;
    virtual void removeStrokeAtIndex(int index) = 0;
    virtual bool transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t) = 0;
};

// Where the model reports strokes it skips; stderr unless a test or the application
// installs another sink.
void log_line(const QString& line);
void set_log_sink(std::function<void(const QString&)> sink);

class Strokes : public StrokeEditor {
public:
    Strokes() = default;
    explicit Strokes(StrokeArray strokes) : _strokes(std::move(strokes)) {}

    // The editor that undo goes through and the history it registers with; either may be
    // null (no undo registration without a history).
    void setDocument(StrokeEditor* document, UndoManager* undo);

    const StrokeArray& strokeArray() const { return _strokes; }
    int count() const { return int(_strokes.size()); }
    StrokePtr lastStroke() const { return _strokes.empty() ? nullptr : _strokes.back(); }
    int indexOf(const StrokePtr& stroke) const;
    Rect bounds() const;
    StrokePtr pickStrokeAtPoint(Point world) const;
    StrokeArray strokesTouchingRect(const Rect& r) const;
    StrokeArray strokesEnclosedByRect(const Rect& r) const;
    // The given strokes that are in the list, in list order.
    StrokeArray sortedStrokesInArray(const StrokeArray& strokes) const;
    // The given strokes that are still in the list, in the given order.
    StrokeArray activeStrokesInArray(const StrokeArray& strokes) const;
    // Ascending list indices of the given strokes that are in the list.
    std::vector<int> strokesToIndexList(const StrokeArray& strokes) const;
    bool canVectorDraw() const;

    // Renders every stroke bottom to top into the canvas; returns the pixel rectangle.
    Rect drawInCanvas(PavoCanvas& canvas) const;

    // Edits. Each registers its inverse on the document and names the action.
    void addStroke(const StrokePtr& stroke) override;
    void removeLastStroke() override;
    void insertStroke(const StrokePtr& stroke, int index) override;
    void removeStrokeAtIndex(int index) override;
    // Refuses (false, nothing registered) a transform that is not finite and invertible.
    bool transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t) override;
    void clear();
    void removeStrokesInArray(const StrokeArray& strokes);
    void mergeStrokesInArray(const StrokeArray& strokes);
    void mergeTopTwoStrokes();
    void duplicateStrokesInArray(const StrokeArray& strokes);
    void bringForward(const StrokeArray& strokes);
    void bringToFront(const StrokeArray& strokes);
    void sendBackward(const StrokeArray& strokes);
    void sendToBack(const StrokeArray& strokes);

    QCborValue encode() const;
    // The list of a saved drawing: a Strokes object, or a plain array of strokes. Every
    // stroke is checked and a bad one dropped with its log line; null when the value is
    // neither (the caller then starts an empty drawing).
    static std::unique_ptr<Strokes> decode(const QCborValue& value);

private:
    StrokeEditor& editor() { return _document ? *_document : *this; }
    void registerUndo(std::function<void(StrokeEditor&)> action);
    void nameAction(const char* name);
    void moveForward(const std::vector<int>& indices, int target);
    void moveBackward(const std::vector<int>& indices, int target);

    StrokeArray _strokes;
    StrokeEditor* _document = nullptr;
    UndoManager* _undo = nullptr;
};
