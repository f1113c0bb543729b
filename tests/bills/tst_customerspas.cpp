// Customers, home delivery, customer history and the bill details report through the procedures
// their screens call.
#include "../sales/salesfixture.h"
#include "bills/custdetailspas.h"
#include "bills/customerhistorypas.h"
#include "bills/homedeliverypas.h"
#include "bills/viewbilldetailspas.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "testsupport.h"

#include <QThread>
#include <QtTest>

namespace {

const QString kDb = QStringLiteral("CUSTOMERS");

QString scalar(const QString& sql)
{
    return TestServer::scalar(QString(sql).replace(QStringLiteral("$db"), kDb));
}

void exec(const QString& sql)
{
    TestServer::exec({ QString(sql).replace(QStringLiteral("$db"), kDb) });
}

// A bill header: "terminal/bill total paid balance status date [delivery]".
void addBill(const QString& row)
{
    const QStringList f = row.split(QLatin1Char(' '));
    const QStringList key = f[0].split(QLatin1Char('/'));
    exec(QStringLiteral("insert into $db.sales_order(sdate,billno,total,grandtotal,amount_paid,balance,payment_status,"
                        "delivery,pcid) values('%1',%2,%3,%3,%4,%5,%6,'%7',%8)")
             .arg(f[5], key[1], f[1], f[2] == QLatin1String("-") ? QStringLiteral("null") : f[2], f[3],
                 f[4] == QLatin1String("-") ? QStringLiteral("null")
                                            : QLatin1Char('\'')
                         + QString(f[4]).replace(QLatin1Char('_'), QLatin1Char(' ')) + QLatin1Char('\''),
                 f.value(6, QStringLiteral("Take Away")).replace(QLatin1Char('_'), QLatin1Char(' ')), key[0]));
}

// Waits (a few seconds at most) until a statement of another connection has been waiting for a
// while: on this quiet server, one that waits for a row lock.
bool someoneWaitsForALock()
{
    for (int i = 0; i < 400; ++i) {
        if (TestServer::count(QStringLiteral("select count(*) from information_schema.processlist where "
                                             "command='Query' and time_ms>300 and info not like '%processlist%'"))
            > 0)
            return true;
        QThread::msleep(10);
    }
    return false;
}

// Runs `work` as another terminal (its own connections, on a thread of its own) while this one
// holds a transaction open with `statement` in it, and commits that once `work` waits for its
// locks. Empty when all went so; otherwise what went wrong.
template <typename Work> QString whileAnotherTerminalCommits(const QString& statement, Work work)
{
    TDm other(TestServer::settings());
    other.setCompanyDatabase(kDb, true);
    QString error;
    std::unique_ptr<QThread> terminal(QThread::create([&] {
        try {
            TDm own(TestServer::settings());
            own.setCompanyDatabase(kDb, true);
            work(own);
        } catch (const PosError& e) {
            error = e.message();
        }
    }));
    bool waited = false;
    {
        TTransaction paying(other.MyConsalesdetails, Isolation::ReadCommitted);
        other.MyQsalesdetails.exec(QString(statement).replace(QStringLiteral("$db"), kDb));
        terminal->start();
        waited = someoneWaitsForALock();
        paying.commit();
    }
    if (!terminal->wait(20000))
        return QStringLiteral("the other terminal did not finish");
    if (!waited)
        return QStringLiteral("the other terminal never waited for the bill");
    return error;
}

QStringList column(TQuery& q, const char* name)
{
    QStringList out;
    for (q.first(); !q.eof(); q.next())
        out << q.text(QLatin1String(name));
    return out;
}

} // namespace

class TestCustomersPas : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;
    std::unique_ptr<TLogBook> log;

    DeliveryEntry delivery(const QString& key, const QString& name, const QString& charges)
    {
        DeliveryEntry e;
        e.billKey = key;
        e.name = name;
        e.address = QStringLiteral("4 Lake Road");
        e.phone = QStringLiteral("9876543210");
        e.charges = charges;
        e.at = QDateTime(QDate(2026, 12, 9), QTime(11, 15, 20));
        return e;
    }
    void addCustomer(int id, const QString& name, const QString& phone)
    {
        exec(QStringLiteral("insert into $db.customer_details values('2026-01-02',%1,'%2','Old Road',%3)")
                 .arg(id)
                 .arg(name, phone));
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        dm = std::make_unique<TDm>(TestServer::settings());
        log = std::make_unique<TLogBook>();
        setLogBook(log.get());
        SalesFixture::createCompany(kDb);
        dm->setCompanyDatabase(kDb, true);
    }
    void cleanupTestCase()
    {
        setLogBook(nullptr);
        log.reset();
        dm.reset();
        env.reset();
    }
    void init() { TestServer::exec(SalesFixture::emptyCompany(kDb)); }

    void customerIds_data()
    {
        QTest::addColumn<QString>("seed");
        QTest::addColumn<QString>("next");
        QTest::newRow("nothing yet") << ""
                                     << "1";
        QTest::newRow("customers 12, bills 15") << "12 15"
                                                << "16";
        QTest::newRow("customers 20, bills 3") << "20 3"
                                               << "21";
    }
    void customerIds()
    {
        QFETCH(QString, seed);
        if (!seed.isEmpty()) {
            addCustomer(
                seed.section(QLatin1Char(' '), 0, 0).toInt(), QStringLiteral("OLD"), QStringLiteral("9000000001"));
            addBill(QStringLiteral("1/1 10 - 10 - 2026-12-01"));
            exec(QStringLiteral("update $db.sales_order set customerid=") + seed.section(QLatin1Char(' '), 1));
        }
        QTEST(NextCustomerId(*dm), "next");
        const AddCustomerOutcome out = AddCustomer(*dm,
            { QStringLiteral("2026/12/09"), QStringLiteral("ANNA"), QStringLiteral("Road"),
                QStringLiteral("+919876543210") },
            NextCustomerId(*dm));
        QTEST(out.id, "next");
        // the delivery screen's "+" number is kept as the number it is
        QCOMPARE(scalar(QStringLiteral("select concat(rdate,' ',phoneno) from $db.customer_details where "
                                       "customer_name='ANNA'")),
            QStringLiteral("2026-12-09 919876543210"));
    }

    void enteringCustomers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("customers");
        QTest::newRow("no name") << ""
                                 << "Road"
                                 << "9876543210"
                                 << "Please enter the customer name" << 1;
        QTest::newRow("no address") << "Ann"
                                    << ""
                                    << "9876543210"
                                    << "Please enter the customer address" << 1;
        QTest::newRow("no phone") << "Ann"
                                  << "Road"
                                  << ""
                                  << "Please enter the Phone Number" << 1;
        QTest::newRow("nine digits") << "Ann"
                                     << "Road"
                                     << "987654321"
                                     << "Invalid Phone number" << 1;
        QTest::newRow("phone with a sign") << "Ann"
                                           << "Road"
                                           << "-987654321"
                                           << "Invalid Phone number" << 1;
        QTest::newRow("the same name and phone") << "sample name"
                                                 << "Road"
                                                 << "9876543210"
                                                 << "customer already exist" << 1;
        QTest::newRow("the same name, another phone") << "sample name"
                                                      << "Road"
                                                      << "9876543211"
                                                      << "Customer details added" << 2;
    }
    void enteringCustomers()
    {
        QFETCH(QString, name);
        QFETCH(QString, address);
        QFETCH(QString, phone);
        addCustomer(3, QStringLiteral("SAMPLE NAME"), QStringLiteral("9876543210"));
        addBill(QStringLiteral("1/57 100 - 100 - 2026-12-09"));
        const CustomerEntryOutcome out
            = EnterCustomer(*dm, { name, address, phone, QDate(2026, 12, 9), QStringLiteral("1/57") });
        QTEST(out.message, "message");
        QTEST(scalar(QStringLiteral("select count(*) from $db.customer_details")).toInt(), "customers");
        // only an added customer is given to the bill
        QCOMPARE(scalar(QStringLiteral("select coalesce(customerid,'-') from $db.sales_order")),
            out.added ? QStringLiteral("4") : QStringLiteral("-"));
    }

    void addTakesTheNextFreeIdWhenAnotherTerminalTookIt()
    {
        addCustomer(15, QStringLiteral("FIRST"), QStringLiteral("9000000001"));
        const QString proposed = NextCustomerId(*dm);
        // another terminal adds its customer between this one's computing and inserting
        addCustomer(16, QStringLiteral("OTHER"), QStringLiteral("9000000002"));
        const AddCustomerOutcome out = AddCustomer(*dm,
            { QStringLiteral("2026-12-09"), QStringLiteral("ANNA"), QStringLiteral("Road"),
                QStringLiteral("9876543210") },
            proposed);
        QCOMPARE(proposed, QStringLiteral("16"));
        QCOMPARE(out.id, QStringLiteral("17"));
        QCOMPARE(scalar(QStringLiteral("select customer_name from $db.customer_details where customerid=16")),
            QStringLiteral("OTHER"));
    }

    void twoTerminalsAddCustomersAtOnce()
    {
        constexpr int kEach = 25;
        auto terminal = [](const QString& prefix) {
            return QThread::create([prefix] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(kDb, true);
                for (int i = 0; i < kEach; ++i) {
                    const NewCustomer c { QStringLiteral("2026-12-09"), prefix + QString::number(i),
                        QStringLiteral("Road"), QString::number(9000000000LL + i) };
                    AddCustomer(own, c, NextCustomerId(own));
                }
            });
        };
        std::unique_ptr<QThread> one(terminal(QStringLiteral("ONE ")));
        std::unique_ptr<QThread> two(terminal(QStringLiteral("TWO ")));
        one->start();
        two->start();
        QVERIFY(one->wait(60000) && two->wait(60000));
        QCOMPARE(scalar(QStringLiteral("select concat(count(*),' ',count(distinct customerid),' ',max(customerid)) "
                                       "from $db.customer_details")),
            QStringLiteral("50 50 50"));
    }

    void customerAddedOnlyToTheOpenBillOfTheDeliveryKey_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("customers");
        QTest::newRow("terminal 2's bill 57") << "2/57"
                                              << "1:- 2:1 3:-";
        QTest::newRow("a complete bill 57") << "3/57"
                                            << "1:- 2:- 3:-";
        QTest::newRow("no delivery bill") << ""
                                          << "1:- 2:- 3:-";
    }
    void customerAddedOnlyToTheOpenBillOfTheDeliveryKey()
    {
        addBill(QStringLiteral("1/57 100 - 100 - 2026-12-09"));
        addBill(QStringLiteral("2/57 80 - 80 - 2026-12-09"));
        addBill(QStringLiteral("3/57 60 60 0 Complete 2026-12-09"));
        QFETCH(QString, key);
        QVERIFY(EnterCustomer(*dm,
            { QStringLiteral("Ann"), QStringLiteral("Road"), QStringLiteral("9876543210"), QDate(2026, 12, 9), key })
                    .added);
        QTEST(scalar(QStringLiteral("select group_concat(concat(pcid,':',coalesce(customerid,'-')) order by pcid "
                                    "separator ' ') from $db.sales_order")),
            "customers");
        QVERIFY(QFile(log->fileName()).size() > 0);
    }

    void searchMatchesTextLiterally_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("percent") << "%" << QStringList { "50% OFF" };
        QTest::newRow("underscore") << "_" << QStringList { "A_B" };
        QTest::newRow("any letter case") << "mart" << QStringList { "MART", "SMART SHOP" };
        QTest::newRow("no text") << "" << QStringList { "50% OFF", "A_B", "AXB", "MART", "SMART SHOP" };
    }
    void searchMatchesTextLiterally()
    {
        int id = 0;
        for (const char* name : { "50% OFF", "A_B", "AXB", "MART", "SMART SHOP" }) {
            ++id;
            addCustomer(id, QLatin1String(name), QString::number(9000000000LL + id));
        }
        QFETCH(QString, text);
        QTEST(column(SearchCustomers(*dm, text), "customer_name"), "found");
    }

    void deliveryChecks_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("clearCharges");
        QTest::newRow("no name") << "name"
                                 << ""
                                 << "Enter the Customer name" << false;
        QTest::newRow("no address") << "address"
                                    << ""
                                    << "Enter the Customer address" << false;
        QTest::newRow("no bill") << "bill"
                                 << ""
                                 << "Enter the bill number" << false;
        QTest::newRow("bill without terminal") << "bill"
                                               << "57"
                                               << "Enter the bill number" << false;
        QTest::newRow("no phone") << "phone"
                                  << ""
                                  << "Please enter the Phone number" << false;
        QTest::newRow("nine characters") << "phone"
                                         << "987654321"
                                         << "Invalid Phone number" << false;
        QTest::newRow("no charges") << "charges"
                                    << ""
                                    << "Enter the home delivery charges" << false;
        QTest::newRow("charges 0") << "charges"
                                   << "0.0"
                                   << "Enter the home delivery charges" << true;
        QTest::newRow("charges no number") << "charges"
                                           << "1.2.3"
                                           << "Enter the home delivery charges" << true;
        // what the fields' keys could never have typed
        QTest::newRow("phone starting with 6") << "phone"
                                               << "6123456789"
                                               << "Invalid Phone number" << false;
        QTest::newRow("plus after the first digit") << "phone"
                                                    << "91+2345678"
                                                    << "Invalid Phone number" << false;
        QTest::newRow("fourteen characters") << "phone"
                                             << "+9123456789012"
                                             << "Invalid Phone number" << false;
        QTest::newRow("negative charges") << "charges"
                                          << "-30"
                                          << "Enter the home delivery charges" << true;
        QTest::newRow("charges with an exponent") << "charges"
                                                  << "3e1"
                                                  << "Enter the home delivery charges" << true;
    }
    void deliveryChecks()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        addBill(QStringLiteral("1/1 250 - 250 - 2026-12-09"));
        DeliveryEntry e = delivery(QStringLiteral("1/1"), QStringLiteral("Ann"), QStringLiteral("30"));
        QString& target = field == QLatin1String("name") ? e.name
            : field == QLatin1String("address")          ? e.address
            : field == QLatin1String("bill")             ? e.billKey
            : field == QLatin1String("phone")            ? e.phone
                                                         : e.charges;
        target = value;
        const DeliveryOutcome out = RecordHomeDelivery(*dm, e);
        QTEST(out.messages.join(QLatin1Char('|')), "message");
        QTEST(out.clearCharges, "clearCharges");
        QVERIFY(!out.recorded);
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.delivery")).toInt(), 0);
        QCOMPARE(scalar(QStringLiteral("select concat(total,' ',delivery) from $db.sales_order")),
            QStringLiteral("250 Take Away"));
    }

    void deliveryAddsChargesToTotalAndBalance()
    {
        // terminal 1's bill 57 is stored first; the delivery is for terminal 2's
        addBill(QStringLiteral("1/57 99 - 99 - 2026-12-09"));
        addBill(QStringLiteral("2/57 250 100 150 Part_Payment 2026-12-09"));
        const QString longName = QStringLiteral("Sundaram Venkataraghavan Krishnamurthy Iyer");
        DeliveryEntry e = delivery(QStringLiteral("2/57"), longName, QStringLiteral("30.5"));
        e.phone = QStringLiteral("+919876543210");
        const DeliveryOutcome out = RecordHomeDelivery(*dm, e);
        QCOMPARE(out.messages, QStringList { "Home Delivery details added" });
        QCOMPARE(out.name, longName.toUpper());
        QCOMPARE(scalar(QStringLiteral("select concat_ws(' ',total,grandtotal,balance,amount_paid,delivery,customerid) "
                                       "from $db.sales_order where pcid=2")),
            QStringLiteral("280.5 280.5 180.5 100 Home Delivery 1"));
        QCOMPARE(
            scalar(QStringLiteral("select concat_ws(' ',total,balance,delivery) from $db.sales_order where pcid=1")),
            QStringLiteral("99 99 Take Away"));
        // the whole name on the customer, cut to the delivery row's 30 characters there
        QCOMPARE(scalar(QStringLiteral("select customer_name from $db.customer_details")), longName.toUpper());
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',sdate,customer_name,stime,charges,pcid,delivery_status) "
                                       "from $db.delivery")),
            QStringLiteral("2026-12-09|") + longName.toUpper().left(30) + QStringLiteral("|11:15:20|30.5|2|0"));

        // a second "OK" for the bill adds nothing
        const DeliveryOutcome again
            = RecordHomeDelivery(*dm, delivery(QStringLiteral("2/57"), QStringLiteral("Bo"), QStringLiteral("10")));
        QVERIFY(again.alreadyRecorded && !again.recorded);
        QCOMPARE(again.charges, QStringLiteral("30.5"));
        QCOMPARE(scalar(QStringLiteral("select concat_ws(' ',total,balance) from $db.sales_order where pcid=2")),
            QStringLiteral("280.5 180.5"));
        const DeliveryView view = OpenDelivery(*dm, { QStringLiteral("2"), QStringLiteral("57") }, QString());
        QVERIFY(view.recorded);
        QCOMPARE(QStringList({ view.name, view.phone, view.charges }),
            QStringList({ longName.toUpper(), "919876543210", "30.5" }));
    }

    void deliveryCustomer_data()
    {
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("messages");
        QTest::addColumn<QString>("customerOfBill");
        QTest::addColumn<int>("customers");
        QTest::newRow("new, the first one's phone: that customer")
            << false << "9876543210"
            << "customer already exist|Home Delivery details added"
            << "3" << 2;
        QTest::newRow("new, the second one's phone: that customer")
            << false << "9111111111"
            << "customer already exist|Home Delivery details added"
            << "7" << 2;
        QTest::newRow("new, another phone: the customer just added") << false << "9000000009"
                                                                     << "Home Delivery details added"
                                                                     << "8" << 3;
        QTest::newRow("known by the settlement screen") << true << "9000000009"
                                                        << "Home Delivery details added"
                                                        << "3" << 2;
    }
    void deliveryCustomer()
    {
        QFETCH(bool, known);
        QFETCH(QString, phone);
        addCustomer(3, QStringLiteral("SAMPLE NAME"), QStringLiteral("9876543210"));
        addCustomer(7, QStringLiteral("SAMPLE NAME"), QStringLiteral("9111111111"));
        addBill(QStringLiteral("1/1 250 - 250 - 2026-12-09"));
        DeliveryEntry e = delivery(QStringLiteral("1/1"), QStringLiteral("sample name"), QStringLiteral("20"));
        e.phone = phone;
        e.knownCustomer = known;
        QTEST(RecordHomeDelivery(*dm, e).messages.join(QLatin1Char('|')), "messages");
        QTEST(scalar(QStringLiteral("select customerid from $db.sales_order")), "customerOfBill");
        QTEST(scalar(QStringLiteral("select count(*) from $db.customer_details")).toInt(), "customers");
    }

    // A complete bill takes no delivery, and neither does a bill that is gone (another terminal's
    // bill of the same number stays as it is); nothing is written.
    void deliveryRefusedOnAClosedBill_data()
    {
        QTest::addColumn<QString>("bill");
        QTest::addColumn<QString>("message");
        QTest::newRow("complete") << "1/57 12345.67 12345.67 0 Complete 2026-12-09"
                                  << "Bill is complete; home delivery cannot be added";
        QTest::newRow("complete in another letter case") << "1/57 12345.67 12345.67 0 complete 2026-12-09"
                                                         << "Bill is complete; home delivery cannot be added";
        QTest::newRow("gone") << ""
                              << "Bill not found; home delivery details not added";
    }
    void deliveryRefusedOnAClosedBill()
    {
        QFETCH(QString, bill);
        addBill(QStringLiteral("2/57 99999.99 - 99999.99 - 2026-12-09"));
        if (!bill.isEmpty())
            addBill(bill);
        const auto everything = [] {
            return scalar(QStringLiteral(
                "select concat_ws('|',(select group_concat(concat_ws(',',pcid,total,grandtotal,balance,delivery,"
                "coalesce(customerid,'-')) order by pcid) from $db.sales_order),(select count(*) from $db.delivery),"
                "(select count(*) from $db.customer_details))"));
        };
        const QString before = everything();
        const DeliveryOutcome out = RecordHomeDelivery(
            *dm, delivery(QStringLiteral("1/57"), QStringLiteral("Ann"), QStringLiteral("150.50")));
        QTEST(out.messages.join(QLatin1Char('|')), "message");
        QVERIFY(out.billClosed && !out.recorded && out.name.isEmpty());
        QCOMPARE(everything(), before);
        // nor do the charges go on such a bill by themselves
        QVERIFY(!AddDeliveryCharges(*dm, { QStringLiteral("1"), QStringLiteral("57") }, QStringLiteral("150.50")));
        QCOMPARE(everything(), before);
    }

    // Another terminal completes the bill's payment while this one records a delivery for it:
    // the delivery waits for the bill's lock and then sees the bill complete.
    void deliveryWaitsForAPaymentThatCompletesTheBill()
    {
        addBill(QStringLiteral("1/57 99999.99 - 99999.99 - 2026-12-09"));
        addBill(QStringLiteral("2/57 12345.67 - 12345.67 - 2026-12-09"));
        DeliveryOutcome out;
        QCOMPARE(
            whileAnotherTerminalCommits(
                QStringLiteral("update $db.sales_order set amount_paid=total,balance=0,payment_status='Complete' where "
                               "billno=57 and pcid=2"),
                [&](TDm& own) {
                    out = RecordHomeDelivery(
                        own, delivery(QStringLiteral("2/57"), QStringLiteral("Ann"), QStringLiteral("150.50")));
                }),
            QString());
        QCOMPARE(out.messages, QStringList { "Bill is complete; home delivery cannot be added" });
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat_ws(' ',pcid,total,coalesce(amount_paid,'-'),balance,"
                                       "coalesce(payment_status,'-')) order by pcid) from $db.sales_order")),
            QStringLiteral("1 99999.99 - 99999.99 -,2 12345.67 12345.67 0 Complete"));
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.delivery")), QStringLiteral("0"));
    }

    // A part payment on another terminal lands between the charges' read of the bill and their
    // write: the charges go onto the balance the payment left, which is read again.
    void deliveryChargesGoOnTheBalanceAPaymentLeft()
    {
        addBill(QStringLiteral("1/57 99999.99 - 99999.99 - 2026-12-09"));
        addBill(QStringLiteral("2/57 12345.67 - 12345.67 - 2026-12-09"));
        bool added = false;
        QCOMPARE(
            whileAnotherTerminalCommits(
                QStringLiteral("update $db.sales_order set amount_paid=5000.25,balance=7345.42,payment_status='Part "
                               "Payment' where billno=57 and pcid=2"),
                [&](TDm& own) {
                    added = AddDeliveryCharges(
                        own, { QStringLiteral("2"), QStringLiteral("57") }, QStringLiteral("150.50"));
                }),
            QString());
        QVERIFY(added);
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat_ws(' ',pcid,total,grandtotal,"
                                       "coalesce(amount_paid,'-'),balance) order by pcid) from $db.sales_order")),
            QStringLiteral("1 99999.99 99999.99 - 99999.99,2 12496.17 12496.17 5000.25 7495.92"));
    }

    // "Take Away" on a bill with a delivery row: the row and its charges come off an unpaid bill
    // (held or not); a bill with money paid stays a home delivery. Terminal 1's bill 57 with its
    // own delivery row is stored first and stays as it is.
    void takingABillAway_data()
    {
        QTest::addColumn<QString>("bill");
        QTest::addColumn<bool>("withDelivery");
        QTest::addColumn<QString>("after"); // total grandtotal amount_paid balance delivery | delivery rows
        QTest::addColumn<QString>("message");
        QTest::newRow("unpaid") << "2/57 12496.17 - 12496.17 - 2026-12-09 Home_Delivery" << true
                                << "12345.67 12345.67 - 12345.67 Take Away|0"
                                << "";
        QTest::newRow("held") << "2/57 12496.17 - 12496.17 Hold 2026-12-09 Home_Delivery" << true
                              << "12345.67 12345.67 - 12345.67 Take Away|0"
                              << "";
        QTest::newRow("part paid") << "2/57 12496.17 5000 7496.17 Part_Payment 2026-12-09 Home_Delivery" << true
                                   << "12496.17 12496.17 5000 7496.17 Home Delivery|1"
                                   << "Amount already paid; the bill stays a home delivery";
        QTest::newRow("paid in full") << "2/57 12496.17 12496.17 0 Complete 2026-12-09 Home_Delivery" << true
                                      << "12496.17 12496.17 12496.17 0 Home Delivery|1"
                                      << "Amount already paid; the bill stays a home delivery";
        QTest::newRow("no delivery row") << "2/57 12345.67 - 12345.67 - 2026-12-09" << false
                                         << "12345.67 12345.67 - 12345.67 Take Away|0"
                                         << "";
        QTest::newRow("gone") << "" << false << "0"
                              << "Bill not found";
    }
    void takingABillAway()
    {
        QFETCH(QString, bill);
        QFETCH(bool, withDelivery);
        addBill(QStringLiteral("1/57 1234567.89 - 1234567.89 - 2026-12-09 Home_Delivery"));
        exec(QStringLiteral("insert into $db.delivery(sdate,customer_name,billno,charges,pcid) values"
                            "('2026-12-09','OTHER',57,99.99,1)"));
        if (!bill.isEmpty())
            addBill(bill);
        if (withDelivery)
            exec(QStringLiteral("insert into $db.delivery(sdate,customer_name,billno,charges,pcid) values"
                                "('2026-12-09','ANN',57,150.50,2)"));
        const TakeAwayOutcome out = TakeBillAway(*dm, { QStringLiteral("2"), QStringLiteral("57") });
        QTEST(out.messages.join(QLatin1Char('|')), "message");
        QCOMPARE(out.staysHome, !out.messages.isEmpty() && !bill.isEmpty());
        QCOMPARE(out.takenAway, withDelivery && out.messages.isEmpty());
        QTEST(scalar(QStringLiteral("select concat_ws('|',(select concat_ws(' ',total,grandtotal,"
                                    "coalesce(amount_paid,'-'),balance,delivery) from $db.sales_order where pcid=2),"
                                    "(select count(*) from $db.delivery where pcid=2))")),
            "after");
        QCOMPARE(scalar(QStringLiteral("select concat_ws(' ',s.total,s.balance,s.delivery,d.charges) from "
                                       "$db.sales_order s join $db.delivery d on d.pcid=s.pcid where s.pcid=1")),
            QStringLiteral("1234567.89 1234567.89 Home Delivery 99.99"));
        if (out.takenAway)
            QVERIFY(QFile(log->fileName()).size() > 0);
    }

    // Another terminal pays the bill while this one takes it away: the take-away waits for the
    // bill's lock, sees the money paid and leaves the bill a home delivery.
    void takeAwayWaitsForAPayment()
    {
        addBill(QStringLiteral("1/57 1234567.89 - 1234567.89 - 2026-12-09"));
        addBill(QStringLiteral("2/57 12496.17 - 12496.17 - 2026-12-09 Home_Delivery"));
        exec(QStringLiteral("insert into $db.delivery(sdate,customer_name,billno,charges,pcid) values"
                            "('2026-12-09','ANN',57,150.50,2)"));
        TakeAwayOutcome out;
        QCOMPARE(
            whileAnotherTerminalCommits(
                QStringLiteral("update $db.sales_order set amount_paid=total,balance=0,payment_status='Complete' where "
                               "billno=57 and pcid=2"),
                [&](TDm& own) {
                    out = TakeBillAway(own, { QStringLiteral("2"), QStringLiteral("57") });
                }),
            QString());
        QVERIFY(out.staysHome && !out.takenAway);
        QCOMPARE(scalar(QStringLiteral("select concat_ws(' ',total,grandtotal,amount_paid,balance,delivery,(select "
                                       "charges from $db.delivery where pcid=2)) from $db.sales_order where pcid=2")),
            QStringLiteral("12496.17 12496.17 12496.17 0 Home Delivery 150.5"));
    }

    void deliveryForANameNoCustomerHas()
    {
        addBill(QStringLiteral("1/1 250 - 250 - 2026-12-09"));
        DeliveryEntry e = delivery(QStringLiteral("1/1"), QStringLiteral("Walk In"), QStringLiteral("20"));
        e.knownCustomer = true;
        QVERIFY(RecordHomeDelivery(*dm, e).recorded);
        QCOMPARE(scalar(QStringLiteral("select concat(c.customerid,' ',c.customer_name) from $db.sales_order s join "
                                       "$db.customer_details c on c.customerid=s.customerid")),
            QStringLiteral("1 WALK IN"));
    }

    // Another terminal is adding a customer under the id this delivery computes: the delivery's
    // insert waits for it, meets the key, and takes the next id within its own transaction.
    void deliveryTakesTheNextIdWhileAnotherTerminalAddsOne()
    {
        addBill(QStringLiteral("1/1 250 - 250 - 2026-12-09"));
        TDm other(TestServer::settings());
        other.setCompanyDatabase(kDb, true);
        DeliveryOutcome out;
        QString error;
        std::unique_ptr<QThread> terminal(QThread::create([&] {
            TDm own(TestServer::settings());
            own.setCompanyDatabase(kDb, true);
            try {
                out = RecordHomeDelivery(
                    own, delivery(QStringLiteral("1/1"), QStringLiteral("Ann"), QStringLiteral("30")));
            } catch (const PosError& e) {
                error = e.message();
            }
        }));
        bool waited = false;
        {
            TTransaction adding(other.MyQCustdetails.connection(), Isolation::ReadCommitted);
            AddCustomer(other,
                { QStringLiteral("2026-12-09"), QStringLiteral("BO"), QStringLiteral("Road"),
                    QStringLiteral("9000000001") },
                QStringLiteral("1"));
            terminal->start();
            waited = !terminal->wait(300);
            adding.commit();
        }
        QVERIFY(terminal->wait(10000));
        QVERIFY(waited);
        QVERIFY2(out.recorded, qPrintable(error));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(customerid,' ',customer_name) order by customerid) "
                                       "from $db.customer_details")),
            QStringLiteral("1 BO,2 ANN"));
        QCOMPARE(scalar(QStringLiteral("select concat(customerid,' ',total) from $db.sales_order")),
            QStringLiteral("2 280"));
    }

    // A failure between two statements of a delivery (a trigger refuses the later one) leaves the
    // bill, the delivery rows and the customers as they were; then the same delivery goes through.
    void deliveryFailurePartWayLeavesTheBillAsItWas_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("when");
        QTest::newRow("the new customer") << "before insert on $db.customer_details"
                                          << "true";
        QTest::newRow("the charges on the bill") << "before update on $db.sales_order"
                                                 << "new.total<>old.total";
    }
    void deliveryFailurePartWayLeavesTheBillAsItWas()
    {
        QFETCH(QString, failing);
        QFETCH(QString, when);
        exec(QStringLiteral("drop trigger if exists $db.inject"));
        addBill(QStringLiteral("1/1 250 100 150 Part_Payment 2026-12-09"));
        const auto everything = [] {
            return scalar(QStringLiteral(
                "select concat_ws('|',(select group_concat(concat_ws(',',total,grandtotal,balance,delivery,"
                "coalesce(customerid,'-'))) from $db.sales_order),(select count(*) from $db.delivery),(select "
                "count(*) from $db.customer_details))"));
        };
        const QString before = everything();
        exec(QStringLiteral("create trigger $db.inject %1 for each row begin if %2 then signal sqlstate '45000' set "
                            "message_text='injected failure'; end if; end")
                 .arg(failing, when));
        const DeliveryEntry e = delivery(QStringLiteral("1/1"), QStringLiteral("Ann"), QStringLiteral("30"));
        QString error;
        try {
            RecordHomeDelivery(*dm, e);
        } catch (const EDatabaseError& x) {
            error = x.message();
        }
        exec(QStringLiteral("drop trigger $db.inject"));
        QVERIFY2(error.contains(QLatin1String("injected failure")), qPrintable(error));
        QCOMPARE(everything(), before);
        QVERIFY(!dm->MyConPur.inTransaction());
        QVERIFY(RecordHomeDelivery(*dm, e).recorded);
        QCOMPARE(everything(), QStringLiteral("280,280,180,Home Delivery,1|1|1"));
    }

    void report_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("total");
        // amounts of five to seven digits with paise: the report and its total to the paisa
        QTest::newRow("every type, take away")
            << "" << QStringList { "1/2 cash 1234567.89", "2/2 cheque 99999.99", "1/3 card 12345.67", "1/3 cash 0.01" }
            << "1346913.56";
        QTest::newRow("cash and cheque") << "cash cheque"
                                         << QStringList { "1/2 cash 1234567.89", "2/2 cheque 99999.99",
                                                "1/3 cash 0.01" }
                                         << "1334567.89";
        QTest::newRow("card") << "card" << QStringList { "1/3 card 12345.67" } << "12345.67";
        QTest::newRow("home delivery") << "home" << QStringList { "1/4 cash 70", "1/4 card " } << "70";
    }
    void report()
    {
        QFETCH(QString, filter);
        // bill 1 is dated before the range though paid within it; bill 3's second payment came after
        // the range; terminal 2's bill 2 is listed beside terminal 1's
        addBill(QStringLiteral("1/1 40 40 0 Complete 2026-11-30"));
        addBill(QStringLiteral("1/2 1234567.89 1234567.89 0 Complete 2026-12-01"));
        addBill(QStringLiteral("2/2 99999.99 99999.99 0 Complete 2026-12-02"));
        addBill(QStringLiteral("1/3 12345.68 12345.68 0 Complete 2026-12-07"));
        addBill(QStringLiteral("1/4 90 70 20 Part_Payment 2026-12-03 Home_Delivery"));
        exec(QStringLiteral(
            "insert into $db.payment_details values(1,'2026-12-01','10:00:00','cash',40,1),(2,'2026-12-01','10:00:00',"
            "'cash','1234567.89',1),(2,'2026-12-02','11:00:00','cheque','99999.99',2),(3,'2026-12-07','09:00:00',"
            "'card','12345.67',1),(3,'2026-12-09','09:00:00','cash','0.01',1),(4,'2026-12-03','12:00:00','cash',70,1),"
            "(4,'2026-12-04','12:00:00','card',null,1)"));
        BillReportFilter f;
        f.from = QDate(2026, 12, 1);
        f.to = QDate(2026, 12, 7);
        f.homeDelivery = filter.contains(QLatin1String("home"));
        f.cash = filter.contains(QLatin1String("cash"));
        f.card = filter.contains(QLatin1String("card"));
        f.cheque = filter.contains(QLatin1String("cheque"));
        TQuery& q = RunBillReport(*dm, f);
        QStringList rows;
        for (q.first(); !q.eof(); q.next())
            rows << q.text(QStringLiteral("BILLNUM")) + QLatin1Char(' ') + q.text(QStringLiteral("payment_type"))
                    + QLatin1Char(' ') + q.text(QStringLiteral("amount_paid"));
        QTEST(rows, "rows");
        QTEST(BillReportTotal(q), "total");
        q.first();
        if (!q.eof() && filter.isEmpty())
            QCOMPARE(q.text(QStringLiteral("sdate")) + QLatin1Char(' ') + q.text(QStringLiteral("stime")),
                QStringLiteral("01-12-2026 10:00:00"));
    }

    void customerHistory()
    {
        addCustomer(3, QStringLiteral("ANNA"), QStringLiteral("9000000001"));
        addCustomer(4, QStringLiteral("ANNA"), QStringLiteral("9000000002"));
        addCustomer(5, QStringLiteral("BO"), QStringLiteral("9000000003"));
        addBill(QStringLiteral("1/1 10 10 0 Complete 2026-12-01"));
        addBill(QStringLiteral("2/1 10 - 10 Hold 2026-12-02"));
        addBill(QStringLiteral("1/2 10 5 5 Part_Payment 2026-12-03"));
        exec(QStringLiteral("update $db.sales_order set customerid=if(pcid=2,4,3)"));
        QCOMPARE(column(CustomerBills(*dm, QStringLiteral("ANNA")), "Billno"), QStringList({ "1/1", "2/1", "1/2" }));
        QCOMPARE(CustomerBills(*dm, QStringLiteral("ANNA")).text(QStringLiteral("Date")), QStringLiteral("01-12-2026"));
        QVERIFY(CustomerBills(*dm, QStringLiteral("BO")).isEmpty());
        QVERIFY(IsBillOnHold(*dm, { QStringLiteral("2"), QStringLiteral("1") }));
        QVERIFY(!IsBillOnHold(*dm, { QStringLiteral("1"), QStringLiteral("2") }));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestCustomersPas test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_customerspas.moc"
