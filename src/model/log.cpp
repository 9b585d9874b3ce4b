#include "strokes.h"

#include <cstdio>

namespace {
std::function<void(const QString&)>& sink()
{
    static std::function<void(const QString&)> current;
    return current;
}
} // namespace

void log_line(const QString& line)
{
    if (sink()) sink()(line);
    else std::fprintf(stderr, "%s\n", qPrintable(line));
}

void set_log_sink(std::function<void(const QString&)> s) { sink() = std::move(s); }
