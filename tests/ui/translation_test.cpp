// The menus in the person's language: every text they ask for has its English entry and a
// German translation, a text the table lacks shows in English, much longer translations are
// cut short instead of pushing a menu off the screen, and LANG=de_DE.UTF-8 gives German.

#include "menu_manager.h"
#include "resources.h"
#include "string_table.h"
#include "table_translator.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString english_table() { return QDir(resource_path()).filePath(QStringLiteral("Localizable.strings")); }
StringTable german_table() { return TableTranslator::localizable(resource_path(), QLocale(QLocale::German)); }

// Installed for its lifetime, before the application's own translator: it notes every text the
// menus ask for and gives each of their translations `repeat` times over. Qt's own texts (key
// names, layout direction) are left to the table.
class TestTranslator : public TableTranslator {
public:
    explicit TestTranslator(StringTable table, int repeat = 1) : TableTranslator(std::move(table)), _repeat(repeat)
    {
        QCoreApplication::installTranslator(this);
    }
    ~TestTranslator() override { QCoreApplication::removeTranslator(this); }
    QString translate(const char* context, const char* source, const char* disambiguation, int n) const override
    {
        const QString text = TableTranslator::translate(context, source, disambiguation, n);
        if (qstrcmp(context, "MenuManager") != 0) return text;
        asked << QString::fromUtf8(source);
        return text.isEmpty() ? text : QStringList(_repeat, text).join(u' ');
    }
    mutable QStringList asked;

private:
    const int _repeat;
};

// Each menu of the bar with its submenus, depth first, and the bar's own titles.
QList<const QMenu*> all_menus(const QMenuBar& bar)
{
    QList<const QMenu*> menus;
    const auto collect = [&menus](const QList<QAction*>& items, const auto& self) -> void {
        for (const QAction* item : items)
            if (const QMenu* menu = item->menu()) menus << menu, self(menu->actions(), self);
    };
    collect(bar.actions(), collect);
    return menus;
}

const QMenu* menu_titled(const QMenuBar& bar, const QString& title)
{
    for (const QMenu* menu : all_menus(bar))
        if (menu->title() == title) return menu;
    return nullptr;
}

} // namespace

TEST(Translation, EveryMenuTextHasAnEnglishEntryAndAGermanTranslation)
{
    const StringTable english = StringTable::load(english_table()), german = german_table();
    const TestTranslator translator(german);
    QMenuBar bar;
    const MenuManager menus(bar, {}, [](const QString&, const QString&) {});
    QStringList noEnglish, noGerman;
    for (const QString& text : translator.asked) {
        if (!english.contains(text)) noEnglish << text;
        if (!german.contains(text)) noGerman << text;
    }
    EXPECT_GT(translator.asked.size(), 50);
    EXPECT_TRUE(noEnglish.isEmpty()) << "not in Localizable.strings: " << qPrintable(noEnglish.join(u" | "));
    EXPECT_TRUE(noGerman.isEmpty()) << "not in de/Localizable.strings: " << qPrintable(noGerman.join(u" | "));
    EXPECT_TRUE(menu_titled(bar, QStringLiteral("Bearbeiten")));
}

// The English text shows where the table has no entry; the command keeps its English title.
TEST(Translation, AMissingEntryShowsTheEnglishText)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("only.strings")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("File = Datei\nNew = Neu\n");
    file.close();
    const TestTranslator translator(StringTable::load(file.fileName()));
    QMenuBar bar;
    const MenuManager menus(bar, {}, [](const QString&, const QString&) {});
    EXPECT_TRUE(menu_titled(bar, QStringLiteral("Datei")));
    EXPECT_TRUE(menu_titled(bar, QStringLiteral("Edit")));
    QAction* item = menus.action(QStringLiteral("newDocument:"));
    EXPECT_EQ(item->text(), QStringLiteral("Neu"));
    EXPECT_EQ(menus.title(item), QStringLiteral("New"));
    EXPECT_EQ(menus.action(QStringLiteral("openDocument:"))->text(), QStringLiteral("Open…"));
}

// Overflowing means a menu, or a title in the bar, wider than the screen: what the person
// could not read in full or reach. The bar itself may run out of room; Qt then folds the last
// menus into its » button. With every German text three times as long, titles are cut short
// with "…" and every menu still fits.
TEST(Translation, NoMenuOverflowsTheScreenWhenTextsAreThreeTimesLonger)
{
    const TestTranslator translator(german_table(), 3);
    QMenuBar bar;
    const MenuManager menus(bar, {}, [](const QString&, const QString&) {});
    const int screen = QApplication::primaryScreen()->availableGeometry().width();
    int cut = 0;
    for (const QMenu* menu : all_menus(bar)) {
        EXPECT_LE(QFontMetrics(bar.font()).horizontalAdvance(menu->title()), screen) << qPrintable(menu->title());
        EXPECT_LE(menu->sizeHint().width(), screen) << qPrintable(menu->title());
        for (const QAction* item : menu->actions()) {
            if (item->isSeparator() || item->menu()) continue;
            EXPECT_FALSE(item->text().isEmpty());
            cut += item->text().endsWith(u'…') && !menus.title(item).endsWith(u'…');
        }
    }
    EXPECT_GT(cut, 0) << "no title was long enough to be cut short";
}

// Run by CTest with LANG=de_DE.UTF-8: the application chose the German tables itself.
TEST(Translation, TheSystemLanguageChoosesTheTables)
{
    if (QLocale().language() != QLocale::German) GTEST_SKIP() << "not a German locale";
    QMenuBar bar;
    const MenuManager menus(bar, {}, [](const QString&, const QString&) {});
    EXPECT_EQ(bar.actions().value(0)->text(), QStringLiteral("Datei"));
    EXPECT_TRUE(localized_file(QDir(resource_path()).filePath(QStringLiteral("Help")), QStringLiteral("index.html"))
                    .endsWith(u"Help/de/index.html"));
    EXPECT_EQ(StringTable::named(resource_path(), QStringLiteral("Lua")).translate(QStringLiteral("Eraser")),
              QStringLiteral("Radiergummi"));
}
