#pragma once

// Where pen scripts come from: the built-in Pens/ and Lib/ in the resources, and the
// person's own Pens/ and Lib/ in the program's data folder. The person's scripts run after
// the built-in ones, so that a type of theirs with a built-in's name replaces it, and
// `require` looks in their folder before the built-in one of the same kind.
//
// A broken script of the person's own is shown once, not again by every window's pen and
// by the menu: the copies of one PenFolders share the record of what was shown, and a new
// PenFolders (a reload) starts a fresh one.

#include "resources.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <set>

class Lua;
class ScriptAlerts;

struct PenFolders {
    // A resources folder alone converts, for the callers that know no data folder.
    PenFolders(QString resourceRoot = resource_path(), QString userRoot = {});

    QString resources;
    // Holds the person's Pens/ and Lib/; empty for none.
    QString user;
    // The person's scripts whose failure was shown already.
    std::shared_ptr<std::set<QString>> shown_failures;
};

// Every pen script to run, in order: the built-in Pens/*.lua, then the person's, each in
// file-name order.
QStringList pen_script_files(const PenFolders& folders);

// Runs one of those scripts. A built-in script that fails still gives its state, as it
// always did; one of the person's is skipped (null), its failure shown the first time only.
std::unique_ptr<Lua> run_pen_script(const QString& file, ScriptAlerts& alerts, const PenFolders& folders);
