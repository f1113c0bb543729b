#include "workbook/numberformat.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace NumberFormat {

namespace {

    struct Builtin {
        int id;
        const char* code;
    };

    const Builtin kBuiltins[] = {
        { 0, "General" },
        { 1, "0" },
        { 2, "0.00" },
        { 3, "#,##0" },
        { 4, "#,##0.00" },
        { 9, "0%" },
        { 10, "0.00%" },
        { 11, "0.00E+00" },
        { 12, "# ?/?" },
        { 13, "# ?\?/??" },
        { 14, "mm-dd-yy" },
        { 15, "d-mmm-yy" },
        { 16, "d-mmm" },
        { 17, "mmm-yy" },
        { 18, "h:mm AM/PM" },
        { 19, "h:mm:ss AM/PM" },
        { 20, "h:mm" },
        { 21, "h:mm:ss" },
        { 22, "m/d/yy h:mm" },
        { 37, "#,##0 ;(#,##0)" },
        { 38, "#,##0 ;[Red](#,##0)" },
        { 39, "#,##0.00;(#,##0.00)" },
        { 40, "#,##0.00;[Red](#,##0.00)" },
        { 45, "mm:ss" },
        { 46, "[h]:mm:ss" },
        { 47, "mmss.0" },
        { 48, "##0.0E+0" },
        { 49, "@" },
    };

    const QDate kEpoch(1899, 12, 30);

    // The first section of a code (the one for positive numbers and zero), without colours and
    // conditions in brackets other than elapsed time.
    QString firstSection(const QString& code, bool negative, bool& hasNegativeSection)
    {
        QStringList sections;
        QString cur;
        bool quoted = false;
        for (int i = 0; i < code.size(); ++i) {
            const QChar c = code.at(i);
            if (c == QLatin1Char('"'))
                quoted = !quoted;
            if (c == QLatin1Char('\\') && i + 1 < code.size()) {
                cur += c;
                cur += code.at(++i);
                continue;
            }
            if (c == QLatin1Char(';') && !quoted) {
                sections << cur;
                cur.clear();
                continue;
            }
            cur += c;
        }
        sections << cur;
        hasNegativeSection = negative && sections.size() > 1;
        return hasNegativeSection ? sections.at(1) : sections.at(0);
    }

    QString monthName(int m, bool full)
    {
        return QLocale::c().monthName(m, full ? QLocale::LongFormat : QLocale::ShortFormat);
    }

    QString formatDateTime(double value, const QString& code)
    {
        const QDateTime dt = fromSerial(value);
        const QDate d = dt.date();
        const QTime t = dt.time();
        const bool ampm = code.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive)
            || code.contains(QLatin1String("A/P"), Qt::CaseInsensitive);
        QString out;
        bool lastWasHour = false;
        for (int i = 0; i < code.size();) {
            const QChar c = code.at(i);
            const QChar lc = c.toLower();
            int n = 1;
            while (i + n < code.size() && code.at(i + n).toLower() == lc)
                ++n;
            if (c == QLatin1Char('"')) {
                const int end = code.indexOf(QLatin1Char('"'), i + 1);
                out += code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1);
                i = end < 0 ? code.size() : end + 1;
                continue;
            }
            if (c == QLatin1Char('\\') && i + 1 < code.size()) {
                out += code.at(i + 1);
                i += 2;
                continue;
            }
            if (c == QLatin1Char('[')) {
                const int end = code.indexOf(QLatin1Char(']'), i);
                const QString inner = code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1).toLower();
                if (inner == QLatin1String("h") || inner == QLatin1String("hh"))
                    out += QString::number(static_cast<qint64>(std::floor(value * 24)));
                i = end < 0 ? code.size() : end + 1;
                continue;
            }
            if (code.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
                out += t.hour() < 12 ? QLatin1String("AM") : QLatin1String("PM");
                i += 5;
                continue;
            }
            if (code.mid(i, 3).compare(QLatin1String("A/P"), Qt::CaseInsensitive) == 0) {
                out += t.hour() < 12 ? QLatin1Char('A') : QLatin1Char('P');
                i += 3;
                continue;
            }
            if (lc == QLatin1Char('y')) {
                out += n <= 2 ? QStringLiteral("%1").arg(d.year() % 100, 2, 10, QLatin1Char('0'))
                              : QString::number(d.year());
                lastWasHour = false;
            } else if (lc == QLatin1Char('d')) {
                if (n == 1)
                    out += QString::number(d.day());
                else if (n == 2)
                    out += QStringLiteral("%1").arg(d.day(), 2, 10, QLatin1Char('0'));
                else
                    out += QLocale::c().dayName(d.dayOfWeek(), n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
                lastWasHour = false;
            } else if (lc == QLatin1Char('m')) {
                // "m" right after an hour or right before seconds is minutes
                QString rest = code.mid(i + n).trimmed();
                while (!rest.isEmpty() && !rest.at(0).isLetter())
                    rest.remove(0, 1);
                const bool minutes = n <= 2 && (lastWasHour || rest.startsWith(QLatin1Char('s'), Qt::CaseInsensitive));
                if (minutes)
                    out += n == 1 ? QString::number(t.minute())
                                  : QStringLiteral("%1").arg(t.minute(), 2, 10, QLatin1Char('0'));
                else if (n == 1)
                    out += QString::number(d.month());
                else if (n == 2)
                    out += QStringLiteral("%1").arg(d.month(), 2, 10, QLatin1Char('0'));
                else if (n == 3)
                    out += monthName(d.month(), false);
                else if (n == 5)
                    out += monthName(d.month(), true).left(1);
                else
                    out += monthName(d.month(), true);
                lastWasHour = false;
            } else if (lc == QLatin1Char('h')) {
                int h = t.hour();
                if (ampm) {
                    h %= 12;
                    if (h == 0)
                        h = 12;
                }
                out += n == 1 ? QString::number(h) : QStringLiteral("%1").arg(h, 2, 10, QLatin1Char('0'));
                lastWasHour = true;
            } else if (lc == QLatin1Char('s')) {
                out += n == 1 ? QString::number(t.second())
                              : QStringLiteral("%1").arg(t.second(), 2, 10, QLatin1Char('0'));
                lastWasHour = false;
            } else {
                out += code.mid(i, n);
            }
            i += n;
        }
        return out;
    }

    QString formatDecimal(double value, const QString& section)
    {
        // literal text before and after the digit placeholders
        QString prefix, suffix, digits;
        bool inDigits = false, done = false;
        for (int i = 0; i < section.size(); ++i) {
            const QChar c = section.at(i);
            if (c == QLatin1Char('"')) {
                const int end = section.indexOf(QLatin1Char('"'), i + 1);
                const QString lit = section.mid(i + 1, (end < 0 ? section.size() : end) - i - 1);
                (inDigits || done ? suffix : prefix) += lit;
                if (inDigits)
                    done = true, inDigits = false;
                i = end < 0 ? section.size() : end;
                continue;
            }
            if (c == QLatin1Char('\\') && i + 1 < section.size()) {
                (inDigits || done ? suffix : prefix) += section.at(++i);
                if (inDigits)
                    done = true, inDigits = false;
                continue;
            }
            if (c == QLatin1Char('[')) {
                i = section.indexOf(QLatin1Char(']'), i);
                if (i < 0)
                    break;
                continue;
            }
            if (c == QLatin1Char('_') || c == QLatin1Char('*')) {
                ++i; // padding: skip the character it names
                continue;
            }
            const bool digitChar = c == QLatin1Char('0') || c == QLatin1Char('#') || c == QLatin1Char('?')
                || ((c == QLatin1Char('.') || c == QLatin1Char(','))
                    && (inDigits || (i + 1 < section.size() && QStringLiteral("0#?").contains(section.at(i + 1)))));
            if (digitChar && !done) {
                inDigits = true;
                digits += c;
            } else {
                if (inDigits)
                    done = true, inDigits = false;
                (done ? suffix : prefix) += c;
            }
        }
        double v = value;
        const bool percent = section.contains(QLatin1Char('%'));
        if (percent)
            v *= 100;
        // trailing commas scale by thousands
        while (digits.endsWith(QLatin1Char(','))) {
            digits.chop(1);
            v /= 1000;
        }
        const int point = digits.indexOf(QLatin1Char('.'));
        const QString intPart = point < 0 ? digits : digits.left(point);
        const QString fracPart = point < 0 ? QString() : digits.mid(point + 1);
        const int decimals
            = fracPart.count(QLatin1Char('0')) + fracPart.count(QLatin1Char('#')) + fracPart.count(QLatin1Char('?'));
        const int minDecimals = fracPart.count(QLatin1Char('0'));
        const bool grouping = intPart.contains(QLatin1Char(','));
        const int minIntDigits = intPart.count(QLatin1Char('0'));

        QString num = QString::number(std::fabs(v), 'f', decimals);
        QString ip = num, fp;
        if (const int p = num.indexOf(QLatin1Char('.')); p >= 0) {
            ip = num.left(p);
            fp = num.mid(p + 1);
        }
        while (fp.size() > minDecimals && fp.endsWith(QLatin1Char('0')))
            fp.chop(1);
        if (ip == QLatin1String("0") && minIntDigits == 0)
            ip.clear();
        while (ip.size() < minIntDigits)
            ip.prepend(QLatin1Char('0'));
        if (grouping) {
            for (int i = ip.size() - 3; i > 0; i -= 3)
                ip.insert(i, QLatin1Char(','));
        }
        QString out = ip;
        if (!fp.isEmpty() || (point >= 0 && minDecimals > 0))
            out += QLatin1Char('.') + fp;
        else if (point >= 0 && decimals > 0 && fp.isEmpty())
            out += QLatin1Char('.');
        if (out.isEmpty())
            out = QStringLiteral("0");
        return prefix + out + suffix;
    }

} // namespace

QString builtinCode(int id)
{
    for (const auto& b : kBuiltins)
        if (b.id == id)
            return QString::fromLatin1(b.code);
    return QString();
}

int builtinId(const QString& code)
{
    for (const auto& b : kBuiltins)
        if (code.compare(QLatin1String(b.code), Qt::CaseInsensitive) == 0)
            return b.id;
    return -1;
}

bool isDateTime(const QString& code)
{
    bool quoted = false;
    for (int i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == QLatin1Char('\\')) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const int end = code.indexOf(QLatin1Char(']'), i);
            const QString inner = code.mid(i + 1, end - i - 1).toLower();
            if (inner == QLatin1String("h") || inner == QLatin1String("hh") || inner == QLatin1String("mm")
                || inner == QLatin1String("ss"))
                return true;
            if (end < 0)
                return false;
            i = end;
            continue;
        }
        const QChar lc = c.toLower();
        if (lc == QLatin1Char('d') || lc == QLatin1Char('m') || lc == QLatin1Char('y') || lc == QLatin1Char('h')
            || lc == QLatin1Char('s'))
            return true;
    }
    return false;
}

QString general(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    if (std::fabs(value) < 1e11 && value == std::floor(value))
        return QString::number(static_cast<qint64>(value));
    const double a = std::fabs(value);
    if (a >= 1e11 || a < 1e-9)
        return QString::number(value, 'E', 5)
            .replace(QRegularExpression(QStringLiteral("\\.?0+E")), QStringLiteral("E"));
    // ten digits in all, of which the integer part takes its share
    const int intDigits = a >= 1 ? static_cast<int>(std::floor(std::log10(a))) + 1 : 0;
    QString s = QString::number(value, 'f', std::max(0, 10 - intDigits));
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    return s;
}

QString format(double value, const QString& code)
{
    if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0
        || code == QLatin1String("@"))
        return general(value);
    bool negativeSection = false;
    const QString section = firstSection(code, value < 0, negativeSection);
    if (isDateTime(section))
        return formatDateTime(value, section);
    if (section.contains(QLatin1Char('E')) || section.contains(QLatin1Char('/'))
        || section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return general(value);
    const QString body = formatDecimal(negativeSection ? -value : value, section);
    return value < 0 && !negativeSection ? QLatin1Char('-') + body : body;
}

double dateSerial(const QDate& date)
{
    return static_cast<double>(kEpoch.daysTo(date));
}

QDateTime fromSerial(double serial)
{
    const double days = std::floor(serial);
    const qint64 ms = static_cast<qint64>(std::llround((serial - days) * 86400000.0));
    return QDateTime(kEpoch.addDays(static_cast<qint64>(days)), QTime(0, 0)).addMSecs(ms);
}

} // namespace NumberFormat
