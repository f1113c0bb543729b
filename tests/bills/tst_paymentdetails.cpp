// The payment details screen inside the POS menu: the lists, the bill lock of a resumed bill and
// when it goes, cancelling a held entry, and two terminals racing for one bill.
#include "app/posapplication.h"
#include "bills/paymentdetailspas.h"
#include "counterfixture.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetailspas.h"

#include <QDateEdit>
#include <QLabel>
#include <QTableView>
#include <QThread>

class TestPaymentDetails : public QObject, CounterFixture {
    Q_OBJECT

    Tfmpaymentdetails* screen() { return roster().fmpaymentdetails; }
    Tfmsalesorderdtls* settlement() { return roster().fmsalesorderdtls; }
    Tfrmmenupos* menu() { return roster().frmmenupos; }
    QTableView* list() { return find<QTableView>(screen(), "DBGrid1"); }
    QStringList keys()
    {
        QStringList k;
        for (int r = 0; r < list()->model()->rowCount(); ++r)
            k << list()->model()->index(r, 2).data().toString();
        return k;
    }
    bool enabled(const char* name) { return find(screen(), name)->isEnabled(); }
    void click(QWidget* screen, const char* name)
    {
        QTest::mouseClick(find<QAbstractButton>(screen, name), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    void open()
    {
        key(menu(), Qt::Key_F3);
        QVERIFY(screen()->isVisible());
    }
    // A date picker's calendar closing on the day.
    void pick(const char* picker, const QDate& day)
    {
        auto* p = find<QDateEdit>(screen(), picker);
        p->setDate(day);
        emit p->editingFinished();
    }
    void selectBill(const QString& billKey)
    {
        const int row = int(keys().indexOf(billKey));
        QVERIFY2(row >= 0, qPrintable(billKey));
        const QRect cell = list()->visualRect(list()->model()->index(row, 0));
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, cell.center());
    }
    // "PAYMENT" on a held (or part-paid) bill of today, as the cashier reaches it.
    void resume(const QString& billKey, const char* group = "RadioGroup1Hold")
    {
        open();
        click(screen(), group);
        selectBill(billKey);
        click(screen(), "btnPayment");
    }
    static QString lock(int pcid, int billno)
    {
        return scalar(
            QStringLiteral("select coalesce(bool_access,'-') from $db.sales_order where pcid=%1 and billno=%2")
                .arg(pcid)
                .arg(billno));
    }
    // A bill with its saved lines of RICE (50 each).
    static void addBill(int pcid, int billno, const QString& status, int quantity, const QString& day = "2026-12-09",
        const QString& access = QStringLiteral("null"))
    {
        const int total = 50 * quantity;
        exec(QStringLiteral("insert into $db.sales_order(sdate,stime,billno,customerid,subtotal,total,grandtotal,"
                            "amount_paid,balance,payment_status,delivery,pcid,bool_access) values('%1','10.15.30.000',"
                            "%2,4,%3,%3,%3,0,%3,'%4','Take Away',%5,%6)")
                 .arg(day)
                 .arg(billno)
                 .arg(total)
                 .arg(status)
                 .arg(pcid)
                 .arg(access));
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('RICE','50','%1','%2','0','%2','0','%2',%3,%4)")
                 .arg(quantity)
                 .arg(total)
                 .arg(pcid)
                 .arg(billno));
    }

    // A bill of 3 (or `quantity`) SAFE at 12345.67 each, with its saved lines and the stock it took.
    static void addSafeBill(int pcid, int billno, const QString& status, int quantity = 3)
    {
        exec(QStringLiteral("insert into $db.sales_order(sdate,stime,billno,customerid,subtotal,total,grandtotal,"
                            "balance,payment_status,delivery,pcid) select '2026-12-09','10.15.30.000',%1,4,t,t,t,t,"
                            "'%2','Take Away',%3 from (select 12345.67*%4 as t) x")
                 .arg(billno)
                 .arg(status)
                 .arg(pcid)
                 .arg(quantity));
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "select 'SAFE','12345.67','%1',t,'0',t,'0',t,%2,%3 from "
            "(select cast(12345.67*%1 as char) as t) x")
                 .arg(quantity)
                 .arg(pcid)
                 .arg(billno));
        exec(QStringLiteral("update $db.stock_details set closing_stock=closing_stock-%1 where itemcode=2 and "
                            "sdate='2026-12-01'")
                 .arg(quantity));
    }
    static void addSafe()
    {
        SalesFixture::addItem(db(), 2, QStringLiteral("SAFE"), QStringLiteral("12345.67"), QStringLiteral("0"),
            QStringLiteral("0"), 0, 20);
    }
    static QString safeStock()
    {
        return scalar(QStringLiteral("select closing_stock from $db.stock_details where itemcode=2 and "
                                     "sdate='2026-12-01'"));
    }
    static QString holder(int pcid, int billno)
    {
        return scalar(QStringLiteral("select concat(coalesce(bool_access,'-'),coalesce(lock_pcid,'-')) from "
                                     "$db.sales_order where pcid=%1 and billno=%2")
                          .arg(pcid)
                          .arg(billno));
    }
    // Another counter of the shop, on connections of its own.
    static std::unique_ptr<TDm> otherTerminal()
    {
        auto other = std::make_unique<TDm>(TestServer::settings());
        other->setCompanyDatabase(db(), true);
        return other;
    }
    // A cash payment of the bill as terminal `at` makes it.
    static PaymentRequest cashPayment(const BillKey& bill, const QString& amount, const QString& at)
    {
        PaymentRequest r;
        r.settle = { bill, PaymentMethod::Cash, amount, QStringLiteral("2026-12-09"), QStringLiteral("10:30:00"), {} };
        r.stampDate = QStringLiteral("2026-12-09");
        r.stampTime = QStringLiteral("10.30.00.000");
        r.thisTerminal = at;
        return r;
    }
    // The cashier types an amount in the cash box and presses its "OK".
    void payCash(const QString& amount)
    {
        QWidget* box = find(settlement(), "EAmtpaidcas");
        box->setFocus();
        QTest::keyClicks(box, amount);
        click(settlement(), "BtnCash");
    }

private Q_SLOTS:
    void initTestCase() { startProgram(); }
    void cleanupTestCase() { endProgram(); }
    void init()
    {
        openCounter();
        exec(QStringLiteral("insert into $db.customer_details(customerid,customer_name) values(4,'ANNA')"));
    }

    void lists_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("buttons"); // PAYMENT, CANCEL, UNLOCK enabled
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("firstRow");
        const QDate today(2026, 12, 9);
        const QString tail = QStringLiteral("|Take Away|ANNA|4");
        QTest::newRow("complete, one day")
            << "RadioGroup1Complete" << today << today << QStringList { "1/10", "2/10" } << "---"
            << ""
            << "09-12-2026|10.15.30|1/10|150|0|150|Complete" + tail;
        QTest::newRow("complete, three days")
            << "RadioGroup1Complete" << today.addDays(-2) << today << QStringList { "1/11", "1/10", "2/10" } << "---"
            << ""
            << "08-12-2026|10.15.30|1/11|50|0|50|Complete" + tail;
        QTest::newRow("hold in any letter case")
            << "RadioGroup1Hold" << today.addDays(-2) << today << QStringList { "2/12", "1/12" } << "PCU"
            << ""
            << "07-12-2026|10.15.30|2/12|50|0|50|hold" + tail;
        QTest::newRow("part payment") << "RadioGroup1PartPayment" << today << today << QStringList { "1/14" } << "P-U"
                                      << ""
                                      << "09-12-2026|10.15.30|1/14|50|0|50|Part Payment" + tail;
        // the screen starts over: today's completed bills
        QTest::newRow("reversed range") << "RadioGroup1Hold" << today << today.addDays(-1)
                                        << QStringList { "1/10", "2/10" } << "---"
                                        << "Select Proper Date"
                                        << "09-12-2026|10.15.30|1/10|150|0|150|Complete" + tail;
    }
    void lists()
    {
        QFETCH(QString, group);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, message);
        addBill(1, 10, "Complete", 3);
        addBill(2, 10, "complete", 1);
        addBill(1, 11, "Complete", 1, "2026-12-08");
        addBill(1, 12, "Hold", 1);
        addBill(2, 12, "hold", 1, "2026-12-07");
        addBill(1, 13, "Hold", 1);
        addBill(1, 14, "Part Payment", 1);
        addBill(1, 15, "", 1);
        addBill(1, 16, "Complete", 1, "2026-12-10");
        exec(QStringLiteral("update $db.sales_order set hold_entry='N' where billno=13"));
        open();
        // no latest date of long ago: today is shown
        QCOMPARE(find<QDateEdit>(screen(), "DateTimePicker2")->date(), QDate(2026, 12, 9));
        QCOMPARE(find<QDateEdit>(screen(), "DateTimePicker1")->minimumDate(), QDate(2000, 1, 1));
        QCOMPARE(keys(), QStringList({ "1/10", "2/10" }));

        click(screen(), qPrintable(group));
        pick("DateTimePicker1", from);
        pick("DateTimePicker2", to);
        QTEST(keys(), "listed");
        QCOMPARE(env->dialogs->texts(), message.isEmpty() ? QStringList() : QStringList { message });
        if (!message.isEmpty()) {
            QCoreApplication::processEvents();
            QVERIFY(find<QAbstractButton>(screen(), "RadioGroup1Complete")->isChecked());
            QCOMPARE(find<QDateEdit>(screen(), "DateTimePicker1")->date(), QDate(2026, 12, 9));
            QCOMPARE(find<QDateEdit>(screen(), "DateTimePicker2")->date(), QDate(2026, 12, 9));
        }
        QString buttons;
        buttons += enabled("btnPayment") ? 'P' : '-';
        buttons += enabled("btn_cancel") ? 'C' : '-';
        buttons += enabled("Button1") ? 'U' : '-';
        QTEST(buttons, "buttons");

        QStringList first;
        for (int c = 0; c < list()->model()->columnCount(); ++c)
            first << list()->model()->index(0, c).data().toString();
        QTEST(first.join('|'), "firstRow");
    }

    void resumesABillOfAnotherTerminal()
    {
        // bill 57 of terminal 1 comes first: its lines must not be taken for terminal 2's bill 57
        addBill(1, 57, "Hold", 9);
        addBill(2, 57, "Hold", 3);
        SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 7, 2, 57); // a stale row of the bill
        SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 1, 2, 58); // terminal 2 rings up bill 58
        resume(QStringLiteral("2/57"));
        QVERIFY(settlement()->isVisible());
        QVERIFY(!screen()->isVisible());
        QCOMPARE(find<QLabel>(settlement(), "Label27")->text(), QStringLiteral("2/57"));
        QCOMPARE(settlement()->terminalId(), QStringLiteral("2"));
        QCOMPARE(find<QLabel>(settlement(), "lblnoitems")->text(), QStringLiteral("1"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(billno,':',quantity) order by billno) from "
                                       "$db.tordergrid where pcid=2")),
            QStringLiteral("57:3,58:1"));
        QCOMPARE(lock(2, 57), QStringLiteral("t"));
        QCOMPARE(lock(1, 57), QStringLiteral("-"));
        QVERIFY(logText().contains(QLatin1String("Payment/Hold....Customer with customer id 4 and bill no  57")));
        QCOMPARE(screen()->ResumeFlag, 1);
    }

    void lockLastsUntilTheBillLeavesTheCounter_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("locked");
        QTest::newRow("CHANGE ITEM DETAILS") << "change"
                                             << "t";
        QTest::newRow("part payment") << "part"
                                      << "t";
        QTest::newRow("paid in full") << "full"
                                      << "f";
        QTest::newRow("held") << "hold"
                              << "f";
        QTest::newRow("BACK") << "back"
                              << "f";
        QTest::newRow("a new order") << "new"
                                     << "f";
        QTest::newRow("payment details again") << "details"
                                               << "f";
        QTest::newRow("HOME") << "home"
                              << "f";
        QTest::newRow("close button") << "close"
                                      << "f";
        QTest::newRow("window closed") << "window"
                                       << "f";
    }
    void lockLastsUntilTheBillLeavesTheCounter()
    {
        QFETCH(QString, way);
        addBill(2, 56, "Hold", 1, "2026-12-09", "'t'"); // another counter has this one
        addBill(2, 57, "Hold", 3);
        resume(QStringLiteral("2/57"));
        QVERIFY(settlement()->isVisible());
        QWidget* amount = find(settlement(), "EAmtpaidcas");
        auto pay = [&](const char* rupees) {
            amount->setFocus();
            QTest::keyClicks(amount, QLatin1String(rupees));
            click(settlement(), "BtnCash");
        };
        if (way == "change") {
            click(settlement(), "Button1");
            QVERIFY(roster().fmorderitem->isVisible());
        } else if (way == "part") {
            pay("50");
        } else if (way == "full") {
            pay("150");
            QCOMPARE(scalar("select payment_status from $db.sales_order where pcid=2 and billno=57"), "Complete");
        } else if (way == "hold") {
            env->dialogs->answers << Dialogs::Answer::Yes;
            key(amount, Qt::Key_H, Qt::ControlModifier);
        } else if (way == "back") {
            key(amount, Qt::Key_B, Qt::ControlModifier);
            QVERIFY(roster().fmorderitem->isVisible());
        } else if (way == "new") {
            key(menu(), Qt::Key_F1);
        } else if (way == "details") {
            key(menu(), Qt::Key_F3);
        } else if (way == "home") {
            click(menu(), "btnback");
        } else if (way == "close") {
            env->dialogs->answers << Dialogs::Answer::Ok << Dialogs::Answer::No;
            click(menu(), "BitBtn2");
        } else {
            env->dialogs->answers << Dialogs::Answer::Ok;
            menu()->close();
        }
        QTEST(lock(2, 57), "locked");
        QCOMPARE(lock(2, 56), QStringLiteral("t"));
    }

    void changedBillSurvivesItsHomeTerminal()
    {
        addBill(2, 57, "Hold", 3);
        SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 1, 2, 58);
        resume(QStringLiteral("2/57"));
        click(settlement(), "Button1"); // CHANGE ITEM DETAILS
        QCOMPARE(find<QLabel>(roster().fmorderitem, "Label9")->text(), QStringLiteral("2/57"));

        // meanwhile terminal 2 activates its order screen on bill 58 and clears it
        TDm home(TestServer::settings());
        home.setCompanyDatabase(db(), true);
        ClearStaleGrid(home, QStringLiteral("2"), QStringLiteral("58"));
        ClearOrder(home, QStringLiteral("2"), QStringLiteral("58"));

        click(roster().fmorderitem, "btnprocessorder");
        QVERIFY(settlement()->isVisible());
        QCOMPARE(find<QLabel>(settlement(), "Label27")->text(), QStringLiteral("2/57"));
        QCOMPARE(find<QLabel>(settlement(), "lblnoitems")->text(), QStringLiteral("1"));
        QCOMPARE(scalar("select total from $db.sales_order where pcid=2 and billno=57"), QStringLiteral("150"));
        QCOMPARE(scalar("select count(*) from $db.tordergrid where pcid=2 and billno=58"), QStringLiteral("0"));
        QCOMPARE(lock(2, 57), QStringLiteral("t"));
    }

    void lockedBillIsHighlightedAndRefused()
    {
        addBill(2, 56, "Hold", 1);
        addBill(2, 57, "Hold", 3, "2026-12-09", "'t'");
        open();
        click(screen(), "RadioGroup1Hold");
        list()->clearSelection();
        const quint64 before = TQuery::statementCount();
        const QImage shot = list()->viewport()->grab().toImage();
        QCOMPARE(TQuery::statementCount() - before, quint64(1)); // one read for every cell painted
        const QColor highlight = list()->palette().color(QPalette::Active, QPalette::Highlight);
        auto background = [&](int row, int column) {
            const QRect cell = list()->visualRect(list()->model()->index(row, column));
            return shot.pixelColor(cell.bottomRight() - QPoint(2, 2));
        };
        for (int c = 0; c < list()->model()->columnCount(); ++c) {
            QCOMPARE(background(1, c), highlight); // 2/57
            QVERIFY(background(0, c) != highlight);
        }

        selectBill(QStringLiteral("2/57"));
        click(screen(), "btnPayment");
        QVERIFY(screen()->isVisible());
        QVERIFY(!settlement()->isVisible());
        QVERIFY(!screen()->HoldsResumedLock());
        QCOMPARE(screen()->ResumeFlag, 0);
        // the refused bill is not this counter's: starting an order leaves its lock alone
        key(menu(), Qt::Key_F1);
        QCOMPARE(lock(2, 57), QStringLiteral("t"));
    }

    void unlockForAdministratorsOnly_data()
    {
        QTest::addColumn<QString>("role");
        QTest::newRow("cashier") << "cashier";
        QTest::newRow("administrator") << "admin";
    }
    void unlockForAdministratorsOnly()
    {
        QFETCH(QString, role);
        exec(QStringLiteral("update general_stores.login set role='%1'").arg(role));
        addBill(2, 56, "Hold", 1);
        addBill(2, 57, "Hold", 3, "2026-12-09", "'t'");
        open();
        click(screen(), "RadioGroup1Hold");
        QWidget* unlock = find(screen(), "Button1");
        QCOMPARE(unlock->isVisible(), role == "admin");
        if (role != "admin")
            return;
        selectBill(QStringLiteral("2/56"));
        QVERIFY(!unlock->isEnabled());
        selectBill(QStringLiteral("2/57"));
        QVERIFY(unlock->isEnabled());
        click(screen(), "Button1");
        QCOMPARE(lock(2, 57), QStringLiteral("f"));
    }

    void cancel_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("meanwhile"); // done by another terminal after the list was drawn
        QTest::addColumn<QString>("stock");
        QTest::addColumn<QString>("holdEntry");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("message");
        QTest::newRow("cancelled") << true << ""
                                   << "13"
                                   << "N" << QStringList { "1/20" } << "";
        QTest::newRow("answered no") << false << ""
                                     << "10"
                                     << "-" << QStringList { "1/57", "2/57" } << "";
        // a refused cancel says why and shows the held bills as they are now
        QTest::newRow("cancelled elsewhere meanwhile")
            << true << "update $db.sales_order set hold_entry='N' where pcid=2"
            << "10"
            << "N" << QStringList { "1/57" } << "Bill 2/57 was cancelled; nothing is changed.";
        QTest::newRow("taken for payment meanwhile")
            << true << "update $db.sales_order set bool_access='t', lock_pcid=3 where pcid=2"
            << "10"
            << "-" << QStringList { "1/57", "2/57" } << "Bill 2/57 is being settled at terminal 3; nothing is changed.";
        QTest::newRow("taken for payment at its own terminal meanwhile")
            << true << "update $db.sales_order set bool_access='t', lock_pcid=2 where pcid=2"
            << "10"
            << "-" << QStringList { "1/57", "2/57" } << "Bill 2/57 is being settled at terminal 2; nothing is changed.";
        QTest::newRow("part paid meanwhile")
            << true << "update $db.sales_order set payment_status='Part Payment', amount_paid=10 where pcid=2"
            << "10"
            << "-" << QStringList { "1/57" } << "Bill 2/57 is no longer on hold; nothing is changed.";
        QTest::newRow("gone meanwhile") << true << "delete from $db.sales_order where pcid=2"
                                        << "10"
                                        << "" << QStringList { "1/57" }
                                        << "Bill 2/57 no longer exists; nothing is changed.";
        QTest::newRow("a line's item is gone")
            << true
            << "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
               "values('OLD TEA','5','2','10','0','10','0','10',2,57)"
            << "13"
            << "N" << QStringList { "1/20" } << "";
    }
    void cancel()
    {
        QFETCH(bool, yes);
        QFETCH(QString, meanwhile);
        exec(QStringLiteral("update $db.stock_details set closing_stock=10 where sdate='2026-12-01'"));
        addBill(1, 57, "Hold", 4); // the same number on this terminal comes first
        addBill(2, 57, "Hold", 3);
        addBill(1, 20, "Complete", 1);
        open();
        click(screen(), "RadioGroup1Hold");
        selectBill(QStringLiteral("2/57"));
        if (!meanwhile.isEmpty())
            exec(meanwhile);
        env->dialogs->answers << (yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        click(screen(), "btn_cancel");
        QCOMPARE(env->dialogs->questions, QStringList { "Do you  want to cancel Entry on hold?: YES / NO" });
        QTEST(riceStock(), "stock");
        QCOMPARE(scalar("select closing_stock from $db.stock_details where sdate='2026-01-05'"), QStringLiteral("500"));
        QTEST(scalar("select coalesce(hold_entry,'-') from $db.sales_order where pcid=2"), "holdEntry");
        QCOMPARE(scalar("select coalesce(hold_entry,'-') from $db.sales_order where pcid=1 and billno=57"), "-");
        QTEST(keys(), "listed");
        QFETCH(QString, message);
        QCOMPARE(env->dialogs->texts(), message.isEmpty() ? QStringList() : QStringList { message });
        // after a cancel the complete bills are listed; after a refusal the held ones stay
        QCOMPARE(find<QAbstractButton>(screen(), "RadioGroup1Complete")->isChecked(), yes && message.isEmpty());
        QCOMPARE(find<QAbstractButton>(screen(), "RadioGroup1Hold")->isChecked(), !yes || !message.isEmpty());
        if (meanwhile.contains(QLatin1String("OLD TEA")))
            QVERIFY(logText().contains(QLatin1String("Stock not moved for OLD TEA of bill 2/57")));
    }

    // A failure between two statements of a cancel or a resume (a trigger refuses the later one)
    // leaves the bill, its lock, the grids and the stock as they were; then the same action goes through.
    void failurePartWayLeavesTheBillAsItWas_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QString>("when");
        QTest::newRow("cancel: the second line's stock") << true << "before update on $db.stock_details"
                                                         << "new.itemcode=2";
        QTest::newRow("resume: the lines into the grid") << false << "before insert on $db.tordergrid"
                                                         << "true";
    }
    void failurePartWayLeavesTheBillAsItWas()
    {
        QFETCH(bool, cancel);
        QFETCH(QString, failing);
        QFETCH(QString, when);
        exec(QStringLiteral("drop trigger if exists $db.inject"));
        exec(QStringLiteral(
            "insert into $db.item(itemcode,itemname,rate,discount,tax,minimal,barcode) values(2,'TEA',10,0,0,0,'0')"));
        exec(QStringLiteral(
            "insert into $db.stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
            "values('2026-12-01',2,10,0,10,0)"));
        addBill(2, 57, "Hold", 3);
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('TEA','10','2','20','0','20','0','20',2,57)"));
        // what an earlier resume left in the bill's terminal's grid
        exec(
            QStringLiteral("insert into $db.tordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,"
                           "billno) values('RICE','50','1','50','0','50','0','50',2,57)"));
        const auto everything = [] {
            return scalar("select concat_ws('|',(select group_concat(concat_ws(',',pcid,billno,payment_status,"
                          "coalesce(hold_entry,'-'),coalesce(bool_access,'-'))) from $db.sales_order),(select "
                          "group_concat(concat_ws(',',pcid,billno,itemname,quantity) order by itemname) from "
                          "$db.tordergrid),(select group_concat(concat_ws(',',itemcode,sdate,closing_stock) order by "
                          "itemcode,sdate) from $db.stock_details))");
        };
        const QString before = everything();
        exec(QStringLiteral("create trigger $db.inject %1 for each row begin if %2 then signal sqlstate '45000' set "
                            "message_text='injected failure'; end if; end")
                 .arg(failing, when));
        const BillKey bill { QStringLiteral("2"), QStringLiteral("57") };
        const auto act = [&] {
            return cancel ? CancelHeldEntry(*roster().Dm, bill).done
                          : TakeBillForPayment(*roster().Dm, bill, QStringLiteral("1"));
        };
        QString error;
        try {
            act();
        } catch (const EDatabaseError& e) {
            error = e.message();
        }
        exec(QStringLiteral("drop trigger $db.inject"));
        QVERIFY2(error.contains(QLatin1String("injected failure")), qPrintable(error));
        QCOMPARE(everything(), before);
        QVERIFY(!roster().Dm->MyConsalesdetails.inTransaction());
        QVERIFY(act());
        QVERIFY(everything() != before);
    }

    // A held entry another terminal cancels while this one lists it cannot be resumed: its goods,
    // given back by the cancel, would be given back again by its payment.
    void cancelledEntryIsNotResumed()
    {
        exec(QStringLiteral("update $db.stock_details set closing_stock=10 where sdate='2026-12-01'"));
        addBill(1, 57, "Hold", 1); // this terminal's own bill 57 comes first and stays
        addBill(2, 57, "Hold", 3);
        open();
        click(screen(), "RadioGroup1Hold");
        selectBill(QStringLiteral("2/57"));
        const auto other = otherTerminal();
        QVERIFY(CancelHeldEntry(*other, { QStringLiteral("2"), QStringLiteral("57") }));
        QCOMPARE(riceStock(), QStringLiteral("13"));

        click(screen(), "btnPayment");
        QVERIFY(screen()->isVisible() && !settlement()->isVisible());
        QVERIFY(!screen()->HoldsResumedLock());
        QCOMPARE(holder(2, 57), QStringLiteral("--"));
        QCOMPARE(scalar("select count(*) from $db.tordergrid"), QStringLiteral("0"));
    }

    // The bill this counter processed and shows for payment is its own alone, also while its
    // items are changed: another terminal can neither take it nor pay it until it leaves.
    void billOnTheSettlementScreenIsThisTerminals()
    {
        addSafe();
        addBill(2, 1, "Hold", 1); // another terminal's bill 1, free
        key(menu(), Qt::Key_F1);
        typeLine(QStringLiteral("SAFE"), QStringLiteral("3"));
        click(roster().fmorderitem, "btnprocessorder");
        QVERIFY(settlement()->isVisible());
        QCOMPARE(find<QLabel>(settlement(), "Label27")->text(), QStringLiteral("1/1"));
        QCOMPARE(holder(1, 1), QStringLiteral("t1"));
        payCash(QStringLiteral("12345.67"));
        QCOMPARE(scalar("select concat_ws('|',payment_status,amount_paid,balance) from $db.sales_order where pcid=1"),
            QStringLiteral("Part Payment|12345.67|24691.34"));

        const auto other = otherTerminal();
        const BillKey bill { QStringLiteral("1"), QStringLiteral("1") };
        const auto refused = [&] {
            const PaymentRequest r = cashPayment(bill, QStringLiteral("24691.34"), QStringLiteral("2"));
            return !TakeBillForPayment(*other, bill, QStringLiteral("2"))
                && RunPayment(*other, r).messages
                == QStringList { "Bill 1/1 is being settled at terminal 1; the payment is not recorded." }
            && LockedBills(*other).contains(QStringLiteral("1/1"));
        };
        QVERIFY(refused());
        key(find(settlement(), "EAmtpaidcas"), Qt::Key_C, Qt::ControlModifier); // CHANGE ITEM DETAILS
        QVERIFY(roster().fmorderitem->isVisible());
        QVERIFY(refused());
        click(roster().fmorderitem, "btnprocessorder");
        QVERIFY(settlement()->isVisible());
        QVERIFY(refused());
        QCOMPARE(scalar("select concat_ws('|',amount_paid,balance) from $db.sales_order where pcid=1"),
            QStringLiteral("12345.67|24691.34"));

        click(menu(), "btnback"); // HOME: the bill leaves the counter
        QCOMPARE(holder(1, 1), QStringLiteral("f-"));
        QVERIFY(TakeBillForPayment(*other, bill, QStringLiteral("2")));
        QCOMPARE(holder(1, 1), QStringLiteral("t2"));
        QCOMPARE(holder(2, 1), QStringLiteral("--"));
    }

    // A terminal lets go only of its own lock: once an administrator has released it and another
    // terminal has taken the bill, leaving the counter here keeps the other terminal's lock.
    void leavingKeepsAnotherTerminalsLock()
    {
        addBill(2, 57, "Hold", 3);
        resume(QStringLiteral("2/57"));
        QCOMPARE(holder(2, 57), QStringLiteral("t1"));
        const auto other = otherTerminal();
        UnlockBill(*other, { QStringLiteral("2"), QStringLiteral("57") });
        QVERIFY(TakeBillForPayment(*other, { QStringLiteral("2"), QStringLiteral("57") }, QStringLiteral("3")));
        click(menu(), "btnback");
        QCOMPARE(holder(2, 57), QStringLiteral("t3"));
    }

    // A held bill resumed, changed to 5 SAFE and processed again, then left in any way: its total,
    // its saved lines and the stock agree, and it can be resumed and paid.
    void changedBillLeftInAnyWay_data()
    {
        QTest::addColumn<QString>("way");
        for (const char* way : { "HOME", "close button", "window closed", "F1", "F2", "F3", "F4", "F5", "CLEAR" })
            QTest::newRow(way) << QString::fromLatin1(way);
    }
    void changedBillLeftInAnyWay()
    {
        QFETCH(QString, way);
        addSafe();
        addBill(1, 57, "Hold", 1); // this terminal's own bill 57 comes first
        addSafeBill(2, 57, "Hold");
        QCOMPARE(safeStock(), QStringLiteral("17"));
        resume(QStringLiteral("2/57"));
        click(settlement(), "Button1"); // CHANGE ITEM DETAILS
        typeLine(QStringLiteral("SAFE"), QStringLiteral("2"));
        click(roster().fmorderitem, "btnprocessorder");
        QVERIFY(settlement()->isVisible());
        QCOMPARE(find<QLabel>(settlement(), "lbltotal")->text(), QStringLiteral("61728.35"));

        bool menuStays = true;
        if (way == "HOME") {
            click(menu(), "btnback");
            menuStays = false;
        } else if (way == "close button") {
            env->dialogs->answers << Dialogs::Answer::Ok << Dialogs::Answer::No;
            click(menu(), "BitBtn2");
            menuStays = false;
        } else if (way == "window closed") {
            env->dialogs->answers << Dialogs::Answer::Ok;
            menu()->close();
            menuStays = false;
        } else if (way == "CLEAR") {
            click(settlement(), "Button1");
            click(roster().fmorderitem, "clear");
        } else {
            key(menu(), Qt::Key_F1 + way.mid(1).toInt() - 1);
        }
        // the counter moves on to the payment details, where the bill waits again
        if (menuStays && way != "F3")
            key(menu(), Qt::Key_F3);

        QCOMPARE(scalar("select concat_ws('|',total,balance,payment_status) from $db.sales_order where pcid=2"),
            QStringLiteral("61728.35|61728.35|Hold"));
        QCOMPARE(scalar("select group_concat(concat(itemname,':',quantity)) from $db.temp_ordergrid where pcid=2"),
            QStringLiteral("SAFE:5"));
        QCOMPARE(safeStock(), QStringLiteral("15"));
        QCOMPARE(holder(2, 57), QStringLiteral("f-"));

        // another counter resumes it with its lines and takes the money for it
        const auto other = otherTerminal();
        const BillKey bill { QStringLiteral("2"), QStringLiteral("57") };
        QVERIFY(TakeBillForPayment(*other, bill, QStringLiteral("3")));
        QCOMPARE(scalar("select group_concat(concat(itemname,':',quantity)) from $db.tordergrid where pcid=2 and "
                        "billno=57"),
            QStringLiteral("SAFE:5"));
        QVERIFY(
            RunPayment(*other, cashPayment(bill, QStringLiteral("61728.35"), QStringLiteral("3"))).settled.complete);
        QCOMPARE(scalar("select concat_ws('|',amount_paid,balance,payment_status) from $db.sales_order where pcid=2"),
            QStringLiteral("61728.35|0|Complete"));
        QCOMPARE(safeStock(), QStringLiteral("15"));
    }

    void twoTerminalsRaceForOneBill()
    {
        constexpr int kBills = 150;
        QStringList rows;
        for (int b = 1; b <= kBills; ++b)
            rows << QStringLiteral("('2026-12-09',%1,2,'Hold')").arg(b);
        exec(QStringLiteral("insert into $db.sales_order(sdate,billno,pcid,payment_status) values ") + rows.join(','));
        QSet<int> won[2];
        auto terminal = [&](int t) {
            return QThread::create([&, t] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(db(), true);
                for (int b = 1; b <= kBills; ++b) {
                    if (TakeBillForPayment(own, { QStringLiteral("2"), QString::number(b) }, QString::number(3 + t)))
                        won[t].insert(b);
                }
            });
        };
        std::unique_ptr<QThread> one(terminal(0));
        std::unique_ptr<QThread> two(terminal(1));
        one->start();
        two->start();
        QVERIFY(one->wait(60000) && two->wait(60000));
        QVERIFY(!won[0].intersects(won[1]));
        QCOMPARE(won[0].size() + won[1].size(), kBills);
        QCOMPARE(scalar("select count(*) from $db.sales_order where bool_access='t'"), QString::number(kBills));
    }

    // A terminal that ended without letting go of its bills (a crash, a kill, a power cut) gets
    // them back at its next start, in every company; other terminals' locks stay.
    void startReleasesThisTerminalsLocks()
    {
        SalesFixture::createCompany(QStringLiteral("SECOND"));
        exec(QStringLiteral("delete from dbname.dbname"));
        exec(QStringLiteral("insert into dbname.dbname values('COUNTER'),('SECOND')"));
        for (const char* company : { "COUNTER", "SECOND" })
            TestServer::exec({ QStringLiteral("insert into %1.sales_settings values ('hold limit','30'),"
                                              "('Part payment days','30')")
                                   .arg(QLatin1String(company)) });
        // terminal 2's lock on bill 5 of its own, and terminal 1's on bill 5 of either terminal
        exec(QStringLiteral("insert into $db.sales_order(sdate,billno,pcid,payment_status,bool_access,lock_pcid) "
                            "values ('2026-12-09',5,2,'Hold','t',2),('2026-12-09',5,1,'Hold','t',1),"
                            "('2026-12-09',6,1,'Part Payment','t',null)"));
        TestServer::exec({ QStringLiteral("insert into SECOND.sales_order(sdate,billno,pcid,payment_status,bool_access,"
                                          "lock_pcid) values ('2026-12-09',5,2,'Hold','t',1)") });
        // a catalogued company whose database is gone is passed over
        const auto other = otherTerminal();
        exec(QStringLiteral("insert into dbname.dbname values('GONE')"));
        ReleaseTerminalLocks(*other, QStringLiteral("4"));
        exec(QStringLiteral("delete from dbname.dbname where cname='GONE'"));

        roster().destroy();
        roster().create();
        QCOMPARE(roster().frmadminoptions->TerminalId, QStringLiteral("1"));
        QCOMPARE(scalar("select group_concat(concat(pcid,'/',billno,bool_access,coalesce(lock_pcid,'-')) order by "
                        "pcid,billno) from $db.sales_order"),
            QStringLiteral("1/5f-,1/6t-,2/5t2"));
        QCOMPARE(TestServer::scalar(QStringLiteral("select concat(bool_access,coalesce(lock_pcid,'-')) from "
                                                   "SECOND.sales_order")),
            QStringLiteral("f-"));
        roster().Dm->setCompanyDatabase(db(), true);
        roster().fmlogin->CurrentUser = QStringLiteral("meera");
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestPaymentDetails test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_paymentdetails.moc"
