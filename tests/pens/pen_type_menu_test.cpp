// The pen type menu: the order of its items, submenus, key strings, and how it is read from
// the pen scripts.

#include "pen.h"
#include "pen_type_menu.h"
#include "pens_test_support.h"
#include "resources.h"

#include <functional>
#include <limits>

namespace {

PenTypeDescription type(const char* name, int position = kDefaultMenuPosition,
                        std::optional<QString> submenu = std::nullopt,
                        std::optional<QString> key = std::nullopt)
{
    return {QString::fromUtf8(name), std::move(submenu), std::move(key), position};
}

QStringList titles(const PenTypeMenu& menu)
{
    QStringList result;
    for (const PenTypeMenuItem& item : menu) result << item.title;
    return result;
}

// Calls `visit` with every item, in submenus too.
void for_each_item(const PenTypeMenu& menu, const std::function<void(const PenTypeMenuItem&)>& visit)
{
    for (const PenTypeMenuItem& item : menu) {
        visit(item);
        for_each_item(item.children, visit);
    }
}

// Titles of the pen type items, in submenus too.
QStringList pen_type_titles(const PenTypeMenu& menu)
{
    QStringList result;
    for_each_item(menu, [&](const PenTypeMenuItem& item) {
        if (!item.isSubmenu()) result << item.title;
    });
    return result;
}

// Every item either chooses a pen type or holds a submenu, never both.
void expect_well_formed(const PenTypeMenu& menu)
{
    for_each_item(menu, [](const PenTypeMenuItem& item) {
        if (item.isSubmenu()) {
            EXPECT_TRUE(item.action().isEmpty()) << item.title.toStdString();
            EXPECT_FALSE(item.children.empty()) << item.title.toStdString();
        } else {
            EXPECT_EQ(item.action(), QStringLiteral("setPenType:"));
            EXPECT_TRUE(item.children.empty()) << item.title.toStdString();
        }
    });
}

const PenTypeMenuItem* find_submenu(const PenTypeMenu& menu, const QString& title)
{
    for (const PenTypeMenuItem& item : menu)
        if (item.isSubmenu() && item.title == title) return &item;
    return nullptr;
}

class PenTypeMenuFolderTest : public PenScriptTest {};

} // namespace

TEST(PenTypeMenuOrder, ByPositionThenCaseSensitiveTitle)
{
    PenTypeMenu menu;
    add_pen_type(menu, type("A", 10));
    add_pen_type(menu, type("B"));
    add_pen_type(menu, type("C", 10));
    EXPECT_EQ(titles(menu), (QStringList{"A", "C", "B"}));

    add_pen_type(menu, type("Ab", 10));
    EXPECT_EQ(titles(menu), (QStringList{"A", "Ab", "C", "B"}));

    // Lower case sorts after upper case, as in a literal comparison.
    add_pen_type(menu, type("a", 10));
    EXPECT_EQ(titles(menu), (QStringList{"A", "Ab", "C", "a", "B"}));

    // The same position and title goes after the item already there.
    add_pen_type(menu, type("A", 10, std::nullopt, QStringLiteral("cmd-2")));
    ASSERT_EQ(titles(menu), (QStringList{"A", "A", "Ab", "C", "a", "B"}));
    EXPECT_TRUE(menu[0].keyEquivalent.isEmpty());
    EXPECT_EQ(menu[1].keyEquivalent, QStringLiteral("2"));

    add_pen_type(menu, type("Z", -5));
    EXPECT_EQ(menu.front().title, QStringLiteral("Z"));
    EXPECT_EQ(menu.back().tag, kDefaultMenuPosition);
}

TEST(PenTypeMenuOrder, PenTypesNamingOneSubmenuShareIt)
{
    PenTypeMenu menu;
    add_pen_type(menu, type("Line", 50, QStringLiteral("Shapes")));
    add_pen_type(menu, type("Pen", 20));
    add_pen_type(menu, type("Oval", 5, QStringLiteral("Shapes")));
    add_pen_type(menu, type("Eraser", 60));

    // The submenu item keeps the position of the first pen type that named it.
    ASSERT_EQ(titles(menu), (QStringList{"Pen", "Shapes", "Eraser"}));
    const PenTypeMenuItem& shapes = menu[1];
    EXPECT_TRUE(shapes.isSubmenu());
    EXPECT_EQ(shapes.tag, 50);
    EXPECT_EQ(titles(shapes.children), (QStringList{"Oval", "Line"}));
    expect_well_formed(menu);
}

TEST(PenTypeMenuKeys, LastPartIsTheKeyTheOthersModifiers)
{
    EXPECT_EQ(modifier_mask_from_key_string(QStringLiteral("cmd-shift-e")), kCommandKey | kShiftKey);
    EXPECT_EQ(modifier_mask_from_key_string(QStringLiteral("E")), 0u);
    EXPECT_EQ(modifier_mask_from_key_string(QStringLiteral("hyper-x")), 0u);
    EXPECT_EQ(modifier_mask_from_key_string(QStringLiteral("Ctrl-OPTION-NumPad-F-k")),
              kControlKey | kOptionKey | kNumericPadKey | kFunctionKey);
    EXPECT_EQ(modifier_mask_from_key_string(QStringLiteral("control-alt-opt-command-x")),
              kControlKey | kOptionKey | kCommandKey);
    // The key itself names no modifier, even when it spells one.
    EXPECT_EQ(modifier_mask_from_key_string(QStringLiteral("shift")), 0u);

    PenTypeMenu menu;
    add_pen_type(menu, type("One", 1, std::nullopt, QStringLiteral("cmd-shift-e")));
    add_pen_type(menu, type("Two", 2, std::nullopt, QStringLiteral("E")));
    add_pen_type(menu, type("Three", 3, std::nullopt, QStringLiteral("hyper-x")));
    add_pen_type(menu, type("Four", 4));
    ASSERT_EQ(menu.size(), 4u);
    EXPECT_EQ(menu[0].keyEquivalent, QStringLiteral("e"));
    EXPECT_EQ(menu[0].modifierMask, kCommandKey | kShiftKey);
    EXPECT_EQ(menu[1].keyEquivalent, QStringLiteral("E"));
    EXPECT_EQ(menu[1].modifierMask, 0u);
    EXPECT_EQ(menu[2].keyEquivalent, QStringLiteral("x"));
    EXPECT_EQ(menu[2].modifierMask, 0u);
    EXPECT_TRUE(menu[3].keyEquivalent.isEmpty());
}

TEST(PenTypeMenuOrder, PenTypeNamedLikeASubmenuStaysItsOwnItem)
{
    PenTypeMenu menu;
    // A pen type first, then pen types whose submenu bears its name.
    add_pen_type(menu, type("Shapes", 100));
    add_pen_type(menu, type("Line", 100, QStringLiteral("Shapes")));
    add_pen_type(menu, type("Oval", 110, QStringLiteral("Shapes")));
    // And once more the other way round: a pen type named like an existing submenu.
    add_pen_type(menu, type("Shapes", 100, QStringLiteral("Other")));
    add_pen_type(menu, type("Shapes", 100));

    expect_well_formed(menu);
    int pen_type_items = 0;
    int submenus = 0;
    for (const PenTypeMenuItem& item : menu) {
        if (item.title == QStringLiteral("Shapes")) ++(item.isSubmenu() ? submenus : pen_type_items);
    }
    EXPECT_EQ(pen_type_items, 2);
    ASSERT_EQ(submenus, 1);
    const PenTypeMenuItem* shapes = find_submenu(menu, QStringLiteral("Shapes"));
    ASSERT_TRUE(shapes);
    EXPECT_EQ(titles(shapes->children), (QStringList{"Line", "Oval"}));
    const PenTypeMenuItem* other = find_submenu(menu, QStringLiteral("Other"));
    ASSERT_TRUE(other);
    EXPECT_EQ(titles(other->children), QStringList{"Shapes"});
}

TEST(PenTypeMenuPosition, TruncatedTowardsZeroAndKeptInRange)
{
    EXPECT_EQ(menu_position_tag(12.9f), 12);
    EXPECT_EQ(menu_position_tag(-3.7f), -3);
    EXPECT_EQ(menu_position_tag(1e30f), std::numeric_limits<int>::max());
    EXPECT_EQ(menu_position_tag(-1e30f), std::numeric_limits<int>::min());
    EXPECT_EQ(menu_position_tag(std::numeric_limits<float>::quiet_NaN()), kDefaultMenuPosition);
    EXPECT_EQ(menu_position_tag(std::numeric_limits<float>::infinity()), kDefaultMenuPosition);
}

TEST_F(PenTypeMenuFolderTest, ReadsTheScriptsTranslatingNameAndSubmenu)
{
    write(QStringLiteral("Lua.strings"),
          "Ink = Tinte\nTools = Werkzeuge\ncmd-i = nicht\nChalk = Kreide\n");
    write(QStringLiteral("Pens/ink.lua"), "name = \"Ink\" key = \"cmd-i\" menu_position = 12.9");
    write(QStringLiteral("Pens/chalk.lua"),
          "name = \"Chalk\" submenu = \"Tools\" key = \"cmd-alt-k\" menu_position = -3.7");
    write(QStringLiteral("Pens/plain.lua"), "name = \"Plain\"");
    write(QStringLiteral("Pens/helper.lua"), "x = 1");
    write(QStringLiteral("Pens/broken.lua"), "name = ");
    write(QStringLiteral("Pens/notes.txt"), "name = \"Notes\"");

    const PenTypeMenu menu = build_pen_type_menu(root(), alerts);

    ASSERT_EQ(titles(menu), (QStringList{"Werkzeuge", "Tinte", "Plain"}));
    expect_well_formed(menu);
    EXPECT_EQ(menu[0].tag, -3);
    ASSERT_EQ(menu[0].children.size(), 1u);
    EXPECT_EQ(menu[0].children[0].title, QStringLiteral("Kreide"));
    EXPECT_EQ(menu[0].children[0].keyEquivalent, QStringLiteral("k"));
    EXPECT_EQ(menu[0].children[0].modifierMask, kCommandKey | kOptionKey);
    EXPECT_EQ(menu[1].tag, 12);
    EXPECT_EQ(menu[1].keyEquivalent, QStringLiteral("i"));
    EXPECT_EQ(menu[2].tag, kDefaultMenuPosition);
    // The broken script is reported, and gives no item.
    EXPECT_FALSE(onlyAlert(QStringLiteral("Compile error")).isEmpty());
}

TEST_F(PenTypeMenuFolderTest, OffersTheSamePenTypesAsThePen)
{
    write(QStringLiteral("Pens/a.lua"), "name = \"A\" submenu = \"S\"");
    write(QStringLiteral("Pens/b.lua"), "name = 7");
    write(QStringLiteral("Pens/c.lua"), "name = \"C\" error(\"after the name\")");
    write(QStringLiteral("Pens/d.lua"), "name = {}");
    write(QStringLiteral("Pens/e.lua"), "name = \"S\"");
    const Pen pen(alerts, root());

    QStringList offered = pen_type_titles(build_pen_type_menu(root(), alerts));
    offered.sort();
    EXPECT_EQ(offered, pen.penTypeNames());
}

TEST(PenTypeMenuShipped, ShapesAndEffectsAreSubmenus)
{
    RecordingAlerts alerts;
    const PenTypeMenu menu = build_pen_type_menu(resource_path(), alerts);
    EXPECT_TRUE(alerts.alerts.empty());
    expect_well_formed(menu);

    EXPECT_EQ(titles(menu), (QStringList{"Pen", "Pencil", "Marker", "Highlighter", "Calligraphy",
                                         "Brush", "Spray", "Eraser", "Shapes", "Effects"}));
    const PenTypeMenuItem* shapes = find_submenu(menu, QStringLiteral("Shapes"));
    const PenTypeMenuItem* effects = find_submenu(menu, QStringLiteral("Effects"));
    ASSERT_TRUE(shapes && effects);
    EXPECT_EQ(titles(shapes->children), (QStringList{"Line", "Rectangle", "Ellipse", "Lasso"}));
    EXPECT_EQ(titles(effects->children), (QStringList{"Darken", "Lighten", "Colorize", "Shadow", "Hilight"}));

    for_each_item(menu, [](const PenTypeMenuItem& item) {
        if (item.isSubmenu()) return;
        EXPECT_FALSE(item.keyEquivalent.isEmpty()) << item.title.toStdString();
        EXPECT_TRUE(item.modifierMask & kCommandKey) << item.title.toStdString();
    });
}
