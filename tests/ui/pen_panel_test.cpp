// The pen panel over a real headless document: every control moved and read back from the
// document's pen, the numbers as the boxes and sliders show them, typed text held in range
// or put back, the empty state, and documents that go away.

#include "color_well.h"
#include "document_window.h"
#include "pavo_application.h"
#include "pen_panel.h"
#include "replay.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const PenTypeMenu& pen_types()
{
    static Headless quiet;
    static const PenTypeMenu menu = build_pen_type_menu(resource_path(), quiet);
    return menu;
}

// Counts the colour panels the document asks for.
struct Shell : DocumentShell {
    void showColorPanel(ColorPanelTarget target, const QColor& color) override
    {
        ++shown;
        shownFor = target;
        shownColor = color;
    }
    int shown = 0;
    ColorPanelTarget shownFor = ColorPanelTarget::Background;
    QColor shownColor;
};

void press(QWidget* widget, Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &down);
}

QAction* find_action(QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text) return action;
        if (action->menu())
            if (QAction* inner = find_action(action->menu(), text)) return inner;
    }
    return nullptr;
}

class PenPanelTest : public ::testing::Test {
protected:
    Headless headless;
    Shell shell;
    std::unique_ptr<PavoDocument> doc = headless.open(shell);
    PenPanel panel{pen_types()};
    Pen& pen = doc->pen();

    void SetUp() override
    {
        ASSERT_TRUE(doc);
        panel.showDocument(doc.get());
    }
    template <class T> T* get(const char* name) const
    {
        T* control = panel.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(control) << name;
        return control;
    }
    // Types into a box and presses Enter.
    void type(const char* box, const QString& text)
    {
        get<QLineEdit>(box)->setText(text);
        press(get<QLineEdit>(box), Qt::Key_Return);
    }
    QString shown(const char* box) const { return get<QLineEdit>(box)->text(); }
    void choose(const QString& title)
    {
        QAction* action = find_action(get<QPushButton>("penType")->menu(), title);
        ASSERT_TRUE(action) << title.toStdString();
        action->trigger();
    }
};

TEST_F(PenPanelTest, PopUpListsPenTypesWithKeyTextsAndSendsTheNameAlone)
{
    choose(QStringLiteral("Calligraphy  Ctrl+5"));
    EXPECT_EQ(pen.penTypeName(), QStringLiteral("Calligraphy"));
    choose(QStringLiteral("Rectangle  Ctrl+Alt+2")); // from the Shapes submenu
    EXPECT_EQ(pen.penTypeName(), QStringLiteral("Rectangle"));
    EXPECT_TRUE(get<QPushButton>("penType")->text().startsWith(u"Rectangle  "));
}

TEST_F(PenPanelTest, EveryControlChangesThePen)
{
    ASSERT_TRUE(doc->setPenTypeName(QStringLiteral("Calligraphy")));
    panel.refresh();
    auto* mode = get<QComboBox>("penMode");
    const int multiply = mode->findData(kModeMultiply);
    mode->setCurrentIndex(multiply);
    emit mode->activated(multiply);
    EXPECT_EQ(pen.transferMode(), kModeMultiply);

    get<QSlider>("penOpacitySlider")->setValue(40);
    EXPECT_FLOAT_EQ(pen.opacity(), 0.4f);
    type("penOpacityBox", QStringLiteral("25"));
    EXPECT_FLOAT_EQ(pen.opacity(), 0.25f);
    EXPECT_EQ(get<QSlider>("penOpacitySlider")->value(), 25);

    get<QSlider>("penSizeSlider")->setValue(12);
    EXPECT_FLOAT_EQ(pen.radius(), 12);
    type("penSizeBox", QStringLiteral("300")); // the box reaches past the slider
    EXPECT_FLOAT_EQ(pen.radius(), 300);

    EXPECT_EQ(get<QComboBox>("penCustomLabel")->currentText(), QStringLiteral("Nib angle"));
    get<QSlider>("penCustomSlider")->setValue(90);
    EXPECT_FLOAT_EQ(pen.getParameter(QStringLiteral("nib_angle")), 90);
    type("penCustomBox", QStringLiteral("30.5")); // sent as typed, shown rounded
    EXPECT_FLOAT_EQ(pen.getParameter(QStringLiteral("nib_angle")), 30.5f);
    EXPECT_EQ(shown("penCustomBox"), QStringLiteral("31"));

    get<ColorWell>("penColor")->colorDropped(QColor(Qt::red));
    EXPECT_EQ(pen.color(), QColor(Qt::red));
    EXPECT_EQ(get<ColorWell>("penColor")->color(), QColor(Qt::red));
}

struct RoundingRow {
    float opacity, radius, min, max, value;
    const char *opacityShown, *radiusShown;
    int sliderMin, sliderMax;
    const char* valueShown;
};

TEST_F(PenPanelTest, ShowsValuesRoundedHalfUp)
{
    ASSERT_TRUE(doc->setPenTypeName(QStringLiteral("Calligraphy")));
    const QString nib = QStringLiteral("nib_angle");
    for (const RoundingRow& row : {RoundingRow{0.996f, 2.5f, 0.4f, 9.6f, 4.5f, "100", "3", 0, 10, "5"},
                                   RoundingRow{0.004f, 2.49f, 0, 180, 44.4f, "0", "2", 0, 180, "44"},
                                   RoundingRow{0.5f, 7, -3.7f, -0.2f, -0.6f, "50", "7", -3, 0, "0"}}) {
        doc->setPenOpacity(row.opacity);
        doc->setPenSize(row.radius);
        pen.setParameter(nib + QStringLiteral("_min"), row.min);
        pen.setParameter(nib + QStringLiteral("_max"), row.max);
        doc->setPenParameter(nib, row.value);
        panel.refresh();
        EXPECT_EQ(shown("penOpacityBox"), QLatin1String(row.opacityShown)) << row.opacity;
        EXPECT_EQ(get<QSlider>("penOpacitySlider")->value(), QString::fromLatin1(row.opacityShown).toInt());
        EXPECT_EQ(shown("penSizeBox"), QLatin1String(row.radiusShown)) << row.radius;
        EXPECT_EQ(get<QSlider>("penCustomSlider")->minimum(), row.sliderMin) << row.min;
        EXPECT_EQ(get<QSlider>("penCustomSlider")->maximum(), row.sliderMax) << row.max;
        EXPECT_EQ(shown("penCustomBox"), QLatin1String(row.valueShown)) << row.value;
    }
}

struct TypedRow {
    const char* box;
    const char* text;
    float expected;  // the pen's value afterwards
    const char* shown;
};

TEST_F(PenPanelTest, TypedNumbersAreHeldInRangeAndOtherTextPutBack)
{
    ASSERT_TRUE(doc->setPenTypeName(QStringLiteral("Calligraphy")));
    doc->setPenOpacity(0.6f);
    doc->setPenSize(9);
    doc->setPenParameter(QStringLiteral("nib_angle"), 45);
    panel.refresh();
    const auto value = [this](const std::string& box) {
        return box == "penOpacityBox" ? pen.opacity()
             : box == "penSizeBox"    ? pen.radius()
                                      : pen.getParameter(QStringLiteral("nib_angle"));
    };
    for (const TypedRow& row : {TypedRow{"penOpacityBox", "abc", 0.6f, "60"}, TypedRow{"penOpacityBox", "", 0.6f, "60"},
                                TypedRow{"penOpacityBox", "nan", 0.6f, "60"}, TypedRow{"penOpacityBox", "150", 1, "100"},
                                TypedRow{"penOpacityBox", "-5", 0, "0"}, TypedRow{"penSizeBox", "1e999", 9, "9"},
                                TypedRow{"penSizeBox", "0", 1, "1"}, TypedRow{"penSizeBox", " 5000 ", 1000, "1000"},
                                TypedRow{"penSizeBox", "7x", 1000, "1000"}, TypedRow{"penCustomBox", "400", 180, "180"},
                                TypedRow{"penCustomBox", "-1", 0, "0"}, TypedRow{"penCustomBox", "inf", 0, "0"}}) {
        type(row.box, QString::fromLatin1(row.text));
        EXPECT_FLOAT_EQ(value(row.box), row.expected) << row.box << " \"" << row.text << '"';
        EXPECT_EQ(shown(row.box), QLatin1String(row.shown)) << row.box << " \"" << row.text << '"';
    }
}

bool all_disabled(const PenPanel& panel)
{
    for (const char* name : {"penMode", "penOpacityBox", "penOpacitySlider", "penSizeBox", "penSizeSlider",
                             "penColor", "penCustomLabel", "penCustomBox", "penCustomSlider"})
        if (panel.findChild<QWidget*>(QString::fromLatin1(name))->isEnabled()) return false;
    return true;
}

TEST_F(PenPanelTest, AnotherToolShowsNoPenAndKeepsTheParameterList)
{
    ASSERT_TRUE(doc->setPenTypeName(QStringLiteral("Calligraphy")));
    panel.refresh();
    EXPECT_FALSE(all_disabled(panel));
    ASSERT_TRUE(doc->perform(QStringLiteral("fillTool:")));
    panel.refresh();
    EXPECT_EQ(get<QPushButton>("penType")->text(), QStringLiteral("(no pen)"));
    EXPECT_TRUE(all_disabled(panel));
    get<QSlider>("penSizeSlider")->setValue(50); // a disabled control sends nothing
    EXPECT_FLOAT_EQ(pen.radius(), 8);
    ASSERT_TRUE(doc->perform(QStringLiteral("penTool:")));
    panel.refresh();
    EXPECT_TRUE(get<QWidget>("penCustomSlider")->isEnabled());
    EXPECT_EQ(get<QComboBox>("penCustomLabel")->count(), 1);
    // A type without settings disables the setting controls alone.
    choose(QStringLiteral("Pen  Ctrl+1"));
    EXPECT_FALSE(get<QWidget>("penCustomSlider")->isEnabled());
    EXPECT_TRUE(get<QWidget>("penSizeSlider")->isEnabled());
}

TEST_F(PenPanelTest, KeepsNoDocumentPastTheNextShow)
{
    Shell otherShell;
    std::unique_ptr<PavoDocument> other = headless.open(otherShell);
    panel.showDocument(other.get());
    get<QSlider>("penSizeSlider")->setValue(33);
    EXPECT_FLOAT_EQ(other->pen().radius(), 33);
    EXPECT_NE(pen.radius(), 33);

    other.reset();
    panel.showDocument(nullptr);
    EXPECT_EQ(get<QPushButton>("penType")->text(), QStringLiteral("(no pen)"));
    EXPECT_TRUE(all_disabled(panel));
    // Nothing is left to reach the closed document.
    choose(QStringLiteral("Brush  Ctrl+6"));
    get<QSlider>("penOpacitySlider")->setValue(10);
    type("penSizeBox", QStringLiteral("20"));
    get<ColorWell>("penColor")->click();
    EXPECT_EQ(otherShell.shown, 0);
}

TEST_F(PenPanelTest, ColourWellOpensTheToolColourPanel)
{
    doc->setPenColor(Qt::blue);
    panel.refresh();
    get<ColorWell>("penColor")->click();
    EXPECT_EQ(shell.shown, 1);
    EXPECT_EQ(shell.shownFor, ColorPanelTarget::Tool);
    EXPECT_EQ(shell.shownColor, QColor(Qt::blue));
}

TEST_F(PenPanelTest, EscapePutsTheBoxBackAndHandsTheKeyboardToTheDrawing)
{
    int handed = 0;
    panel.focusDrawingRequested = [&handed] { ++handed; };
    doc->setPenSize(6);
    panel.refresh();
    get<QLineEdit>("penSizeBox")->setText(QStringLiteral("40"));
    press(get<QLineEdit>("penSizeBox"), Qt::Key_Escape);
    EXPECT_EQ(handed, 1);
    EXPECT_EQ(shown("penSizeBox"), QStringLiteral("6"));
    EXPECT_FLOAT_EQ(pen.radius(), 6);
    press(get<QSlider>("penOpacitySlider"), Qt::Key_Escape);
    EXPECT_EQ(handed, 2);
}

TEST_F(PenPanelTest, TabVisitsTheControlsInOrder)
{
    std::vector<QString> order;
    for (QWidget* w = panel.nextInFocusChain(); w != &panel; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus && !w->objectName().isEmpty()) order.push_back(w->objectName());
    EXPECT_EQ(order, (std::vector<QString>{"penType", "penMode", "penOpacityBox", "penOpacitySlider", "penSizeBox",
                                           "penSizeSlider", "penColor", "penCustomLabel", "penCustomBox",
                                           "penCustomSlider"}));
}

// In the window: a second click on the well takes over the one open colour panel.
TEST(PenPanelWindow, ColourWellNeverOpensASecondColourPanel)
{
    QTemporaryDir dir;
    QPointer<DocumentWindow> window = PavoApplication::instance()->newDocument();
    ASSERT_TRUE(window);
    PenPanel panel(pen_types());
    panel.showDocument(&window->document());
    auto* well = panel.findChild<ColorWell*>(QStringLiteral("penColor"));
    well->click();
    window->document().perform(QStringLiteral("showSetBackgroundColor:"));
    well->click();
    const auto panels = window->findChildren<QColorDialog*>();
    ASSERT_EQ(panels.size(), 1);
    EXPECT_TRUE(panels[0]->isVisible());
    EXPECT_EQ(panels[0]->windowTitle(), QStringLiteral("Tool Colour"));
    panel.showDocument(nullptr);
    (void)window->document().saveTo(dir.filePath(QStringLiteral("teardown.pavo")));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
