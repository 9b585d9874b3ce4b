// The pen type menu: order, submenus, key strings, and reading it from the pen scripts.

#include "pen.h"
#include "pen_type_menu.h"
#include "pens_test_support.h"

#include <limits>

namespace {

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

PenTypeDescription type(const char* name, int position, const char* submenu = nullptr,
                        const char* key = nullptr)
{
    const auto text = [](const char* t) {
        return t ? std::optional(QString::fromUtf8(t)) : std::nullopt;
    };
    return {QString::fromUtf8(name), text(submenu), text(key), position};
}

} // namespace

// Each row adds pen types in order and gives the menu.
TEST(PenTypeMenu, ItemsAreOrderedByPositionThenTitleAndGatheredInSubmenus)
{
    const int last = kDefaultMenuPosition;
    const struct {
        std::vector<PenTypeDescription> types;
        const char* menu;
    } rows[] = {
        {{type("A", 10), type("B", last), type("C", 10), type("Ab", 10), type("a", 10),
          type("Z", -5)},
         "Z A Ab C a B"},
        // The same position and title goes after the item already there.
        {{type("A", 10), type("A", 10, nullptr, "cmd-2")}, "A A[2/1048576]"},
        // A submenu keeps the position of the first pen type that named it.
        {{type("Line", 50, "Shapes"), type("Pen", 20), type("Oval", 5, "Shapes"),
          type("Eraser", 60)},
         "Pen Shapes{Oval Line} Eraser"},
        // A pen type named like a submenu stays an item of its own, either way round.
        {{type("Shapes", 100), type("Line", 100, "Shapes"), type("Shapes", 100, "Other"),
          type("Shapes", 100)},
         "Other{Shapes} Shapes Shapes{Line} Shapes"},
        // The last part of the key is the key, the others name modifiers.
        {{type("One", 1, nullptr, "cmd-shift-e"), type("Two", 2, nullptr, "E"),
          type("Three", 3, nullptr, "hyper-x"),
          type("Four", 4, nullptr, "Ctrl-OPTION-NumPad-F-shift")},
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

TEST_F(PenScriptTest, TheMenuOffersThePensTypesTranslated)
{
    write(QStringLiteral("Lua.strings"), "Ink = Tinte\nTools = Werkzeuge\nChalk = Kreide\n");
    write(QStringLiteral("Pens/ink.lua"), "name = 'Ink' key = 'cmd-i' menu_position = 12.9");
    write(QStringLiteral("Pens/chalk.lua"),
          "name = 'Chalk' submenu = 'Tools' key = 'cmd-alt-k' menu_position = -3.7");
    write(QStringLiteral("Pens/broken.lua"), "name = 'Broken' error('after the name')");
    write(QStringLiteral("Pens/bad.lua"), "name = {}");
    write(QStringLiteral("Pens/number.lua"), "name = 7");
    write(QStringLiteral("Pens/helper.lua"), "x = 1");
    EXPECT_EQ(text_of(build_pen_type_menu(root(), alerts)),
              QStringLiteral("Werkzeuge{Kreide[k/1572864]} Tinte[i/1048576] 7 Broken"));
    EXPECT_EQ(alerts.alerts.size(), 1u);
    const Pen tool(alerts, root());
    EXPECT_EQ(tool.penTypeNames(), (QStringList{"7", "Broken", "Kreide", "Tinte"}));
}
