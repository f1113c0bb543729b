#include "numbers/numbers.h"

#include "platform/errors.h"

#include <QRegularExpression>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace Numbers {

namespace {

    const QRegularExpression& decimalPattern()
    {
        static const QRegularExpression re(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
        return re;
    }

    const QRegularExpression& integerPattern()
    {
        static const QRegularExpression re(QStringLiteral(R"(^[+-]?\d+$)"));
        return re;
    }

    // Places beyond these are not tracked: the value reads with 15 significant digits.
    constexpr int kMaxPlaces = 30;

    // Decimal places of a number text: "12.345" has 3, "1.5e-3" 4, "1.5e3" none.
    int placesOf(const QString& t)
    {
        const qsizetype e = t.indexOf(QLatin1Char('e'), 0, Qt::CaseInsensitive);
        const QString mantissa = e < 0 ? t : t.left(e);
        const int exponent = e < 0 ? 0 : t.mid(e + 1).toInt();
        const qsizetype point = mantissa.indexOf(QLatin1Char('.'));
        // zeros at the end say nothing: "12.50000" has the places of 12.5
        qsizetype end = mantissa.size();
        while (point >= 0 && end > point + 1 && mantissa.at(end - 1) == QLatin1Char('0'))
            --end;
        const int places = (point < 0 ? 0 : int(end - point - 1)) - exponent;
        if (places > kMaxPlaces)
            return -1;
        return places < 0 ? 0 : places;
    }

    bool tracked(int places)
    {
        return places >= 0 && places <= kMaxPlaces;
    }

    long double powerOfTen(int n)
    {
        long double p = 1;
        for (int i = 0; i < n; ++i)
            p *= 10;
        return p;
    }

    // 10^k when v is exactly that whole power of ten (1, 10, 100, ...), else -1.
    int tenExponent(const Value& v)
    {
        if (v.places() != 0)
            return -1;
        long double p = 1;
        for (int k = 0; k <= 18; ++k, p *= 10) {
            if (v.raw() == p)
                return k;
        }
        return -1;
    }

} // namespace

Value::Value(long double v)
    : m_v(v)
    , m_places(-1)
{
    if (!std::isfinite(v))
        return;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15Lg", v);
    m_places = placesOf(QString::fromLatin1(buf));
}

long double Value::rounded() const
{
    if (!tracked(m_places))
        return m_v;
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*Lf", m_places, m_v);
    return std::strtold(buf, nullptr);
}

Value operator+(const Value& a, const Value& b)
{
    const bool known = tracked(a.m_places) && tracked(b.m_places);
    return Value(a.m_v + b.m_v, known ? std::max(a.m_places, b.m_places) : -1);
}

Value operator-(const Value& a, const Value& b)
{
    return a + (-b);
}

Value operator*(const Value& a, const Value& b)
{
    const bool known = tracked(a.m_places) && tracked(b.m_places) && tracked(a.m_places + b.m_places);
    return Value(a.m_v * b.m_v, known ? a.m_places + b.m_places : -1);
}

Value operator/(const Value& a, const Value& b)
{
    const int k = tenExponent(b);
    const bool known = k >= 0 && tracked(a.m_places) && tracked(a.m_places + k);
    return Value(a.m_v / b.m_v, known ? a.m_places + k : -1);
}

int compare(const Value& a, const Value& b)
{
    const Value d = a - b;
    // an exact difference is 0 or at least one unit of its last place
    if (tracked(d.m_places) && std::fabs(d.m_v) < 0.5L / powerOfTen(d.m_places))
        return 0;
    return d.m_v < 0 ? -1 : (d.m_v > 0 ? 1 : 0);
}

bool isNumber(const QString& text)
{
    return decimalPattern().match(text.trimmed()).hasMatch();
}

Value parse(const QString& text)
{
    const QString t = text.trimmed();
    if (!decimalPattern().match(t).hasMatch())
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    const QByteArray bytes = t.toLatin1();
    return Value::withPlaces(std::strtold(bytes.constData(), nullptr), placesOf(t));
}

Value parseOrZero(const QString& text)
{
    return text.trimmed().isEmpty() ? 0.0L : parse(text);
}

bool isInteger(const QString& text)
{
    return integerPattern().match(text.trimmed()).hasMatch();
}

qint64 parseInt(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = integerPattern().match(t).hasMatch();
    const qint64 v = ok ? t.toLongLong(&ok) : 0;
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return v;
}

bool isPlainWhole(const QString& text)
{
    static const QRegularExpression re(QStringLiteral(R"(^[0-9]+$)"));
    return re.match(text).hasMatch();
}

bool isPlainDecimal(const QString& text)
{
    static const QRegularExpression re(QStringLiteral(R"(^([0-9]+\.?[0-9]*|\.[0-9]+)$)"));
    return re.match(text).hasMatch();
}

QString general(Value value)
{
    const long double v = value.rounded();
    if (v == 0.0L)
        return QStringLiteral("0"); // also turns -0 into 0
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15Lg", v);
    QString s = QString::fromLatin1(buf);
    const int e = s.indexOf(QLatin1Char('e'));
    if (e < 0)
        return s;
    // 1.5e+20 -> 1.5E20, 1e-07 -> 1E-7
    QString mantissa = s.left(e);
    int exponent = s.mid(e + 1).toInt();
    return mantissa + QLatin1Char('E') + QString::number(exponent);
}

QString fixed(Value v, int decimals)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*Lf", decimals < 0 ? 0 : decimals, v.rounded());
    QString s = QString::fromLatin1(buf);
    // no negative zero in stored texts
    static const QRegularExpression negativeZero(QStringLiteral(R"(^-0(\.0*)?$)"));
    if (negativeZero.match(s).hasMatch())
        s.remove(0, 1);
    return s;
}

QString fixedHalfAway(Value v, int decimals)
{
    if (decimals < 0)
        decimals = 0;
    QString s = general(v);
    const bool negative = s.startsWith(QLatin1Char('-'));
    if (negative)
        s.remove(0, 1);
    // Spell the general text out as plain digits with the point at pointPos.
    int exponent = 0;
    const int e = s.indexOf(QLatin1Char('E'));
    if (e >= 0) {
        exponent = s.mid(e + 1).toInt();
        s.truncate(e);
    }
    int pointPos = s.indexOf(QLatin1Char('.'));
    if (pointPos < 0)
        pointPos = s.size();
    else
        s.remove(pointPos, 1);
    pointPos += exponent;
    if (pointPos <= 0) {
        s.prepend(QString(1 - pointPos, QLatin1Char('0')));
        pointPos = 1;
    } else if (pointPos > s.size()) {
        s.append(QString(pointPos - s.size(), QLatin1Char('0')));
    }
    // s = integer digits + fraction digits; keep `decimals` fraction digits, rounding on the next.
    const int keep = pointPos + decimals;
    if (s.size() < keep)
        s.append(QString(keep - s.size(), QLatin1Char('0')));
    const bool roundUp = s.size() > keep && s.at(keep) >= QLatin1Char('5');
    s.truncate(keep);
    if (roundUp) {
        int i = keep - 1;
        for (; i >= 0; --i) {
            if (s.at(i) == QLatin1Char('9')) {
                s[i] = QLatin1Char('0');
            } else {
                s[i] = QChar(s.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0) {
            s.prepend(QLatin1Char('1'));
            ++pointPos;
        }
    }
    QString out = s.left(pointPos);
    if (decimals > 0)
        out += QLatin1Char('.') + s.mid(pointPos);
    static const QRegularExpression nonZeroDigit(QStringLiteral("[1-9]"));
    const bool zero = !out.contains(nonZeroDigit);
    return (negative && !zero ? QStringLiteral("-") : QString()) + out;
}

QString add(const QString& a, const QString& b)
{
    return general(parse(a) + parse(b));
}

QString subtract(const QString& a, const QString& b)
{
    return general(parse(a) - parse(b));
}

QString multiply(const QString& a, const QString& b)
{
    return general(parse(a) * parse(b));
}

int compare(const QString& a, const QString& b)
{
    return compare(parse(a), parse(b));
}

} // namespace Numbers
