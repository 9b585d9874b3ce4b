#pragma once

// The one application object of the ui tests, made by the test program's main.

#include "pavo_application.h"

#include <QStandardPaths>

inline PavoApplication& ensure_application() { return *PavoApplication::instance(); }
