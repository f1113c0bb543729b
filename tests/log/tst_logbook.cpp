#include "config/U_SettingTypes.h"
#include "config/formatsettings.h"
#include "log/U_LogBook.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sys/stat.h>

namespace {

struct Notice {
    int code;
    QString text;
};

QString readAll(const QString& fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(f.readAll());
}

int fileMode(const QString& fileName)
{
    struct stat st { };
    return ::stat(QFile::encodeName(fileName).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TestLogBook : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> m_env;
    QList<Notice> m_notices;
    FormatSettings m_savedFormats;

    TLogBook::Notify recorder()
    {
        return [this](int code, const QString& text) { m_notices.append({ code, text }); };
    }
    QString logFolder() const { return QDir::currentPath() + QStringLiteral("/LogFiles/"); }
    int noticeCount(int code) const
    {
        return int(
            std::count_if(m_notices.begin(), m_notices.end(), [code](const Notice& n) { return n.code == code; }));
    }

private Q_SLOTS:
    void init()
    {
        m_savedFormats = formatSettings();
        m_env = std::make_unique<TestEnvironment>();
        m_env->clock->set(QDateTime(QDate(2024, 1, 31), QTime(10, 15, 30)));
        m_notices.clear();
    }

    void cleanup()
    {
        m_env.reset();
        formatSettings() = m_savedFormats;
    }

    void fileNameBelowCurrentFolder()
    {
        TLogBook book(recorder());
        QCOMPARE(book.folder(), logFolder());
        QVERIFY(book.fileName().isEmpty());

        book.add(QStringLiteral("hello"));
        QCOMPARE(book.fileName(), logFolder() + QStringLiteral("Log20240131.txt"));
        QCOMPARE(fileMode(book.fileName()), 0600);
    }

    void installedProgramLogsBelowDataFolder()
    {
        // Started from the desktop menu, in whatever folder: the installation's shared folder
        // beside the program sends a relative log folder below the user's data folder.
        QVERIFY(QDir().mkpath(services().paths().sharedFolder()));
        TLogBook book;
        book.add(QStringLiteral("hello"));
        QCOMPARE(book.fileName(), services().paths().dataFolder() + QStringLiteral("/LogFiles/Log20240131.txt"));
        QVERIFY(QFile::exists(book.fileName()));
        QVERIFY(!QDir(logFolder()).exists());
    }

    void folderChainIsCreated()
    {
        TLogBook book;
        book.logPath().setValueText(QStringLiteral("logs\\terminal\\today"));
        book.add(QStringLiteral("x"));
        QCOMPARE(book.fileName(), QDir::currentPath() + QStringLiteral("/logs/terminal/today/Log20240131.txt"));
        QVERIFY(QFile::exists(book.fileName()));
    }

    void lineFormat_data()
    {
        QTest::addColumn<QString>("dateFormat");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("line");

        const QString yMd = QStringLiteral("yyyy/mm/dd");
        QTest::newRow("level 0: one blank")
            << yMd << QTime(10, 15, 30) << 0 << QStringLiteral("2024/01/31 10:15:30 Logout");
        QTest::newRow("level 1: five blanks")
            << yMd << QTime(10, 15, 30) << 1 << QStringLiteral("2024/01/31 10:15:30     Logout");
        QTest::newRow("level 2: nine blanks")
            << yMd << QTime(10, 15, 30) << 2 << QStringLiteral("2024/01/31 10:15:30         Logout");
        QTest::newRow("date follows the short format in force")
            << QStringLiteral("dd/mm/yyyy") << QTime(8, 5, 0) << 0 << QStringLiteral("31/01/2024 08:05:00 Logout");
        QTest::newRow("midnight leaves the time out") << yMd << QTime(0, 0) << 0 << QStringLiteral("2024/01/31 Logout");
    }

    void lineFormat()
    {
        QFETCH(QString, dateFormat);
        QFETCH(QTime, time);
        QFETCH(int, level);
        QFETCH(QString, line);

        formatSettings().shortDateFormat = dateFormat;
        m_env->clock->set(QDateTime(QDate(2024, 1, 31), time));
        TLogBook book;
        book.write(QStringLiteral("Logout"), level);

        QCOMPARE(readAll(book.fileName()), QStringLiteral("\n") + line + QStringLiteral("\n"));
        // Level 2 is above the default ShowLevel of 1.
        QCOMPARE(book.lines(), level <= 1 ? QStringList { line } : QStringList());
    }

    // An address typed on several lines stays one entry: a reader of the file (or of the list)
    // never takes its second line for an entry of its own.
    void lineBreaksStayInTheirEntry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::newRow("line feeds") << QStringLiteral("Customer added -- Address : 12 Hill Rd\nPune\n")
                                    << QStringLiteral("Customer added -- Address : 12 Hill Rd | Pune | ");
        QTest::newRow("carriage return and line feed as one")
            << QStringLiteral("Address : 12 Hill Rd\r\nPune") << QStringLiteral("Address : 12 Hill Rd | Pune");
        QTest::newRow("a lone carriage return, an empty line between")
            << QStringLiteral("a\rb\n\nc") << QStringLiteral("a | b |  | c");
        QTest::newRow("unicode line and paragraph separators")
            << QStringLiteral("a") + QChar(0x2028) + QStringLiteral("b") + QChar(0x2029) + QStringLiteral("c")
            << QStringLiteral("a | b | c");
    }
    void lineBreaksStayInTheirEntry()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        TLogBook book;
        book.write(text, 0);
        book.add(QStringLiteral("Logout"));
        const QString stamp = QStringLiteral("2024/01/31 10:15:30 ");
        QCOMPARE(readAll(book.fileName()),
            QStringLiteral("\n") + stamp + written + QStringLiteral("\n") + stamp + QStringLiteral("Logout\n"));
        QCOMPARE(book.lines(), QStringList({ stamp + written, stamp + QStringLiteral("Logout") }));
    }

    void firstWriteAppendsAfterAnEmptyLine()
    {
        QDir().mkpath(logFolder());
        const QString name = logFolder() + QStringLiteral("Log20240131.txt");
        {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("earlier run\n");
            f.setPermissions(
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        }

        TLogBook book;
        book.add(QStringLiteral("first"));
        book.add(QStringLiteral("second"));
        QCOMPARE(
            readAll(name), QStringLiteral("earlier run\n\n2024/01/31 10:15:30 first\n2024/01/31 10:15:30 second\n"));
        // a file left readable by others is made private
        QCOMPARE(fileMode(name), 0600);
    }

    void nextRunOfTheSameDayAppends()
    {
        QString name;
        {
            TLogBook book;
            book.add(QStringLiteral("run one"));
            name = book.fileName();
        }
        TLogBook book;
        book.add(QStringLiteral("run two"));
        QCOMPARE(book.fileName(), name);
        // Only the first write of a run leaves an empty line; closing adds none.
        QCOMPARE(readAll(name), QStringLiteral("\n2024/01/31 10:15:30 run one\n\n2024/01/31 10:15:30 run two\n"));
    }

    void dayChangeSwitchesFile()
    {
        TLogBook book(recorder());
        m_env->clock->set(QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59)));
        book.add(QStringLiteral("late"));
        const QString first = book.fileName();

        m_env->clock->set(QDateTime(QDate(2024, 2, 1), QTime(0, 0, 1)));
        book.add(QStringLiteral("early"));
        QCOMPARE(book.fileName(), logFolder() + QStringLiteral("Log20240201.txt"));

        QCOMPARE(readAll(first), QStringLiteral("\n2024/01/31 23:59:59 late\n"));
        QCOMPARE(readAll(book.fileName()), QStringLiteral("\n2024/02/01 00:00:01 early\n"));
        QCOMPARE(noticeCount(1), 2);
        QCOMPARE(noticeCount(4), 0);
        // The in-memory list runs on across the day change.
        QCOMPARE(book.lines().size(), 2);
    }

    void showLevelFiltersTheListOnly_data()
    {
        QTest::addColumn<int>("showLevel");
        QTest::addColumn<QStringList>("listed");

        QTest::newRow("default 1") << -1 << QStringList { QStringLiteral("zero"), QStringLiteral("one") };
        QTest::newRow("0") << 0 << QStringList { QStringLiteral("zero") };
        QTest::newRow("2") << 2 << QStringList { QStringLiteral("zero"), QStringLiteral("one"), QStringLiteral("two") };
    }

    void showLevelFiltersTheListOnly()
    {
        QFETCH(int, showLevel);
        QFETCH(QStringList, listed);

        TLogBook book;
        if (showLevel >= 0)
            book.showLevel().setValue(showLevel);
        book.write(QStringLiteral("zero"), 0);
        book.write(QStringLiteral("one"), 1);
        book.write(QStringLiteral("two"), 2);

        QStringList messages;
        for (const QString& line : book.lines())
            messages << line.simplified().section(QLatin1Char(' '), 2);
        QCOMPARE(messages, listed);
        QCOMPARE(readAll(book.fileName()).count(QLatin1Char('\n')), 4);
    }

    void maxLinesDropsTheOldest_data()
    {
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<int>("written");

        QTest::newRow("default 1024") << -1 << 1030;
        QTest::newRow("256, under") << 256 << 200;
        QTest::newRow("256, at") << 256 << 256;
        QTest::newRow("256, over") << 256 << 300;
    }

    void maxLinesDropsTheOldest()
    {
        QFETCH(int, maxLines);
        QFETCH(int, written);

        TLogBook book;
        if (maxLines > 0)
            book.maxLines().setValue(maxLines);
        const int limit = book.maxLines().value();
        for (int i = 0; i < written; ++i)
            book.add(QStringLiteral("line %1").arg(i));

        const QStringList lines = book.lines();
        const int kept = qMin(limit, written);
        QCOMPARE(lines.size(), kept);
        QVERIFY(lines.first().endsWith(QStringLiteral(" line %1").arg(written - kept)));
        QVERIFY(lines.last().endsWith(QStringLiteral(" line %1").arg(written - 1)));
        QCOMPARE(readAll(book.fileName()).count(QLatin1Char('\n')), written + 1);
    }

    void unwritableFolderIsReportedOnce()
    {
        // A file where the folder should be.
        {
            QFile blocker(QDir::currentPath() + QStringLiteral("/LogFiles"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        TLogBook book(recorder());
        book.add(QStringLiteral("lost"));
        book.add(QStringLiteral("lost too"));

        QCOMPARE(noticeCount(4), 1);
        const auto failure
            = std::find_if(m_notices.begin(), m_notices.end(), [](const Notice& n) { return n.code == 4; });
        QCOMPARE(failure->text,
            QStringLiteral("Impossible to create Logfile \"") + logFolder() + QStringLiteral("Log20240131.txt\""));
        QCOMPARE(noticeCount(1), 2);
        // The program goes on: the lines still reach the list.
        QCOMPARE(book.lines().size(), 2);

        // The next day tries again.
        m_env->clock->set(QDateTime(QDate(2024, 2, 1), QTime(9, 0)));
        book.add(QStringLiteral("next day"));
        QCOMPARE(noticeCount(4), 2);
        QVERIFY(m_notices.last().code == 1);
    }

    void globalEntryPoints()
    {
        LogAdd(QStringLiteral("nobody listens")); // no log book yet: nothing happens
        LogWrite(QStringLiteral("nobody listens"), 1);
        QVERIFY(!QDir(logFolder()).exists());

        {
            TLogBook book;
            setLogBook(&book);
            QCOMPARE(logBook(), &book);
            LogAdd(QStringLiteral("plain"));
            LogWrite(QStringLiteral("Company SHOP added"), 1);
            QCOMPARE(book.lines(),
                QStringList({ QStringLiteral("2024/01/31 10:15:30 plain"),
                    QStringLiteral("2024/01/31 10:15:30     Company SHOP added") }));
        }
        // A log book that goes away takes itself out of the global entry points.
        QCOMPARE(logBook(), nullptr);
        LogAdd(QStringLiteral("after"));
    }
};

QTEST_GUILESS_MAIN(TestLogBook)
#include "tst_logbook.moc"
