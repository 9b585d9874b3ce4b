#pragma once

// The base of every interactive tool: the pen, the fill tool, the arrow and the view
// navigation tools. The view sends a tool its events in a fixed order: down, then moves
// while the pointer is held, then up (a click is down and up); modifier changes at any
// time outside a drag; and, after every redraw, a chance to draw feedback on top. Each
// operation does nothing by default.
//
// A tool chosen for a single use remembers the tool to come back to (restoreToolAfter) and
// returns to it at the end of its next completed gesture (after).

#include "tool_event.h"

#include <QImage>
#include <QPoint>
#include <QString>

#include <array>
#include <string>

class QPainter;
class ToolDocument;
class ToolView;

// A cursor picture of the application's resources and the pixel it points with.
struct CursorResource {
    const char* name;
    QPoint hotSpot;
};

inline constexpr CursorResource kZoomInCursor{"zoom_in_cursor", {6, 6}};
inline constexpr CursorResource kZoomOutCursor{"zoom_out_cursor", {6, 6}};
inline constexpr CursorResource kRotateCursor{"rotate_cursor", {6, 6}};
inline constexpr CursorResource kMoveCursor{"move_cursor", {6, 6}};
inline constexpr CursorResource kFillCursor{"fill_cursor", {14, 14}};
inline constexpr CursorResource kColorPickerCursor{"color_picker_cursor", {0, 15}};
inline constexpr std::array<CursorResource, 6> kToolCursors{
    kZoomInCursor, kZoomOutCursor, kRotateCursor, kMoveCursor, kFillCursor, kColorPickerCursor};

// A cursor as tools describe it; the widget layer turns it into the platform cursor.
struct ToolCursor {
    enum class Shape { Crosshair, Arrow, Image };
    Shape shape = Shape::Crosshair;
    QImage image;
    QPoint hotSpot;

    // The picture Images/<name>.png of the application's resources, with its hot spot in
    // image pixels from the top-left corner; a crosshair when the picture is missing.
    static ToolCursor load(const QString& name, QPoint hotSpot);
    static ToolCursor load(const CursorResource& resource)
    {
        return load(QString::fromLatin1(resource.name), resource.hotSpot);
    }
};

class Tool {
public:
    virtual ~Tool() = default;

    // Every event comes with the view it happened in; tools reach the document through it.
    virtual void toolDownEvent(const ToolEvent& /*event*/, ToolView& /*view*/) {}
    virtual void toolMoveEvent(const ToolEvent& /*event*/, ToolView& /*view*/) {}
    virtual void toolUpEvent(const ToolEvent& /*event*/, ToolView& /*view*/) {}
    virtual void toolFlagsChanged(const ToolEvent& /*event*/, ToolView& /*view*/) {}
    virtual void toolKeyDownEvent(const ToolEvent& /*event*/, ToolView& /*view*/) {}
    // Feedback drawn over the view after it redraws, in view coordinates.
    virtual void toolDrawInView(ToolView& /*view*/, QPainter& /*painter*/) {}
    virtual void toolActivate() {}
    virtual void toolDeactivate() {}
    virtual ToolCursor toolCursor() const { return {}; }

    void restoreToolAfter(Tool* tool) { _restore_after = tool; }
    Tool* restoreAfter() const { return _restore_after; }
    // Ends a single use: gives the document back the remembered tool, if any.
    void after(ToolDocument& document);

    static int transferModeStringToInt(const QString& name);
    static QString transferModeIntToString(int mode);

private:
    Tool* _restore_after = nullptr;
};
