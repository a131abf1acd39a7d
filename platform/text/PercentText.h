#pragma once

#include <QString>

namespace flowtally {

// A share (0.299 for 29.9%) as a percentage in the default locale's form,
// with `fractionDigits` digits after its decimal point and no group
// separators: "80%", "29.9%", "8193%" in English and the C locale, "29,9%"
// in German. Every percentage Flowtally shows is written by this one
// function, so that they all read alike.
QString percentText(double share, int fractionDigits);

} // namespace flowtally
