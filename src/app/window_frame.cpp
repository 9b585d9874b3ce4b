#include "window_frame.h"

#include <QStringList>

namespace {
constexpr int kLargestSide = 100000;
}

std::optional<WindowFrame> parse_window_frame(const QString& text)
{
    const QStringList fields = text.split(u' ', Qt::SkipEmptyParts);
    if (fields.size() < 4) return std::nullopt;
    int values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        // A frame written with fractions still names a usable size.
        const double v = fields[i].toDouble(&ok);
        if (!ok || !(v > -1e6 && v < 1e6)) return std::nullopt;
        values[i] = int(v);
    }
    const WindowFrame frame{values[0], values[1], values[2], values[3]};
    if (frame.width <= 0 || frame.height <= 0 || frame.width > kLargestSide || frame.height > kLargestSide)
        return std::nullopt;
    return frame;
}

QString format_window_frame(const WindowFrame& frame)
{
    return QStringLiteral("%1 %2 %3 %4").arg(frame.x).arg(frame.y).arg(frame.width).arg(frame.height);
}
