#include "phase_timings.h"

#include <QtGlobal>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

// Set while the program is loaded, before main runs.
Clock::time_point last_mark = Clock::now();

} // namespace

void mark_phase(const char* phase)
{
    static const bool on = qEnvironmentVariableIntValue("PAVO_TIMINGS") == 1;
    if (!on) return;
    const Clock::time_point now = Clock::now();
    std::fprintf(stderr, "pavo: %s %.1f ms\n", phase,
                 std::chrono::duration<double, std::milli>(now - last_mark).count());
    last_mark = now;
}
