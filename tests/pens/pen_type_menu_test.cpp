// The pen type menu: order, submenus, key strings, and reading it from the pen scripts.

#include "pen.h"
#include "pen_type_menu.h"
#include "pens_test_support.h"
#include "resources.h"

#include <limits>

namespace {

// The menu as text: "title[key/mask]" per pen type item, "title{...}" per submenu.
QString text_of(const PenTypeMenu& menu)
{
    QStringList items;
    for (const PenTypeMenuItem& item : menu) {
        if (item.isSubmenu()) items << item.title + u'{' + text_of(item.children) + u'}';
        else items << item.title + (item.keyEquivalent.isEmpty() ? QString() : u'[' + item.keyEquivalent + u'/' + QString::number(item.modifierMask) + u']');
        EXPECT_EQ(item.action().isEmpty(), item.isSubmenu());
    }
    return items.join(u' ');
}

PenTypeMenu menu_of(const std::vector<PenTypeDescription>& types)
{
    PenTypeMenu menu;
    for (const PenTypeDescription& type : types) add_pen_type(menu, type);
    return menu;
}

} // namespace

// Each row adds pen types in order (name, submenu, key, position) and gives the menu.
TEST(PenTypeMenu, ItemsAreOrderedByPositionThenTitleAndGatheredInSubmenus)
{
    const std::optional<QString> none;
    const QString shapes = QStringLiteral("Shapes");
    const struct {
        std::vector<PenTypeDescription> types;
        const char* menu;
    } rows[] = {
        {{{"A", none, none, 10}, {"B", none, none, kDefaultMenuPosition}, {"C", none, none, 10}, {"Ab", none, none, 10},
          {"a", none, none, 10}, {"Z", none, none, -5}},
         "Z A Ab C a B"},
        // The same position and title goes after the item already there.
        {{{"A", none, none, 10}, {"A", none, QStringLiteral("cmd-2"), 10}}, "A A[2/1048576]"},
        // A submenu keeps the position of the first pen type that named it.
        {{{"Line", shapes, none, 50}, {"Pen", none, none, 20}, {"Oval", shapes, none, 5}, {"Eraser", none, none, 60}},
         "Pen Shapes{Oval Line} Eraser"},
        // A pen type named like a submenu stays an item of its own, either way round.
        {{{"Shapes", none, none, 100}, {"Line", shapes, none, 100}, {"Shapes", QStringLiteral("Other"), none, 100},
          {"Shapes", none, none, 100}},
         "Other{Shapes} Shapes Shapes{Line} Shapes"},
        {{{"One", none, QStringLiteral("cmd-shift-e"), 1}, {"Two", none, QStringLiteral("E"), 2},
          {"Three", none, QStringLiteral("hyper-x"), 3}, {"Four", none, QStringLiteral("Ctrl-OPTION-NumPad-F-shift"), 4}},
         "One[e/1179648] Two[E/0] Three[x/0] Four[shift/11272192]"},
    };
    for (const auto& row : rows) EXPECT_EQ(text_of(menu_of(row.types)), QString::fromUtf8(row.menu));
}

TEST(PenTypeMenu, PositionsAreTruncatedTowardsZeroAndKeptInRange)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::pair<float, int> rows[] = {{12.9f, 12}, {-3.7f, -3}, {1e30f, std::numeric_limits<int>::max()},
                                          {-1e30f, std::numeric_limits<int>::min()}, {nan, kDefaultMenuPosition},
                                          {inf, kDefaultMenuPosition}};
    for (const auto& [position, tag] : rows) EXPECT_EQ(menu_position_tag(position), tag) << position;
}

TEST_F(PenScriptTest, TheMenuOffersThePensTypesTranslated)
{
    write(QStringLiteral("Lua.strings"), "Ink = Tinte\nTools = Werkzeuge\nChalk = Kreide\n");
    write(QStringLiteral("Pens/ink.lua"), "name = \"Ink\" key = \"cmd-i\" menu_position = 12.9");
    write(QStringLiteral("Pens/chalk.lua"), "name = \"Chalk\" submenu = \"Tools\" key = \"cmd-alt-k\" menu_position = -3.7");
    write(QStringLiteral("Pens/broken.lua"), "name = \"Broken\" error('after the name')");
    write(QStringLiteral("Pens/bad.lua"), "name = {}");
    write(QStringLiteral("Pens/number.lua"), "name = 7");
    write(QStringLiteral("Pens/helper.lua"), "x = 1");
    EXPECT_EQ(text_of(build_pen_type_menu(root(), alerts)), QStringLiteral("Werkzeuge{Kreide[k/1572864]} Tinte[i/1048576] 7 Broken"));
    EXPECT_EQ(alerts.alerts.size(), 1u);
    const Pen tool(view.doc, alerts, root());
    EXPECT_EQ(tool.penTypeNames(), (QStringList{"7", "Broken", "Kreide", "Tinte"}));
}

TEST(PenTypeMenu, TheDeliveredMenu)
{
    RecordingAlerts alerts;
    const QString menu = text_of(build_pen_type_menu(resource_path(), alerts));
    EXPECT_TRUE(alerts.alerts.empty());
    QString titles = menu;
    titles.remove(QRegularExpression(QStringLiteral("\\[[^]]*/\\d*\\]")));
    EXPECT_EQ(titles, QStringLiteral("Pen Pencil Marker Highlighter Calligraphy Brush Spray Eraser "
                                     "Shapes{Line Rectangle Ellipse Lasso} Effects{Darken Lighten Colorize Shadow Hilight}"));
    // Every pen type has a key with the command key.
    const QRegularExpression key(QStringLiteral("\\[[^]]+/(\\d+)\\]"));
    int keys = 0;
    for (auto it = key.globalMatch(menu); it.hasNext(); ++keys) EXPECT_TRUE(it.next().captured(1).toUInt() & kCommandKey);
    EXPECT_EQ(keys, 17);
}
