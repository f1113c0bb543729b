#include "config/formatsettings.h"

#include <QRegularExpression>
#include <QStringList>

FormatSettings& formatSettings()
{
    static FormatSettings settings;
    return settings;
}

namespace {

int runLength(const QString& f, int i)
{
    const QChar c = f.at(i).toLower();
    int n = 1;
    while (i + n < f.size() && f.at(i + n).toLower() == c)
        ++n;
    return n;
}

QString pad(int v, int width)
{
    return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0'));
}

} // namespace

QString formatDateTime(const QString& format, const QDateTime& when)
{
    const FormatSettings& fs = formatSettings();
    const QDate d = when.date();
    const QTime t = when.time();
    QString out;
    bool afterHour = false;
    for (int i = 0; i < format.size();) {
        const QChar c = format.at(i);
        const QChar lc = c.toLower();
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const int end = format.indexOf(c, i + 1);
            const int stop = end < 0 ? format.size() : end;
            out += format.mid(i + 1, stop - i - 1);
            i = stop + 1;
            continue;
        }
        const int n = runLength(format, i);
        if (lc == QLatin1Char('y')) {
            out += n <= 2 ? pad(d.year() % 100, 2) : pad(d.year(), 4);
            afterHour = false;
        } else if (lc == QLatin1Char('m')) {
            if (afterHour)
                out += n >= 2 ? pad(t.minute(), 2) : QString::number(t.minute());
            else
                out += n >= 2 ? pad(d.month(), 2) : QString::number(d.month());
            afterHour = false;
        } else if (lc == QLatin1Char('d')) {
            out += n >= 2 ? pad(d.day(), 2) : QString::number(d.day());
            afterHour = false;
        } else if (lc == QLatin1Char('h')) {
            out += n >= 2 ? pad(t.hour(), 2) : QString::number(t.hour());
            afterHour = true;
        } else if (lc == QLatin1Char('n')) {
            out += n >= 2 ? pad(t.minute(), 2) : QString::number(t.minute());
            afterHour = false;
        } else if (lc == QLatin1Char('s')) {
            out += n >= 2 ? pad(t.second(), 2) : QString::number(t.second());
            afterHour = false;
        } else if (lc == QLatin1Char('z')) {
            out += n >= 3 ? pad(t.msec(), 3) : QString::number(t.msec());
            afterHour = false;
        } else if (c == QLatin1Char('/')) {
            out += QString(n, fs.dateSeparator);
        } else if (c == QLatin1Char(':')) {
            out += QString(n, fs.timeSeparator);
        } else {
            out += QString(n, c);
        }
        i += n;
    }
    return out;
}

QString formatDate(const QString& format, const QDate& day)
{
    return formatDateTime(format, QDateTime(day, QTime(0, 0)));
}

QString dateTimeToStr(const QDateTime& when)
{
    const FormatSettings& fs = formatSettings();
    QString text = formatDateTime(fs.shortDateFormat, when);
    if (when.time() != QTime(0, 0))
        text += QLatin1Char(' ') + formatDateTime(fs.longTimeFormat, when);
    return text;
}

QString dateToStr(const QDate& day)
{
    return formatDate(formatSettings().shortDateFormat, day);
}

QString timeToStr(const QTime& time)
{
    return formatDateTime(formatSettings().longTimeFormat, QDateTime(QDate(2000, 1, 1), time));
}

QDate strToDate(const QString& text)
{
    // The order of year, month and day follows the short date format's letters.
    QString order;
    for (const QChar c : formatSettings().shortDateFormat.toLower()) {
        if ((c == QLatin1Char('y') || c == QLatin1Char('m') || c == QLatin1Char('d')) && !order.contains(c))
            order += c;
    }
    static const QRegularExpression sep(QStringLiteral("[/\\-.]"));
    const QStringList parts = text.trimmed().split(sep);
    if (parts.size() != 3 || order.size() != 3)
        return QDate();
    int y = 0, m = 0, d = 0;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int v = parts.at(i).toInt(&ok);
        if (!ok)
            return QDate();
        if (order.at(i) == QLatin1Char('y'))
            y = parts.at(i).size() <= 2 ? 2000 + v : v;
        else if (order.at(i) == QLatin1Char('m'))
            m = v;
        else
            d = v;
    }
    return QDate(y, m, d);
}
