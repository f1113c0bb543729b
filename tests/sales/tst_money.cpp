// Bills of five to seven digits rung up, paid and printed through the screens as a cashier does
// it: every figure is read back from the database and from the printed workbook, and no message
// shows more places than the amounts have.
#include "bills/billprintpas.h"
#include "counterfixture.h"
#include "workbooktestkit.h"

#include <QJsonObject>
#include <QLabel>

namespace {

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

class TestMoney : public QObject, CounterFixture {
    Q_OBJECT

    QWidget* settlement() { return roster().fmsalesorderdtls; }
    QWidget* order() { return roster().fmorderitem; }

    // Types into a field after clicking it, as a cashier does.
    void type(QWidget* screen, const char* name, const QString& text)
    {
        auto* field = find<QLineEdit>(screen, name);
        QTest::mouseClick(field, Qt::LeftButton);
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    void click(QWidget* screen, const char* name)
    {
        QTest::mouseClick(find<QAbstractButton>(screen, name), Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    // The item by its name in the item box, Tab to the quantity, the quantity, Tab to ADD, space;
    // then Ctrl+P processes the order.
    void ringUp(const QString& item, const QString& quantity)
    {
        key(roster().frmmenupos, Qt::Key_F1);
        QVERIFY(order()->isVisible());
        auto* box = find<QComboBox>(order(), "CboxItem");
        box->setFocus();
        QTest::keyClicks(box, item);
        key(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find<QLineEdit>(order(), "EQuan"));
        QTest::keyClicks(QApplication::focusWidget(), quantity);
        key(QApplication::focusWidget(), Qt::Key_Tab);
        key(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(scalar(S("select quantity from $db.tordergrid")), quantity);
        key(QApplication::focusWidget(), Qt::Key_P, Qt::ControlModifier);
        QVERIFY(settlement()->isVisible());
    }

    // "cash:50000" or "card:49999.99", typed into the method's panel and its OK pressed.
    void pay(const QString& payment)
    {
        const QString method = payment.section(QLatin1Char(':'), 0, 0);
        const QString amount = payment.section(QLatin1Char(':'), 1);
        if (method == QLatin1String("card")) {
            key(find<QWidget>(settlement(), "DBGrid1"), Qt::Key_F10);
            type(settlement(), "ECardNo", S("4111222233334444"));
            type(settlement(), "EcardName", S("ANNA"));
            type(settlement(), "EBank", S("CITY BANK"));
            type(settlement(), "EAmtPaidCard", amount);
            click(settlement(), "BtnCard");
        } else {
            key(find<QWidget>(settlement(), "DBGrid1"), Qt::Key_F9);
            type(settlement(), "EAmtpaidcas", amount);
            click(settlement(), "BtnCash");
        }
    }

    QString programFile(const QString& name) const { return QDir(services().paths().programFolder()).filePath(name); }

    // Every text the printed workbook holds.
    QStringList printedTexts(const QString& file)
    {
        QString error;
        const QJsonObject book = Kit::openpyxl(file, &error);
        QStringList texts;
        const QJsonObject cells = book.value(S("cells")).toObject();
        for (auto it = cells.begin(); it != cells.end(); ++it)
            texts << it.value().toObject().value(S("value")).toVariant().toString();
        return texts << error;
    }

private Q_SLOTS:
    void initTestCase()
    {
        startProgram();
        env->clock->setStep(600); // the splash's second passes at once
    }
    void cleanupTestCase() { endProgram(); }

    void billsOfFiveToSevenDigits_data()
    {
        QTest::addColumn<QString>("item"); // name|rate|tax|discount
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("overallTax");
        QTest::addColumn<QStringList>("payments");
        QTest::addColumn<QString>("bill"); // total|amount_paid|balance|status
        QTest::addColumn<QString>("records"); // payment log by method, then cash, card records
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("printed");

        QTest::newRow("12,345.67 in cash, to the paisa")
            << "SAFE|12345.67|0|0"
            << "1"
            << "0" << QStringList { "cash:12345.67" } << "12345.67|12345.67|0|Complete"
            << "cash:12345.67|12345.67|-" << QStringList { "Cash  Details are Added" }
            << QStringList { "12345.67", "Rs.12345.67", "Rs.0" };
        QTest::newRow("99,999.99 part in cash, the rest by card")
            << "TV|33333.33|0|0"
            << "3"
            << "0" << QStringList { "cash:50000", "card:49999.99" } << "99999.99|99999.99|0|Complete"
            << "card:49999.99,cash:50000|50000|99999.99"
            << QStringList { "Cash  Details are Added", "Card Details are Added" }
            << QStringList { "33333.33", "99999.99", "Rs.99999.99", "Rs.0" };
        QTest::newRow("1,234,567.89 in cash with change")
            << "CAR|1234567.89|0|0"
            << "1"
            << "0" << QStringList { "cash:1234600" } << "1234567.89|1234567.89|0|Complete"
            << "cash:1234567.89|1234567.89|-"
            << QStringList { "Amount to be paid back is Rs. 32.11", "Cash  Details are Added" }
            << QStringList { "1234567.89", "Rs.1234567.89" };
        // the line: 9,999,999.99 with 12.5% tax less 7.5% discount
        QTest::newRow("9,999,999.99 with tax and discount, part paid, then paid off with change")
            << "GOLD|9999999.99|12.5|7.5"
            << "1"
            << "0" << QStringList { "cash:5000000", "cash:5406250" } << "10406249.99|10406249.99|0|Complete"
            << "cash:10406249.99|10406249.99|-"
            << QStringList { "Cash  Details are Added", "Amount to be paid back is Rs. 0.01",
                   "Cash  Details are Added" }
            << QStringList { "9999999.99", "11249999.98875", "10406249.99", "Rs.10406249.99" };
        // the finest figure: a line total times the overall tax
        QTest::newRow("overall tax on 99,999.99, paid with change")
            << "TV|33333.33|0|0"
            << "3"
            << "12.375" << QStringList { "cash:112375" } << "112374.9887625|112374.9887625|0|Complete"
            << "cash:112374.9887625|112374.9887625|-"
            << QStringList { "Amount to be paid back is Rs. 0.0112375", "Cash  Details are Added" }
            << QStringList { "99999.99", "Rs.112374.9887625" };
    }

    void billsOfFiveToSevenDigits()
    {
        QFETCH(QString, item);
        QFETCH(QString, quantity);
        QFETCH(QString, overallTax);
        QFETCH(QStringList, payments);
        QFETCH(QString, bill);
        QFETCH(QString, records);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, printed);

        openCounter();
        const QStringList i = item.split(QLatin1Char('|'));
        SalesFixture::addItem(db(), 2, i[0], i[1], i[2], i[3], 0, 100);
        exec(S("insert into $db.tax(sdate,rate) values('2026-01-01','%1')").arg(overallTax));
        QFile::remove(programFile(kBillTemplate));
        QVERIFY(QFile::copy(Kit::templateFolder() + QLatin1Char('/') + kBillTemplate, programFile(kBillTemplate)));
        QFile::remove(programFile(S("COUNTER1.xls")));

        ringUp(i[0], quantity);
        for (const QString& payment : payments)
            pay(payment);
        QCOMPARE(env->dialogs->texts(), messages);
        QCOMPARE(
            scalar(S("select concat_ws('|',total,amount_paid,balance,payment_status) from $db.sales_order")), bill);
        QCOMPARE(scalar(S("select concat_ws('|',(select group_concat(concat(payment_type,':',amount_paid) order by "
                          "payment_type) from $db.payment_details),(select amount_paid from $db.cash_details),"
                          "coalesce((select amount_paid from $db.card_details),'-'))")),
            records);
        // the bill's lines as rung up, in the line log and the saved lines
        const QString lineTotal = scalar(S("select total from $db.temp_ordergrid"));
        QCOMPARE(scalar(S("select total from $db.sales_order_details")), lineTotal);

        click(settlement(), "btnprintbill");
        const QStringList texts = printedTexts(programFile(S("COUNTER1.xls")));
        for (const QString& figure : printed)
            QVERIFY2(texts.contains(figure), qPrintable(figure + S(" not in ") + texts.join(QLatin1Char(';'))));
        QVERIFY2(texts.contains(S("Rs.") + bill.section(QLatin1Char('|'), 1, 1)), qPrintable(texts.join(';')));
    }
};

QTEST_MAIN(TestMoney)
#include "tst_money.moc"
