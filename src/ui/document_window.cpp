#include "document_window.h"

#include "canvas_widget.h"
#include "event_script.h"
#include "help_window.h"
#include "menu_manager.h"
#include "panel_docks.h"
#include "pavo_application.h"
#include "pavo_settings.h"
#include "picture_input.h"
#include "window_frame.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>

namespace {

// How much work a crash may take at most.
constexpr std::chrono::seconds kRecoveryInterval{20};

// Translated where used: the translator is not installed yet when globals are made.
const char* const kDrawingFilter = QT_TRANSLATE_NOOP("DocumentWindow", "Pavo drawing (*.pavo)");
const char* const kTemplateFilter = QT_TRANSLATE_NOOP("DocumentWindow", "Pavo template (*.pavotemplate)");

void record(PavoApplication& app, QSize viewSize, ScriptEvent::Kind kind, const QString& name, const QString& text)
{
    if (!app.recording()) return;
    ScriptEvent e;
    e.kind = kind;
    e.name = name;
    e.text = text;
    app.record(e, viewSize);
}

} // namespace

DocumentWindow* DocumentWindow::create(PavoApplication& app, const PenTypeMenu& penTypes)
{
    // A top-level window has no parent to own it: it deletes itself when it closes.
    auto* window = new DocumentWindow(app, penTypes);
    if (!window->_document) {
        window->deleteLater();
        return nullptr;
    }
    return window;
}

DocumentWindow::DocumentWindow(PavoApplication& app, const PenTypeMenu& penTypes) : _app(app)
{
    setAttribute(Qt::WA_DeleteOnClose);
    _canvas = new CanvasWidget(this);
    setCentralWidget(_canvas);
    _document = PavoDocument::create(*this, *_canvas, {800, 600}, app.alerts(), app.penFolders());
    if (!_document) return;
    _document->listenToProximity(app.proximity());
    _canvas->setDocument(_document.get());
    _menus = new MenuManager(*menuBar(), penTypes,
                             [this](const QString& action, const QString& title) { perform(action, title); }, this);
    connect(&app, &PavoApplication::recentFilesChanged, this, &DocumentWindow::fillRecentMenu);
    fillRecentMenu();
    app.panels().fillWindowMenu(*_menus->windowMenu());
    _untitled_number = app.nextUntitledNumber();
    setUpWindowModes();
    resizeDrawingArea(_canvas->sizeHint());
    startFromSettings();
    toolDisplayChanged();
    undoStateChanged();
    updateTitle();
    _recovery_timer.setInterval(kRecoveryInterval);
    connect(&_recovery_timer, &QTimer::timeout, this, &DocumentWindow::keepRecoveryCopy);
    _recovery_timer.start();
}

DocumentWindow::~DocumentWindow()
{
    // The drawing area goes with the window's children; the document must not outlive the
    // display it paints through, nor the other way round.
    _app.windowClosing(this);
    _canvas->setDocument(nullptr);
    _document.reset();
}

Result<> DocumentWindow::openRecovered(const QString& path)
{
    const Result<> result = _document->readRecovered(path);
    if (!result) return result;
    if (const auto frame = _document->takeWindowFrame()) applyWindowFrame(*frame);
    _recovery = RecoveryCopy::adopt(path);
    updateTitle();
    undoStateChanged();
    return result;
}

void DocumentWindow::keepRecoveryCopy()
{
    if (!_document->isEdited()) {
        _recovery.reset();
        return;
    }
    if (!_changed_since_copy && _recovery) return;
    if (!_recovery) _recovery = RecoveryCopy::create(_app.recoveryFolder());
    // Nowhere to keep a copy: the drawing is still there, just not guarded.
    if (!_recovery) return;
    if (_document->writeCopy(_recovery->path())) _changed_since_copy = false;
}

Result<> DocumentWindow::openFile(const QString& path)
{
    const Result<> result = _document->read(path);
    if (!result) return result;
    if (const auto frame = _document->takeWindowFrame()) applyWindowFrame(*frame);
    updateTitle();
    undoStateChanged();
    return result;
}

bool DocumentWindow::isBlank() const
{
    return !_document->fileName() && !_document->isEdited() && _document->strokes().count() == 0;
}

void DocumentWindow::applyWindowFrame(const QString& text)
{
    const auto frame = parse_window_frame(text);
    if (!frame) return;
    resizeDrawingArea({frame->width, frame->height});
    // Only where some screen still shows the window's corner.
    if (QGuiApplication::screenAt(QPoint(frame->x + 20, frame->y + 20))) move(frame->x, frame->y);
}

void DocumentWindow::resizeDrawingArea(QSize size)
{
    // The menu bar and the status bar are all the window holds besides the drawing area (the
    // docks float or sit beside it); the layout is not settled before the window is first
    // shown, so the bars' own heights are the measure.
    resize(size.width(), size.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

QSize DocumentWindow::drawingAreaSize() const { return _canvas->size(); }

Clipboard* DocumentWindow::clipboard() { return &_app.clipboard(); }

std::optional<QString> DocumentWindow::windowFrame() const
{
    return format_window_frame({x(), y(), _canvas->width(), _canvas->height()});
}

QString DocumentWindow::displayName() const
{
    if (const auto& file = _document->fileName()) return QFileInfo(*file).fileName();
    return _untitled_number <= 1 ? tr("Untitled") : tr("Untitled %1").arg(_untitled_number);
}

void DocumentWindow::updateTitle()
{
    setWindowTitle(displayName() + QStringLiteral("[*] — Pavo"));
    setWindowModified(_document->isEdited());
    setWindowFilePath(_document->fileName().value_or(QString()));
}

void DocumentWindow::reloadPenTypes(const PenFolders& folders, const PenTypeMenu& menu)
{
    if (!_menus || !_document) return;
    _menus->setPenTypes(menu);
    _document->reloadPenTypes(folders);
}

// Commands

void DocumentWindow::perform(const QString& action, const QString& title)
{
    if (performFileCommand(action) || performWindowCommand(action)) return;
    if (action == u"penSizeOther:") return askPenSize();
    if (action == u"penOpacityOther:") return askPenOpacity();
    if (action == u"reloadPenTypes:") {
        // Every window's pen and menu, so that all offer the same pen types.
        record(_app, drawingAreaSize(), ScriptEvent::Kind::Action, action, title);
        return _app.reloadPenTypes();
    }
    record(_app, drawingAreaSize(), ScriptEvent::Kind::Action, action, title);
    _document->perform(action, title);
    // A view command shows in the status at once, not only with the next repaint.
    updateStatus();
}

bool DocumentWindow::performFileCommand(const QString& action)
{
    if (action == u"newDocument:") {
        _app.newDocument();
    } else if (action == u"openDocument:") {
        _app.openDocument();
    } else if (action == u"place:") {
        place();
    } else if (action == u"performClose:") {
        close();
    } else if (action == u"saveDocument:") {
        save();
    } else if (action == u"saveDocumentAs:") {
        saveAs();
    } else if (action == u"revertDocumentToSaved:") {
        revert();
    } else if (action == u"exportBitmap:") {
        exportPicture();
    } else if (action == u"printDocument:" || action == u"printPreview:") {
        print(action == u"printPreview:");
    } else if (action == u"terminate:") {
        _app.closeAllAndQuit();
    } else {
        return false;
    }
    return true;
}

void DocumentWindow::place()
{
    const QString filter =
        tr("Pictures and drawings (%1 *.pavo *.pavotemplate)").arg(picture_file_patterns().join(u' '));
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Place"), QString(), filter);
    if (paths.isEmpty()) return;
    for (const QString& path : paths) record(_app, drawingAreaSize(), ScriptEvent::Kind::Place, {}, path);
    _document->placeFiles(paths);
}

void DocumentWindow::askPenSize()
{
    bool ok = false;
    const double radius = QInputDialog::getDouble(this, tr("Pen Size"), tr("Radius in pixels:"),
                                                  double(_document->pen().radius()), 0.1, 1000, 1, &ok);
    if (!ok) return;
    record(_app, drawingAreaSize(), ScriptEvent::Kind::Action, QStringLiteral("penSize:"), QString::number(radius));
    _document->setPenSize(float(radius));
}

void DocumentWindow::askPenOpacity()
{
    bool ok = false;
    const int percent = QInputDialog::getInt(this, tr("Pen Opacity"), tr("Opacity in percent:"),
                                             int(_document->pen().opacity() * 100 + 0.5f), 0, 100, 1, &ok);
    if (!ok) return;
    record(_app, drawingAreaSize(), ScriptEvent::Kind::Action, QStringLiteral("penOpacity:"), QString::number(percent));
    _document->setPenOpacity(float(percent) / 100.0f);
}

// Files

bool DocumentWindow::save()
{
    if (!_document->fileName()) return saveAs();
    const Result<> result = _document->saveTo(*_document->fileName());
    if (!result) {
        showError(tr("The drawing could not be saved"), result.error());
        return false;
    }
    record(_app, drawingAreaSize(), ScriptEvent::Kind::Save, {}, *_document->fileName());
    _app.noteRecentFile(*_document->fileName());
    _recovery.reset();
    updateTitle();
    return true;
}

bool DocumentWindow::saveAs()
{
    QString selected;
    const QString start = _document->fileName().value_or(displayName() + QStringLiteral(".pavo"));
    const QString drawingFilter = tr(kDrawingFilter), templateFilter = tr(kTemplateFilter);
    QString path = QFileDialog::getSaveFileName(this, tr("Save Drawing"), start,
                                                drawingFilter + QStringLiteral(";;") + templateFilter, &selected);
    if (path.isEmpty()) return false;
    const QString suffix = QFileInfo(path).suffix();
    if (suffix != u"pavo" && suffix != u"pavotemplate")
        path += selected == templateFilter ? QStringLiteral(".pavotemplate") : QStringLiteral(".pavo");
    const Result<> result = _document->saveTo(path);
    if (!result) {
        showError(tr("The drawing could not be saved"), result.error());
        return false;
    }
    record(_app, drawingAreaSize(), ScriptEvent::Kind::Save, {}, path);
    _app.noteRecentFile(path);
    _recovery.reset();
    updateTitle();
    return true;
}

void DocumentWindow::revert()
{
    if (!_document->fileName() || !_document->isEdited()) return;
    const auto answer = QMessageBox::question(
        this, tr("Revert to Saved"),
        tr("Go back to the saved version of “%1”? Your changes since will be lost.").arg(displayName()),
        QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Discard) return;
    const Result<> result = _document->revert();
    if (!result) showError(tr("The saved version could not be read"), result.error());
    updateTitle();
    undoStateChanged();
}

bool DocumentWindow::confirmClose()
{
    if (!_document->isEdited()) return true;
    raise();
    activateWindow();
    QMessageBox box(QMessageBox::Warning, tr("Pavo"),
                    tr("Do you want to save the changes you made in “%1”?").arg(displayName()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setInformativeText(tr("Your changes will be lost if you don't save them."));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save: return save();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (!_closing_confirmed && !confirmClose()) {
        event->ignore();
        return;
    }
    _closing_confirmed = true;
    // Saved or given up: the copy kept against a crash goes.
    _recovery_timer.stop();
    _recovery.reset();
    // The frame a person chose, not one that fills the screen.
    if (!isFullScreen() && !_canvas_only) PavoSettings().rememberWindowFrame({x(), y(), _canvas->width(), _canvas->height()});
    if (_color_panel) _color_panel->close();
    _app.windowClosing(this);
    event->accept();
}

void DocumentWindow::showError(const QString& title, const QString& message)
{
    QMessageBox::warning(this, title, message);
}

void DocumentWindow::fillRecentMenu()
{
    QMenu* recent = _menus ? _menus->openRecentMenu() : nullptr;
    if (!recent) return;
    recent->clear();
    const QStringList files = _app.recentFiles();
    for (const QString& file : files) {
        QAction* item = recent->addAction(QFileInfo(file).fileName());
        item->setToolTip(file);
        connect(item, &QAction::triggered, this, [this, file] { _app.openFiles({file}); });
    }
    if (!files.isEmpty()) recent->addSeparator();
    QAction* clear = recent->addAction(tr("Clear Menu"));
    clear->setEnabled(!files.isEmpty());
    connect(clear, &QAction::triggered, this, [this] { _app.clearRecentFiles(); });
}

// The document's news

void DocumentWindow::toolDisplayChanged()
{
    if (!_menus || !_document) return;
    Pen& pen = _document->pen();
    _menus->checkTool(_document->currentToolAction());
    _menus->checkPenType(pen.penTypeName().value_or(QString()));
    _menus->checkPenSize(pen.radius());
    _menus->checkOpacity(pen.opacity());
    _menus->checkColour(_document->toolColor());
    if (!_starting) PavoSettings().remember(*_document);
    updateStatus();
    // An open panel follows the tool colour, even if it was showing the background.
    if (colorPanelVisible()) showColorPanel(ColorPanelTarget::Tool, _document->toolColor());
    _app.panels().toolDisplayChanged(this);
}

void DocumentWindow::undoStateChanged()
{
    _changed_since_copy = true;
    if (!_menus || !_document) return;
    const UndoManager& undo = _document->undoManager();
    _menus->setUndoState(undo.canUndo(), undo.undoActionName(), undo.canRedo(), undo.redoActionName());
    // A colour drawn with is a colour used.
    if (undo.canUndo()) _app.noteRecentColour(_document->toolColor());
}

void DocumentWindow::editedChanged(bool)
{
    _changed_since_copy = true;
    updateTitle();
}

void DocumentWindow::backgroundChanged()
{
    _changed_since_copy = true;
    _canvas->update();
}

void DocumentWindow::showColorPanel(ColorPanelTarget target, const QColor& color)
{
    if (!_color_panel) {
        _color_panel = new QColorDialog(this);
        _color_panel->setOption(QColorDialog::NoButtons);
        _color_panel->setOption(QColorDialog::ShowAlphaChannel, false);
        connect(_color_panel, &QColorDialog::currentColorChanged, this, [this](const QColor& chosen) {
            if (_color_target == ColorPanelTarget::Background) _document->backgroundColorChanged(chosen);
            else _document->toolColorChanged(chosen);
        });
    }
    _color_target = target;
    _color_panel->setWindowTitle(target == ColorPanelTarget::Background ? tr("Background Colour") : tr("Tool Colour"));
    {
        // Showing the colour is no choice of it.
        const QSignalBlocker quiet(_color_panel);
        _color_panel->setCurrentColor(color);
    }
    _color_panel->show();
    _color_panel->raise();
}

bool DocumentWindow::colorPanelVisible() const { return _color_panel && _color_panel->isVisible(); }

bool DocumentWindow::openUrl(const QUrl& url)
{
    // The guide's own pages need no web browser.
    if (url.isLocalFile() && url.path().endsWith(u".html")) {
        HelpWindow::showPage(url);
        return true;
    }
    return QDesktopServices::openUrl(url);
}

void DocumentWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && _menus)
        _menus->action(QStringLiteral("toggleFullScreen:"))->setChecked(isFullScreen());
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        _canvas->setFocus();
        _app.panels().follow(this);
        toolDisplayChanged();
    }
}

void DocumentWindow::focusDrawing()
{
    raise();
    activateWindow();
    _canvas->setFocus();
}
