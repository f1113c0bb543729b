// The start-of-day maintenance against the test server: day counts, giving goods back, bills
// cancelled by hand, missing rows, broken limits, companies without their database, the daily
// snapshot, log lines of cancels undone or run again, and a sale or a purchase on another
// terminal at the same moment.
#include "backoffice/Purchasepas.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "log/U_LogBook.h"
#include "login/adminoptpas.h"
#include "platform/latin1.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>
#include <functional>
#include <future>
#include <thread>

namespace {

const QDate kDay(2026, 11, 1);

struct Line {
    QString item;
    QString quantity;
};

const QStringList kCompanies { S("SHOP"), S("MAIN_ROAD"), S("A_SHOP"), S("B_SHOP") };

// The databases are made once; each test starts from empty tables.
void createDatabases()
{
    TestServer::dropAllDatabases();
    // the connections start in the users' database
    QStringList s { S("create database general_stores"), S("create database dbname"),
        S("create table dbname.dbname (cname char(30) not null)") };
    for (const QString& db : kCompanies)
        s << S("create database ") + db << Schema::tableStatements(db, Schema::Variant::Company)
          << Schema::indexStatements(db);
    TestServer::exec(s);
}

void emptyDatabases()
{
    QStringList s { S("delete from dbname.dbname") };
    for (const QString& db : kCompanies) {
        for (const QString& table : Schema::tableNames())
            s << S("delete from %1.%2").arg(db, table);
    }
    TestServer::exec(s);
}

// A catalogued company with its two limits (a null text: no row).
void createCompany(const QString& db, const QString& holdLimit = S("30"), const QString& partDays = S("30"))
{
    QStringList s { S("insert into dbname.dbname values ('%1')").arg(db) };
    if (!holdLimit.isNull())
        s << S("insert into %1.sales_settings values ('hold limit','%2')").arg(db, holdLimit);
    if (!partDays.isNull())
        s << S("insert into %1.sales_settings values ('Part payment days','%2')").arg(db, partDays);
    TestServer::exec(s);
}

// An item with an old ledger row and its latest one (closing < 0: no ledger rows).
void addItem(const QString& db, int code, const QString& name, int closing)
{
    QStringList s { S("insert into %1.item(itemcode,itemname) values (%2,'%3')").arg(db).arg(code).arg(name) };
    if (closing >= 0)
        s << S("insert into %1.stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
               "values('2026-01-05',%2,500,0,500,0), ('2026-10-20',%2,%3,0,%3,0)")
                 .arg(db)
                 .arg(code)
                 .arg(closing);
    TestServer::exec(s);
}

// A bill with its saved lines and a row in every payment table.
void addBill(const QString& db, int billNo, int terminal, const QDate& day, const QString& status,
    const QList<Line>& lines, const QString& holdEntry = QString())
{
    QStringList s { S("insert into %1.sales_order(sdate,stime,billno,total,amount_paid,balance,payment_status,"
                      "hold_entry,pcid) values ('%2','10.00.00.000',%3,50,20,30,'%4',%5,%6)")
                        .arg(db, day.toString(Qt::ISODate))
                        .arg(billNo)
                        .arg(status, holdEntry.isNull() ? S("NULL") : S("'") + holdEntry + S("'"))
                        .arg(terminal),
        S("insert into %1.payment_details(billno,sdate,payment_type,amount_paid,pcid) values (%2,'cash',20,%3)")
            .arg(db, S("%1,'%2'").arg(billNo).arg(day.toString(Qt::ISODate)))
            .arg(terminal),
        S("insert into %1.cash_details values (%2,20,%3)").arg(db).arg(billNo).arg(terminal),
        S("insert into %1.card_details(billno,cardno,pcid) values (%2,1234,%3)").arg(db).arg(billNo).arg(terminal),
        S("insert into %1.cheque_details(billno,chequeno,pcid) values (%2,77,%3)").arg(db).arg(billNo).arg(terminal),
        S("insert into %1.delivery(sdate,billno,pcid) values ('%2',%3,%4)")
            .arg(db, day.toString(Qt::ISODate))
            .arg(billNo)
            .arg(terminal),
        S("insert into %1.sales_order_details(billno,itemcode,stime,pcid) values (%2,1,'10.00.00.000',%3)")
            .arg(db)
            .arg(billNo)
            .arg(terminal) };
    for (const Line& l : lines)
        s << S("insert into %1.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
               "values ('%2','1','%3','1','0','1','0','1',%4,%5)")
                 .arg(db, l.item, l.quantity)
                 .arg(terminal)
                 .arg(billNo);
    TestServer::exec(s);
}

int closing(const QString& db, int code, const QString& day = S("2026-10-20"))
{
    return TestServer::count(
        S("select closing_stock from %1.stock_details where itemcode=%2 and sdate='%3'").arg(db).arg(code).arg(day));
}

int billRows(const QString& db, int billNo, int terminal)
{
    int n = 0;
    for (const char* table : { "sales_order", "payment_details", "cash_details", "card_details", "cheque_details",
             "delivery", "sales_order_details" })
        n += TestServer::count(S("select count(*) from %1.%2 where billno=%3 and pcid=%4")
                                   .arg(db, QLatin1String(table))
                                   .arg(billNo)
                                   .arg(terminal));
    return n;
}

QString logText()
{
    QString text;
    const QDir dir(S("LogFiles"));
    for (const QString& f : dir.entryList(QDir::Files)) {
        QFile file(dir.filePath(f));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

// One row of a data table.
template <typename... Values> void row(const char* name, const Values&... values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace

class TstMaintenance : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TLogBook> book;
    std::unique_ptr<TDm> dm;

    void at(int days, QTime time = QTime(9, 0)) { env->clock->set(QDateTime(kDay.addDays(days), time)); }

private Q_SLOTS:
    void initTestCase() { createDatabases(); }

    void init()
    {
        env = std::make_unique<TestEnvironment>();
        book = std::make_unique<TLogBook>();
        setLogBook(book.get());
        emptyDatabases();
        dm = std::make_unique<TDm>(TestServer::settings());
    }

    void cleanup()
    {
        dm.reset();
        setLogBook(nullptr);
        book.reset();
        env.reset();
    }

    void dayCounts_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("holdLimit");
        QTest::addColumn<QString>("partDays");
        QTest::addColumn<int>("billDay"); // days after kDay
        QTest::addColumn<int>("startDay");
        QTest::addColumn<QTime>("startTime");
        QTest::addColumn<bool>("cancelled");
        const QTime nine(9, 0);
        row("held, day 29 of 30", "Hold", "30", "0", 0, 29, QTime(23, 59), false);
        row("held, day 30 of 30", "Hold", "30", "0", 0, 30, QTime(0, 1), true);
        row("held, later", "hold", "30", "0", 0, 45, nine, true);
        row("held, limit 0 same day", "Hold", "0", "30", 3, 3, nine, true);
        row("held, dated tomorrow, limit 0", "Hold", "0", "30", 4, 3, nine, true);
        row("held, dated tomorrow, limit 1", "Hold", "1", "30", 4, 3, nine, false);
        row("part paid, day 29", "Part Payment", "0", "30", 0, 29, nine, false);
        row("part paid, day 30", "Part Payment", "0", "30", 0, 30, nine, true);
        row("complete, never", "Complete", "0", "0", 0, 400, nine, false);
    }

    void dayCounts()
    {
        QFETCH(QString, status);
        QFETCH(QString, holdLimit);
        QFETCH(QString, partDays);
        QFETCH(int, billDay);
        QFETCH(int, startDay);
        QFETCH(QTime, startTime);
        QFETCH(bool, cancelled);
        createCompany(S("SHOP"), holdLimit, partDays);
        addItem(S("SHOP"), 1, S("RICE"), 10);
        addBill(S("SHOP"), 5, 1, kDay.addDays(billDay), status, { { S("RICE"), S("3") } });
        at(startDay, startTime);

        const MaintenanceReport report = RunStartOfDayMaintenance(*dm);
        QCOMPARE(report.cancelledBills, cancelled ? 1 : 0);
        QCOMPARE(billRows(S("SHOP"), 5, 1), cancelled ? 0 : 7);
        QCOMPARE(closing(S("SHOP"), 1), cancelled ? 13 : 10);
        QVERIFY(report.messages.isEmpty());
    }

    // An expired bill a cashier has taken for payment stays until the terminal lets go of it.
    void billTakenForPaymentWaits()
    {
        createCompany(S("SHOP"));
        addItem(S("SHOP"), 1, S("RICE"), 10);
        addBill(S("SHOP"), 4, 1, kDay, S("Part Payment"), { { S("RICE"), S("3") } });
        TestServer::exec({ S("update SHOP.sales_order set bool_access='t'") });
        at(30);
        QCOMPARE(RunStartOfDayMaintenance(*dm).cancelledBills, 0);
        QCOMPARE(billRows(S("SHOP"), 4, 1), 7);
        QVERIFY(logText().contains(S("bill 1/4 is taken for payment at a terminal, left for the next start")));
        TestServer::exec({ S("update SHOP.sales_order set bool_access='f'") });
        QCOMPARE(RunStartOfDayMaintenance(*dm).cancelledBills, 1);
        QCOMPARE(closing(S("SHOP"), 1), 13);
    }

    void cancellingGivesGoodsBackOnce()
    {
        createCompany(S("MAIN_ROAD"));
        addItem(S("MAIN_ROAD"), 1, S("RICE"), 10);
        addItem(S("MAIN_ROAD"), 2, S("SUGAR"), 4);
        // the same bill number on another terminal, stored first, is not expired and stays
        addBill(S("MAIN_ROAD"), 7, 2, kDay.addDays(20), S("Hold"), { { S("RICE"), S("5") } });
        addBill(S("MAIN_ROAD"), 7, 1, kDay, S("Hold"), { { S("RICE"), S("3") }, { S("SUGAR"), S("2") } });
        // cancelled by hand on the payment details screen: its goods came back then
        addBill(S("MAIN_ROAD"), 8, 1, kDay, S("Hold"), { { S("RICE"), S("4") } }, S("N"));
        addBill(S("MAIN_ROAD"), 9, 1, kDay, S("Part Payment"), { { S("SUGAR"), S("1") } });
        at(31);

        const MaintenanceReport report = RunStartOfDayMaintenance(*dm);
        QCOMPARE(report.cancelledBills, 3);
        QCOMPARE(report.skippedLines, 0);
        QCOMPARE(closing(S("MAIN_ROAD"), 1), 13);
        QCOMPARE(closing(S("MAIN_ROAD"), 2), 7);
        QCOMPARE(closing(S("MAIN_ROAD"), 1, S("2026-01-05")), 500);
        for (int bill : { 7, 8, 9 })
            QCOMPARE(billRows(S("MAIN_ROAD"), bill, 1), 0);
        QCOMPARE(billRows(S("MAIN_ROAD"), 7, 2), 7);
        // the saved lines stay
        QCOMPARE(TestServer::count(S("select count(*) from MAIN_ROAD.temp_ordergrid where pcid=1")), 4);
        QVERIFY(TRegistry().keyExists(S("Software\\pos\\MAIN_ROAD_settings")));
        const QString log = logText();
        QVERIFY2(log.contains(S("bill 1/7 cancelled, status Hold, amount paid 20")), qPrintable(log));
        QVERIFY(log.contains(S("bill 1/9 cancelled, status Part Payment, amount paid 20")));
        QVERIFY(log.contains(S("bill 1/8 cancelled, status Hold, amount paid 20, goods given back before")));
    }

    void missingRowsAreSkipped()
    {
        createCompany(S("SHOP"));
        addItem(S("SHOP"), 1, S("RICE"), 10);
        addItem(S("SHOP"), 2, S("SALT"), -1);
        addBill(S("SHOP"), 3, 1, kDay, S("Hold"),
            { { S("GONE"), S("2") }, { S("SALT"), S("2") }, { S("RICE"), S("2.5") }, { S("RICE"), S("3") } });
        at(40);

        const MaintenanceReport report = RunStartOfDayMaintenance(*dm);
        QCOMPARE(report.cancelledBills, 1);
        QCOMPARE(report.skippedLines, 3);
        QCOMPARE(closing(S("SHOP"), 1), 13);
        QCOMPARE(billRows(S("SHOP"), 3, 1), 0);
        const QString log = logText();
        QVERIFY(log.contains(S("item GONE no longer exists")));
        QVERIFY(log.contains(S("item SALT has no stock row")));
        QVERIFY(log.contains(S("quantity \"2.5\" of item RICE is not a whole number")));
    }

    void badLimitStopsOnlyThatPass_data()
    {
        QTest::addColumn<QString>("holdLimit");
        row("missing", QString());
        row("empty", "");
        row("not a number", "30 days");
        row("decimal", "2.5");
    }

    void badLimitStopsOnlyThatPass()
    {
        QFETCH(QString, holdLimit);
        createCompany(S("A_SHOP"), holdLimit, S("30"));
        createCompany(S("B_SHOP"));
        for (const QString& db : { S("A_SHOP"), S("B_SHOP") }) {
            addItem(db, 1, S("RICE"), 10);
            addBill(db, 1, 1, kDay, S("Hold"), { { S("RICE"), S("1") } });
            addBill(db, 2, 1, kDay, S("Part Payment"), { { S("RICE"), S("1") } });
        }
        at(60);

        const MaintenanceReport report = RunStartOfDayMaintenance(*dm);
        QCOMPARE(report.messages,
            QStringList { S("The held bills of company A SHOP were not checked: its \"hold limit\" setting is missing "
                            "or not a whole number") });
        QCOMPARE(billRows(S("A_SHOP"), 1, 1), 7);
        QCOMPARE(billRows(S("A_SHOP"), 2, 1), 0);
        QCOMPARE(billRows(S("B_SHOP"), 1, 1), 0);
        QCOMPARE(billRows(S("B_SHOP"), 2, 1), 0);
        QCOMPARE(closing(S("A_SHOP"), 1), 11);
        QVERIFY(logText().contains(report.messages.first()));
    }

    // A catalogued company whose database or tables are gone is left out with a message; the
    // others are still done, and the program starts.
    void companyWithoutItsDatabaseOrTablesIsLeftOut_data()
    {
        QTest::addColumn<QString>("company");
        QTest::addColumn<QStringList>("made"); // statements that make what there is of it
        QTest::addColumn<QString>("message");
        row("database missing", S("GONE_SHOP"), QStringList(),
            S("Company GONE SHOP was left out of the start of day: its database is missing"));
        QStringList half { S("create database HALF_SHOP") };
        for (const QString& statement : Schema::tableStatements(S("HALF_SHOP"), Schema::Variant::Company)) {
            if (!statement.contains(S(".stock_details (")) && !statement.contains(S(".tordergrid (")))
                half << statement;
        }
        row("tables missing", S("HALF_SHOP"), half,
            S("Company HALF SHOP was left out of the start of day: its tables stock_details, tordergrid are "
              "missing"));
        row("database named in other letter case", S("shop"), QStringList(),
            S("Company shop was left out of the start of day: its database is missing"));
        row("a name no database can have", S("NO.SHOP"), QStringList(),
            S("Company NO.SHOP was left out of the start of day: its name is not a database name"));
    }
    void companyWithoutItsDatabaseOrTablesIsLeftOut()
    {
        QFETCH(QString, company);
        QFETCH(QStringList, made);
        QFETCH(QString, message);
        TestServer::exec({ S("drop database if exists HALF_SHOP") });
        if (!made.isEmpty())
            TestServer::exec(made);
        // catalogued before a company that is whole
        TestServer::exec({ S("insert into dbname.dbname values ('%1')").arg(company) });
        createCompany(S("SHOP"));
        addItem(S("SHOP"), 1, S("RICE"), 10);
        addBill(S("SHOP"), 5, 1, kDay, S("Hold"), { { S("RICE"), S("3") } });
        at(30);

        const MaintenanceReport report = RunStartOfDayMaintenance(*dm);
        TestServer::exec({ S("drop database if exists HALF_SHOP") });
        QCOMPARE(report.messages, QStringList { message });
        QCOMPARE(report.cancelledBills, 1);
        QCOMPARE(closing(S("SHOP"), 1), 13);
        QVERIFY(logText().contains(message));
    }

    // A purchase opens today's ledger row for RICE while the expiry of a bill holding RICE waits
    // for the item: the give-back lands on the new row, the current stock, never on the row before.
    void expiryWhileAPurchaseOpensTheDaysRow()
    {
        createCompany(S("SHOP"));
        addItem(S("SHOP"), 1, S("RICE"), 10);
        // the same bill number on another terminal, stored first and not expired, stays
        addBill(S("SHOP"), 4, 2, kDay.addDays(25), S("Hold"), { { S("RICE"), S("5") } });
        addBill(S("SHOP"), 4, 1, kDay, S("Hold"), { { S("RICE"), S("3") } });
        at(30);
        const QString today = kDay.addDays(30).toString(Qt::ISODate);

        const auto terminal = [](const std::function<void(TDm&)>& work) {
            return std::unique_ptr<QThread>(QThread::create([work] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(S("SHOP"), true);
                work(own);
            }));
        };
        std::unique_ptr<QThread> purchase
            = terminal([today](TDm& own) { BookPurchase(own, today, S("RICE"), 2, QString(), true); });
        MaintenanceReport report;
        std::unique_ptr<QThread> expiry
            = terminal([&report](TDm& own) { report = RunStartOfDayMaintenance(own, { S("SHOP") }); });
        // the terminals end also when a check below fails: the held row is let go first
        struct Finish {
            QThread& one;
            QThread& two;
            ~Finish()
            {
                one.wait(20000);
                two.wait(20000);
            }
        } finish { *purchase, *expiry };
        {
            // a line check on the counter holds RICE's current row
            TDm counter(TestServer::settings());
            counter.setCompanyDatabase(S("SHOP"), true);
            TTransaction check(counter.MyConposorderitem, Isolation::ReadCommitted);
            counter.MyQposorderitem.exec(
                S("select closing_stock from stock_details where itemcode=1 and sdate='2026-10-20' for update"));
            purchase->start();
            QVERIFY(TestServer::waitForLockWaits(1));
            expiry->start();
            QVERIFY(TestServer::waitForLockWaits(2));
            check.commit();
        }
        QVERIFY(purchase->wait(20000));
        QVERIFY(expiry->wait(20000));
        QCOMPARE(report.cancelledBills, 1);
        QCOMPARE(billRows(S("SHOP"), 4, 1), 0);
        QCOMPARE(billRows(S("SHOP"), 4, 2), 7);
        QCOMPARE(closing(S("SHOP"), 1), 10);
        QCOMPARE(TestServer::scalar(
                     S("select concat_ws(',',opening_stock,purchase,closing_stock) from SHOP.stock_details where "
                       "itemcode=1 and sdate='%1'")
                         .arg(today)),
            S("10,2,15"));
    }

    // The log lines of a cancel are written once it is committed: once when it ran again after a
    // deadlock, not at all when it was undone.
    void cancelsLogWhatWasKept_data()
    {
        QTest::addColumn<QString>("failure"); // what the refused statement answers
        QTest::addColumn<int>("cancelled");
        QTest::addColumn<int>("logged");
        row("deadlock, then run again", "sqlstate '40001' set mysql_errno=1213, message_text='injected deadlock'", 1,
            1);
        row("refused", "sqlstate '45000' set message_text='injected failure'", 0, 0);
    }
    void cancelsLogWhatWasKept()
    {
        QFETCH(QString, failure);
        QFETCH(int, cancelled);
        QFETCH(int, logged);
        createCompany(S("SHOP"));
        addItem(S("SHOP"), 1, S("RICE"), 10);
        addBill(S("SHOP"), 3, 1, kDay, S("Hold"),
            { { S("GONE"), S("2") }, { S("RICE"), S("2.5") }, { S("RICE"), S("3") } });
        at(40);
        // the cancel's deletes come after its give-backs; the first one is refused once
        TestServer::exec({ S("drop trigger if exists SHOP.inject"),
            S("create trigger SHOP.inject before delete on SHOP.cash_details for each row begin if @injected is null "
              "then set @injected=1; signal %1; end if; end")
                .arg(failure) });
        QString error;
        MaintenanceReport report;
        try {
            report = RunStartOfDayMaintenance(*dm);
        } catch (const EDatabaseError& e) {
            error = e.message();
        }
        TestServer::exec({ S("drop trigger SHOP.inject") });
        QCOMPARE(error.isEmpty(), cancelled == 1);
        QCOMPARE(report.cancelledBills, cancelled);
        QCOMPARE(closing(S("SHOP"), 1), cancelled ? 13 : 10);
        QCOMPARE(billRows(S("SHOP"), 3, 1), cancelled ? 0 : 7);
        const QString log = logText();
        QCOMPARE(int(log.count(S("item GONE no longer exists"))), logged);
        QCOMPARE(int(log.count(S("quantity \"2.5\" of item RICE is not a whole number"))), logged);
    }

    void snapshotOncePerDay()
    {
        createCompany(S("SHOP"));
        addItem(S("SHOP"), 1, S("RICE"), 10); // snapshot of an older day: rewritten
        addItem(S("SHOP"), 2, S("SALT"), 20); // no snapshot row: written
        addItem(S("SHOP"), 3, S("OIL"), 30); // snapshot of today: kept
        addItem(S("SHOP"), 4, S("TEA"), 40); // moved today: left alone
        addItem(S("SHOP"), 5, S("JAM"), -1); // no ledger rows: nothing to write
        addItem(S("SHOP"), 6, S("GONE"), 60); // no longer an item: its old snapshot stays
        TestServer::exec({ S("insert into SHOP.itemdetails values (1,3,'2026-10-25'), (3,99,'2026-11-01'), "
                             "(4,98,'2026-10-01'), (6,7,'2026-10-25')"),
            S("insert into SHOP.stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
              "values('2026-11-01',4,40,0,41,0)"),
            S("delete from SHOP.item where itemcode=6") });
        at(0);
        const QString rows = S("select group_concat(concat(itemcode,':',closing_stock,':',date_stock) order by "
                               "itemcode) from SHOP.itemdetails");

        RunStartOfDayMaintenance(*dm);
        QCOMPARE(TestServer::scalar(rows),
            S("1:10:2026-11-01,2:20:2026-11-01,3:99:2026-11-01,4:98:2026-10-01,6:7:2026-10-25"));

        // a second start the same day writes nothing, whatever the stock did since
        TestServer::exec({ S("update SHOP.stock_details set closing_stock=closing_stock+5") });
        at(0, QTime(18, 0));
        RunStartOfDayMaintenance(*dm);
        QCOMPARE(TestServer::scalar(rows),
            S("1:10:2026-11-01,2:20:2026-11-01,3:99:2026-11-01,4:98:2026-10-01,6:7:2026-10-25"));

        at(1);
        RunStartOfDayMaintenance(*dm);
        QCOMPARE(TestServer::scalar(rows),
            S("1:15:2026-11-02,2:25:2026-11-02,3:35:2026-11-02,4:46:2026-11-02,6:7:2026-10-25"));
    }

    void anotherTerminalAtTheSameMoment_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<int>("stock");
        QTest::addColumn<int>("billRowsLeft");
        row("sells the item",
            "update SHOP.stock_details set closing_stock=closing_stock-2 where "
            "itemcode=1 and sdate='2026-10-20'",
            11, 0);
        row("settles the bill", "update SHOP.sales_order set payment_status='Complete' where billno=4", 10, 7);
        row("takes the bill for payment", "update SHOP.sales_order set bool_access='t' where billno=4", 10, 7);
    }

    // Another terminal changes a row and commits while the maintenance waits for it.
    void anotherTerminalAtTheSameMoment()
    {
        QFETCH(QString, statement);
        QFETCH(int, stock);
        QFETCH(int, billRowsLeft);
        createCompany(S("SHOP"));
        addItem(S("SHOP"), 1, S("RICE"), 10);
        addBill(S("SHOP"), 4, 1, kDay, S("Hold"), { { S("RICE"), S("3") } });
        at(30);

        std::promise<void> changed;
        std::thread counter([&changed, statement] {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(S("QMYSQL"), S("counter2"));
                const ConnectionSettings s = TestServer::settings();
                db.setHostName(s.server);
                db.setPort(s.port.toInt());
                db.setUserName(s.userName);
                db.setPassword(s.password);
                db.open();
                QSqlQuery q(db);
                q.exec(S("start transaction"));
                q.exec(statement);
                changed.set_value();
                QThread::msleep(300);
                q.exec(S("commit"));
                db.close();
            }
            QSqlDatabase::removeDatabase(S("counter2"));
        });
        changed.get_future().wait();
        const MaintenanceReport report = RunStartOfDayMaintenance(*dm);
        counter.join();
        QCOMPARE(closing(S("SHOP"), 1), stock);
        QCOMPARE(billRows(S("SHOP"), 4, 1), billRowsLeft);
        QCOMPARE(report.cancelledBills, billRowsLeft ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TstMaintenance)
#include "tst_maintenance.moc"
