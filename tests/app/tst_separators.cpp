#include "app/separators.h"
#include "config/formatsettings.h"

#include <QtTest>

class TestSeparators : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { SetFormatSeparators('/', ':', '.', ','); }

    // The argument order is date, time, decimal, thousands; a mix-up shows in the formatted text.
    void separatorsReachFormatting_data()
    {
        QTest::addColumn<QChar>("date");
        QTest::addColumn<QChar>("time");
        QTest::addColumn<QString>("expected");
        QTest::newRow("program's own") << QChar('/') << QChar(':') << QStringLiteral("2026/12/09 10:05:30");
        QTest::newRow("dashes and dots") << QChar('-') << QChar('.') << QStringLiteral("2026-12-09 10.05.30");
    }

    void separatorsReachFormatting()
    {
        QFETCH(QChar, date);
        QFETCH(QChar, time);
        QFETCH(QString, expected);
        SetFormatSeparators(date, time, ',', '.');
        QCOMPARE(formatDateTime(QStringLiteral("yyyy/mm/dd hh:nn:ss"), QDateTime(QDate(2026, 12, 9), QTime(10, 5, 30))),
            expected);
        QCOMPARE(formatSettings().decimalSeparator, QChar(','));
        QCOMPARE(formatSettings().thousandSeparator, QChar('.'));
    }
};

QTEST_GUILESS_MAIN(TestSeparators)
#include "tst_separators.moc"
