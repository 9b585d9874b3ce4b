#pragma once

// The one set of stand-ins the tests share: a document holding a real Drawing, a view with
// a real canvas, a display, alerts that record, and a tool that records what it receives.

#include "drawing.h"
#include "lua_host.h"
#include "tool.h"
#include "tool_host.h"
#include "view_host.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

using CallLog = std::vector<std::string>;

class FakeDocument : public ViewDocument, public DrawingObserver {
public:
    explicit FakeDocument(CallLog* log = nullptr) : _log(log) { _drawing.setObserver(this); }
    ~FakeDocument() override { _drawing.setObserver(nullptr); }
    Tool* tool() override { return current; }
    // Deactivates the old tool and activates the new one, as the application does.
    void setTool(Tool* tool) override;
    void setToolColor(const QColor& color) override { toolColor = color; }
    void refreshCursor() override { ++cursorRefreshes; }
    Drawing& drawing() override { return _drawing; }
    void deleteSelection() override { if (_log) _log->push_back("delete"); }
    void drawingChanged(const DrawingChange& change) override { if (onChange) onChange(change); }
    void editedChanged(bool) override {}
    // Where the drawing's news goes on to (a view under test).
    std::function<void(const DrawingChange&)> onChange;
    Tool* current = nullptr;
    QColor toolColor;
    int cursorRefreshes = 0;

private:
    Drawing _drawing;
    CallLog* _log;
};

class FakeView : public ToolView {
public:
    // By default view pixels are drawing units.
    explicit FakeView(ToolDocument& document, Size size = {200, 100},
                      const AffineTransform& transform = AffineTransform::identity());
    PavoCanvas& canvas() override { return *_canvas; }
    float scale() const override { return length({transform().a, transform().b}); }
    AffineTransform transform() const override { return _canvas->transform(); }
    void setNeedsDisplayInRect(const Rect& r) override { marked.push_back(r); }
    void setNeedsDisplay() override { ++wholeView; }
    QColor backgroundColor() const override { return background; }
    ToolDocument& document() override { return _document; }
    // Navigation is recorded, and zoom and move change the canvas as the view would.
    bool zoomToPoint(Point p, float s) override;
    bool zoomToBitmapRect(const Rect& r) override { return record({Call::ZoomRect, {}, {}, 0, r}); }
    bool rotateFrom(Point a, Point b) override { return record({Call::Rotate, a, b, 0, {}}); }
    bool moveFrom(Point a, Point b) override;
    struct Call {
        enum Kind { Zoom, ZoomRect, Rotate, Move } kind;
        Point a, b;
        float factor = 0;
        Rect rect;
        bool operator==(const Call&) const = default;
    };
    std::vector<Call> calls;
    std::vector<Rect> marked;
    int wholeView = 0;
    QColor background = Qt::white;

private:
    bool record(const Call& c) { calls.push_back(c); return true; }
    ToolDocument& _document;
    std::unique_ptr<PavoCanvas> _canvas;
};

class FakeDisplay : public ViewDisplay {
public:
    void setNeedsDisplayInRect(const Rect& r) override { rects.push_back(r); }
    void setNeedsDisplay() override { ++wholeView; }
    void refreshCursor() override {}
    float screenPixelRatio() const override { return ratio; }
    std::vector<Rect> rects;
    int wholeView = 0;
    float ratio = 1;
};

class RecordingAlerts : public ScriptAlerts {
public:
    struct Alert {
        QString title, message;
    };
    void show(const QString& title, const QString& message) override { alerts.push_back({title, message}); }
    std::vector<Alert> alerts;
};

// Writes every call into the log as "name:call x,y", so that tests see the order in which
// the view and the document talk to tools.
class RecordingTool : public Tool {
public:
    RecordingTool(std::string name, CallLog& log) : _name(std::move(name)), _log(log) {}
    const std::string& name() const { return _name; }
    std::vector<ToolEvent> events;
    std::function<void(const ToolEvent&, ToolView&)> onDown;
    std::function<void(QPainter&)> onDraw;
    ToolCursor cursor;
    void toolDownEvent(const ToolEvent& e, ToolView& view) override;
    void toolMoveEvent(const ToolEvent& e, ToolView&) override { record("move", e); }
    void toolUpEvent(const ToolEvent& e, ToolView&) override { record("up", e); }
    void toolFlagsChanged(const ToolEvent& e, ToolView&) override;
    void toolDrawInView(ToolView&, QPainter& painter) override;
    void toolActivate() override { _log.push_back(_name + ":activate"); }
    void toolDeactivate() override { _log.push_back(_name + ":deactivate"); }
    ToolCursor toolCursor() const override { return cursor; }

private:
    void record(const char* what, const ToolEvent& e);
    std::string _name;
    CallLog& _log;
};
