// The document window's menu bar: commands reach the controller with their titles, check
// marks follow the check calls only, and no two items share a shortcut.

#include "menu_manager.h"
#include "resources.h"
#include "ui_test_support.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <utility>

namespace {

class SilentAlerts : public ScriptAlerts {
public:
    void show(const QString& title, const QString& message) override { shown << title + QStringLiteral(": ") + message; }
    QStringList shown;
};

// Calls `visit` with every command item of the menu and its submenus.
void for_each_command(const QMenu& menu, const std::function<void(QAction*)>& visit)
{
    for (QAction* item : menu.actions()) {
        if (item->isSeparator()) continue;
        if (const QMenu* submenu = item->menu()) for_each_command(*submenu, visit);
        else visit(item);
    }
}

void for_each_command(const QMenuBar& bar, const std::function<void(QAction*)>& visit)
{
    for (const QAction* top : bar.actions())
        if (const QMenu* menu = top->menu()) for_each_command(*menu, visit);
}

QMenu* menu_titled(const QMenuBar& bar, const QString& title)
{
    for (const QAction* top : bar.actions())
        if (top->menu() && top->text() == title) return top->menu();
    return nullptr;
}

PenTypeDescription pen_type(const char* name, int position, const char* key = nullptr,
                            const char* submenu = nullptr)
{
    PenTypeDescription type{QString::fromUtf8(name), std::nullopt, std::nullopt, position};
    if (key) type.key = QString::fromUtf8(key);
    if (submenu) type.submenu = QString::fromUtf8(submenu);
    return type;
}

class MenuManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ensure_application(); }

    void build(const PenTypeMenu& penTypes)
    {
        bar = std::make_unique<QMenuBar>();
        menus = std::make_unique<MenuManager>(*bar, penTypes, [this](const QString& action, const QString& title) {
            performed.emplace_back(action, title);
        });
    }

    // Every command item titled `title` in the menu titled `menu`, submenus included.
    QAction* item(const QString& menu, const QString& title) const
    {
        QAction* found = nullptr;
        const QMenu* in = menu_titled(*bar, menu);
        EXPECT_TRUE(in) << menu.toStdString();
        if (!in) return nullptr;
        for_each_command(*in, [&](QAction* each) {
            if (!found && menus->title(each) == title) found = each;
        });
        EXPECT_TRUE(found) << title.toStdString();
        return found;
    }

    // Titles of the checked items of the menu titled `menu`.
    QStringList checked(const QString& menu) const
    {
        QStringList titles;
        for_each_command(*menu_titled(*bar, menu), [&](QAction* each) {
            if (each->isChecked()) titles << menus->title(each);
        });
        return titles;
    }

    PenTypeMenu someTypes() const
    {
        PenTypeMenu types;
        add_pen_type(types, pen_type("Pen", 10, "cmd-1"));
        add_pen_type(types, pen_type("Ink & Wash", 20));
        add_pen_type(types, pen_type("Line", 100, "cmd-alt-1", "Shapes"));
        add_pen_type(types, pen_type("Shapes", 200));
        return types;
    }

    std::unique_ptr<QMenuBar> bar;
    std::unique_ptr<MenuManager> menus;
    std::vector<std::pair<QString, QString>> performed;
};

using Performed = std::pair<QString, QString>;

} // namespace

TEST_F(MenuManagerTest, ChoosingAnItemPerformsItsCommandWithItsTitle)
{
    build(someTypes());
    item(QStringLiteral("Size"), QStringLiteral("12"))->trigger();
    item(QStringLiteral("Opacity"), QStringLiteral("50%"))->trigger();
    item(QStringLiteral("Opacity"), QStringLiteral("Other…"))->trigger();
    item(QStringLiteral("Pen Type"), QStringLiteral("Line"))->trigger();
    item(QStringLiteral("Pen Type"), QStringLiteral("Ink & Wash"))->trigger();
    item(QStringLiteral("Colour"), QStringLiteral("Red"))->trigger();
    menus->action(QStringLiteral("zoomToFit:"))->trigger();
    EXPECT_EQ(performed, (std::vector<Performed>{{"penSize:", "12"},
                                                 {"penOpacity:", "50%"},
                                                 {"penOpacityOther:", "Other…"},
                                                 {"setPenType:", "Line"},
                                                 {"setPenType:", "Ink & Wash"},
                                                 {"setRedColor:", "Red"},
                                                 {"zoomToFit:", "Zoom to Fit"}}));
    // The "&" is shown, not taken for a mnemonic.
    EXPECT_EQ(item(QStringLiteral("Pen Type"), QStringLiteral("Ink & Wash"))->text(), QStringLiteral("Ink && Wash"));
    // Choosing ticks nothing: the marks wait for the document.
    EXPECT_TRUE(checked(QStringLiteral("Size")).isEmpty());
    EXPECT_TRUE(checked(QStringLiteral("Pen Type")).isEmpty());
    EXPECT_FALSE(menus->action(QStringLiteral("noSuchCommand:")));
    ASSERT_TRUE(menus->openRecentMenu());
    EXPECT_TRUE(menus->openRecentMenu()->isEmpty());
    EXPECT_TRUE(menu_titled(*bar, QStringLiteral("File"))->actions().contains(menus->openRecentMenu()->menuAction()));
}

TEST_F(MenuManagerTest, CheckMarksFollowTheDocument)
{
    build(someTypes());
    menus->checkTool(QStringLiteral("penTool:"));
    EXPECT_EQ(checked(QStringLiteral("Tools")), QStringList{"Pen"});
    menus->checkTool(QStringLiteral("noSuchTool:"));
    EXPECT_EQ(checked(QStringLiteral("Tools")), QStringList{"Pen"});

    menus->checkPenType(QStringLiteral("Pen"));
    EXPECT_EQ(checked(QStringLiteral("Pen Type")), QStringList{"Pen"});
    menus->checkPenType(QStringLiteral("Line"));
    EXPECT_EQ(checked(QStringLiteral("Pen Type")), QStringList{"Line"});
    // The pen type named like the submenu is checked; the submenu item is never.
    menus->checkPenType(QStringLiteral("Shapes"));
    EXPECT_EQ(checked(QStringLiteral("Pen Type")), QStringList{"Shapes"});
    for (const QAction* top : menu_titled(*bar, QStringLiteral("Pen Type"))->actions())
        EXPECT_FALSE(top->menu() && top->isCheckable());

    menus->checkPenSize(5);
    EXPECT_EQ(checked(QStringLiteral("Size")), QStringList{"5"});
    menus->checkPenSize(7);
    EXPECT_EQ(checked(QStringLiteral("Size")), QStringList{"Other…"});
    menus->checkPenSize(64);
    EXPECT_EQ(checked(QStringLiteral("Size")), QStringList{"64"});

    menus->checkOpacity(0.5f);
    EXPECT_EQ(checked(QStringLiteral("Opacity")), QStringList{"50%"});
    menus->checkOpacity(0.3f);
    EXPECT_EQ(checked(QStringLiteral("Opacity")), QStringList{"33%"});
    menus->checkOpacity(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(checked(QStringLiteral("Opacity")), QStringList{"33%"});
}

TEST_F(MenuManagerTest, UndoItemsNameTheActionAndFollowTheState)
{
    build({});
    QAction* undo = menus->action(QStringLiteral("undo:"));
    QAction* redo = menus->action(QStringLiteral("redo:"));
    ASSERT_TRUE(undo && redo);
    EXPECT_FALSE(undo->isEnabled());

    menus->setUndoState(true, QStringLiteral("Stroke"), false, QString());
    EXPECT_EQ(undo->text(), QStringLiteral("Undo Stroke"));
    EXPECT_EQ(redo->text(), QStringLiteral("Redo"));
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());
    undo->trigger();

    menus->setUndoState(false, QString(), true, QStringLiteral("Stroke"));
    EXPECT_EQ(undo->text(), QStringLiteral("Undo"));
    EXPECT_EQ(redo->text(), QStringLiteral("Redo Stroke"));
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(redo->isEnabled());
    redo->trigger();

    EXPECT_EQ(performed, (std::vector<Performed>{{"undo:", "Undo Stroke"}, {"redo:", "Redo Stroke"}}));
}

TEST_F(MenuManagerTest, ShippedPenTypesShareNoShortcut)
{
    SilentAlerts alerts;
    build(build_pen_type_menu(resource_path(), alerts));
    EXPECT_TRUE(alerts.shown.isEmpty()) << alerts.shown.join(u'\n').toStdString();

    std::map<QString, QString> owners;
    int pen_types_with_keys = 0;
    for_each_command(*bar, [&](QAction* each) {
        if (menus->actionName(each) == QStringLiteral("setPenType:") && !each->shortcut().isEmpty())
            ++pen_types_with_keys;
        for (const QKeySequence& shortcut : each->shortcuts()) {
            const QString key = shortcut.toString(QKeySequence::PortableText);
            const auto [at, fresh] = owners.emplace(key, menus->title(each));
            EXPECT_TRUE(fresh) << key.toStdString() << ": " << at->second.toStdString() << " and "
                               << menus->title(each).toStdString();
        }
    });
    EXPECT_EQ(pen_types_with_keys, 17);
    EXPECT_EQ(owners[QStringLiteral("Ctrl+1")], QStringLiteral("Pen"));
    EXPECT_EQ(owners[QStringLiteral("Ctrl+0")], QStringLiteral("Eraser"));
    EXPECT_EQ(owners[QStringLiteral("Ctrl+Alt+1")], QStringLiteral("Line"));
    EXPECT_EQ(owners[QStringLiteral("Ctrl+N")], QStringLiteral("New"));
    EXPECT_EQ(owners[QStringLiteral("Ctrl++")], QStringLiteral("Zoom In"));
}

TEST_F(MenuManagerTest, ClashingPenTypeKeysLeaveFixedAndFirstShortcuts)
{
    PenTypeMenu types;
    add_pen_type(types, pen_type("Newish", 10, "cmd-n"));
    add_pen_type(types, pen_type("First", 20, "cmd-k"));
    add_pen_type(types, pen_type("Second", 30, "cmd-k"));
    build(types);
    EXPECT_EQ(menus->action(QStringLiteral("newDocument:"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_TRUE(item(QStringLiteral("Pen Type"), QStringLiteral("Newish"))->shortcut().isEmpty());
    EXPECT_EQ(item(QStringLiteral("Pen Type"), QStringLiteral("First"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_K));
    EXPECT_TRUE(item(QStringLiteral("Pen Type"), QStringLiteral("Second"))->shortcut().isEmpty());
}
