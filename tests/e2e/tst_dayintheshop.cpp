// A day in the shop, end to end: the program driven offscreen as its users drive it, from the
// first start on an empty server through a day of back-office and counter work to the next
// morning's start and the stock export. Each step checks the database and the files it leaves.
// The steps run in order and share the running program; a failed step skips the ones after it.
#include "admin/aducashier.h"
#include "app/posapplication.h"
#include "backoffice/menuback.h"
#include "backoffice/unititemdetails.h"
#include "backoffice/unitpurchase.h"
#include "backoffice/unitview_stock.h"
#include "counterfixture.h"
#include "db/dbform.h"
#include "db/dbformpas.h"
#include "db/schema.h"
#include "login/selectpos.h"
#include "platform/passwordhash.h"
#include "workbooktestkit.h"

#include <QFileInfo>
#include <QJsonObject>
#include <QLabel>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>

namespace {

const QDate kDay(2026, 12, 9);
const QString kShop = QStringLiteral("MAIN_STORE");

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

template <typename T = QWidget> T* w(QWidget* screen, const char* name)
{
    return CounterFixture::find<T>(screen, name);
}

void click(QWidget* screen, const char* name)
{
    QTest::mouseClick(w<QAbstractButton>(screen, name), Qt::LeftButton);
    QCoreApplication::processEvents();
}

// Types into a field as its user does, after emptying it with the keyboard.
void type(QWidget* screen, const char* name, const QString& text)
{
    QWidget* field = w(screen, name);
    field->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        line->end(false);
        while (!line->text().isEmpty())
            QTest::keyClick(line, Qt::Key_Backspace);
    }
    QTest::keyClicks(field, text);
}

QString text(QWidget* screen, const char* name)
{
    QWidget* field = w(screen, name);
    if (auto* label = qobject_cast<QLabel*>(field))
        return label->text();
    return w<QLineEdit>(screen, name)->text();
}

// A query on the shop's database ($db), its first value.
QString shop(const QString& sql)
{
    return TestServer::scalar(QString(sql).replace(QStringLiteral("$db"), kShop));
}

QString readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString logBook(const QDate& day)
{
    return readFile(QDir::current().filePath(S("LogFiles/Log") + day.toString(S("yyyyMMdd")) + S(".txt")));
}

QString programFile(const QString& name)
{
    return QDir(services().paths().programFolder()).filePath(name);
}

// Each bill as "terminal/bill status total paid balance delivery".
QString bills()
{
    return shop(S("select group_concat(concat_ws(' ',concat(pcid,'/',billno),payment_status,round(total,2)+0e0,"
                  "coalesce(round(amount_paid,2)+0e0,'-'),round(balance,2)+0e0,coalesce(delivery,'-')) order by billno "
                  "separator ' | ') from $db.sales_order"));
}

// The current stock of each item: the closing stock of its latest ledger row.
QString stock()
{
    return shop(S("select group_concat(concat(i.itemname,'=',s.closing_stock) order by i.itemname) from $db.item i "
                  "join $db.stock_details s on s.itemcode=i.itemcode and s.sdate=(select max(sdate) from "
                  "$db.stock_details t where t.itemcode=i.itemcode)"));
}

// The bills whose payment rows do not add up to what the bill says was paid.
QString unbalancedPayments()
{
    return shop(S("select group_concat(s.billno) from $db.sales_order s where abs(coalesce(s.amount_paid,0)-coalesce("
                  "(select sum(p.amount_paid) from $db.payment_details p where p.billno=s.billno and p.pcid=s.pcid),0))"
                  ">0.005"));
}

QString loggedOn()
{
    return TestServer::scalar(
        S("select group_concat(concat(username,'=',coalesce(nullif(u_loggedon,''),'-')) order by username) "
          "from general_stores.login"));
}

} // namespace

class TestDayInTheShop : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    bool m_failed = false;

    Roster& r() { return roster(); }
    // The dialog texts shown since the last call.
    QStringList shown()
    {
        const QStringList texts = env->dialogs->texts();
        env->dialogs->messages.clear();
        return texts;
    }
    // The program as main() starts it once the connection settings are stored.
    void startProgram()
    {
        QVERIFY(!MyFunction());
        ClearProgramTermination();
        roster().create();
        QVERIFY(!ProgramTerminated());
        roster().fmlogin->show();
    }
    // The program ends as the user closes the menu (its main window closes, which ends the event
    // loop) and main() lets go of it.
    void endProgram(QWidget* menu, const QDate& day)
    {
        env->dialogs->answers = { Dialogs::Answer::Ok };
        click(menu, "BitBtn2");
        QCOMPARE(env->dialogs->questions, QStringList { S("Are you sure you want to close?") });
        env->dialogs->questions.clear();
        QVERIFY(logBook(day).endsWith(S("************TERMINATING POS*************\n")));
        if (!ProgramTerminated())
            r().fmlogin->ResetCurrentUserQuietly();
        roster().destroy();
    }
    void login(const QString& name, const QString& password)
    {
        type(r().fmlogin, "username", name);
        type(r().fmlogin, "password", password);
        click(r().fmlogin, "btnlogin");
    }
    // Opens the back office of the one company from the admin options.
    void openBackOffice()
    {
        QVERIFY(r().frmadminoptions->isVisible());
        QCOMPARE(w<QComboBox>(r().frmadminoptions, "ComboBox1")->currentText(), S("MAIN STORE"));
        click(r().frmadminoptions, "Button3");
        QVERIFY(r().frmmenu->isVisible() && !r().frmadminoptions->isVisible());
    }

    // The cashier's order: each item typed by its first letters and chosen with the arrow key,
    // its quantity typed, then ADD; PROCESS ORDER takes the bill to the settlement screen.
    void ringUp(const QList<QPair<QString, int>>& lines, const QString& customer = QString())
    {
        Tfmorderitem* order = r().fmorderitem;
        click(r().frmmenupos, "btnSalesOrder");
        QVERIFY(order->isVisible());
        auto* box = w<QComboBox>(order, "CboxItem");
        for (const auto& [item, quantity] : lines) {
            QTest::keyClicks(box, item.left(2).toLower());
            QTest::keyClick(box, Qt::Key_Down);
            QCOMPARE(box->currentText(), item);
            type(order, "EQuan", QString::number(quantity));
            click(order, "BtnradioACD");
        }
        if (!customer.isEmpty()) {
            // a new customer is entered on the customer screen and chosen for the bill there
            Tfmcustdetails* customers = r().fmcustdetails;
            click(order, "Button1");
            QVERIFY(customers->isVisible());
            type(customers, "ECustName", customer);
            type(customers, "MemoCustAddress", S("12 Hill Street"));
            type(customers, "EPhoneNo", S("9876500001"));
            click(customers, "btnAddCust");
            QCOMPARE(shown(), QStringList { S("Customer details added") });
            click(customers, "btn_billno");
            QVERIFY(order->isVisible() && !customers->isVisible());
            QCOMPARE(text(order, "ECustName"), customer.toUpper());
        }
        click(order, "btnprocessorder");
        QVERIFY(r().fmsalesorderdtls->isVisible() && !order->isVisible());
        QCOMPARE(shown(), QStringList());
    }
    void pay(const char* amountField, const QString& amount, const char* button)
    {
        type(r().fmsalesorderdtls, amountField, amount);
        click(r().fmsalesorderdtls, button);
    }
    // "PAYMENT" on the payment details screen for one of today's held or part-paid bills.
    void resume(const char* group, const QString& billKey)
    {
        Tfmpaymentdetails* details = r().fmpaymentdetails;
        click(r().frmmenupos, "btnPaymentDetails");
        click(details, group);
        auto* list = w<QTableView>(details, "DBGrid1");
        int row = 0;
        while (row < list->model()->rowCount() && list->model()->index(row, 2).data().toString() != billKey)
            ++row;
        QVERIFY2(row < list->model()->rowCount(), qPrintable(billKey));
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, 0)).center());
        click(details, "btnPayment");
        QVERIFY(r().fmsalesorderdtls->isVisible() && !details->isVisible());
        QCOMPARE(text(r().fmsalesorderdtls, "Label27"), billKey);
        QCOMPARE(shop(S("select bool_access from $db.sales_order where billno=") + billKey.section('/', 1)), S("t"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        env->clock->setStep(600); // the splash's seconds pass at once
        TestServer::dropAllDatabases();
    }
    void cleanupTestCase()
    {
        roster().destroy();
        env.reset();
    }
    void init()
    {
        if (m_failed)
            QSKIP("an earlier step of the day failed");
    }
    void cleanup() { m_failed = m_failed || QTest::currentTestFailed(); }

    // No settings yet: the connection screen tests the server and stores them; the next start
    // creates the catalogue databases and registers the terminal.
    void firstStartOnAnEmptyServer()
    {
        QVERIFY(MyFunction());
        const ConnectionSettings server = TestServer::settings();
        {
            Tdbform dbform;
            dbform.show();
            type(&dbform, "edt_user", server.userName);
            type(&dbform, "edt_pwd", server.password);
            type(&dbform, "edt_server", server.server);
            type(&dbform, "edt_port", server.port);
            click(&dbform, "btn_connect");
            QCOMPARE(shown(), QStringList { S("Connection Successful") });
            QVERIFY(!dbform.isVisible());
        }
        const QString settings = services().paths().settingsFolder() + S("/pos/registry.ini");
        QVERIFY(readFile(settings).contains(server.port));
        QCOMPARE(QFileInfo(settings).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        QCOMPARE(TestServer::count(S("select count(*) from information_schema.schemata where schema_name in "
                                     "('dbname','general_stores','pcmac')")),
            0);

        startProgram();
        QCOMPARE(shown(), QStringList());
        QCOMPARE(TestServer::scalar(
                     S("select group_concat(schema_name order by schema_name) from "
                       "information_schema.schemata where schema_name in ('dbname','general_stores','pcmac')")),
            S("dbname,general_stores,pcmac"));
        QCOMPARE(
            TestServer::count(S("select count(*) from information_schema.tables where table_schema='general_stores'")),
            int(Schema::tableNames().size()));
        QCOMPARE(TestServer::scalar(S("select concat_ws('|',id,mac,Comp_name,Role) from pcmac.pcmac")),
            S("1|0a1b2c3d4e5f|COUNTER1|Role"));
        QCOMPARE(r().frmadminoptions->TerminalId, S("1"));
        QVERIFY(r().fmlogin->isVisible());
        QVERIFY(QFileInfo::exists(QDir::current().filePath(S("LogFiles/Log20261209.txt"))));
    }

    // The bootstrap login opens only the user part of the configuration screen: an administrator
    // and a cashier are created there, and the bootstrap login stops working.
    void bootstrapLoginCreatesTheUsers()
    {
        Tfrmaducashier* config = r().frmaducashier;
        login(S("tavin"), S("qemol"));
        QCOMPARE(shown(), QStringList { S(" Please create the User(Administrator/Cashier)!! ") });
        QVERIFY(config->isVisible() && !r().fmlogin->isVisible());
        QVERIFY(!w(config, "GroupBox2")->isEnabled());
        QCOMPARE(TestServer::scalar(S("select Role from pcmac.pcmac")), S("admin"));

        // the shop's first administrator sets the shop's super-password, typed twice
        env->dialogs->questions.clear();
        env->dialogs->passwords = { S("Owner#2026"), S("Owner#2026") };
        const QStringList users[] = { { "boss", "Boss1", "admin" }, { "meera", "Meera1", "cashier" } };
        for (const QStringList& u : users) {
            type(config, "username", u[0]);
            type(config, "password", u[1]);
            type(config, "E_re_password", u[1]);
            auto* role = w<QComboBox>(config, "combo_user");
            role->setCurrentIndex(role->findText(u[2]));
            click(config, "Button2");
            QCOMPARE(shown(), QStringList { S("New User created") });
        }
        QCOMPARE(env->dialogs->questions,
            (QStringList { S("Set the shop's Superpassword"), S("Retype the Superpassword") }));
        env->dialogs->questions.clear();
        QCOMPARE(TestServer::scalar(S("select group_concat(concat_ws(':',username,role) order by username) "
                                      "from general_stores.login")),
            S("boss:admin,meera:cashier"));
        // passwords and the super-password are kept as salted hashes only
        QVERIFY(PasswordMatches(
            TestServer::scalar(S("select password from general_stores.login where username='boss'")), S("Boss1")));
        QVERIFY(PasswordMatches(
            TestServer::scalar(S("select password from general_stores.login where username='meera'")), S("Meera1")));
        QVERIFY(PasswordMatches(TestServer::scalar(S("select password from dbname.super_password")), S("Owner#2026")));
        QCOMPARE(w<QTableWidget>(config, "StringGrid1")->item(1, 2)->text(), S("meera"));

        click(config, "BitBtn1");
        QVERIFY(r().fmlogin->isVisible() && !config->isVisible());
        login(S("tavin"), S("qemol"));
        QCOMPARE(shown(), QStringList { S("Details does not match!!") });
    }

    // The administrator adds the company, which gets its database, catalogue row and limits.
    void administratorAddsTheCompany()
    {
        login(S("boss"), S("Boss1"));
        Tfrmadminoptions* options = r().frmadminoptions;
        QVERIFY(options->isVisible());
        QCOMPARE(loggedOn(), S("boss=t,meera=-"));
        type(options, "Edit1", S("Main Store"));
        click(options, "Button1");
        QCOMPARE(shown(), QStringList { S("Company has been added") });
        QCOMPARE(TestServer::scalar(S("select group_concat(cname) from dbname.dbname")), kShop);
        QCOMPARE(TestServer::count(S("select count(*) from information_schema.tables where table_schema='MAIN_STORE'")),
            int(Schema::tableNames().size()));
        QCOMPARE(shop(S("select value_ from $db.sales_settings where Name='hold limit'")), S("30"));
        QCOMPARE(w<QComboBox>(options, "ComboBox1")->itemText(0), S("MAIN STORE"));
    }

    // In the back office: the hold limit, two items, the overall tax, opening stock and purchases.
    void backOfficeSetsUpTheShop()
    {
        openBackOffice();
        Tfrmmenu* menu = r().frmmenu;
        Tfrmaducashier* config = r().frmaducashier;
        click(menu, "btnConfiguration");
        QVERIFY(config->isVisible() && w(config, "GroupBox2")->isEnabled());
        type(config, "E_hold_limit", S("1"));
        click(config, "btn_change");
        QCOMPARE(shown(), QStringList { S("Values changed") });
        QCOMPARE(shop(S("select value_ from $db.sales_settings where Name='hold limit'")), S("1"));

        TFitemdetails* items = r().Fitemdetails;
        click(menu, "btnItemDetails");
        const QStringList entries[] = { { "Rice", "50", "", "" }, { "Sugar", "40", "10", "5" } };
        for (const QStringList& e : entries) {
            type(items, "EItemName", e[0]);
            type(items, "EIRate", e[1]);
            type(items, "EDiscount", e[2]);
            type(items, "EITax", e[3]);
            type(items, "EMinimal", S("5"));
            click(items, "BtnAdd");
        }
        click(items, "RadioGroup1Tax");
        type(items, "ETax", S("10"));
        click(items, "BtnTax");
        QCOMPARE(shown(), QStringList { S("TAX is added") });
        // in the order they were added (their codes rise, though not always by one)
        QCOMPARE(shop(S("select group_concat(concat_ws(':',itemname,rate,discount,tax,minimal) order by itemcode) "
                        "from $db.item")),
            S("RICE:50:0:0:5,SUGAR:40:10:5:5"));
        QCOMPARE(shop(S("select concat(sdate,' ',rate) from $db.tax")), S("2026-12-09 10"));

        // a first booking takes the opening stock; a later one adds to the day's row
        TFpurchase* purchase = r().Fpurchase;
        click(menu, "btnPurchase");
        auto* item = w<QComboBox>(purchase, "ComboBox1");
        const auto book = [&](const QString& name, const QString& opening, const QString& bought, bool received) {
            item->lineEdit()->clear();
            QTest::keyClicks(item->lineEdit(), name.toLower());
            QTest::keyClick(item->lineEdit(), Qt::Key_Return);
            if (!opening.isEmpty()) {
                QCOMPARE(shown(), QStringList { S("No items Exist. So Please ADD OPENING STOCK to SELECTED ITEM") });
                type(purchase, "EOpstock", opening);
            }
            type(purchase, "Edit2", bought);
            env->dialogs->answers = { received ? Dialogs::Answer::Yes : Dialogs::Answer::No };
            click(purchase, "BtnAddDetails");
            QCOMPARE(env->dialogs->questions.takeLast(), S("Bill Received? : YES / NO"));
            QCOMPARE(shown(), QStringList { S("Item is updated") });
        };
        book(S("RICE"), S("100"), S("20"), true);
        book(S("SUGAR"), S("50"), S("10"), false);
        book(S("SUGAR"), QString(), S("15"), true);
        QCOMPARE(shop(S("select group_concat(concat_ws(',',sdate,itemname,opening_stock,purchase,closing_stock,"
                        "bill_recieved) order by itemcode) from $db.stock_details join $db.item using(itemcode)")),
            S("2026-12-09,RICE,100,20,120,1,2026-12-09,SUGAR,50,25,75,1"));

        const QString log = logBook(kDay);
        for (const char* line : { "Item added-->itemname: Sugar Rate: 40 Discount: 10 Minimal: 5 Tax: 5",
                 "Overall Tax added --TAX: 10", "Purchase --Item Name: RICE Opening stock: 100 purchase : 20",
                 "Purchase --Item Name: SUGAR Opening stock: 50 purchase : 15" })
            QVERIFY2(log.contains(QLatin1String(line)), line);

        click(menu, "Button1");
        QVERIFY(r().frmadminoptions->isVisible() && !menu->isVisible());
        click(r().frmadminoptions, "BitBtn1");
        QVERIFY(r().fmlogin->isVisible());
        QCOMPARE(loggedOn(), S("boss=f,meera=-"));
    }

    // The cashier's day at the counter: cash with change and a printed bill, card, a part
    // payment, a hold, a home delivery, a second hold left for tomorrow, then the held and the
    // part-paid bill resumed and paid.
    void cashierRingsUpTheDay()
    {
        // the bill template ships beside the program
        QVERIFY(QFile::copy(Kit::templateFolder() + S("/billtemplate.xls"), programFile(S("billtemplate.xls"))));
        login(S("meera"), S("Meera1"));
        Tfrmselectpos* select = r().frmselectpos;
        QVERIFY(select->isVisible());
        QCOMPARE(loggedOn(), S("boss=f,meera=t"));
        QTest::keyClick(w<QComboBox>(select, "ComboBox1"), Qt::Key_Down);
        click(select, "btnnext");
        QVERIFY(r().frmmenupos->isVisible() && !select->isVisible());
        QCOMPARE(text(r().frmmenupos, "Label3"), S("MAIN STORE"));
        Tfmsalesorderdtls* settle = r().fmsalesorderdtls;

        // 1: 2 RICE (100) and 10 % tax, paid with 120 in cash, printed for the customer
        ringUp({ { S("RICE"), 2 } }, S("Ravi"));
        QCOMPARE(text(settle, "Label27"), S("1/1"));
        QCOMPARE(text(settle, "lbltotal"), S("110"));
        pay("EAmtpaidcas", S("120"), "BtnCash");
        QCOMPARE(shown(), QStringList({ "Amount to be paid back is Rs. 10", "Cash  Details are Added" }));
        click(settle, "btnprintbill");
        const QString pdf = programFile(S("MAIN STORE1.pdf"));
        QCOMPARE(shown(),
            QStringList({ "Bill is ready for printing", "No default printer is set up. The bill is saved as " + pdf }));
        QVERIFY(r().fmorderitem->isVisible() && !settle->isVisible());
        QCOMPARE(text(r().fmorderitem, "Label9"), S("1/2"));

        // 2: 5 SUGAR (200 + 5 % tax - 10 % discount = 189, and 10 %) by card
        ringUp({ { S("SUGAR"), 5 } });
        auto* tabs = w<QTabBar>(settle, "TabControl1");
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
        type(settle, "ECardNo", S("4111222233331111"));
        type(settle, "EcardName", S("Ravi"));
        type(settle, "EBank", S("City Bank"));
        pay("EAmtPaidCard", S("207.9"), "BtnCard");
        QCOMPARE(shown(), QStringList { S("Card Details are Added") });

        // 3: 4 RICE (220), 100 paid now
        ringUp({ { S("RICE"), 4 } });
        pay("EAmtpaidcas", S("100"), "BtnCash");
        QCOMPARE(shown(), QStringList { S("Cash  Details are Added") });
        click(settle, "btnnextbill");

        // 4 and 6: RICE held; 5: 2 SUGAR (83.16) delivered home for 30
        const auto hold = [&] {
            env->dialogs->answers = { Dialogs::Answer::Yes };
            click(settle, "btnhold");
            QCOMPARE(env->dialogs->questions.takeLast(), S("Do You Want To Keep the Customer On Hold : YES / NO"));
            QVERIFY(!w(settle, "btnnextbill")->isEnabled());
        };
        ringUp({ { S("RICE"), 3 } });
        hold();
        ringUp({ { S("SUGAR"), 2 } });
        w<QAbstractButton>(settle, "RadioGroup1Home")->click();
        click(settle, "btnHomedelivery");
        Tfmhomedelivery* delivery = r().fmhomedelivery;
        QVERIFY(delivery->isVisible());
        QCOMPARE(text(delivery, "EBillNoh"), S("1/5"));
        type(delivery, "ECustNameH", S("Lata Rao"));
        type(delivery, "MemoCustAddH", S("4 Lake Road"));
        type(delivery, "EPhoneNoH", S("9876543210"));
        type(delivery, "EHCharges", S("30"));
        click(delivery, "btnokdeliveryadd");
        QCOMPARE(shown(), QStringList { S("Home Delivery details added") });
        click(delivery, "Button1");
        QVERIFY(settle->isVisible());
        QCOMPARE(text(settle, "lblbalrs"), S("113.16"));
        pay("EAmtpaidcas", S("113.16"), "BtnCash");
        QCOMPARE(shown(), QStringList { S("Cash  Details are Added") });
        ringUp({ { S("RICE"), 5 } });
        hold();
        QCOMPARE(stock(), S("RICE=106,SUGAR=68"));

        resume("RadioGroup1Hold", S("1/4"));
        pay("EAmtpaidcas", S("165"), "BtnCash");
        QCOMPARE(shown(), QStringList { S("Cash  Details are Added") });
        resume("RadioGroup1PartPayment", S("1/3"));
        pay("EAmtpaidcas", S("120"), "BtnCash");
        QCOMPARE(shown(), QStringList { S("Cash  Details are Added") });

        QCOMPARE(bills(),
            S("1/1 Complete 110 110 0 Take Away | 1/2 Complete 207.9 207.9 0 Take Away | 1/3 Complete 220 220 0 Take "
              "Away | 1/4 Complete 165 165 0 Take Away | 1/5 Complete 113.16 113.16 0 Home Delivery | 1/6 Hold 275 - "
              "275 -"));
        QCOMPARE(unbalancedPayments(), QString());
        QCOMPARE(shop(S("select count(*) from $db.sales_order where bool_access='t'")), S("0"));
        QCOMPARE(shop(S("select concat_ws(' ',billno,customer_name,charges) from $db.delivery")), S("5 LATA RAO 30"));
        QCOMPARE(shop(S("select group_concat(concat_ws(' ',s.billno,c.customer_name,c.phoneno) order by s.billno) from "
                        "$db.sales_order s join $db.customer_details c on c.customerid=s.customerid")),
            S("1 RAVI 9876500001,5 LATA RAO 9876543210"));
        QCOMPARE(shop(S("select concat_ws(' ',right(cardno,4),cardname,bank,amount_paid) from $db.card_details")),
            S("1111 Ravi City Bank 207.9"));
        QCOMPARE(stock(), S("RICE=106,SUGAR=68"));

        // the printed bill: its workbook and the PDF beside it
        QString error;
        const QJsonObject cells = Kit::openpyxl(programFile(S("MAIN STORE1.xls")), &error).value(S("cells")).toObject();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList read;
        for (const char* cell : { "D1", "F3", "H3", "A8", "C14", "C15", "C16", "G18" })
            read << cells.value(QLatin1String(cell)).toObject().value(S("value")).toVariant().toString();
        QCOMPARE(read, QStringList({ "MAIN STORE", "RAVI", " 1/1 ", "RICE", "Rs.100", "Rs.10", "Rs.110", "Rs.110" }));
        const QString printed = Kit::pdfText(pdf, &error);
        for (const char* word : { "MAIN STORE", "RAVI", "RICE", "Rs.110" })
            QVERIFY2(printed.contains(QLatin1String(word)), qPrintable(word + error));

        const QString log = logBook(kDay);
        for (const char* line : { "Login :username:-meera", "Cash Payment-- Amount Paid: 120Billno: 1",
                 "payment by CARD-- card  no.:XXXXXXXXXXXX1111", "customer  kept on hold-->billnumber6",
                 "Payment/Hold....Customer with customer id" })
            QVERIFY2(log.contains(QLatin1String(line)), line);

        endProgram(r().frmmenupos, kDay);
        QCOMPARE(loggedOn(), S("boss=f,meera=f"));
    }

    // The next morning's start cancels the bill held since yesterday and gives its goods back,
    // and writes the day's stock snapshot.
    void nextDayStartCancelsTheExpiredHold()
    {
        env->clock->set(QDateTime(kDay.addDays(1), QTime(9, 0)));
        startProgram();
        QCOMPARE(shown(), QStringList());
        QCOMPARE(shop(S("select group_concat(billno order by billno) from $db.sales_order")), S("1,2,3,4,5"));
        QCOMPARE(stock(), S("RICE=111,SUGAR=68"));
        QCOMPARE(shop(S("select group_concat(concat_ws(',',itemname,closing_stock,date_stock) order by itemcode) from "
                        "$db.itemdetails join $db.item using(itemcode)")),
            S("RICE,111,2026-12-10,SUGAR,68,2026-12-10"));
        QVERIFY(
            logBook(kDay.addDays(1)).contains(S("Start of day, company MAIN_STORE: bill 1/6 cancelled, status Hold")));
        QCOMPARE(unbalancedPayments(), QString());

        // the cashier's first bill of the day takes the cancelled bill's number, and starts empty
        login(S("meera"), S("Meera1"));
        QTest::keyClick(w<QComboBox>(r().frmselectpos, "ComboBox1"), Qt::Key_Down);
        click(r().frmselectpos, "btnnext");
        click(r().frmmenupos, "btnSalesOrder");
        QCOMPARE(text(r().fmorderitem, "Label9"), S("1/6"));
        QCOMPARE(w<QTableView>(r().fmorderitem, "DBGrid1")->model()->rowCount(), 0);
        click(r().frmmenupos, "btnback");
        click(r().frmselectpos, "BitBtn1");
        QVERIFY(r().fmlogin->isVisible());
        QCOMPARE(shown(), QStringList());
    }

    // The administrator exports the stock view; the workbook reads back as the screen showed it.
    void stockViewExport()
    {
        login(S("boss"), S("Boss1"));
        openBackOffice();
        Tfmview_stock* view = r().fmview_stock;
        click(r().frmmenu, "btnViewStock");
        QVERIFY(view->isVisible());
        QAbstractItemModel* grid = w<QTableView>(view, "DBGrid1")->model();
        QCOMPARE(grid->rowCount(), 2);
        click(view, "BtnExcelView");
        QCOMPARE(shown(), QStringList());

        QString error;
        const QJsonObject book = Kit::openpyxl(programFile(S("stock_MAIN STORE_2026-12-10.xls")), &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QJsonObject cells = book.value(S("cells")).toObject();
        QStringList rows;
        for (int row = 1; row <= 3; ++row) {
            QStringList values;
            for (const char* column : { "A", "B", "C", "D", "E", "F" })
                values << cells.value(QLatin1String(column) + QString::number(row))
                              .toObject()
                              .value(S("value"))
                              .toVariant()
                              .toString();
            rows << values.join(QLatin1Char(' '));
        }
        QCOMPARE(rows,
            QStringList({ "DATE ITEM OPENING STOCK PURCHASE CLOSING STOCK BILL", "2026-12-09 RICE 100 20 111 True",
                "2026-12-09 SUGAR 50 25 68 True" }));
        endProgram(r().frmmenu, kDay.addDays(1));
        QCOMPARE(loggedOn(), S("boss=f,meera=f"));
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestDayInTheShop test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_dayintheshop.moc"
