#pragma once

// Where the program finds its resources (pen scripts, libraries, cursor images, string
// tables, the user's guide). In order: $PAVO_RESOURCES when set; else the data folder of an
// installed program, found from the running executable (<bin>/../share/pavo); else the
// source tree's folder the build was configured with, which is what tests and a program
// run from the build tree use.

#include <QString>

#include <optional>

QString resource_path();

// The data folder that an install whose executable lies in `executable_dir` would hold,
// or nothing when there is none there. A folder counts only when it holds the pen scripts,
// since a program without them cannot draw and a stray empty share/pavo must not hide the
// built-in fallback.
std::optional<QString> installed_resource_path(const QString& executable_dir);
