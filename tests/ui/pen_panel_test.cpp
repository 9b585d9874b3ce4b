// The pen panel over a real headless document: every control moved and read back from the
// pen, numbers as the boxes show them, typed text held in range or put back, the empty
// state, documents that go away, and the window's one colour panel.

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

void press(QWidget* widget, Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &down);
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
        press(get(box), Qt::Key_Return);
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
    press(get("penSizeBox"), Qt::Key_Escape);
    EXPECT_EQ(handed, 1);
    EXPECT_EQ(shown("penSizeBox"), QStringLiteral("8"));
    emit get<QLineEdit>("penSizeBox")->editingFinished(); // the focus leaves the box
    EXPECT_FLOAT_EQ(pen().radius(), 8.4f);
    press(get("penOpacitySlider"), Qt::Key_Escape);
    EXPECT_EQ(handed, 2);
}

// In the window, clicking the well again takes over the one open colour panel for the pen.
TEST(PenPanelWindow, ColourWellNeverOpensASecondColourPanel)
{
    QTemporaryDir dir;
    QPointer<DocumentWindow> window = PavoApplication::instance()->newDocument();
    ASSERT_TRUE(window);
    window->document().setPenColor(Qt::blue);
    PenPanel panel(pen_types());
    panel.showDocument(&window->document());
    auto* well = panel.findChild<ColorWell*>(QStringLiteral("penColor"));
    well->click();
    window->document().perform(QStringLiteral("showSetBackgroundColor:"));
    well->click();
    QList<QColorDialog*> open;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QColorDialog*>(w); d && d->isVisible()) open.append(d);
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0]->windowTitle(), QStringLiteral("Tool Colour"));
    EXPECT_EQ(open[0]->currentColor(), QColor(Qt::blue));
    panel.showDocument(nullptr);
    (void)window->document().saveTo(dir.filePath(QStringLiteral("teardown.pavo")));
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace
