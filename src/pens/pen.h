#pragma once

// The pen: the tool that draws. Each pen type is a pen script; a type that is not a custom
// pen is drawn by the pen itself (pressure samples, a live preview of each new segment, and
// a simplified stroke at pen-up), a custom one by its script's pen_down, pen_move and pen_up.
// Every move passes the stabiliser first, so scripted types are smoothed too.
// The pen's colour, opacity, radius, smoothing and transfer mode belong to the current type: leaving a
// type saves them into its script's globals, choosing it again reads them back.
//
// With the option key down, a click picks the colour under the pointer instead of drawing.
// A pen type chosen while a stroke is in progress takes over after the pen is lifted, and so
// does a reload of the pen scripts.

#include "lua_host.h"
#include "pen_points.h"
#include "script_context.h"
#include "stabiliser.h"
#include "string_table.h"
#include "tool.h"

#include <QColor>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

class PavoCanvas;
#include <optional>

class Pen : public Tool, public ScriptPen {
public:
    // Over every pen script (pen_script_files), with the default type selected: the last
    // script with `default` true, else the first pen type. The scripts run when the pen is
    // first asked for a setting or a type, or first used, not here: an export or a replay
    // that never draws with the pen runs none of them.
    explicit Pen(ScriptAlerts& alerts, const PenFolders& folders = resource_path());
    ~Pen() override;
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;

    QColor color() const override { return loaded()._color; }
    void setColor(const QColor& color) override { load(); _color = color; }
    float opacity() const override { return loaded()._opacity; }
    void setOpacity(float opacity) override { load(); _opacity = opacity; }
    float radius() const override { return loaded()._radius; }
    void setRadius(float radius) override { load(); _radius = radius; }
    // 0 (off) to 1: how far the nib trails the pointer (see Stabiliser). Kept per pen type.
    float smoothing() const { return loaded()._smoothing; }
    void setSmoothing(float smoothing);
    int transferMode() const override { return loaded()._mode; }
    void setTransferMode(int mode) { load(); _mode = mode; }
    QString transferModeString() const override;
    void setTransferModeString(const QString& name) override;

    // Translated names of the loaded pen types, sorted.
    QStringList penTypeNames() const;
    std::optional<QString> penTypeName() const;
    // The name, two blanks, and the key equivalent as the menus show it.
    QString penTypeNameWithKeyEquivalent() const;
    // Changes exactly when the pen type changes.
    const Lua* penTypeId() const { return loaded()._pen_type; }
    // A pen type by the name its menu item shows or by its script's own `name`. False,
    // changing nothing, for a name that is neither.
    bool setPenTypeName(const QString& name);
    bool hasPenType(const QString& name) const { return typeNamed(name) != nullptr; }
    bool isCustomPen() const { return loaded()._custom_pen; }
    // Runs the pen scripts again, from `folders`. A type that is still there keeps its
    // colour, opacity, radius, transfer mode and the parameters its new script still has,
    // and stays selected if it was; otherwise the default type is selected.
    void reloadPenTypes(const PenFolders& folders);

    QStringList customParameters() const;
    float getParameter(const QString& name) const;
    void setParameter(const QString& name, float value);
    float parameterMin(const QString& name) const;
    float parameterMax(const QString& name) const;

    void toolDownEvent(const ToolEvent& event, ToolView& view) override;
    void toolMoveEvent(const ToolEvent& event, ToolView& view) override;
    void toolUpEvent(const ToolEvent& event, ToolView& view) override;
    void toolFlagsChanged(const ToolEvent& event, ToolView& view) override;
    void toolDrawInView(ToolView& view, QPainter& painter) override;
    void toolActivate() override { _option_down = false; }
    ToolCursor toolCursor() const override;

private:
    // Runs the pen scripts and selects the default type, the first time only.
    void load();
    const Pen& loaded() const;
    Lua* typeNamed(const QString& name) const;
    void enumeratePenTypes();
    void takeSettingsOf(const std::map<QString, std::unique_ptr<Lua>>& previous);
    void setPenTypeLua(Lua* type);
    void savePenTypeSettings();
    void pickColor(Point at, ToolView& view);
    float drawingRadius(float pressure, ToolView& view) const;
    // A move of the nib, after the stabiliser: what the script or the sample list sees.
    void moveNib(const ToolEvent& event, ToolView& view);
    void previewNewest(ToolView& view);
    Rect newestPixels(const PavoCanvas& canvas) const;
    void endBuiltInStroke(ToolView& view);

    ScriptAlerts& _alerts;
    PenFolders _folders;
    // A reload asked for during a stroke, done when the pen is lifted.
    bool _reload_pending = false;
    bool _loaded = false;
    const StringTable _strings;
    QColor _color{Qt::black};
    float _opacity = 1;
    float _radius = 5;
    int _mode = 0;
    float _smoothing = 0;
    Stabiliser _stabiliser;
    std::map<QString, std::unique_ptr<Lua>> _pen_types;
    Lua* _pen_type = nullptr;
    Lua* _default_pen_type = nullptr;
    // A type chosen during a stroke, selected when the pen is lifted.
    Lua* _pending_pen_type = nullptr;
    bool _custom_pen = false;
    bool _pen_down = false;
    bool _option_down = false;
    std::optional<PenPoints> _pen_points;
    // The outline of the samples so far, grown by the code that builds the finished stroke's.
    PenOutline _preview_outline;
    // Canvas pixels touched by the built-in preview since the stroke began.
    std::optional<Rect> _preview_rect;
    ToolCursor _color_picker_cursor;
};
