// The document's exchange commands: the clipboard, duplicating, and pictures and drawings
// brought in from files, the place command and drops.

#include "pavo_document.h"
#include "picture_input.h"
#include "placement.h"
#include "stroke_clipboard.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace {

// The place command shows a drawing large, a drop leaves room for more.
constexpr float kPlaceScale = 0.9f;
constexpr float kDropScale = 0.3f;
// How far a duplicate, and each further placed picture, moves right and down (view pixels).
constexpr float kOffset = 20;

} // namespace

// The strokes copy, cut and duplicate act on, in drawing order.
StrokeArray PavoDocument::chosenStrokes() const
{
    if (_tool == _arrow.get()) return _drawing.strokes().sortedStrokesInArray(_drawing.selection());
    if (const StrokePtr top = _drawing.strokes().lastStroke()) return {top};
    return {};
}

void PavoDocument::alert(const QString& title, const Result<>& result)
{
    if (!result) _alerts.show(title, result.error());
}

void PavoDocument::nameStep(const char* name)
{
    _drawing.undoManager().setFirstActionName(QCoreApplication::translate("PavoDocument", name));
}

// Moves strokes that are not yet in the drawing and adds them on top; all or none.
Result<> PavoDocument::addTransformed(const StrokeArray& strokes, const AffineTransform& t)
{
    for (const StrokePtr& s : strokes)
        if (!s->canTransformUsing(t))
            return Failure{QCoreApplication::translate("Pavo", "They would lie beyond the area a drawing can hold.")};
    for (const StrokePtr& s : strokes) {
        s->transformUsingAffineTransform(t);
        _drawing.addStroke(s);
    }
    return {};
}

// Clipboard

void PavoDocument::copy()
{
    Clipboard* clipboard = _shell.clipboard();
    const StrokeArray chosen = chosenStrokes();
    if (!clipboard || chosen.empty()) return;
    auto data = std::make_unique<QMimeData>();
    data->setData(kStrokesMimeType, encode_copied_strokes({chosen, _view->transform()}));
    clipboard->put(std::move(data));
}

void PavoDocument::cut()
{
    // Without a clipboard the strokes would only be lost.
    if (!_shell.clipboard()) return;
    const UndoTransaction command(_drawing.undoManager());
    copy();
    deleteStrokes();
    nameStep("Cut");
}

void PavoDocument::paste()
{
    const Clipboard* clipboard = _shell.clipboard();
    const QMimeData* data = clipboard ? clipboard->contents() : nullptr;
    if (!data) return;
    const QString title = QCoreApplication::translate("PavoDocument", "Paste");
    const UndoTransaction command(_drawing.undoManager());
    if (!data->hasFormat(kStrokesMimeType)) {
        const auto picture = picture_from_mime(*data);
        if (!picture) return;
        const Result<> placed = *picture ? placeImage(**picture, point(_view->size()) / 2.0f)
                                         : Failure{picture->error()};
        if (placed) nameStep("Paste");
        return alert(title, placed);
    }
    Result<CopiedStrokes> copied = decode_copied_strokes(data->data(kStrokesMimeType));
    if (!copied)
        return alert(title, Failure{QCoreApplication::translate("Pavo", "The copied strokes cannot be read (%1).")
                                        .arg(copied.error())});
    // Back into the view they were copied from, so that they keep their on-screen size and
    // angle; the strokes are new, not yet part of any drawing.
    Rect bounds;
    for (const StrokePtr& s : copied->strokes) {
        if (!s->transformUsingAffineTransform(copied->view_transform))
            return alert(title, Failure{QCoreApplication::translate("Pavo", "The copied strokes cannot be shown here.")});
        bounds = union_rect(bounds, s->bounds());
    }
    if (copied->strokes.empty()) return;
    Result<AffineTransform> t = paste_placement(bounds, _view->size(), _view->transform());
    Result<> added = t ? addTransformed(copied->strokes, *t) : Failure{t.error()};
    if (!added) return alert(title, added);
    nameStep("Paste");
    setTool(_arrow.get());
    _drawing.setSelection(copied->strokes);
}

void PavoDocument::duplicate()
{
    StrokeArray copies;
    for (const StrokePtr& s : chosenStrokes())
        if (StrokePtr copy = s->copyWithArchiver()) copies.push_back(std::move(copy));
    if (copies.empty()) return;
    // Along the view's axes, however it is turned or zoomed.
    const Point d = _view->viewPointToWorldPoint({kOffset, kOffset}) - _view->viewPointToWorldPoint({0, 0});
    const UndoTransaction command(_drawing.undoManager());
    const Result<> added = addTransformed(copies, AffineTransform::translation(d.x, d.y));
    if (!added) return alert(QCoreApplication::translate("PavoDocument", "Duplicate"), added);
    nameStep("Duplicate");
    if (_tool == _arrow.get()) _drawing.setSelection(copies);
}

// Pictures and drawings

Result<> PavoDocument::placeImage(const QImage& image, Point centre)
{
    if (image.isNull()) return Failure{QCoreApplication::translate("Pavo", "There is no picture to place.")};
    if (const Result<> fits = image_fits_in_drawing(image); !fits) return fits;
    const float opacity = _tool == _pen.get()    ? _pen->opacity()
                          : _tool == _fill.get() ? _fill->opacity()
                                                 : 1.0f;
    const Size picture{float(image.width()), float(image.height())};
    const Size s = fit_picture_in_view(picture, _view->size());
    // Upright on the screen whatever the view's angle: the corners are placed in the view.
    const auto world = [this](Point p) { return _view->viewPointToWorldPoint(p); };
    const Point p0 = world({centre.x - s.width / 2, centre.y - s.height / 2});
    const Point p1 = world({centre.x + s.width / 2, centre.y - s.height / 2});
    const Point p2 = world({centre.x + s.width / 2, centre.y + s.height / 2});
    const Point p3 = world({centre.x - s.width / 2, centre.y + s.height / 2});
    QPainterPath placement(QPointF(p0.x, p0.y));
    placement.lineTo(p1.x, p1.y);
    placement.lineTo(p2.x, p2.y);
    placement.lineTo(p3.x, p3.y);
    placement.lineTo(p0.x, p0.y);
    const StrokePtr stroke = Stroke::withImage(image, Path(placement), opacity);
    if (!stroke || stroke->bad())
        return Failure{QCoreApplication::translate("Pavo", "The picture cannot be placed in this view.")};
    _drawing.addStroke(stroke);
    return {};
}

Result<> PavoDocument::placeDrawing(const QString& path, Point centre, float scale)
{
    // Only the strokes: the file's background, window and view stay its own.
    Result<DocumentData> loaded = loadDocument(path);
    if (!loaded) return Failure{QCoreApplication::translate("Pavo", "It cannot be read (%1).").arg(loaded.error())};
    const Strokes strokes(loaded->strokes->strokeArray());
    if (strokes.count() == 0) return Failure{QCoreApplication::translate("Pavo", "The drawing holds no strokes.")};
    const Size shown = _view->viewSize();
    const Size visible{shown.width / _view->scale(), shown.height / _view->scale()};
    const Result<AffineTransform> t =
        drawing_placement(strokes.bounds(), _view->viewPointToWorldPoint(centre), visible, scale);
    if (!t) return Failure{t.error()};
    return addTransformed(strokes.strokeArray(), *t);
}

Result<> PavoDocument::placeFileAt(const QString& path, Point centre, float drawingScale)
{
    Result<> placed = [&]() -> Result<> {
        if (is_drawing_file(path)) return placeDrawing(path, centre, drawingScale);
        const Result<QImage> picture = read_picture_file(path);
        return picture ? placeImage(*picture, centre) : Failure{picture.error()};
    }();
    if (placed) return placed;
    const QString name = QFileInfo(path).fileName();
    return Failure{QCoreApplication::translate("Pavo", "%1 was not placed. %2").arg(name, placed.error())};
}

Result<> PavoDocument::placeFile(const QString& path)
{
    const UndoTransaction command(_drawing.undoManager());
    const Result<> placed = placeFileAt(path, point(_view->size()) / 2.0f, kPlaceScale);
    if (placed) nameStep("Place");
    return placed;
}

void PavoDocument::placeFiles(const QStringList& paths)
{
    const UndoTransaction command(_drawing.undoManager());
    const QString title = QCoreApplication::translate("PavoDocument", "Place");
    // Pictures fall in a cascade; drawings all go to the middle.
    Point at = point(_view->size()) / 2.0f;
    for (const QString& path : paths) {
        const Result<> placed = placeFileAt(path, at, kPlaceScale);
        if (placed && !is_drawing_file(path)) at = at + Point{kOffset, kOffset};
        alert(title, placed);
    }
    nameStep("Place");
}

void PavoDocument::drop(const QMimeData& data, Point at)
{
    const UndoTransaction command(_drawing.undoManager());
    const QString title = QCoreApplication::translate("PavoDocument", "Drop");
    QStringList remote;
    bool placedFiles = false;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) {
            remote << url.toDisplayString();
            continue;
        }
        alert(title, placeFileAt(url.toLocalFile(), at, kDropScale));
        placedFiles = true;
    }
    if (!placedFiles) {
        if (const auto picture = picture_from_mime(data)) {
            const Size view = _view->size();
            // Where it was let go, unless it is too large for the view.
            const bool fits = *picture && float(picture->value().width()) <= view.width &&
                              float(picture->value().height()) <= view.height;
            alert(title, *picture ? placeImage(**picture, fits ? at : point(view) / 2.0f)
                                  : Failure{picture->error()});
            remote.clear();
        }
    }
    if (!remote.isEmpty())
        alert(title, Failure{QCoreApplication::translate("Pavo", "Pavo places only files on this computer and downloads "
                                            "nothing: save %1 first, then drop the file.")
                                 .arg(remote.join(QStringLiteral(", ")))});
    nameStep("Drop");
}
