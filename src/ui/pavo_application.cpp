#include "pavo_application.h"

#include "document_window.h"
#include "event_recorder.h"
#include "input_mapping.h"
#include "panel_docks.h"
#include "tool_panel.h"
#include "recovery.h"
#include "pavo_settings.h"
#include "pen_panel.h"
#include "pen_type_menu.h"
#include "resources.h"
#include "script_paths.h"
#include "table_translator.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTabletEvent>

#include <algorithm>
#include <utility>

namespace {

constexpr int kRecentFileCount = 10;
const QString kRecentFilesKey = QStringLiteral("recentFiles");

// Script errors are shown as they happen, over whatever window is in front.
class DialogAlerts final : public ScriptAlerts {
public:
    void show(const QString& title, const QString& message) override
    {
        QMessageBox::warning(QApplication::activeWindow(), title, message);
    }
};

} // namespace

PavoApplication::PavoApplication(int& argc, char** argv)
    : QApplication(argc, argv), _alerts(std::make_unique<DialogAlerts>())
{
    setApplicationName(QStringLiteral("Pavo"));
    setOrganizationName(QStringLiteral("Pavo"));
    setApplicationDisplayName(QStringLiteral("Pavo"));
    setDesktopFileName(QStringLiteral("org.pavo.Pavo"));
    // Before any window or panel exists, so that every text they show is translated.
    install_translators(*this, resource_path());
    // Every tablet sample counts: fast strokes must keep their shape.
    setAttribute(Qt::AA_CompressTabletEvents, false);
    setAttribute(Qt::AA_CompressHighFrequencyEvents, false);
    setQuitOnLastWindowClosed(true);
    _recovery_folder = default_recovery_folder();
    _pen_folders = PenFolders(resource_path(), default_user_scripts_folder());
    _pen_type_menu = build_pen_type_menu(_pen_folders, *_alerts);
    _panels = std::make_unique<PanelDocks>();
    auto* tools = new ToolPanel;
    tools->onToolChosen([this] {
        // Drawing goes on at once in the window whose tool was chosen.
        if (DocumentWindow* window = _panels->followed()) {
            window->raise();
            window->activateWindow();
        }
    });
    tools->onInput([this](const ScriptEvent& e) {
        if (DocumentWindow* window = _panels->followed()) record(e, window->drawingAreaSize());
    });
    _panels->addPanel(tools, tr("Tools"), QStringLiteral("toolPanel"));
    auto* pen = _pen_panel = new PenPanel(_pen_type_menu);
    pen->focusDrawingRequested = [this] {
        if (DocumentWindow* window = _panels->followed()) window->focusDrawing();
    };
    pen->heard = [this](const ScriptEvent& e) {
        if (DocumentWindow* window = _panels->followed()) record(e, window->drawingAreaSize());
    };
    _panels->addPanel(pen, tr("Pen"), QStringLiteral("penPanel"));
}

PavoApplication::~PavoApplication() = default;

void PavoApplication::windowClosing(DocumentWindow* window)
{
    if (!_panels) return;
    DocumentWindow* next = qobject_cast<DocumentWindow*>(activeWindow());
    for (auto it = _windows.rbegin(); (!next || next == window) && it != _windows.rend(); ++it)
        next = *it && *it != window ? it->data() : nullptr;
    _panels->windowClosing(window, next == window ? nullptr : next);
}

PavoApplication* PavoApplication::instance() { return qobject_cast<PavoApplication*>(QCoreApplication::instance()); }

void PavoApplication::setRecorder(std::unique_ptr<EventRecorder> recorder)
{
    _recorder = std::move(recorder);
    _recorded_size = false;
}

namespace {

// A recording is for a bug report, so a line it cannot keep is no reason to interrupt the
// person drawing; the terminal the program was started from hears about it.
void note(const Result<>& recorded)
{
    if (!recorded) qWarning("pavo: %s", qPrintable(recorded.error()));
}

} // namespace

void PavoApplication::record(const ScriptEvent& event, QSize viewSize)
{
    if (!_recorder) return;
    // A script sets its size only before its first event; an event from no window in
    // particular (the stylus coming near) takes the size of the window in front.
    if (!std::exchange(_recorded_size, true)) {
        const QSize size = viewSize.isEmpty() ? frontViewSize() : viewSize;
        if (!size.isEmpty()) {
            ScriptEvent sizeLine;
            sizeLine.kind = ScriptEvent::Kind::Size;
            sizeLine.width = size.width();
            sizeLine.height = size.height();
            sizeLine.hasSize = true;
            note(_recorder->record(sizeLine));
        }
    }
    note(_recorder->record(event));
}

DocumentWindow* PavoApplication::makeWindow()
{
    DocumentWindow* window = DocumentWindow::create(*this, _pen_type_menu);
    if (!window) {
        QMessageBox::critical(activeWindow(), tr("Pavo"), tr("There is not enough memory for a new drawing."));
        return nullptr;
    }
    std::erase_if(_windows, [](const QPointer<DocumentWindow>& w) { return w.isNull(); });
    _windows.emplace_back(window);
    return window;
}

void PavoApplication::reloadPenTypes()
{
    // One new set of folders for all: a script still broken is shown once again, not once
    // per window.
    _pen_folders = PenFolders(_pen_folders.resources, _pen_folders.user);
    _pen_type_menu = build_pen_type_menu(_pen_folders, *_alerts);
    _pen_panel->setPenTypes(_pen_type_menu);
    for (const QPointer<DocumentWindow>& window : _windows)
        if (window) window->reloadPenTypes(_pen_folders, _pen_type_menu);
}

DocumentWindow* PavoApplication::newDocument()
{
    DocumentWindow* window = makeWindow();
    if (window) window->show();
    return window;
}

std::optional<DocumentWindow*> PavoApplication::windowShowing(const QString& path) const
{
    const QString wanted = QFileInfo(path).canonicalFilePath();
    for (const auto& w : _windows) {
        if (!w) continue;
        const auto& file = w->document().fileName();
        if (file && QFileInfo(*file).canonicalFilePath() == wanted) return w.data();
    }
    return std::nullopt;
}

void PavoApplication::openFiles(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (const auto shown = windowShowing(path)) {
            (*shown)->raise();
            (*shown)->activateWindow();
            continue;
        }
        // The first untouched untitled window gives way to the opened file.
        QPointer<DocumentWindow> blank;
        for (const auto& w : _windows)
            if (w && w->isBlank()) blank = w;
        // Shown only once the file is in it: a file that fails opens nothing.
        DocumentWindow* window = makeWindow();
        if (!window) return;
        const Result<> result = window->openFile(path);
        if (!result) {
            window->close();
            QMessageBox::warning(activeWindow(), tr("The file could not be opened"), result.error());
            continue;
        }
        window->show();
        if (window->document().fileName()) noteRecentFile(path);
        if (_recorder) {
            ScriptEvent e;
            e.kind = ScriptEvent::Kind::Open;
            e.text = QFileInfo(path).absoluteFilePath();
            record(e, window->drawingAreaSize());
        }
        if (blank) blank->close();
    }
}

void PavoApplication::openDocument()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        activeWindow(), tr("Open"), QString(),
        tr("Drawings and pictures (*.pavo *.pavotemplate *.png *.jpg *.jpeg *.gif *.tif *.tiff *.bmp *.webp);;"
           "Pavo drawings (*.pavo *.pavotemplate);;All files (*)"));
    openFiles(paths);
}

bool PavoApplication::closeAllAndQuit()
{
    for (const auto& w : std::vector<QPointer<DocumentWindow>>(_windows)) {
        if (w && !w->close()) return false;
    }
    QApplication::quit();
    return true;
}

QSize PavoApplication::frontViewSize() const
{
    if (const auto* front = qobject_cast<const DocumentWindow*>(activeWindow())) return front->drawingAreaSize();
    for (const auto& w : _windows)
        if (w) return w->drawingAreaSize();
    return {};
}

void PavoApplication::offerRecovery()
{
    const QStringList copies = left_over_copies(_recovery_folder);
    if (copies.isEmpty()) return;
    // Two whole sentences rather than "%n drawing(s)", which reads "1 drawing(s)" untranslated.
    const QString found = copies.size() == 1
        ? tr("Pavo found 1 drawing with changes that were never saved when it last stopped.")
        : tr("Pavo found %1 drawings with changes that were never saved when it last stopped.").arg(copies.size());
    QMessageBox box(QMessageBox::Question, tr("Pavo"), found,
                    QMessageBox::Open | QMessageBox::Discard | QMessageBox::Cancel, activeWindow());
    box.setInformativeText(copies.size() == 1
                               ? tr("Open it to look at it and save it, discard it, or decide next time.")
                               : tr("Open them to look at them and save them, discard them, or decide next time."));
    box.button(QMessageBox::Cancel)->setText(tr("Later"));
    box.setDefaultButton(QMessageBox::Open);
    const int answer = box.exec();
    // The empty window of the start gives way to the drawings that come back.
    std::vector<QPointer<DocumentWindow>> blank;
    for (const auto& w : _windows)
        if (w && w->isBlank()) blank.push_back(w);
    bool recovered = false;
    for (const QString& copy : copies) {
        if (answer == QMessageBox::Discard) {
            discard_left_over_copy(copy);
        } else if (answer == QMessageBox::Open) {
            DocumentWindow* window = makeWindow();
            if (!window) return;
            const Result<> result = window->openRecovered(copy);
            if (!result) {
                window->close();
                QMessageBox::warning(activeWindow(), tr("A recovered drawing could not be opened"), result.error());
                continue;
            }
            window->show();
            recovered = true;
        }
    }
    if (recovered)
        for (const auto& w : blank)
            if (w) w->close();
}

QStringList PavoApplication::recentFiles() const
{
    QStringList files = QSettings().value(kRecentFilesKey).toStringList();
    files.removeIf([](const QString& f) { return !QFileInfo::exists(f); });
    return files;
}

void PavoApplication::noteRecentFile(const QString& path)
{
    QStringList files = recentFiles();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kRecentFileCount) files.removeLast();
    QSettings().setValue(kRecentFilesKey, files);
    emit recentFilesChanged();
}

void PavoApplication::clearRecentFiles()
{
    QSettings().remove(kRecentFilesKey);
    emit recentFilesChanged();
}

QList<QColor> PavoApplication::recentColours() const { return PavoSettings().recentColours(); }

void PavoApplication::noteRecentColour(const QColor& colour)
{
    PavoSettings settings;
    const QList<QColor> before = settings.recentColours();
    if (settings.noteRecentColour(colour) != before) emit recentColoursChanged();
}

void PavoApplication::setPressureCurve(const PressureCurve& curve)
{
    PavoSettings().rememberPressureCurve(curve.text());
    for (const QPointer<DocumentWindow>& window : _windows)
        if (window) window->document().setPressureCurve(curve);
}

void PavoApplication::resetSettings()
{
    PavoSettings().reset();
    emit recentColoursChanged();
}

// The stylus

std::uint16_t PavoApplication::pointerIdOf(const QTabletEvent& event)
{
    // Styluses are numbered in the order they are first seen; the first is 0.
    const QPointingDevice* device = event.pointingDevice();
    const qint64 id = device ? device->uniqueId().numericId() : 0;
    auto found = std::find(_styluses.begin(), _styluses.end(), id);
    if (found == _styluses.end()) {
        _styluses.push_back(id);
        found = std::prev(_styluses.end());
    }
    return std::uint16_t(std::min<std::ptrdiff_t>(found - _styluses.begin(), 0xFFFF));
}

void PavoApplication::postProximity(const QTabletEvent& event, bool entering)
{
    const QPointingDevice* device = event.pointingDevice();
    ProximityRecord record;
    record.pointerID = pointerIdOf(event);
    record.pointerType = proximity_pointer_type(event.pointerType());
    record.enterProximity = entering ? 1 : 0;
    if (device) {
        record.uniqueID = std::uint64_t(device->uniqueId().numericId());
        record.capabilityMask = std::uint32_t(device->capabilities().toInt());
    }
    if (entering) _last_pointer_type = record.pointerType;
    if (_recorder && record.pointerType != kPointerTypeUnknown && record.pointerType != kPointerTypeCursor) {
        ScriptEvent e;
        e.kind = ScriptEvent::Kind::Proximity;
        e.name = entering ? QStringLiteral("enter") : QStringLiteral("leave");
        e.eraser = record.pointerType == kPointerTypeEraser;
        e.pointerId = record.pointerID;
        this->record(e, {});
    }
    _proximity.post(record);
}

void PavoApplication::stylusPressed(const QTabletEvent& event)
{
    if (proximity_pointer_type(event.pointerType()) != _last_pointer_type) postProximity(event, true);
}

bool PavoApplication::event(QEvent* event)
{
    if (event->type() == QEvent::TabletEnterProximity || event->type() == QEvent::TabletLeaveProximity) {
        postProximity(static_cast<const QTabletEvent&>(*event), event->type() == QEvent::TabletEnterProximity);
        return true;
    }
    return QApplication::event(event);
}
