// The window's own matters: the status bar's texts and zoom choices, the colour menu's
// swatches and check marks, recent colours, the settings a new window starts from, full
// screen and canvas only, the shortcut listing, the help window, and recovered drawings.

#include "canvas_widget.h"
#include "document_window.h"
#include "drawing_status.h"
#include "event_recorder.h"
#include "help_window.h"
#include "keyboard_shortcuts.h"
#include "menu_manager.h"
#include "modal_answers.h"
#include "panel_docks.h"
#include "pavo_application.h"
#include "pavo_settings.h"
#include "pictures.h"
#include "preferences_dialog.h"
#include "curve_editor.h"
#include "support/strokes.h"

#include <QtWidgets>

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

// Qt's own: offers a key to the shortcuts before the widget sees it, as QtTest does.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep, ushort count);

namespace {

// A key pressed and released at the focus widget.
void type_key(Qt::Key key)
{
    QWidget* focus = QApplication::focusWidget();
    if (!focus || qt_sendShortcutOverrideEvent(focus, 0, key, {}, {}, false, 1)) return;
    QKeyEvent down(QEvent::KeyPress, key, {}), up(QEvent::KeyRelease, key, {});
    QCoreApplication::sendEvent(focus, &down);
    QCoreApplication::sendEvent(focus, &up);
}

// A new window, shown in front, saved and closed after the test so that closing asks nothing.
class WindowModes : public ::testing::Test {
protected:
    PavoApplication& app = *PavoApplication::instance();
    QTemporaryDir dir;
    QPointer<DocumentWindow> window = app.newDocument();
    CanvasWidget* canvas = window ? window->findChild<CanvasWidget*>() : nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(window && canvas);
        window->show(), window->activateWindow(), QCoreApplication::processEvents();
    }
    void TearDown() override
    {
        if (window) (void)window->document().saveTo(dir.filePath(QStringLiteral("teardown.pavo"))), window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    PavoDocument& doc() { return window->document(); }
    QAction* item(const char* action) { return window->menus().action(QLatin1String(action)); }
    QString shown(const char* name)
    {
        auto* label = window->findChild<QLabel*>(QLatin1String(name));
        if (!label) return window->findChild<QToolButton*>(QLatin1String(name))->text();
        return name == std::string_view("colourSwatch") ? label->toolTip() : label->text();
    }
    QAction* titled(const char* action, const char* title)
    {
        for (QAction* a : window->findChildren<QAction*>())
            if (window->menus().actionName(a) == QLatin1String(action) && window->menus().title(a) == QLatin1String(title)) return a;
        return item(action); // the first of its command
    }
    QPointer<DocumentWindow> reopen() // a new window, as after a restart
    {
        window->close();
        return window = app.newDocument();
    }
};

TEST_F(WindowModes, TheStatusBarReadsTheViewAndTheTool)
{
    const struct { const char* action; const char* title; const char* shows; const char* text; } rows[] = {
        {"penSize:", "12", "size", "Size 12"},       {"penOpacity:", "50%", "opacity", "Opacity 50%"},
        {"setRedColor:", "", "colourSwatch", "#ff0000"}, {"zoomIn:", "", "zoom", "300%"},
        {"fillTool:", "", "tool", "Fill"},           {"setBlueColor:", "", "colourSwatch", "#0000ff"},
        {"penTool:", "", "colourSwatch", "#ff0000"},
    };
    for (const auto& row : rows) {
        titled(row.action, row.title)->trigger();
        EXPECT_EQ(shown(row.shows), QLatin1String(row.text)) << row.action;
    }
    EXPECT_EQ(shown("penType"), doc().pen().penTypeName());
    // Changes of the view that no command makes reach it through the view's repaint.
    PavoView& view = doc().view();
    const Point c = point(view.viewSize()) / 2.0f;
    ASSERT_TRUE(view.rotateFrom(c + Point{100, 0}, c + Point{0, 100}) && view.zoomToPoint(c, 0.5f));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown("rotation") + shown("zoom"), QStringLiteral("90°150%"));
    for (QAction* choice : window->findChild<QToolButton*>(QStringLiteral("zoom"))->menu()->actions())
        if (choice->text() == u"25%") choice->trigger();
    EXPECT_NEAR(view.scale(), 0.25f, 1e-5f);
}

TEST_F(WindowModes, ColourItemsShowSwatchesAndTheToolColourIsChecked)
{
    for (const char* name : {"setRedColor:", "setBrownColor:", "setWhiteColor:"}) {
        QAction* colour = item(name);
        colour->trigger();
        const QColor expected = *PavoDocument::namedColor(QLatin1String(name));
        EXPECT_EQ(colour->icon().pixmap(14).toImage().pixelColor(7, 7).rgb(), expected.rgb()) << name;
        int checked = 0;
        for (QAction* each : qobject_cast<QMenu*>(colour->parent())->actions()) checked += each->isChecked();
        EXPECT_TRUE(colour->isChecked() && checked == 1) << name;
    }
}

TEST_F(WindowModes, RecentColoursKeepTheLastEightDrawnWith)
{
    const auto hue = [](int h) { return QColor::fromHsv(h, 200, 200); };
    for (int i = 0; i < 10; ++i) doc().setToolColor(hue(i * 30)), doc().drawing().addStroke(fill_stroke(make_rect(1, 1, 2, 2)));
    const QList<QAction*> items = window->menus().recentColoursMenu()->actions();
    ASSERT_EQ(items.size(), PavoSettings::kRecentColourCount);
    EXPECT_EQ(items.front()->data().value<QColor>().rgb(), hue(270).rgb());
    EXPECT_EQ(PavoSettings().recentColours().back().rgb(), hue(60).rgb()) << "kept for the next start";
    items[3]->trigger();
    EXPECT_TRUE(doc().toolColor().rgb() == hue(180).rgb() && items[3]->isChecked());
}

TEST_F(WindowModes, ANewWindowStartsWithThePenFillAndFrameLeftUnlessResetOrOutOfRange)
{
    const QString defaultType = *doc().pen().penTypeName();
    ASSERT_TRUE(doc().setPenTypeName(QStringLiteral("Marker")));
    doc().setPenSize(12), doc().setPenOpacity(0.5f), doc().setPenColor(Qt::red), doc().setPenSmoothing(0.25f);
    ASSERT_TRUE(doc().setPenTypeName(QStringLiteral("Pencil")));
    doc().setPenSize(3), doc().setFillExpand(4), doc().setFillTolerance(0.25f), doc().setFillGap(3), doc().setFillPrecision(2);
    doc().setPressureCurve(PressureCurve::firm());
    window->resize(window->size() + QSize(37, 23)), QCoreApplication::processEvents();
    const int height = window->drawingAreaSize().height(); // the width goes to the panels in front
    reopen(), QCoreApplication::processEvents();
    Pen& pen = doc().pen();
    EXPECT_TRUE(pen.penTypeName() == u"Pencil" && pen.radius() == 3 && window->drawingAreaSize().height() == height);
    EXPECT_TRUE(doc().fill().expand() == 4 && doc().fill().tolerance() == 0.25f && doc().fill().gap() == 3 &&
                doc().fill().precision() == 2 && doc().pressureCurve() == PressureCurve::firm());
    ASSERT_TRUE(pen.setPenTypeName(QStringLiteral("Marker")));
    EXPECT_TRUE(pen.radius() == 12 && pen.opacity() == 0.5f && pen.color() == QColor(Qt::red) && pen.smoothing() == 0.25f);
    QSettings().sync();
    EXPECT_EQ(QSettings(QSettings().fileName(), QSettings::IniFormat).value("pen/lastType"), "Pencil") << "on disk";
    app.resetSettings();
    const Pen& fresh = reopen()->document().pen();
    const float radius = fresh.radius(), opacity = fresh.opacity(), expand = float(doc().fill().expand());
    EXPECT_EQ(fresh.penTypeName(), defaultType);
    // Values a hand or another version left out of range are no settings.
    QSettings().setValue("pen/types", QVariantMap{{defaultType, QVariantMap{{"size", -3}, {"opacity", 7}, {"colour", "no"}}}});
    QSettings().setValue("fill", QVariantMap{{"expand", 1e9}, {"mode", "Nonsense"}, {"gap", 11}, {"precision", 3}});
    QSettings().setValue("pressure/curve", "0 1 1 0");
    const Pen& checked = reopen()->document().pen();
    EXPECT_TRUE(checked.radius() == radius && checked.opacity() == opacity && float(doc().fill().expand()) == expand);
    EXPECT_TRUE(doc().fill().gap() == 0 && doc().fill().precision() == 1 && doc().pressureCurve() == PressureCurve());
}

// A recording replays from the defaults, so it starts with what the window took up.
TEST_F(WindowModes, ARecordingStartsWithTheSettingsTheDrawingStartedWith)
{
    QSettings().setValue("pen/types", QVariantMap{{"Marker", QVariantMap{{"size", 12}}}});
    QSettings().setValue("pen/lastType", "Marker");
    QSettings().setValue("pressure/curve", "0 0 0.5 0.25 1 1");
    const QString script = dir.filePath(QStringLiteral("s.events"));
    app.setRecorder(std::move(*EventRecorder::open(script)));
    window->close(), window = app.newDocument(), app.setRecorder(nullptr);
    const QString recorded = QString::fromUtf8(file_bytes(script));
    EXPECT_TRUE(recorded.contains(u"set pen.type Marker\nset pen.radius 12\n") && recorded.contains(u"set fill.mode") &&
                recorded.contains(u"set pressure.curve 0 0 0.5 0.25 1 1\n"))
        << recorded.toStdString();
}

// Edit › Preferences: the stylus near the tablet shows its pressure on the curve; Cancel
// keeps the curve; a preset and a dragged point reach every open drawing, the settings and
// the recording.
TEST_F(WindowModes, PreferencesSetThePressureCurveForEveryDrawing)
{
    const QString script = dir.filePath(QStringLiteral("p.events"));
    app.setRecorder(std::move(*EventRecorder::open(script)));
    const QPointer<DocumentWindow> other = app.newDocument();
    const auto bend = [](PreferencesDialog& d) {
        auto* editor = d.findChild<CurveEditor*>();
        for (QPushButton* b : d.findChildren<QPushButton*>()) if (b->text() == u"Firm") b->click();
        const auto mouse = [editor](QEvent::Type type, CurvePoint at) {
            QMouseEvent e(type, editor->place(at), editor->mapToGlobal(editor->place(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, {});
            QCoreApplication::sendEvent(editor, &e);
        };
        mouse(QEvent::MouseButtonPress, {0.6f, 0.35f}), mouse(QEvent::MouseMove, {0.7f, 0.2f}), mouse(QEvent::MouseButtonRelease, {0.7f, 0.2f});
    };
    answer_modal<PreferencesDialog>([&](PreferencesDialog& d) {
        bend(d);
        QTabletEvent near(QEvent::TabletMove, QPointingDevice::primaryPointingDevice(), {5, 5}, {5, 5}, 0.5, 0, 0, 0, 0, 0, {}, Qt::NoButton, Qt::NoButton);
        QCoreApplication::sendEvent(d.findChild<CurveEditor*>(), &near);
        const QString drawn = QString::number(qRound(PressureCurve::firm().withPointMoved(1, {0.7f, 0.2f}).map(0.5f) * 100));
        bool shown = false;
        for (QLabel* label : d.findChildren<QLabel*>()) shown |= label->text().contains(QStringLiteral("tablet 50 %, drawn at %1 %").arg(drawn));
        EXPECT_TRUE(shown) << drawn.toStdString();
        d.reject();
    });
    item("preferences:")->trigger();
    EXPECT_EQ(doc().pressureCurve(), PressureCurve());
    answer_modal<PreferencesDialog>([&](PreferencesDialog& d) { bend(d), d.accept(); });
    item("preferences:")->trigger();
    app.setRecorder(nullptr);
    const QString bent = QStringLiteral("0 0 0.7 0.2 1 1");
    EXPECT_TRUE(doc().pressureCurve().text() == bent && other->document().pressureCurve().text() == bent);
    EXPECT_EQ(QSettings().value("pressure/curve").toString(), bent);
    QFile file(script);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly) && QString::fromUtf8(file.readAll()).endsWith(QStringLiteral("set pressure.curve %1\n").arg(bent)));
    (void)other->document().saveTo(dir.filePath(QStringLiteral("other.pavo"))), other->close();
}

TEST_F(WindowModes, TabInTheDrawingShowsTheCanvasOnlyAndTabInAPanelMovesOn)
{
    item("toggleFullScreen:")->trigger();
    EXPECT_TRUE(window->isFullScreen() && item("toggleFullScreen:")->isChecked());
    QDockWidget* panel = app.panels().dock(QStringLiteral("penPanel"));
    const auto bars = [&] { return window->menuBar()->isVisible() + window->statusBar()->isVisible() + panel->isVisible(); };
    ASSERT_EQ(bars(), 3);
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Escape, Qt::Key_Tab, Qt::Key_Tab}) {
        const bool before = window->isCanvasOnly();
        canvas->setFocus();
        type_key(key);
        EXPECT_EQ(window->isCanvasOnly(), !before) << key;
        EXPECT_EQ(bars(), before ? 3 : 0) << key;
    }
    QWidget* control = panel->findChild<QComboBox*>();
    control->setFocus();
    type_key(Qt::Key_Tab);
    EXPECT_TRUE(!window->isCanvasOnly() && QApplication::focusWidget() != control);
}

TEST_F(WindowModes, TheShortcutListIsReadFromTheActionsAndTheGuideOpensInAWindowOfItsOwn)
{
    item("undo:")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    QStringList listed;
    for (const ShortcutRow& row : keyboard_shortcuts(*window)) listed << row.keys.split(QStringLiteral(", "));
    for (QAction* each : window->menuBar()->findChildren<QAction*>())
        EXPECT_TRUE(each->shortcut().isEmpty() || listed.contains(each->shortcut().toString(QKeySequence::NativeText)));
    EXPECT_TRUE(keyboard_shortcuts(*window).contains(ShortcutRow{QStringLiteral("Edit › Undo"), QStringLiteral("Ctrl+U")}));
    answer_message_box(QMessageBox::Ok); // a failure to open says so
    item("showHelp:")->trigger(), QCoreApplication::processEvents();
    auto* help = qobject_cast<HelpWindow*>(QApplication::activeWindow());
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->browser().source().fileName() == u"index.html" && !help->browser().toPlainText().isEmpty());
    help->close();
}

class Recovered : public WindowModes, public ::testing::WithParamInterface<int> {};

// The blank window of the start gives way, each drawing keeps its frame, the question counts.
TEST_P(Recovered, DrawingsReplaceTheBlankWindowKeepTheirFrameAndAreCounted)
{
    QTemporaryDir folder;
    app.setRecoveryFolder(folder.path());
    QPointer<DocumentWindow> source = app.newDocument();
    source->resize(source->size() + QSize(41, 17));
    QCoreApplication::processEvents(), source->document().drawing().addStroke(fill_stroke(make_rect(10, 10, 20, 20)));
    for (int i = 0; i < GetParam(); ++i)
        ASSERT_TRUE(source->document().writeCopy(folder.filePath(QStringLiteral("drawing-%1.pavo").arg(i))));
    // The height: the width goes to the panels of the window in front.
    const QString frame = source->windowFrame()->section(u' ', 3);
    ASSERT_TRUE(source->document().saveTo(dir.filePath(QStringLiteral("source.pavo"))) && source->close());
    PavoSettings().reset(); // the frame comes from the copies, not from the window just closed
    QString asked;
    answer_message_box(QMessageBox::Open, &asked);
    app.offerRecovery(), QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(asked.contains(GetParam() == 1 ? u"found 1 drawing with" : u"found 3 drawings with")) << asked.toStdString();
    EXPECT_FALSE(window) << "the blank window closed";
    int recovered = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DocumentWindow*>(w); d && d->isVisible() && d->document().isEdited()) {
            recovered += d->windowFrame()->section(u' ', 3) == frame;
            answer_message_box(QMessageBox::Discard), d->close();
        }
    EXPECT_EQ(recovered, GetParam());
    app.setRecoveryFolder(default_recovery_folder());
}

INSTANTIATE_TEST_SUITE_P(OneAndMany, Recovered, ::testing::Values(1, 3));

} // namespace
