#pragma once

// The drawing area's logic, without the widget: it owns the canvas sized to the view, keeps
// the view transformation (zoom, pan and rotation, held as the canvas's transformation),
// renders the drawing into the canvas when something changed, and hands pointer and
// modifier events to the document's current tool in the order tools rely on.
//
// Rendering is lazy: a change only marks the canvas stale and asks the display for a
// repaint; the canvas is brought up to date by paint, before every tool event, and by
// canvasForReading for export, copy and print. A stroke added on top is drawn at once,
// since that costs no more than drawing it later.
//
// The view widget calls setSize, the event methods and paint; the document controller
// passes on the drawing's news (strokeAdded, redraw), and calls the navigation methods for
// the menu commands.

#include "canvas.h"
#include "stroke_index.h"
#include "tool.h"
#include "tool_host.h"
#include "view_host.h"

#include <QString>

#include <memory>
#include <optional>

class QPainter;

class PavoView : public ToolView {
    struct Tag {
        explicit Tag() = default;
    };

public:
    // The zoom factor never leaves this range; a request beyond it stops at its edge.
    static constexpr float kMinScale = 1.0f / 1000;
    static constexpr float kMaxScale = 1000;

    // Null when no canvas of that size can be made.
    static std::unique_ptr<PavoView> create(ViewDocument& document, ViewDisplay& display, Size size);
    PavoView(Tag, ViewDocument& document, ViewDisplay& display, std::unique_ptr<PavoCanvas> canvas);
    PavoView(const PavoView&) = delete;
    PavoView& operator=(const PavoView&) = delete;

    // ToolView. canvas() is the canvas as it is; tools get it up to date during their events.
    PavoCanvas& canvas() override { return *_canvas; }
    float scale() const override;
    AffineTransform transform() const override { return _canvas->transform(); }
    void setNeedsDisplayInRect(const Rect& viewRect) override;
    void setNeedsDisplay() override;
    QColor backgroundColor() const override;
    ToolDocument& document() override { return _document; }

    // Refuses (false, nothing changes) a transformation that is not finite and invertible
    // or whose zoom lies outside the range. Marks the canvas for re-rendering, not the
    // document as changed: this is how a saved transformation comes back.
    bool setTransform(const AffineTransform& t);

    // The view's size in pixels. During a live resize the old canvas is kept and shown as
    // it is; otherwise, and at the end of the live resize, the canvas is rebuilt at the new
    // size with the same transformation. False for a size that is negative or not finite.
    bool setSize(Size size, bool liveResize);
    void endLiveResize();
    Size size() const { return _size; }

    // Rebuilds the canvas if its size is due to change and re-renders it if it is stale.
    void ensureCanvasUpToDate();
    const PavoCanvas& canvasForReading();
    // The canvas at the view's size and transformation, its pixels left as they are: for
    // renders at any size, which read only where the view looks.
    const PavoCanvas& canvasAtViewSize();

    // The drawing changed in a way that needs a full re-render.
    void redraw();
    // A stroke was added on top of the drawing.
    void strokeAdded(const StrokePtr& stroke);

    // Paints the part `dirty` of the picture (view coordinates): the canvas, then the
    // current tool's feedback on top. The widget paints the background colour beneath.
    void paint(QPainter& painter, const Rect& dirty);

    // The cursor of the tool that would receive the next event.
    ToolCursor cursor() const;
    void refreshCursor();

    // Pointer and modifier events, in view coordinates. A gesture belongs to the tool that
    // received its down; moves and an up without a down are ignored. Modifier changes and
    // deletes that arrive during a gesture wait for its end, as tools expect none meanwhile.
    void mouseDown(const ToolEvent& event);
    void mouseDragged(const ToolEvent& event);
    void mouseUp(const ToolEvent& event);
    void flagsChanged(const ToolEvent& event);
    // The text a key produced. Delete and backspace ask the document to delete and return
    // true; any other key returns false, to be passed on.
    bool keyDown(const QString& text);
    bool inGesture() const { return _gesture_tool != nullptr; }
    // Ends a gesture under way with an up where it was last seen; a second down does so
    // itself.
    void finishGesture();

    // Navigation. Each returns false and changes nothing when refused; otherwise it
    // re-renders and marks the document as changed.
    // Scales by s about the view point p and brings the world point under p to the centre.
    bool zoomToPoint(Point p, float s) override;
    // Fills the view with the rectangle (view coordinates) along its tighter dimension.
    bool zoomToBitmapRect(const Rect& r) override;
    // Turns the drawing about the view centre by the angle swept from a to b.
    bool rotateFrom(Point a, Point b) override;
    // Moves the drawing by b - a.
    bool moveFrom(Point a, Point b) override;
    bool zoomIn();
    bool zoomOut();
    // Nothing for an empty drawing.
    bool zoomToFit();
    // Takes the rotation out, keeping the zoom and the world point at the centre.
    bool resetRotation();

private:
    Point viewCentre() const { return point(_canvas->size()) / 2.0f; }
    bool reallocationPending() const { return !_in_live_resize && _canvas->size() != _size; }
    // The gesture's tool while one is under way, else the document's current tool.
    Tool* activeTool() const;
    void reallocateIfNeeded();
    void renderIfNeeded();
    // The index of the drawing's strokes, built again after the drawing changed.
    const StrokeIndex& strokeIndex();
    // Moves the picture by whole pixels and renders only what comes into view.
    bool scrollPicture(int dx, int dy);
    bool finishViewChange(const AffineTransform& before, bool applied);
    void endGesture(const ToolEvent& up);
    void deliverDeferred();

    ViewDocument& _document;
    ViewDisplay& _display;
    std::unique_ptr<PavoCanvas> _canvas;
    Size _size;
    bool _in_live_resize = false;
    bool _needs_redraw = true;
    std::unique_ptr<StrokeIndex> _index;

    // The tool of the gesture under way, looked up once at its down.
    Tool* _gesture_tool = nullptr;
    ToolEvent _last_gesture_event;
    std::optional<ToolEvent> _deferred_flags;
    bool _deferred_delete = false;
};
