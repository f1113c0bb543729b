#include "db/datamodulepos.h"
#include "db/schema.h"
#include "db/schemaupgrade.h"
#include "log/U_LogBook.h"
#include "login/adminoptpas.h"
#include "login/posloginpas.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace {

QString primaryKey(const QString& database, const QString& table)
{
    return TestServer::scalar(QStringLiteral("select group_concat(column_name order by ordinal_position) from "
                                             "information_schema.key_column_usage where constraint_name='PRIMARY' "
                                             "and table_schema='%1' and table_name='%2'")
                                  .arg(database, table));
}

QStringList tablesOf(const QString& database)
{
    const QString list = TestServer::scalar(QStringLiteral("select group_concat(table_name order by table_name) from "
                                                           "information_schema.tables where table_schema='%1'")
                                                .arg(database));
    return list.isEmpty() ? QStringList() : list.split(QLatin1Char(','));
}

QStringList sortedTableNames()
{
    QStringList names = Schema::tableNames();
    names.sort();
    return names;
}

// A fresh server with the catalogues, as after the first start of a terminal.
struct Provisioned {
    Provisioned()
    {
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        dm = std::make_unique<TDm>();
        const QString error = RunStartupProvisioning(*dm);
        if (!error.isEmpty())
            qFatal("provisioning failed: %s", qPrintable(error));
    }
    std::unique_ptr<TDm> dm;
};

} // namespace

class TstAddCompany : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void createsTheCompany_data();
    void createsTheCompany();
    void completesAHalfCreatedDatabase();
    void invalidNameCreatesNothing_data();
    void invalidNameCreatesNothing();
    void noClientCreatesNothing();
    void tablesAreTransactionalWhateverTheServerDefault();
};

void TstAddCompany::createsTheCompany_data()
{
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("logged");
    QTest::newRow("blanks as underscores") << QStringLiteral("MAIN_ROAD_STORES") << QStringLiteral("MAIN ROAD STORES");
    // characters the name field lets through and the server only takes quoted
    QTest::newRow("punctuation") << QStringLiteral("JOHN(S)_SHOP_CO@X") << QStringLiteral("JOHN(S) SHOP CO@X");
    QTest::newRow("catalogue width") << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCD")
                                     << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCD");
}

void TstAddCompany::createsTheCompany()
{
    QFETCH(QString, company);
    QFETCH(QString, logged);
    TestEnvironment env;
    Provisioned server;
    TLogBook book;
    setLogBook(&book);

    QString terminalId = QStringLiteral("stale");
    AddCompanyDatabase(*server.dm, company, &terminalId);
    setLogBook(nullptr);
    // the option file with the password lives only while the client runs
    QVERIFY(!QFileInfo::exists(ClientOptionFile()));

    QCOMPARE(tablesOf(company), sortedTableNames());
    // company variant: terminal column in the grids, bill numbers per terminal in the keys
    QCOMPARE(primaryKey(company, QStringLiteral("delivery")), QStringLiteral("sdate,billno,pcid"));
    QCOMPARE(primaryKey(company, QStringLiteral("sales_order")), QStringLiteral("sdate,billno,pcid"));
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from information_schema.columns where table_schema='%1' "
                                              "and table_name='tordergrid' and column_name='pcid'")
                                   .arg(company)),
        1);
    // the counter's lookups (latest stock row, item by name or barcode, bill numbers) have their indexes
    QCOMPARE(TestServer::count(QStringLiteral("select count(distinct index_name) from information_schema.statistics "
                                              "where table_schema='%1' and index_name<>'PRIMARY'")
                                   .arg(company)),
        int(Schema::indexStatements(company).size()));

    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from dbname.dbname")), 1);
    QCOMPARE(TestServer::scalar(QStringLiteral("select cname from dbname.dbname")), company);
    // made at the newest version: no upgrade step is due, and amounts are exact
    QCOMPARE(TestServer::scalar(QStringLiteral("select concat(cname,':',version) from dbname.schema_version")),
        company + QLatin1Char(':') + QString::number(SchemaVersion::current()));
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from information_schema.columns where "
                                              "table_schema='%1' and data_type='float'")
                                   .arg(company)),
        0);

    const QString settings = TestServer::scalar(QStringLiteral(
        "select group_concat(concat(Name,'=',value_) order by Name separator '|') from `%1`.sales_settings")
                                                    .arg(company));
    QCOMPARE(settings,
        QStringLiteral("hold limit=30|minimal=5|minimal value=1|Part payment days=30|purchase=10000|quantity=1000|"
                       "rate=100000|Round amount=not checked|Round Off=2"));
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from `%1`.sales_settings").arg(company)), 9);
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from general_stores.sales_settings")), 0);

    TRegistry reg;
    const QString key = QStringLiteral("Software\\pos\\") + company + QStringLiteral("_settings");
    QStringList names = reg.valueNames(key);
    names.sort();
    QCOMPARE(names,
        (QStringList { QStringLiteral("hold limit"), QStringLiteral("minimal"), QStringLiteral("minimal value"),
            QStringLiteral("purchase"), QStringLiteral("quantity"), QStringLiteral("rate") }));
    QCOMPARE(reg.readString(key, QStringLiteral("rate")), QStringLiteral("100000"));
    QCOMPARE(reg.readString(key, QStringLiteral("minimal")), QStringLiteral("10000"));
    QCOMPARE(reg.readString(key, QStringLiteral("purchase")), QStringLiteral("10000"));
    QCOMPARE(reg.readString(key, QStringLiteral("quantity")), QStringLiteral("100000"));
    QCOMPARE(reg.readString(key, QStringLiteral("hold limit")), QStringLiteral("30"));
    QCOMPARE(reg.readString(key, QStringLiteral("minimal value")), QStringLiteral("0.10"));

    QCOMPARE(terminalId, TestServer::scalar(QStringLiteral("select id from pcmac.pcmac where mac='0a1b2c3d4e5f'")));
    QVERIFY(!terminalId.isEmpty());

    QFile log(book.fileName());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(log.readAll()).contains(QStringLiteral("Company ") + logged + QStringLiteral(" added")));
    // the caller shows the confirmation
    QVERIFY(env.dialogs->messages.isEmpty());
    for (const QString& file : { ProgramPath(QStringLiteral("pos.bat")), ProgramPath(QStringLiteral("posback.bat")) }) {
        QFile bat(file);
        QVERIFY(bat.open(QIODevice::ReadOnly));
        QVERIFY(!bat.readAll().contains(TestServer::settings().password.toUtf8()));
    }
}

void TstAddCompany::completesAHalfCreatedDatabase()
{
    TestEnvironment env;
    Provisioned server;
    // an earlier attempt stopped after some tables and an index
    const QStringList tables = Schema::tableStatements(QStringLiteral("HALF"), Schema::Variant::Company);
    TestServer::exec({ QStringLiteral("create database HALF"), tables.first(),
        tables.at(Schema::tableNames().indexOf(QStringLiteral("item"))),
        Schema::indexStatements(QStringLiteral("HALF")).at(1) });
    QCOMPARE(tablesOf(QStringLiteral("HALF")).size(), 2);

    AddCompanyDatabase(*server.dm, QStringLiteral("HALF"), nullptr);
    QCOMPARE(tablesOf(QStringLiteral("HALF")), sortedTableNames());
    QCOMPARE(TestServer::count(QStringLiteral("select count(distinct index_name) from information_schema.statistics "
                                              "where table_schema='HALF' and index_name<>'PRIMARY'")),
        int(Schema::indexStatements(QStringLiteral("HALF")).size()));
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from HALF.sales_settings")), 9);
}

void TstAddCompany::invalidNameCreatesNothing_data()
{
    QTest::addColumn<QString>("company");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << QStringLiteral("MAIN ROAD");
    QTest::newRow("statement") << QStringLiteral("X;DROP_DATABASE_dbname");
    QTest::newRow("backtick") << QStringLiteral("A`B");
    QTest::newRow("quote") << QStringLiteral("A\"B");
    QTest::newRow("dot") << QStringLiteral("JOHN.CO");
    QTest::newRow("wider than the catalogue") << QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDE");
}

void TstAddCompany::invalidNameCreatesNothing()
{
    QFETCH(QString, company);
    TestEnvironment env;
    Provisioned server;
    const int databases = TestServer::count(QStringLiteral("select count(*) from information_schema.schemata"));
    TLogBook book;
    setLogBook(&book);

    QVERIFY_THROWS_EXCEPTION(EDatabaseError, AddCompanyDatabase(*server.dm, company, nullptr));
    setLogBook(nullptr);
    QVERIFY(book.lines().isEmpty());

    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from information_schema.schemata")), databases);
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from dbname.dbname")), 0);
    QVERIFY(!QFileInfo::exists(ProgramPath(QStringLiteral("pos.bat"))));
    QVERIFY(!TRegistry().keyExists(QStringLiteral("Software\\pos\\") + company + QStringLiteral("_settings")));
}

void TstAddCompany::noClientCreatesNothing()
{
    TestEnvironment env;
    Provisioned server;
    const QByteArray oldPath = qgetenv("PATH");
    QTemporaryDir empty;
    qputenv("PATH", empty.path().toLocal8Bit());

    bool thrown = false;
    try {
        AddCompanyDatabase(*server.dm, QStringLiteral("NEW_SHOP"), nullptr);
    } catch (const EDatabaseError&) {
        thrown = true;
    }
    qputenv("PATH", oldPath);

    QVERIFY(thrown);
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from dbname.dbname")), 0);
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from information_schema.schemata where "
                                              "schema_name='NEW_SHOP'")),
        0);
}

void TstAddCompany::tablesAreTransactionalWhateverTheServerDefault()
{
    // a server whose own default engine knows no transactions
    struct DefaultEngine {
        DefaultEngine() { TestServer::exec({ QStringLiteral("set global default_storage_engine=MyISAM") }); }
        ~DefaultEngine() { TestServer::exec({ QStringLiteral("set global default_storage_engine=InnoDB") }); }
    } myisam;
    TestEnvironment env;
    Provisioned server;
    AddCompanyDatabase(*server.dm, QStringLiteral("NEW_SHOP"), nullptr);
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from information_schema.tables where table_schema in "
                                              "('dbname','pcmac','general_stores','NEW_SHOP')")),
        5 + 2 * int(Schema::tableNames().size())); // the catalogues' own: companies, versions, super-password,
                                                   // terminals, logo
    QCOMPARE(TestServer::scalar(QStringLiteral("select group_concat(distinct engine) from information_schema.tables "
                                               "where table_schema in ('dbname','pcmac','general_stores','NEW_SHOP')")),
        QStringLiteral("InnoDB"));
}

QTEST_GUILESS_MAIN(TstAddCompany)
#include "tst_addcompany.moc"
