// The document window's menu bar: commands reach the controller with their titles, check
// marks follow the check calls only, and a pen type's key never takes a fixed shortcut.

#include "menu_manager.h"
#include "ui_test_support.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace {

using Performed = std::pair<QString, QString>;

// The command items of a menu and its submenus, in order.
QList<QAction*> commands(const QMenu& menu)
{
    QList<QAction*> items;
    for (QAction* item : menu.actions())
        if (item->menu()) items << commands(*item->menu());
        else if (!item->isSeparator()) items << item;
    return items;
}

class MenuManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ensure_application(); }

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
        bar = std::make_unique<QMenuBar>();
        menus = std::make_unique<MenuManager>(*bar, types, [this](const QString& a, const QString& t) {
            performed.emplace_back(a, t);
        });
    }
    QList<QAction*> items(const QString& menu) const
    {
        for (const QAction* top : bar->actions())
            if (top->menu() && top->text() == menu) return commands(*top->menu());
        return {};
    }
    QAction* item(const QString& menu, const QString& title) const
    {
        for (QAction* each : items(menu))
            if (menus->title(each) == title) return each;
        ADD_FAILURE() << "no item " << title.toStdString();
        return nullptr;
    }
    QStringList checked(const QString& menu) const
    {
        QStringList titles;
        for (const QAction* each : items(menu))
            if (each->isChecked()) titles << menus->title(each);
        return titles;
    }

    std::unique_ptr<QMenuBar> bar;
    std::unique_ptr<MenuManager> menus;
    std::vector<Performed> performed;
};

} // namespace

TEST_F(MenuManagerTest, ChoosingAnItemPerformsItsCommandWithItsTitleAndTicksNothing)
{
    build({{"Pen", "cmd-1", nullptr}, {"Ink & Wash", nullptr, nullptr}, {"Line", "cmd-alt-1", "Shapes"}});
    const struct {
        const char *menu, *title, *action;
    } rows[] = {{"Size", "12", "penSize:"}, {"Opacity", "50%", "penOpacity:"},
                {"Opacity", "Other…", "penOpacityOther:"}, {"Pen Type", "Line", "setPenType:"},
                {"Pen Type", "Ink & Wash", "setPenType:"}, {"Colour", "Red", "setRedColor:"}};
    for (const auto& row : rows) {
        performed.clear();
        item(QString::fromUtf8(row.menu), QString::fromUtf8(row.title))->trigger();
        EXPECT_EQ(performed, (std::vector<Performed>{{row.action, QString::fromUtf8(row.title)}})) << row.title;
        EXPECT_TRUE(checked(QString::fromUtf8(row.menu)).isEmpty()) << "the marks wait for the document";
    }
    // The "&" is shown, not taken for a mnemonic.
    EXPECT_EQ(item(QStringLiteral("Pen Type"), QStringLiteral("Ink & Wash"))->text(), QStringLiteral("Ink && Wash"));

    // Undo and Redo name what they would do, and are enabled only when they can.
    QAction* undo = menus->action(QStringLiteral("undo:"));
    QAction* redo = menus->action(QStringLiteral("redo:"));
    EXPECT_FALSE(undo->isEnabled());
    menus->setUndoState(true, QStringLiteral("Stroke"), false, QString());
    EXPECT_EQ(QStringList({undo->text(), redo->text()}), QStringList({"Undo Stroke", "Redo"}));
    EXPECT_TRUE(undo->isEnabled() && !redo->isEnabled());
    performed.clear();
    undo->trigger();
    EXPECT_EQ(performed, (std::vector<Performed>{{"undo:", "Undo Stroke"}}));
}

// Each check call marks one item of its menu; an unknown one keeps the mark where it was.
TEST_F(MenuManagerTest, CheckMarksFollowTheDocument)
{
    build({{"Pen", nullptr, nullptr}, {"Line", nullptr, "Shapes"}, {"Shapes", nullptr, nullptr}});
    const struct {
        void (*call)(MenuManager&);
        const char *menu, *checked;
    } rows[] = {
        {[](MenuManager& m) { m.checkTool(QStringLiteral("penTool:")); }, "Tools", "Pen"},
        {[](MenuManager& m) { m.checkTool(QStringLiteral("noSuchTool:")); }, "Tools", "Pen"},
        // The pen type named like the submenu, never the submenu item.
        {[](MenuManager& m) { m.checkPenType(QStringLiteral("Shapes")); }, "Pen Type", "Shapes"},
        {[](MenuManager& m) { m.checkPenSize(7); }, "Size", "Other…"},
        {[](MenuManager& m) { m.checkOpacity(0.3f); }, "Opacity", "33%"},
    };
    for (const auto& row : rows) {
        row.call(*menus);
        EXPECT_EQ(checked(QString::fromUtf8(row.menu)), QStringList{QString::fromUtf8(row.checked)}) << row.checked;
    }
}

// A pen type's key gives way to a fixed command's shortcut and to an earlier pen type's.
TEST_F(MenuManagerTest, ClashingPenTypeKeysLeaveFixedAndFirstShortcuts)
{
    build({{"Newish", "cmd-n", nullptr}, {"First", "cmd-k", nullptr}, {"Second", "cmd-k", nullptr}});
    EXPECT_EQ(menus->action(QStringLiteral("newDocument:"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    for (const auto& [title, shortcut] : {std::pair{"Newish", QKeySequence()}, {"First", QKeySequence(Qt::CTRL | Qt::Key_K)},
                                          {"Second", QKeySequence()}})
        EXPECT_EQ(item(QStringLiteral("Pen Type"), QLatin1String(title))->shortcut(), shortcut) << title;
}
