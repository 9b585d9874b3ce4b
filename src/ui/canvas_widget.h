#pragma once

// The drawing area of a document window: shows the view's picture over the document's
// background colour and hands mouse, tablet, wheel, touchpad and key input to the document,
// recording each as the event script line that replays it. Tablet input
// keeps its pressure and every sample; a mouse button presses with full pressure.

#include "brush_outline.h"
#include "pavo_document.h"
#include "view_host.h"

#include <QTimer>
#include <QWidget>

#include <optional>

class QNativeGestureEvent;
struct ScriptEvent;

class CanvasWidget final : public QWidget, public ViewDisplay {
    Q_OBJECT

public:
    explicit CanvasWidget(QWidget* parent = nullptr);

    // The document whose view this widget shows; set once, right after it is made.
    void setDocument(PavoDocument* document);

    // ViewDisplay.
    void setNeedsDisplayInRect(const Rect& viewRect) override;
    void setNeedsDisplay() override { update(); }
    void refreshCursor() override;
    float screenPixelRatio() const override { return float(devicePixelRatioF()); }

    QSize sizeHint() const override { return {800, 600}; }

protected:
    // A move to a screen of another pixel density repaints, and the view renders anew at it.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The wheel and touchpad scroll, zoom and turn the view; see PavoView::scrollWheel.
    void wheelEvent(QWheelEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Files and pictures dropped on the drawing are placed where they are let go.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void down(QPointF at, float pressure, Qt::KeyboardModifiers modifiers,
              PointerButton button = PointerButton::Left);
    void drag(QPointF at, float pressure, Qt::KeyboardModifiers modifiers);
    void up(QPointF at, Qt::KeyboardModifiers modifiers);
    void modifiersChanged(Qt::KeyboardModifiers modifiers);
    void record(const ScriptEvent& event);
    // A touchpad's pinch and two-finger turn.
    bool nativeGesture(QNativeGestureEvent* event);
    void wheel(QPointF at, QPointF notches, Qt::KeyboardModifiers modifiers);
    // Space held and let go: the temporary hand.
    void holdSpace(bool down);
    // The pen's outline at a hovering pointer; hidden while drawing, where it would lag the
    // stroke, and with any other tool.
    void hover(QPointF at, float pressure);
    void hideOutline();

    PavoDocument* _document = nullptr;
    QTimer _live_resize_end;
    bool _pressed = false;
    Qt::MouseButton _button = Qt::NoButton;
    bool _space_held = false;
    unsigned _last_flags = 0;
    std::optional<BrushOutline> _outline;
};
