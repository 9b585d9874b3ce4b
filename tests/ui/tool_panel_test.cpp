// The tool panel and its docks: every control reaches the document in front and shows what
// the document holds; the docks follow the window in front, outlive the windows they show,
// and remember where they were.

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
#include "tool_panel.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDockWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

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

TEST_F(Panels, TheColourWellOpensOneColourPanelOnTheFillColour)
{
    window->document().setFillColor(QColor(0, 128, 255));
    window->document().perform(QStringLiteral("penTool:"));
    panel.tabs().setCurrentIndex(2);
    fill.colorWell().click();
    fill.colorWell().click();
    int open = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QColorDialog*>(w); dialog && dialog->isVisible()) {
            ++open;
            EXPECT_EQ(dialog->currentColor(), QColor(0, 128, 255));
        }
    EXPECT_EQ(open, 1);
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
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString recorded = QString::fromUtf8(file.readAll());
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

} // namespace
