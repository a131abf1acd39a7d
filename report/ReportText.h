#pragma once

#include "history/FreeHours.h"

#include <QDateTime>
#include <QString>

namespace flowtally {

// How the report writes for people: byte counts as Flowtally's window shows
// them and dates in local time (the text and one-line formats), names made
// safe for a terminal (those and CSV).

// The characters a report for people may use: any, where the locale's
// character set is UTF-8, else ASCII alone.
enum class Characters { Unicode, Ascii };

// The marks the text and one-line formats use, in those characters.
struct ReportMarks {
    QString received, sent; // "↓", "↑"
    QString separator;      // " · "
    QString none;           // "—", a figure there is none of
    static ReportMarks of(Characters characters);
};

// Bytes scaled to B, K, M, G or T (powers of 1024) with exactly
// `fractionDigits` digits, as the window shows them ("1.50G").
QString byteText(double bytes, unsigned fractionDigits);

// A limit as a person enters it: up to two digits, without trailing zeros
// ("250G", "1.5T").
QString limitText(double bytes);

// A moment as "2024-03-14 00:00" in its own zone.
QString minuteText(const QDateTime &moment);

// A day of the month with its English ordinal ending: "1st", "12th", "22nd".
QString ordinalDay(int day);

// A text from outside Flowtally (a router's name, a key of the settings
// file) with every character that is not printable, control and format
// characters among them, shown as U+FFFD, so that it can neither move the
// terminal's cursor nor change its colours; in ASCII, every other character
// too is shown as "?".
QString printable(const QString &text, Characters characters = Characters::Unicode);

// A day as "14 Mar".
QString shortDateText(const QDate &date);

// A network's free hours: "02:00 to 08:00 and 12:00 to 13:00".
QString freeWindowsText(const FreeWindows &windows);

// The source a network's counters were last read from, by the name the
// settings file keeps ("local", "local-internet", "router", "upnp"), in the
// words of the window's router box: "This computer", "This computer's
// Internet traffic", "SNMP", "UPnP"; "not known" for a record that names
// none (one written before Flowtally kept it) or one it does not know.
QString sourceText(const QString &storedSource);

} // namespace flowtally
