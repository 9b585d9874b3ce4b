// The document window's menu bar: commands reach the controller with their titles, check
// marks wait for the document, and a pen type's key never takes a fixed shortcut.

#include "menu_manager.h"
#include "ui_test_support.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

using Performed = std::vector<std::pair<QString, QString>>;

class MenuManagerTest : public ::testing::Test {
protected:
    QMenuBar bar;
    std::unique_ptr<MenuManager> menus;
    Performed performed;

    // Pen types by name, key and submenu, in menu order.
    void build(std::initializer_list<std::tuple<const char*, const char*, const char*>> penTypes)
    {
        PenTypeMenu types;
        int position = 0;
        for (const auto& [name, key, submenu] : penTypes) {
            PenTypeDescription type{QString::fromUtf8(name), std::nullopt, std::nullopt, position += 10};
            if (key) type.key = QString::fromUtf8(key);
            if (submenu) type.submenu = QString::fromUtf8(submenu);
            add_pen_type(types, type);
        }
        menus = std::make_unique<MenuManager>(
            bar, types, [this](const QString& a, const QString& t) { performed.emplace_back(a, t); });
    }
    // The command items of the menu and its submenus, in order.
    QList<QAction*> items(const char* menu) const
    {
        QList<QAction*> found;
        const auto collect = [&found](const QMenu& m, const auto& self) -> void {
            for (QAction* item : m.actions())
                if (item->menu()) self(*item->menu(), self);
                else if (!item->isSeparator()) found << item;
        };
        for (const QAction* top : bar.actions())
            if (top->menu() && top->text() == QLatin1String(menu)) collect(*top->menu(), collect);
        return found;
    }
    QAction* item(const char* menu, const char* title) const
    {
        for (QAction* each : items(menu))
            if (menus->title(each) == QString::fromUtf8(title)) return each;
        ADD_FAILURE() << "no item " << title;
        return nullptr;
    }
    QStringList checked(const char* menu) const
    {
        QStringList titles;
        for (const QAction* each : items(menu))
            if (each->isChecked()) titles << menus->title(each);
        return titles;
    }
};

} // namespace

// The "&" of a title is shown, not taken for a mnemonic.
TEST_F(MenuManagerTest, ChoosingAnItemPerformsItsCommandWithItsTitleAndTicksNothing)
{
    build({{"Pen", "cmd-1", nullptr}, {"Ink & Wash", nullptr, nullptr}, {"Line", "cmd-alt-1", "Shapes"}});
    const struct {
        const char *menu, *title, *action;
    } rows[] = {{"Size", "12", "penSize:"}, {"Opacity", "50%", "penOpacity:"},
                {"Opacity", "Other…", "penOpacityOther:"}, {"Pen Type", "Line", "setPenType:"},
                {"Pen Type", "Ink & Wash", "setPenType:"}, {"Colour", "Red", "setRedColor:"}};
    for (const auto& row : rows) {
        item(row.menu, row.title)->trigger();
        EXPECT_EQ(std::exchange(performed, {}), (Performed{{row.action, QString::fromUtf8(row.title)}}));
        EXPECT_TRUE(checked(row.menu).isEmpty()) << row.title << ": the marks wait for the document";
    }
    EXPECT_EQ(item("Pen Type", "Ink & Wash")->text(), QStringLiteral("Ink && Wash"));
}

// A pen type's key gives way to a fixed command's shortcut and to an earlier pen type's.
TEST_F(MenuManagerTest, ClashingPenTypeKeysLeaveFixedAndFirstShortcuts)
{
    build({{"Newish", "cmd-n", nullptr}, {"First", "cmd-k", nullptr}, {"Second", "cmd-k", nullptr}});
    const QKeySequence none, controlK(Qt::CTRL | Qt::Key_K);
    EXPECT_EQ(menus->action(QStringLiteral("newDocument:"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    for (const auto& [title, key] : {std::pair{"Newish", none}, {"First", controlK}, {"Second", none}})
        EXPECT_EQ(item("Pen Type", title)->shortcut(), key) << title;
}
