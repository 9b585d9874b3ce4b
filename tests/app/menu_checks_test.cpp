// Which number item gets the check mark, and key equivalents as text and as Qt shortcuts.

#include "menu_checks.h"
#include "resources.h"
#include "tool_event.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

QKeySequence keys(const char* portable)
{
    return QKeySequence::fromString(QString::fromLatin1(portable), QKeySequence::PortableText);
}

} // namespace

TEST(MenuChecks, TitleNumberIsTheLeadingNumber)
{
    EXPECT_EQ(title_number(QStringLiteral("50%")), 50.0f);
    EXPECT_EQ(title_number(QStringLiteral("12.5 px")), 12.5f);
    EXPECT_EQ(title_number(QStringLiteral("1e2x")), 100.0f);
    // An "e" without digits is text.
    EXPECT_EQ(title_number(QStringLiteral("3em")), 3.0f);
    EXPECT_EQ(title_number(QStringLiteral("7.")), 7.0f);
    EXPECT_EQ(title_number(QString(400, u'9')), std::numeric_limits<float>::infinity());
    EXPECT_FALSE(title_number(QString()));
    EXPECT_FALSE(title_number(QStringLiteral("Other…")));
    EXPECT_FALSE(title_number(QStringLiteral(" 5")));
    EXPECT_FALSE(title_number(QStringLiteral(".5")));
}

TEST(MenuChecks, OpacityChecksTheClosestPercentageEarlierOnATie)
{
    const QStringList titles{"25%", "50%", "100%", "Other…"};
    EXPECT_EQ(closest_number_index(titles, 0.4f * 100), 1);
    EXPECT_EQ(closest_number_index(titles, 0.375f * 100), 0);
    EXPECT_EQ(closest_number_index(titles, 1000), 2);
    EXPECT_EQ(closest_number_index(titles, -1), 0);

    // Separators and words are never chosen; without a number nothing is.
    EXPECT_EQ(closest_number_index({"", "Other…", "80%"}, 10), 2);
    EXPECT_FALSE(closest_number_index({"", "Other…"}, 50));
    EXPECT_FALSE(closest_number_index({}, 50));
    EXPECT_FALSE(closest_number_index(titles, kNaN));
}

TEST(MenuChecks, SizeChecksTheExactNumberElseTheOtherItem)
{
    const QStringList titles{"1", "2", "5", "", "Other…"};
    EXPECT_EQ(matching_number_index(titles, 5), 2);
    EXPECT_EQ(matching_number_index(titles, 3), 4);
    EXPECT_EQ(matching_number_index(titles, 4.9999f), 4);
    EXPECT_EQ(matching_number_index(titles, kNaN), 4);

    // A match wins over an earlier word; of two words the first is the other item.
    EXPECT_EQ(matching_number_index({"Custom", "5", "More"}, 5), 1);
    EXPECT_EQ(matching_number_index({"Custom", "5", "More"}, 6), 0);
    EXPECT_FALSE(matching_number_index({"1", "", "2"}, 3));
}

TEST(MenuChecks, KeyEquivalentStringWritesModifiersInOrder)
{
    const StringTable localizable = StringTable::named(resource_path(), QStringLiteral("Localizable"));
    EXPECT_EQ(key_equivalent_string(QStringLiteral("e"), kCommandKey | kShiftKey, localizable),
              QStringLiteral("Ctrl+Shift+E"));
    EXPECT_EQ(key_equivalent_string(QStringLiteral("1"), kCommandKey | kOptionKey | kControlKey, localizable),
              QStringLiteral("Meta+Ctrl+Alt+1"));
    EXPECT_EQ(key_equivalent_string(QStringLiteral("x"), 0, localizable), QStringLiteral("X"));
    // A capital letter means shift.
    EXPECT_EQ(key_equivalent_string(QStringLiteral("E"), kCommandKey, localizable), QStringLiteral("Ctrl+Shift+E"));
    EXPECT_FALSE(key_equivalent_string(QString(), kCommandKey, localizable));

    // Every modifier, each with a text of its own, in the order the menus write them.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("Keys.strings")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("control_key = c\ncommand_key = m\noption_key = o\nalphashift_key = a\nshift_key = s\n"
               "function_key = f\nnumpad_key = n\nhelp_key = h\n");
    file.close();
    const StringTable symbols = StringTable::load(file.fileName());
    EXPECT_EQ(key_equivalent_string(QStringLiteral("q"), 0xff0000u, symbols), QStringLiteral("cmoasfnhQ"));
    EXPECT_EQ(key_equivalent_string(QStringLiteral("q"), kShiftKey | kControlKey, symbols), QStringLiteral("csQ"));
}

TEST(MenuChecks, KeySequenceMapsTheModifiersToQt)
{
    EXPECT_EQ(key_sequence(QStringLiteral("e"), kCommandKey), keys("Ctrl+E"));
    EXPECT_EQ(key_sequence(QStringLiteral("e"), kCommandKey | kShiftKey), keys("Ctrl+Shift+E"));
    EXPECT_EQ(key_sequence(QStringLiteral("E"), kCommandKey), keys("Ctrl+Shift+E"));
    EXPECT_EQ(key_sequence(QStringLiteral("1"), kCommandKey | kOptionKey), keys("Ctrl+Alt+1"));
    EXPECT_EQ(key_sequence(QStringLiteral("k"), kControlKey), keys("Meta+K"));
    EXPECT_EQ(key_sequence(QStringLiteral("5"), kNumericPadKey),
              QKeySequence(QKeyCombination(Qt::KeypadModifier, Qt::Key_5)));
    EXPECT_EQ(key_sequence(QStringLiteral("="), kCommandKey), keys("Ctrl+="));
    EXPECT_EQ(key_sequence(QStringLiteral("F5"), 0), keys("F5"));

    // What cannot be a shortcut gives none rather than a wrong one.
    EXPECT_TRUE(key_sequence(QString(), kCommandKey).isEmpty());
    EXPECT_TRUE(key_sequence(QStringLiteral("5"), kFunctionKey | kCommandKey).isEmpty());
    EXPECT_TRUE(key_sequence(QStringLiteral("5"), kCapsLockKey).isEmpty());
    EXPECT_TRUE(key_sequence(QStringLiteral("ab"), kCommandKey).isEmpty());
    EXPECT_TRUE(key_sequence(QStringLiteral("Ctrl+A"), 0).isEmpty());
    EXPECT_TRUE(key_sequence(QStringLiteral("\r"), kCommandKey).isEmpty());
}
