// The data module against the real server: text results with NULL kept apart, escaping, identifier
// checks, company switches on open connections, and a dropped connection coming back.
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "platform/errors.h"
#include "testsupport.h"

#include <QtTest>

class TestDataModule : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::exec({ QStringLiteral("create database general_stores"), QStringLiteral("create database SHOP_A"),
            QStringLiteral("create database SHOP_B") });
        TestServer::exec(Schema::tableStatements(QStringLiteral("SHOP_A"), Schema::Variant::Company));
        TestServer::exec(Schema::tableStatements(QStringLiteral("SHOP_B"), Schema::Variant::Company));
        dm = std::make_unique<TDm>(TestServer::settings());
    }
    void cleanup()
    {
        dm.reset();
        env.reset();
    }

    void nullIsNotZero()
    {
        TQuery& q = dm->MyQposorderitem;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select max(billno) as m from sales_order"));
        QCOMPARE(q.recordCount(), 1);
        QVERIFY(q.field(QStringLiteral("m")).isNull());
        QCOMPARE(q.text(QStringLiteral("m")), QString());
        q.exec(QStringLiteral("select 0 as zero, 70.3 as amount, cast(70.3 as float) as f"));
        QVERIFY(!q.field(QStringLiteral("zero")).isNull());
        QCOMPARE(q.text(QStringLiteral("zero")), QStringLiteral("0"));
        QCOMPARE(q.text(QStringLiteral("amount")), QStringLiteral("70.3"));
        QCOMPARE(q.text(QStringLiteral("F")), QStringLiteral("70.3")); // column names ignore case
        QVERIFY(q.field(QStringLiteral("nosuchcolumn")).isNull());
        q.next();
        QVERIFY(q.eof());
        QVERIFY(q.field(QStringLiteral("zero")).isNull());
    }

    void quotedValuesAreData_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("double quote") << "Se\"cret";
        QTest::newRow("single quote") << "O'Brien";
        QTest::newRow("backslash at end") << "abc\\";
        QTest::newRow("injection") << "x\" or \"1\"=\"1";
        QTest::newRow("newline and nul-like") << "a\nb\r\x1a";
        QTest::newRow("empty") << "";
        QTest::newRow("unicode") << "Grüße ₹";
    }
    void quotedValuesAreData()
    {
        QFETCH(QString, value);
        TQuery& q = dm->MyQItemDetails;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("insert into sales_settings values (%1, %2)").arg(q.quote(QStringLiteral("k")), q.quote(value)));
        q.exec(QStringLiteral("select value_ from sales_settings where value_=%1").arg(q.quote(value)));
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.text(QStringLiteral("value_")), value);
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from SHOP_A.sales_settings")), 1);
    }

    void identifiers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "MAIN_ROAD" << true;
        QTest::newRow("brackets dot at") << "JOHN(S).CO@X" << true;
        QTest::newRow("backtick") << "A`B" << false;
        QTest::newRow("blank") << "A B" << false;
        QTest::newRow("semicolon") << "A;drop" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("too long") << QString(65, QLatin1Char('A')) << false;
    }
    void identifiers()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(TQuery::isValidIdent(name), valid);
        if (valid)
            QCOMPARE(TQuery::ident(name), QLatin1Char('`') + name + QLatin1Char('`'));
        else
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, TQuery::ident(name));
    }

    void companySwitchFollowsOpenConnections()
    {
        TestServer::exec({ QStringLiteral("insert into SHOP_A.sales_settings values('who','A')"),
            QStringLiteral("insert into SHOP_B.sales_settings values('who','B')") });
        TQuery& q = dm->MyQpayment;
        q.exec(QStringLiteral("select database() as db"));
        QCOMPARE(q.text(QStringLiteral("db")), QStringLiteral("general_stores"));
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select value_ from sales_settings"));
        QCOMPARE(q.text(QStringLiteral("value_")), QStringLiteral("A"));
        dm->setCompanyDatabase(QStringLiteral("SHOP_B"), true);
        q.exec(QStringLiteral("select value_ from sales_settings"));
        QCOMPARE(q.text(QStringLiteral("value_")), QStringLiteral("B"));
        dm->MyQuery2.exec(QStringLiteral("select value_ from sales_settings"));
        QCOMPARE(dm->MyQuery2.text(QStringLiteral("value_")), QStringLiteral("B"));
        // the login connection never follows
        dm->MyQLogin.exec(QStringLiteral("select database() as db"));
        QCOMPARE(dm->MyQLogin.text(QStringLiteral("db")), QStringLiteral("general_stores"));
    }

    void catalogueConnectionAlwaysStartsOnDbname()
    {
        TestServer::exec({ QStringLiteral("create database dbname") });
        dm->MyQuery1.exec(QStringLiteral("select database() as db"));
        QCOMPARE(dm->MyQuery1.text(QStringLiteral("db")), QStringLiteral("dbname"));
    }

    void droppedConnectionComesBackOnItsDatabase()
    {
        TQuery& q = dm->MyQsalesdetails;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select connection_id() as id"));
        const QString id = q.text(QStringLiteral("id"));
        TestServer::exec({ QStringLiteral("kill ") + id });
        q.exec(QStringLiteral("select database() as db, connection_id() as id"));
        QCOMPARE(q.text(QStringLiteral("db")), QStringLiteral("SHOP_A"));
        QVERIFY(q.text(QStringLiteral("id")) != id);
    }

    void failuresCarryTheServersMessage()
    {
        try {
            dm->MyQLogin.exec(QStringLiteral("select * from no_such_table"));
            QFAIL("no error raised");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.className(), QStringLiteral("EDatabaseError"));
            QVERIFY2(e.message().contains(QLatin1String("no_such_table")), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
