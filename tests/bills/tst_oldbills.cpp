// The old bills screen inside the POS menu: finding completed bills, a bill's lines, the way in
// from the customer history, and the duplicate read back from its saved workbook.
#include "app/posapplication.h"
#include "bills/billsheet.h"
#include "bills/customerhistory.h"
#include "counterfixture.h"
#include "workbook/workbook.h"
#include "workbook/workbookprinter.h"
#include "workbooktestkit.h"

#include <QDateEdit>
#include <QLabel>
#include <QTableView>
#include <QTimer>

class TestOldBills : public QObject, CounterFixture {
    Q_OBJECT

    Told_bill* screen() { return roster().old_bill; }
    QTableView* bills() { return find<QTableView>(screen(), "DBGrid2"); }
    QTableView* lines() { return find<QTableView>(screen(), "DBGrid1"); }
    QStringList keys()
    {
        QStringList k;
        for (int r = 0; r < bills()->model()->rowCount(); ++r)
            k << bills()->model()->index(r, 1).data().toString();
        return k;
    }
    void click(const char* name)
    {
        // near the left edge: a radio button takes clicks on its circle and caption only
        auto* button = find<QAbstractButton>(screen(), name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
        QCoreApplication::processEvents();
    }
    void type(const char* name, const QString& text)
    {
        auto* field = find<QLineEdit>(screen(), name);
        field->setFocus();
        QTest::keyClicks(field, text);
    }
    void open()
    {
        key(roster().frmmenupos, Qt::Key_F5);
        QVERIFY(screen()->isVisible());
    }
    void doubleClickBill(const QString& billKey)
    {
        const int row = int(keys().indexOf(billKey));
        QVERIFY2(row >= 0, qPrintable(billKey));
        const QPoint at = bills()->visualRect(bills()->model()->index(row, 0)).center();
        QTest::mouseClick(bills()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(bills()->viewport(), Qt::LeftButton, {}, at);
    }
    static void addBill(int pcid, int billno, const QString& status, int customer, const QString& day, int quantity)
    {
        exec(QStringLiteral("insert into $db.sales_order(sdate,stime,billno,customerid,subtotal,total,grandtotal,"
                            "amount_paid,balance,payment_status,delivery,pcid) values('%1','10.15.30.120',%2,%3,0,0,0,"
                            "0,0,'%4','Take Away',%5)")
                 .arg(day)
                 .arg(billno)
                 .arg(customer)
                 .arg(status)
                 .arg(pcid));
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('RICE','50','%1','%2','0','%2','0','%2',%3,%4)")
                 .arg(quantity)
                 .arg(quantity * 50)
                 .arg(pcid)
                 .arg(billno));
    }

private Q_SLOTS:
    void initTestCase()
    {
        startProgram();
        // the duplicate template beside the program
        QVERIFY(QFile::copy(Kit::templateFolder() + "/" + kBillDuplicateTemplate,
            services().paths().programFolder() + "/" + kBillDuplicateTemplate));
    }
    void cleanupTestCase() { endProgram(); }
    void init()
    {
        openCounter();
        exec(QStringLiteral("insert into $db.customer_details(customerid,customer_name) values(4,'MART'),"
                            "(5,'SUPERMART'),(6,'ANNA')"));
        // bill 57 of terminal 1 first: a bill of the same number on another terminal
        addBill(1, 57, "Complete", 5, "2026-12-09", 9);
        addBill(2, 57, "Complete", 4, "2026-12-09", 3);
        addBill(2, 58, "Hold", 4, "2026-12-09", 1);
        addBill(2, 59, "Part Payment", 4, "2026-12-09", 1);
        addBill(1, 1, "complete", 6, "2026-12-01", 1);
        addBill(1, 61, "Complete", 4, "2026-11-20", 1);
    }

    void search_data()
    {
        QTest::addColumn<bool>("byKey");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("billKey");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QString>("message");
        const QStringList all { "1/61", "1/1", "1/57", "2/57" };
        QTest::newRow("bill key") << true << ""
                                  << ""
                                  << "2/57" << QStringList { "2/57" } << "";
        QTest::newRow("bill number alone") << true << ""
                                           << ""
                                           << "57" << all << "Please enter correct bill number";
        QTest::newRow("a third part") << true << ""
                                      << ""
                                      << "2/57/3" << all << "Please enter correct bill number";
        QTest::newRow("no bill number") << true << ""
                                        << ""
                                        << "2/" << all << "Please enter correct bill number";
        QTest::newRow("no terminal") << true << ""
                                     << ""
                                     << "/57" << all << "Please enter correct bill number";
        QTest::newRow("no key: every completed bill") << true << ""
                                                      << ""
                                                      << "" << all << "";
        QTest::newRow("part of a name, any case") << false << ""
                                                  << "mart"
                                                  << "" << QStringList { "1/57", "2/57" } << "";
        QTest::newRow("name and id: exactly") << false << "4"
                                              << "MART"
                                              << "" << QStringList { "2/57" } << "";
        QTest::newRow("id") << false << "5"
                            << ""
                            << "" << QStringList { "1/57" } << "";
        QTest::newRow("neither: since the first bill") << false << ""
                                                       << ""
                                                       << "" << QStringList { "1/1", "1/57", "2/57" } << "";
    }
    void search()
    {
        QFETCH(bool, byKey);
        open();
        QCOMPARE(keys(), QStringList({ "1/61", "1/1", "1/57", "2/57" }));
        QCOMPARE(find<QDateEdit>(screen(), "DateTimePicker1")->date(), QDate(2026, 12, 1));
        QCOMPARE(find<QDateEdit>(screen(), "DateTimePicker2")->date(), QDate(2026, 12, 9));
        click(byKey ? "rad_Billno" : "Rad_Customer");
        QCOMPARE(find(screen(), "Edt_bill_numbr")->isEnabled(), byKey);
        QCOMPARE(find(screen(), "Edt_name")->isEnabled(), !byKey);
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(QString, billKey);
        type("Edt_id", id);
        type("Edt_name", name);
        type("Edt_bill_numbr", billKey);
        click("btn_search");
        QTEST(keys(), "found");
        QFETCH(QString, message);
        QCOMPARE(env->dialogs->texts(), message.isEmpty() ? QStringList() : QStringList { message });
        // a refused key is typed afresh; what the customer search holds stays
        QCoreApplication::processEvents();
        QCOMPARE(find<QLineEdit>(screen(), "Edt_bill_numbr")->text(), message.isEmpty() ? billKey : QString());
        QCOMPARE(find<QLineEdit>(screen(), "Edt_name")->text(), name);
        QCOMPARE(find<QLineEdit>(screen(), "Edt_id")->text(), id);
        QVERIFY(bills()->isVisible() && !lines()->isVisible());
        QVERIFY(!find(screen(), "Button2")->isEnabled());
    }

    void keyFilters_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("id: digits") << "Edt_id"
                                    << "4a-2"
                                    << "42";
        QTest::newRow("name: letters A to Z") << "Edt_name"
                                              << "Ma rt.9"
                                              << "Mart";
        QTest::newRow("bill key: digits and /") << "Edt_bill_numbr"
                                                << "2/5x7"
                                                << "2/57";
    }
    void keyFilters()
    {
        QFETCH(QString, field);
        open();
        if (field == "Edt_bill_numbr")
            click("rad_Billno");
        QFETCH(QString, typed);
        type(qPrintable(field), typed);
        QTEST(find<QLineEdit>(screen(), qPrintable(field))->text(), "kept");
    }

    void viewAndBack()
    {
        open();
        doubleClickBill(QStringLiteral("2/57"));
        QCOMPARE(find<QLabel>(screen(), "Label7")->text(), QStringLiteral("2/57"));
        QVERIFY(lines()->isVisible() && !bills()->isVisible());
        QCOMPARE(lines()->model()->rowCount(), 1);
        QCOMPARE(lines()->model()->index(0, 2).data().toString(), QStringLiteral("3"));
        auto* view = find<QAbstractButton>(screen(), "Button3");
        QVERIFY(view->isVisible());
        QCOMPARE(view->text(), QStringLiteral("Back"));
        QVERIFY(find(screen(), "Button2")->isEnabled());
        click("Button3");
        QVERIFY(bills()->isVisible() && !lines()->isVisible());
        QVERIFY(!view->isVisible() && !find(screen(), "Button2")->isEnabled());
        QCOMPARE(view->text(), QStringLiteral("View"));
    }

    void openedFromCustomerHistory()
    {
        open(); // already up: the bill's lines show all the same
        screen()->openFromHistory(QStringLiteral("2"), QStringLiteral("59"), QStringLiteral("MART"));
        roster().frmAdminCreate->HistoryMark = true; // as the history screen does
        QVERIFY(screen()->isVisible());
        QVERIFY(!find(screen(), "GroupBox1")->isEnabled());
        QVERIFY(lines()->isVisible());
        QCOMPARE(lines()->model()->rowCount(), 1);
        click("Button3");
        QVERIFY(!screen()->isVisible());
        QVERIFY(roster().frmAdminCreate->isVisible());
        QCOMPARE(roster().frmAdminCreate->customerName(), QStringLiteral("MART"));
        // a menu entry forgets the way back
        open();
        QVERIFY(!roster().frmAdminCreate->HistoryMark);
        QVERIFY(find(screen(), "GroupBox1")->isEnabled());
    }

    void duplicate_data()
    {
        QTest::addColumn<bool>("home");
        QTest::addColumn<QStringList>("figures"); // total, home delivery, charges, grand total
        QTest::newRow("take away") << false << QStringList { "166.425", "No", "-", "166.425" };
        QTest::newRow("home delivery") << true << QStringList { "166.425", "Yes", "30", "196.425" };
    }
    void duplicate()
    {
        QFETCH(bool, home);
        QFETCH(QStringList, figures);
        // 2/57: RICE 148.5 after its discount and OLD TEA 10, whose item is gone; 5 % overall tax;
        // the stored subtotal is before the discount
        exec("delete from $db.temp_ordergrid where pcid=2 and billno=57");
        exec("insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
             "values('RICE','50','3','150','10','165','10','148.5',2,57),"
             "('OLD TEA','10','1','10','0','10','0','10',2,57)");
        const QString stored = home ? "196.425" : "166.425";
        exec(QStringLiteral("update $db.sales_order set subtotal=175,total=%1,grandtotal=%1,amount_paid=%1,balance=0,"
                            "delivery='%2' where pcid=2 and billno=57")
                 .arg(stored, home ? "Home Delivery" : "Take Away"));
        exec("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',57,99,1)");
        if (home)
            exec("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',57,30,2)");
        open();
        doubleClickBill(QStringLiteral("2/57"));
        find<QLineEdit>(roster().fmorderitem, "ECustName")->setText(QStringLiteral("ANNA"));
        roster().fmsalesorderdtls->setCustomerName(QStringLiteral("ANNA"));
        env->clock->setStep(300); // the splash holds for a second of the clock
        click("Button2");
        env->clock->setStep(0);
        env->clock->set(QDateTime(QDate(2026, 12, 9), QTime(10, 0)));
        QCOMPARE(env->dialogs->messages.first().text, QStringLiteral("Bill is ready for printing "));
        QVERIFY(logText().contains(QLatin1String("Print Bill...")));

        const QString file = services().paths().programFolder() + QStringLiteral("/COUNTER57.xls");
        Workbook book;
        QVERIFY2(book.load(file), qPrintable(book.errorString()));
        const Worksheet& s = book.firstWorksheet();
        QCOMPARE(s.text("I1"), QStringLiteral("Duplicate"));
        QCOMPARE(s.mergedAreaAt(3, 7), std::optional<CellRect>(CellRect { 3, 6, 3, 7 }));
        QStringList header;
        for (const char* cell : { "D1", "B3", "D3", "F3", "H3" })
            header << s.text(QLatin1String(cell));
        QCOMPARE(header, QStringList({ "COUNTER", "09-12-2026", "10:15:30", "MART", " 2/57 " }));
        QCOMPARE(s.text("A8") + "|" + s.text("A9"), QStringLiteral("RICE|OLD TEA"));
        // the summary block below the two lines (n = 10)
        QStringList summary;
        for (const char* cell : { "C14", "C15", "C16", "C17", "H14", "H15", "H16", "H17", "G19" })
            summary << s.text(QLatin1String(cell));
        QCOMPARE(summary,
            QStringList({ "2 items", "Rs.158.5", "Rs.7.925", "Rs." + figures[0], figures[1], "Rs." + figures[2],
                "Rs." + QString(home ? "196.425" : "166.425"), "Rs.0", "Rs." + figures[3] }));
        QVERIFY(QFileInfo::exists(pdfPathFor(file)));

        QVERIFY(find<QLineEdit>(roster().fmorderitem, "ECustName")->text().isEmpty());
        QVERIFY(roster().fmsalesorderdtls->customerName().isEmpty());
        QVERIFY(screen()->isVisible());
        QVERIFY(find(screen(), "Button2")->isEnabled());
    }

    // "PRINT BILL" clicked again while the duplicate prints (the splash's second lets window
    // events through) is ignored; clicked after it, it prints again.
    void aSecondClickDuringThePrintIsIgnored()
    {
        open();
        doubleClickBill(QStringLiteral("2/57"));
        env->dialogs->clear();
        env->clock->setStep(100); // several rounds of window events in the splash's second
        int clickedDuringPrint = 0;
        QTimer::singleShot(0, screen(), [&] {
            ++clickedDuringPrint;
            click("Button2");
        });
        click("Button2");
        QCOMPARE(clickedDuringPrint, 1);
        QCOMPARE(env->dialogs->texts().count(QStringLiteral("Bill is ready for printing ")), 1);
        click("Button2");
        env->clock->setStep(0);
        QCOMPARE(env->dialogs->texts().count(QStringLiteral("Bill is ready for printing ")), 2);
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestOldBills test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_oldbills.moc"
