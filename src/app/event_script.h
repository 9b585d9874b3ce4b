#pragma once

// Event scripts: recorded input as text, one event per line, for replaying a session
// through the real view and document (automation, bug reports, end-to-end tests) and for
// recording the user's input in the same form. This file reads and writes the lines only;
// the runner that executes them knows the action names and setting keys and checks those.
// Reading, writing and recording (event_recorder.h) live in files of their own.
//
// A whole script is checked before anything runs, so a malformed line stops the replay
// before any event has happened. The lines are:
//
//   size W H                       view size (only before the first event; at most once)
//   down X Y [PRESSURE] [MODS] [BUTTON]  MODS may come without PRESSURE; BUTTON is left
//                                  (the default) or middle, and its move and up follow it
//   move X Y [PRESSURE] [MODS]
//   up X Y [MODS]
//   flags MODS
//   key NAME [MODS]                a key pressed and released (see is_script_key_name)
//   keydown NAME / keyup NAME      a key held down and let go: space holds the hand
//   wheel X Y DX DY [MODS]         a scroll at X Y, in notches (Qt's angle delta / 120),
//                                  fractions allowed; positive DY away from the user
//   pinch X Y FACTOR               a touchpad pinch zooming by FACTOR about X Y
//   proximity enter|leave tip|eraser [POINTER_ID]
//   action NAME [TITLE]
//   set KEY VALUE
//   open FILE | save FILE | place FILE | print-pdf FILE
//   export FILE [W H]              a trailing pair of whole numbers is W H
//
// Fields are separated by spaces and tabs. MODS is a comma-separated subset of
// shift,control,option,command,capslock, or "-" for none.
//
// Comments: a line whose first non-blank character is '#' is a comment. On the lines made of
// fixed fields (size, down, move, up, flags, key, keydown, keyup, wheel, pinch, proximity) a
// '#' that begins a field starts a comment running to the end of the line. On the lines that end in free text (the TITLE of
// action, the VALUE of set, every FILE) '#' is an ordinary character after the keyword,
// because file names and titles may contain it: "open notes #2.pavo" opens that file.
// Free text is the rest of the line with the blanks at both ends taken off.
//
// Lines are split at line feeds; a carriage return before one is dropped, and so is a
// byte-order mark at the start. Lines longer than kMaxScriptLineLength characters and
// scripts larger than kMaxScriptBytes are refused.

#include "geometry.h"
#include "result.h"
#include "tool_event.h"

#include <QString>

#include <optional>
#include <vector>

// The modifier bits a script can name; the other flags (numeric pad, function) have no
// script form and are left out when an event is written.
constexpr unsigned kScriptModifierMask = kShiftKey | kControlKey | kOptionKey | kCommandKey | kCapsLockKey;

constexpr qsizetype kMaxScriptLineLength = 64 * 1024;
// A recorded session of many hours stays well below this; a parsed line costs about 8 times
// its text in memory, so the cap also bounds the memory a hostile script can take.
constexpr qint64 kMaxScriptBytes = 16 * 1024 * 1024;
// Coordinates beyond this are refused: no view is that large, and such numbers are typos.
constexpr float kMaxScriptCoordinate = 1e7f;
// The largest view or export side, in pixels.
constexpr int kMaxScriptSide = 100000;
// A wheel turn beyond this many notches in one event is a typo, and so is a pinch beyond
// this factor either way.
constexpr float kMaxScriptNotches = 1000;
constexpr float kMaxScriptPinch = 100;

// The keys a script can name: delete, backspace, space, tab, escape, left, right, up, down,
// bracketleft, bracketright, f11, or one lower-case letter or digit.
bool is_script_key_name(QStringView name);

// One line of a script. Only the fields of its kind are set; the others keep their
// defaults, so that two events of a kind compare equal when their lines mean the same.
struct ScriptEvent {
    enum class Kind {
        Size, Down, Move, Up, Flags, Key, KeyDown, KeyUp, Wheel, Pinch,
        Proximity, Action, Set, Open, Save, Place, Export, PrintPdf
    };
    Kind kind = Kind::Flags;
    int line = 0;            // 1-based line number in the script
    Point point;             // down, move, up, wheel, pinch
    float pressure = 1;      // down, move: 0..1, default 1; up presses with 0
    unsigned modifiers = 0;  // down, move, up, flags, key, wheel: ModifierFlag bits
    bool middle = false;     // down: the middle button rather than the left
    Point notches;           // wheel DX DY
    float factor = 1;        // pinch
    int width = 0;           // size W H; export FILE W H
    int height = 0;
    bool hasSize = false;    // size always; export when W H were given
    QString name;            // key, keydown, keyup: the key; proximity: enter|leave; action: NAME; set: KEY
    QString text;            // action TITLE (may be empty), set VALUE, FILE
    bool eraser = false;     // proximity: the eraser end rather than the tip
    quint16 pointerId = 0;   // proximity

    bool operator==(const ScriptEvent&) const = default;
};

// The events in the order of their lines. A size line is both viewSize and the first event,
// so that a script reads back to the lines it was made of; a runner may take viewSize and
// pass over that event.
struct EventScript {
    std::vector<ScriptEvent> events;
    Size viewSize{800, 600};
};

// Checks every line before returning: the whole script, or the first malformed line as
// "line N: message".
Result<EventScript> parse_event_script(const QString& text);
// Reads the file as UTF-8 (invalid bytes become replacement characters) and parses it. A
// file that cannot be read or is too large fails with a message naming no line.
Result<EventScript> read_event_script(const QString& path);

// The modifier names in the fixed order shift,control,option,command,capslock, or "-" when
// none of the script modifiers is set.
QString format_modifiers(unsigned flags);

// Why an event has no line that would read back as the same event (a line break or
// surrounding blanks in a file name, a value out of range, an export file name that ends in
// two whole numbers but has no W H), or nothing when it has one.
std::optional<QString> unformattable_reason(const ScriptEvent& e);

// One line without the line break, which parse_event_script reads back as the same event
// (line number aside; modifier bits without a script name are dropped). An event without
// such a line (see unformattable_reason) comes out as a comment saying so, which reads back
// as nothing: a line break in a file name can never smuggle a second command into a script.
QString format_event(const ScriptEvent& e);
