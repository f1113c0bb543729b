#include "numbers/numbers.h"
#include "platform/errors.h"

#include <QtTest>

using Numbers::Value;

class TestNumbers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void generalFormat_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("op"); // "=" formats a alone
        QTest::addColumn<QString>("b");
        QTest::addColumn<QString>("expected");

        QTest::newRow("whole") << "75"
                               << "="
                               << ""
                               << "75";
        QTest::newRow("trailing zeros dropped") << "1.10"
                                                << "="
                                                << ""
                                                << "1.1";
        QTest::newRow("trailing point dropped") << "78."
                                                << "="
                                                << ""
                                                << "78";
        QTest::newRow("blanks around") << " 12.5 "
                                       << "="
                                       << ""
                                       << "12.5";
        QTest::newRow("exponent read") << "1e3"
                                       << "="
                                       << ""
                                       << "1000";
        QTest::newRow("price") << "25"
                               << "*"
                               << "3"
                               << "75";
        QTest::newRow("subtotal") << "75"
                                  << "+"
                                  << "3"
                                  << "78";
        QTest::newRow("78 - 7.8") << "78"
                                  << "-"
                                  << "7.8"
                                  << "70.2";
        QTest::newRow("100 - 99.6") << "100"
                                    << "-"
                                    << "99.6"
                                    << "0.4";
        QTest::newRow("0.1 + 0.2") << "0.1"
                                   << "+"
                                   << "0.2"
                                   << "0.3";
        QTest::newRow("negative") << "-5"
                                  << "-"
                                  << "2.5"
                                  << "-7.5";
        QTest::newRow("no negative zero") << "-0"
                                          << "="
                                          << ""
                                          << "0";
        QTest::newRow("difference to zero") << "0.1"
                                            << "-"
                                            << "0.1"
                                            << "0";
        QTest::newRow("zero times negative") << "0"
                                             << "*"
                                             << "-3"
                                             << "0";
        QTest::newRow("15 significant digits") << "0.333333333333333333"
                                               << "="
                                               << ""
                                               << "0.333333333333333";
        QTest::newRow("rounded at digit 15") << "2.00000000000000049"
                                             << "="
                                             << ""
                                             << "2";
        QTest::newRow("largest plain") << "999999999999999"
                                       << "="
                                       << ""
                                       << "999999999999999";
        QTest::newRow("large goes to exponent") << "123456789012345678"
                                                << "="
                                                << ""
                                                << "1.23456789012346E17";
        QTest::newRow("small goes to exponent") << "0.00001"
                                                << "="
                                                << ""
                                                << "1E-5";
        QTest::newRow("big product") << "1234567.891"
                                     << "*"
                                     << "1000"
                                     << "1234567891";
    }

    void generalFormat()
    {
        QFETCH(QString, a);
        QFETCH(QString, op);
        QFETCH(QString, b);
        QFETCH(QString, expected);

        QString result;
        if (op == QLatin1String("="))
            result = Numbers::general(Numbers::parse(a));
        else if (op == QLatin1String("+"))
            result = Numbers::add(a, b);
        else if (op == QLatin1String("-"))
            result = Numbers::subtract(a, b);
        else
            result = Numbers::multiply(a, b);
        QCOMPARE(result, expected);
    }

    // Bill arithmetic of large amounts: every result reads with the places of its operands, however
    // long double rounds underneath. An expression is worked from left to right.
    void exactBillFigures_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");

        QTest::newRow("cash beyond the last remainder") << "49999.99 - 50000"
                                                        << "-0.01";
        QTest::newRow("cash then card pay the bill off") << "99999.99 - 50000 - 49999.99"
                                                         << "0";
        QTest::newRow("three lines of 33333.33") << "33333.33 * 3"
                                                 << "99999.99";
        QTest::newRow("change on a million") << "1234600 - 1234567.89"
                                             << "32.11";
        QTest::newRow("part payments") << "12345.67 - 5000 - 7345.67"
                                       << "0";
        QTest::newRow("line tax on top") << "99999.99 * 12.5 / 100 + 99999.99"
                                         << "112499.98875";
        QTest::newRow("overall tax on the largest bill") << "9999999.99 * 12.375 / 100 + 9999999.99"
                                                         << "11237499.9887625";
        QTest::newRow("discount off a taxed line") << "112499.98875 * 7.5 / 100 * -1 + 112499.98875"
                                                   << "104062.48959375";
        QTest::newRow("tax on a paisa") << "0.01 * 7.125 / 100"
                                        << "0.0007125";
        QTest::newRow("quotient without places") << "10 / 3"
                                                 << "3.33333333333333";
    }

    void exactBillFigures()
    {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        const QStringList tokens = expression.split(QLatin1Char(' '));
        Value v = Numbers::parse(tokens.first());
        for (int i = 1; i + 1 < tokens.size(); i += 2) {
            const Value operand = Numbers::parse(tokens.at(i + 1));
            const QChar op = tokens.at(i).at(0);
            v = op == QLatin1Char('+')   ? v + operand
                : op == QLatin1Char('-') ? v - operand
                : op == QLatin1Char('*') ? v * operand
                                         : v / operand;
        }
        QCOMPARE(Numbers::general(v), expected);
    }

    // A decision on a computed amount is taken on its exact value: a bill paid off to the paisa has
    // nothing left, and no noise makes it owe or overpay.
    void exactComparisons()
    {
        const Value left = Numbers::parse(QStringLiteral("99999.99")) - Numbers::parse(QStringLiteral("50000"))
            - Numbers::parse(QStringLiteral("49999.99"));
        QVERIFY(left.raw() != 0); // what long double alone makes of it
        QVERIFY(left == 0);
        QVERIFY(left <= 0 && !(left < 0) && !(left > 0));
        const Value change = Numbers::parse(QStringLiteral("1234567.89")) - Numbers::parse(QStringLiteral("1234600"));
        QVERIFY(change < 0);
        QCOMPARE(Numbers::general(-change), QStringLiteral("32.11"));
        // a literal compares by its own places
        QVERIFY(Numbers::parse(QStringLiteral("0.0001")) <= Value(0.0001L));
        QVERIFY(Numbers::parse(QStringLiteral("0.4")) > Value(0.0001L));
    }

    void fixedFormat_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("expected");

        QTest::newRow("70.2 to 2") << "70.2" << 2 << "70.20";
        QTest::newRow("70.2 to 0") << "70.2" << 0 << "70";
        QTest::newRow("whole to 3") << "3" << 3 << "3.000";
        QTest::newRow("rounds up") << "2.346" << 2 << "2.35";
        QTest::newRow("rounds down") << "2.344" << 2 << "2.34";
        QTest::newRow("negative") << "-1.5" << 1 << "-1.5";
        QTest::newRow("no negative zero") << "-0.001" << 2 << "0.00";
        QTest::newRow("no negative zero, no decimals") << "-0.4" << 0 << "0";
        QTest::newRow("negative decimals read as none") << "70.2" << -1 << "70";
        QTest::newRow("computed line total") << "69.9999999999999" << 2 << "70.00";
    }

    void fixedFormat()
    {
        QFETCH(QString, value);
        QFETCH(int, decimals);
        QFETCH(QString, expected);
        QCOMPARE(Numbers::fixed(Numbers::parse(value), decimals), expected);
    }

    // Line totals: rounded on the 15-digit decimal text, ties away from zero.
    void fixedHalfAway_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("expected");

        QTest::newRow("pads") << "70.2" << 2 << "70.20";
        QTest::newRow("no decimals") << "70.2" << 0 << "70";
        QTest::newRow("tie up, binary below") << "70.205" << 2 << "70.21";
        QTest::newRow("tie up, whole") << "2.5" << 0 << "3";
        QTest::newRow("tie away from zero") << "-2.5" << 0 << "-3";
        QTest::newRow("carry through nines") << "99.995" << 2 << "100.00";
        QTest::newRow("carry to a new digit") << "9.5" << 0 << "10";
        QTest::newRow("below tie") << "1.00499999" << 2 << "1.00";
        QTest::newRow("small exponent form") << "0.0000005" << 6 << "0.000001";
        QTest::newRow("small rounds to zero") << "-0.0000004" << 2 << "0.00";
        QTest::newRow("large exponent form") << "1.5E20" << 1 << "150000000000000000000.0";
        QTest::newRow("computed 1.15 x 3") << "3.4499999999999999999" << 1 << "3.5";
    }

    void fixedHalfAway()
    {
        QFETCH(QString, value);
        QFETCH(int, decimals);
        QFETCH(QString, expected);
        QCOMPARE(Numbers::fixedHalfAway(Numbers::parse(value), decimals), expected);
    }

    void parseErrors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << "  ";
        QTest::newRow("letters") << "abc";
        QTest::newRow("trailing letter") << "12a";
        QTest::newRow("comma as point") << "1,5";
        QTest::newRow("two signs") << "--1";
        QTest::newRow("point alone") << ".";
        QTest::newRow("two points") << "1.2.3";
        QTest::newRow("hex") << "0x10";
        QTest::newRow("inner blank") << "1 000";
    }

    void parseErrors()
    {
        QFETCH(QString, text);
        QVERIFY(!Numbers::isNumber(text));
        try {
            Numbers::parse(text);
            QFAIL("no error raised");
        } catch (const EConvertError& e) {
            QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
            QCOMPARE(e.className(), QStringLiteral("EConvertError"));
        }
        QVERIFY_THROWS_EXCEPTION(EConvertError, Numbers::add(text, QStringLiteral("1")));
    }

    void emptyReadsAsZeroWhereAllowed()
    {
        QCOMPARE(Numbers::parseOrZero(QString()), Value(0));
        QCOMPARE(Numbers::parseOrZero(QStringLiteral(" ")), Value(0));
        QCOMPARE(Numbers::parseOrZero(QStringLiteral("2.5")), Value(2.5));
        QVERIFY_THROWS_EXCEPTION(EConvertError, Numbers::parseOrZero(QStringLiteral("x")));
    }

    void parseInt_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("value");

        QTest::newRow("plain") << "42" << true << qint64(42);
        QTest::newRow("blanks and sign") << " -7 " << true << qint64(-7);
        QTest::newRow("plus") << "+3" << true << qint64(3);
        QTest::newRow("beyond 32 bits") << "5000000000" << true << qint64(5000000000LL);
        QTest::newRow("decimal") << "4.2" << false << qint64(0);
        QTest::newRow("empty") << "" << false << qint64(0);
        QTest::newRow("letters") << "x1" << false << qint64(0);
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << false << qint64(0);
    }

    void parseInt()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(qint64, value);

        if (valid) {
            QCOMPARE(Numbers::parseInt(text), value);
            return;
        }
        try {
            Numbers::parseInt(text);
            QFAIL("no error raised");
        } catch (const EConvertError& e) {
            QCOMPARE(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(text));
        }
    }

    void compareNumerically_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<int>("result");

        QTest::newRow("equal texts differ") << "1"
                                            << "1.00" << 0;
        QTest::newRow("not by text") << "2"
                                     << "10" << -1;
        QTest::newRow("greater") << "10.5"
                                 << "10.49" << 1;
        QTest::newRow("computed against typed") << Numbers::subtract("100", "99.6") << "0.4" << 0;
        QTest::newRow("negative") << "-1"
                                  << "0" << -1;
    }

    void compareNumerically()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(int, result);
        QCOMPARE(Numbers::compare(a, b), result);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
