// Printing a bill: what the print reads of the bill (its own terminal's rows only), the workbook
// and the printout it leaves, its failures, and "PRINT BILL" on the settlement screen.
#include "bills/billprint.h"
#include "bills/billprintpas.h"
#include "counterfixture.h"
#include "workbooktestkit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QTableView>
#include <QTimer>

namespace {

const QString kShop = QStringLiteral("MAIN_STORE");

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

void shopExec(const QString& sql)
{
    TestServer::exec({ QString(sql).replace(QStringLiteral("$db"), kShop) });
}

// Bill 57 of terminal 2 as the settlement screen shows it: four lines of 238.1 with 11.9 tax.
BillOnScreen shownBill57(bool home)
{
    BillOnScreen b;
    b.bill = { S("2"), S("57") };
    b.date = S("09-12-2026");
    b.time = S("10:00:00");
    b.customer = S("RAVI");
    b.items = S("4");
    b.subTotal = S("238.1");
    b.total = S("250");
    b.balance = S("0");
    b.homeDelivery = home;
    return b;
}

// The named cells of the workbook as openpyxl reads them, as "cell=value" like `expected`.
QStringList cellsOf(const QString& file, const QStringList& expected, QJsonObject* book = nullptr)
{
    QString error;
    const QJsonObject read = Kit::openpyxl(file, &error);
    if (book)
        *book = read;
    QStringList actual;
    for (const QString& cell : expected) {
        const QString name = cell.section(QLatin1Char('='), 0, 0);
        const QJsonValue v = read.value(S("cells")).toObject().value(name).toObject().value(S("value"));
        actual << name + QLatin1Char('=') + (v.isDouble() ? QString::number(v.toDouble()) : v.toString()) + error;
    }
    return actual;
}

} // namespace

class TestBillPrint : public QObject, CounterFixture {
    Q_OBJECT

    std::unique_ptr<TDm> m_shop; // a second counter's connections, working in MAIN_STORE

    QString programFile(const QString& name) const { return QDir(services().paths().programFolder()).filePath(name); }
    void installTemplate()
    {
        QFile::remove(programFile(kBillTemplate));
        QVERIFY(QFile::copy(Kit::templateFolder() + QLatin1Char('/') + kBillTemplate, programFile(kBillTemplate)));
    }
    void removeOutput(const QString& base)
    {
        for (const char* suffix : { ".xls", ".pdf" }) {
            const QString path = programFile(base + QLatin1String(suffix));
            QDir(path).removeRecursively();
            QFile::remove(path);
        }
    }
    // Types one line on the order screen (F1 from the menu opens it): item, quantity, "ADD".
    void typeLine(const QString& item, const QString& quantity)
    {
        Roster& r = roster();
        if (!r.fmorderitem->isVisible())
            key(r.frmmenupos, Qt::Key_F1);
        auto* name = find<QComboBox>(r.fmorderitem, "CboxItem");
        name->setFocus();
        name->lineEdit()->selectAll();
        QTest::keyClicks(name, item);
        auto* count = find<QLineEdit>(r.fmorderitem, "EQuan");
        count->setFocus();
        count->selectAll();
        QTest::keyClicks(count, quantity);
        QTest::mouseClick(find<QAbstractButton>(r.fmorderitem, "BtnradioACD"), Qt::LeftButton);
    }
    // Processes the typed order and pays it in cash, typed in full: the settlement screen then
    // offers "PRINT BILL".
    Tfmsalesorderdtls* processAndPay()
    {
        Roster& r = roster();
        QTest::mouseClick(find<QAbstractButton>(r.fmorderitem, "btnprocessorder"), Qt::LeftButton);
        QCoreApplication::processEvents();
        Tfmsalesorderdtls* screen = r.fmsalesorderdtls;
        auto* amount = find<QLineEdit>(screen, "EAmtpaidcas");
        amount->setFocus();
        QTest::keyClicks(amount, find<QLabel>(screen, "lblbalrs")->text());
        QTest::mouseClick(find<QAbstractButton>(screen, "BtnCash"), Qt::LeftButton);
        return screen;
    }

private Q_SLOTS:
    void initTestCase()
    {
        startProgram();
        env->clock->setStep(600); // the splash's second passes at once
        SalesFixture::createCompany(kShop);
        m_shop = std::make_unique<TDm>(TestServer::settings());
        m_shop->setCompanyDatabase(kShop, true);
    }
    void cleanupTestCase()
    {
        m_shop.reset();
        endProgram();
    }

    // Bill 57 at two terminals, terminal 1's rows first, with other figures, lines and charges.
    void init()
    {
        installTemplate();
        removeOutput(S("MAIN STORE57"));
        env->dialogs->clear();
        QStringList s;
        for (const char* table : { "sales_order", "delivery", "temp_ordergrid", "item" })
            s << S("delete from $db.%1").arg(QLatin1String(table));
        s << S("insert into $db.sales_order(sdate,stime,billno,subtotal,total,grandtotal,amount_paid,balance,"
               "payment_status,delivery,pcid) values('2026-12-09','10.00.00.000',57,990,999,999,999,0,'Complete',"
               "'Home Delivery',1),('2026-12-09','10.00.00.000',57,238.1,280,280,250,0,'Complete','Home Delivery',2)")
          << S("insert into $db.delivery(sdate,customer_name,billno,charges,pcid) values('2026-12-09','OTHER',57,99,1),"
               "('2026-12-08','RAVI',57,20,2),('2026-12-09','RAVI',57,30,2)")
          << S("insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
               "values('OTHER TERMINAL LINE','9','1','9','0','9','0','9',1,57),"
               "('SALT','20','2','40','5','42','0','42.00',2,57),"
               "('ABCDEFGHIJKLMNOPQRSTU','10','1','10','0','10','0','10.00',2,57),"
               "('GONE FROM THE MASTER','50','3','150','0','150','10','135.00',2,57),"
               "('ABCDEFGHIJKLMNOPQRST','1.1','1','1.1','0','1.1','0','1.10',2,57)")
          << S("insert into $db.item(itemname,rate) values('SALT',20),('ABCDEFGHIJKLMNOPQRSTU',10),"
               "('ABCDEFGHIJKLMNOPQRST',1.1)");
        for (const QString& sql : s)
            shopExec(sql);
    }

    // Each row: the change to the seeded rows, then "cell=value" texts the saved workbook holds.
    void printsTheBillOfThisTerminal_data()
    {
        QTest::addColumn<bool>("home");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("cells");
        // lines as they were saved, a removed item among them; the 21-character name takes rows 9
        // and 10
        QTest::newRow("take-away") << false << QString()
                                   << QStringList { "A8=SALT", "A9=ABCDEFGHIJKLMNOPQRSTU", "C9=10",
                                          "A10=", "C10=", "A11=GONE FROM THE MASTER", "I11=135.00",
                                          "A12=ABCDEFGHIJKLMNOPQRST", "C17=4 items", "C18=Rs.238.1", "C19=Rs.11.9",
                                          "C20=Rs.250", "H17=No", "H18=Rs.-", "H19=Rs.250", "H20=Rs.0", "G22=Rs.250" };
        QTest::newRow("nothing paid") << false << S("update $db.sales_order set amount_paid=null")
                                      << QStringList { "H19=Rs.0" };
        QTest::newRow("home delivery: latest charges")
            << true << QString() << QStringList { "H17=Yes", "H18=Rs.30", "G22=Rs.280" };
        QTest::newRow("home delivery without its entry")
            << true << S("delete from $db.delivery where pcid=2") << QStringList { "H18=Rs.", "G22=Rs.280" };
        QTest::newRow("no printable lines")
            << false << S("delete from $db.temp_ordergrid where pcid=2")
            << QStringList { "A7=Item", "I7=Total", "A8=", "A11=", "A12=No. of Items:", "A13=Sub Total:",
                   "A14=Vat/Tax:", "F15=Balance:", "A16=", "E17=Grand Total:", "G17=Rs.250" };
    }
    void printsTheBillOfThisTerminal()
    {
        QFETCH(bool, home);
        QFETCH(QString, change);
        QFETCH(QStringList, cells);
        if (!change.isEmpty())
            shopExec(change);
        QVERIFY(PrintBill(*m_shop, shownBill57(home)));
        const QString pdf = programFile(S("MAIN STORE57.pdf"));
        QCOMPARE(env->dialogs->texts(),
            QStringList({ "Bill is ready for printing", "No default printer is set up. The bill is saved as " + pdf }));
        QCOMPARE(env->dialogs->messages.last().kind, 0);
        QVERIFY(logText().contains(S(" Print Bill...")));

        cells << S("D1=MAIN STORE") << S("B3=09-12-2026") << S("F3=RAVI") << S("H3= 2/57 ");
        QJsonObject book;
        QCOMPARE(cellsOf(programFile(S("MAIN STORE57.xls")), cells, &book), cells);
        QCOMPARE(book.value(S("title")).toString(), S("Bill Details"));
        if (!change.contains(S("temp_ordergrid")))
            QVERIFY(book.value(S("merged")).toArray().contains(S("A9:B10")));

        QString error;
        const QString text = Kit::pdfText(pdf, &error);
        QVERIFY2(!text.isEmpty(), qPrintable(error));
        for (const char* word : { "MAIN STORE", " 2/57", "RAVI", "Vat/Tax:" })
            QVERIFY2(text.contains(QLatin1String(word)), word);
        // nothing of terminal 1's bill 57, nor the bill's older delivery entry
        for (const char* word : { "OTHER TERMINAL LINE", "Rs.99", "Rs.20" })
            QVERIFY2(!text.contains(QLatin1String(word)), word);
    }

    // A failure is shown as an error; the caller stays on the bill.
    void failuresKeepTheBill_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("blocked"); // a folder standing where the file goes, named by the error
        QTest::addColumn<bool>("workbookWritten");
        QTest::newRow("not the bill's date") << S("2026-12-09") << QString() << false;
        QTest::newRow("workbook not written") << S("09-12-2026") << S("MAIN STORE57.xls") << false;
        QTest::newRow("printing fails") << S("09-12-2026") << S("MAIN STORE57.pdf") << true;
    }
    void failuresKeepTheBill()
    {
        QFETCH(QString, date);
        QFETCH(QString, blocked);
        QFETCH(bool, workbookWritten);
        if (!blocked.isEmpty())
            QVERIFY(QDir().mkpath(programFile(blocked) + S("/inside")));
        BillOnScreen shown = shownBill57(false);
        shown.date = date;
        QVERIFY(!PrintBill(*m_shop, shown));
        const RecordedMessage last = env->dialogs->messages.last();
        QCOMPARE(last.kind, 1);
        QVERIFY2(last.text.contains(blocked.isEmpty() ? date : blocked), qPrintable(last.text));
        QCOMPARE(QFileInfo(programFile(S("MAIN STORE57.xls"))).isFile(), workbookWritten);
    }

    // The counter: a bill paid in full, "PRINT BILL" refused once for want of the template and
    // then printed; the counter goes on to the next bill only after the print.
    void printBillOnTheSettlementScreen()
    {
        openCounter();
        exec(S("insert into $db.tax(sdate,rate) values('2026-01-01',10)"));
        removeOutput(S("COUNTER1"));
        ringUpAndProcess(3, S("ANNA"));
        Tfmsalesorderdtls* screen = roster().fmsalesorderdtls;
        auto* amount = find<QLineEdit>(screen, "EAmtpaidcas");
        amount->setFocus();
        QTest::keyClicks(amount, S("165"));
        QTest::mouseClick(find<QAbstractButton>(screen, "BtnCash"), Qt::LeftButton);
        QWidget* print = find(screen, "btnprintbill");
        QVERIFY(print->isVisible());

        QVERIFY(QFile::remove(programFile(kBillTemplate)));
        env->dialogs->clear();
        QTest::mouseClick(find<QAbstractButton>(screen, "btnprintbill"), Qt::LeftButton);
        QCOMPARE(env->dialogs->messages.last().kind, 1);
        QVERIFY(env->dialogs->lastText().contains(programFile(kBillTemplate)));
        QVERIFY(screen->isVisible() && print->isVisible() && !roster().fmorderitem->isVisible());
        QCOMPARE(screen->customerName(), S("ANNA"));
        QVERIFY(!QFile::exists(programFile(S("COUNTER1.xls"))));

        installTemplate();
        env->dialogs->clear();
        QCoreApplication::processEvents(); // the activation the splash took comes back as an event
        key(amount, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(env->dialogs->texts().value(0), S("Bill is ready for printing"));
        QVERIFY(roster().fmorderitem->isVisible() && !screen->isVisible());
        QCOMPARE(find<QLineEdit>(roster().fmorderitem, "ECustName")->text(), QString());
        // the screen's figures: 150 of lines, 10 % tax on top
        const QStringList cells { "D1=COUNTER", "F3=ANNA", "H3= 1/1 ", "A8=RICE", "C14=Rs.150", "C15=Rs.15",
            "C16=Rs.165", "G18=Rs.165" };
        QCOMPARE(cellsOf(programFile(S("COUNTER1.xls")), cells), cells);
        QVERIFY(QFile::exists(programFile(S("COUNTER1.pdf"))));
    }

    // The bill prints its lines in the order they were rung up, a second entry of an item adding
    // to that item's line where it stands; a line whose item has been removed since still prints,
    // so that the lines add up to the printed total. Terminal 2's bill of the same number comes
    // first, with other lines.
    void linesPrintInTheOrderTheyWereRungUp()
    {
        openCounter();
        removeOutput(S("COUNTER1"));
        exec(S("insert into $db.tax(sdate,rate) values('2026-01-01',0)"));
        SalesFixture::addItem(db(), 2, S("TV"), S("12345.67"), S("0"), S("0"), 0, 5);
        SalesFixture::addItem(db(), 3, S("FAN"), S("2345.67"), S("0"), S("0"), 0, 5);
        exec(S("insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
               "values('AAA OTHER TERMINAL','1','1','1','0','1','0','1',2,1)"));

        typeLine(S("TV"), S("1"));
        typeLine(S("RICE"), S("2"));
        typeLine(S("FAN"), S("1"));
        typeLine(S("RICE"), S("1"));
        Tfmsalesorderdtls* screen = processAndPay();
        QCOMPARE(scalar(S("select group_concat(itemname,' ',quantity order by id separator ', ') from "
                          "$db.temp_ordergrid where pcid=1")),
            S("TV 1, RICE 3, FAN 1"));
        // the settlement screen's grid lists them so too
        auto* grid = find<QTableView>(screen, "DBGrid1");
        QStringList shown;
        for (int row = 0; row < grid->model()->rowCount(); ++row)
            shown << grid->model()->index(row, 0).data().toString();
        QCOMPARE(shown, QStringList({ "TV", "RICE", "FAN" }));

        exec(S("delete from $db.item where itemname='FAN'"));
        env->dialogs->clear();
        QCoreApplication::processEvents();
        key(find(screen, "EAmtpaidcas"), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(env->dialogs->texts().value(0), S("Bill is ready for printing"));
        const QString paid = scalar(S("select amount_paid from $db.sales_order where pcid=1"));
        QCOMPARE(paid, S("14841.34"));
        const QStringList cells { "A8=TV", "I8=12345.67", "A9=RICE", "D9=3", "I9=150.00", "A10=FAN", "I10=2345.67",
            "A11=", "C15=3 items", "C18=Rs." + paid, "G20=Rs." + paid };
        QCOMPARE(cellsOf(programFile(S("COUNTER1.xls")), cells), cells);
    }

    // "PRINT BILL" pressed again, or Ctrl+P typed again, while the bill prints (the splash's
    // second lets window events through) is ignored: one workbook, one printout, and the steps
    // after the print once.
    void aSecondPrintDuringThePrintIsIgnored_data()
    {
        QTest::addColumn<bool>("byKeys");
        QTest::newRow("PRINT BILL clicked twice") << false;
        QTest::newRow("Ctrl+P typed twice") << true;
    }
    void aSecondPrintDuringThePrintIsIgnored()
    {
        QFETCH(bool, byKeys);
        openCounter();
        removeOutput(S("COUNTER1"));
        exec(S("insert into $db.tax(sdate,rate) values('2026-01-01',0)"));
        typeLine(S("RICE"), S("2"));
        Tfmsalesorderdtls* screen = processAndPay();
        auto* button = find<QAbstractButton>(screen, "btnprintbill");
        QWidget* focus = find(screen, "EAmtpaidcas");
        const auto press = [&] {
            if (byKeys)
                QTest::keyClick(focus, Qt::Key_P, Qt::ControlModifier);
            else
                QTest::mouseClick(button, Qt::LeftButton);
        };
        env->clock->setStep(100); // the splash's second takes several rounds of window events
        env->dialogs->clear();
        const qsizetype logged = logText().count(S(" Print Bill..."));
        QCoreApplication::processEvents();
        int pressedDuringPrint = 0;
        QTimer::singleShot(0, screen, [&] {
            ++pressedDuringPrint;
            press();
        });
        press();
        env->clock->setStep(600);
        QCOMPARE(pressedDuringPrint, 1);
        QCOMPARE(env->dialogs->texts().count(S("Bill is ready for printing")), 1);
        QCOMPARE(env->dialogs->texts().size(), 2); // and where the printout went
        QCOMPARE(logText().count(S(" Print Bill...")), logged + 1);
        QVERIFY(roster().fmorderitem->isVisible() && !screen->isVisible());
        QVERIFY(QFile::exists(programFile(S("COUNTER1.pdf"))));
    }

    // A bill of 12345.67 gets 150.50 of delivery charges, then "Take Away" is chosen: before any
    // payment the charges and the delivery row come off the bill, and it is paid and printed as a
    // take-away bill; once paid in full it stays a home delivery and prints as one. Either way the
    // printed figures are the stored ones. Terminal 2's bill 1 with its delivery is stored first.
    void takeAwayAfterADeliveryPrintsWhatIsStored_data()
    {
        QTest::addColumn<bool>("paidFirst");
        QTest::addColumn<QString>("stored"); // total grandtotal amount_paid balance delivery charges
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("taken away, then paid") << false << "12345.67 12345.67 12345.67 0 Take Away -"
                                               << QStringList { "H13=No", "H14=Rs.-", "C16=Rs.12345.67",
                                                      "H15=Rs.12345.67", "H16=Rs.0", "G18=Rs.12345.67" };
        QTest::newRow("paid, then refused") << true << "12496.17 12496.17 12496.17 0 Home Delivery 150.5"
                                            << QStringList { "H13=Yes", "H14=Rs.150.5", "C16=Rs.12345.67",
                                                   "H15=Rs.12496.17", "H16=Rs.0", "G18=Rs.12496.17" };
    }
    void takeAwayAfterADeliveryPrintsWhatIsStored()
    {
        QFETCH(bool, paidFirst);
        QFETCH(QStringList, cells);
        openCounter();
        removeOutput(S("COUNTER1"));
        exec(S("insert into $db.tax(sdate,rate) values('2026-01-01',0)"));
        SalesFixture::addItem(db(), 2, S("TV"), S("12345.67"), S("0"), S("0"), 0, 5);
        exec(S("insert into $db.sales_order(sdate,billno,total,grandtotal,balance,delivery,pcid) values"
               "('2026-12-09',1,99999.99,99999.99,99999.99,'Home Delivery',2)"));
        exec(S("insert into $db.delivery(sdate,customer_name,billno,charges,pcid) "
               "values('2026-12-09','OTHER',1,99.99,2)"));

        // the order, typed
        Roster& r = roster();
        key(r.frmmenupos, Qt::Key_F1);
        auto* item = find<QComboBox>(r.fmorderitem, "CboxItem");
        QTest::keyClicks(item, S("TV"));
        auto* quantity = find<QLineEdit>(r.fmorderitem, "EQuan");
        quantity->end(false);
        QTest::keyClick(quantity, Qt::Key_Backspace);
        QTest::keyClicks(quantity, S("1"));
        QTest::mouseClick(find<QAbstractButton>(r.fmorderitem, "BtnradioACD"), Qt::LeftButton);
        QTest::mouseClick(find<QAbstractButton>(r.fmorderitem, "btnprocessorder"), Qt::LeftButton);
        QCoreApplication::processEvents();
        Tfmsalesorderdtls* screen = r.fmsalesorderdtls;
        QVERIFY(screen->isVisible());

        // its home delivery
        QTest::mouseClick(find<QAbstractButton>(screen, "RadioGroup1Home"), Qt::LeftButton);
        QTest::mouseClick(find<QAbstractButton>(screen, "btnHomedelivery"), Qt::LeftButton);
        QVERIFY(r.fmhomedelivery->isVisible());
        QTest::keyClicks(find(r.fmhomedelivery, "ECustNameH"), S("Ravi"));
        QTest::keyClicks(find(r.fmhomedelivery, "MemoCustAddH"), S("4 Lake Road"));
        QTest::keyClicks(find(r.fmhomedelivery, "EPhoneNoH"), S("+919876543210"));
        QTest::keyClicks(find(r.fmhomedelivery, "EHCharges"), S("150.50"));
        QTest::mouseClick(find<QAbstractButton>(r.fmhomedelivery, "btnokdeliveryadd"), Qt::LeftButton);
        QTest::mouseClick(find<QAbstractButton>(r.fmhomedelivery, "Button1"), Qt::LeftButton);
        QVERIFY(screen->isVisible());
        QCOMPARE(find<QLabel>(screen, "lblbalrs")->text(), S("12496.17"));

        auto* amount = find<QLineEdit>(screen, "EAmtpaidcas");
        auto* takeAway = find<QAbstractButton>(screen, "RadioGroup1TakeAway");
        env->dialogs->clear();
        if (paidFirst) {
            QTest::keyClicks(amount, S("12496.17"));
            QTest::mouseClick(find<QAbstractButton>(screen, "BtnCash"), Qt::LeftButton);
            QTest::mouseClick(takeAway, Qt::LeftButton);
            QCOMPARE(env->dialogs->lastText(), S("Amount already paid; the bill stays a home delivery"));
            QVERIFY(!takeAway->isChecked() && find(screen, "btnHomedelivery")->isVisible());
        } else {
            key(amount, Qt::Key_D, Qt::ControlModifier);
            QVERIFY(takeAway->isChecked());
            QCOMPARE(
                find<QLabel>(screen, "Label25")->text() + QLatin1Char(' ') + find<QLabel>(screen, "lblbalrs")->text(),
                S("=  - 12345.67"));
            QTest::keyClicks(amount, S("12345.67"));
            QTest::mouseClick(find<QAbstractButton>(screen, "BtnCash"), Qt::LeftButton);
        }
        const QString stored = scalar(
            S("select concat_ws(' ',total,grandtotal,amount_paid,balance,delivery,coalesce((select charges from "
              "$db.delivery d where d.billno=s.billno and d.pcid=s.pcid),'-')) from $db.sales_order s where pcid=1"));
        QTEST(stored, "stored");

        env->dialogs->clear();
        QCoreApplication::processEvents();
        key(amount, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(env->dialogs->texts().value(0), S("Bill is ready for printing"));
        QCOMPARE(cellsOf(programFile(S("COUNTER1.xls")), cells), cells);
        // the printed figures are those stored: grand total, amount paid and charges
        const QStringList figures = stored.split(QLatin1Char(' '));
        QVERIFY(cells.contains(S("G18=Rs.") + figures[1]));
        QVERIFY(cells.contains(S("H15=Rs.") + figures[2]));
        QVERIFY(cells.contains(S("H14=Rs.") + figures.last()));
        // terminal 2's bill of the same number is untouched
        QCOMPARE(scalar(S("select concat_ws(' ',s.total,s.balance,d.charges) from $db.sales_order s join $db.delivery "
                          "d on d.pcid=s.pcid where s.pcid=2")),
            S("99999.99 99999.99 99.99"));
    }
};

QTEST_MAIN(TestBillPrint)
#include "tst_billprint.moc"
