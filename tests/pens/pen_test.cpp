// The pen tool: its pen types and their settings and menu, the built-in stroke, colour
// picking, how it drives a scripted pen, and how each delivered pen type turns a gesture into
// strokes.

#include "pen.h"
#include "pen_points_precision.h"
#include "pen_type_menu.h"
#include "pens_test_support.h"
#include "resources.h"
#include "stroke.h"

#include <cmath>
#include <functional>
#include <limits>
#include <random>

using namespace Qt::StringLiterals;

namespace {

using Pressure = std::function<float(float)>;

// The menu as text: "title[key/mask]" per pen type item, "title{...}" per submenu.
QString text_of(const PenTypeMenu& menu)
{
    QStringList items;
    for (const PenTypeMenuItem& item : menu) {
        EXPECT_EQ(item.action().isEmpty(), item.isSubmenu());
        if (item.isSubmenu()) items << item.title + u'{' + text_of(item.children) + u'}';
        else if (item.keyEquivalent.isEmpty()) items << item.title;
        else items << QStringLiteral("%1[%2/%3]").arg(item.title, item.keyEquivalent)
                              .arg(item.modifierMask);
    }
    return items.join(u' ');
}

PenTypeDescription item(const char* name, int position, const char* submenu = nullptr,
                        const char* key = nullptr)
{
    const auto text = [](const char* t) { return t ? std::optional<QString>(t) : std::nullopt; };
    return {name, text(submenu), text(key), position};
}

class PenTest : public PenScriptTest {
protected:
    void type(const char* file, const char* script) { write("Pens/"_L1 + file, script); }
    // A pen over the pen types in `folder`, by default those the test wrote into R/Pens.
    Pen& makePen(const QString& folder = {})
    {
        tool = std::make_unique<Pen>(alerts, folder.isEmpty() ? root() : folder);
        return *tool;
    }
    void select(const QString& t) { ASSERT_TRUE(tool->setPenTypeName(t)) << qPrintable(t); }

    // Pen down at the first point, `steps` moves to each next point with the pressure of
    // `pressure(t)` for t in (0, 1] along that leg, pen up at the last.
    void gesture(const std::vector<Point>& points, unsigned flags = 0, int steps = 20,
                 const Pressure& pressure = [](float t) { return 0.5f + 0.5f * t; })
    {
        tool->toolDownEvent({points.front(), 1, flags}, view);
        for (std::size_t leg = 1; leg < points.size(); ++leg)
            for (int i = 1; i <= steps; ++i) {
                const float t = float(i) / float(steps);
                const Point p = points[leg - 1] + (points[leg] - points[leg - 1]) * t;
                tool->toolMoveEvent({p, pressure(t), flags}, view);
            }
        tool->toolUpEvent({points.back(), 0, flags}, view);
    }

    // The pen's settings went into every stroke; nothing was refused, alerted or left over.
    void expectCleanStrokes()
    {
        EXPECT_TRUE(alerts.alerts.empty()) << shown();
        EXPECT_FALSE(log.contains(u"Bad stroke added by Lua pen."_s));
        for (const StrokePtr& s : view.added()) {
            EXPECT_FALSE(s->bad());
            EXPECT_EQ(s->color(), tool->color());
            EXPECT_EQ(s->transferMode(), tool->transferMode());
            EXPECT_EQ(s->opacity(), tool->opacity());
        }
        if (tool->penTypeId()) {
            EXPECT_EQ(tool->penTypeId()->livePaths(), 0u);
        }
    }

    std::unique_ptr<Pen> tool;
};

} // namespace

// The default type is the last one marked, else the first, else the built-in pen; the
// settings changed in one type come back with it and are written into its script.
TEST_F(PenTest, TheDefaultTypeIsTheLastMarkedOneAndEachTypeKeepsItsOwnSettings)
{
    EXPECT_FALSE(makePen().penTypeName());
    EXPECT_FALSE(makePen().setPenTypeName(u"A"_s));
    type("a.lua", "name = 'A'");
    EXPECT_EQ(makePen().penTypeName(), u"A"_s);
    type("x.lua", "name = 'X' default = true color = '00ff00' radius = 3 mode = 'Multiply'");
    type("y.lua", "name = 'Y' default = true color = '0x0000ff' opacity = 0.5");
    EXPECT_EQ(makePen().penTypeName(), u"Y"_s);
    select(u"X"_s);
    EXPECT_EQ(tool->color(), QColor(Qt::green));
    EXPECT_EQ(tool->transferMode(), kModeMultiply);
    tool->setOpacity(0.3f);
    tool->setRadius(12);
    tool->setColor(QColor::fromRgbF(1.0f, 0.5f, 0.0f));
    select(u"Y"_s);
    EXPECT_EQ(tool->color(), QColor(Qt::blue));
    EXPECT_EQ(tool->opacity(), 0.5f);
    EXPECT_EQ(tool->radius(), 5.0f);
    select(u"X"_s);
    EXPECT_EQ(tool->opacity(), 0.3f);
    EXPECT_EQ(tool->radius(), 12.0f);
    EXPECT_EQ(tool->penTypeId()->getGlobalString(u"color"_s), u"ff8000");
}

// The scripts run when the pen is first used: a setting given before then is not overwritten
// by the default type's when they do.
TEST_F(PenTest, ASettingGivenBeforeTheScriptsRunIsKept)
{
    type("x.lua", "name = 'X' color = '00ff00' radius = 3 opacity = 0.5 mode = 'Multiply'");
    const struct {
        const char* what;
        std::function<void(Pen&)> set;
        std::function<bool(const Pen&)> kept;
    } rows[] = {
        {"colour", [](Pen& p) { p.setColor(Qt::red); },
         [](const Pen& p) { return p.color() == QColor(Qt::red); }},
        {"radius", [](Pen& p) { p.setRadius(9); }, [](const Pen& p) { return p.radius() == 9.0f; }},
        {"opacity", [](Pen& p) { p.setOpacity(0.25f); },
         [](const Pen& p) { return p.opacity() == 0.25f; }},
        {"mode", [](Pen& p) { p.setTransferMode(kModeNormal); },
         [](const Pen& p) { return p.transferMode() == kModeNormal; }},
        {"mode by name", [](Pen& p) { p.setTransferModeString(u"Normal"_s); },
         [](const Pen& p) { return p.transferMode() == kModeNormal; }},
        {"parameter", [](Pen& p) { p.setParameter(u"radius"_s, 7); },
         [](const Pen& p) { return p.getParameter(u"radius"_s) == 7.0f; }},
    };
    for (const auto& row : rows) {
        Pen& fresh = makePen();
        row.set(fresh);
        EXPECT_TRUE(row.kept(fresh)) << row.what;
        EXPECT_EQ(fresh.penTypeName(), u"X"_s) << row.what;
    }
}

TEST_F(PenTest, TheBuiltInStrokeIsPreviewedThenAddedInTheTypeItBeganWith)
{
    type("a.lua", "name = 'A' color = 'ff0000' opacity = 0.5 default = true");
    type("b.lua", "name = 'B' color = '0000ff'");
    makePen();
    tool->toolDownEvent({{10, 20}}, view);
    tool->toolUpEvent({{10, 20}}, view);
    ASSERT_EQ(view.added().size(), 1u); // a click leaves a dot
    EXPECT_NEAR(view.added().front()->bounds().size.width, 10.0f, 1.0f);
    view.forgetStrokes();
    tool->toolDownEvent({{10, 20}}, view);
    for (int x = 12; x <= 50; x += 2) tool->toolMoveEvent({{float(x), 20}, 0.8f}, view);
    select(u"B"_s);
    EXPECT_NE(view.canvas().previewBitmap().pixelAt(30, 20), color_ns::WHITE);
    EXPECT_EQ(view.canvas().drawBitmap().pixelAt(30, 20), color_ns::WHITE);
    tool->toolUpEvent({{50, 20}}, view);
    ASSERT_EQ(view.added().size(), 1u);
    EXPECT_EQ(view.added().front()->color(), QColor(Qt::red));
    EXPECT_EQ(view.added().front()->opacity(), 0.5f);
    EXPECT_GT(view.added().front()->bounds().size.width, 38);
    // The preview is over, and the type chosen during the stroke takes over.
    EXPECT_EQ(view.canvas().previewBitmap().pixelAt(30, 20), color_ns::WHITE);
    EXPECT_EQ(view.canvas().strokeBitmap().pixelAt(30, 20), color_ns::TRANSPARENT);
    EXPECT_EQ(tool->penTypeName(), u"B"_s);
    EXPECT_EQ(tool->color(), QColor(Qt::blue));
}

TEST_F(PenTest, OptionClickPicksTheColourInsteadOfDrawing)
{
    makePen();
    view.canvas().fill(color_ns::TRANSPARENT);
    view.canvas().previewBitmap().fillRect(make_rect(5, 5, 2, 2), color_ns::make(128, 0, 0, 128));
    tool->toolDownEvent({{6, 6}, 1, kOptionKey}, view);
    tool->toolMoveEvent({{20, 20}}, view);
    tool->toolUpEvent({{20, 20}}, view);
    EXPECT_EQ(view.doc.toolColor, QColor(Qt::red));
    EXPECT_TRUE(view.added().empty());
    EXPECT_EQ(tool->toolCursor().shape, ToolCursor::Shape::Image);
    tool->toolDownEvent({{30, 30}, 1, kOptionKey}, view);
    EXPECT_EQ(view.doc.toolColor, QColor(Qt::white)); // nothing drawn: the background
    tool->toolFlagsChanged({{0, 0}}, view);
    EXPECT_EQ(tool->toolCursor().shape, ToolCursor::Shape::Crosshair);
    EXPECT_EQ(view.doc.cursorRefreshes, 1);
}

TEST_F(PenTest, AScriptedPenGetsDrawingUnitsItsSettingsAndKeys)
{
    write(u"Localizable.strings"_s, "shift_key = Shift+\ncommand_key = Ctrl+\n");
    type("dot.lua", "name = 'Dot' custom_pen = true radius = 10 key = 'shift-cmd-e'\n"
                    "parameters = {'angle'} angle = 30 angle_min = 0 angle_max = 180\n"
                    "function pen_down(p, r) down_radius = r end\n"
                    "function pen_move(p, r)\n"
                    "  last_radius, last_x, seen, keys = r, p.x, get_pen_radius(), ''\n"
                    "  for k in ('caps_lock shift control option command'):gmatch('%S+') do\n"
                    "    if _G[k .. '_down']() then keys = keys .. k:sub(1, 2) end\n"
                    "  end\n"
                    "end\n"
                    "function pen_up()\n"
                    "  local path = bezier_path()\n"
                    "  append_bezier_path_with_rect(path, {x = 1, y = 1, w = 5, h = 5})\n"
                    "  add_fill(path)\n"
                    "end\n");
    PenView zoomed(2);
    makePen();
    ASSERT_TRUE(tool->isCustomPen());
    EXPECT_EQ(tool->penTypeNameWithKeyEquivalent(), u"Dot  Shift+Ctrl+E"_s);
    EXPECT_EQ(tool->customParameters(), QStringList{u"angle"_s});
    EXPECT_EQ(tool->parameterMax(u"angle"_s), 180.0f);
    tool->setParameter(u"angle"_s, 45);
    EXPECT_EQ(tool->getParameter(u"angle"_s), 45.0f);
    tool->toolDownEvent({{20, 20}}, zoomed);
    tool->toolMoveEvent({{30, 20}, 1, kCapsLockKey | kShiftKey | kCommandKey}, zoomed);
    tool->toolUpEvent({{30, 20}}, zoomed);
    const Lua* dot = tool->penTypeId();
    EXPECT_EQ(dot->getGlobalNumber(u"down_radius"_s, -1), 0.0f);
    EXPECT_EQ(dot->getGlobalNumber(u"last_radius"_s), 5.0f);
    EXPECT_EQ(dot->getGlobalNumber(u"last_x"_s), 15.0f);
    EXPECT_EQ(dot->getGlobalNumber(u"seen"_s), 10.0f);
    EXPECT_EQ(dot->getGlobalString(u"keys"_s), u"cashco"_s);
    ASSERT_EQ(zoomed.added().size(), 1u);
    EXPECT_EQ(zoomed.added().front()->bounds(), make_rect(1, 1, 5, 5));
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

// Each type, one gesture: how many strokes, whether drawn as a line, and the bounds of the
// path of the first one.
TEST_F(PenTest, EachTypeTurnsAGestureIntoItsStroke)
{
    makePen(resource_path());
    const float snap = std::hypot(80.0f, 24.0f), r15 = 15 * 3.14159265f / 180;
    const struct {
        const char* type;
        std::vector<Point> points = {{50, 50}, {150, 80}};
        unsigned flags = 0;
        bool line = false;
        Rect path = {}; // empty: a pressure stroke, only checked to lie along the gesture
    } rows[] = {
        {"Pen"}, {"Pencil"}, {"Marker"}, {"Highlighter"}, {"Eraser"}, {"Brush"},
        {"Line", {{100, 100}, {180, 124}}, 0, true, make_rect(100, 100, 80, 24)},
        {"Line", {{100, 100}, {180, 124}}, kShiftKey, true,
         make_rect(100, 100, snap * std::cos(r15), snap * std::sin(r15))},
        {"Rectangle", {{150, 100}, {50, 160}}, 0, false, make_rect(50, 100, 100, 60)},
        {"Rectangle", {{150, 100}, {50, 160}}, kShiftKey, false, make_rect(50, 100, 100, 100)},
        {"Ellipse", {{100, 100}, {180, 140}}, kShiftKey, false, make_rect(100, 100, 80, 80)},
        {"Lasso", {{200, 100}, {250, 150}, {200, 200}, {150, 150}, {200, 100}}, 0, false,
         make_rect(150, 100, 100, 100)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        view.forgetStrokes();
        select(QString::fromUtf8(row.type));
        gesture(row.points, row.flags);
        ASSERT_EQ(view.added().size(), 1u);
        expectCleanStrokes();
        const Stroke& s = *view.added().front();
        EXPECT_EQ(s.drawAsStroke(), row.line);
        const Rect got = s.path().bounds();
        if (is_empty(row.path)) {
            EXPECT_TRUE(s.contains(centre(make_rect(50, 50, 100, 30))));
            EXPECT_FALSE(s.contains({50, 80}));
            continue;
        }
        EXPECT_NEAR(got.minX(), row.path.minX(), 0.01f);
        EXPECT_NEAR(got.minY(), row.path.minY(), 0.01f);
        EXPECT_NEAR(got.maxX(), row.path.maxX(), 0.01f);
        EXPECT_NEAR(got.maxY(), row.path.maxY(), 0.01f);
    }
}

// Seams where pieces cross in opposite directions and gaps where a move runs along the nib
// show as unpainted pixels on the path the pen took.
TEST_F(PenTest, CalligraphyFillsItsWholeTrackAsWideAsTheNibAngleMakesIt)
{
    makePen(resource_path());
    select(u"Calligraphy"_s);
    const Pressure full = [](float) { return 1.0f; };
    auto height_at = [&](float angle) {
        view.forgetStrokes();
        tool->setParameter(u"nib_angle"_s, angle);
        gesture({{50, 150}, {250, 150}}, 0, 20, full);
        return view.added().empty() ? 0.0f : view.added().front()->bounds().size.height;
    };
    const float across = height_at(90), along = height_at(0), slanted = height_at(45);
    EXPECT_NEAR(across, 2 * tool->radius(), 0.5f);
    EXPECT_GT(along, 0);
    EXPECT_LT(along, across / 4);
    EXPECT_GT(slanted, along);
    EXPECT_LT(slanted, across);
    // Legs at 45 degrees run along the nib, those at -45 across it; the way back crosses
    // the way out.
    view.forgetStrokes();
    const std::vector<Point> track = {{40, 150}, {100, 90}, {160, 150}, {220, 90}, {280, 150},
                                      {220, 160}, {160, 100}, {100, 160}, {40, 100}};
    gesture(track, 0, 2, full);
    ASSERT_EQ(view.added().size(), 1u);
    expectCleanStrokes();
    PenView paper;
    view.added().front()->drawInCanvas(paper.canvas());
    int holes = 0;
    for (std::size_t leg = 1; leg < track.size(); ++leg)
        for (int i = 0; i <= 100; ++i) {
            const Point p = track[leg - 1] + (track[leg] - track[leg - 1]) * (float(i) / 100);
            const Bitmap& drawn = paper.canvas().drawBitmap();
            holes += color_ns::red(drawn.pixelAt(int(p.x + 1e-3f), int(p.y + 1e-3f))) > 128;
        }
    EXPECT_EQ(holes, 0);
}

TEST_F(PenTest, SprayScattersDotsWithinItsRadiusMoreWhenPressedHarder)
{
    makePen(resource_path());
    select(u"Spray"_s);
    const float spray = tool->radius();
    const Point from{100, 100}, to{300, 200};
    gesture({from, to});
    const StrokeArray first = view.added();
    ASSERT_GE(first.size(), 10u);
    expectCleanStrokes();
    for (std::size_t i = 0; i < first.size(); ++i) {
        const Point at = from + (to - from) * (float(i + 1) / float(first.size()));
        const Rect r = first[i]->bounds();
        EXPECT_TRUE(r.minX() >= at.x - spray && r.maxX() <= at.x + spray &&
                    r.minY() >= at.y - spray && r.maxY() <= at.y + spray);
    }
    std::size_t elements[2] = {};
    for (const float pressure : {0.25f, 1.0f}) {
        view.forgetStrokes();
        gesture({from, to}, 0, 20, [pressure](float) { return pressure; });
        elements[pressure > 0.5f] = view.added().front()->path().elements().size();
    }
    EXPECT_GT(elements[1], elements[0]);
}

// Every type loads with its parameters' texts; a click without moving adds nothing broken.
TEST_F(PenTest, EveryTypeLoadsAndAClickWithoutMovingAddsNothingBroken)
{
    makePen(resource_path());
    const StringTable names = StringTable::named(resource_path(), u"Lua"_s);
    for (const QString& name : tool->penTypeNames()) {
        select(name);
        for (const QString& parameter : tool->customParameters()) {
            EXPECT_NE(names.translate(parameter), parameter);
            EXPECT_LT(tool->parameterMin(parameter), tool->parameterMax(parameter));
        }
        view.forgetStrokes();
        gesture({{120, 80}}, 0);
        gesture({{120, 80}, {120, 80}}, kShiftKey, 2, [](float t) { return t - 0.5f; });
        expectCleanStrokes();
        // A spray held still keeps spraying; every other scripted type needs a drag.
        if (tool->isCustomPen() && name != u"Spray"_s) {
            EXPECT_TRUE(view.added().empty()) << name.toStdString();
        }
    }
}

// Each row adds pen types in order and gives the menu.
TEST(PenTypeMenu, ItemsAreOrderedByPositionThenTitleAndGatheredInSubmenus)
{
    const int last = kDefaultMenuPosition;
    const struct {
        std::vector<PenTypeDescription> types;
        const char* menu;
    } rows[] = {
        {{item("A", 10), item("B", last), item("C", 10), item("Ab", 10), item("a", 10),
          item("Z", -5)},
         "Z A Ab C a B"},
        // The same position and title goes after the item already there.
        {{item("A", 10), item("A", 10, nullptr, "cmd-2")}, "A A[2/1048576]"},
        // A submenu keeps the position of the first pen type that named it.
        {{item("Line", 50, "Shapes"), item("Pen", 20), item("Oval", 5, "Shapes"),
          item("Eraser", 60)},
         "Pen Shapes{Oval Line} Eraser"},
        // A pen type named like a submenu stays an item of its own, either way round.
        {{item("Shapes", 100), item("Line", 100, "Shapes"), item("Shapes", 100, "Other"),
          item("Shapes", 100)},
         "Other{Shapes} Shapes Shapes{Line} Shapes"},
        // The last part of the key is the key, the others name modifiers.
        {{item("One", 1, nullptr, "cmd-shift-e"), item("Two", 2, nullptr, "E"),
          item("Three", 3, nullptr, "hyper-x"),
          item("Four", 4, nullptr, "Ctrl-OPTION-NumPad-F-shift")},
         "One[e/1179648] Two[E/0] Three[x/0] Four[shift/11272192]"},
    };
    for (const auto& row : rows) {
        PenTypeMenu menu;
        for (const PenTypeDescription& t : row.types) add_pen_type(menu, t);
        EXPECT_EQ(text_of(menu), QString::fromUtf8(row.menu));
    }
}

TEST(PenTypeMenu, PositionsAreTruncatedTowardsZeroAndKeptInRange)
{
    using limits = std::numeric_limits<float>;
    const std::pair<float, int> rows[] = {
        {12.9f, 12},
        {-3.7f, -3},
        {1e30f, std::numeric_limits<int>::max()},
        {-1e30f, std::numeric_limits<int>::min()},
        {limits::quiet_NaN(), kDefaultMenuPosition},
        {limits::infinity(), kDefaultMenuPosition},
    };
    for (const auto& [position, tag] : rows)
        EXPECT_EQ(menu_position_tag(position), tag) << position;
}

TEST_F(PenTest, TheMenuOffersThePensTypesTranslated)
{
    write(u"Lua.strings"_s, "Ink = Tinte\nTools = Werkzeuge\nChalk = Kreide\n");
    type("ink.lua", "name = 'Ink' key = 'cmd-i' menu_position = 12.9");
    type("chalk.lua", "name = 'Chalk' submenu = 'Tools' key = 'cmd-alt-k' menu_position = -3.7");
    type("broken.lua", "name = 'Broken' error('after the name')");
    type("bad.lua", "name = {}");
    type("number.lua", "name = 7");
    type("helper.lua", "x = 1");
    EXPECT_EQ(text_of(build_pen_type_menu(root(), alerts)),
              u"Werkzeuge{Kreide[k/1572864]} Tinte[i/1048576] 7 Broken"_s);
    EXPECT_EQ(alerts.alerts.size(), 1u);
    EXPECT_EQ(makePen().penTypeNames(), (QStringList{"7", "Broken", "Kreide", "Tinte"}));
}

// The person's scripts come after the built-in ones: one of a built-in's name replaces it in
// the menu and the pen; one that fails is skipped and told once to all that share the folders.
TEST_F(PenTest, ThePersonsTypesReplaceBuiltInsByNameAndABrokenOneIsToldOnce)
{
    type("ink.lua", "name = 'Ink' radius = 2");
    type("chalk.lua", "name = 'Chalk'");
    write(u"../U/Pens/ink.lua"_s, "name = 'Ink' radius = 7 submenu = 'Mine'");
    write(u"../U/Pens/slate.lua"_s, "name = 'Slate'");
    write(u"../U/Pens/broken.lua"_s, "name = 'Broken' error('not finished yet')");
    const PenFolders shared = folders();
    EXPECT_EQ(text_of(build_pen_type_menu(shared, alerts)), u"Chalk Mine{Ink} Slate"_s);
    EXPECT_TRUE(onlyAlert().contains(u"not finished yet"_s));
    tool = std::make_unique<Pen>(alerts, shared);
    EXPECT_EQ(tool->penTypeNames(), (QStringList{"Chalk", "Ink", "Slate"}));
    select(u"Ink"_s);
    EXPECT_EQ(tool->radius(), 7.0f);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
    tool = std::make_unique<Pen>(alerts, folders());
    EXPECT_FALSE(tool->hasPenType(u"Broken"_s));
    EXPECT_TRUE(onlyAlert().contains(u"not finished yet"_s));
}

// A reload finds new scripts and loses gone ones; a type still there keeps its settings and
// its place as the current type, and runs its new script. During a stroke it waits.
TEST_F(PenTest, AReloadKeepsTheSettingsOfTheTypesStillThere)
{
    type("ink.lua", "name = 'Ink' parameters = {'grain'} grain = 1");
    type("chalk.lua", "name = 'Chalk'");
    Pen& inks = makePen(folders().resources);
    select(u"Chalk"_s);
    inks.setRadius(2);
    select(u"Ink"_s);
    inks.setRadius(9);
    inks.setParameter(u"grain"_s, 4);
    type("ink.lua", "name = 'Ink' parameters = {'grain'} grain = 1 grain_max = 8");
    write(u"../U/Pens/slate.lua"_s, "name = 'Slate'");
    inks.toolDownEvent({{10, 10}, 1, 0}, view);
    inks.reloadPenTypes(folders());
    EXPECT_FALSE(inks.hasPenType(u"Slate"_s));
    inks.toolUpEvent({{10, 10}, 0, 0}, view);
    EXPECT_EQ(inks.penTypeNames(), (QStringList{"Chalk", "Ink", "Slate"}));
    EXPECT_EQ(inks.penTypeName(), u"Ink"_s);
    EXPECT_EQ(inks.radius(), 9.0f);
    EXPECT_EQ(inks.getParameter(u"grain"_s), 4.0f);
    EXPECT_EQ(inks.parameterMax(u"grain"_s), 8.0f);
    select(u"Chalk"_s);
    EXPECT_EQ(inks.radius(), 2.0f);
    ASSERT_TRUE(QFile::remove(root() + u"/Pens/chalk.lua"_s));
    inks.reloadPenTypes(folders());
    EXPECT_EQ(inks.penTypeName(), u"Ink"_s);
    EXPECT_TRUE(alerts.alerts.empty()) << shown();
}

// A table of the best matching language folder overrides the root table's entries; what no
// table has keeps its key. (Pen types by their scripts' own names: translations_check.sh.)
TEST_F(PenTest, TablesFollowTheLocaleAndFallBackToEnglish)
{
    for (const char* folder : {"de", "de_AT"}) QDir(root()).mkpath(QString::fromLatin1(folder));
    write(u"Lua.strings"_s, "Ink = Ink\nChalk = Chalk\n");
    write(u"de/Lua.strings"_s, "Ink = Tinte\n");
    write(u"de_AT/Lua.strings"_s, "Chalk = Kreiderl\n");
    for (const auto& [locale, words] : {std::pair{"de_DE", "Tinte Chalk Slate"}, {"de_AT", "Ink Kreiderl Slate"},
                                        {"en_US", "Ink Chalk Slate"}, {"C", "Ink Chalk Slate"}}) {
        const StringTable table = StringTable::named(root(), u"Lua"_s, QLocale(QString::fromLatin1(locale)));
        EXPECT_EQ(table.translate(u"Ink"_s) + u' ' + table.translate(u"Chalk"_s) + u' ' + table.translate(u"Slate"_s),
                  QString::fromLatin1(words)) << locale;
    }
}

// The delivered pen types each have a command-key shortcut of their own.
TEST(PenTypeMenu, TheDeliveredShortcutsAreUnique)
{
    RecordingAlerts alerts;
    const QString menu = text_of(build_pen_type_menu(resource_path(), alerts));
    EXPECT_TRUE(alerts.alerts.empty());
    QStringList keys;
    const QRegularExpression key(QStringLiteral("\\[([^]]+)/(\\d+)\\]"));
    for (auto it = key.globalMatch(menu); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        EXPECT_TRUE(match.captured(2).toUInt() & kCommandKey) << qPrintable(match.captured());
        keys << match.captured(1).toLower() + u'/' + match.captured(2);
    }
    EXPECT_EQ(keys.size(), 17);
    keys.removeDuplicates();
    EXPECT_EQ(keys.size(), 17);
}

// The preview grows the stroke's own outline, so the stroke drawn live shows the pixels the
// finished stroke renders, edges and turns included.
TEST_F(PenTest, ThePreviewShowsThePixelsOfTheFinishedStroke)
{
    type("a.lua", "name = 'A' color = '3060c0' opacity = 0.7 radius = 6 default = true");
    makePen();
    // Whole pixels 4 to 6 apart and pressures the file keeps: the stroke keeps its samples.
    std::mt19937 rng(5);
    Point p{20, 150};
    std::vector<PenPoint> drawn{{p, 1}}; // the stroke begins where the pen touches
    tool->toolDownEvent({p}, view);
    for (int i = 0; i < 60; ++i) {
        p = p + Point{float(4 + rng() % 3), float(int(rng() % 9) - 4)};
        int k = 100 + int(rng() % 155);
        while (pressure_byte(from_pressure_byte(std::uint8_t(k))) != k) --k;
        drawn.push_back({p, from_pressure_byte(std::uint8_t(k))});
        tool->toolMoveEvent({p, drawn.back().pressure}, view);
    }
    const QImage live = view.canvas().previewBitmap().image().copy();
    tool->toolUpEvent({p}, view);
    ASSERT_EQ(view.added().size(), 1u);
    const StrokePtr stroke = view.added().front();
    ASSERT_EQ(stroke->penPoints()->points().size(), drawn.size());
    view.canvas().fill(color_ns::WHITE);
    stroke->drawInCanvas(view.canvas());
    EXPECT_TRUE(matches_reference(live, view.canvas().previewBitmap().image(), u"pen-preview"_s, 0));
}
