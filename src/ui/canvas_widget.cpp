#include "canvas_widget.h"

#include "event_script.h"
#include "input_mapping.h"
#include "pavo_application.h"

#include <QCursor>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPixmap>
#include <QTabletEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

// A resize that stops for this long ends the live resize, and the canvas is rebuilt.
constexpr int kLiveResizeSettleMs = 150;

Point point_of(QPointF p) { return {float(p.x()), float(p.y())}; }

QCursor qt_cursor(const ToolCursor& cursor)
{
    switch (cursor.shape) {
    case ToolCursor::Shape::Arrow: return Qt::ArrowCursor;
    case ToolCursor::Shape::Image:
        if (!cursor.image.isNull())
            return QCursor(QPixmap::fromImage(cursor.image), cursor.hotSpot.x(), cursor.hotSpot.y());
        return Qt::CrossCursor;
    case ToolCursor::Shape::Crosshair: break;
    }
    return Qt::CrossCursor;
}

ScriptEvent script_event(ScriptEvent::Kind kind, const ToolEvent& e = {})
{
    ScriptEvent s;
    s.kind = kind;
    s.point = e.location;
    s.pressure = e.pressure;
    s.modifiers = e.modifierFlags;
    return s;
}

} // namespace

CanvasWidget::CanvasWidget(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Moves without a button place the pen's outline.
    setMouseTracking(true);
    setTabletTracking(true);
    setCursor(Qt::CrossCursor);
    setAcceptDrops(true);
    _live_resize_end.setSingleShot(true);
    _live_resize_end.setInterval(kLiveResizeSettleMs);
    connect(&_live_resize_end, &QTimer::timeout, this, [this] {
        if (_document) _document->view().endLiveResize();
        update();
    });
}

void CanvasWidget::setDocument(PavoDocument* document)
{
    _document = document;
    refreshCursor();
    update();
}

void CanvasWidget::setNeedsDisplayInRect(const Rect& r)
{
    if (!nice(r)) return;
    const QRect pixels(int(std::floor(r.origin.x)) - 1, int(std::floor(r.origin.y)) - 1,
                       int(std::ceil(r.size.width)) + 3, int(std::ceil(r.size.height)) + 3);
    update(pixels.intersected(rect()));
}

void CanvasWidget::refreshCursor()
{
    if (_document) setCursor(qt_cursor(_document->view().cursor()));
    if (_document && _document->tool() != &_document->pen()) hideOutline();
}

void CanvasWidget::hover(QPointF at, float pressure)
{
    if (!_document || _pressed || _document->tool() != &_document->pen()) return hideOutline();
    hideOutline();
    _outline = BrushOutline{at, _document->pen().radius(), pressure};
    update(outline_bounds(*_outline));
}

void CanvasWidget::hideOutline()
{
    if (_outline) update(outline_bounds(*_outline));
    _outline.reset();
}

void CanvasWidget::leaveEvent(QEvent* event)
{
    hideOutline();
    QWidget::leaveEvent(event);
}

bool CanvasWidget::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture && nativeGesture(static_cast<QNativeGestureEvent*>(event)))
        return true;
    const bool screen = event->type() == QEvent::ScreenChangeInternal;
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (screen || event->type() == QEvent::DevicePixelRatioChange) update();
#else
    if (screen) update();
#endif
    return QWidget::event(event);
}

void CanvasWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, _document && _document->backgroundColor() ? *_document->backgroundColor()
                                                                         : QColor(Qt::white));
    if (!_document) return;
    _document->view().paint(painter, Rect{{float(dirty.x()), float(dirty.y())},
                                          {float(dirty.width()), float(dirty.height())}});
    if (_outline && dirty.intersects(outline_bounds(*_outline))) paint_outline(painter, *_outline);
}

void CanvasWidget::record(const ScriptEvent& event)
{
    if (auto* app = PavoApplication::instance(); app && app->recording()) app->record(event, size());
}

void CanvasWidget::down(QPointF at, float pressure, Qt::KeyboardModifiers modifiers, PointerButton button)
{
    if (!_document) return;
    _pressed = true;
    hideOutline();
    const ToolEvent e{point_of(at), pressure, modifier_flags(modifiers)};
    _last_flags = e.modifierFlags;
    ScriptEvent line = script_event(ScriptEvent::Kind::Down, e);
    line.middle = button == PointerButton::Middle;
    record(line);
    _document->mouseDown(e, button);
    refreshCursor();
}

void CanvasWidget::drag(QPointF at, float pressure, Qt::KeyboardModifiers modifiers)
{
    if (!_document || !_pressed) return;
    const ToolEvent e{point_of(at), pressure, modifier_flags(modifiers)};
    record(script_event(ScriptEvent::Kind::Move, e));
    _document->mouseDragged(e);
}

void CanvasWidget::up(QPointF at, Qt::KeyboardModifiers modifiers)
{
    if (!_document || !_pressed) return;
    _pressed = false;
    const ToolEvent e{point_of(at), 0, modifier_flags(modifiers)};
    record(script_event(ScriptEvent::Kind::Up, e));
    _document->mouseUp(e);
}

// One button at a time makes a gesture; the other buttons wait for its end.
void CanvasWidget::mousePressEvent(QMouseEvent* event)
{
    const Qt::MouseButton button = event->button();
    if (_pressed || (button != Qt::LeftButton && button != Qt::MiddleButton))
        return QWidget::mousePressEvent(event);
    _button = button;
    down(event->position(), 1.0f, event->modifiers(),
         button == Qt::MiddleButton ? PointerButton::Middle : PointerButton::Left);
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!_pressed && event->buttons() == Qt::NoButton) hover(event->position(), 0);
    if (!_pressed || !(event->buttons() & _button)) return QWidget::mouseMoveEvent(event);
    drag(event->position(), 1.0f, event->modifiers());
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (!_pressed || event->button() != _button) return QWidget::mouseReleaseEvent(event);
    up(event->position(), event->modifiers());
    refreshCursor();
}

void CanvasWidget::wheelEvent(QWheelEvent* event)
{
    // A touchpad's pixels scroll exactly as far; a wheel's eighths of a degree go by notches
    // of 15 degrees.
    const QPointF notches = event->pixelDelta().isNull()
                                ? QPointF(event->angleDelta()) / 120.0
                                : QPointF(event->pixelDelta()) / double(PavoView::kScrollPixelsPerNotch);
    event->accept();
    wheel(event->position(), notches, event->modifiers());
}

void CanvasWidget::wheel(QPointF at, QPointF notches, Qt::KeyboardModifiers modifiers)
{
    if (!_document || notches.isNull()) return;
    // Within what a script can carry, so that the recording replays the same.
    const double most = kMaxScriptNotches;
    notches = {std::clamp(notches.x(), -most, most), std::clamp(notches.y(), -most, most)};
    ScriptEvent line = script_event(ScriptEvent::Kind::Wheel, {point_of(at), 1, modifier_flags(modifiers)});
    line.notches = point_of(notches);
    record(line);
    _document->view().scrollWheel(line.point, line.notches, line.modifiers);
}

bool CanvasWidget::nativeGesture(QNativeGestureEvent* event)
{
    if (!_document) return false;
    if (event->gestureType() == Qt::ZoomNativeGesture) {
        // The value is the change of scale since the last event.
        const float factor = float(1.0 + event->value());
        // Beyond what a script can carry no hand pinches in one step.
        if (!(factor >= 1 / kMaxScriptPinch && factor <= kMaxScriptPinch)) return true;
        ScriptEvent line = script_event(ScriptEvent::Kind::Pinch, {point_of(event->position())});
        line.factor = factor;
        record(line);
        _document->view().pinch(line.point, factor);
        return true;
    }
    if (event->gestureType() == Qt::RotateNativeGesture) {
        // A turn in degrees replays as the wheel that turns as far.
        const double steps = event->value() / double(PavoView::kTurnStepDegrees);
        wheel(event->position(), {0, steps}, Qt::ControlModifier | Qt::ShiftModifier);
        return true;
    }
    return false;
}

void CanvasWidget::tabletEvent(QTabletEvent* event)
{
    // Accepted, so Qt makes no mouse events of the same input.
    event->accept();
    const float pressure = std::clamp(float(event->pressure()), 0.0f, 1.0f);
    switch (event->type()) {
    case QEvent::TabletPress:
        if (event->button() != Qt::LeftButton) return;
        if (auto* app = PavoApplication::instance()) app->stylusPressed(*event);
        down(event->position(), pressure, event->modifiers());
        break;
    case QEvent::TabletMove:
        if (!_pressed) hover(event->position(), pressure);
        drag(event->position(), pressure, event->modifiers());
        break;
    case QEvent::TabletRelease:
        if (event->button() != Qt::LeftButton) return;
        up(event->position(), event->modifiers());
        break;
    default: event->ignore(); break;
    }
}

void CanvasWidget::modifiersChanged(Qt::KeyboardModifiers modifiers)
{
    if (!_document) return;
    const unsigned flags = modifier_flags(modifiers);
    if (flags == _last_flags) return;
    _last_flags = flags;
    const QPointF at = mapFromGlobal(QCursor::pos());
    const ToolEvent e{point_of(at), 0, flags};
    record(script_event(ScriptEvent::Kind::Flags, e));
    _document->flagsChanged(e);
    refreshCursor();
}

void CanvasWidget::keyPressEvent(QKeyEvent* event)
{
    modifiersChanged(event->modifiers());
    if (!_document) return QWidget::keyPressEvent(event);
    const int key = event->key();
    if (key == Qt::Key_Space) {
        if (!event->isAutoRepeat()) holdSpace(true);
        return;
    }
    // Delete and backspace only bare, as before; the arrows and brackets with any modifier
    // the menus leave over (a bracket may need AltGr), and they repeat while held.
    const bool deletes = key == Qt::Key_Delete || key == Qt::Key_Backspace;
    const bool navigates = key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
                           key == Qt::Key_Down || key == Qt::Key_BracketLeft || key == Qt::Key_BracketRight;
    if ((deletes && event->modifiers() == Qt::NoModifier) || navigates) {
        ScriptEvent line = script_event(ScriptEvent::Kind::Key);
        line.name = script_key_name(key);
        line.modifiers = deletes ? 0 : modifier_flags(event->modifiers());
        if (_document->keyPressed(line.name, line.modifiers)) {
            record(line);
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void CanvasWidget::keyReleaseEvent(QKeyEvent* event)
{
    modifiersChanged(event->modifiers());
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) return holdSpace(false);
    QWidget::keyReleaseEvent(event);
}

void CanvasWidget::holdSpace(bool down)
{
    if (!_document || down == _space_held) return;
    _space_held = down;
    ScriptEvent line = script_event(down ? ScriptEvent::Kind::KeyDown : ScriptEvent::Kind::KeyUp);
    line.name = QStringLiteral("space");
    record(line);
    _document->keyHeld(line.name, down);
    refreshCursor();
}

void CanvasWidget::focusOutEvent(QFocusEvent* event)
{
    // Keys let go in another window never reach us.
    modifiersChanged(Qt::NoModifier);
    holdSpace(false);
    QWidget::focusOutEvent(event);
}

void CanvasWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!_document) return;
    const Size size{float(width()), float(height())};
    const bool live = isVisible();
    _document->view().setSize(size, live);
    if (live) _live_resize_end.start();
}

// Drops

void CanvasWidget::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* mime = event->mimeData();
    // Every address is taken, so that one the document refuses is refused with a reason.
    const bool picture = mime && (mime->hasImage() || mime->formats().join(u' ').contains(u"image/"));
    if (_document && mime && (mime->hasUrls() || picture)) event->acceptProposedAction();
}

void CanvasWidget::dropEvent(QDropEvent* event)
{
    if (!_document || !event->mimeData()) return;
    event->acceptProposedAction();
    _document->drop(*event->mimeData(), point_of(event->position()));
}
