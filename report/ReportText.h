#pragma once

#include <QDateTime>
#include <QString>

namespace flowtally {

// How the report writes for people: byte counts as Flowtally's window shows
// them and dates in local time (the text and one-line formats), names made
// safe for a terminal (those and CSV).

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
// terminal's cursor nor change its colours.
QString printable(const QString &text);

} // namespace flowtally
