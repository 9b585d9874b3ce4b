#include "pavo_document.h"

#include "string_table.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>

std::unique_ptr<PavoDocument> PavoDocument::create(DocumentShell& shell, ViewDisplay& display,
                                                   Size viewSize, ScriptAlerts& alerts,
                                                   const PenFolders& folders)
{
    auto document = std::make_unique<PavoDocument>(Tag{}, shell, alerts, folders);
    document->_view = PavoView::create(*document, display, viewSize);
    if (!document->_view) return nullptr;
    document->_view->redraw();
    return document;
}

PavoDocument::PavoDocument(Tag, DocumentShell& shell, ScriptAlerts& alerts, const PenFolders& folders)
    : _shell(shell), _alerts(alerts), _resource_root(folders.resources), _pen_folders(folders)
{
    _pen = std::make_unique<Pen>(alerts, folders);
    _zoom = std::make_unique<ZoomTool>();
    _rotate = std::make_unique<RotateTool>();
    _move = std::make_unique<MoveTool>();
    _fill = std::make_unique<FillTool>();
    _arrow = std::make_unique<ArrowTool>();
    _tool = _pen.get();
    _drawing.setObserver(this);
}

PavoDocument::~PavoDocument()
{
    _proximity.reset();
    _drawing.setObserver(nullptr);
    _gesture.reset();
    // The view goes first: it takes itself out of the pen scripts' record.
    _view.reset();
}

// Files

Result<> PavoDocument::read(const QString& path)
{
    const QString ext = QFileInfo(path).suffix();
    const bool isTemplate = ext == u"pavotemplate";
    if (ext != u"pavo" && !isTemplate) return readPicture(path);
    Result<> result = _drawing.load(path);
    if (!result) return result;
    if (const auto t = _drawing.takeViewTransform()) _view->setTransform(*t);
    _file_name = isTemplate ? std::nullopt : std::optional<QString>(path);
    updateToolDisplay();
    _shell.editedChanged(isEdited());
    return result;
}

Result<> PavoDocument::readPicture(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read();
    if (image.isNull())
        return Failure{QCoreApplication::translate("Pavo", "%1 is neither a Pavo drawing nor a picture Pavo can read (%2).")
                           .arg(QFileInfo(path).fileName(), reader.errorString())};
    if (Result<> placed = placeImage(image, point(_view->size()) / 2.0f); !placed) return placed;
    // The picture is the document's only content: opening it is no edit to undo.
    _drawing.undoManager().removeAllActions();
    _file_name.reset();
    return {};
}

Result<> PavoDocument::saveTo(const QString& path)
{
    const AffineTransform viewTransform = _view->transform();
    Result<> result = _drawing.save(path, _shell.windowFrame(), viewTransform);
    if (result) _file_name = path;
    return result;
}

Result<> PavoDocument::writeCopy(const QString& path) const
{
    return _drawing.writeCopy(path, _shell.windowFrame(), _view->transform());
}

Result<> PavoDocument::readRecovered(const QString& path)
{
    Result<> result = read(path);
    if (!result) return result;
    _file_name.reset();
    _drawing.markChanged();
    return result;
}

Result<> PavoDocument::revert()
{
    if (!_file_name) return Failure{QCoreApplication::translate("Pavo", "The drawing has never been saved, so there is nothing to go back to.")};
    _view->finishGesture();
    endGesture();
    return read(*_file_name);
}

// Input

void PavoDocument::mouseDown(const ToolEvent& event, PointerButton button)
{
    if (_view->inGesture()) _view->finishGesture();
    endGesture();
    _gesture.emplace(_drawing.undoManager());
    _view->mouseDown(withPressureCurve(event), button);
    if (!_view->inGesture()) endGesture();
}

void PavoDocument::mouseDragged(const ToolEvent& event) { _view->mouseDragged(withPressureCurve(event)); }

ToolEvent PavoDocument::withPressureCurve(ToolEvent event) const
{
    event.pressure = _pressure_curve.map(event.pressure);
    return event;
}

void PavoDocument::mouseUp(const ToolEvent& event)
{
    _view->mouseUp(event);
    if (!_view->inGesture()) endGesture();
}

void PavoDocument::endGesture() { _gesture.reset(); }

void PavoDocument::flagsChanged(const ToolEvent& event) { _view->flagsChanged(event); }

bool PavoDocument::keyDown(const QString& text) { return _view->keyDown(text); }

// Tools

void PavoDocument::setTool(Tool* tool)
{
    if (!tool || tool == _tool) return;
    if (_tool) _tool->toolDeactivate();
    _tool = tool;
    refreshCursor();
    updateToolDisplay();
    _tool->toolActivate();
    _view->setNeedsDisplay();
}

QString PavoDocument::currentToolAction() const
{
    if (_tool == _zoom.get()) return QStringLiteral("zoomTool:");
    if (_tool == _fill.get()) return QStringLiteral("fillTool:");
    if (_tool == _rotate.get()) return QStringLiteral("rotateTool:");
    if (_tool == _move.get()) return QStringLiteral("moveTool:");
    if (_tool == _arrow.get()) return QStringLiteral("arrowTool:");
    return QStringLiteral("penTool:");
}

void PavoDocument::useOnce(Tool& navigation)
{
    navigation.restoreToolAfter(_tool);
    setTool(&navigation);
}

void PavoDocument::selectAll()
{
    setTool(_arrow.get());
    _drawing.setSelection(_drawing.strokes().strokeArray());
}

void PavoDocument::arrange(Drawing::Arrangement arrangement)
{
    if (_tool != _arrow.get()) return;
    const UndoTransaction command(_drawing.undoManager());
    _drawing.arrange(_drawing.selection(), arrangement);
}

void PavoDocument::refreshCursor()
{
    if (_view) _view->refreshCursor();
}

void PavoDocument::updateToolDisplay() { _shell.toolDisplayChanged(); }

// Settings

void PavoDocument::setPenOpacity(float opacity)
{
    _pen->setOpacity(opacity);
    updateToolDisplay();
}

void PavoDocument::setPenSize(float radius)
{
    _pen->setRadius(radius);
    updateToolDisplay();
}

void PavoDocument::setPenSmoothing(float smoothing)
{
    _pen->setSmoothing(smoothing);
    updateToolDisplay();
}

void PavoDocument::setPenParameter(const QString& name, float value)
{
    _pen->setParameter(name, value);
    updateToolDisplay();
}

void PavoDocument::reloadPenTypes(const PenFolders& folders)
{
    _pen_folders = folders;
    _pen->reloadPenTypes(folders);
    updateToolDisplay();
}

bool PavoDocument::setPenTypeName(const QString& name)
{
    if (!_pen->penTypeNames().contains(name)) return false;
    setTool(_pen.get());
    _pen->setPenTypeName(name);
    updateToolDisplay();
    return true;
}

void PavoDocument::setPenTransferMode(int mode)
{
    _pen->setTransferMode(mode);
    updateToolDisplay();
}

void PavoDocument::setPenColor(const QColor& color)
{
    _pen->setColor(color);
    updateToolDisplay();
}

void PavoDocument::setFillColor(const QColor& color)
{
    _fill->setColor(color);
    updateToolDisplay();
}

void PavoDocument::setFillOpacity(float opacity)
{
    _fill->setOpacity(opacity);
    updateToolDisplay();
}

void PavoDocument::setFillTolerance(float tolerance)
{
    _fill->setTolerance(tolerance);
    updateToolDisplay();
}

void PavoDocument::setFillExpand(int expand)
{
    _fill->setExpand(expand);
    updateToolDisplay();
}

void PavoDocument::setPressureCurve(const PressureCurve& curve)
{
    _pressure_curve = curve;
    updateToolDisplay();
}

void PavoDocument::setFillGap(int gap)
{
    _fill->setGap(gap);
    updateToolDisplay();
}

void PavoDocument::setFillPrecision(int precision)
{
    _fill->setPrecision(precision);
    updateToolDisplay();
}

void PavoDocument::setFillTransferMode(int mode)
{
    _fill->setTransferMode(mode);
    updateToolDisplay();
}

// Colours

void PavoDocument::setToolColor(const QColor& color)
{
    if (_tool == _fill.get()) _fill->setColor(color);
    else _pen->setColor(color);
    updateToolDisplay();
}

QColor PavoDocument::toolColor() const { return _tool == _fill.get() ? _fill->color() : _pen->color(); }

void PavoDocument::toolColorChanged(const QColor& color) { setToolColor(color); }

void PavoDocument::backgroundColorChanged(const QColor& color) { _drawing.setBackgroundColor(color); }

void PavoDocument::clearBackgroundColor() { _drawing.setBackgroundColor(std::nullopt); }

// Strokes

// Each menu command is one undo step, however many edits it makes.

void PavoDocument::deleteStrokes()
{
    const UndoTransaction command(_drawing.undoManager());
    if (_tool == _arrow.get()) _drawing.removeStrokes(_drawing.selection());
    else _drawing.removeLastStroke();
}

void PavoDocument::mergeStrokes()
{
    const UndoTransaction command(_drawing.undoManager());
    if (_tool == _arrow.get()) _drawing.mergeStrokes(_drawing.selection());
    else _drawing.mergeTopTwoStrokes();
}

void PavoDocument::clearDrawing()
{
    const UndoTransaction command(_drawing.undoManager());
    _drawing.clear();
}

void PavoDocument::undo()
{
    // A gesture under way keeps its step open; it ends before the history moves.
    _view->finishGesture();
    endGesture();
    _drawing.undoManager().undo();
}

void PavoDocument::redo()
{
    _view->finishGesture();
    endGesture();
    _drawing.undoManager().redo();
}

// The drawing's news: the one way the view learns of a change, whether it was made,
// undone or redone.

void PavoDocument::drawingChanged(const DrawingChange& change)
{
    switch (change.kind) {
    case DrawingChange::StrokeAdded: _view->strokeAdded(change.stroke); break;
    case DrawingChange::Strokes: _view->redraw(); break;
    case DrawingChange::Selection: _view->setNeedsDisplay(); break;
    case DrawingChange::Background:
        _shell.backgroundChanged();
        _view->setNeedsDisplay();
        break;
    }
}

void PavoDocument::editedChanged(bool edited) { _shell.editedChanged(edited); }

void PavoDocument::historyChanged() { _shell.undoStateChanged(); }

// The eraser end

void PavoDocument::listenToProximity(ProximityCenter& center)
{
    _proximity = center.listen([this](const ProximityInfo& info) { handleProximity(info); });
}

void PavoDocument::handleProximity(const ProximityInfo& info)
{
    const auto entering = proximity_value<std::uint8_t>(info, kEnterProximity);
    const auto pointer = proximity_value<std::uint16_t>(info, kPointerID);
    if (!entering || !pointer || *entering == 0 || *pointer != 0) return;
    const auto type = proximity_value<std::uint8_t>(info, kPointerType);
    const bool eraser = type && *type == kPointerTypeEraser;
    if (eraser == _erasing) return;
    _erasing = eraser;
    if (eraser) {
        _eraser_saved_pen_type_name.reset();
        _eraser_saved_tool = nullptr;
        if (_tool != _pen.get()) _eraser_saved_tool = _tool;
        else _eraser_saved_pen_type_name = _pen->penTypeName();
        // The pen comes forward even when no pen type is named Eraser.
        setTool(_pen.get());
        setPenTypeName(StringTable::named(_resource_root, QStringLiteral("Lua")).translate(QStringLiteral("Eraser")));
        return;
    }
    if (_eraser_saved_tool) setTool(_eraser_saved_tool);
    if (_eraser_saved_pen_type_name) setPenTypeName(*_eraser_saved_pen_type_name);
}
