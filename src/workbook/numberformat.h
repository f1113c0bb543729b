#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// Number formats of spreadsheet cells: the codes of the built-in formats, and a number shown
// through a format code the way spreadsheet programs show it (dates, times, fixed decimals,
// thousands separators, percent). Exotic parts of a code (fractions, colours, conditions) fall
// back to the general format.
namespace NumberFormat {

// The code of a built-in format id, or an empty text when the id is not built in.
QString builtinCode(int id);
// The built-in id of a code, or -1.
int builtinId(const QString& code);
// True when the code shows a date or a time.
bool isDateTime(const QString& code);
QString format(double value, const QString& code);
// The general format: up to 11 significant digits, no trailing zeros.
QString general(double value);

// Date serial numbers as spreadsheets count them: days since 30 December 1899 (right for every
// date after February 1900).
double dateSerial(const QDate& date);
QDateTime fromSerial(double serial);

} // namespace NumberFormat
