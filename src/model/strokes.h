#pragma once

// The drawing's strokes: an ordered list, bottom first, with the queries the selection
// tool asks and the rendering of the whole list into the canvas (batching like strokes
// through one pass of the stroke layer). It knows nothing of undo: the drawing model makes
// every edit through it and registers the inverse.

#include "stroke.h"

#include <QCborValue>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// Where the model reports strokes it skips; stderr unless a test or the application
// installs another sink.
void log_line(const QString& line);
void set_log_sink(std::function<void(const QString&)> sink);

class Strokes {
public:
    Strokes() = default;
    explicit Strokes(StrokeArray strokes) : _strokes(std::move(strokes)) {}

    const StrokeArray& strokeArray() const { return _strokes; }
    int count() const { return int(_strokes.size()); }
    StrokePtr lastStroke() const { return _strokes.empty() ? nullptr : _strokes.back(); }
    int indexOf(const StrokePtr& stroke) const;
    Rect bounds() const;
    // The topmost stroke under the point. A stroke drawn as a line is hit within half its
    // width, or half of `tolerance` (world units) when that is wider, since a line has no
    // area of its own to click into.
    StrokePtr pickStrokeAtPoint(Point world, float tolerance = 0) const;
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

    // Plain changes of the list, with no undo: the drawing model's building blocks.
    void insert(int index, StrokePtr stroke) { _strokes.insert(_strokes.begin() + index, std::move(stroke)); }
    void removeAt(int index) { _strokes.erase(_strokes.begin() + index); }
    void assign(StrokeArray strokes) { _strokes = std::move(strokes); }

    QCborValue encode() const;
    // The list of a saved drawing: a Strokes object, or a plain array of strokes. Every
    // stroke is checked and a bad one dropped with its log line; null when the value is
    // neither (the caller then starts an empty drawing).
    static std::unique_ptr<Strokes> decode(const QCborValue& value);

private:
    StrokeArray _strokes;
};
