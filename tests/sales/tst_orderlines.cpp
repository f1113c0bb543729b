// The order grid's arithmetic, stock checks and bill statements, called as the order screen calls them.
#include "db/datamodulepos.h"
#include "platform/errors.h"
#include "sales/posorderitempas.h"
#include "salesfixture.h"
#include "testsupport.h"

#include <QThread>
#include <QtTest>

using namespace SalesFixture;

namespace {

const QString kDb = QStringLiteral("ORDERS");

QString scalar(const QString& sql)
{
    return TestServer::scalar(QString(sql).replace(QStringLiteral("$db"), kDb));
}

int count(const QString& sql)
{
    return TestServer::count(
        QStringLiteral("select count(*) from (%1) rows_").arg(sql).replace(QStringLiteral("$db"), kDb));
}

// A line log row of some terminal's bill.
void addLogRow(int pcid, int billno, int itemcode)
{
    TestServer::exec({ QStringLiteral("insert into %1.sales_order_details(sdate,stime,billno,itemcode,quantity,pcid) "
                                      "values('2026-12-08','09.00.00.000',%2,%3,9,%4)")
                           .arg(kDb)
                           .arg(billno)
                           .arg(itemcode)
                           .arg(pcid) });
}

OrderContext order(const QString& terminal = QStringLiteral("1"), const QString& bill = QStringLiteral("1"))
{
    return { terminal, bill, QStringLiteral("2026-12-09"), QStringLiteral("10.00.00.000"), QStringLiteral("2") };
}

} // namespace

class TestOrderLines : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;
    int m_step = 0;

    // Each action at its own moment, as the screen stamps them (the log key includes the time).
    OrderContext at(OrderContext ctx)
    {
        ctx.time = QTime(10, 0).addMSecs(++m_step).toString(QStringLiteral("HH.mm.ss.zzz"));
        return ctx;
    }
    LineOutcome act(LineMode mode, const QString& item, const QString& quantity, const OrderContext& ctx = order())
    {
        return RunLineAction(*dm, at(ctx), mode, item, quantity, QStringLiteral("action"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        dm = std::make_unique<TDm>(TestServer::settings());
    }
    void cleanupTestCase()
    {
        dm.reset();
        env.reset();
    }
    void init()
    {
        createCompany(kDb);
        dm->setCompanyDatabase(kDb, true);
    }

    void lineAmounts_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("tax");
        QTest::addColumn<QString>("discount");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("roundOff");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("isubtotal");
        QTest::addColumn<QString>("total");

        QTest::newRow("tax and discount") << "25"
                                          << "4"
                                          << "10"
                                          << "3"
                                          << "2"
                                          << "75"
                                          << "78"
                                          << "70.20";
        QTest::newRow("round off 0") << "25"
                                     << "4"
                                     << "10"
                                     << "3"
                                     << "0"
                                     << "75"
                                     << "78"
                                     << "70";
        QTest::newRow("tax 12.5") << "10"
                                  << "12.5"
                                  << "0"
                                  << "3"
                                  << "2"
                                  << "30"
                                  << "33.75"
                                  << "33.75";
        QTest::newRow("no binary noise") << "0.1"
                                         << "0"
                                         << "0"
                                         << "3"
                                         << "2"
                                         << "0.3"
                                         << "0.3"
                                         << "0.30";
        QTest::newRow("tie rounds away from zero") << "1.25"
                                                   << "0"
                                                   << "0"
                                                   << "1"
                                                   << "1"
                                                   << "1.25"
                                                   << "1.25"
                                                   << "1.3";
        QTest::newRow("tie after tax") << "10.1"
                                       << "5"
                                       << "0"
                                       << "1"
                                       << "2"
                                       << "10.1"
                                       << "10.605"
                                       << "10.61";
        QTest::newRow("full discount") << "9.99"
                                       << "0"
                                       << "100"
                                       << "2"
                                       << "2"
                                       << "19.98"
                                       << "19.98"
                                       << "0.00";
        QTest::newRow("no round off setting") << "2.5"
                                              << "0"
                                              << "0"
                                              << "1"
                                              << ""
                                              << "2.5"
                                              << "2.5"
                                              << "3";
    }
    void lineAmounts()
    {
        QFETCH(QString, rate);
        QFETCH(QString, tax);
        QFETCH(QString, discount);
        QFETCH(QString, quantity);
        QFETCH(QString, roundOff);
        const LineAmounts a = ComputeLineAmounts(rate, tax, discount, quantity, roundOff);
        QTEST(a.price, "price");
        QTEST(a.isubtotal, "isubtotal");
        QTEST(a.total, "total");
    }

    void newLineStockRules_data()
    {
        QTest::addColumn<int>("closing"); // -1: no stock row
        QTest::addColumn<int>("heldElsewhere");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("added");

        QTest::newRow("closing 0") << 0 << 0 << "1"
                                   << "Closing stock is reached to 0. " << false;
        QTest::newRow("no stock row") << -1 << 0 << "1"
                                      << "Closing stock is reached to 0. " << false;
        QTest::newRow("8 of 10, minimal 2") << 10 << 0 << "8"
                                            << "Minimal value is  reached. " << true;
        QTest::newRow("7 of 10") << 10 << 0 << "7"
                                 << "" << true;
        QTest::newRow("11 of 10") << 10 << 0 << "11"
                                  << "Total stock remaining is 10. " << false;
        QTest::newRow("5 while another terminal holds 6") << 10 << 6 << "5"
                                                          << "Total stock remaining is 4. " << false;
        QTest::newRow("4 while another terminal holds 6") << 10 << 6 << "4"
                                                          << "Minimal value is  reached. " << true;
    }
    void newLineStockRules()
    {
        QFETCH(int, closing);
        QFETCH(int, heldElsewhere);
        QFETCH(QString, entered);
        addItem(kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("25"), QStringLiteral("4"), QStringLiteral("10"), 2,
            closing);
        if (heldElsewhere)
            addGridLine(kDb, QStringLiteral("SUGAR"), heldElsewhere, 2, 40);
        const LineOutcome out = act(LineMode::Add, QStringLiteral("SUGAR"), entered);
        QTEST(out.status, "status");
        QTEST(out.written, "added");
        QFETCH(bool, added);
        QCOMPARE(count(QStringLiteral("select * from $db.tordergrid where pcid=1")), added ? 1 : 0);
        QCOMPARE(count(QStringLiteral("select * from $db.sales_order_details")), added ? 1 : 0);
    }

    void mergeUsesCurrentRateAndLogsWhatWasAdded()
    {
        addItem(
            kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("25"), QStringLiteral("12.5"), QStringLiteral("0"), 0, 100);
        QCOMPARE(act(LineMode::Add, QStringLiteral("sugar"), QStringLiteral("3")).status, QString());
        TestServer::exec({ QStringLiteral("update %1.item set rate=26 where itemcode=1").arg(kDb) });
        act(LineMode::Add, QStringLiteral("SUGAR"), QStringLiteral("2"));

        QCOMPARE(count(QStringLiteral("select * from $db.tordergrid")), 1);
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',itemname,rate,quantity,price,isubtotal,total) "
                                       "from $db.tordergrid")),
            QStringLiteral("SUGAR|26|5|130|146.25|146.25"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(quantity order by stime) from $db.sales_order_details")),
            QStringLiteral("3,2"));
    }

    void mergeAndChangeAtTheStockEdge_data()
    {
        QTest::addColumn<int>("closing");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("lineAfter");
        // this terminal has 3, another holds 6
        QTest::newRow("merge over the stock") << 10 << int(LineMode::Add) << "2"
                                              << "Total Stock remaining is 1." << 3;
        QTest::newRow("merge ending at the stock") << 10 << int(LineMode::Add) << "1"
                                                   << "Minimal value is  reached. " << 4;
        QTest::newRow("merge when the grids hold more than the stock") << 8 << int(LineMode::Add) << "1"
                                                                       << "Total Stock remaining is 0." << 3;
        QTest::newRow("change over the stock") << 10 << int(LineMode::Change) << "5"
                                               << "Total stock remaining is 4. " << 3;
    }
    void mergeAndChangeAtTheStockEdge()
    {
        QFETCH(int, closing);
        QFETCH(int, mode);
        QFETCH(QString, entered);
        QFETCH(int, lineAfter);
        addItem(kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"), 0,
            closing);
        act(LineMode::Add, QStringLiteral("SUGAR"), QStringLiteral("3"));
        addGridLine(kDb, QStringLiteral("SUGAR"), 6, 2, 40);

        const LineOutcome out = act(LineMode(mode), QStringLiteral("SUGAR"), entered);
        QTEST(out.status, "status");
        QCOMPARE(out.written, lineAfter != 3);
        QCOMPARE(
            scalar(QStringLiteral("select quantity from $db.tordergrid where pcid=1")), QString::number(lineAfter));
        QCOMPARE(count(QStringLiteral("select * from $db.sales_order_details where quantity=3")), 1);
    }

    void changeReplacesLineAndItsLog()
    {
        addItem(kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"), 0, 10);
        addLogRow(2, 1, 1); // terminal 2's bill 1 has the item too
        act(LineMode::Add, QStringLiteral("SUGAR"), QStringLiteral("3"));
        act(LineMode::Add, QStringLiteral("SUGAR"), QStringLiteral("2"));
        addGridLine(kDb, QStringLiteral("SUGAR"), 6, 2, 40);

        const LineOutcome out = act(LineMode::Change, QStringLiteral("SUGAR"), QStringLiteral("4"));
        QVERIFY(out.written);
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',quantity,price) from $db.tordergrid where pcid=1")),
            QStringLiteral("4|40"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(pcid,':',quantity) order by pcid) from "
                                       "$db.sales_order_details")),
            QStringLiteral("1:4,2:9"));
    }

    void removeNeedsNoStock()
    {
        addItem(kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"), 0, 10);
        addLogRow(2, 1, 1);
        act(LineMode::Add, QStringLiteral("SUGAR"), QStringLiteral("3"));
        addGridLine(kDb, QStringLiteral("SUGAR"), 7, 2, 40); // the rest of the stock is on another counter
        TestServer::exec({ QStringLiteral("update %1.stock_details set closing_stock=0").arg(kDb) });

        const LineOutcome out = act(LineMode::Remove, QStringLiteral("SUGAR"), QStringLiteral("1"));
        QVERIFY(out.status.isEmpty());
        QCOMPARE(count(QStringLiteral("select * from $db.tordergrid where pcid=1")), 0);
        QCOMPARE(count(QStringLiteral("select * from $db.sales_order_details where pcid=1")), 0);
        QCOMPARE(count(QStringLiteral("select * from $db.sales_order_details where pcid=2")), 1);
        QCOMPARE(count(QStringLiteral("select * from $db.tordergrid where pcid=2")), 1);

        // removing an item that is not on the order writes nothing
        QVERIFY(!act(LineMode::Remove, QStringLiteral("SUGAR"), QStringLiteral("1")).written);
        QCOMPARE(count(QStringLiteral("select * from $db.tordergrid where pcid=1")), 0);
    }

    void unknownItemsAndAwkwardNames()
    {
        addItem(kDb, 1, QStringLiteral("O\"NEIL'S \\ TEA"), QStringLiteral("5"), QStringLiteral("0"),
            QStringLiteral("0"), 0, 10, QStringLiteral("123456789012"));
        addItem(kDb, 2, QStringLiteral("RICE"), QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("0"), 0, 10);
        for (LineMode mode : { LineMode::Add, LineMode::Change, LineMode::Remove })
            QCOMPARE(act(mode, QStringLiteral("NO SUCH"), QStringLiteral("1")).message,
                QStringLiteral("Specified item does not exist"));
        // RICE has no barcode, which the item table stores as "0"
        QVERIFY(ItemNameForBarcode(*dm, QStringLiteral("0")).isEmpty());
        QVERIFY(ItemNameForBarcode(*dm, QStringLiteral("000000000000")).isEmpty());
        const QString name = ItemNameForBarcode(*dm, QStringLiteral("123456789012"));
        QCOMPARE(name, QStringLiteral("O\"NEIL'S \\ TEA"));
        QVERIFY(act(LineMode::Add, name, QStringLiteral("2")).written);
        QVERIFY(act(LineMode::Add, name, QStringLiteral("1")).written);
        QCOMPARE(scalar(QStringLiteral("select quantity from $db.tordergrid")), QStringLiteral("3"));
        QVERIFY(ItemNameForBarcode(*dm, QStringLiteral("' or '1'='1")).isEmpty());
        QVERIFY_THROWS_EXCEPTION(EConvertError, act(LineMode::Add, name, QStringLiteral("1.5")));
    }

    void itemNamesWiderThanTheGrid_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("added");
        QTest::newRow("45 characters") << 45 << int(LineMode::Add) << true;
        QTest::newRow("46 characters") << 46 << int(LineMode::Add) << false;
        QTest::newRow("50 characters, as a change") << 50 << int(LineMode::Change) << false;
    }
    void itemNamesWiderThanTheGrid()
    {
        QFETCH(int, length);
        QFETCH(int, mode);
        QFETCH(bool, added);
        const QString name = QStringLiteral("TEA ") + QString(length - 4, QLatin1Char('X'));
        addItem(kDb, 1, name, QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("0"), 0, 10);
        const LineOutcome out = act(LineMode(mode), name, QStringLiteral("1"));
        QCOMPARE(out.status, added ? QString() : QStringLiteral("Item name is longer than 45 characters"));
        QCOMPARE(count(QStringLiteral("select * from $db.tordergrid")), added ? 1 : 0);
        QCOMPARE(count(QStringLiteral("select * from $db.sales_order_details")), added ? 1 : 0);
    }

    void typeAhead()
    {
        addItem(kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0"), 0, 1);
        addItem(kDb, 2, QStringLiteral("SUNFLOWER OIL"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0"),
            0, 1);
        addItem(kDb, 3, QStringLiteral("salt"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0"), 0, 1);
        addItem(
            kDb, 4, QStringLiteral("100% JUICE"), QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0"), 0, 1);
        QCOMPARE(ItemNamesStartingWith(*dm, QStringLiteral("su")),
            QStringList({ QStringLiteral("SUGAR"), QStringLiteral("SUNFLOWER OIL") }));
        QVERIFY(ItemNamesStartingWith(*dm, QStringLiteral("sux")).isEmpty());
        QCOMPARE(ItemNamesStartingWith(*dm, QStringLiteral("100%")), QStringList { QStringLiteral("100% JUICE") });
        QVERIFY(ItemNamesStartingWith(*dm, QStringLiteral("%")).isEmpty());
        QVERIFY(ItemNamesStartingWith(*dm, QStringLiteral("_")).isEmpty());
        QCOMPARE(AllItemNames(*dm).size(), 4);
        QCOMPARE(AllItemNames(*dm).first(), QStringLiteral("100% JUICE"));
    }

    void limitQuantity_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("kept");
        QTest::newRow("over the limit") << "75"
                                        << "50"
                                        << "7";
        QTest::newRow("at the limit") << "50"
                                      << "50"
                                      << "50";
        QTest::newRow("under the limit") << "5"
                                         << "1000"
                                         << "5";
        QTest::newRow("one digit too many") << "1001"
                                            << "1000"
                                            << "100";
        QTest::newRow("nothing typed") << ""
                                       << "50"
                                       << "";
        QTest::newRow("no limit set") << "75"
                                      << ""
                                      << "75";
    }
    void limitQuantity()
    {
        QFETCH(QString, typed);
        QFETCH(QString, limit);
        QTEST(LimitQuantity(typed, limit), "kept");
    }

    void nextBillNumberCountsSavedBillsOfThisTerminal()
    {
        QCOMPARE(NextBillNumber(*dm, QStringLiteral("1")), QStringLiteral("1"));
        TestServer::exec({
            QStringLiteral("insert into %1.sales_order(sdate,billno,pcid) values('2026-12-09',1,1)").arg(kDb),
            QStringLiteral("insert into %1.sales_order(sdate,billno,pcid,payment_status) values('2026-12-09',10,2,"
                           "'Complete'),('2026-12-09',9,2,'Part Payment'),('2026-12-08',3,2,'Hold')")
                .arg(kDb),
        });
        QCOMPARE(NextBillNumber(*dm, QStringLiteral("1")), QStringLiteral("1")); // processed, never held or paid
        TestServer::exec({ QStringLiteral("update %1.sales_order set payment_status='Hold' where pcid=1").arg(kDb) });
        QCOMPARE(NextBillNumber(*dm, QStringLiteral("1")), QStringLiteral("2"));
        QCOMPARE(NextBillNumber(*dm, QStringLiteral("2")), QStringLiteral("11"));
    }

    void processBill()
    {
        addItem(
            kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("25"), QStringLiteral("4"), QStringLiteral("10"), 0, 100);
        addItem(
            kDb, 2, QStringLiteral("TEA"), QStringLiteral("10.1"), QStringLiteral("0"), QStringLiteral("0"), 0, 100);
        TestServer::exec(
            { QStringLiteral("insert into %1.tax(sdate,rate) values('2026-01-01',5),('2026-06-01',10)").arg(kDb) });
        act(LineMode::Add, QStringLiteral("SUGAR"), QStringLiteral("3"));
        // another bill's lines in the same terminal's grid are not part of this one
        addGridLine(kDb, QStringLiteral("TEA"), 9, 1, 7);
        ProcessBill(*dm, order());
        // the latest tax (codes need not be consecutive: a cluster of servers hands them out in steps)
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',subtotal,(select sdate from $db.tax t where "
                                       "t.taxcode=o.taxcode),total,balance) from $db.sales_order o")),
            QStringLiteral("78|2026-06-01|77.22|77.22"));

        // processed again after another line: still one header, with the new totals
        act(LineMode::Add, QStringLiteral("TEA"), QStringLiteral("1"));
        OrderContext later = order();
        later.time = QStringLiteral("10.05.00.000");
        ProcessBill(*dm, later);
        QCOMPARE(count(QStringLiteral("select * from $db.sales_order")), 1);
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',subtotal,total,balance,stime) from $db.sales_order")),
            QStringLiteral("88.1|88.33|88.33|10.05.00.000"));
    }

    void processChangedPartPaidBill()
    {
        // price 250, with tax 312.5, less discount 250: the header's subtotal is the sum of line totals here
        addItem(
            kDb, 1, QStringLiteral("RICE"), QStringLiteral("50"), QStringLiteral("25"), QStringLiteral("20"), 0, 100);
        TestServer::exec({ QStringLiteral("insert into %1.sales_order(sdate,billno,pcid,total,amount_paid,balance,"
                                          "payment_status) values('2026-12-08',1,1,200,100,100,'Part Payment')")
                               .arg(kDb) });
        act(LineMode::Add, QStringLiteral("RICE"), QStringLiteral("5"));
        ProcessBill(*dm, order());
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',sdate,subtotal,total,amount_paid,balance) from "
                                       "$db.sales_order")),
            QStringLiteral("2026-12-09|250|250|100|150"));
    }

    void processKeepsDeliveryCharges()
    {
        addItem(kDb, 1, QStringLiteral("RICE"), QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0"), 0, 100);
        // terminal 2's bill 1 comes first, by date
        TestServer::exec({ QStringLiteral("insert into %1.delivery(sdate,billno,charges,pcid) values('2026-12-08',1,"
                                          "99,2),('2026-12-09',1,30,1)")
                               .arg(kDb) });
        act(LineMode::Add, QStringLiteral("RICE"), QStringLiteral("5"));
        ProcessBill(*dm, order());
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',total,balance) from $db.sales_order")),
            QStringLiteral("280|280"));
    }

    void clearingLeavesLockedBillsAndSavedDeliveries()
    {
        addItem(kDb, 1, QStringLiteral("RICE"), QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0"), 0, 100);
        TestServer::exec({
            // bill 4: held, resumed by another counter (locked); bill 5: held; bill 6: abandoned
            QStringLiteral("insert into %1.sales_order(sdate,billno,pcid,payment_status,bool_access) values"
                           "('2026-12-09',4,1,'Hold','t'),('2026-12-09',5,1,'Hold','f'),('2026-12-09',6,1,NULL,NULL)")
                .arg(kDb),
            QStringLiteral("insert into %1.delivery(sdate,billno,charges,pcid) values('2026-12-09',5,10,1),"
                           "('2026-12-08',6,10,1)")
                .arg(kDb),
        });
        for (int bill : { 4, 5, 6 })
            addGridLine(kDb, QStringLiteral("RICE"), 1, 1, bill);
        addGridLine(kDb, QStringLiteral("RICE"), 1, 2, 5);

        // a saved bill on show keeps everything
        TestServer::exec(
            { QStringLiteral("update %1.sales_order set payment_status='Complete' where billno=6").arg(kDb) });
        ClearStaleGrid(*dm, QStringLiteral("1"), QStringLiteral("6"));
        QCOMPARE(count(QStringLiteral("select * from $db.tordergrid where pcid=1")), 3);

        TestServer::exec({ QStringLiteral("update %1.sales_order set payment_status=NULL where billno=6").arg(kDb) });
        ClearStaleGrid(*dm, QStringLiteral("1"), QStringLiteral("7"));
        QCOMPARE(
            scalar(QStringLiteral("select group_concat(concat(pcid,'/',billno) order by pcid) from $db.tordergrid")),
            QStringLiteral("1/4,2/5"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(billno) from $db.delivery")), QStringLiteral("5"));

        act(LineMode::Add, QStringLiteral("RICE"), QStringLiteral("1"),
            order(QStringLiteral("1"), QStringLiteral("7")));
        TestServer::exec({ QStringLiteral("insert into %1.delivery(sdate,billno,charges,pcid) values('2026-12-09',7,"
                                          "10,1)")
                               .arg(kDb) });
        ClearOrder(*dm, QStringLiteral("1"), QStringLiteral("7"));
        QCOMPARE(
            scalar(QStringLiteral("select group_concat(concat(pcid,'/',billno) order by pcid) from $db.tordergrid")),
            QStringLiteral("1/4,2/5"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(billno) from $db.delivery")), QStringLiteral("5"));
    }

    // Two terminals at the last units: while one has checked the stock and written its line but
    // not yet finished, the other's check waits for it on the item's stock row and then counts it.
    void lastUnitsGoToOneTerminal_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("own"); // units on this terminal's order before
        QTest::addColumn<int>("others"); // units the other terminal is adding at that moment
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("status");
        QTest::newRow("add") << int(LineMode::Add) << 0 << 4 << "3"
                             << "Total stock remaining is 1. ";
        QTest::newRow("merge") << int(LineMode::Add) << 1 << 3 << "2"
                               << "Total Stock remaining is 1.";
        QTest::newRow("change") << int(LineMode::Change) << 1 << 3 << "3"
                                << "Total stock remaining is 2. ";
    }
    void lastUnitsGoToOneTerminal()
    {
        QFETCH(int, mode);
        QFETCH(int, own);
        QFETCH(int, others);
        QFETCH(QString, quantity);
        QFETCH(QString, status);
        addItem(kDb, 1, QStringLiteral("RICE"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("0"), 0, 5);
        if (own > 0)
            QVERIFY(act(LineMode::Add, QStringLiteral("RICE"), QString::number(own)).written);
        const OrderContext ctx = at(order());
        LineOutcome outcome;
        std::unique_ptr<QThread> terminal(QThread::create([&] {
            TDm counter(TestServer::settings());
            counter.setCompanyDatabase(kDb, true);
            outcome = RunLineAction(counter, ctx, LineMode(mode), QStringLiteral("RICE"), quantity, QString());
        }));
        bool waited = false;
        {
            // the other terminal, part-way through its own add of the item
            TTransaction other(dm->MyConposorderitem, Isolation::ReadCommitted);
            TQuery& q = dm->MyQposorderitem;
            q.exec(
                QStringLiteral("select closing_stock from stock_details where itemcode=1 order by sdate desc limit 1 "
                               "for update"));
            q.exec(QStringLiteral("insert into tordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,"
                                  "pcid,billno) values('RICE','10','%1','0','0','0','0','0',2,1)")
                       .arg(others));
            terminal->start();
            waited = !terminal->wait(300);
            other.commit();
        }
        QVERIFY(terminal->wait(10000));
        QVERIFY(waited);
        QCOMPARE(outcome.status, status);
        QVERIFY(!outcome.written);
        QCOMPARE(scalar(QStringLiteral("select sum(quantity) from $db.tordergrid")), QString::number(own + others));
    }

    void snapshotCopiesOnlyTheBill()
    {
        addGridLine(kDb, QStringLiteral("RICE"), 2, 1, 3);
        addGridLine(kDb, QStringLiteral("TEA"), 1, 1, 9);
        addGridLine(kDb, QStringLiteral("TEA"), 5, 2, 3);
        SnapshotBillLines(*dm, QStringLiteral("1"), QStringLiteral("3"));
        SnapshotBillLines(*dm, QStringLiteral("1"), QStringLiteral("3"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(itemname,quantity,'/',pcid,'/',billno)) from "
                                       "$db.temp_ordergrid")),
            QStringLiteral("RICE2/1/3"));
        QCOMPARE(OrderLogLines(*dm, QStringLiteral("1"), QStringLiteral("9")),
            QStringList { QStringLiteral(" TEA  1  1  1  0  1  0  1  9") });
    }
};

QTEST_GUILESS_MAIN(TestOrderLines)
#include "tst_orderlines.moc"
