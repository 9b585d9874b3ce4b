#include "canvas_widget.h"

#include "event_script.h"
#include "input_mapping.h"
#include "pavo_application.h"

#include <QCursor>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTabletEvent>

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
}

bool CanvasWidget::event(QEvent* event)
{
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
}

void CanvasWidget::record(const ScriptEvent& event)
{
    if (auto* app = PavoApplication::instance(); app && app->recording()) app->record(event, size());
}

void CanvasWidget::down(QPointF at, float pressure, Qt::KeyboardModifiers modifiers)
{
    if (!_document) return;
    _pressed = true;
    const ToolEvent e{point_of(at), pressure, modifier_flags(modifiers)};
    _last_flags = e.modifierFlags;
    record(script_event(ScriptEvent::Kind::Down, e));
    _document->mouseDown(e);
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

void CanvasWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    down(event->position(), 1.0f, event->modifiers());
}

void CanvasWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    drag(event->position(), 1.0f, event->modifiers());
}

void CanvasWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    up(event->position(), event->modifiers());
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
    const bool isDelete = event->key() == Qt::Key_Delete;
    const bool isBackspace = event->key() == Qt::Key_Backspace;
    if ((isDelete || isBackspace) && event->modifiers() == Qt::NoModifier) {
        ScriptEvent key = script_event(ScriptEvent::Kind::Key);
        key.name = isDelete ? QStringLiteral("delete") : QStringLiteral("backspace");
        record(key);
        _document->keyDown(isDelete ? QStringLiteral("\x7f") : QStringLiteral("\b"));
        return;
    }
    QWidget::keyPressEvent(event);
}

void CanvasWidget::keyReleaseEvent(QKeyEvent* event)
{
    modifiersChanged(event->modifiers());
    QWidget::keyReleaseEvent(event);
}

void CanvasWidget::focusOutEvent(QFocusEvent* event)
{
    // Keys let go in another window never reach us.
    modifiersChanged(Qt::NoModifier);
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
