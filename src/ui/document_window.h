#pragma once

// The window of one open drawing: its menu bar, its drawing area, the colour panel, and
// the file commands with the questions about unsaved changes. The drawing's logic lives in
// the document controller; this window only puts it on screen.

#include "document_shell.h"
#include "drawing.h"
#include "pavo_document.h"
#include "pen_type_menu.h"
#include "recovery.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <memory>

class CanvasWidget;
class DrawingStatus;
class MenuManager;
class PavoApplication;
class QColorDialog;

class DocumentWindow final : public QMainWindow, public DocumentShell {
    Q_OBJECT

public:
    // Null when no drawing area could be made. The window deletes itself when closed.
    static DocumentWindow* create(PavoApplication& app, const PenTypeMenu& penTypes);
    ~DocumentWindow() override;

    PavoDocument& document() { return *_document; }
    MenuManager& menus() { return *_menus; }
    QSize drawingAreaSize() const;
    // Reads a file into this new window; on failure nothing changes.
    Result<> openFile(const QString& path);
    // Reads a copy an earlier session left behind and keeps it up to date from now on.
    Result<> openRecovered(const QString& path);
    // Brings the copy kept against a crash up to date now, if the drawing changed since.
    void keepRecoveryCopy();
    // Untitled, unchanged and empty: a window that opening a file may take over.
    bool isBlank() const;
    // Brings the window forward with the keyboard focus in the drawing.
    void focusDrawing();
    // The pen scripts were read again: the pen runs them from `folders`, the Pen Type menu
    // shows `menu`.
    void reloadPenTypes(const PenFolders& folders, const PenTypeMenu& menu);
    // Only the drawing shows: no menus, panels or status bar. Tab in the drawing turns it
    // on and off, Escape off (document_window_modes.cpp, with full screen and the status).
    void setCanvasOnly(bool on);
    bool isCanvasOnly() const { return _canvas_only; }
    void toggleFullScreen();

    // False when the drawing was not saved (cancelled or failed; a failure is reported).
    bool save();
    bool saveAs();
    void revert();
    // Asks about unsaved changes; false when the user keeps the window open.
    bool confirmClose();

    // DocumentShell.
    void toolDisplayChanged() override;
    void undoStateChanged() override;
    void editedChanged(bool edited) override;
    void backgroundChanged() override;
    void showColorPanel(ColorPanelTarget target, const QColor& color) override;
    bool colorPanelVisible() const override;
    bool openUrl(const QUrl& url) override;
    std::optional<QString> windowFrame() const override;
    Clipboard* clipboard() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DocumentWindow(PavoApplication& app, const PenTypeMenu& penTypes);
    void perform(const QString& action, const QString& title);
    bool performFileCommand(const QString& action);
    // Window matters (document_window_modes.cpp).
    bool performWindowCommand(const QString& action);
    void setUpWindowModes();
    void updateStatus();
    void fillRecentColoursMenu();
    void useRecentColour(const QColor& colour);
    void showPreferences();
    void resetSettings();
    // The settings a person left: the pen and fill for the drawing, the frame of the window.
    void startFromSettings();
    void placeWindow(const QRect& frame);
    void recordSetting(const char* key, const QString& value);
    void recordSettings(const QStringList& penTypes);
    void place();
    // Export and printing (document_window_output.cpp).
    void exportPicture();
    void print(bool preview);
    void askPenSize();
    void askPenOpacity();
    void applyWindowFrame(const QString& frame);
    void resizeDrawingArea(QSize size);
    void updateTitle();
    void fillRecentMenu();
    void showError(const QString& title, const QString& message);
    QString displayName() const;

    PavoApplication& _app;
    CanvasWidget* _canvas = nullptr;
    std::unique_ptr<PavoDocument> _document;
    MenuManager* _menus = nullptr;
    DrawingStatus* _status = nullptr;
    QAction* _leave_canvas_only = nullptr;
    bool _canvas_only = false;
    // The settings are being read into the drawing, not changed by the person.
    bool _starting = false;
    QPointer<QColorDialog> _color_panel;
    ColorPanelTarget _color_target = ColorPanelTarget::Tool;
    int _untitled_number = 0;
    bool _closing_confirmed = false;
    // The copy kept against a crash while the drawing has unsaved changes.
    std::unique_ptr<RecoveryCopy> _recovery;
    QTimer _recovery_timer;
    bool _changed_since_copy = false;
};
