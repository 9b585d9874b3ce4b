// The window's own matters: the status bar, full screen and canvas only, the recent
// colours, the settings a new drawing starts from, and the keyboard shortcuts.

#include "document_window.h"

#include "canvas_widget.h"
#include "drawing_status.h"
#include "event_script.h"
#include "keyboard_shortcuts.h"
#include "menu_manager.h"
#include "panel_docks.h"
#include "pavo_application.h"
#include "pavo_settings.h"
#include "preferences_dialog.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include <cmath>
#include <numbers>

namespace {

// How far a new window steps aside from one already in the remembered place.
constexpr int kCascadeStep = 30;

} // namespace

void DocumentWindow::setUpWindowModes()
{
    _status = new DrawingStatus([this](const QString& action, const QString& title) { perform(action, title); }, this);
    statusBar()->addWidget(_status, 1);
    // Settled now, so the drawing area gets the size asked for: the bar's layout would
    // otherwise change its height once the window shows.
    statusBar()->setFixedHeight(statusBar()->sizeHint().height());
    // The status follows the view through its repaints: every change of the view asks for one.
    _canvas->installEventFilter(this);
    // With the menu bar hidden its items' keys would go quiet; the window carries them too.
    for (QAction* item : menuBar()->findChildren<QAction*>()) addAction(item);
    _canvas->addAction(_menus->action(QStringLiteral("toggleCanvasOnly:")));
    _leave_canvas_only = new QAction(tr("Leave Canvas Only"), this);
    _leave_canvas_only->setShortcut(Qt::Key_Escape);
    _leave_canvas_only->setEnabled(false);
    connect(_leave_canvas_only, &QAction::triggered, this, [this] { setCanvasOnly(false); });
    addAction(_leave_canvas_only);
    connect(&_app, &PavoApplication::recentColoursChanged, this, &DocumentWindow::fillRecentColoursMenu);
    fillRecentColoursMenu();
}

bool DocumentWindow::performWindowCommand(const QString& action)
{
    if (action == u"toggleFullScreen:") {
        toggleFullScreen();
    } else if (action == u"toggleCanvasOnly:") {
        setCanvasOnly(!_canvas_only);
    } else if (action == u"showKeyboardShortcuts:") {
        KeyboardShortcutsDialog(*this, this).exec();
    } else if (action == u"preferences:") {
        showPreferences();
    } else if (action == u"resetSettings:") {
        resetSettings();
    } else {
        return false;
    }
    return true;
}

void DocumentWindow::toggleFullScreen() { setWindowState(windowState() ^ Qt::WindowFullScreen); }

void DocumentWindow::setCanvasOnly(bool on)
{
    _canvas_only = on;
    menuBar()->setVisible(!on);
    statusBar()->setVisible(!on);
    _leave_canvas_only->setEnabled(on);
    _menus->action(QStringLiteral("toggleCanvasOnly:"))->setChecked(on);
    _app.panels().showDocks(this);
    _canvas->setFocus();
}

bool DocumentWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == _canvas && event->type() == QEvent::Paint) updateStatus();
    return QMainWindow::eventFilter(watched, event);
}

void DocumentWindow::updateStatus()
{
    if (!_status || !_document) return;
    const AffineTransform t = _document->view().transform();
    DrawingStatusInfo info;
    info.scale = _document->view().scale();
    info.degrees = float(std::atan2(double(t.b), double(t.a)) * 180 / std::numbers::pi);
    info.tool = _menus->title(_menus->action(_document->currentToolAction()));
    const Pen& pen = _document->pen();
    info.penType = pen.penTypeName().value_or(QString());
    info.fillTool = _document->tool() == &_document->fill();
    info.size = info.fillTool ? float(_document->fill().expand()) : pen.radius();
    info.opacity = info.fillTool ? _document->fill().opacity() : pen.opacity();
    info.colour = _document->toolColor();
    _status->showInfo(info);
}

// Colours

void DocumentWindow::fillRecentColoursMenu()
{
    QMenu* menu = _menus->recentColoursMenu();
    menu->clear();
    const QList<QColor> colours = _app.recentColours();
    for (const QColor& colour : colours) {
        QAction* item = menu->addAction(colour_swatch(colour), colour.name().toUpper());
        item->setIconVisibleInMenu(true);
        item->setCheckable(true);
        item->setData(colour);
        connect(item, &QAction::triggered, this, [this, colour] { useRecentColour(colour); });
    }
    menu->setEnabled(!colours.isEmpty());
    if (_document) _menus->checkColour(_document->toolColor());
}

void DocumentWindow::useRecentColour(const QColor& colour)
{
    if (_app.recording()) {
        ScriptEvent e;
        e.kind = ScriptEvent::Kind::Set;
        e.name = _document->tool() == &_document->fill() ? QStringLiteral("fill.color") : QStringLiteral("pen.color");
        e.text = colour.name().mid(1).toUpper();
        _app.record(e, drawingAreaSize());
    }
    _document->setToolColor(colour);
}

// Settings

void DocumentWindow::startFromSettings()
{
    PavoSettings settings;
    _starting = true;
    const QStringList penTypes = settings.applyTo(*_document);
    _starting = false;
    if (_app.recording()) recordSettings(penTypes);
    if (const auto frame = settings.windowFrame()) placeWindow(*frame);
}

void DocumentWindow::recordSetting(const char* key, const QString& value)
{
    ScriptEvent e;
    e.kind = ScriptEvent::Kind::Set;
    e.name = QString::fromLatin1(key);
    e.text = value;
    _app.record(e, drawingAreaSize());
}

void DocumentWindow::recordSettings(const QStringList& penTypes)
{
    // A recording replays from the program's defaults: the settings the drawing started with
    // go first, so that the replay draws with the same pens.
    const auto set = [this](const char* key, const QString& value) { recordSetting(key, value); };
    const auto rgb = [](const QColor& colour) { return colour.name().mid(1).toUpper(); };
    Pen& pen = _document->pen();
    for (const QString& type : penTypes + QStringList{pen.penTypeName().value_or(QString())}) {
        pen.setPenTypeName(type);
        set("pen.type", type);
        set("pen.radius", QString::number(pen.radius()));
        set("pen.opacity", QString::number(pen.opacity()));
        set("pen.smoothing", QString::number(pen.smoothing()));
        set("pen.color", rgb(pen.color()));
    }
    const FillTool& fill = _document->fill();
    set("fill.color", rgb(fill.color()));
    set("fill.opacity", QString::number(fill.opacity()));
    set("fill.tolerance", QString::number(fill.tolerance()));
    set("fill.expand", QString::number(fill.expand()));
    set("fill.gap", QString::number(fill.gap()));
    set("fill.precision", QString::number(fill.precision()));
    set("fill.mode", Tool::transferModeIntToString(fill.transferMode()));
    // Recorded pressures are the tablet's own; the curve makes them draw as they did.
    set("pressure.curve", _document->pressureCurve().text());
}

void DocumentWindow::placeWindow(const QRect& frame)
{
    resizeDrawingArea(frame.size());
    QPoint at = frame.topLeft();
    // A second window in the same place would hide the first.
    for (int step = 0; step < 10; ++step) {
        bool taken = false;
        for (QWidget* other : QApplication::topLevelWidgets())
            taken |= other != this && other->isVisible() && qobject_cast<DocumentWindow*>(other) && other->pos() == at;
        if (!taken) break;
        at += QPoint(kCascadeStep, kCascadeStep);
    }
    // Only where some screen still shows the window's corner.
    if (QGuiApplication::screenAt(at + QPoint(20, 20))) move(at);
}

void DocumentWindow::showPreferences()
{
    PreferencesDialog dialog(_document->pressureCurve(), this);
    if (dialog.exec() != QDialog::Accepted || dialog.curve() == _document->pressureCurve()) return;
    _app.setPressureCurve(dialog.curve());
    // Recorded pressures are the tablet's own: the replay needs the curve from here on.
    recordSetting("pressure.curve", dialog.curve().text());
}

void DocumentWindow::resetSettings()
{
    const auto answer = QMessageBox::question(
        this, tr("Reset Settings"),
        tr("Forget the pen and fill settings, the window size and the recent colours? New drawings will start with the program's defaults; open drawings keep what they have."),
        QMessageBox::Reset | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer != QMessageBox::Reset) return;
    _app.resetSettings();
}
