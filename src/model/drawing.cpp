#include "drawing.h"

Drawing::Drawing()
{
    _strokes.setDocument(this, &_undo);
    _undo.setChangeHandler([this] {
        editedMayHaveChanged();
        if (_observer) _observer->historyChanged();
    });
}

void Drawing::setBackgroundColor(const std::optional<QColor>& color)
{
    _background = color;
    _changed_outside_undo = true;
    changed();
    editedMayHaveChanged();
}

void Drawing::markChanged()
{
    _changed_outside_undo = true;
    editedMayHaveChanged();
}

DrawingResult Drawing::load(const QString& path) { return adopt(loadDocument(path)); }

DrawingResult Drawing::loadData(const QByteArray& data)
{
    return adopt(loadDataRepresentation(data));
}

DrawingResult Drawing::adopt(Result<DocumentData> loaded)
{
    if (!loaded) return {false, loaded.error()};
    DocumentData& data = *loaded;
    _background = data.background_color;
    _window_frame = std::move(data.window_frame);
    _view_transform = data.view_transform;
    // The list object stays; it takes the file's strokes, already checked one by one.
    _strokes = Strokes(data.strokes ? data.strokes->strokeArray() : StrokeArray{});
    _strokes.setDocument(this, &_undo);
    _undo.removeAllActions();
    _undo.markClean();
    _changed_outside_undo = false;
    changed();
    editedMayHaveChanged();
    return {true, {}};
}

DrawingResult Drawing::writeCopy(const QString& path, const std::optional<QString>& windowFrame,
                                 const std::optional<AffineTransform>& viewTransform) const
{
    DocumentData data;
    data.background_color = _background;
    data.strokes = std::make_unique<Strokes>(_strokes.strokeArray());
    data.window_frame = windowFrame;
    data.view_transform = viewTransform;
    const Result<> saved = saveDocument(path, data);
    if (!saved) return {false, saved.error()};
    return {true, {}};
}

DrawingResult Drawing::save(const QString& path, const std::optional<QString>& windowFrame,
                            const std::optional<AffineTransform>& viewTransform)
{
    DrawingResult written = writeCopy(path, windowFrame, viewTransform);
    if (!written) return written;
    _undo.markClean();
    _changed_outside_undo = false;
    editedMayHaveChanged();
    return {true, {}};
}

void Drawing::addStroke(const StrokePtr& stroke)
{
    const int before = _strokes.count();
    _strokes.addStroke(stroke);
    if (_observer && _strokes.count() > before) _observer->strokeAdded(stroke);
}

void Drawing::removeLastStroke()
{
    _strokes.removeLastStroke();
    changed();
}

void Drawing::insertStroke(const StrokePtr& stroke, int index)
{
    _strokes.insertStroke(stroke, index);
    changed();
}

void Drawing::removeStrokeAtIndex(int index)
{
    _strokes.removeStrokeAtIndex(index);
    changed();
}

bool Drawing::transformStrokesInArray(const StrokeArray& strokes, const AffineTransform& t)
{
    if (!_strokes.transformStrokesInArray(strokes, t)) return false;
    changed();
    return true;
}

void Drawing::changed()
{
    if (_observer) _observer->drawingChanged();
}

void Drawing::editedMayHaveChanged()
{
    const bool edited = isEdited();
    if (edited == _was_edited) return;
    _was_edited = edited;
    if (_observer) _observer->editedChanged(edited);
}
