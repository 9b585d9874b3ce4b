#pragma once

// Where the time of a run goes, for measuring the command line: with PAVO_TIMINGS=1 in the
// environment each mark writes "pavo: PHASE N ms" to standard error, N the milliseconds since
// the previous mark (for the first, since the program was loaded). Otherwise marks do nothing.

void mark_phase(const char* phase);
