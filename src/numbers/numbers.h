#pragma once

#include <QString>

// Money and quantity arithmetic: decimal text in, 80-bit long double computation, text out.
namespace Numbers {

using Value = long double;

// Reads a decimal text ("." as point, surrounding blanks allowed). Throws EConvertError
// ("'" + text + "' is not a valid floating point value") when the text is not a number.
Value parse(const QString& text);
// Like parse, but an empty text reads as 0.
Value parseOrZero(const QString& text);
bool isNumber(const QString& text);

// Reads a whole number. Throws EConvertError ("'" + text + "' is not a valid integer value").
qint64 parseInt(const QString& text);
bool isInteger(const QString& text);

// General format: 15 significant digits, no trailing zeros or point, "." as point (75, 70.2, 0.4).
QString general(Value v);
// Fixed-point with the given number of decimals (70.20 for 70.2 and 2).
QString fixed(Value v, int decimals);
// The value in general format, then rounded on those decimal digits to the given number of
// decimals, ties away from zero: 70.205 gives 70.21 and -0.5 gives -1 (no binary noise decides).
QString fixedHalfAway(Value v, int decimals);

// Arithmetic on texts, answered in general format.
QString add(const QString& a, const QString& b);
QString subtract(const QString& a, const QString& b);
QString multiply(const QString& a, const QString& b);
// Compares two decimal texts: -1, 0 or 1.
int compare(const QString& a, const QString& b);

} // namespace Numbers
