#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

// The process-wide date, time and number formats. Screens switch the short date format before
// they format or parse dates, so every reader takes whatever was set last.
//
// Format strings use the program's own letters, case-insensitive: yyyy/yy year, mm/m month
// (minutes right after hh/h), dd/d day, hh/h hour, nn/n minutes, ss/s seconds, zzz milliseconds;
// "/" stands for the date separator and ":" for the time separator; text in quotes is literal.
struct FormatSettings {
    QChar dateSeparator = QLatin1Char('/');
    QChar timeSeparator = QLatin1Char(':');
    QChar decimalSeparator = QLatin1Char('.');
    QChar thousandSeparator = QLatin1Char(',');
    QString shortDateFormat = QStringLiteral("yyyy/mm/dd");
    QString longTimeFormat = QStringLiteral("hh:nn:ss");
};

FormatSettings& formatSettings();

QString formatDateTime(const QString& format, const QDateTime& when);
QString formatDate(const QString& format, const QDate& day);

// Short date format, a blank and the long time format; the time is left out at exactly midnight.
QString dateTimeToStr(const QDateTime& when);
QString dateToStr(const QDate& day);
QString timeToStr(const QTime& time);

// Reads a date written in the short date format (any of "/", "-", "." as separators).
// Returns an invalid date when the text does not read as one.
QDate strToDate(const QString& text);
