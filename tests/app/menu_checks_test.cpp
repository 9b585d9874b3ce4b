// Which number item gets the check mark, and key equivalents as text and as Qt shortcuts.

#include "menu_checks.h"
#include "resources.h"
#include "tool_event.h"

#include <gtest/gtest.h>

#include <limits>

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr std::optional<qsizetype> none = std::nullopt;

// Separators and words never count as numbers. The opacity menu checks the closest percentage (the earlier on a tie), the size menu the exact
// number, else its first word ("Other…").
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
    const StringTable localizable = StringTable::named(resource_path(), QStringLiteral("Localizable"));
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
