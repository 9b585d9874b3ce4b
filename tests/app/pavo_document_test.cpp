// The document controller: tools, settings, stroke commands, the eraser end, files; and the
// proximity router that hands each notification to every listening document in turn.

#include "pavo_document.h"

#include "fakes.h"
#include "support/strokes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>

namespace {

class RecordingShell : public DocumentShell {
public:
    int toolDisplays = 0;
    std::vector<bool> edited;
    std::vector<std::pair<ColorPanelTarget, QColor>> panels;
    void toolDisplayChanged() override { ++toolDisplays; }
    void editedChanged(bool e) override { edited.push_back(e); }
    void showColorPanel(ColorPanelTarget target, const QColor& color) override { panels.emplace_back(target, color); }
};

ProximityRecord stylus(std::uint8_t type, bool entering = true, std::uint16_t pointer = 0)
{
    return {.pointerID = pointer, .pointerType = type, .enterProximity = std::uint8_t(entering)};
}

StrokePtr square(float x, float y) { return fill_stroke(make_rect(x, y, 20, 20), Qt::red); }

class Document : public ::testing::Test {
protected:
    RecordingShell shell;
    FakeDisplay display;
    RecordingAlerts alerts;
    ProximityCenter center;
    std::unique_ptr<PavoDocument> doc = PavoDocument::create(shell, display, {400, 300}, alerts);
    CallLog log;
    RecordingTool other{"other", log};
    QTemporaryDir dir;
    void SetUp() override
    {
        ASSERT_TRUE(doc);
        doc->listenToProximity(center);
    }
    int strokeCount() const { return doc->strokes().count(); }
};

TEST_F(Document, ToolsAndMenuSettingsReadTheirValueFromTheItemTitle)
{
    doc->setTool(&other);
    log.clear();
    doc->setTool(&other);
    EXPECT_TRUE(log.empty()) << "choosing the current tool again changes nothing";
    EXPECT_TRUE(doc->perform(QStringLiteral("penTool:")));
    EXPECT_EQ(log, (CallLog{"other:deactivate"}));
    EXPECT_TRUE(doc->perform(QStringLiteral("penOpacity:"), QStringLiteral("50%")));
    EXPECT_FLOAT_EQ(doc->pen().opacity(), 0.5f);
    EXPECT_TRUE(doc->perform(QStringLiteral("penSize:"), QStringLiteral("12")));
    EXPECT_FLOAT_EQ(doc->pen().radius(), 12);
    // A title that is no number gives 0.
    EXPECT_TRUE(doc->perform(QStringLiteral("penSize:"), QStringLiteral("Other…")));
    EXPECT_FLOAT_EQ(doc->pen().radius(), 0);
    doc->setTool(&other);
    EXPECT_TRUE(doc->perform(QStringLiteral("setPenType:"), QStringLiteral("Marker")));
    EXPECT_EQ(doc->tool(), &doc->pen());
    EXPECT_EQ(doc->pen().penTypeName(), QStringLiteral("Marker"));
    EXPECT_FALSE(doc->setPenTypeName(QStringLiteral("Crayon")));
    EXPECT_EQ(doc->pen().penTypeName(), QStringLiteral("Marker"));
    EXPECT_FALSE(doc->perform(QStringLiteral("fly:")));
    EXPECT_GT(shell.toolDisplays, 0);
}

TEST_F(Document, UndoAndRevertDuringAGestureEndTheGestureFirst)
{
    doc->mouseDown({{50, 50}, 1, 0});
    doc->mouseDragged({{50, 50}, 1, 0});
    doc->mouseDragged({{150, 50}, 1, 0});
    EXPECT_TRUE(doc->perform(QStringLiteral("undo:")));
    EXPECT_EQ(strokeCount(), 0);
    // The up that comes late belongs to no gesture any more.
    doc->mouseUp({{150, 50}, 0, 0});
    EXPECT_EQ(strokeCount(), 0);
    EXPECT_TRUE(doc->undoManager().canRedo());
    // So does a revert: what follows it is an undo step of its own.
    doc->drawing().addStroke(square(0, 100));
    ASSERT_TRUE(doc->saveTo(dir.filePath(QStringLiteral("r.pavo"))));
    doc->mouseDown({{50, 50}, 1, 0});
    doc->mouseDragged({{150, 50}, 1, 0});
    ASSERT_TRUE(doc->revert());
    EXPECT_TRUE(doc->perform(QStringLiteral("clear:")));
    EXPECT_TRUE(doc->undoManager().canUndo());
}

TEST_F(Document, DeleteAndClearWithThePenActOnTheTopmostStrokes)
{
    doc->drawing().addStroke(square(0, 0));
    doc->drawing().addStroke(square(30, 0));
    doc->drawing().addStroke(square(60, 0));
    const StrokePtr bottom = doc->strokes().strokeArray().front();
    EXPECT_TRUE(doc->perform(QStringLiteral("delete:")));
    EXPECT_EQ(strokeCount(), 2);
    EXPECT_TRUE(doc->keyDown(QStringLiteral("\x7f")));
    EXPECT_EQ(strokeCount(), 1);
    EXPECT_EQ(doc->strokes().strokeArray().front(), bottom);
    EXPECT_TRUE(doc->perform(QStringLiteral("clear:")));
    EXPECT_EQ(strokeCount(), 0);
}

TEST_F(Document, TheBackgroundColourEditsTheDrawingWithoutAnUndoStep)
{
    EXPECT_TRUE(doc->perform(QStringLiteral("showSetBackgroundColor:")));
    ASSERT_EQ(shell.panels.size(), 1u);
    EXPECT_EQ(shell.panels[0], std::make_pair(ColorPanelTarget::Background, QColor(Qt::white)));
    doc->backgroundColorChanged(Qt::yellow);
    EXPECT_EQ(doc->backgroundColor(), QColor(Qt::yellow));
    EXPECT_TRUE(doc->isEdited());
    EXPECT_FALSE(doc->undoManager().canUndo());
    EXPECT_EQ(shell.edited, (std::vector<bool>{true}));
    EXPECT_TRUE(doc->perform(QStringLiteral("clearBackgroundColor:")));
    EXPECT_FALSE(doc->backgroundColor());
}

TEST_F(Document, TheEraserEndSwitchesToTheEraserAndTheTipSwitchesBack)
{
    ASSERT_TRUE(doc->setPenTypeName(QStringLiteral("Marker")));
    center.post(stylus(kPointerTypeEraser));
    EXPECT_EQ(doc->pen().penTypeName(), QStringLiteral("Eraser"));
    // Leaving proximity and a second stylus change nothing.
    center.post(stylus(kPointerTypePen, false));
    center.post(stylus(kPointerTypePen, true, 1));
    EXPECT_EQ(doc->pen().penTypeName(), QStringLiteral("Eraser"));
    center.post(stylus(kPointerTypePen));
    EXPECT_EQ(doc->pen().penTypeName(), QStringLiteral("Marker"));
    // With another tool current the tool comes back, and the pen keeps the eraser.
    doc->setTool(&other);
    center.post(stylus(kPointerTypeEraser));
    EXPECT_EQ(doc->tool(), &doc->pen());
    EXPECT_EQ(doc->pen().penTypeName(), QStringLiteral("Eraser"));
    center.post(stylus(kPointerTypePen));
    EXPECT_EQ(doc->tool(), &other);
    EXPECT_EQ(doc->pen().penTypeName(), QStringLiteral("Eraser"));
}

TEST_F(Document, FilesOpenAsThemselvesTemplatesAndPicturesUntitled)
{
    doc->drawing().addStroke(square(0, 100));
    const QString drawing = dir.filePath(QStringLiteral("d.pavo"));
    const QString templ = dir.filePath(QStringLiteral("t.pavotemplate"));
    ASSERT_TRUE(doc->saveTo(templ));
    ASSERT_TRUE(doc->saveTo(drawing));
    EXPECT_EQ(doc->fileName(), drawing);
    EXPECT_FALSE(doc->isEdited());
    auto fromTemplate = PavoDocument::create(shell, display, {400, 300}, alerts);
    ASSERT_TRUE(fromTemplate->read(templ));
    EXPECT_FALSE(fromTemplate->fileName());
    EXPECT_EQ(fromTemplate->strokes().count(), 1);
    QImage picture(60, 40, QImage::Format_ARGB32);
    picture.fill(Qt::blue);
    ASSERT_TRUE(picture.save(dir.filePath(QStringLiteral("p.png"))));
    auto fromPicture = PavoDocument::create(shell, display, {400, 300}, alerts);
    ASSERT_TRUE(fromPicture->read(dir.filePath(QStringLiteral("p.png"))));
    EXPECT_FALSE(fromPicture->fileName());
    ASSERT_EQ(fromPicture->strokes().count(), 1);
    EXPECT_NEAR(centre(fromPicture->strokes().bounds()).x, 200, 0.5);
    EXPECT_NEAR(centre(fromPicture->strokes().bounds()).y, 150, 0.5);
    EXPECT_FALSE(fromPicture->undoManager().canUndo());
    // A picture that cannot be read changes nothing.
    EXPECT_FALSE(fromPicture->read(dir.filePath(QStringLiteral("missing.png"))));
    EXPECT_EQ(fromPicture->strokes().count(), 1);
}

// Colour items go to the fill tool while it is current, else to the pen; the colours named
// for a tool reach it whichever is current. The tool display hears of each.
TEST_F(Document, ColoursReachTheToolThatUsesThemAndTheToolDisplay)
{
    const QColor orange = QColor::fromRgbF(1, 0.5f, 0), red(Qt::red), green(Qt::green);
    for (Tool* tool : std::initializer_list<Tool*>{&doc->pen(), &other, &doc->arrow(), &doc->zoom(),
                                                   &doc->move(), &doc->fill()}) {
        const bool fill = tool == &doc->fill();
        doc->setTool(tool);
        shell.toolDisplays = 0;
        doc->setPenColor(red);
        doc->setFillColor(green);
        EXPECT_EQ(std::tuple(doc->pen().color(), doc->fill().color(), shell.toolDisplays),
                  std::tuple(red, green, 2));
        EXPECT_TRUE(doc->perform(QStringLiteral("setOrangeColor:")));
        EXPECT_EQ(
            std::tuple(doc->pen().color(), doc->fill().color(), doc->toolColor(), doc->tool()),
            std::tuple(fill ? red : orange, fill ? orange : green, orange, tool));
        doc->toolColorChanged(Qt::cyan);
        EXPECT_EQ(doc->toolColor(), QColor(Qt::cyan));
    }
    EXPECT_TRUE(doc->perform(QStringLiteral("toolColor:")));
    ASSERT_EQ(shell.panels.size(), 1u);
    EXPECT_EQ(shell.panels[0], std::make_pair(ColorPanelTarget::Tool, QColor(Qt::cyan)));
}

TEST_F(Document, SelectionCommandsActOnTheArrowsSelection)
{
    for (int i = 0; i < 4; ++i) doc->drawing().addStroke(square(30.0f * float(i), 0));
    const StrokeArray all = doc->strokes().strokeArray();
    // Arrangement needs the arrow tool; with the pen nothing moves.
    EXPECT_TRUE(doc->perform(QStringLiteral("bringForward:")));
    EXPECT_EQ(doc->strokes().strokeArray(), all);
    EXPECT_TRUE(doc->perform(QStringLiteral("selectAll:")));
    EXPECT_EQ(doc->tool(), &doc->arrow());
    EXPECT_EQ(doc->drawing().selection(), all);
    // A new selection is shown.
    doc->drawing().clearSelection();
    const int shown = display.wholeView;
    EXPECT_TRUE(doc->perform(QStringLiteral("selectAll:")));
    EXPECT_GT(display.wholeView, shown);
    doc->drawing().setSelection({all[0]});
    EXPECT_TRUE(doc->perform(QStringLiteral("bringToFront:")));
    EXPECT_EQ(doc->strokes().strokeArray().back(), all[0]);
    // Delete with an empty selection removes nothing.
    doc->drawing().clearSelection();
    EXPECT_TRUE(doc->perform(QStringLiteral("delete:")));
    EXPECT_EQ(strokeCount(), 4);
    doc->drawing().setSelection({all[1], all[2]});
    EXPECT_TRUE(doc->perform(QStringLiteral("mergeStrokes:")));
    EXPECT_EQ(strokeCount(), 3);
    EXPECT_TRUE(doc->drawing().selection().empty());
}

// Listeners hear each post in the order they started listening; one that stopped, even
// during the post, hears nothing more; one that started during a post hears the next.
TEST(ProximityCenter, ListenersMayStartAndStopWhileAPostIsDelivered)
{
    ProximityCenter center;
    std::vector<std::string> heard;
    std::unique_ptr<ProximityCenter::Subscription> closer, victim, self, later, added;
    closer = center.listen([&](const ProximityInfo&) {
        heard.push_back("closer");
        victim.reset();
    });
    victim = center.listen([&](const ProximityInfo&) { heard.push_back("victim"); });
    // A listener ending its own subscription finishes its call with what it captured alive.
    auto note = std::make_shared<std::string>("self");
    self = center.listen([&heard, &self, note](const ProximityInfo&) {
        self.reset();
        heard.push_back(*note);
    });
    later = center.listen([&](const ProximityInfo& info) {
        heard.push_back(std::to_string(proximity_value<quint64>(info, kUniqueID).value_or(0)));
        if (!added) added = center.listen([&](const ProximityInfo&) { heard.push_back("added"); });
    });
    note.reset();
    using Heard = std::vector<std::string>;
    ProximityRecord record{};
    record.uniqueID = 0x8123456789ABCDEFull;
    center.post(record);
    EXPECT_EQ(std::exchange(heard, {}), (Heard{"closer", "self", "9305357566071262703"}));
    later.reset();
    center.post(ProximityInfo{});
    EXPECT_EQ(std::exchange(heard, {}), (Heard{"closer", "added"}));
    closer.reset(), added.reset();
    center.post(ProximityInfo{});
    EXPECT_TRUE(heard.empty());
}

} // namespace
