// Settling bills through the procedures the settlement screen calls: payments and their checks,
// the bill's status and balance, holding, and the stock a bill's lines take.
#include "backoffice/Purchasepas.h"
#include "bills/paymentdetailspas.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/adminoptpas.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetailspas.h"
#include "salesfixture.h"
#include "testsupport.h"

#include <QThread>
#include <QtTest>
#include <future>

using namespace SalesFixture;

namespace {

const QString kDb = QStringLiteral("PAYMENTS");

QString scalar(const QString& sql)
{
    return TestServer::scalar(QString(sql).replace(QStringLiteral("$db"), kDb));
}

void exec(const QString& sql)
{
    TestServer::exec({ QString(sql).replace(QStringLiteral("$db"), kDb) });
}

// The latest ledger row of RICE (item 1); its older row stays at 500.
QString riceStock()
{
    return scalar(
        QStringLiteral("select closing_stock from $db.stock_details where itemcode=1 and sdate='2026-12-01'"));
}

QString bill(const QString& columns, const QString& terminal = QStringLiteral("1"))
{
    return scalar(QStringLiteral("select concat_ws('|',%1) from $db.sales_order where billno=1 and pcid=%2")
                      .arg(columns, terminal));
}

// "cash 100; card 150" as a list of payments.
QList<QPair<PaymentMethod, QString>> payments(const QString& text)
{
    QList<QPair<PaymentMethod, QString>> out;
    for (const QString& p : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList parts = p.trimmed().split(QLatin1Char(' '));
        const PaymentMethod m = parts[0] == QLatin1String("card")
            ? PaymentMethod::Card
            : (parts[0] == QLatin1String("cheque") ? PaymentMethod::Cheque : PaymentMethod::Cash);
        out.append({ m, parts.value(1) });
    }
    return out;
}

} // namespace

class TestPayments : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;
    // another terminal at the same shop, on connections of its own
    std::unique_ptr<TDm> other;
    std::unique_ptr<TLogBook> log;
    int m_step = 0;

    OrderContext order(const QString& terminal = QStringLiteral("1"))
    {
        return { terminal, QStringLiteral("1"), QStringLiteral("2026-12-09"),
            QTime(10, 0).addMSecs(++m_step).toString(QStringLiteral("HH.mm.ss.zzz")), QStringLiteral("2") };
    }
    // Rings up `quantity` RICE (rate 50) on bill 1 of the terminal and processes it.
    BillKey ringUp(int quantity, const QString& terminal = QStringLiteral("1"), const QString& item = "RICE")
    {
        const LineOutcome out
            = RunLineAction(*dm, order(terminal), LineMode::Add, item, QString::number(quantity), QString());
        if (!out.written)
            qFatal("not rung up: %s", qPrintable(out.status + out.message));
        ProcessBill(*dm, order(terminal));
        return { terminal, QStringLiteral("1") };
    }
    // SAFE costs 12345.67 and has 20 in stock on its latest ledger row.
    static void addSafe()
    {
        addItem(kDb, 2, QStringLiteral("SAFE"), QStringLiteral("12345.67"), QStringLiteral("0"), QStringLiteral("0"), 0,
            20);
    }
    static QString safeStock()
    {
        return scalar(
            QStringLiteral("select closing_stock from $db.stock_details where itemcode=2 and sdate='2026-12-01'"));
    }
    PaymentRequest request(const BillKey& key, PaymentMethod method, const QString& amount)
    {
        PaymentRequest r;
        r.settle.bill = key;
        r.settle.method = method;
        r.settle.amount = amount;
        r.settle.date = QStringLiteral("2026-12-09");
        r.settle.time = QStringLiteral("10:30:00");
        r.cardNo = QStringLiteral("4111222233334444");
        r.cardHolder = QStringLiteral("ANNA");
        r.bank = QStringLiteral("CITY BANK");
        r.chequeNo = QStringLiteral("123456");
        r.chequeDate = QDate(2026, 12, 20);
        r.shownBalance = ShowBillSummary(*dm, key).balance;
        r.stampDate = QStringLiteral("2026-12-09");
        r.stampTime = QStringLiteral("10.30.00.000");
        return r;
    }
    PaymentOutcome pay(const BillKey& key, PaymentMethod method, const QString& amount)
    {
        return RunPayment(*dm, request(key, method, amount));
    }
    bool hold(const BillKey& key)
    {
        return HoldBill(*dm, { key, {}, QStringLiteral("2026-12-09"), QStringLiteral("10.40.00.000"), QString() }).done;
    }
    // What resuming a held or part-paid bill does: its saved lines become the terminal's grid again.
    void resume(const BillKey& key)
    {
        exec(QStringLiteral("delete from $db.tordergrid where pcid=%1").arg(key.terminalId));
        exec(QStringLiteral("insert into $db.tordergrid (itemname,rate,quantity,price,itax,isubtotal,discount,total,"
                            "pcid,billno) select itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,"
                            "billno from $db.temp_ordergrid where billno=%1 and pcid=%2 order by id")
                 .arg(key.billNo, key.terminalId));
    }
    // "hold", or a payment such as "card 60"; returns whether it was recorded or held
    bool step(const BillKey& key, const QString& text, const QString& stampTime = QStringLiteral("10.30.00.000"))
    {
        if (text == QLatin1String("hold"))
            return hold(key);
        PaymentRequest r = request(key, payments(text)[0].first, payments(text)[0].second);
        r.stampTime = stampTime;
        return RunPayment(*dm, r).recorded;
    }
    // Every row a payment or a hold may touch.
    QString everything()
    {
        QStringList parts;
        for (const char* sql :
            {
                "select group_concat(concat_ws(',',pcid,billno,sdate,stime,customerid,amount_paid,balance,payment_type,"
                "payment_status,delivery,grandtotal) order by pcid,billno) from $db.sales_order",
                "select group_concat(concat_ws(',',pcid,billno,amount_paid) order by pcid,billno) from "
                "$db.cash_details",
                "select group_concat(concat_ws(',',pcid,billno,amount_paid) order by pcid,billno) from "
                "$db.card_details",
                "select group_concat(concat_ws(',',pcid,billno,amount_paid) order by pcid,billno) from "
                "$db.cheque_details",
                "select group_concat(concat_ws(',',pcid,billno,sdate,stime,payment_type,amount_paid) order by "
                "pcid,billno,payment_type) from $db.payment_details",
                "select group_concat(concat_ws(',',pcid,billno,itemname,quantity) order by pcid,billno,itemname) from "
                "$db.temp_ordergrid",
                "select group_concat(concat_ws(',',sdate,itemcode,closing_stock) order by itemcode,sdate) from "
                "$db.stock_details",
                "select group_concat(concat_ws(',',pcid,billno,aount_paid,payment_type,delivery) order by pcid,billno) "
                "from $db.vbilldetails",
            })
            parts << scalar(QLatin1String(sql));
        return parts.join(QLatin1Char('|'));
    }
    QString logText() const
    {
        QFile f(log->fileName());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        dm = std::make_unique<TDm>(TestServer::settings());
        other = std::make_unique<TDm>(TestServer::settings());
        log = std::make_unique<TLogBook>();
        setLogBook(log.get());
        createCompany(kDb);
        dm->setCompanyDatabase(kDb, true);
        other->setCompanyDatabase(kDb, true);
    }
    void cleanupTestCase()
    {
        setLogBook(nullptr);
        log.reset();
        other.reset();
        dm.reset();
        env.reset();
    }
    void init()
    {
        // emptied rather than made again: much faster, and every test starts from the same rows
        QStringList empty = emptyCompany(kDb);
        empty << counterSettings(kDb);
        TestServer::exec(empty);
        addItem(kDb, 1, QStringLiteral("RICE"), QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0"), 0, 20);
    }

    void stockHoldsTheBillOnce_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("paid in full") << "cash 150";
        QTest::newRow("part paid, then the rest") << "cash 100; card 50";
        QTest::newRow("held, resumed and paid") << "hold; resume; cash 150";
        QTest::newRow("part paid, held, resumed and paid") << "cash 20; hold; resume; cheque 130";
        QTest::newRow("held twice") << "hold; hold";
    }
    void stockHoldsTheBillOnce()
    {
        QFETCH(QString, steps);
        // another terminal's bill with the same number holds lines of its own, stored first
        addGridLine(kDb, QStringLiteral("RICE"), 7, 2, 1);
        const BillKey key = ringUp(3);
        for (const QString& step : steps.split(QLatin1Char(';'))) {
            const QString s = step.trimmed();
            if (s == QLatin1String("hold"))
                QVERIFY(hold(key));
            else if (s == QLatin1String("resume"))
                resume(key);
            else
                QVERIFY(RunPayment(*dm, request(key, payments(s)[0].first, payments(s)[0].second)).recorded);
            QCOMPARE(riceStock(), QStringLiteral("17"));
        }
        QCOMPARE(scalar(QStringLiteral("select closing_stock from $db.stock_details where sdate='2026-01-05'")),
            QStringLiteral("500"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(pcid,':',quantity)) from $db.temp_ordergrid")),
            QStringLiteral("1:3"));
    }

    void refusals_data()
    {
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("emptied");
        const int cash = int(PaymentMethod::Cash);
        const int card = int(PaymentMethod::Card);
        const int cheque = int(PaymentMethod::Cheque);
        QTest::newRow("cash empty") << cash << "amount"
                                    << ""
                                    << "Please the enter amount" << false;
        QTest::newRow("cash lone point") << cash << "amount"
                                         << "."
                                         << "Please the enter amount" << false;
        QTest::newRow("cash zero") << cash << "amount"
                                   << "0.00"
                                   << "Please Enter the amount" << true;
        QTest::newRow("cash below minimal") << cash << "amount"
                                            << "5"
                                            << "Enter more Amount" << true;
        QTest::newRow("card number empty") << card << "cardNo"
                                           << ""
                                           << "please enter the card number" << false;
        QTest::newRow("card number of 15") << card << "cardNo"
                                           << "411122223333444"
                                           << "please enter the valid card number" << false;
        QTest::newRow("card holder empty") << card << "cardHolder"
                                           << ""
                                           << "Please enter the card holder name" << false;
        QTest::newRow("card bank empty") << card << "bank"
                                         << ""
                                         << "Please enter the bank name" << false;
        QTest::newRow("card amount empty") << card << "amount"
                                           << ""
                                           << "Please Enter the amount" << false;
        QTest::newRow("card below minimal") << card << "amount"
                                            << "9.99"
                                            << "Please Enter more amount" << true;
        QTest::newRow("cheque number of 5") << cheque << "chequeNo"
                                            << "12345"
                                            << "please enter valid check number" << false;
        QTest::newRow("cheque number of 13") << cheque << "chequeNo"
                                             << "1234567890123"
                                             << "please enter valid check number" << false;
        QTest::newRow("cheque bank empty") << cheque << "bank"
                                           << ""
                                           << "Please enter the bank name!!" << false;
        QTest::newRow("cheque amount empty") << cheque << "amount"
                                             << ""
                                             << "Please enter the amount!!" << false;
        QTest::newRow("cheque below minimal") << cheque << "amount"
                                              << "1"
                                              << "Please enter more amount!!" << true;
        QTest::newRow("part payment for a delivery") << cash << "delivery"
                                                     << "100"
                                                     << "Part payment for home delivery not allowed" << true;
        QTest::newRow("home without delivery details") << cash << "home"
                                                       << "150"
                                                       << "Enter home delivery details" << false;
        QTest::newRow("home without delivery details, cheque") << cheque << "home"
                                                               << "150"
                                                               << "Enter home delivery details!!" << false;
    }
    void refusals()
    {
        QFETCH(int, method);
        QFETCH(QString, field);
        QFETCH(QString, value);
        exec(QStringLiteral("update $db.sales_settings set value_='10' where Name='minimal value'"));
        const BillKey key = ringUp(3);
        PaymentRequest r = request(key, PaymentMethod(method), QStringLiteral("150"));
        if (field == QLatin1String("amount"))
            r.settle.amount = value;
        else if (field == QLatin1String("cardNo"))
            r.cardNo = value;
        else if (field == QLatin1String("cardHolder"))
            r.cardHolder = value;
        else if (field == QLatin1String("bank"))
            r.bank = value;
        else if (field == QLatin1String("chequeNo"))
            r.chequeNo = value;
        else if (field == QLatin1String("delivery")) {
            exec(QStringLiteral("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',1,30,1)"));
            r.settle.amount = value;
        } else if (field == QLatin1String("home")) {
            r.homeDelivery = true;
        }
        const PaymentOutcome out = RunPayment(*dm, r);
        QTEST(out.messages.join(QLatin1Char('|')), "message");
        QTEST(out.emptyAmount, "emptied");
        QVERIFY(!out.recorded);
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',(select count(*) from $db.cash_details),(select count(*) "
                                       "from $db.card_details),(select count(*) from $db.cheque_details),(select "
                                       "count(*) from $db.payment_details))")),
            QStringLiteral("0|0|0|0"));
        QCOMPARE(bill(QStringLiteral("balance,coalesce(payment_status,'-')")), QStringLiteral("150|-"));
        QCOMPARE(riceStock(), QStringLiteral("20"));
    }

    void minimalValueThatIsNoNumberCountsAsZero()
    {
        exec(QStringLiteral("update $db.sales_settings set value_='ten' where Name='minimal value'"));
        QVERIFY(pay(ringUp(3), PaymentMethod::Cash, QStringLiteral("0.5")).recorded);
        QCOMPARE(bill(QStringLiteral("balance,payment_status")), QStringLiteral("149.5|Part Payment"));
        QVERIFY(logText().contains(QLatin1String("\"minimal value\" is \"ten\"")));
    }

    void arithmetic_data()
    {
        QTest::addColumn<QString>("roundAmount");
        QTest::addColumn<int>("quantity");
        QTest::addColumn<QString>("tax");
        QTest::addColumn<QString>("paid");
        QTest::addColumn<QString>("messages");
        QTest::addColumn<QString>("figures"); // status|balance|amount_paid|payment_type
        QTest::addColumn<QString>("records"); // cash|card|cheque method records
        QTest::addColumn<QString>("log"); // payment_details rows
        QTest::newRow("250 paid with 300") << "not checked" << 5 << "0"
                                           << "cash 300"
                                           << "Amount to be paid back is Rs. 50|Cash  Details are Added"
                                           << "Complete|0|250|cash"
                                           << "250||"
                                           << "cash:250";
        QTest::newRow("cash 100 then card 150") << "not checked" << 5 << "0"
                                                << "cash 100; card 150"
                                                << "Cash  Details are Added|Card Details are Added"
                                                << "Complete|0|250|card"
                                                << "100|250|"
                                                << "card:150,cash:100";
        QTest::newRow("cash 50 and 70 on 200") << "not checked" << 4 << "0"
                                               << "cash 50; cash 70"
                                               << "Cash  Details are Added|Cash  Details are Added"
                                               << "Part Payment|80|120|cash"
                                               << "120||"
                                               << "cash:120";
        QTest::newRow("two cheques add up in one row") << "not checked" << 4 << "0"
                                                       << "cheque 50; cheque 150"
                                                       << "Cheque Details are Added!!|Cheque Details are Added!!"
                                                       << "Complete|0|200|cheque"
                                                       << "||200"
                                                       << "cheque:200";
        QTest::newRow("99.60 of 100, round amount") << "checked" << 2 << "0"
                                                    << "cash 99.60"
                                                    << "Cash  Details are Added"
                                                    << "Complete|0|100|cash"
                                                    << "100||"
                                                    << "cash:99.6";
        QTest::newRow("99.60 of 100, exact amount") << "not checked" << 2 << "0"
                                                    << "cash 99.60"
                                                    << "Cash  Details are Added"
                                                    << "Part Payment|0.4|99.6|cash"
                                                    << "99.6||"
                                                    << "cash:99.6";
        QTest::newRow("tenths add up without noise")
            << "not checked" << 1 << "2.5"
            << "cash 0.1; cash 0.2; card 51"
            << "Cash  Details are Added|Cash  Details are Added|Amount to be paid back is Rs. 0.05|"
               "Card Details are Added"
            << "Complete|0|51.25|card"
            << "0.3|51.25|"
            << "card:50.95,cash:0.3";
    }
    void arithmetic()
    {
        QFETCH(QString, roundAmount);
        QFETCH(int, quantity);
        QFETCH(QString, tax);
        QFETCH(QString, paid);
        exec(QStringLiteral("update $db.sales_settings set value_='%1' where Name='Round amount'").arg(roundAmount));
        exec(QStringLiteral("update $db.sales_settings set value_='0' where Name='minimal value'"));
        exec(QStringLiteral("insert into $db.tax(sdate,rate) values('2026-01-01',%1)").arg(tax));
        // another terminal's delivery bill with the same number: no part payment refusal here
        exec(QStringLiteral("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',1,30,2)"));
        const BillKey key = ringUp(quantity);
        QStringList messages;
        for (const auto& p : payments(paid))
            messages << pay(key, p.first, p.second).messages;
        QTEST(messages.join(QLatin1Char('|')), "messages");
        QTEST(bill(QStringLiteral("payment_status,balance,amount_paid,payment_type")), "figures");
        QTEST(scalar(QStringLiteral("select concat_ws('|',coalesce((select amount_paid from $db.cash_details),''),"
                                    "coalesce((select amount_paid from $db.card_details),''),coalesce((select "
                                    "amount_paid from $db.cheque_details),''))")),
            "records");
        QTEST(scalar(QStringLiteral("select group_concat(concat(payment_type,':',amount_paid) order by payment_type) "
                                    "from $db.payment_details where billno=1 and pcid=1")),
            "log");
    }

    void summaryOfADeliveryBill()
    {
        exec(QStringLiteral("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',1,30,1)"));
        exec(QStringLiteral("insert into $db.tax(sdate,rate) values('2026-01-01',0)"));
        const BillKey key = ringUp(5);
        BillSummary s = ShowBillSummary(*dm, key);
        QCOMPARE(QStringList({ s.deliveryCharges, s.orderPrice, s.total, s.balance, s.subtotal }),
            QStringList({ "=   30", "=  250", "250", "280", "250" }));
        QVERIFY(HasDeliveryCharges(*dm, key));

        PaymentRequest r = request(key, PaymentMethod::Cash, QStringLiteral("280"));
        r.homeDelivery = true;
        QVERIFY(RunPayment(*dm, r).recorded);
        // the grand total of a delivery bill is its total, as for a take-away bill
        QCOMPARE(bill(QStringLiteral("delivery,grandtotal,total,payment_status")),
            QStringLiteral("Home Delivery|280|280|Complete"));
        s = ShowBillSummary(*dm, key);
        QVERIFY(s.complete && !s.changeAllowed);
    }

    void summaryOfAPlainBill()
    {
        // another terminal's bill with the same number and a delivery entry comes first
        exec(QStringLiteral("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',1,30,2)"));
        addGridLine(kDb, QStringLiteral("RICE"), 4, 2, 1);
        exec(QStringLiteral("insert into $db.tax(sdate,rate) values('2026-01-01',4),('2026-06-01',10)"));
        const BillKey key = ringUp(2);
        const BillSummary s = ShowBillSummary(*dm, key);
        QCOMPARE(QStringList({ s.taxRate, s.subtotal, s.total, s.deliveryCharges, s.orderPrice, s.balance }),
            QStringList({ "10", "100", "110", "=  -", "=  110", "110" }));
        QCOMPARE(s.lines, 1);
        QVERIFY(s.changeAllowed && !s.complete);
        QCOMPARE(ShowBillGrid(*dm, key).recordCount(), 1);
    }

    void cardDetailsAreCutAndMasked()
    {
        const BillKey key = ringUp(3);
        PaymentRequest r = request(key, PaymentMethod::Card, QStringLiteral("150"));
        r.cardHolder = QStringLiteral("ALEXANDRA MARIA KONSTANTINOPOULOU");
        r.bank = QStringLiteral("FIRST NATIONAL COOPERATIVE BANK OF THE NORTHERN DISTRICTS");
        QVERIFY(RunPayment(*dm, r).recorded);
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',cardno,cardname,bank) from $db.card_details")),
            QStringLiteral("4444|ALEXANDRA MARIA KONS|FIRST NATIONAL COOPE"));
        QVERIFY(logText().contains(QLatin1String("card  no.:XXXXXXXXXXXX4444 Bank Name: FIRST NATIONAL")));
        QVERIFY(!logText().contains(QLatin1String("4111222233334444")));
    }

    void chequeRecordKeepsTheFirstCheque()
    {
        const BillKey key = ringUp(3);
        PaymentRequest r = request(key, PaymentMethod::Cheque, QStringLiteral("100"));
        r.bank = QStringLiteral("A VERY LONG NAME OF A SAVINGS BANK");
        r.chequeNo = QStringLiteral("987654321012"); // twelve digits, beyond a 32-bit number
        QVERIFY(RunPayment(*dm, r).recorded);
        r = request(key, PaymentMethod::Cheque, QStringLiteral("50"));
        r.chequeNo = QStringLiteral("999999");
        QVERIFY(RunPayment(*dm, r).recorded);
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',chequeno,chequedate,bank,amount_paid) from "
                                       "$db.cheque_details")),
            QStringLiteral("987654321012|2026-12-20|A VERY LONG NAME OF|150"));
        QVERIFY(logText().contains(QLatin1String("payment by CHEQUE-- cheque no.:987654321012 Bank Name: A VERY")));
    }

    void completeBillIsNeitherPaidNorHeldAgain()
    {
        const BillKey key = ringUp(3);
        QVERIFY(pay(key, PaymentMethod::Cash, QStringLiteral("150")).settled.complete);
        const PaymentOutcome again = pay(key, PaymentMethod::Cash, QStringLiteral("150"));
        QCOMPARE(again.messages, QStringList { "Bill 1/1 is paid in full already; the payment is not recorded." });
        QVERIFY(again.refused && !again.checked && !again.recorded);
        QVERIFY(!hold(key));
        QCOMPARE(riceStock(), QStringLiteral("17"));
        QCOMPARE(bill(QStringLiteral("payment_status,amount_paid")), QStringLiteral("Complete|150"));
        QCOMPARE(scalar(QStringLiteral("select amount_paid from $db.cash_details")), QStringLiteral("150"));
    }

    void holdingKeepsPartPaymentAndGivesACustomer()
    {
        exec(QStringLiteral("insert into $db.customer_details(customerid,customer_name) values(7,'ANNA')"));
        exec(QStringLiteral("insert into $db.sales_order(sdate,billno,pcid,customerid,payment_status) values"
                            "('2026-12-01',40,2,12,'Complete')"));
        const BillKey key = ringUp(3);
        QVERIFY(pay(key, PaymentMethod::Cash, QStringLiteral("100")).recorded);
        QCOMPARE(bill(QStringLiteral("customerid")), QStringLiteral("13"));
        QVERIFY(hold(key));
        QCOMPARE(bill(QStringLiteral("payment_status,balance,customerid,stime")),
            QStringLiteral("Part Payment|50|13|10.40.00.000"));

        // an unpaid bill is held under the chosen customer when that customer exists
        const BillKey other = ringUp(2, QStringLiteral("2"));
        QVERIFY(HoldBill(
            *dm, { other, { QStringLiteral("ANNA"), QStringLiteral("7") }, "2026-12-09", "11.00.00.000", QString() }));
        QCOMPARE(bill(QStringLiteral("payment_status,customerid"), QStringLiteral("2")), QStringLiteral("Hold|7"));
        QCOMPARE(riceStock(), QStringLiteral("15"));
    }

    void holdWithoutGridLinesKeepsTheSavedLines()
    {
        const BillKey key = ringUp(3);
        QVERIFY(hold(key));
        exec(QStringLiteral("delete from $db.tordergrid"));
        QVERIFY(hold(key));
        QCOMPARE(scalar(QStringLiteral("select sum(quantity) from $db.temp_ordergrid")), QStringLiteral("3"));
        QCOMPARE(riceStock(), QStringLiteral("17"));
    }

    void vanishedItemsAreSkippedAndLogged()
    {
        addItem(kDb, 2, QStringLiteral("TEA"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"), 0, 30);
        RunLineAction(*dm, order(), LineMode::Add, QStringLiteral("TEA"), QStringLiteral("4"), QString());
        const BillKey key = ringUp(3);
        QVERIFY(hold(key));
        exec(QStringLiteral("delete from $db.item where itemcode=2"));
        QVERIFY(pay(key, PaymentMethod::Cash, QStringLiteral("190")).recorded);
        QCOMPARE(riceStock(), QStringLiteral("17"));
        QCOMPARE(scalar(QStringLiteral("select closing_stock from $db.stock_details where itemcode=2 and "
                                       "sdate='2026-12-01'")),
            QStringLiteral("26"));
        QVERIFY(logText().contains(QLatin1String("Stock not moved for TEA of bill 1/1: the item or its stock row")));

        // a saved line whose quantity is no whole number, and an item without any ledger row
        addItem(kDb, 3, QStringLiteral("SALT"), QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("0"), 0, -1);
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('RICE','50','2.5','125','0','125','0','125',1,9),"
            "('SALT','5','1','5','0','5','0','5',1,9)"));
        MoveBillStock(*dm, { QStringLiteral("1"), QStringLiteral("9") }, -1);
        QCOMPARE(riceStock(), QStringLiteral("17"));
        QVERIFY(logText().contains(QLatin1String("Stock not moved for RICE of bill 1/9: quantity \"2.5\"")));
        QVERIFY(logText().contains(QLatin1String("Stock not moved for SALT of bill 1/9: the item or its stock row")));
    }

    // The lines a payment logs about stock and a broken minimum are written once it is committed:
    // once when it ran again after a deadlock, not at all when it was undone.
    void stockLogLinesOfKeptPaymentsOnly_data()
    {
        QTest::addColumn<QString>("failure"); // what the refused stamp answers
        QTest::addColumn<bool>("recorded");
        QTest::newRow("deadlock, then run again")
            << "sqlstate '40001' set mysql_errno=1213, message_text='injected deadlock'" << true;
        QTest::newRow("refused") << "sqlstate '45000' set message_text='injected failure'" << false;
    }
    void stockLogLinesOfKeptPaymentsOnly()
    {
        QFETCH(QString, failure);
        QFETCH(bool, recorded);
        addItem(kDb, 2, QStringLiteral("TEA"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"), 0, 30);
        RunLineAction(*dm, order(), LineMode::Add, QStringLiteral("TEA"), QStringLiteral("4"), QString());
        const BillKey key = ringUp(3);
        QVERIFY(hold(key));
        exec(QStringLiteral("delete from $db.item where itemcode=2"));
        // a saved line whose quantity is no whole number, and a minimum that is no number
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('RICE','50','2.5','125','0','125','0','125',1,1)"));
        exec(QStringLiteral("update $db.sales_settings set value_='none' where Name='minimal value'"));
        const QString line = QStringLiteral("Stock not moved for TEA of bill 1/1");
        const QString part = QStringLiteral("Stock not moved for RICE of bill 1/1: quantity \"2.5\"");
        const QString minimal = QStringLiteral("The setting \"minimal value\" is \"none\"");
        const QString log = logText();
        // the stamp comes after the stock is given back and taken out again; it is refused once
        dm->MyQsalesdetails.exec(QStringLiteral("set @injected=null"));
        exec(QStringLiteral("drop trigger if exists $db.inject"));
        exec(QStringLiteral("create trigger $db.inject before update on $db.sales_order for each row begin if "
                            "new.stime<>old.stime and @injected is null then set @injected=1; signal %1; end if; end")
                 .arg(failure));
        bool paid = false;
        try {
            paid = pay(key, PaymentMethod::Cash, QStringLiteral("190")).recorded;
        } catch (const EDatabaseError&) {
        }
        exec(QStringLiteral("drop trigger $db.inject"));
        QCOMPARE(paid, recorded);
        QCOMPARE(
            bill(QStringLiteral("payment_status")), recorded ? QStringLiteral("Complete") : QStringLiteral("Hold"));
        // as often as the payment was kept: the vanished item's line given back and taken out
        // again, the broken line given back (the lines paid for are the grid's, which lacks it)
        QCOMPARE(logText().count(line) - log.count(line), recorded ? 2 : 0);
        QCOMPARE(logText().count(part) - log.count(part), recorded ? 1 : 0);
        QCOMPARE(logText().count(minimal) - log.count(minimal), recorded ? 1 : 0);
    }

    // A failure between two statements of a payment or a hold (a trigger refuses one of them)
    // leaves every row as it was, and no payment is logged as made; the same action then goes through.
    void failurePartWayLeavesTheBillAsItWas_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("failing"); // the statement the trigger refuses
        QTest::addColumn<QString>("when");
        QTest::newRow("payment log of an unpaid bill") << ""
                                                       << "cash 150"
                                                       << "before insert on $db.payment_details"
                                                       << "true";
        QTest::newRow("stock taken out again for a held bill paid in part") << "hold"
                                                                            << "card 60"
                                                                            << "before update on $db.stock_details"
                                                                            << "new.closing_stock<old.closing_stock";
        QTest::newRow("stamp of a part-paid bill paid off") << "cash 20"
                                                            << "cheque 130"
                                                            << "before update on $db.sales_order"
                                                            << "new.stime<>old.stime";
        QTest::newRow("saved lines of a hold") << ""
                                               << "hold"
                                               << "before insert on $db.temp_ordergrid"
                                               << "true";
    }
    void failurePartWayLeavesTheBillAsItWas()
    {
        QFETCH(QString, before);
        QFETCH(QString, action);
        QFETCH(QString, failing);
        QFETCH(QString, when);
        exec(QStringLiteral("drop trigger if exists $db.inject"));
        const BillKey key = ringUp(3);
        if (!before.isEmpty())
            QVERIFY(step(key, before));
        exec(QStringLiteral("insert into $db.vbilldetails(billno,pcid) values (1,1)"));
        const QString rows = everything();
        const QString log = logText();
        exec(QStringLiteral("create trigger $db.inject %1 for each row begin if %2 then signal sqlstate '45000' set "
                            "message_text='injected failure'; end if; end")
                 .arg(failing, when));
        QString error;
        try {
            step(key, action, QStringLiteral("10.31.00.000"));
        } catch (const EDatabaseError& e) {
            error = e.message();
        }
        exec(QStringLiteral("drop trigger $db.inject"));
        QVERIFY2(error.contains(QLatin1String("injected failure")), qPrintable(error));
        QCOMPARE(everything(), rows);
        QCOMPARE(logText(), log);
        QVERIFY(!dm->MyConsalesdetails.inTransaction());
        QVERIFY(step(key, action, QStringLiteral("10.31.00.000")));
        QVERIFY(everything() != rows);
    }

    // A purchase opens today's ledger row for RICE while a paid bill's take-out and another
    // terminal's line check wait for the item: the take-out lands on the new row, and the check
    // holds the new row, so a third terminal's check waits for it as on every other check.
    void purchaseOpensTheDaysRowMeanwhile()
    {
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('RICE','50','3','150','0','150','0','150',2,1)"));
        const auto terminal = [](auto work) {
            return std::unique_ptr<QThread>(QThread::create([work] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(kDb, true);
                work(own);
            }));
        };
        std::promise<bool> added;
        std::promise<void> finish;
        std::shared_future<void> finished = finish.get_future().share();
        std::vector<std::unique_ptr<QThread>> others;
        // lets the open check end and waits for the terminals, also when a check below fails
        struct Release {
            std::promise<void>& finish;
            std::vector<std::unique_ptr<QThread>>& threads;
            bool done = false;
            void operator()()
            {
                if (std::exchange(done, true))
                    return;
                finish.set_value();
                for (auto& t : threads)
                    t->wait(10000);
            }
            ~Release() { (*this)(); }
        } release { finish, others };
        others.push_back(terminal([](TDm& own) {
            BookPurchase(own, QStringLiteral("2026-12-09"), QStringLiteral("RICE"), 2, QString(), true);
        }));
        others.push_back(terminal([](TDm& own) {
            MoveBillStock(own, { QStringLiteral("2"), QStringLiteral("1") }, -1);
        }));
        others.push_back(terminal([&added, finished](TDm& own) {
            TTransaction open(own.MyConposorderitem, Isolation::ReadCommitted); // the check stays open
            added.set_value(RunLineAction(own,
                { QStringLiteral("3"), QStringLiteral("1"), QStringLiteral("2026-12-09"),
                    QStringLiteral("10.00.00.000"), QStringLiteral("2") },
                LineMode::Add, QStringLiteral("RICE"), QStringLiteral("4"), QString())
                                .written);
            finished.wait();
            open.commit();
        }));
        bool thirdWaited = false;
        {
            // a terminal part-way through its check of RICE holds the item's current row
            TTransaction first(dm->MyConposorderitem, Isolation::ReadCommitted);
            dm->MyQposorderitem.exec(QStringLiteral(
                "select closing_stock from stock_details where itemcode=1 order by sdate desc limit 1 for update"));
            for (int i = 0; i < 3; ++i) {
                others[i]->start();
                QVERIFY(TestServer::waitForLockWaits(i + 1));
            }
            first.commit();
            QVERIFY(added.get_future().get());
            dm->MyQposorderitem.exec(QStringLiteral("set innodb_lock_wait_timeout=1"));
            TTransaction third(dm->MyConposorderitem, Isolation::ReadCommitted);
            try {
                dm->MyQposorderitem.exec(QStringLiteral(
                    "select closing_stock from stock_details where itemcode=1 order by sdate desc limit 1 for update"));
            } catch (const EDatabaseError& e) {
                thirdWaited = e.serverCode() == QLatin1String("1205");
            }
        }
        dm->MyQposorderitem.exec(QStringLiteral("set innodb_lock_wait_timeout=default"));
        release();
        QVERIFY(std::all_of(others.begin(), others.end(), [](const auto& t) { return t->isFinished(); }));
        QVERIFY(thirdWaited);
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(sdate,' ',closing_stock) order by sdate) from "
                                       "$db.stock_details")),
            QStringLiteral("2026-01-05 500,2026-12-01 20,2026-12-09 19"));
    }

    void twoTerminalsMoveOneItemAtOnce()
    {
        // terminal 1's bill takes 1 unit at a time, terminal 2's 2 units; each moves 300 times
        exec(QStringLiteral("update $db.stock_details set closing_stock=1000 where itemcode=1"));
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('RICE','50','1','50','0','50','0','50',1,1),"
            "('RICE','50','2','100','0','100','0','100',2,1)"));
        auto terminal = [](const QString& id) {
            return QThread::create([id] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(kDb, true);
                for (int i = 0; i < 300; ++i)
                    MoveBillStock(own, { id, QStringLiteral("1") }, -1);
            });
        };
        std::unique_ptr<QThread> one(terminal(QStringLiteral("1")));
        std::unique_ptr<QThread> two(terminal(QStringLiteral("2")));
        one->start();
        two->start();
        QVERIFY(one->wait(60000) && two->wait(60000));
        QCOMPARE(riceStock(), QStringLiteral("100"));
        QCOMPARE(scalar(QStringLiteral("select closing_stock from $db.stock_details where sdate='2026-01-05'")),
            QStringLiteral("1000"));
    }

    // Terminal 1 still shows a held bill of 3 SAFE (37037.01) when another terminal has changed
    // it: terminal 1's payment or hold finds the bill as it is now, says so, and writes nothing.
    void billChangedOnAnotherTerminalIsRefused_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        const QStringList actions { "cash 37037.01", "cheque 12345.67", "hold" };
        const QStringList notDone { "the payment is not recorded.", "the payment is not recorded.", "it is not held." };
        const struct {
            const char* name;
            const char* meanwhile;
            const char* message;
        } rows[] = {
            { "paid in full there", "resume and pay", "Bill 1/1 is paid in full already; " },
            { "cancelled there", "cancel", "Bill 1/1 was cancelled; " },
            { "gone at the start of day", "start of day", "Bill 1/1 no longer exists; " },
            { "taken for payment there", "resume", "Bill 1/1 is being settled at terminal 2; " },
        };
        for (const auto& row : rows) {
            for (int a = 0; a < actions.size(); ++a)
                QTest::addRow("%s, %s", row.name, qPrintable(actions[a]))
                    << row.meanwhile << actions[a] << QString::fromLatin1(row.message) + notDone[a];
        }
    }
    void billChangedOnAnotherTerminalIsRefused()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, action);
        addSafe();
        exec(QStringLiteral("insert into $db.sales_settings values ('hold limit','0'),('Part payment days','0')"));
        // terminal 2's own bill 1 is held too, and stays as it is
        ringUp(1, QStringLiteral("2"), QStringLiteral("SAFE"));
        QVERIFY(hold({ QStringLiteral("2"), QStringLiteral("1") }));
        const BillKey key = ringUp(3, QStringLiteral("1"), QStringLiteral("SAFE"));
        QVERIFY(hold(key));
        QCOMPARE(safeStock(), QStringLiteral("16"));

        if (meanwhile == QLatin1String("resume and pay")) {
            QVERIFY(TakeBillForPayment(*other, key, QStringLiteral("2")));
            PaymentRequest r = request(key, PaymentMethod::Card, QStringLiteral("37037.01"));
            r.thisTerminal = QStringLiteral("2");
            QVERIFY(RunPayment(*other, r).settled.complete);
            ReleaseBillLock(*other, key, QStringLiteral("2"));
        } else if (meanwhile == QLatin1String("cancel")) {
            QVERIFY(CancelHeldEntry(*other, key));
        } else if (meanwhile == QLatin1String("start of day")) {
            QCOMPARE(RunStartOfDayMaintenance(*other, { kDb }).cancelledBills, 2);
            ringUp(1, QStringLiteral("2"), QStringLiteral("SAFE")); // terminal 2 starts its bill 1 again
        } else {
            QVERIFY(TakeBillForPayment(*other, key, QStringLiteral("2")));
        }
        const QString rows = everything();
        const QString logBefore = logText();

        QStringList messages;
        if (action == QLatin1String("hold")) {
            const BillChange held
                = HoldBill(*dm, { key, {}, QStringLiteral("2026-12-09"), QStringLiteral("11.00.00.000"), "1" });
            QVERIFY(!held.done);
            messages << held.refusal;
        } else {
            PaymentRequest r = request(key, payments(action)[0].first, payments(action)[0].second);
            r.thisTerminal = QStringLiteral("1");
            const PaymentOutcome out = RunPayment(*dm, r);
            QVERIFY(out.refused && !out.checked && !out.recorded && !out.settled.complete);
            messages = out.messages;
        }
        QFETCH(QString, message);
        QCOMPARE(messages, QStringList { message });
        QCOMPARE(everything(), rows);
        QCOMPARE(logText(), logBefore);
    }

    // Terminal 1 is part-way through paying bill 1/1 (37037.01) by card, its row locked, when
    // terminal 2 pays the same bill in cash: terminal 2 waits, then finds the bill paid in full.
    void twoTerminalsPayOneBillAtOnce()
    {
        addSafe();
        ringUp(1, QStringLiteral("2"), QStringLiteral("SAFE")); // terminal 2's own bill 1 comes first
        const BillKey key = ringUp(3, QStringLiteral("1"), QStringLiteral("SAFE"));
        PaymentRequest cash = request(key, PaymentMethod::Cash, QStringLiteral("37037.01"));
        cash.thisTerminal = QStringLiteral("2");
        PaymentRequest card = request(key, PaymentMethod::Card, QStringLiteral("37037.01"));
        card.thisTerminal = QStringLiteral("1");

        PaymentOutcome second;
        std::unique_ptr<QThread> terminal2(QThread::create([&second, cash] {
            TDm own(TestServer::settings());
            own.setCompanyDatabase(kDb, true);
            second = RunPayment(own, cash);
        }));
        {
            TTransaction first(dm->MyConsalesdetails, Isolation::ReadCommitted);
            dm->MyQsalesdetails.exec(
                QStringLiteral("select billno from sales_order where billno=1 and pcid=1 for update"));
            terminal2->start();
            // terminal 2 waits in the middle of a statement, for the bill's row
            const bool waited = TestServer::waitForLockWaits(1);
            const PaymentOutcome firstOut = RunPayment(*dm, card);
            first.commit();
            QVERIFY(terminal2->wait(20000));
            QVERIFY(waited);
            QVERIFY(firstOut.recorded && firstOut.settled.complete);
        }
        QCOMPARE(second.messages, QStringList { "Bill 1/1 is paid in full already; the payment is not recorded." });
        QVERIFY(second.refused && !second.recorded);
        QCOMPARE(bill(QStringLiteral("payment_status,amount_paid,balance,payment_type")),
            QStringLiteral("Complete|37037.01|0|card"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(payment_type,':',amount_paid)) from "
                                       "$db.payment_details where pcid=1")),
            QStringLiteral("card:37037.01"));
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.cash_details")), QStringLiteral("0"));
        QCOMPARE(safeStock(), QStringLiteral("17"));
    }

    // The method record and the bill's amount paid grow by every payment, also when two
    // terminals add to them at the same moment: both read 12345.67 as the cash paid so far and
    // wait to write, and the one that writes second adds its amount to what the first wrote.
    void amountsAddUpWhenRecordedAtOnce()
    {
        addSafe();
        const BillKey key = ringUp(1, QStringLiteral("1"), QStringLiteral("SAFE"));
        exec(QStringLiteral("insert into $db.cash_details(billno,amount_paid,pcid) values (1,12345.67,1),(1,5,2)"));
        auto terminal = [key](const QString& amount) {
            return std::unique_ptr<QThread>(QThread::create([key, amount] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(kDb, true);
                RecordCashPayment(own, key, amount);
            }));
        };
        std::unique_ptr<QThread> one = terminal(QStringLiteral("99999.99"));
        std::unique_ptr<QThread> two = terminal(QStringLiteral("1234567.89"));
        bool bothWaited = false;
        {
            // a third session holds the bill's cash record while the two read it and want to write
            TTransaction hold(dm->MyConsalesdetails, Isolation::ReadCommitted);
            dm->MyQsalesdetails.exec(
                QStringLiteral("select amount_paid from cash_details where billno=1 and pcid=1 for update"));
            one->start();
            const bool oneWaits = TestServer::waitForLockWaits(1);
            two->start();
            bothWaited = oneWaits && TestServer::waitForLockWaits(2);
            hold.commit();
        }
        QVERIFY(one->wait(20000) && two->wait(20000));
        QVERIFY(bothWaited);
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(pcid,':',amount_paid) order by pcid) from "
                                       "$db.cash_details")),
            QStringLiteral("1:1346913.55,2:5"));
        QCOMPARE(bill(QStringLiteral("amount_paid")), QStringLiteral("1334567.88"));
    }

    // "PROCESS ORDER" after a change rewrites the bill only as long as it is this terminal's to
    // change.
    void processingRechecksTheBill_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("message");
        QTest::newRow("paid in full there") << "pay"
                                            << "Bill 1/1 is paid in full already; its items are not changed.";
        QTest::newRow("taken for payment there") << "resume"
                                                 << "Bill 1/1 is being settled at terminal 2; its items are not "
                                                    "changed.";
        QTest::newRow("cancelled there") << "cancel"
                                         << "Bill 1/1 was cancelled; its items are not changed.";
    }
    void processingRechecksTheBill()
    {
        QFETCH(QString, meanwhile);
        addSafe();
        ringUp(1, QStringLiteral("2"), QStringLiteral("SAFE"));
        const BillKey key = ringUp(3, QStringLiteral("1"), QStringLiteral("SAFE"));
        QVERIFY(hold(key));
        // terminal 1 changes the held bill's order: one SAFE more
        QVERIFY(
            RunLineAction(*dm, order(), LineMode::Add, QStringLiteral("SAFE"), QStringLiteral("1"), QString()).written);
        if (meanwhile == QLatin1String("cancel")) {
            QVERIFY(CancelHeldEntry(*other, key));
        } else {
            QVERIFY(TakeBillForPayment(*other, key, QStringLiteral("2")));
            if (meanwhile == QLatin1String("pay")) {
                PaymentRequest r = request(key, PaymentMethod::Cash, QStringLiteral("37037.01"));
                r.thisTerminal = QStringLiteral("2");
                QVERIFY(RunPayment(*other, r).settled.complete);
            }
        }
        const QString rows = everything();
        const BillChange processed = ProcessBill(*dm, order(), QStringLiteral("1"));
        QVERIFY(!processed.done);
        QTEST(processed.refusal, "message");
        QCOMPARE(everything(), rows);
    }

    // A held or part-paid bill whose items are changed and processed again keeps its saved lines
    // and its stock with its new total, whatever the cashier does next.
    void processingAChangedBillKeepsItsLinesAndStock_data()
    {
        QTest::addColumn<QString>("before"); // how the bill was saved
        QTest::addColumn<QString>("figures"); // total|balance|amount_paid|status after the change
        QTest::newRow("held") << "hold"
                              << "61728.35|61728.35||Hold";
        QTest::newRow("part paid") << "cheque 12345.67"
                                   << "61728.35|49382.68|12345.67|Part Payment";
    }
    void processingAChangedBillKeepsItsLinesAndStock()
    {
        QFETCH(QString, before);
        addSafe();
        ringUp(2, QStringLiteral("2"), QStringLiteral("SAFE")); // terminal 2's bill 1, not held
        const BillKey key = ringUp(3, QStringLiteral("1"), QStringLiteral("SAFE"));
        QVERIFY(step(key, before));
        QCOMPARE(safeStock(), QStringLiteral("17"));
        QVERIFY(
            RunLineAction(*dm, order(), LineMode::Add, QStringLiteral("SAFE"), QStringLiteral("2"), QString()).written);
        QVERIFY(ProcessBill(*dm, order(), QStringLiteral("1")).done);
        QTEST(bill(QStringLiteral("total,balance,coalesce(amount_paid,''),payment_status")), "figures");
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(pcid,':',quantity) order by pcid) from "
                                       "$db.temp_ordergrid")),
            QStringLiteral("1:5"));
        QCOMPARE(safeStock(), QStringLiteral("15"));
        // abandoned now, resumed later and paid: the stock holds its lines once
        exec(QStringLiteral("delete from $db.tordergrid where pcid=1"));
        resume(key);
        QVERIFY(pay(key, PaymentMethod::Cash, ShowBillSummary(*dm, key).balance).settled.complete);
        QCOMPARE(safeStock(), QStringLiteral("15"));
        QCOMPARE(bill(QStringLiteral("amount_paid,balance")), QStringLiteral("61728.35|0"));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    TestPayments test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_payments.moc"
