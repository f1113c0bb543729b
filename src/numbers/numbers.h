#pragma once

#include <QString>

// Money and quantity arithmetic: decimal text in, 80-bit long double computation, text out.
namespace Numbers {

// A number computed in long double that also knows how many decimal places it has: a decimal
// text read in has its own places, a sum or difference the larger of its operands', a product
// their sum, and a division by 10, 100, ... adds that many. A result is rounded to its places
// before it is shown or compared, so the binary noise of long double never reaches a text or a
// decision: 50000 - 49999.99 is -0.01, not -0.0100000000000016. A quotient by anything else has
// no known places and reads with 15 significant digits.
class Value {
public:
    Value() = default;
    Value(int v)
        : m_v(v)
        , m_places(0)
    {
    }
    Value(qint64 v)
        : m_v(static_cast<long double>(v))
        , m_places(0)
    {
    }
    // A value written in the program (0.5L): it has the places of its 15-digit reading.
    Value(long double v);
    Value(double v)
        : Value(static_cast<long double>(v))
    {
    }

    // The raw computation and its known decimal places (-1: not known).
    long double raw() const { return m_v; }
    int places() const { return m_places; }
    // The value rounded to its places.
    long double rounded() const;

    Value operator-() const { return Value(-m_v, m_places); }
    friend Value operator+(const Value& a, const Value& b);
    friend Value operator-(const Value& a, const Value& b);
    friend Value operator*(const Value& a, const Value& b);
    friend Value operator/(const Value& a, const Value& b);
    Value& operator+=(const Value& b) { return *this = *this + b; }
    Value& operator-=(const Value& b) { return *this = *this - b; }
    Value& operator*=(const Value& b) { return *this = *this * b; }
    Value& operator/=(const Value& b) { return *this = *this / b; }

    // -1, 0 or 1 once the difference is rounded to its places.
    friend int compare(const Value& a, const Value& b);
    friend bool operator==(const Value& a, const Value& b) { return compare(a, b) == 0; }
    friend bool operator!=(const Value& a, const Value& b) { return compare(a, b) != 0; }
    friend bool operator<(const Value& a, const Value& b) { return compare(a, b) < 0; }
    friend bool operator<=(const Value& a, const Value& b) { return compare(a, b) <= 0; }
    friend bool operator>(const Value& a, const Value& b) { return compare(a, b) > 0; }
    friend bool operator>=(const Value& a, const Value& b) { return compare(a, b) >= 0; }

    static Value withPlaces(long double v, int places) { return Value(v, places); }

private:
    Value(long double v, int places)
        : m_v(v)
        , m_places(places)
    {
    }
    long double m_v = 0;
    int m_places = 0;
};

// Reads a decimal text ("." as point, surrounding blanks allowed). Throws EConvertError
// ("'" + text + "' is not a valid floating point value") when the text is not a number.
Value parse(const QString& text);
// Like parse, but an empty text reads as 0.
Value parseOrZero(const QString& text);
bool isNumber(const QString& text);

// Reads a whole number. Throws EConvertError ("'" + text + "' is not a valid integer value").
qint64 parseInt(const QString& text);
bool isInteger(const QString& text);

// What the number keys of a field type: digits only (a whole number), or digits with at most one
// point (a decimal); at least one digit, no sign, blank or exponent.
bool isPlainWhole(const QString& text);
bool isPlainDecimal(const QString& text);

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
