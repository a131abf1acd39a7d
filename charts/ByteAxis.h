#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace flowtally {

// A value axis of bytes (or bytes per second) from 0 up. Its unit is the one
// Flowtally's figures show the largest value in (WBBKMGTFormatter's scale,
// powers of 1024), never smaller than K; its ticks fall on round steps of
// that unit (1, 2 or 5 times a power of ten), at most five intervals; its
// top is the first tick at or above the largest value, and one unit when
// there is nothing to show.
class ByteAxis {
  public:
    // `perUnit` follows the unit letter in every label: "/s" for rates.
    explicit ByteAxis(double largest = 0, const QString &perUnit = QString());

    // Bytes per unit: 1024 for K, 1024^2 for M, …
    quint64 scale() const { return scale_; }
    // The top of the axis, in bytes.
    double top() const;
    // The values of the ticks in bytes, 0 first, the top last.
    QList<double> ticks() const;
    // A tick's label: the value in the axis' unit with as many fraction
    // digits as the step needs and the unit letter ("1.5G", "200K/s"); "0"
    // for zero.
    QString label(double bytes) const;
    // The labels of all ticks, 0 first.
    QStringList labels() const;
    // The share of the axis' height that a value reaches, 0 at the bottom.
    double fraction(double bytes) const;

  private:
    quint64 scale_ = 1;
    double step_ = 1; // in units
    int intervals_ = 1;
    int fractionDigits_ = 0;
    QString suffix_;
};

} // namespace flowtally
