#pragma once

// The controller of one open drawing: it owns the drawing with its undo history, the pen
// and the drawing view, knows the current tool, and carries out the drawing commands of
// the menus and settings panels by their action names ("penSize:", "undo:"). It switches
// the pen to the eraser when the stylus is turned over.
//
// One pointer gesture is one undo step, whatever the tool adds during it (a spray pen adds
// a fill per move), and so is one menu command. Every edit goes through the drawing, whose
// news alone keeps the view up to date. Commands and settings never report errors: a
// command that does not apply does nothing.

#include "document_shell.h"
#include "arrow_tool.h"
#include "drawing.h"
#include "export_image.h"
#include "fill_tool.h"
#include "navigation_tools.h"
#include "pavo_view.h"
#include "pen.h"
#include "pressure_curve.h"
#include "proximity.h"
#include "resources.h"
#include "view_host.h"

#include <QImage>
#include <QString>

#include <memory>
#include <optional>

class PavoDocument final : public ViewDocument, private DrawingObserver {
    struct Tag {
        explicit Tag() = default;
    };

public:
    // Null when no view of that size can be made.
    static std::unique_ptr<PavoDocument> create(DocumentShell& shell, ViewDisplay& display, Size viewSize,
                                                ScriptAlerts& alerts,
                                                const PenFolders& folders = resource_path());
    PavoDocument(Tag, DocumentShell& shell, ScriptAlerts& alerts, const PenFolders& folders);
    ~PavoDocument() override;
    PavoDocument(const PavoDocument&) = delete;
    PavoDocument& operator=(const PavoDocument&) = delete;

    PavoView& view() { return *_view; }
    Pen& pen() { return *_pen; }
    const PenFolders& penFolders() const { return _pen_folders; }
    // Runs the pen scripts again from `folders`, which the pen keeps from now on.
    void reloadPenTypes(const PenFolders& folders);
    ZoomTool& zoom() { return *_zoom; }
    RotateTool& rotate() { return *_rotate; }
    MoveTool& move() { return *_move; }
    FillTool& fill() { return *_fill; }
    ArrowTool& arrow() { return *_arrow; }
    const Drawing& drawing() const { return _drawing; }
    UndoManager& undoManager() { return _drawing.undoManager(); }

    // Files. A .pavo file opens as itself; a .pavotemplate file and a picture open untitled,
    // the picture placed in the middle of the view. On failure nothing changes.
    Result<> read(const QString& path);
    // The file the drawing is saved in; none while it is untitled.
    const std::optional<QString>& fileName() const { return _file_name; }
    // Saves with the window's frame and the view's transformation; the drawing is then
    // clean and named after the file. On failure the old file and the drawing stay as they
    // were.
    Result<> saveTo(const QString& path);
    // Reads the saved file again, dropping every change since.
    Result<> revert();
    // Writes the drawing as it is to another file, leaving its name and edited state alone:
    // the copy kept against a crash.
    Result<> writeCopy(const QString& path) const;
    // Reads such a copy: the drawing comes back untitled and unsaved.
    Result<> readRecovered(const QString& path);
    bool isEdited() const { return _drawing.isEdited(); }
    // The window frame the file brought, for the window to take once.
    std::optional<QString> takeWindowFrame() { return _drawing.takeWindowFrame(); }

    // Pointer, modifier and key input in view coordinates, from the widget or a script.
    void mouseDown(const ToolEvent& event, PointerButton button = PointerButton::Left);
    void mouseDragged(const ToolEvent& event);
    void mouseUp(const ToolEvent& event);
    void flagsChanged(const ToolEvent& event);
    bool keyDown(const QString& text);

    // Keys by their script names (pavo_document_input.cpp). A key pressed and released:
    // delete and backspace delete, the arrows scroll by a tenth of the view, [ and ] step
    // the size (the fill's expand while the fill tool is current) through the Size menu's
    // values. False for a key this does not handle, or one held with command, which
    // belongs to the menus.
    bool keyPressed(const QString& name, unsigned modifiers);
    // A key held down or let go: space holds the temporary hand. False for any other key.
    bool keyHeld(const QString& name, bool down);
    void stepSize(int direction);

    // A menu command by its action name, with the chosen item's title for the commands
    // that read their value from it. False for an action this document does not know.
    bool perform(const QString& action, const QString& title = {});
    static bool knowsAction(const QString& action);
    // The colour a colour menu command ("setRedColor:") sets; none for any other action.
    static std::optional<QColor> namedColor(const QString& action);
    // The action of the current tool's menu item ("penTool:").
    QString currentToolAction() const;

    // Settings from the panels and scripts; each brings the menus up to date.
    void setPenOpacity(float opacity);
    void setPenSize(float radius);
    void setPenSmoothing(float smoothing);
    // The tablet's pressure reaches the tools through this curve, in live input and in
    // replays alike, so a recording of raw pressures replays the same under the same curve.
    void setPressureCurve(const PressureCurve& curve);
    const PressureCurve& pressureCurve() const { return _pressure_curve; }
    void setPenParameter(const QString& name, float value);
    // False, and nothing changes, for a name that is no pen type.
    bool setPenTypeName(const QString& name);
    void setPenTransferMode(int mode);
    void setPenColor(const QColor& color);
    void setFillColor(const QColor& color);
    void setFillOpacity(float opacity);
    void setFillTolerance(float tolerance);
    void setFillExpand(int expand);
    void setFillGap(int gap);
    void setFillPrecision(int precision);
    void setFillTransferMode(int mode);

    // Colours. The tool colour goes to the fill tool when it is current, else to the pen.
    void setToolColor(const QColor& color) override;
    // The colour the colour panel shows: the fill tool's while it is current, else the pen's.
    QColor toolColor() const;
    // The colour panel reports a new colour for what it was opened for.
    void toolColorChanged(const QColor& color);
    void backgroundColorChanged(const QColor& color);
    void clearBackgroundColor();

    // Adds a picture as an image stroke centred at a view point, fitted into the view. Fails,
    // adding nothing, for a picture larger than a drawing can keep.
    Result<> placeImage(const QImage& image, Point centre);

    // Exchange (pavo_document_exchange.cpp). Copy, cut and duplicate take the selection
    // while the arrow tool is current, else the top stroke. Each change is one undo step;
    // what is refused is said through the alerts.
    void copy();
    void cut();
    void paste();
    void duplicate();
    // The place command for one file, at the middle of the view: a picture fitted into the
    // view, or a drawing (.pavo, .pavotemplate) scaled to 0.9 of it. Fails, placing nothing,
    // with the reason.
    Result<> placeFile(const QString& path);
    // The place command for the files chosen, as one undo step: each picture after the first
    // lands 20 pixels further right and down. Failures are alerted, the other files placed.
    void placeFiles(const QStringList& paths);
    // What was dropped at a view point: files on this computer (drawings scaled to 0.3 of the
    // view), or picture data. Nothing is downloaded: other addresses are refused with an alert.
    void drop(const QMimeData& data, Point at);

    // What export, copy at scale and printing render: the strokes under the view's
    // transformation, brought up to date, over the background colour.
    ExportSource outputSource();
    // Puts the view's picture at 1 to 4 times its size on the clipboard; a picture too large
    // to make is reported and the clipboard keeps what it held.
    void copyAtScale(float scale);

    // The tablet's proximity notification: the eraser end selects the eraser pen type, the
    // tip brings back what was in use before. A document hears the stylus once it listens
    // to the application's proximity router.
    void listenToProximity(ProximityCenter& center);
    void handleProximity(const ProximityInfo& info);

    // ViewDocument and ToolDocument.
    Tool* tool() override { return _tool; }
    void setTool(Tool* tool) override;
    void refreshCursor() override;
    Drawing& drawing() override { return _drawing; }
    void deleteSelection() override { deleteStrokes(); }
    const Strokes& strokes() const { return _drawing.strokes(); }
    std::optional<QColor> backgroundColor() const { return _drawing.backgroundColor(); }

    // Single use of a navigation tool: one gesture, then the tool in use comes back.
    void useOnce(Tool& navigation);
    void selectAll();
    // The arrangement commands act on the selection, and only while the arrow tool is current.
    void arrange(Drawing::Arrangement arrangement);
    void showToolColorPanel();
    void showBackgroundColorPanel();
    void deleteStrokes();
    void mergeStrokes();
    void clearDrawing();
    void undo();
    void redo();
    void openHelp(const QString& page);
    void sendFeedback();

private:
    ToolEvent withPressureCurve(ToolEvent event) const;
    void drawingChanged(const DrawingChange& change) override;
    void editedChanged(bool edited) override;
    void historyChanged() override;

    Result<> readPicture(const QString& path);
    StrokeArray chosenStrokes() const;
    Result<> placeDrawing(const QString& path, Point centre, float scale);
    Result<> placeFileAt(const QString& path, Point centre, float drawingScale);
    Result<> addTransformed(const StrokeArray& strokes, const AffineTransform& t);
    void nameStep(const char* name);
    void alert(const QString& title, const Result<>& result);
    void updateToolDisplay();
    void endGesture();

    DocumentShell& _shell;
    ScriptAlerts& _alerts;
    QString _resource_root;
    PenFolders _pen_folders;
    Drawing _drawing;
    PressureCurve _pressure_curve;
    std::unique_ptr<Pen> _pen;
    std::unique_ptr<ZoomTool> _zoom;
    std::unique_ptr<RotateTool> _rotate;
    std::unique_ptr<MoveTool> _move;
    std::unique_ptr<FillTool> _fill;
    std::unique_ptr<ArrowTool> _arrow;
    std::unique_ptr<PavoView> _view;
    Tool* _tool = nullptr;
    std::optional<QString> _file_name;

    // The undo step of the pointer gesture under way.
    std::optional<UndoTransaction> _gesture;

    // The eraser end of the stylus.
    bool _erasing = false;
    Tool* _eraser_saved_tool = nullptr;
    std::optional<QString> _eraser_saved_pen_type_name;
    std::unique_ptr<ProximityCenter::Subscription> _proximity;
};
