#pragma once

// The drawing area's logic, without the widget: it owns the canvas sized to the view, keeps
// the view transformation (zoom, pan and rotation), renders the drawing into the canvas
// when something changed, and hands pointer and modifier events to the document's current
// tool in the order tools rely on.
//
// Sizes, events, the transformation and the rectangles for redisplay are in view pixels,
// whatever the screen. The canvas holds device pixels: the display's device pixel ratio
// times the view's size, under the view transformation followed by a scaling by that ratio,
// so strokes are drawn at the screen's own resolution and shown without scaling.
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
#include "view_geometry.h"
#include "view_host.h"

#include <QString>

#include <memory>
#include <optional>

class QPainter;

// Which button a pointer gesture began with: the middle button pans whatever the tool.
enum class PointerButton { Left, Middle };

// The canvas's transformation for a view transformation: the view's, then the screen's
// device pixels per view pixel.
inline AffineTransform canvas_transform(const AffineTransform& view, float ratio)
{
    return ratio == 1 ? view : AffineTransform::scaling(ratio, ratio).after(view);
}

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
    PavoView(Tag, ViewDocument& document, ViewDisplay& display, std::unique_ptr<PavoCanvas> canvas, Size size,
             float ratio);
    PavoView(const PavoView&) = delete;
    PavoView& operator=(const PavoView&) = delete;

    // ToolView. canvas() is the canvas as it is; tools get it up to date during their events.
    PavoCanvas& canvas() override { return *_canvas; }
    float scale() const override;
    AffineTransform transform() const override { return _transform; }
    // The canvas's device pixels per view pixel.
    float pixelRatio() const override { return _ratio; }
    // The size the canvas shows, in view pixels: size() but during a live resize.
    Size viewSize() override { return _canvas_size; }
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
    // Where the view looks, at the view's size, in view pixels: for renders at any size,
    // which need none of the canvas's pixels.
    ViewGeometry viewGeometry();

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
    // A middle-button gesture, and any gesture begun while the hand is held, pans the view
    // whatever the tool; the gesture keeps the tool it began with.
    void mouseDown(const ToolEvent& event, PointerButton button = PointerButton::Left);
    void mouseDragged(const ToolEvent& event);
    void mouseUp(const ToolEvent& event);
    void flagsChanged(const ToolEvent& event);
    // The text a key produced. Delete and backspace ask the document to delete and return
    // true; any other key returns false, to be passed on.
    bool keyDown(const QString& text);
    bool inGesture() const { return _gesture_tool != nullptr; }
    // Space held down: the hand takes the gestures that begin while it is held and shows
    // its cursor; letting go gives the tool and its cursor back.
    void holdHand(bool held);
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

    // Navigation by wheel, pinch and keys; zoomAbout and rotateAbout keep the drawing point
    // under p where it is.
    static constexpr float kWheelZoomStep = 1.25f;
    static constexpr float kTurnStepDegrees = 15;
    // View pixels a notch of the wheel scrolls; a touchpad's pixel delta is divided by it
    // into notches, so that it scrolls exactly as far.
    static constexpr float kScrollPixelsPerNotch = 48;
    bool zoomAbout(Point p, float s);
    // Positive radians turn clockwise on the screen (y points down).
    bool rotateAbout(Point p, float radians);
    // Wheel notches at p, positive y away from the user: scrolls the drawing (sideways with
    // shift alone), zooms about p with command, turns about p with command and shift.
    // Like pinch and scrollByTenth, nothing during a gesture, whose tool would find the
    // drawing moved under it.
    bool scrollWheel(Point p, Point notches, unsigned modifiers);
    bool pinch(Point p, float factor);
    // The zoom at 100%, keeping the rotation and the world point at the centre.
    bool actualSize();
    // Turns about the centre by whole steps: negative anticlockwise.
    bool turnSteps(int steps);
    // Shows what lies a tenth of the view further in the direction (-1, 0 or 1 each way),
    // as a scroll bar would: the drawing moves the other way.
    bool scrollByTenth(int dx, int dy);

private:
    Point viewCentre() const { return point(_canvas_size) / 2.0f; }
    // The display's ratio, or 1 when it gives none that can be used.
    float displayRatio() const;
    bool reallocationPending() const
    {
        return !_in_live_resize && (_canvas_size != _size || displayRatio() != _display_ratio);
    }
    // False, changing nothing, when the canvas refuses it.
    bool applyTransform(const AffineTransform& t);
    // The gesture's tool while one is under way, else the document's current tool.
    Tool* activeTool() const;
    void reallocateIfNeeded();
    void renderIfNeeded();
    // The index of the drawing's strokes, built again after the drawing changed.
    const StrokeIndex& strokeIndex();
    // Moves the picture by whole device pixels, the view to the moved transformation, and
    // renders only what comes into view.
    bool scrollPicture(int dx, int dy, const AffineTransform& moved);
    bool finishViewChange(const std::optional<AffineTransform>& t);
    void endGesture(const ToolEvent& up);
    void deliverDeferred();

    ViewDocument& _document;
    ViewDisplay& _display;
    std::unique_ptr<PavoCanvas> _canvas;
    AffineTransform _transform;
    // The canvas's size in view pixels and its device pixels per view pixel.
    Size _canvas_size;
    float _ratio = 1;
    // The display ratio the canvas was last made for, even when that failed.
    float _display_ratio = 1;
    // The wanted size in view pixels.
    Size _size;
    bool _in_live_resize = false;
    bool _needs_redraw = true;
    std::unique_ptr<StrokeIndex> _index;

    // The tool of the gesture under way, looked up once at its down.
    Tool* _gesture_tool = nullptr;
    ToolEvent _last_gesture_event;
    // The temporary hand, apart from the move tool so that a single use of that one is kept.
    std::unique_ptr<Tool> _hand;
    bool _hand_held = false;
    // The part of the scrolls so far that made no whole pixel.
    Point _scroll_rest;
    std::optional<ToolEvent> _deferred_flags;
    bool _deferred_delete = false;
};
