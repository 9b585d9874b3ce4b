// The menus in the person's language: every text they ask for has its English entry and a
// German translation, a text no table has shows in English, and much longer translations are
// cut short instead of pushing a menu off the screen. (That LANG=de_DE.UTF-8 chooses German is
// checked on the installed program by tests/install/translations_check.sh.)

#include "menu_manager.h"
#include "resources.h"
#include "table_translator.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <gtest/gtest.h>

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
