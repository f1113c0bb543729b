#include "config/formatsettings.h"

#include <QtTest>

class TestFormatSettings : public QObject {
    Q_OBJECT

private:
    FormatSettings m_saved;

private Q_SLOTS:
    void init() { m_saved = formatSettings(); }
    void cleanup() { formatSettings() = m_saved; }

    void formatDateTimeLetters_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("dateSeparator");
        QTest::addColumn<QString>("timeSeparator");
        QTest::addColumn<QString>("expected");

        const QDateTime jan31(QDate(2024, 1, 31), QTime(8, 5, 9, 7));
        const QDateTime feb5(QDate(2024, 2, 5), QTime(14, 30, 0));
        QTest::newRow("year first") << "yyyy/mm/dd" << jan31 << "/"
                                    << ":"
                                    << "2024/01/31";
        QTest::newRow("day first") << "dd/mm/yyyy" << jan31 << "/"
                                   << ":"
                                   << "31/01/2024";
        QTest::newRow("short parts") << "d/m/yy" << feb5 << "/"
                                     << ":"
                                     << "5/2/24";
        QTest::newRow("upper case letters") << "YYYY/MM/DD" << jan31 << "/"
                                            << ":"
                                            << "2024/01/31";
        QTest::newRow("date separator follows the setting") << "yyyy/mm/dd" << jan31 << "-"
                                                            << ":"
                                                            << "2024-01-31";
        QTest::newRow("literal dash stays") << "yyyy-mm-dd" << jan31 << "/"
                                            << ":"
                                            << "2024-01-31";
        QTest::newRow("file name style") << "yyyymmdd" << jan31 << "/"
                                         << ":"
                                         << "20240131";
        QTest::newRow("long time") << "hh:nn:ss" << jan31 << "/"
                                   << ":"
                                   << "08:05:09";
        QTest::newRow("m after h is minutes") << "hh:mm" << feb5 << "/"
                                              << ":"
                                              << "14:30";
        QTest::newRow("bill time") << "hh.mm.ss.zzz" << jan31 << "/"
                                   << ":"
                                   << "08.05.09.007";
        QTest::newRow("time separator follows the setting") << "hh:nn" << jan31 << "/"
                                                            << "."
                                                            << "08.05";
        QTest::newRow("short time parts") << "h:n:s" << jan31 << "/"
                                          << ":"
                                          << "8:5:9";
        QTest::newRow("date and time") << "dd/mm/yyyy hh:mm" << feb5 << "/"
                                       << ":"
                                       << "05/02/2024 14:30";
        QTest::newRow("quoted text") << "'on' dd \"of\" mm" << jan31 << "/"
                                     << ":"
                                     << "on 31 of 01";
    }

    void formatDateTimeLetters()
    {
        QFETCH(QString, format);
        QFETCH(QDateTime, when);
        QFETCH(QString, dateSeparator);
        QFETCH(QString, timeSeparator);
        QFETCH(QString, expected);

        formatSettings().dateSeparator = dateSeparator.at(0);
        formatSettings().timeSeparator = timeSeparator.at(0);
        QCOMPARE(formatDateTime(format, when), expected);
    }

    void dateTimeToStrTimes_data()
    {
        QTest::addColumn<QString>("shortDateFormat");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("expected");

        const QDate day(2024, 1, 31);
        QTest::newRow("date and time") << "yyyy/mm/dd" << QDateTime(day, QTime(10, 15, 30)) << "2024/01/31 10:15:30";
        QTest::newRow("midnight leaves the time out") << "yyyy/mm/dd" << QDateTime(day, QTime(0, 0)) << "2024/01/31";
        QTest::newRow("a millisecond after midnight")
            << "yyyy/mm/dd" << QDateTime(day, QTime(0, 0, 0, 1)) << "2024/01/31 00:00:00";
        QTest::newRow("other short format")
            << "dd/mm/yyyy" << QDateTime(day, QTime(23, 59, 59)) << "31/01/2024 23:59:59";
    }

    void dateTimeToStrTimes()
    {
        QFETCH(QString, shortDateFormat);
        QFETCH(QDateTime, when);
        QFETCH(QString, expected);

        formatSettings().shortDateFormat = shortDateFormat;
        QCOMPARE(dateTimeToStr(when), expected);
        QCOMPARE(dateToStr(when.date()), expected.section(QLatin1Char(' '), 0, 0));
    }

    void strToDateTexts_data()
    {
        QTest::addColumn<QString>("shortDateFormat");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("expected"); // invalid: does not read as a date

        const QDate jan31(2024, 1, 31);
        QTest::newRow("slashes") << "yyyy/mm/dd"
                                 << "2024/01/31" << jan31;
        QTest::newRow("dashes") << "yyyy/mm/dd"
                                << "2024-01-31" << jan31;
        QTest::newRow("dots, no zeros") << "yyyy/mm/dd"
                                        << "2024.1.31" << jan31;
        QTest::newRow("surrounding blanks") << "yyyy/mm/dd"
                                            << " 2024/01/31 " << jan31;
        QTest::newRow("day first") << "dd/mm/yyyy"
                                   << "31/01/2024" << jan31;
        QTest::newRow("month first") << "mm/dd/yyyy"
                                     << "01/31/2024" << jan31;
        QTest::newRow("two-digit year") << "dd/mm/yy"
                                        << "05/02/24" << QDate(2024, 2, 5);
        QTest::newRow("no such day") << "yyyy/mm/dd"
                                     << "2024/02/30" << QDate();
        QTest::newRow("month 13") << "yyyy/mm/dd"
                                  << "2024/13/01" << QDate();
        QTest::newRow("order matters") << "yyyy/mm/dd"
                                       << "31/01/2024" << QDate();
        QTest::newRow("two parts") << "yyyy/mm/dd"
                                   << "2024/01" << QDate();
        QTest::newRow("with a time") << "yyyy/mm/dd"
                                     << "2024/01/31 10:00" << QDate();
        QTest::newRow("letters") << "yyyy/mm/dd"
                                 << "2024/jan/31" << QDate();
        QTest::newRow("empty") << "yyyy/mm/dd"
                               << "" << QDate();
    }

    void strToDateTexts()
    {
        QFETCH(QString, shortDateFormat);
        QFETCH(QString, text);
        QFETCH(QDate, expected);

        formatSettings().shortDateFormat = shortDateFormat;
        QCOMPARE(strToDate(text), expected);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("shortDateFormat");
        QTest::newRow("yyyy/mm/dd") << "yyyy/mm/dd";
        QTest::newRow("dd/mm/yyyy") << "dd/mm/yyyy";
        QTest::newRow("m/d/yyyy") << "m/d/yyyy";
    }

    void roundTrip()
    {
        QFETCH(QString, shortDateFormat);
        formatSettings().shortDateFormat = shortDateFormat;
        formatSettings().dateSeparator = QLatin1Char('-');
        for (QDate d(2023, 12, 25); d < QDate(2024, 3, 5); d = d.addDays(3))
            QCOMPARE(strToDate(dateToStr(d)), d);
    }
};

QTEST_GUILESS_MAIN(TestFormatSettings)
#include "tst_formatsettings.moc"
