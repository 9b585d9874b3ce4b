#pragma once

// Where the files named by an event script lie. A recording is made to be shared, so a
// replay treats it as coming from someone else: it reads anywhere, but writes (save, export,
// print-pdf) only inside one folder, the script's own or the one the person replaying chose.
// Relative names are taken from those folders, not from wherever the replay was started.

#include "event_script.h"
#include "result.h"

#include <QString>

struct ScriptFolders {
    QString script;         // relative names that are read are taken from here
    QString output;         // relative names that are written are taken from here
    bool anyPath = false;   // the person replaying trusts the script: writes may go anywhere
};

// True for the lines that write a file.
bool writes_file(ScriptEvent::Kind kind);
// True for the lines that name a file at all.
bool names_file(ScriptEvent::Kind kind);

// The script with every file name made absolute; or, before anything has run, the first
// line that would write outside the output folder (an absolute name, a name that climbs out
// with "..", or one that leads out through a symbolic link), as "line N: ...".
Result<EventScript> place_script_files(EventScript script, const ScriptFolders& folders);

// The name a recording in `folder` gives a file: relative when the file lies inside the
// folder, so that the recording replays wherever it is copied; absolute otherwise.
QString recorded_file_name(const QString& path, const QString& folder);

// The folder of the person's own pen scripts (Pens/) and shared script code (Lib/): the
// program's data folder, beside the recovery copies.
QString default_user_scripts_folder();
