// The order entry screen driven through its widgets.
#include "app/posapplication.h"
#include "app/roster.h"
#include "bills/custdetails.h"
#include "db/datamodulepos.h"
#include "login/adminoption.h"
#include "sales/posorderitem.h"
#include "sales/salesorderdetails.h"
#include "salesfixture.h"
#include "testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using namespace SalesFixture;

namespace {

const QString kDb = QStringLiteral("SHOP");

QString scalar(const QString& sql)
{
    return TestServer::scalar(QString(sql).replace(QStringLiteral("$db"), kDb));
}

void exec(const QString& sql)
{
    TestServer::exec({ QString(sql).replace(QStringLiteral("$db"), kDb) });
}

} // namespace

class TestOrderItem : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;

    Tfmorderitem* screen() { return roster().fmorderitem; }
    template <typename T = QWidget> T* w(const char* name)
    {
        T* found = screen()->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    QComboBox* itemBox() { return w<QComboBox>("CboxItem"); }
    QLineEdit* quantity() { return w<QLineEdit>("EQuan"); }
    QString label(const char* name) { return w<QLabel>(name)->text(); }
    void click(const char* name) { QTest::mouseClick(w<QAbstractButton>(name), Qt::LeftButton); }
    int gridRows() { return w<QTableView>("DBGrid1")->model()->rowCount(); }
    QString logText()
    {
        QFile log(QDir::current().filePath(QStringLiteral("LogFiles/Log20261209.txt")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
    // The order screen as the POS menu opens it.
    void open()
    {
        screen()->hide();
        roster().fmsalesorderdtls->hide();
        screen()->show();
        screen()->FormActivate();
    }
    // Types the item's name and the quantity as a cashier does, then presses the action button.
    void typeLine(const QString& item, const QString& qty)
    {
        QTest::keyClicks(itemBox(), item);
        quantity()->end(false);
        QTest::keyClick(quantity(), Qt::Key_Backspace);
        QTest::keyClicks(quantity(), qty);
        click("BtnradioACD");
    }
    void addLine(const QString& item, const QString& qty)
    {
        itemBox()->setEditText(item);
        quantity()->setText(qty);
        click("BtnradioACD");
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        roster().create();
        roster().frmadminoptions->TerminalId = QStringLiteral("1");
    }
    void cleanupTestCase()
    {
        roster().destroy();
        env.reset();
    }
    void init()
    {
        createCompany(kDb);
        roster().Dm->setCompanyDatabase(kDb, true);
        addItem(kDb, 1, QStringLiteral("SUGAR"), QStringLiteral("25"), QStringLiteral("4"), QStringLiteral("10"), 2, 10,
            QStringLiteral("400000000001"));
        addItem(kDb, 2, QStringLiteral("SUNFLOWER OIL"), QStringLiteral("90"), QStringLiteral("0"), QStringLiteral("0"),
            0, 50);
        addItem(kDb, 3, QStringLiteral("RICE"), QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0"), 0, 50);
        env->dialogs->clear();
        open();
    }

    void showingNumbersTheNextBill()
    {
        exec(QStringLiteral("insert into $db.sales_order(sdate,billno,pcid,payment_status) values('2026-12-08',4,1,"
                            "'Complete'),('2026-12-08',9,2,'Complete')"));
        open();
        QCOMPARE(label("Label9"), QStringLiteral("1/5"));
        QCOMPARE(label("EBillNo"), QStringLiteral("5"));
        QCOMPARE(label("lbl_date"), QStringLiteral("09-12-2026"));
        QCOMPARE(w<QAbstractButton>("BtnradioACD")->text(), QStringLiteral("ADD"));
    }

    void keyFilters_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("quantity takes digits") << "EQuan"
                                               << "1a2-3"
                                               << "123";
        QTest::newRow("quantity cut to the limit") << "EQuan"
                                                   << "1500"
                                                   << "150";
        QTest::newRow("barcode at most 12 digits") << "Edit2"
                                                   << "1234567890123"
                                                   << "123456789012";
        QTest::newRow("barcode takes digits") << "Edit2"
                                              << "12x3"
                                              << "123";
        QTest::newRow("customer letters and points") << "ECustName"
                                                     << "Ann-e. 2"
                                                     << "Anne.";
    }
    void keyFilters()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        w<QRadioButton>("RadioButton2")->click();
        auto* edit = w<QLineEdit>(field.toLatin1().constData());
        edit->setEnabled(true);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTEST(edit->text(), "kept");
    }

    void quantityLimitFromSettings()
    {
        exec(QStringLiteral("update $db.sales_settings set value_='50' where Name='quantity'"));
        screen()->FormActivate();
        quantity()->clear();
        QTest::keyClicks(quantity(), QStringLiteral("75"));
        QCOMPARE(quantity()->text(), QStringLiteral("7"));
    }

    void limitsReadWhenShownWithoutActivation()
    {
        exec(QStringLiteral("update $db.sales_settings set value_='50' where Name='quantity'"));
        // placed and shown by the menu; no window manager activates it
        screen()->hide();
        screen()->show();
        QVERIFY(!screen()->isActiveWindow());
        QTest::keyClicks(itemBox(), QStringLiteral("SUGAR"));
        quantity()->clear();
        QTest::keyClicks(quantity(), QStringLiteral("75"));
        QCOMPARE(quantity()->text(), QStringLiteral("7"));
        // Round Off is read again when used
        exec(QStringLiteral("update $db.sales_settings set value_='3' where Name='Round Off'"));
        click("BtnradioACD");
        QCOMPARE(scalar(QStringLiteral("select concat_ws('|',quantity,total) from $db.tordergrid")),
            QStringLiteral("7|163.800"));
    }

    void pastedQuantityIsCut_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("kept");
        QTest::newRow("quantity limit 1000") << "1000"
                                             << "123";
        QTest::newRow("no quantity limit") << ""
                                           << "12345678";
    }
    void pastedQuantityIsCut()
    {
        QFETCH(QString, limit);
        exec(limit.isEmpty()
                ? QStringLiteral("delete from $db.sales_settings where Name='quantity'")
                : QStringLiteral("update $db.sales_settings set value_='%1' where Name='quantity'").arg(limit));
        open();
        const QString digits = QStringLiteral("12345678901234567890");
        QGuiApplication::clipboard()->setText(digits);
        quantity()->selectAll();
        QTest::keyClick(quantity(), Qt::Key_Insert, Qt::ShiftModifier);
        QTEST(quantity()->text(), "kept");
        // what a middle-button paste of the selection does
        quantity()->selectAll();
        quantity()->insert(digits);
        QTEST(quantity()->text(), "kept");
        itemBox()->setEditText(QStringLiteral("RICE"));
        click("BtnradioACD");
        QCOMPARE(label("lbl_msg"), QStringLiteral("Total stock remaining is 50. "));
    }

    void actionRefusals_data()
    {
        QTest::addColumn<bool>("barcodeMode");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("qty");
        QTest::addColumn<QString>("message");
        QTest::newRow("no item name") << false << 0 << ""
                                      << "1"
                                      << "Select the Item Name.";
        QTest::newRow("no barcode") << true << 0 << ""
                                    << "1"
                                    << "Enter the UPC code.";
        QTest::newRow("no quantity") << false << 0 << "SUGAR"
                                     << ""
                                     << "Enter the quantity";
        QTest::newRow("unknown barcode") << true << 0 << "999999999999"
                                         << "1"
                                         << "Specified item does not exist";
        // items without a barcode carry "0"
        QTest::newRow("barcode 0") << true << 0 << "0"
                                   << "1"
                                   << "Specified item does not exist";
        QTest::newRow("barcode of zeros") << true << 0 << "000000000000"
                                          << "1"
                                          << "Specified item does not exist";
        QTest::newRow("remove a name that is no item") << false << 2 << "NO SUCH"
                                                       << "1"
                                                       << "Specified item does not exist";
    }
    void actionRefusals()
    {
        QFETCH(bool, barcodeMode);
        QFETCH(int, mode);
        QFETCH(QString, entry);
        QFETCH(QString, qty);
        if (mode == 2)
            w<QRadioButton>("RadioGroup1Remove")->click();
        if (barcodeMode) {
            w<QRadioButton>("RadioButton2")->click();
            w<QLineEdit>("Edit2")->setText(entry);
        } else {
            itemBox()->setEditText(entry);
        }
        quantity()->setText(qty);
        click("BtnradioACD");
        QTEST(env->dialogs->lastText(), "message");
        QVERIFY(!logText().contains(entry + QStringLiteral(" quantity: 1 Removed")));
        QCOMPARE(gridRows(), 0);
        QCOMPARE(quantity()->text(), QStringLiteral("1"));
        QCOMPARE(itemBox()->currentText(), QString());
    }

    void barcodeAddWarnsOnTheStatusLine()
    {
        w<QRadioButton>("RadioButton2")->click();
        QVERIFY(!itemBox()->isEnabled());
        w<QLineEdit>("Edit2")->setText(QStringLiteral("400000000001"));
        quantity()->setText(QStringLiteral("8"));
        click("BtnradioACD");
        QCOMPARE(label("lbl_msg"), QStringLiteral("Minimal value is  reached. "));
        QCOMPARE(gridRows(), 1);
        QCOMPARE(w<QTableView>("DBGrid1")->model()->index(0, 7).data().toString(), QStringLiteral("187.20"));
        QVERIFY(logText().contains(QLatin1String("Itemname  quantity: 8 Added")));

        // a refusal replaces the warning; the line stays as it was
        w<QLineEdit>("Edit2")->setText(QStringLiteral("400000000001"));
        quantity()->setText(QStringLiteral("3"));
        click("BtnradioACD");
        QCOMPARE(label("lbl_msg"), QStringLiteral("Total Stock remaining is 2."));
        QCOMPARE(scalar(QStringLiteral("select quantity from $db.tordergrid")), QStringLiteral("8"));
    }

    void optionsChangeAndRemoveLines()
    {
        addLine(QStringLiteral("RICE"), QStringLiteral("2"));
        w<QRadioButton>("RadioGroup1Change")->click();
        QCOMPARE(w<QAbstractButton>("BtnradioACD")->text(), QStringLiteral("CHANGE"));
        addLine(QStringLiteral("RICE"), QStringLiteral("5"));
        QCOMPARE(scalar(QStringLiteral("select quantity from $db.tordergrid")), QStringLiteral("5"));

        // a grid click puts the line's item into the item box
        auto* grid = w<QTableView>("DBGrid1");
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 2)).center());
        QCOMPARE(itemBox()->currentText(), QStringLiteral("RICE"));

        w<QRadioButton>("RadioGroup1Remove")->click();
        QCOMPARE(w<QAbstractButton>("BtnradioACD")->text(), QStringLiteral("REMOVE"));
        click("BtnradioACD");
        QCOMPARE(gridRows(), 0);
        QVERIFY(logText().contains(QLatin1String("Remove Itemname RICE quantity: 1 Removed")));
    }

    void typeAheadAndPaste()
    {
        // keys go where the application delivers them: to the box, the focus proxy of its line edit
        QLineEdit* edit = itemBox()->lineEdit();
        QComboBox* box = itemBox();
        QTest::keyClicks(box, QStringLiteral("su"));
        QCOMPARE(edit->text(), QStringLiteral("su"));
        QCOMPARE(itemBox()->count(), 2);
        QCOMPARE(itemBox()->itemText(1), QStringLiteral("SUNFLOWER OIL"));
        QTest::keyClick(box, Qt::Key_X);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(itemBox()->count(), 0);

        QTest::keyClicks(box, QStringLiteral("r"));
        QCOMPARE(itemBox()->count(), 1);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(itemBox()->count(), 0);
        QVERIFY(edit->text().contains(QLatin1String("\"Paste\" DISABLED!")));

        // dropping the list down offers every item
        itemBox()->showPopup();
        QCOMPARE(itemBox()->count(), 3);
        itemBox()->hidePopup();
    }

    void twoItemsTypedOneAfterAnother()
    {
        QLineEdit* edit = itemBox()->lineEdit();
        QComboBox* box = itemBox();
        typeLine(QStringLiteral("SUGAR"), QStringLiteral("3"));
        // typing starts afresh after an action, and after the item choice or the mode changes
        QTest::keyClicks(box, QStringLiteral("SU"));
        QCOMPARE(edit->text(), QStringLiteral("SU"));
        w<QRadioButton>("RadioButton2")->click();
        w<QRadioButton>("RadioButton1")->click();
        QTest::keyClicks(box, QStringLiteral("RI"));
        QCOMPARE(edit->text(), QStringLiteral("RI"));
        w<QRadioButton>("RadioGroup1Change")->click();
        w<QRadioButton>("RadioGroup1Add")->click();
        typeLine(QStringLiteral("RICE"), QStringLiteral("2"));
        QCOMPARE(env->dialogs->texts(), QStringList());
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(itemname,' ',quantity) order by itemname) from "
                                       "$db.tordergrid")),
            QStringLiteral("RICE 2,SUGAR 3"));
        QCOMPARE(gridRows(), 2);

        // a few letters, then the arrow keys choose among the matches and Insert adds
        QTest::keyClicks(box, QStringLiteral("SU"));
        QTest::keyClick(box, Qt::Key_Down);
        const QString first = edit->text();
        QTest::keyClick(box, Qt::Key_Down);
        QVERIFY(first.startsWith(QStringLiteral("SU")) && edit->text().startsWith(QStringLiteral("SU")));
        QVERIFY(edit->text() != first);
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(edit->text(), first);
        QTest::keyClick(box, Qt::Key_Insert);
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.tordergrid where itemname='%1'").arg(first)),
            QStringLiteral("1"));
    }

    void restoringAMinimisedWindowKeepsTheBill()
    {
        // bill 2/3, resumed from terminal 2, back through "CHANGE ITEM DETAILS"
        addGridLine(kDb, QStringLiteral("RICE"), 2, 2, 3);
        Tfmsalesorderdtls* settlement = roster().fmsalesorderdtls;
        settlement->ReturnFlag = true;
        SetScreenLabel(settlement, QStringLiteral("lblbillno"), QStringLiteral("3"));
        SetScreenLabel(settlement, QStringLiteral("lbl_machine_id"), QStringLiteral("2"));
        open();
        screen()->setWindowState(Qt::WindowMinimized);
        screen()->setWindowState(Qt::WindowNoState);
        QVERIFY(screen()->isVisible());
        QCOMPARE(label("Label9"), QStringLiteral("2/3"));
        QCOMPARE(gridRows(), 1);
    }

    void processOrder()
    {
        click("btnprocessorder");
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("No entries in the grid"));
        QVERIFY(screen()->isVisible());

        exec(QStringLiteral("insert into $db.tax(sdate,rate) values('2026-01-01',10)"));
        addLine(QStringLiteral("SUGAR"), QStringLiteral("3"));
        w<QLineEdit>("ECustName")->setText(QStringLiteral("ANNA"));
        click("btnprocessorder");
        QCOMPARE(
            scalar(QStringLiteral("select concat_ws('|',billno,pcid,subtotal,total,balance) from $db.sales_order")),
            QStringLiteral("1|1|78|77.22|77.22"));
        QVERIFY(!screen()->isVisible());
        Tfmsalesorderdtls* settlement = roster().fmsalesorderdtls;
        QVERIFY(settlement->isVisible());
        QCOMPARE(settlement->pos(), QPoint(220, 30));
        QCOMPARE(settlement->customerName(), QStringLiteral("ANNA"));
        QVERIFY(logText().contains(QLatin1String("Process order")));
        QVERIFY(logText().contains(QLatin1String(" SUGAR  25  3  75  4  78  10  70.20  1")));

        // back through "CHANGE ITEM DETAILS": same bill, same grid
        settlement->ReturnFlag = true;
        SetScreenLabel(settlement, QStringLiteral("lblbillno"), QStringLiteral("1"));
        SetScreenLabel(settlement, QStringLiteral("lbl_machine_id"), QStringLiteral("1"));
        open();
        QCOMPARE(label("Label9"), QStringLiteral("1/1"));
        QCOMPARE(gridRows(), 1);
        QVERIFY(!settlement->ReturnFlag);

        // held, then back to a new order: the next number and an empty grid
        exec(QStringLiteral("update $db.sales_order set payment_status='Hold'"));
        open();
        QCOMPARE(label("Label9"), QStringLiteral("1/2"));
        QCOMPARE(gridRows(), 0);
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.tordergrid")), QStringLiteral("0"));
    }

    void anotherTerminalsResumedBillLeavesItsOrderAlone()
    {
        // this counter changes bill 2/3, resumed from terminal 2, which is ringing up its bill 8
        addGridLine(kDb, QStringLiteral("RICE"), 2, 2, 3);
        addGridLine(kDb, QStringLiteral("SUGAR"), 1, 2, 8);
        Tfmsalesorderdtls* settlement = roster().fmsalesorderdtls;
        settlement->ReturnFlag = true;
        SetScreenLabel(settlement, QStringLiteral("lblbillno"), QStringLiteral("3"));
        SetScreenLabel(settlement, QStringLiteral("lbl_machine_id"), QStringLiteral("2"));
        open();
        QCOMPARE(label("Label9"), QStringLiteral("2/3"));
        QCOMPARE(gridRows(), 1);
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.tordergrid where pcid=2")), QStringLiteral("2"));
    }

    void clearDiscardsTheOrder()
    {
        addLine(QStringLiteral("RICE"), QStringLiteral("1"));
        exec(QStringLiteral("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',1,20,1)"));
        w<QLineEdit>("ECustName")->setText(QStringLiteral("ANNA"));
        click("clear");
        QCOMPARE(gridRows(), 0);
        QCOMPARE(w<QLineEdit>("ECustName")->text(), QString());
        QCOMPARE(scalar(QStringLiteral("select count(*) from $db.delivery")), QStringLiteral("0"));
        QCOMPARE(label("Label9"), QStringLiteral("1/1"));
        QVERIFY(logText().contains(QLatin1String("Clear...")));
    }

    void showingReleasesTheResumedBill_data()
    {
        QTest::addColumn<bool>("changing");
        QTest::addColumn<QString>("locks");
        QTest::newRow("a new bill") << false << "1t,2f";
        QTest::newRow("back through CHANGE ITEM DETAILS") << true << "1t,2t";
    }
    void showingReleasesTheResumedBill()
    {
        QFETCH(bool, changing);
        // terminal 1's own bill 3 is locked by another counter and stays locked
        exec(QStringLiteral("insert into $db.sales_order(sdate,billno,pcid,payment_status,bool_access) values"
                            "('2026-12-08',3,1,'Hold','t'),('2026-12-08',3,2,'Hold',null)"));
        Tfmpaymentdetails* payments = roster().fmpaymentdetails;
        QVERIFY(payments->TakeForPayment(QStringLiteral("2"), QStringLiteral("3")));
        Tfmsalesorderdtls* settlement = roster().fmsalesorderdtls;
        settlement->ReturnFlag = changing;
        SetScreenLabel(settlement, QStringLiteral("lblbillno"), QStringLiteral("3"));
        SetScreenLabel(settlement, QStringLiteral("lbl_machine_id"), QStringLiteral("2"));
        open();
        QFETCH(QString, locks);
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(pcid,bool_access) order by pcid) from "
                                       "$db.sales_order")),
            locks);
        QCOMPARE(payments->ResumeFlag, 0);
        payments->ReleaseResumedBill();
    }

    void menuAndShortcuts()
    {
        screen()->hide();
        QWidget* menu = roster().frmmenupos;
        menu->show();
        QVERIFY(QTest::qWaitForWindowActive(menu));
        QTest::keyClick(menu, Qt::Key_F1);
        QVERIFY(screen()->isVisible());
        QCOMPARE(screen()->pos(), QPoint(220, 30));
        QVERIFY(screen()->windowFlags() & Qt::FramelessWindowHint);

        screen()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(screen()));
        quantity()->setFocus();
        QTest::keyClick(quantity(), Qt::Key_Insert);
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Select the Item Name."));
        QTest::keyClick(quantity(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("No entries in the grid"));
        w<QRadioButton>("RadioGroup1Remove")->setChecked(true);
        QTest::keyClick(quantity(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(w<QAbstractButton>("BtnradioACD")->text(), QStringLiteral("REMOVE"));
        QVERIFY(w<QRadioButton>("RadioGroup1Remove")->hasFocus());
        w<QTableView>("DBGrid1")->setFocus();
        QTest::keyClick(w<QTableView>("DBGrid1"), Qt::Key_Tab);
        QVERIFY(w<QPushButton>("btnprocessorder")->hasFocus());
        QTest::keyClick(quantity(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(roster().fmcustdetails->isVisible());
        QVERIFY(!screen()->isVisible());
        roster().fmcustdetails->hide();
        menu->hide();
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestOrderItem test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_orderitem.moc"
