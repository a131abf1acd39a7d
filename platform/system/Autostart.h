#pragma once

#include "platform/system/Status.h"

#include <QString>

namespace flowtally {

// Starting Flowtally at login, through the desktop's autostart folder (the
// XDG Autostart rules): the entry ${XDG_CONFIG_HOME:-~/.config}/autostart/
// flowtally.desktop. Flowtally's entry starts the installed program, found
// on PATH at login, with FLOWTALLY_AUTOSTART=1 in its environment: the
// mark by which that run knows to open in the background.
//
// Flowtally changes only an entry it wrote, known by its key
// X-Flowtally-Autostart=true. An entry of the same name that a person or
// the desktop's own settings wrote (a copy of flowtally.desktop, say) may
// hold choices of theirs: it is never overwritten or removed, and a change
// it stands in the way of fails, naming the file.
//
// Every call asks Environment::current() for the folder and reads the file
// afresh.

// The entry's path.
QString autostartEntryPath();

// Whether Flowtally starts at login: an entry is there, Flowtally's or
// another, that the user can read and that does not tell the desktop to
// skip it (Hidden=true, or GNOME's X-GNOME-Autostart-enabled=false).
bool startsAtLogin();

// Turns the start at login on or off. On: Flowtally's entry is written,
// in place of an earlier one of its own (the autostart folder is made if
// missing; the file is replaced whole or not at all). Off: Flowtally's entry
// is removed. Success without a change when another's entry already does
// what was asked; an error, the file left as it is, when it does not.
Status setStartsAtLogin(bool on);

// Whether this process was started by Flowtally's entry: its environment
// holds FLOWTALLY_AUTOSTART=1.
bool startedAtLogin();

} // namespace flowtally
