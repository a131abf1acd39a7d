#pragma once

#include "platform/text/Formatter.h"

#include <QList>
#include <QString>

#include <memory>

class QLabel;
class QLineEdit;

namespace flowtally {

class FormattedField;

// How the windows show their figures and values.

// Fraction digits of the figures: byte counts to a hundredth of their unit
// (10.80G), rates to a tenth of a K per second.
inline constexpr unsigned kByteFractions = 2;
inline constexpr unsigned kRateFractions = 1;
inline constexpr unsigned kLimitFractions = 2;

inline const QString kRateUnit = QStringLiteral(" K/s");
// The widest texts that the fields are sized for. All figures of the first
// column take the width of the widest, so that their right edges line up.
inline const QString kWidestFigure = QStringLiteral("88888.8") + kRateUnit;
inline const QString kWidestBytes = QStringLiteral("8888.88M");
inline const QString kWidestAddress = QStringLiteral("888.888.888.888");

// Byte counts with a unit letter (WBBKMGTFormatter), to a hundredth.
std::unique_ptr<Formatter> byteFormatter();
std::unique_ptr<Formatter> numberFormatter(unsigned fractionDigits);

// Makes a field as wide as the text needs, whatever the font.
void fitWidth(QLineEdit *field, const QString &widest);

// A read-only value: no frame, no background of its own, no stop on the
// keyboard's way through the window (a click still selects it for copying).
void showAsValue(QLineEdit *field);

// A figure: a read-only value, right-aligned in a column as wide as the
// widest text, shown through the formatter with its unit; values that are
// not finite show as a dash or ∞.
void showAsFigure(FormattedField *field, std::unique_ptr<Formatter> numbers,
                  const QString &widest = kWidestFigure, const QString &unit = QString());

// The labels of the window's first column take the width of the widest, so
// that the values of all its groups start at one line.
void alignLabelColumn(const QList<QLabel *> &labels);

// Puts a label whose text changes at every tick (the status line) in a
// holder of its size and place that has no layout: a label's new text asks
// its parent's layout to lay everything out anew (its size hint may have
// changed), which a holder without a layout does not do. The label's size
// never depends on its text here. It fills its background with the window's,
// which lies under it: the window is not painted again under each new text.
void holdWithoutLayout(QLabel *label);

} // namespace flowtally
