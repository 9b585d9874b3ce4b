#pragma once

// Internal assertions, for programming errors only: no user action, file or script may
// reach one. A failure names the file, the line and the condition, then stops the program.

#include <cstdio>
#include <cstdlib>

#define PAVO_ASSERT(cond)                                                                    \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: assertion failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                    \
        }                                                                                    \
    } while (false)
