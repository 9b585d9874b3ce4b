#pragma once

// The one application object of the ui tests, made by the test program's main: the
// program's own, offscreen, with its settings kept away from the user's.

#include "pavo_application.h"

#include <QStandardPaths>

inline PavoApplication& ensure_application() { return *PavoApplication::instance(); }
