// The document window's menu bar: commands reach the controller with their titles, check
// marks wait for the document, and a pen type's key never takes a fixed shortcut. Which
// number item gets the check mark, key equivalents as text and as Qt shortcuts, and the
// menus in the person's language.

#include "menu_checks.h"
#include "menu_manager.h"
#include "resources.h"
#include "table_translator.h"
#include "tool_event.h"

#include <QtWidgets>

#include <gtest/gtest.h>

#include <limits>
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
                {"Pen Type", "Ink & Wash", "setPenType:"}, {"Colour", "Red", "setRedColor:"},
                {"File", "Export…", "exportBitmap:"}, {"Edit", "Triple Size", "copyBitmapTripleResolution:"}};
    for (const auto& row : rows) {
        item(row.menu, row.title)->trigger();
        EXPECT_EQ(std::exchange(performed, {}), (Performed{{row.action, QString::fromUtf8(row.title)}}));
        EXPECT_TRUE(checked(row.menu).isEmpty()) << row.title << ": the marks wait for the document";
    }
    EXPECT_EQ(item("Pen Type", "Ink & Wash")->text(), QStringLiteral("Ink && Wash"));
    EXPECT_EQ(menus->title(items("Edit").back()), QStringLiteral("Quadruple Size")) << "copy as picture comes last";
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

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr std::optional<qsizetype> none = std::nullopt;

// Separators and words never count as numbers. The opacity menu checks the closest
// percentage (the earlier on a tie), the size menu the exact number, else its first word
// ("Other…").
TEST(MenuChecks, NumberMenusCheckTheirItem)
{
    const QStringList opacity{"25%", "50%", "100%", "Other…"}, size{"1", "2", "5", "", "Other…"};
    const struct {
        const QStringList& titles;
        float value;
        std::optional<qsizetype> closest, matching;
    } rows[] = {
        {opacity, 40, 1, 3}, {opacity, 37.5f, 0, 3}, {opacity, 1000, 2, 3}, {opacity, -1, 0, 3},
        {opacity, kNaN, none, 3}, {size, 5, 2, 2}, {size, 3, 1, 4}, {size, 4.9999f, 2, 4},
        {size, kNaN, none, 4}, {{"", "Other…", "80%"}, 10, 2, 1}, {{"", "Other…"}, 50, none, 1},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(closest_number_index(row.titles, row.value), row.closest) << row.value;
        EXPECT_EQ(matching_number_index(row.titles, row.value), row.matching) << row.value;
    }
    EXPECT_FALSE(matching_number_index({"1", "", "2"}, 3));
}

TEST(MenuChecks, KeyEquivalentsAsTextAndAsShortcuts)
{
    const auto localizable = StringTable::named(resource_path(), QStringLiteral("Localizable"));
    const struct {
        const char* key;
        unsigned modifiers;
        const char* text;     // as the menus show it; null for none
        const char* shortcut; // portable text; empty for none
    } rows[] = {
        {"e", kCommandKey, "Ctrl+E", "Ctrl+E"},
        {"E", kCommandKey, "Ctrl+Shift+E", "Ctrl+Shift+E"},
        {"1", kCommandKey | kOptionKey | kControlKey, "Meta+Ctrl+Alt+1", "Meta+Ctrl+Alt+1"},
        {"k", kControlKey, "Meta+K", "Meta+K"}, {"F5", 0, "F5", "F5"}, {"x", 0, "X", "X"},
        {"", kCommandKey, nullptr, ""}, {"5", kFunctionKey | kCommandKey, nullptr, ""},
        {"ab", kCommandKey, nullptr, ""}, {"Ctrl+A", 0, nullptr, ""},
    };
    for (const auto& row : rows) {
        const QString key = QString::fromLatin1(row.key);
        if (row.text) {
            EXPECT_EQ(key_equivalent_string(key, row.modifiers, localizable), row.text) << row.key;
        }
        EXPECT_EQ(key_sequence(key, row.modifiers),
                  QKeySequence::fromString(QLatin1String(row.shortcut), QKeySequence::PortableText))
            << row.key;
    }
    EXPECT_EQ(key_sequence(QStringLiteral("5"), kNumericPadKey),
              QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_5)));
}

// The menus in the person's language: every text they ask for has its English entry and a
// German translation, a text no table has shows in English, and much longer translations are
// cut short instead of pushing a menu off the screen. (That LANG=de_DE.UTF-8 chooses German is
// checked on the installed program by tests/install/translations_check.sh.)
using namespace Qt::StringLiterals;

namespace {

// Installed for its lifetime ahead of the application's translator: it notes each text the
// menus ask for and gives their German five times over (at three times no menu reaches the
// edge of the test's 800-pixel screen even uncut). Qt's own texts are left alone.
class LongGerman : public TableTranslator {
public:
    LongGerman() : TableTranslator(german()) { QCoreApplication::installTranslator(this); }
    ~LongGerman() override { QCoreApplication::removeTranslator(this); }
    static StringTable german() { return localizable(resource_path(), QLocale(QLocale::German)); }
    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override
    {
        const QString text = TableTranslator::translate(context, source, disambiguation, n);
        if (qstrcmp(context, "MenuManager") != 0) return text;
        asked << QString::fromUtf8(source);
        return text.isEmpty() ? text : QStringList(5, text).join(u' ');
    }
    mutable QStringList asked;
};

QList<const QMenu*> menus_in(const QList<QAction*>& items)
{
    QList<const QMenu*> menus;
    for (const QAction* item : items)
        if (const QMenu* menu = item->menu()) menus << menu << menus_in(menu->actions());
    return menus;
}

} // namespace

// A menu overflows when it, or its title in the bar, is wider than the screen: part of it could
// not be read or reached. (A bar too full folds its last menus into Qt's » button.)
TEST(Translation, EveryMenuTextIsTranslatedAndNoMenuOverflowsWithTextsFiveTimesLonger)
{
    const LongGerman translator;
    QMenuBar bar;
    const MenuManager menus(bar, {}, [](const QString&, const QString&) {});
    const QDir resources(resource_path());
    const StringTable english = StringTable::load(resources.filePath(u"Localizable.strings"_s));
    const StringTable german = StringTable::load(resources.filePath(u"de/Localizable.strings"_s));
    QStringList missing;
    for (const QString& text : translator.asked)
        if (!english.contains(text) || !german.contains(text)) missing << text;
    EXPECT_GT(translator.asked.size(), 50);
    EXPECT_TRUE(missing.isEmpty()) << "not in both Localizable.strings and de/: " << qPrintable(missing.join(u" | "));
    const int screen = QApplication::primaryScreen()->availableGeometry().width();
    int cut = 0;
    for (const QMenu* menu : menus_in(bar.actions())) {
        EXPECT_LE(bar.fontMetrics().horizontalAdvance(menu->title()), screen) << qPrintable(menu->title());
        EXPECT_LE(menu->sizeHint().width(), screen) << qPrintable(menu->title());
        for (const QAction* item : menu->actions())
            cut += item->text().endsWith(u'…') && !menus.title(item).endsWith(u'…');
    }
    EXPECT_GT(cut, 0) << "no title was long enough to be cut short";
    EXPECT_TRUE(bar.actions().value(1)->text().startsWith(u"Bearbeiten Bearbeiten")) << "the Edit menu in German";
    EXPECT_EQ(menus.title(menus.action(u"newDocument:"_s)), u"New"_s) << "commands keep the English title";
    EXPECT_EQ(QCoreApplication::translate("MenuManager", "No table has this"), u"No table has this"_s);
}
