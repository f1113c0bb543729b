// Two administrators at once, each on a terminal (a data module) of their own: the second one
// adds what the first one is adding at that moment, and gets the screen's own answer, as when it
// finds the first one's row by reading first; nothing is stored twice and the program goes on.
#include "admin/aducashierpas.h"
#include "backoffice/Commentpas.h"
#include "backoffice/Itempas.h"
#include "backofficefixture.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "platform/errors.h"
#include "platform/passwordhash.h"

#include <QThread>
#include <QtTest>

using namespace BackOfficeFixture;

namespace {

const QDate kDay(2026, 12, 9);

// What an administrator adds with that value; the answer the screen shows.
QString add(TDm& dm, const QString& what, const QString& value)
{
    if (what == QLatin1String("user"))
        return AddUser(dm, QStringLiteral("meera"), value, QStringLiteral("cashier"), QStringLiteral("boss"));
    if (what == QLatin1String("comment"))
        return AddComment(dm, kDay.toString(Qt::ISODate), value);
    if (what == QLatin1String("item")) {
        ItemEntry entry { QStringLiteral("sugar"), value, QString(), QString(), QStringLiteral("5"), QString() };
        return AddItem(dm, entry, QStringLiteral("5"));
    }
    return SaveOverallTax(dm, kDay, value, QString());
}

// The connection its statements run on.
TConnection& connectionOf(TDm& dm, const QString& what)
{
    return what == QLatin1String("user") ? dm.MyQLogin.connection() : dm.MyQItemDetails.connection();
}

} // namespace

class TestTwoAdministrators : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        QStringList s { QStringLiteral("create database general_stores") };
        s << Schema::tableStatements(QStringLiteral("general_stores"), Schema::Variant::GeneralStores);
        TestServer::exec(s);
    }
    void cleanupTestCase() { env.reset(); }
    void init()
    {
        createCompany();
        TestServer::exec({ QStringLiteral("delete from general_stores.login") });
    }

    void secondGetsTheScreensAnswer_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("before"); // a statement run first, or none
        QTest::addColumn<QString>("firstValue");
        QTest::addColumn<QString>("firstAnswer");
        QTest::addColumn<QString>("secondValue");
        QTest::addColumn<QString>("secondAnswer");
        QTest::addColumn<QString>("stored"); // what there is afterwards
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("loggedOnce"); // a log line of the one that was added, or none
        const auto row = [](const char* name, const char* what, const QString& before, const char* firstValue,
                             const QString& firstAnswer, const char* secondValue, const char* secondAnswer,
                             const char* stored, const char* expected, const QString& loggedOnce = QString()) {
            QTest::newRow(name) << what << before << firstValue << firstAnswer << secondValue << secondAnswer << stored
                                << expected << loggedOnce;
        };
        row("the same user", "user", QString(), "first", "New User created", "second", "Username already exist",
            "select group_concat(username) from general_stores.login", "meera", "NEW user added -->username: meera");
        row("the day's first remark", "comment", QString(), "first", QString(), "second",
            "Comment updated Successfully...", "select group_concat(scomment) from $db.comment", "first.second");
        row("the day's remark extended by both", "comment", "insert into $db.comment values('2026-12-09','counted')",
            "first", "Comment updated Successfully...", "second", "Comment updated Successfully...",
            "select group_concat(scomment) from $db.comment", "counted.first.second");
        row("the same item name", "item", QString(), "12345.67", QString(), "99999.99", "Item Already Exist",
            "select group_concat(concat(itemname,' ',rate)) from $db.item", "SUGAR 12345.67");
        row("the same tax day", "tax", QString(), "12.5", "TAX is added", "7.25", "Tax is changed",
            "select group_concat(concat(sdate,' ',rate)) from $db.tax", "2026-12-09 7.25");
    }
    void secondGetsTheScreensAnswer()
    {
        QFETCH(QString, what);
        QFETCH(QString, before);
        QFETCH(QString, firstValue);
        QFETCH(QString, firstAnswer);
        QFETCH(QString, secondValue);
        QFETCH(QString, secondAnswer);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QFETCH(QString, loggedOnce);
        TLogBook log;
        setLogBook(&log);
        if (!before.isEmpty())
            exec(before);

        QString answer;
        QString error;
        std::unique_ptr<QThread> second(QThread::create([&] {
            TDm own(TestServer::settings());
            own.setCompanyDatabase(kDb, true);
            try {
                answer = add(own, what, secondValue);
            } catch (const PosError& e) {
                error = e.message();
            }
        }));
        // the second one ends also when a check below fails: the first one's work is undone first
        struct Finish {
            QThread& thread;
            ~Finish() { thread.wait(20000); }
        } finish { *second };
        TDm first(TestServer::settings());
        first.setCompanyDatabase(kDb, true);
        {
            // the first one's row is written, not yet committed, when the second one adds
            TTransaction adding(connectionOf(first, what), Isolation::ReadCommitted);
            QCOMPARE(add(first, what, firstValue), firstAnswer);
            second->start();
            QVERIFY(TestServer::waitForLockWaits(1));
            adding.commit();
        }
        QVERIFY(second->wait(20000));
        QCOMPARE(error, QString());
        QCOMPARE(answer, secondAnswer);
        QCOMPARE(scalar(stored), expected);
        // the first one's password stands (kept as its hash)
        if (what == QLatin1String("user"))
            QVERIFY(PasswordMatches(scalar(QStringLiteral("select password from general_stores.login")), firstValue));
        setLogBook(nullptr);
        if (!loggedOnce.isEmpty()) {
            QFile file(log.fileName());
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(file.readAll()).count(loggedOnce), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestTwoAdministrators)
#include "tst_twoadministrators.moc"
