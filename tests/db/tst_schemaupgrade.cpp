#include "app/posapplication.h"
#include "app/roster.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "db/schemaupgrade.h"
#include "platform/errors.h"
#include "testsupport.h"

#include <QtTest>

namespace {

const QString kShop = QStringLiteral("OLD_SHOP");

// The company tables as the first version of the program made them: amounts in single-precision
// floats and cheque numbers in 32 bits.
QStringList firstVersionCompany(const QString& db)
{
    QStringList s { QStringLiteral("create database ") + db };
    s << Schema::tableStatements(db, Schema::Variant::Company) << Schema::indexStatements(db);
    const QStringList floats[] = {
        { QStringLiteral("card_details"), QStringLiteral("amount_paid") },
        { QStringLiteral("cash_details"), QStringLiteral("amount_paid") },
        { QStringLiteral("cheque_details"), QStringLiteral("amount_paid") },
        { QStringLiteral("delivery"), QStringLiteral("charges") },
        { QStringLiteral("item"), QStringLiteral("rate"), QStringLiteral("discount"), QStringLiteral("tax") },
        { QStringLiteral("payment_details"), QStringLiteral("amount_paid") },
        { QStringLiteral("sales_order"), QStringLiteral("subtotal"), QStringLiteral("grandtotal"),
            QStringLiteral("total"), QStringLiteral("amount_paid"), QStringLiteral("balance") },
        { QStringLiteral("sales_order_details"), QStringLiteral("rate"), QStringLiteral("quantity"),
            QStringLiteral("price"), QStringLiteral("itax"), QStringLiteral("isubtotal"), QStringLiteral("discount"),
            QStringLiteral("total") },
        { QStringLiteral("tax"), QStringLiteral("rate") },
    };
    for (const QStringList& t : floats) {
        QStringList modify;
        for (const QString& column : t.mid(1))
            modify << QStringLiteral("modify %1 float default NULL").arg(column);
        s << QStringLiteral("alter table %1.%2 %3").arg(db, t.first(), modify.join(QStringLiteral(", ")));
    }
    s << QStringLiteral("alter table %1.cheque_details modify chequeno int(11) NOT NULL").arg(db)
      << QStringLiteral("alter table %1.sales_order drop column lock_pcid").arg(db)
      << QStringLiteral("alter table %1.item drop index item_name, add index item_name (itemname)").arg(db)
      << QStringLiteral("alter table %1.tax drop index tax_date").arg(db)
      << QStringLiteral("alter table %1.tordergrid drop column id").arg(db)
      << QStringLiteral("alter table %1.temp_ordergrid drop column id").arg(db)
      << QStringLiteral("alter table %1.vbilldetails drop column id").arg(db)
      << QStringLiteral("alter table %1.sales_settings drop primary key").arg(db)
      << QStringLiteral("alter table %1.item drop column lock_count").arg(db)
      << QStringLiteral("alter table %1.stock_details drop column lock_count").arg(db);
    return s;
}

// A day's bills as the first version wrote them: every amount a decimal text into a float column.
QStringList firstVersionRows(const QString& db)
{
    return {
        QStringLiteral("insert into %1.item values(1,'RICE','33333.33','7.5','12.5',0,'0')").arg(db),
        QStringLiteral("insert into %1.tax(sdate,rate) values('2026-12-01','12.375')").arg(db),
        QStringLiteral("insert into %1.sales_order(sdate,stime,billno,subtotal,taxcode,total,balance,pcid,amount_paid,"
                       "payment_type,payment_status,grandtotal) values('2026-12-09','10.00.00.000','1','12345.67','1',"
                       "'12345.67','0','1','12345.67','cash','Complete','12345.67'),('2026-12-09','11.00.00.000','2',"
                       "'99999.99','1','99999.99','49999.99','1','50000','cash','Part Payment','99999.99')")
            .arg(db),
        QStringLiteral("insert into %1.cash_details values('1','12345.67','1'),('2','50000','1')").arg(db),
        QStringLiteral("insert into %1.card_details values('3','4444','A','B','150.5','1')").arg(db),
        QStringLiteral("insert into %1.cheque_details values('4','123456','2026-12-20','B','0.1','1')").arg(db),
        QStringLiteral("insert into %1.payment_details values('1','2026-12-09','10:00:00','cash','12345.67','1')")
            .arg(db),
        QStringLiteral("insert into %1.delivery values('2026-12-09','X','10:00:00','2','0','150.5','1')").arg(db),
        QStringLiteral("insert into %1.sales_order_details values('2026-12-09','10.00.00.000','1','1','33333.33','3',"
                       "'99999.99','12.5','99999.99','7.5','1234.56','1')")
            .arg(db),
        // a held bill's saved lines and another terminal's open lines, in the order they were rung up
        QStringLiteral("insert into %1.temp_ordergrid values('ZEBRA','1','1','1','0','1','0','1',1,7),"
                       "('APPLE','2','1','2','0','2','0','2',1,7),('MANGO','3','1','3','0','3','0','3',1,7)")
            .arg(db),
        QStringLiteral("insert into %1.tordergrid values('PEAR','4','1','4','0','4','0','4',2,3,NULL),"
                       "('FIG','5','1','5','0','5','0','5',2,3,NULL)")
            .arg(db),
    };
}

QString scalar(const QString& sql)
{
    return TestServer::scalar(QString(sql).replace(QStringLiteral("$db"), kShop));
}

// The version the upgrade leaves, with no columns pending.
QString upToDate()
{
    return QString::number(SchemaVersion::current()) + QStringLiteral("|-");
}

int floatColumns(const QString& db)
{
    return TestServer::count(
        QStringLiteral("select count(*) from information_schema.columns where table_schema='%1' and data_type='float'")
            .arg(db));
}

} // namespace

class TstSchemaUpgrade : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;

    void startServer(const QStringList& companies)
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        QStringList s { QStringLiteral("create database dbname"),
            QStringLiteral("create table dbname.dbname (cname char(30) NOT NULL) ENGINE=InnoDB") };
        for (const QString& c : companies)
            s << QStringLiteral("insert into dbname.dbname values('%1')").arg(c);
        TestServer::exec(s);
        dm = std::make_unique<TDm>(TestServer::settings());
    }

private Q_SLOTS:
    void cleanup()
    {
        dm.reset();
        env.reset();
    }

    // Amounts written by the first version read back as they were written, and new amounts of any
    // size are kept to the paisa.
    void floatAmountsBecomeTheDecimalsTheyWere()
    {
        startServer({ kShop });
        TestServer::exec(firstVersionCompany(kShop) + firstVersionRows(kShop));
        QCOMPARE(scalar(QStringLiteral("select total from $db.sales_order where billno=1")), QStringLiteral("12345.7"));

        const SchemaVersion::UpgradeReport report = SchemaVersion::upgradeCompanies(*dm);
        QCOMPARE(report.messages.join(QLatin1Char('|')), QString());
        QCOMPARE(report.upgraded, QStringList { kShop });
        QCOMPARE(floatColumns(kShop), 0);
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',version,coalesce(pending,'-')) from "
                                       "dbname.schema_version where cname='$db'")),
            upToDate());
        // its tables have the columns of a new company's, with their types and defaults
        TestServer::exec(QStringList { QStringLiteral("create database FRESH") }
            + Schema::tableStatements(QStringLiteral("FRESH"), Schema::Variant::Company));
        const QString columns = QStringLiteral(
            "select group_concat(concat_ws(' ',table_name,column_name,column_type,is_nullable,column_default) order "
            "by table_name,column_name) from information_schema.columns where table_schema='%1'");
        QCOMPARE(scalar(columns.arg(kShop)), scalar(columns.arg(QStringLiteral("FRESH"))));
        // item names and tax days are unique
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(index_name,':',non_unique) order by index_name) "
                                       "from information_schema.statistics where table_schema='$db' and index_name "
                                       "in ('item_name','tax_date')")),
            QStringLiteral("item_name:0,tax_date:0"));

        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',subtotal,total,amount_paid,balance,grandtotal) from "
                                       "$db.sales_order where billno=1")),
            QStringLiteral("12345.67|12345.67|12345.67|0|12345.67"));
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',total,amount_paid,balance) from $db.sales_order "
                                       "where billno=2")),
            QStringLiteral("99999.99|50000|49999.99"));
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',(select group_concat(amount_paid order by billno) from "
                                       "$db.cash_details),(select amount_paid from $db.card_details),(select "
                                       "amount_paid from $db.cheque_details),(select amount_paid from "
                                       "$db.payment_details),(select charges from $db.delivery))")),
            QStringLiteral("12345.67,50000|150.5|0.1|12345.67|150.5"));
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',rate,discount,tax,(select rate from $db.tax)) from "
                                       "$db.item")),
            QStringLiteral("33333.33|7.5|12.5|12.375"));
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',rate,quantity,price,itax,isubtotal,discount,total) from "
                                       "$db.sales_order_details")),
            QStringLiteral("33333.33|3|99999.99|12.5|99999.99|7.5|1234.56"));

        // the order grids' lines are numbered in the order they were rung up, and the number is their key
        QCOMPARE(scalar(QStringLiteral("select group_concat(itemname order by id) from $db.temp_ordergrid")),
            QStringLiteral("ZEBRA,APPLE,MANGO"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(itemname order by id) from $db.tordergrid")),
            QStringLiteral("PEAR,FIG"));
        // every table has a key, the list of companies too
        QCOMPARE(scalar(QStringLiteral("select count(*) from information_schema.tables t where table_schema in "
                                       "('$db','dbname') and not exists (select 1 from information_schema.statistics "
                                       "s where s.table_schema=t.table_schema and s.table_name=t.table_name and "
                                       "s.index_name='PRIMARY')")),
            QStringLiteral("0"));

        // after it, what the counter writes is kept exactly
        TestServer::exec({ QStringLiteral("update %1.sales_order set total='1234567.89',balance='1234567.89' where "
                                          "billno=2")
                               .arg(kShop),
            QStringLiteral("insert into %1.cheque_details values('5','987654321012','2026-12-20','B',"
                           "'11237499.9887625','1')")
                .arg(kShop) });
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',total,balance) from $db.sales_order where billno=2")),
            QStringLiteral("1234567.89|1234567.89"));
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',chequeno,amount_paid) from $db.cheque_details where "
                                       "billno=5")),
            QStringLiteral("987654321012|11237499.9887625"));

        // a second start finds nothing to do, and changes nothing
        const SchemaVersion::UpgradeReport again = SchemaVersion::upgradeCompanies(*dm);
        QVERIFY(again.upgraded.isEmpty() && again.messages.isEmpty());
        QCOMPARE(
            scalar(QStringLiteral("select total from $db.sales_order where billno=2")), QStringLiteral("1234567.89"));
    }

    // A step broken off after some columns changed type (a power cut, a kill) is taken up again at
    // the next start: the columns written down as changed are still read as what they were given.
    void brokenOffStepIsTakenUpAgain()
    {
        startServer({ kShop });
        TestServer::exec(firstVersionCompany(kShop) + firstVersionRows(kShop));
        TestServer::exec({ QStringLiteral("create table dbname.schema_version (cname char(30) NOT NULL, version int "
                                          "NOT NULL, pending text, PRIMARY KEY (cname)) ENGINE=InnoDB"),
            QStringLiteral(
                "insert into dbname.schema_version values('%1',1,'sales_order.total cash_details.amount_paid')")
                .arg(kShop),
            QStringLiteral("alter table %1.sales_order modify total decimal(40,20) default NULL").arg(kShop),
            QStringLiteral("alter table %1.cash_details modify amount_paid decimal(40,20) default NULL").arg(kShop) });
        QCOMPARE(scalar(QStringLiteral("select total from $db.sales_order where billno=1")),
            QStringLiteral("12345.669921875"));

        QCOMPARE(SchemaVersion::upgradeCompanies(*dm).upgraded, QStringList { kShop });
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',total,subtotal) from $db.sales_order where billno=1")),
            QStringLiteral("12345.67|12345.67"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(amount_paid order by billno) from $db.cash_details")),
            QStringLiteral("12345.67,50000"));
        QCOMPARE(
            scalar(QStringLiteral("select concat_ws('|',version,coalesce(pending,'-')) from dbname.schema_version")),
            upToDate());
    }

    // A company the previous version brought up to date takes only the steps after its own; its
    // grid lines get their numbers in the order they were written.
    void laterStepsOnlyFromTheCompanysVersion()
    {
        startServer({ kShop });
        TestServer::exec(firstVersionCompany(kShop) + firstVersionRows(kShop));
        TestServer::exec({ QStringLiteral("create table dbname.schema_version (cname char(30) NOT NULL, version int "
                                          "NOT NULL, pending text, PRIMARY KEY (cname)) ENGINE=InnoDB"),
            QStringLiteral("insert into dbname.schema_version values('%1',2,NULL)").arg(kShop) });
        QCOMPARE(SchemaVersion::upgradeCompanies(*dm).upgraded, QStringList { kShop });
        QVERIFY(floatColumns(kShop) > 0); // the step to version 2 was not taken again
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(itemname,':',id) order by id) from "
                                       "$db.temp_ordergrid")),
            QStringLiteral("ZEBRA:1,APPLE:2,MANGO:3"));
        // new lines follow the old ones
        TestServer::exec({ QStringLiteral("insert into %1.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,"
                                          "discount,total,pcid,billno) values('KIWI','1','1','1','0','1','0','1',1,7)")
                               .arg(kShop) });
        QCOMPARE(
            scalar(QStringLiteral("select id from $db.temp_ordergrid where itemname='KIWI'")), QStringLiteral("4"));
        QCOMPARE(
            scalar(QStringLiteral("select concat_ws('|',version,coalesce(pending,'-')) from dbname.schema_version")),
            upToDate());
    }

    // The users' database takes the passwords' hashes and keys its tables as the companies do.
    void usersDatabaseTakesHashes()
    {
        startServer({});
        QStringList s { QStringLiteral("create database general_stores") };
        s << Schema::tableStatements(QStringLiteral("general_stores"), Schema::Variant::GeneralStores)
          << QStringLiteral("alter table general_stores.login modify password char(15) default NULL")
          << QStringLiteral("alter table general_stores.tordergrid drop column id")
          << QStringLiteral("alter table general_stores.sales_settings drop primary key")
          << QStringLiteral("insert into general_stores.login values('anil','Secret12','admin','f')");
        TestServer::exec(s);
        const SchemaVersion::UpgradeReport report = SchemaVersion::upgradeCompanies(*dm);
        QCOMPARE(report.messages.join(QLatin1Char('|')), QString());
        QCOMPARE(scalar(QStringLiteral("select concat(data_type,character_maximum_length) from "
                                       "information_schema.columns where table_schema='general_stores' and "
                                       "table_name='login' and column_name='password'")),
            QStringLiteral("varchar128"));
        QCOMPARE(scalar(QStringLiteral("select password from general_stores.login")), QStringLiteral("Secret12"));
        QCOMPARE(scalar(QStringLiteral("select count(*) from information_schema.tables t where "
                                       "table_schema='general_stores' and not exists (select 1 from "
                                       "information_schema.statistics s where s.table_schema=t.table_schema and "
                                       "s.table_name=t.table_name and s.index_name='PRIMARY')")),
            QStringLiteral("0"));
    }

    // Settings or companies listed twice keep their rows, with a note; the rest of the step is done.
    void rowsListedTwiceAreNamed()
    {
        startServer({ kShop, kShop });
        TestServer::exec(firstVersionCompany(kShop)
            << QStringLiteral("insert into %1.sales_settings values('quantity','10'),('quantity','20')").arg(kShop));
        const SchemaVersion::UpgradeReport report = SchemaVersion::upgradeCompanies(*dm);
        QCOMPARE(report.messages.size(), 2);
        QVERIFY2(report.messages.at(0).contains(kShop), qPrintable(report.messages.at(0)));
        QVERIFY2(report.messages.at(1).contains(QLatin1String("quantity")), qPrintable(report.messages.at(1)));
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.sales_settings")), QStringLiteral("2"));
        QCOMPARE(scalar(QStringLiteral("select count(*) from dbname.dbname")), QStringLiteral("2"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(itemname order by id) from $db.tordergrid")), QString());
        QCOMPARE(scalar(QStringLiteral("select version from dbname.schema_version")),
            QString::number(SchemaVersion::current()));
    }

    // Names or days stored twice before they were kept unique are left as they are, with a note
    // naming them; the rest of the step is done.
    void valuesStoredTwiceKeepTheirIndex()
    {
        startServer({ kShop });
        TestServer::exec(firstVersionCompany(kShop)
            << QStringLiteral("insert into %1.item(itemname,rate) values('Salt','10'),('SALT','12'),('RICE','50')")
                   .arg(kShop)
            << QStringLiteral("insert into %1.tax(sdate,rate) values('2026-12-01','5'),('2026-12-01','6')").arg(kShop));
        const SchemaVersion::UpgradeReport report = SchemaVersion::upgradeCompanies(*dm);
        QCOMPARE(report.upgraded, QStringList { kShop });
        QCOMPARE(report.messages.size(), 2);
        QVERIFY2(report.messages.at(0).contains(QLatin1String("item names"))
                && report.messages.at(0).contains(QLatin1String("Salt")),
            qPrintable(report.messages.at(0)));
        QVERIFY2(report.messages.at(1).contains(QLatin1String("2026-12-01")), qPrintable(report.messages.at(1)));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(index_name,':',non_unique) order by index_name) "
                                       "from information_schema.statistics where table_schema='$db' and index_name "
                                       "in ('item_name','tax_date')")),
            QStringLiteral("item_name:1"));
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.item")), QStringLiteral("3"));
        QCOMPARE(floatColumns(kShop), 0);
    }

    // A company whose database is gone is left with a message; the others are upgraded.
    void missingCompanyIsLeftWithAMessage()
    {
        startServer({ QStringLiteral("GONE_SHOP"), kShop });
        TestServer::exec(firstVersionCompany(kShop));
        const SchemaVersion::UpgradeReport report = SchemaVersion::upgradeCompanies(*dm);
        QCOMPARE(report.upgraded, QStringList { kShop });
        QCOMPARE(report.messages.size(), 1);
        QVERIFY(report.messages.first().contains(QLatin1String("GONE SHOP")));
        QCOMPARE(floatColumns(kShop), 0);
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from dbname.schema_version where version=%1")
                                       .arg(SchemaVersion::current())),
            1);
    }

    // A terminal of an older version refuses to start against newer databases, before it writes
    // anything: not even its registration or the catalogues.
    void olderProgramRefusesToStartAndWritesNothing()
    {
        startServer({ kShop });
        TestServer::exec({ QStringLiteral("create table dbname.schema_version (cname char(30) NOT NULL, version int "
                                          "NOT NULL, pending text, PRIMARY KEY (cname)) ENGINE=InnoDB"),
            QStringLiteral("insert into dbname.schema_version values('%1',%2,NULL)")
                .arg(kShop)
                .arg(SchemaVersion::current() + 1) });
        QVERIFY(!SchemaVersion::refusalForOlderProgram(*dm).isEmpty());
        dm.reset();

        QVERIFY_THROWS_EXCEPTION(PosError, roster().create());
        QVERIFY(ProgramTerminated());
        ClearProgramTermination();
        QCOMPARE(env->dialogs->messages.size(), 1);
        QCOMPARE(env->dialogs->messages.first().kind, 1);
        QVERIFY(env->dialogs->messages.first().text.contains(QLatin1String("older than the shop's databases")));
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from information_schema.schemata where "
                                                  "schema_name in ('pcmac','general_stores')")),
            0);
        roster().destroy();
    }

    // Without a catalogue (a new server) there is nothing to upgrade and nothing to refuse.
    void newServerHasNothingToDo()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        dm = std::make_unique<TDm>(TestServer::settings());
        QVERIFY(SchemaVersion::refusalForOlderProgram(*dm).isEmpty());
        const SchemaVersion::UpgradeReport report = SchemaVersion::upgradeCompanies(*dm);
        QVERIFY(report.upgraded.isEmpty() && report.messages.isEmpty());
    }
};

QTEST_MAIN(TstSchemaUpgrade)
#include "tst_schemaupgrade.moc"
