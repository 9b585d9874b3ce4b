#pragma once

// Where the program finds its resources (pen scripts, libraries, cursor images, string
// tables): $PAVO_RESOURCES when set, else the folder the build was configured with.

#include <QString>

QString resource_path();
