// Every screen with key rules worked from the keyboard alone: Tab and Shift+Tab walk its fields in
// the order they are read and change none of them, whatever the fields hold.
#include "admin/aducashier.h"
#include "backoffice/menuback.h"
#include "backoffice/unitcomment.h"
#include "backoffice/unititemdetails.h"
#include "backoffice/unitpurchase.h"
#include "bills/old_bill.h"
#include "bills/paymentdetails.h"
#include "counterfixture.h"
#include "db/dbform.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QRadioButton>
#include <QTableView>

namespace {

// The control a focus widget belongs to: an editable box's or a date field's own line edit
// counts as the box.
QString controlName(QWidget* w)
{
    while (w && (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_"))))
        w = w->parentWidget();
    return w ? w->objectName() : QString();
}

// What every field of a screen holds, to compare before and after the keys.
QStringList fieldContents(QWidget* screen)
{
    QStringList out;
    for (QLineEdit* e : screen->findChildren<QLineEdit*>())
        out << controlName(e) + S("=") + e->text();
    for (QComboBox* c : screen->findChildren<QComboBox*>())
        out << c->objectName() + S("#") + QString::number(c->currentIndex());
    for (QAbstractButton* b : screen->findChildren<QAbstractButton*>()) {
        if (b->isCheckable())
            out << b->objectName() + S("?") + QString::number(b->isChecked());
    }
    return out;
}

void tab(Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
    QCoreApplication::processEvents();
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

    CounterFixture f;

    // Shows a screen the way the program does and returns it.
    QWidget* open(const QString& screen)
    {
        Roster& r = roster();
        const auto fromMenu = [&](int key, QWidget* target) {
            CounterFixture::key(r.frmmenupos, key);
            return target;
        };
        const auto alone = [](QWidget* w) {
            w->show();
            // offscreen, a window may never be reported active: the screen is made active by hand
            (void)QTest::qWaitForWindowActive(w, 200);
            QT_WARNING_PUSH
            QT_WARNING_DISABLE_DEPRECATED
            QApplication::setActiveWindow(w);
            QT_WARNING_POP
            QCoreApplication::processEvents();
            return w;
        };
        const auto backOffice = [&](const char* button, QWidget* target) {
            r.frmmenupos->hide();
            alone(r.frmmenu);
            QTest::mouseClick(CounterFixture::find<QAbstractButton>(r.frmmenu, button), Qt::LeftButton);
            QCoreApplication::processEvents();
            return target;
        };
        if (screen == QLatin1String("order"))
            return fromMenu(Qt::Key_F1, r.fmorderitem);
        if (screen == QLatin1String("payments"))
            return fromMenu(Qt::Key_F3, r.fmpaymentdetails);
        if (screen == QLatin1String("customer"))
            return fromMenu(Qt::Key_F4, r.fmcustdetails);
        if (screen == QLatin1String("oldbills"))
            return fromMenu(Qt::Key_F5, r.old_bill);
        if (screen == QLatin1String("settlement")) {
            f.ringUpAndProcess(2);
            return r.fmsalesorderdtls;
        }
        if (screen == QLatin1String("delivery")) {
            f.ringUpAndProcess(2);
            QTest::mouseClick(
                CounterFixture::find<QAbstractButton>(r.fmsalesorderdtls, "RadioGroup1Home"), Qt::LeftButton);
            QTest::mouseClick(
                CounterFixture::find<QAbstractButton>(r.fmsalesorderdtls, "btnHomedelivery"), Qt::LeftButton);
            QCoreApplication::processEvents();
            return r.fmhomedelivery;
        }
        r.frmmenupos->hide();
        if (screen == QLatin1String("login")) {
            f.env->clock->setStep(600); // its splash waits end at once
            return alone(r.fmlogin);
        }
        if (screen == QLatin1String("admin"))
            return alone(r.frmadminoptions);
        if (screen == QLatin1String("configuration"))
            return backOffice("btnConfiguration", r.frmaducashier);
        if (screen == QLatin1String("items"))
            return backOffice("btnItemDetails", r.Fitemdetails);
        if (screen == QLatin1String("purchase"))
            return backOffice("btnPurchase", r.Fpurchase);
        if (screen == QLatin1String("comments"))
            return backOffice("btnComments", r.fmcomment);
        if (screen == QLatin1String("connection")) {
            m_connection = std::make_unique<Tdbform>();
            return alone(m_connection.get());
        }
        return nullptr;
    }
    std::unique_ptr<Tdbform> m_connection;

private Q_SLOTS:
    void initTestCase()
    {
        f.startProgram();
        roster().frmadminoptions->AdminCompanyDb = CounterFixture::db();
        roster().frmadminoptions->AdminCompanyName = CounterFixture::db();
    }
    void cleanupTestCase() { f.endProgram(); }

    void init()
    {
        f.openCounter();
        CounterFixture::exec(S("insert into $db.sales_settings values ('rate','100000'),('minimal','5'),"
                               "('purchase','10000'),('hold limit','3'),('Part payment days','30')"));
    }
    void cleanup()
    {
        Roster& r = roster();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible())
                w->hide();
        }
        r.frmmenu->Button1Click();
        r.frmadminoptions->hide();
        m_connection.reset();
        f.env->clock->setStep(0);
    }

    // Tab walks the screen's fields in reading order and Shift+Tab walks them back; what the
    // fields held, typed to their full length, is still there, and no message came up.
    void tabWalksTheScreen_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("typed"); // field=text, typed before the walk
        const auto row = [](const char* name, const char* screen, const QString& order, const QString& typed) {
            QTest::newRow(name) << S(screen) << order.split(QLatin1Char(' '))
                                << (typed.isEmpty() ? QStringList() : typed.split(QLatin1Char(' ')));
        };
        row("connection", "connection", S("edt_user edt_pwd edt_server edt_port edt_servers btn_connect"),
            S("edt_port=33066"));
        row("login", "login", S("username password btnlogin"), S("username=meera password=x1"));
        row("admin options", "admin", S("Edit1 Button1 ComboBox1 Edit2 btnremove Button2 Button3 BitBtn1"),
            S("Edit1=NEW(SHOP).X@Y"));
        row("configuration", "configuration",
            S("username password E_re_password combo_user Button2 Button3 Button1 StringGrid1 Edit1 Edit2 Edit4 "
              "Edit3 E_hold_limit edt_part_pay edt_minimal edt_round_off CheckBox1 btn_change Edit5 Button7 "
              "Button5"),
            S("username=abcdefghij password=abcdefghijklm E_re_password=abcdefghijklm Edit1=99999.99"));
        row("items", "items", S("RadioGroup1Add EItemName EIRate EDiscount EITax EMinimal ebarcode BtnAdd DBGrid1"),
            S("EItemName=SUGAR EIRate=99999.99 EDiscount=12.5 EITax=5 EMinimal=123456 ebarcode=890123456789"));
        row("purchase", "purchase", S("DateTimePicker1 ComboBox1 Edit1 Edit2 Edit5 Edit6 BtnAddDetails"), QString());
        row("comments", "comments", S("DateTimePicker1 Memo1 editComment BtnAddUpdCom BtnDelete"), QString());
        row("order", "order",
            S("Button1 RadioButton1 CboxItem EQuan BtnradioACD RadioGroup1Add DBGrid1 btnprocessorder clear"),
            S("EQuan=12"));
        row("settlement", "settlement", S("DBGrid1 EAmtpaidcas BtnCash RadioGroup1TakeAway Button1 btnhold"),
            S("EAmtpaidcas=12345.67"));
        row("customer", "customer", S("ECustName MemoCustAddress EPhoneNo btnAddCust Edt_search btn_search DBGrid1"),
            S("ECustName=ANNA EPhoneNo=9876543210 Edt_search=AN"));
        row("delivery", "delivery", S("EBillNoh ECustNameH MemoCustAddH EPhoneNoH EHCharges btnokdeliveryadd Button1"),
            S("ECustNameH=ANNA EPhoneNoH=9876543210 EHCharges=1234.56"));
        row("old bills", "oldbills",
            S("Rad_Customer DateTimePicker1 DateTimePicker2 Edt_id Edt_name btn_search DBGrid2"),
            S("Edt_id=42 Edt_name=MART"));
    }
    void tabWalksTheScreen()
    {
        QFETCH(QString, screen);
        QFETCH(QStringList, order);
        QFETCH(QStringList, typed);
        QWidget* w = open(screen);
        QVERIFY(w);
        QVERIFY(w->isVisible());
        for (const QString& t : typed) {
            const qsizetype eq = t.indexOf(QLatin1Char('='));
            auto* field = CounterFixture::find<QLineEdit>(w, qPrintable(t.left(eq)));
            field->setFocus(Qt::OtherFocusReason);
            field->selectAll();
            QTest::keyClicks(field, t.mid(eq + 1));
            QCOMPARE(field->text(), t.mid(eq + 1));
        }
        QCoreApplication::processEvents();
        f.env->dialogs->clear();
        const QStringList before = fieldContents(w);

        CounterFixture::find(w, qPrintable(order.first()))->setFocus(Qt::OtherFocusReason);
        QStringList forward { controlName(QApplication::focusWidget()) };
        for (int i = 1; i < order.size(); ++i) {
            tab();
            forward << controlName(QApplication::focusWidget());
        }
        QCOMPARE(forward, order);
        QStringList back { forward.last() };
        for (int i = 1; i < order.size(); ++i) {
            tab(Qt::ShiftModifier);
            back.prepend(controlName(QApplication::focusWidget()));
        }
        QCOMPARE(back, order);
        QCOMPARE(fieldContents(w), before);
        QCOMPARE(f.env->dialogs->texts(), QStringList());
    }

    // A rule judges the keys that type; the others do in a filtered field what they do anywhere.
    void keysThatTypeNothingPassTheRule_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("returns");
        QTest::addColumn<int>("releases");
        QTest::newRow("a letter") << int(Qt::Key_X) << 0 << S("12345.67") << 0 << 1;
        QTest::newRow("Delete") << int(Qt::Key_Delete) << 0 << S("2345.67") << 0 << 1;
        QTest::newRow("Enter") << int(Qt::Key_Return) << 0 << S("12345.67") << 1 << 1;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << S("12345.67") << 1 << 1;
    }
    void keysThatTypeNothingPassTheRule()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QWidget window;
        auto* field = new QLineEdit(&window);
        int releases = 0;
        KeyFilter::install(
            field, [](const QString&, QChar) { return false; }, [&releases] { ++releases; });
        field->setText(S("12345.67"));
        field->setCursorPosition(0);
        int returns = 0;
        connect(field, &QLineEdit::returnPressed, this, [&returns] { ++returns; });
        QTest::keyClick(field, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QTEST(field->text(), "text");
        QTEST(returns, "returns");
        QTEST(releases, "releases");
    }

    // The Tab that leaves one field lets go of its key in the next: that field's release handler,
    // which judges what was typed into it, has nothing to judge.
    void aTabLandingInAFieldIsNotTyping()
    {
        QWidget window;
        auto* first = new QLineEdit(&window);
        auto* second = new QLineEdit(&window);
        second->move(0, 40);
        int releases = 0;
        KeyFilter::install(
            second, [](const QString&, QChar) { return true; }, [&releases] { ++releases; });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        first->setFocus();
        QTest::keyPress(first, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), second);
        QTest::keyRelease(second, Qt::Key_Tab);
        QCOMPARE(releases, 0);
        QTest::keyClick(second, Qt::Key_7);
        QCOMPARE(releases, 1);
        QTest::keyPress(second, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), first);
        QTest::keyRelease(first, Qt::Key_Tab, Qt::ShiftModifier);
        first->setFocus();
        QTest::keyPress(first, Qt::Key_Tab);
        QTest::keyRelease(second, Qt::Key_Tab);
        QCOMPARE(releases, 1);
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
