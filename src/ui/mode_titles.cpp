#include "mode_titles.h"

#include "color.h"

#include <QCoreApplication>

#include <array>

namespace {

// In the order of the mode numbers.
constexpr std::array<const char*, kTransferModeCount> kTitles = {
    QT_TRANSLATE_NOOP("Mode", "Normal"),   QT_TRANSLATE_NOOP("Mode", "Erase"),
    QT_TRANSLATE_NOOP("Mode", "Darker"),   QT_TRANSLATE_NOOP("Mode", "Lighter"),
    QT_TRANSLATE_NOOP("Mode", "Colorize"), QT_TRANSLATE_NOOP("Mode", "Shadow"),
    QT_TRANSLATE_NOOP("Mode", "Hilight"),  QT_TRANSLATE_NOOP("Mode", "Multiply")};

} // namespace

QString transfer_mode_title(int mode)
{
    if (mode < 0 || mode >= kTransferModeCount) mode = kModeNormal;
    return QCoreApplication::translate("Mode", kTitles[std::size_t(mode)]);
}
