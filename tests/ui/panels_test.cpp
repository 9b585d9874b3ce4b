// The panels: every control of the tool panel reaches the document in front and shows what
// the document holds; the docks follow the window in front, outlive the windows they show,
// and remember where they were; and the pen panel over a headless document.

#include "canvas_widget.h"
#include "color.h"
#include "document_window.h"
#include "event_recorder.h"
#include "color_well.h"
#include "fill_properties.h"
#include "menu_manager.h"
#include "number_box.h"
#include "panel_docks.h"
#include "pavo_application.h"
#include "pen_panel.h"
#include "pictures.h"
#include "replay.h"
#include "tool_panel.h"

#include <QtWidgets>

#include <gtest/gtest.h>

namespace {

void close_window(DocumentWindow* window)
{
    if (window) window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void press(QWidget& widget, int key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &down);
}

// Types into a box and presses Enter.
void type(NumberPair& pair, const QString& text)
{
    pair.box().setText(text);
    press(pair.box(), Qt::Key_Return);
}

class Panels : public ::testing::Test {
protected:
    PavoApplication& app = *PavoApplication::instance();
    QPointer<DocumentWindow> window = app.newDocument();
    ToolPanel& panel = *static_cast<ToolPanel*>(app.panels().dock(QStringLiteral("toolPanel"))->widget());
    FillProperties& fill = panel.fill();

    void SetUp() override
    {
        ASSERT_TRUE(window);
        app.panels().follow(window);
        window->document().perform(QStringLiteral("fillTool:"));
    }
    void TearDown() override { close_window(window); }
    FillTool& tool() { return window->document().fill(); }
};

TEST(NumberBox, TypedTextIsClampedOrRefused)
{
    const struct {
        const char* text;
        std::optional<int> value;
    } rows[] = {{"35", 35}, {" 7 ", 7}, {"250", 100}, {"-5", 0}, {"12.6", 13}, {"abc", {}}, {"", {}}, {"inf", {}}};
    for (const auto& row : rows) EXPECT_EQ(box_value(QString::fromLatin1(row.text), 0, 100), row.value) << row.text;
    EXPECT_EQ(shown_percent(0.996f), 100);
    EXPECT_EQ(shown_percent(0.994f), 99);
}

TEST_F(Panels, EveryFillControlReachesTheDocument)
{
    fill.opacity().slider().setValue(35);
    EXPECT_FLOAT_EQ(tool().opacity(), 0.35f);
    type(fill.opacity(), QStringLiteral("250"));
    EXPECT_FLOAT_EQ(tool().opacity(), 1.0f);
    EXPECT_EQ(fill.opacity().box().text(), QStringLiteral("100"));
    fill.tolerance().slider().setValue(35);
    EXPECT_FLOAT_EQ(tool().tolerance(), 0.35f);
    type(fill.tolerance(), QStringLiteral("-3"));
    EXPECT_FLOAT_EQ(tool().tolerance(), 0.0f);
    type(fill.tolerance(), QStringLiteral("lots"));
    EXPECT_FLOAT_EQ(tool().tolerance(), 0.0f);
    EXPECT_EQ(fill.tolerance().box().text(), QStringLiteral("0"));
    type(fill.expand(), QStringLiteral("7"));
    EXPECT_EQ(tool().expand(), 7);
    EXPECT_EQ(fill.expand().slider().value(), 7);
    fill.expand().slider().setValue(12);
    EXPECT_EQ(tool().expand(), 12);
    type(fill.expand(), QStringLiteral("100000"));
    EXPECT_EQ(tool().expand(), FillProperties::kLargestExpand);
    type(fill.gap(), QStringLiteral("99"));
    EXPECT_EQ(tool().gap(), FillTool::kLargestGap);
    emit fill.precision().activated(fill.precision().findData(4));
    EXPECT_EQ(tool().precision(), 4);
    const int multiply = fill.mode().findData(kModeMultiply);
    emit fill.mode().activated(multiply);
    EXPECT_EQ(tool().transferMode(), 7);
}

TEST_F(Panels, TheFillTabShowsTheDocumentsValues)
{
    window->document().setFillOpacity(0.996f);
    window->document().setFillTolerance(0.2f);
    window->document().setFillExpand(4);
    window->document().setFillGap(3);
    window->document().setFillPrecision(2);
    window->document().setFillTransferMode(3);
    window->document().setFillColor(QColor(10, 20, 30));
    EXPECT_EQ(fill.opacity().box().text(), QStringLiteral("100"));
    EXPECT_EQ(fill.tolerance().slider().value(), 20);
    EXPECT_EQ(fill.tolerance().box().text(), QStringLiteral("20"));
    EXPECT_EQ(fill.expand().box().text(), QStringLiteral("4"));
    EXPECT_EQ(fill.gap().box().text(), QStringLiteral("3"));
    EXPECT_EQ(fill.precision().currentData().toInt(), 2);
    EXPECT_EQ(fill.mode().currentData().toInt(), 3);
    EXPECT_EQ(fill.colorWell().icon().pixmap(36, 16).toImage().pixelColor(5, 5), QColor(10, 20, 30));
    // Another tool disables the fill controls, which keep their values.
    window->document().perform(QStringLiteral("arrowTool:"));
    EXPECT_FALSE(fill.tolerance().isEnabled() || fill.mode().isEnabled() || fill.colorWell().isEnabled());
    EXPECT_EQ(fill.tolerance().box().text(), QStringLiteral("20"));
}

TEST_F(Panels, TabsAndToolsChooseEachOther)
{
    const char* actions[] = {"penTool:", "arrowTool:", "fillTool:", "zoomTool:", "moveTool:", "rotateTool:"};
    for (int i = 0; i < 6; ++i) {
        panel.tabs().setCurrentIndex(i);
        EXPECT_EQ(window->document().currentToolAction(), QLatin1String(actions[i]));
    }
    for (int i = 5; i >= 0; --i) {
        window->document().perform(QLatin1String(actions[i]));
        EXPECT_EQ(panel.tabs().currentIndex(), i) << actions[i];
    }
}

// The fill's well, the background and the pen's well take over the window's one colour
// panel in turn, each on its own colour.
TEST_F(Panels, TheColourWellsShareTheWindowsOneColourPanel)
{
    window->document().setFillColor(QColor(0, 128, 255));
    window->document().setPenColor(Qt::blue);
    const auto open = [] {
        QList<QColorDialog*> dialogs;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QColorDialog*>(w); dialog && dialog->isVisible()) dialogs << dialog;
        return dialogs;
    };
    fill.colorWell().click();
    fill.colorWell().click();
    ASSERT_EQ(open().size(), 1);
    EXPECT_EQ(open()[0]->currentColor(), QColor(0, 128, 255));
    window->document().perform(QStringLiteral("showSetBackgroundColor:"));
    window->document().perform(QStringLiteral("penTool:"));
    app.panels().dock(QStringLiteral("penPanel"))->findChild<ColorWell*>(QStringLiteral("penColor"))->click();
    ASSERT_EQ(open().size(), 1);
    EXPECT_EQ(open()[0]->windowTitle(), QStringLiteral("Tool Colour"));
    EXPECT_EQ(open()[0]->currentColor(), QColor(Qt::blue));
}

TEST_F(Panels, EscapeInAPanelGivesTheFocusBackToTheDrawing)
{
    fill.expand().box().setFocus();
    press(fill.expand().box(), Qt::Key_Escape);
    EXPECT_EQ(window->focusWidget(), window->findChild<CanvasWidget*>());
}

TEST_F(Panels, PanelsSurviveTheWindowTheyShowClosing)
{
    QPointer<DocumentWindow> second = app.newDocument();
    ASSERT_TRUE(second);
    QPointer<QDockWidget> dock = app.panels().dock(QStringLiteral("toolPanel"));
    // The docks follow the window brought forward.
    for (DocumentWindow* front : {window.data(), second.data()}) {
        front->activateWindow();
        QCoreApplication::processEvents();
        EXPECT_EQ(dock->parentWidget(), front);
        EXPECT_EQ(panel.document(), &front->document());
    }
    close_window(second);
    ASSERT_TRUE(dock);
    EXPECT_EQ(panel.document(), &window->document());
    EXPECT_EQ(dock->parentWidget(), window.data());
    fill.expand().slider().setValue(9);
    EXPECT_EQ(tool().expand(), 9);
    // The last window gone, the panel serves nothing and sends nothing.
    close_window(window);
    ASSERT_TRUE(dock);
    EXPECT_EQ(panel.document(), nullptr);
    EXPECT_EQ(fill.document(), nullptr);
    EXPECT_FALSE(panel.tabs().isEnabled() || fill.expand().isEnabled());
    fill.expand().slider().setValue(3);
    window = app.newDocument();
    app.panels().follow(window);
    EXPECT_EQ(panel.document(), &window->document());
}

// A recording of the person's input holds the panel's changes as the lines that make them.
TEST_F(Panels, PanelChangesAreRecorded)
{
    const QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("panel.events"));
    auto recorder = EventRecorder::open(script);
    ASSERT_TRUE(recorder);
    app.setRecorder(std::move(*recorder));
    fill.opacity().slider().setValue(35);
    type(fill.expand(), QStringLiteral("7"));
    emit fill.mode().activated(fill.mode().findData(kModeDarker));
    panel.tabs().setCurrentIndex(3);
    app.setRecorder(nullptr);
    const QString recorded = QString::fromUtf8(file_bytes(script));
    for (const char* line : {"set fill.opacity 0.35\n", "set fill.expand 7\n", "set fill.mode darker\n", "action zoomTool:\n"})
        EXPECT_TRUE(recorded.contains(QLatin1String(line))) << line << recorded.toStdString();
}

TEST_F(Panels, TheWindowMenuShowsAndHidesThePanel)
{
    QDockWidget* dock = app.panels().dock(QStringLiteral("toolPanel"));
    QAction* item = dock->toggleViewAction();
    ASSERT_TRUE(window->menus().windowMenu()->actions().contains(item));
    item->trigger();
    EXPECT_TRUE(dock->isHidden());
    item->trigger();
    EXPECT_FALSE(dock->isHidden());
}

// A second host, as at the next start, puts each dock where the person left it.
TEST_F(Panels, DockPlacesAreRememberedAcrossStarts)
{
    const struct {
        const char* name;
        Qt::DockWidgetArea area;
        bool floating, shown;
    } rows[] = {{"leftPanel", Qt::LeftDockWidgetArea, false, true},
                {"floatingPanel", Qt::RightDockWidgetArea, true, true},
                {"hiddenPanel", Qt::RightDockWidgetArea, false, false}};
    for (const auto& row : rows) QSettings().remove(QStringLiteral("panels/") + row.name);
    {
        PanelDocks first;
        for (const auto& row : rows) {
            QDockWidget* dock = first.addPanel(new ToolPanel, QStringLiteral("Test"), QLatin1String(row.name));
            first.follow(window);
            // Straight after a first start every panel is shown on the right.
            EXPECT_TRUE(!dock->isHidden() && window->dockWidgetArea(dock) == Qt::RightDockWidgetArea);
            window->addDockWidget(row.area, dock);
            dock->setFloating(row.floating);
            if (!row.shown) dock->toggleViewAction()->trigger();
        }
    }
    PanelDocks second;
    for (const auto& row : rows) {
        QDockWidget* dock = second.addPanel(new ToolPanel, QStringLiteral("Test"), QLatin1String(row.name));
        second.follow(window);
        EXPECT_EQ(window->dockWidgetArea(dock), row.area) << row.name;
        EXPECT_EQ(dock->isFloating(), row.floating) << row.name;
        EXPECT_EQ(!dock->isHidden(), row.shown) << row.name;
    }
}


// The pen panel over a real headless document: every control moved and read back from the
// pen, numbers as the boxes show them, typed text held in range or put back, the empty
// state, and documents that go away.
const PenTypeMenu& pen_types()
{
    static Headless quiet;
    static const PenTypeMenu menu = build_pen_type_menu(resource_path(), quiet);
    return menu;
}

QAction* find_action(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
        if (QAction* inner = action->menu() ? find_action(action->menu(), text) : nullptr) return inner;
    }
    return nullptr;
}

class PenPanelTest : public ::testing::Test {
protected:
    Headless headless;
    DocumentShell shell;
    std::unique_ptr<PavoDocument> doc = headless.open(shell);
    PenPanel panel{pen_types()};

    void SetUp() override
    {
        panel.showDocument(doc.get());
        ASSERT_TRUE(doc->setPenTypeName(QStringLiteral("Calligraphy")));
        panel.refresh();
    }
    Pen& pen() { return doc->pen(); }
    float nib() { return pen().getParameter(QStringLiteral("nib_angle")); }
    template <class T = QWidget> T* get(const char* name) const { return panel.findChild<T*>(QLatin1String(name)); }
    void type(const char* box, const char* text)
    {
        get<QLineEdit>(box)->setText(QLatin1String(text));
        get<QLineEdit>(box)->setModified(true);
        press(*get(box), Qt::Key_Return);
    }
    QString shown(const char* box) const { return get<QLineEdit>(box)->text(); }
    void choose(const char* title) { find_action(get<QPushButton>("penType")->menu(), QLatin1String(title))->trigger(); }
    bool allDisabled() const
    {
        for (const char* name : {"penMode", "penOpacityBox", "penOpacitySlider", "penSizeBox", "penSizeSlider",
                                 "penSmoothingBox", "penSmoothingSlider", "penColor", "penCustomLabel", "penCustomBox", "penCustomSlider"})
            if (get(name)->isEnabled()) return false;
        return get<QPushButton>("penType")->text() == u"(no pen)";
    }
};

// Every change is also heard as the script line that makes it, for a recording.
TEST_F(PenPanelTest, EveryControlChangesThePen)
{
    QStringList heard;
    panel.heard = [&heard](const ScriptEvent& e) { heard << format_event(e); };
    choose("Rectangle  Ctrl+Alt+2"); // from a submenu; the name alone is sent
    EXPECT_EQ(pen().penTypeName(), QStringLiteral("Rectangle"));
    choose("Calligraphy  Ctrl+5");
    EXPECT_EQ(pen().penTypeName(), QStringLiteral("Calligraphy"));
    auto* mode = get<QComboBox>("penMode");
    emit mode->activated(mode->findData(kModeMultiply));
    EXPECT_EQ(pen().transferMode(), kModeMultiply);
    get<QSlider>("penOpacitySlider")->setValue(40);
    EXPECT_FLOAT_EQ(pen().opacity(), 0.4f);
    type("penOpacityBox", "25");
    EXPECT_FLOAT_EQ(pen().opacity(), 0.25f);
    EXPECT_EQ(get<QSlider>("penOpacitySlider")->value(), 25);
    get<QSlider>("penSizeSlider")->setValue(12);
    EXPECT_FLOAT_EQ(pen().radius(), 12);
    get<QSlider>("penSmoothingSlider")->setValue(30);
    EXPECT_FLOAT_EQ(pen().smoothing(), 0.3f);
    type("penSmoothingBox", "150");
    EXPECT_FLOAT_EQ(pen().smoothing(), 1);
    EXPECT_EQ(get<QComboBox>("penCustomLabel")->currentText(), QStringLiteral("Nib angle"));
    get<QSlider>("penCustomSlider")->setValue(90);
    EXPECT_FLOAT_EQ(nib(), 90);
    type("penCustomBox", "30.5"); // sent as typed, shown rounded
    EXPECT_FLOAT_EQ(nib(), 30.5f);
    EXPECT_EQ(shown("penCustomBox"), QStringLiteral("31"));
    get<ColorWell>("penColor")->colorDropped(QColor(Qt::red));
    EXPECT_EQ(pen().color(), QColor(Qt::red));
    EXPECT_EQ(heard.join(u'|'), "set pen.type Rectangle|set pen.type Calligraphy|set pen.mode multiply|set pen.opacity 0.4|"
                                "set pen.opacity 0.25|set pen.radius 12|set pen.smoothing 0.3|set pen.smoothing 1|"
                                "set pen.param.nib_angle 90|set pen.param.nib_angle 30.5|set pen.color FF0000");
}

TEST_F(PenPanelTest, ShowsValuesRoundedHalfUp)
{
    struct Row { float opacity, radius, min, max, value; const char *opacityShown, *radiusShown; int low, high; const char* valueShown; };
    for (const Row& row : {Row{0.996f, 2.5f, 0.4f, 9.6f, 4.5f, "100", "3", 0, 10, "5"},
                           Row{0.004f, 2.49f, 0, 180, 44.4f, "0", "2", 0, 180, "44"},
                           Row{0.5f, 7, -3.7f, -0.2f, -0.6f, "50", "7", -3, 0, "0"}}) {
        doc->setPenOpacity(row.opacity);
        doc->setPenSize(row.radius);
        pen().setParameter(QStringLiteral("nib_angle_min"), row.min);
        pen().setParameter(QStringLiteral("nib_angle_max"), row.max);
        doc->setPenParameter(QStringLiteral("nib_angle"), row.value);
        panel.refresh();
        EXPECT_EQ(shown("penOpacityBox"), QLatin1String(row.opacityShown)) << row.opacity;
        EXPECT_EQ(get<QSlider>("penOpacitySlider")->value(), QByteArray(row.opacityShown).toInt());
        EXPECT_EQ(shown("penSizeBox"), QLatin1String(row.radiusShown)) << row.radius;
        EXPECT_EQ(get<QSlider>("penCustomSlider")->minimum(), row.low) << row.min;
        EXPECT_EQ(get<QSlider>("penCustomSlider")->maximum(), row.high) << row.max;
        EXPECT_EQ(shown("penCustomBox"), QLatin1String(row.valueShown)) << row.value;
    }
}

TEST_F(PenPanelTest, TypedNumbersAreHeldInRangeAndOtherTextPutBack)
{
    doc->setPenOpacity(0.6f);
    doc->setPenSize(9);
    panel.refresh();
    struct Row { const char *box, *text; float expected; const char* shown; };
    for (const Row& row : {Row{"penOpacityBox", "abc", 0.6f, "60"}, Row{"penOpacityBox", "", 0.6f, "60"},
                           Row{"penOpacityBox", "nan", 0.6f, "60"}, Row{"penOpacityBox", "150", 1, "100"},
                           Row{"penOpacityBox", "-5", 0, "0"}, Row{"penSizeBox", "1e999", 9, "9"},
                           Row{"penSizeBox", "0", 1, "1"}, Row{"penSizeBox", " 5000 ", 1000, "1000"},
                           Row{"penSizeBox", "7x", 1000, "1000"}, Row{"penCustomBox", "400", 180, "180"},
                           Row{"penCustomBox", "-1", 0, "0"}, Row{"penCustomBox", "inf", 0, "0"}}) {
        type(row.box, row.text);
        const std::string box = row.box;
        const float value = box == "penOpacityBox" ? pen().opacity() : box == "penSizeBox" ? pen().radius() : nib();
        EXPECT_FLOAT_EQ(value, row.expected) << box << " \"" << row.text << '"';
        EXPECT_EQ(shown(row.box), QLatin1String(row.shown)) << box << " \"" << row.text << '"';
    }
}

TEST_F(PenPanelTest, AnotherToolShowsNoPen)
{
    EXPECT_FALSE(allDisabled());
    ASSERT_TRUE(doc->perform(QStringLiteral("fillTool:")));
    panel.refresh();
    EXPECT_TRUE(allDisabled());
    get<QSlider>("penSizeSlider")->setValue(50); // a disabled control sends nothing
    EXPECT_FLOAT_EQ(pen().radius(), 8);
    ASSERT_TRUE(doc->perform(QStringLiteral("penTool:")));
    panel.refresh();
    EXPECT_TRUE(get("penCustomSlider")->isEnabled());
    choose("Pen  Ctrl+1"); // a type without settings of its own disables those alone
    EXPECT_FALSE(get("penCustomSlider")->isEnabled());
    EXPECT_TRUE(get("penSizeSlider")->isEnabled());
}

TEST_F(PenPanelTest, KeepsNoDocumentPastTheNextShow)
{
    std::unique_ptr<PavoDocument> other = headless.open(shell);
    panel.showDocument(other.get());
    get<QSlider>("penSizeSlider")->setValue(33);
    EXPECT_FLOAT_EQ(other->pen().radius(), 33);
    EXPECT_FLOAT_EQ(pen().radius(), 8);
    other.reset();
    panel.showDocument(nullptr);
    EXPECT_TRUE(allDisabled());
    // Nothing is left to reach the closed document.
    choose("Brush  Ctrl+6");
    get<QSlider>("penOpacitySlider")->setValue(10);
    type("penSizeBox", "20");
    get<ColorWell>("penColor")->click();
}

TEST_F(PenPanelTest, EscapePutsTheBoxBackAndHandsTheKeyboardToTheDrawing)
{
    int handed = 0;
    panel.focusDrawingRequested = [&handed] { ++handed; };
    doc->setPenSize(8.4f);
    panel.refresh();
    get<QLineEdit>("penSizeBox")->setText(QStringLiteral("40"));
    get<QLineEdit>("penSizeBox")->setModified(true);
    press(*get("penSizeBox"), Qt::Key_Escape);
    EXPECT_EQ(handed, 1);
    EXPECT_EQ(shown("penSizeBox"), QStringLiteral("8"));
    emit get<QLineEdit>("penSizeBox")->editingFinished(); // the focus leaves the box
    EXPECT_FLOAT_EQ(pen().radius(), 8.4f);
    press(*get("penOpacitySlider"), Qt::Key_Escape);
    EXPECT_EQ(handed, 2);
}

} // namespace
