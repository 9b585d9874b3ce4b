#pragma once

// The application object: it turns the tablet's proximity events into the proximity
// notification every document hears, and keeps the open document windows: new, open,
// open recent and quit, each window asking about its unsaved changes.

#include "lua_host.h"
#include "pen_type_menu.h"
#include "proximity.h"
#include "system_clipboard.h"

#include <QApplication>
#include <QColor>
#include <QList>
#include <QPointer>
#include <QStringList>

#include <memory>
#include <vector>

class PressureCurve;
class DocumentWindow;
class EventRecorder;
class PanelDocks;
class PenPanel;
struct ScriptEvent;
class QTabletEvent;

class PavoApplication final : public QApplication {
    Q_OBJECT

public:
    PavoApplication(int& argc, char** argv);
    ~PavoApplication() override;

    static PavoApplication* instance();

    // Input goes to this file as an event script, for bug reports.
    void setRecorder(std::unique_ptr<EventRecorder> recorder);
    bool recording() const { return _recorder != nullptr; }
    // Writes one event of the user's input, after the view size the first time, since a
    // script sets its size only before its first event.
    void record(const ScriptEvent& event, QSize viewSize);
    ScriptAlerts& alerts() { return *_alerts; }
    // The pen scripts every window's pen runs, and the pen type menu they make.
    const PenFolders& penFolders() const { return _pen_folders; }
    const PenTypeMenu& penTypeMenu() const { return _pen_type_menu; }
    // Reads the pen scripts again, for every window, its menus and the pen panel.
    void reloadPenTypes();
    // The router of the tablet's proximity news, which every document listens to.
    ProximityCenter& proximity() { return _proximity; }
    Clipboard& clipboard() { return _clipboard; }
    // The panels, which follow the window in front.
    PanelDocks& panels() { return *_panels; }
    // A window is closing: the panels leave it for the window coming forward, if any.
    void windowClosing(DocumentWindow* window);

    // A new untitled window, shown.
    DocumentWindow* newDocument();
    // Opens each file in a window of its own, or brings forward the window already showing
    // it. A file that cannot be opened is reported and opens nothing.
    void openFiles(const QStringList& paths);
    void openDocument();  // asks for the files
    // Closes every window; stops at the first whose unsaved changes the user keeps.
    bool closeAllAndQuit();

    QStringList recentFiles() const;
    void noteRecentFile(const QString& path);
    void clearRecentFiles();
    // The last colours drawn with, newest first, kept across starts.
    QList<QColor> recentColours() const;
    void noteRecentColour(const QColor& colour);
    // Forgets the pen, fill, window and colour settings (PavoSettings); every window's
    // Recent Colours empties.
    void resetSettings();
    // The curve for every open drawing and every new one.
    void setPressureCurve(const PressureCurve& curve);
    // Where copies of edited drawings are kept against a crash.
    const QString& recoveryFolder() const { return _recovery_folder; }
    void setRecoveryFolder(const QString& folder) { _recovery_folder = folder; }
    // Offers the copies an earlier session left behind: open them, discard them, or keep
    // them for later.
    void offerRecovery();

    // The number of the next untitled window, for its title.
    int nextUntitledNumber() { return ++_untitled; }

    // A stylus press carries the end in use; a change of end with no proximity news is
    // reported as the end coming near.
    void stylusPressed(const QTabletEvent& event);

signals:
    void recentFilesChanged();
    void recentColoursChanged();

protected:
    bool event(QEvent* event) override;

private:
    std::optional<DocumentWindow*> windowShowing(const QString& path) const;
    // The drawing area of the window in front, or of any window; empty with none.
    QSize frontViewSize() const;
    // A window not yet shown, kept in the list of windows.
    DocumentWindow* makeWindow();
    void postProximity(const QTabletEvent& event, bool entering);
    std::uint16_t pointerIdOf(const QTabletEvent& event);

    std::unique_ptr<ScriptAlerts> _alerts;
    PenFolders _pen_folders;
    PenTypeMenu _pen_type_menu;
    PenPanel* _pen_panel = nullptr;
    ProximityCenter _proximity;
    SystemClipboard _clipboard;
    std::unique_ptr<EventRecorder> _recorder;
    bool _recorded_size = false;
    std::vector<QPointer<DocumentWindow>> _windows;
    std::vector<qint64> _styluses;
    std::uint8_t _last_pointer_type = kPointerTypeUnknown;
    int _untitled = 0;
    QString _recovery_folder;
    std::unique_ptr<PanelDocks> _panels;
};
