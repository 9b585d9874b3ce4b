#pragma once

// The program's worker threads, one per core beyond the caller's: a render divides its
// picture into parts and every core takes parts until none is left. Jobs are plain
// functions of a part's number; whoever calls run() works too, so a pool of one core is
// simply the caller.

#include <functional>

// Runs job(0) .. job(count - 1), each once, on at most `threads` threads (0: every core),
// and returns when all have run. The parts must not depend on one another's order. While
// another call is running on the workers (an export on its own thread while the view
// renders) this one runs its parts on the calling thread alone: the same parts, the same
// result, only slower.
void run_parts(int count, const std::function<void(int)>& job, int threads = 0);

// The number of threads run_parts uses for threads == 0.
int core_count();
