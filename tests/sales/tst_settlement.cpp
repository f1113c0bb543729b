// The settlement screen driven through its widgets, inside the POS menu as the cashier meets it.
#include "app/posapplication.h"
#include "bills/paymentdetailspas.h"
#include "counterfixture.h"
#include "sales/posorderitem.h"
#include "workbooktestkit.h"

#include <QDateEdit>
#include <QLabel>
#include <QTabBar>
#include <QTableView>

class TestSettlement : public QObject, CounterFixture {
    Q_OBJECT

    Tfmsalesorderdtls* screen() { return roster().fmsalesorderdtls; }
    template <typename T = QWidget> T* w(const char* name) { return find<T>(screen(), name); }
    QString label(const char* name) { return w<QLabel>(name)->text(); }
    QLineEdit* field(const char* name) { return w<QLineEdit>(name); }
    void type(const char* name, const QString& text)
    {
        field(name)->setFocus();
        QTest::keyClicks(field(name), text);
    }
    // a click, and what follows it before the cashier looks again (a message box's activation)
    void click(const char* name)
    {
        QTest::mouseClick(w<QAbstractButton>(name), Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    bool enabled(const char* name) { return w(name)->isEnabled(); }
    QString orderLabel(const char* name) { return find<QLabel>(roster().fmorderitem, name)->text(); }
    QString status() { return scalar(QStringLiteral("select coalesce(payment_status,'-') from $db.sales_order")); }

private Q_SLOTS:
    void initTestCase() { startProgram(); }
    void cleanupTestCase() { endProgram(); }
    void init()
    {
        openCounter();
        exec(QStringLiteral("insert into $db.tax(sdate,rate) values('2026-01-01',0)"));
    }

    void showsTheProcessedBill()
    {
        exec(QStringLiteral("update $db.tax set rate=10"));
        ringUpAndProcess(3, QStringLiteral("ANNA"));
        QCOMPARE(screen()->parentWidget(), roster().frmmenupos);
        QCOMPARE(screen()->pos(), QPoint(220, 30));
        QVERIFY(!roster().fmorderitem->isVisible());
        const char* labels[] = { "Label27", "lblnoitems", "lblSubtotal", "lbltax", "lbltotal", "lblbalrs", "Label25",
            "Label26", "lbldate" };
        QStringList shown;
        for (const char* l : labels)
            shown << label(l);
        QCOMPARE(shown, QStringList({ "1/1", "1", "150", "10", "165", "165", "=  -", "=  165", "09-12-2026" }));
        QCOMPARE(screen()->customerName(), QStringLiteral("ANNA"));
        QCOMPARE(w<QTableView>("DBGrid1")->model()->rowCount(), 1);
        QVERIFY(!w("btnprintbill")->isVisible() && !w("btnHomedelivery")->isVisible());
        QVERIFY(w("PanelCash")->isVisible() && !w("PanelCard")->isVisible() && !w("PanelCheque")->isVisible());
        QCOMPARE(w("PanelCash")->geometry(), QRect(16, 31, 300, 233));
        QVERIFY(enabled("BtnCash") && enabled("btnhold") && enabled("Button1"));
    }

    void billOfTheOrderScreenOrAResume_data()
    {
        QTest::addColumn<bool>("resumed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("the order screen's bill of another terminal") << false << "2/3";
        QTest::newRow("a bill resumed on the payment details screen") << true << "4/7";
    }
    void billOfTheOrderScreenOrAResume()
    {
        QFETCH(bool, resumed);
        // a bill of this terminal with the same number comes first
        SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 9, 1, 3);
        SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 2, 2, 3);
        SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 4, 4, 7);
        SetScreenLabel(roster().fmorderitem, QStringLiteral("EBillNo"), QStringLiteral("3"));
        SetScreenLabel(roster().fmorderitem, QStringLiteral("Label6"), QStringLiteral("2"));
        Tfmpaymentdetails* payments = roster().fmpaymentdetails;
        payments->ResumeFlag = resumed ? 1 : 0;
        payments->ResumeBillNo = QStringLiteral("7");
        payments->ResumeTerminalId = QStringLiteral("4");
        Fixposition(screen());
        screen()->show();
        QTEST(label("Label27"), "shown");
        QCOMPARE(screen()->terminalId() + QLatin1Char('/') + screen()->billNo(), label("Label27"));
        QCOMPARE(w<QTableView>("DBGrid1")->model()->index(0, 2).data().toString(), QString::number(resumed ? 4 : 2));
        QCOMPARE(label("lblnoitems"), QStringLiteral("1"));
    }

    void keyFilters_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("amount: digits and one point") << "EAmtpaidcas"
                                                      << "12.3.4a5"
                                                      << "12.345";
        QTest::newRow("amount: eight characters") << "EAmtPaidCard"
                                                  << "123456789"
                                                  << "12345678";
        QTest::newRow("card number: sixteen digits") << "ECardNo"
                                                     << "4111-2222 3333 44445"
                                                     << "4111222233334444";
        QTest::newRow("cheque number: twelve digits") << "EChequeNo"
                                                      << "1234567890123"
                                                      << "123456789012";
        QTest::newRow("bank: letters, blanks, points") << "EBankNameChe"
                                                       << "St. Mary's Bank 2"
                                                       << "St. Marys Bank ";
        QTest::newRow("card holder: letters") << "EcardName"
                                              << "Ann Lee-2"
                                              << "AnnLee";
    }
    void keyFilters()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        ringUpAndProcess(1);
        const QByteArray name = field.toLatin1();
        type(name.constData(), typed);
        QTEST(this->field(name.constData())->text(), "kept");
    }

    void tabsShowOnePanelAndEmptyTheOthers()
    {
        ringUpAndProcess(1);
        key(field("EAmtpaidcas"), Qt::Key_F10);
        QVERIFY(w("PanelCard")->isVisible() && !w("PanelCash")->isVisible());
        QCOMPARE(w("PanelCard")->geometry(), QRect(16, 31, 300, 233));
        type("ECardNo", QStringLiteral("4111222233334444"));
        type("EBank", QStringLiteral("CITY"));
        key(field("EBank"), Qt::Key_F11);
        QVERIFY(w("PanelCheque")->isVisible() && !w("PanelCard")->isVisible());
        QCOMPARE(field("ECardNo")->text() + field("EBank")->text(), QString());
        type("EChequeNo", QStringLiteral("123456"));
        key(field("EChequeNo"), Qt::Key_F9);
        QCOMPARE(w<QTabBar>("TabControl1")->currentIndex(), 0);
        QVERIFY(w("PanelCash")->isVisible() && field("EChequeNo")->text().isEmpty());
    }

    void payingInFull()
    {
        ringUpAndProcess(5, QStringLiteral("ANNA"));
        roster().fmcustdetails->SelectedCustomerId = QStringLiteral("4");
        type("EAmtpaidcas", QStringLiteral("300"));
        click("BtnCash");
        QCOMPARE(env->dialogs->texts(), QStringList({ "Amount to be paid back is Rs. 50", "Cash  Details are Added" }));
        QCOMPARE(status(), QStringLiteral("Complete"));
        QCOMPARE(riceStock(), QStringLiteral("15"));
        QCOMPARE(label("lblbalrs"), QStringLiteral("0"));
        QVERIFY(field("EAmtpaidcas")->text().isEmpty());
        QVERIFY(w("btnprintbill")->isVisible());

        // a complete bill is not paid, held or changed again, whatever activates the screen
        screen()->FormActivate();
        for (const char* b : { "BtnCash", "BtnCard", "btnCheque", "btnhold", "Button1", "btnnextbill" })
            QVERIFY2(!enabled(b), b);
        key(field("EAmtpaidcas"), Qt::Key_H, Qt::ControlModifier);
        key(field("EAmtpaidcas"), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(env->dialogs->questions.isEmpty());
        QVERIFY(screen()->isVisible() && roster().frmmenupos->isVisible());
        QCOMPARE(status(), QStringLiteral("Complete"));

        // "PRINT BILL" ends at the order screen, on a new bill without the customer
        QVERIFY(QFile::copy(Kit::templateFolder() + QStringLiteral("/billtemplate.xls"),
            QDir(services().paths().programFolder()).filePath(QStringLiteral("billtemplate.xls"))));
        env->clock->setStep(600); // the print's splash second passes at once
        key(field("EAmtpaidcas"), Qt::Key_P, Qt::ControlModifier);
        env->clock->setStep(0);
        QVERIFY(roster().fmorderitem->isVisible() && !screen()->isVisible());
        QVERIFY(!w("btnprintbill")->isVisibleTo(screen()));
        QCOMPARE(orderLabel("Label9"), QStringLiteral("1/2"));
        QCOMPARE(find<QLineEdit>(roster().fmorderitem, "ECustName")->text(), QString());
        QCOMPARE(screen()->customerName(), QString());
        QVERIFY(roster().fmcustdetails->SelectedCustomerId.isEmpty());
        QCOMPARE(riceStock(), QStringLiteral("15"));
    }

    // A refused payment records nothing; the screen, active again once the message has gone,
    // starts the payment afresh with empty fields.
    void refusalsRecordNothing()
    {
        exec(QStringLiteral("update $db.sales_settings set value_='10' where Name='minimal value'"));
        ringUpAndProcess(3);
        type("EAmtpaidcas", QStringLiteral("5"));
        click("BtnCash");
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Enter more Amount"));
        QVERIFY(field("EAmtpaidcas")->text().isEmpty());
        key(field("EAmtpaidcas"), Qt::Key_F10);
        type("ECardNo", QStringLiteral("411122223333444"));
        type("EAmtPaidCard", QStringLiteral("150"));
        click("BtnCard");
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("please enter the valid card number"));
        QCOMPARE(field("ECardNo")->text() + field("EAmtPaidCard")->text(), QString());
        QVERIFY(w("PanelCard")->isVisible());
        QVERIFY(enabled("Button1"));
        QCOMPARE(status(), QStringLiteral("-"));
    }

    void partPaymentStillLetsTheItemsChange()
    {
        ringUpAndProcess(3);
        type("EAmtpaidcas", QStringLiteral("100"));
        click("BtnCash");
        QCOMPARE(status(), QStringLiteral("Part Payment"));
        // the screen is active again once the message has gone: the items may be changed
        QVERIFY(enabled("Button1") && enabled("BtnCash") && enabled("btnhold"));
        QVERIFY(!w("btnprintbill")->isHidden());
        // Ctrl+C runs whether or not its button is enabled, typed in a text field
        key(field("EAmtpaidcas"), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(roster().fmorderitem->isVisible());
        QCOMPARE(orderLabel("Label9"), QStringLiteral("1/1"));
        QVERIFY(!screen()->ReturnFlag);
        QVERIFY(logText().contains(QLatin1String("Change Item details")));
        QCOMPARE(find<QTableView>(roster().fmorderitem, "DBGrid1")->model()->rowCount(), 1);
    }

    void holding_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }
    void holding()
    {
        QFETCH(bool, yes);
        ringUpAndProcess(3);
        env->dialogs->answers << (yes ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        // Ctrl+H is this screen's HOLD, not the menu's HOME
        key(field("EAmtpaidcas"), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(env->dialogs->questions, QStringList { "Do You Want To Keep the Customer On Hold : YES / NO" });
        QVERIFY(screen()->isVisible() && roster().frmmenupos->isVisible());
        QVERIFY(logText().contains(QLatin1String("customer  kept on hold-->billnumber1")));
        QCOMPARE(status(), yes ? QStringLiteral("Hold") : QStringLiteral("-"));
        QCOMPARE(riceStock(), yes ? QStringLiteral("17") : QStringLiteral("20"));
        // the screen is active again once the question has gone: a held bill may still be paid
        // here (the payment finds it as it is then)
        for (const char* b : { "BtnCash", "BtnCard", "btnCheque", "btnhold", "Button1" })
            QVERIFY2(enabled(b), b);

        // Ctrl+B: the next bill, whatever happened to this one
        key(field("EAmtpaidcas"), Qt::Key_B, Qt::ControlModifier);
        QVERIFY(roster().fmorderitem->isVisible() && !screen()->isVisible());
        QCOMPARE(orderLabel("Label9"), yes ? QStringLiteral("1/2") : QStringLiteral("1/1"));
    }

    void deliveryChoice()
    {
        exec(QStringLiteral("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',1,30,2),"
                            "('2026-12-09',1,30,1)"));
        ringUpAndProcess(5);
        QVERIFY(w<QAbstractButton>("RadioGroup1Home")->isChecked());
        QVERIFY(w("btnHomedelivery")->isVisible());
        QCOMPARE(label("Label25") + label("Label26") + label("lbltotal"), QStringLiteral("=   30=  250250"));
        key(field("EAmtpaidcas"), Qt::Key_D, Qt::ControlModifier);
        QVERIFY(w<QAbstractButton>("RadioGroup1TakeAway")->isChecked() && !w("btnHomedelivery")->isVisible());
        w<QAbstractButton>("RadioGroup1Home")->click();
        click("btnHomedelivery");
        QVERIFY(roster().fmhomedelivery->isVisible() && !screen()->isVisible());
        QCOMPARE(roster().fmhomedelivery->pos(), QPoint(220, 30));
    }

    void chequeDate_data()
    {
        QTest::addColumn<QDate>("chosen");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QDate>("kept");
        QTest::newRow("yesterday") << QDate(2026, 12, 8) << "Select Proper Date" << QDate(2026, 12, 9);
        QTest::newRow("today, taken at midnight") << QDate(2026, 12, 9) << "Select Proper Date" << QDate(2026, 12, 9);
        QTest::newRow("tomorrow") << QDate(2026, 12, 10) << "" << QDate(2026, 12, 10);
    }
    void chequeDate()
    {
        QFETCH(QDate, chosen);
        ringUpAndProcess(1);
        auto* picker = w<QDateEdit>("DateTimePicker3");
        QCOMPARE(picker->date(), QDate(2026, 12, 9));
        picker->setDate(chosen);
        screen()->DateTimePicker3CloseUp();
        QTEST(env->dialogs->lastText(), "message");
        QTEST(picker->date(), "kept");
    }

    // The cashier holds a bill and keeps its screen, whose buttons the activation after the
    // question enables again; meanwhile another counter cancels the held entry. Paying or holding
    // it here is refused with the reason, and its goods, given back by the cancel, stay given back.
    void heldBillCancelledElsewhereIsRefused()
    {
        SalesFixture::addItem(db(), 2, QStringLiteral("SAFE"), QStringLiteral("12345.67"), QStringLiteral("0"),
            QStringLiteral("0"), 0, 20);
        // another counter's bill 1 is held too
        exec(QStringLiteral("insert into $db.sales_order(sdate,billno,pcid,total,balance,payment_status) values "
                            "('2026-12-09',1,2,50,50,'Hold')"));
        key(roster().frmmenupos, Qt::Key_F1);
        typeLine(QStringLiteral("SAFE"), QStringLiteral("3"));
        QTest::mouseClick(find<QAbstractButton>(roster().fmorderitem, "btnprocessorder"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(screen()->isVisible());
        env->dialogs->answers << Dialogs::Answer::Yes;
        key(field("EAmtpaidcas"), Qt::Key_H, Qt::ControlModifier);
        const auto bill = [] {
            return scalar(QStringLiteral("select concat_ws('|',payment_status,coalesce(hold_entry,'-'),total,balance,"
                                         "coalesce(amount_paid,'-')) from $db.sales_order where pcid=1"));
        };
        QCOMPARE(bill(), QStringLiteral("Hold|-|37037.01|37037.01|-"));
        const QString safeStock
            = QStringLiteral("select closing_stock from $db.stock_details where itemcode=2 and sdate='2026-12-01'");
        QCOMPARE(scalar(safeStock), QStringLiteral("17"));

        TDm other(TestServer::settings());
        other.setCompanyDatabase(db(), true);
        QVERIFY(CancelHeldEntry(other, { QStringLiteral("1"), QStringLiteral("1") }));
        QCOMPARE(scalar(safeStock), QStringLiteral("20"));

        env->dialogs->clear();
        QVERIFY(enabled("BtnCash") && enabled("btnhold"));
        type("EAmtpaidcas", QStringLiteral("37037.01"));
        click("BtnCash");
        env->dialogs->answers << Dialogs::Answer::Yes;
        key(field("EAmtpaidcas"), Qt::Key_H, Qt::ControlModifier);
        QCOMPARE(env->dialogs->texts(),
            QStringList(
                { "Bill 1/1 was cancelled; the payment is not recorded.", "Bill 1/1 was cancelled; it is not held." }));
        QCOMPARE(bill(), QStringLiteral("Hold|N|37037.01|37037.01|-"));
        QCOMPARE(scalar(safeStock), QStringLiteral("20"));
        QCOMPARE(scalar(QStringLiteral("select (select count(*) from $db.cash_details)+(select count(*) from "
                                       "$db.payment_details)")),
            QStringLiteral("0"));
        QVERIFY(!w("btnprintbill")->isVisible());
    }

    void activationEmptiesTheFieldsAndTabLeavesTheGrid()
    {
        ringUpAndProcess(1);
        type("EAmtpaidcas", QStringLiteral("12"));
        // the menu's window becomes active again (a message box closed): so does this screen
        QEvent activation(QEvent::ActivationChange);
        QCoreApplication::sendEvent(roster().frmmenupos, &activation);
        QVERIFY(field("EAmtpaidcas")->text().isEmpty());
        auto* grid = w<QTableView>("DBGrid1");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Tab);
        QVERIFY(field("EAmtpaidcas")->hasFocus());
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestSettlement test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_settlement.moc"
