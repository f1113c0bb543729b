// The admin options screen on a provisioned server: the company list and its preselection,
// adding and removing companies, entering the counter or the back office, logout and close.
#include "app/posapplication.h"
#include "app/roster.h"
#include "backoffice/menuback.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "login/adminoption.h"
#include "login/adminoptpas.h"
#include "login/poslogin.h"
#include "platform/latin1.h"
#include "platform/registry.h"
#include "sales/posorderitem.h"
#include "testsupport.h"

#include <QClipboard>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

int schemata()
{
    return TestServer::count(S("select count(*) from information_schema.schemata"));
}

QString logText()
{
    QFile f(QDir::current().filePath(S("LogFiles/Log20261209.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// One row of a data table.
template <typename... Values> void row(const char* name, const Values&... values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace

class TestAdminOptions : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> env;

    Tfrmadminoptions* screen() { return roster().frmadminoptions; }
    template <typename T> T* child(const char* name) { return screen()->findChild<T*>(QLatin1String(name)); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    QComboBox* companies() { return child<QComboBox>("ComboBox1"); }
    void click(const char* name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    void type(const char* field, const QString& text)
    {
        edit(field)->clear();
        QTest::keyClicks(edit(field), text);
    }
    void select(const QString& company) { companies()->setCurrentIndex(companies()->findText(company)); }
    // A catalogued company database (tables only when asked for).
    void addCompany(const QString& db, bool withTables = false)
    {
        QStringList s { S("create database ") + db, S("insert into dbname.dbname values ('%1')").arg(db) };
        if (withTables)
            s << Schema::tableStatements(db, Schema::Variant::Company);
        TestServer::exec(s);
    }
    void showScreen()
    {
        screen()->hide();
        screen()->show();
        env->dialogs->clear();
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        env->clock->setStep(600); // splash waits end at once
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        ClearProgramTermination();
        roster().create();
        TestServer::exec({ S("insert into general_stores.login values ('boss','Secret1','admin','t')") });
        roster().fmlogin->CurrentUser = S("boss");
    }

    void init()
    {
        for (const char* db : { "MAIN_ROAD", "SIDE_SHOP", "A_SHOP", "B_SHOP", "NEW_SHOP" })
            TestServer::exec({ S("drop database if exists ") + QLatin1String(db) });
        TestServer::exec({ S("delete from dbname.dbname") });
        for (QWidget* w : { static_cast<QWidget*>(screen()), static_cast<QWidget*>(roster().frmmenu),
                 static_cast<QWidget*>(roster().frmmenupos) })
            w->hide();
        env->dialogs->clear();
        env->dialogs->answers.clear();
    }

    void cleanupTestCase()
    {
        roster().destroy();
        env.reset();
    }

    void oneCompanyIsPreselected()
    {
        addCompany(S("MAIN_ROAD"));
        showScreen();
        QCOMPARE(companies()->currentText(), S("MAIN ROAD"));
        QCOMPARE(edit("Edit2")->text(), S("MAIN ROAD"));
        QCOMPARE(roster().Dm->MyConposorderitem.databaseName(), S("MAIN_ROAD"));

        addCompany(S("SIDE_SHOP"));
        showScreen();
        QCOMPARE(companies()->count(), 2);
        QCOMPARE(companies()->itemText(1), S("SIDE SHOP"));
        QCOMPARE(companies()->currentIndex(), -1);
        QVERIFY(edit("Edit2")->text().isEmpty());
    }

    void nameKeyFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        row("letters, blank, one of each sign", "Jo's (Shop) 2.0.1 @x", "Jos (Shop) . @x");
        row("45 characters", QString(50, QLatin1Char('a')), QString(45, QLatin1Char('a')));
    }

    void nameKeyFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        for (const char* field : { "Edit1", "Edit2" }) {
            type(field, typed);
            QCOMPARE(edit(field)->text(), expected);
        }
    }

    void addRefusesBadNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        row("empty", "", "Enter the company name");
        row("31 characters", "abcdefghijklmnopqrstuvwxyz abcd", "Company name cannot be longer than 30 characters");
        row("point", "main.road", "Company name cannot contain a point");
        row("catalogued", "Main Road", "Company already exist");
    }

    void addRefusesBadNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, message);
        addCompany(S("MAIN_ROAD"));
        showScreen();
        const int databases = schemata();
        type("Edit1", typed);
        click("Button1");
        QCOMPARE(env->dialogs->texts(), QStringList { message });
        QCOMPARE(schemata(), databases);
        QCOMPARE(TestServer::count(S("select count(*) from dbname.dbname")), 1);
        QCOMPARE(edit("Edit1")->text(), typed);
    }

    // A name the server cannot take as a database name never reaches it: pasted or dropped, the
    // field does not take it; given to the check, it is refused before anything is made.
    void namesTheServerCannotTake_data()
    {
        QTest::addColumn<QString>("name");
        row("ampersand", S("Ram & Sons"));
        row("accented letter", S("Café"));
        row("dash", S("A-B"));
        row("digit", S("Shop 2"));
        row("two brackets", S("A((B"));
    }
    void namesTheServerCannotTake()
    {
        QFETCH(QString, name);
        showScreen();
        const int databases = schemata();
        for (const char* how : { "Ctrl+V", "Shift+Insert" }) {
            QGuiApplication::clipboard()->setText(name);
            edit("Edit1")->clear();
            edit("Edit1")->setFocus();
            if (QLatin1String(how) == QLatin1String("Ctrl+V"))
                QTest::keyClick(edit("Edit1"), Qt::Key_V, Qt::ControlModifier);
            else
                QTest::keyClick(edit("Edit1"), Qt::Key_Insert, Qt::ShiftModifier);
            QCOMPARE(edit("Edit1")->text(), QString());
        }
        click("Button1");
        QCOMPARE(env->dialogs->texts(), QStringList { S("Enter the company name") });
        QCOMPARE(CheckNewCompany(*roster().Dm, name),
            S("Company name can hold only letters, blanks, \"@\" and one \"(\" and \")\""));
        QCOMPARE(schemata(), databases);
        QCOMPARE(TestServer::count(S("select count(*) from dbname.dbname")), 0);
        QVERIFY(!ProgramTerminated());
    }

    void addCreatesTheCompany()
    {
        showScreen();
        type("Edit1", S("new shop"));
        click("Button1");
        QCOMPARE(env->dialogs->texts(), QStringList { S("Company has been added") });
        QCOMPARE(companies()->currentText(), S("NEW SHOP"));
        QVERIFY(edit("Edit1")->text().isEmpty());
        QCOMPARE(TestServer::count(S("select count(*) from NEW_SHOP.sales_settings")), 9);
        QVERIFY(!screen()->TerminalId.isEmpty());
    }

    void removeChecksTheTypedName()
    {
        addCompany(S("A_SHOP"));
        addCompany(S("B_SHOP"));
        TRegistry().writeString(CompanySettingsKey(S("A_SHOP")), S("rate"), S("100"));
        TRegistry().writeString(CompanySettingsKey(S("B_SHOP")), S("rate"), S("100"));
        showScreen();

        // leaving the field with another company's name
        select(S("A SHOP"));
        type("Edit2", S("b shop"));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(edit("Edit2"), &out);
        QCOMPARE(env->dialogs->texts(), QStringList { S("Company name does not match") });
        QVERIFY(edit("Edit2")->text().isEmpty());

        // the selection changed after the name was typed
        env->dialogs->clear();
        type("Edit2", S("a shop"));
        select(S("B SHOP"));
        click("btnremove");
        QCOMPARE(env->dialogs->texts(), QStringList { S("Company name does not match") });
        QVERIFY(env->dialogs->questions.isEmpty());

        // the question answered No
        env->dialogs->clear();
        select(S("A SHOP"));
        type("Edit2", S("a shop"));
        click("btnremove");
        QCOMPARE(env->dialogs->questions, QStringList { S("Are you sure you want to Delete? ") });
        QCOMPARE(TestServer::count(S("select count(*) from dbname.dbname")), 2);

        env->dialogs->clear();
        env->dialogs->answers = { Dialogs::Answer::Yes };
        type("Edit2", S("a shop"));
        click("btnremove");
        QCOMPARE(env->dialogs->texts(), QStringList { S("Company is Removed") });
        QCOMPARE(TestServer::scalar(S("select group_concat(cname) from dbname.dbname")), S("B_SHOP"));
        QCOMPARE(TestServer::count(S("select count(*) from information_schema.schemata where schema_name in "
                                     "('A_SHOP','B_SHOP')")),
            1);
        QVERIFY(!TRegistry().keyExists(CompanySettingsKey(S("A_SHOP"))));
        QVERIFY(TRegistry().keyExists(CompanySettingsKey(S("B_SHOP"))));
        QCOMPARE(companies()->currentText(), S("B SHOP"));
        QVERIFY(edit("Edit2")->text().isEmpty());
        QVERIFY(logText().contains(S("Company A SHOP removed")));
    }

    void sectionsOpenTheMenus_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("pos");
        QTest::addColumn<QString>("userLabel");
        QTest::addColumn<QString>("logLine");
        row("POS", "Button2", true, "Label10", "pos section");
        row("BACKOFFICE", "Button3", false, "Label1", "Backoffice section");
    }

    void sectionsOpenTheMenus()
    {
        QFETCH(QString, button);
        QFETCH(bool, pos);
        QFETCH(QString, userLabel);
        QFETCH(QString, logLine);
        QWidget* menu = pos ? roster().frmmenupos : static_cast<QWidget*>(roster().frmmenu);
        addCompany(S("MAIN_ROAD"), true);
        addCompany(S("SIDE_SHOP"), true);
        showScreen();
        roster().Dm->setCompanyDatabase(S("SIDE_SHOP"), true);
        roster().fmorderitem->findChild<QLineEdit*>(S("ECustName"))->setText(S("Mr Old"));

        // without a choice
        click(qPrintable(button));
        QCOMPARE(env->dialogs->texts(), QStringList { S("Select the Company") });
        QVERIFY(screen()->isVisible());
        QVERIFY(!menu->isVisible());

        env->dialogs->clear();
        select(S("MAIN ROAD"));
        click(qPrintable(button));
        QVERIFY(env->dialogs->messages.isEmpty());
        QVERIFY(menu->isVisible());
        QVERIFY(!screen()->isVisible());
        QCOMPARE(ScreenLabel(menu, userLabel), S("boss"));
        QCOMPARE(ScreenLabel(menu, S("Label3")), S("MAIN ROAD"));
        QCOMPARE(screen()->AdminCompanyName, S("MAIN ROAD"));
        QCOMPARE(screen()->AdminCompanyDb, S("MAIN_ROAD"));
        QCOMPARE(screen()->AdminSettingsKey, S("Software\\pos\\MAIN_ROAD_settings"));
        QCOMPARE(roster().Dm->MyConnection2.databaseName(), S("MAIN_ROAD"));
        QCOMPARE(roster().Dm->MyConsalesdetails.databaseName(), S("MAIN_ROAD"));
        QVERIFY(roster().fmorderitem->findChild<QLineEdit*>(S("ECustName"))->text().isEmpty());
        QVERIFY(logText().contains(logLine));
    }

    void helpLogoutAndClose()
    {
        addCompany(S("MAIN_ROAD"), true);
        showScreen();
        QTest::mouseClick(child<QToolButton>("Image2"), Qt::LeftButton);
        QCOMPARE(env->help->topics, QStringList { S("Add_Company.htm") });

        type("Edit1", S("half typed"));
        click("BitBtn1");
        QCOMPARE(TestServer::scalar(S("select u_loggedon from general_stores.login where username='boss'")), S("f"));
        QVERIFY(roster().fmlogin->isVisible());
        QVERIFY(!screen()->isVisible());
        QVERIFY(edit("Edit1")->text().isEmpty());
        QVERIFY(logText().contains(S("Logout")));

        // closing releases the bill this terminal took for payment, not one another terminal holds
        // (even when the settlement screen still shows that one)
        roster().fmlogin->CurrentUser = S("boss");
        TestServer::exec({ S("update general_stores.login set u_loggedon='t'"),
            S("insert into MAIN_ROAD.sales_order(sdate,billno,pcid,payment_status,bool_access) values "
              "('2026-12-09',12,2,'Hold','t'), ('2026-12-09',12,1,'Hold',null)") });
        roster().Dm->setCompanyDatabase(S("MAIN_ROAD"), true);
        QVERIFY(roster().fmpaymentdetails->TakeForPayment(S("1"), S("12")));
        SetScreenLabel(roster().fmsalesorderdtls, S("lblbillno"), S("12"));
        SetScreenLabel(roster().fmsalesorderdtls, S("lbl_machine_id"), S("2"));
        showScreen();
        screen()->close();
        QCOMPARE(TestServer::scalar(S("select group_concat(concat(pcid,bool_access) order by pcid) from "
                                      "MAIN_ROAD.sales_order")),
            S("1f,2t"));
        QCOMPARE(TestServer::scalar(S("select u_loggedon from general_stores.login where username='boss'")), S("f"));
        QVERIFY(logText().contains(S("************TERMINATING POS*************")));
    }

    void brokenLimitIsReportedAtStart()
    {
        addCompany(S("MAIN_ROAD"), true);
        addCompany(S("SIDE_SHOP"), true);
        TestServer::exec({ S("insert into SIDE_SHOP.sales_settings values ('hold limit','30'), "
                             "('Part payment days','30')") });
        roster().destroy();
        roster().create();
        QCOMPARE(env->dialogs->texts(),
            QStringList({ S("The held bills of company MAIN ROAD were not checked: its \"hold limit\" setting is "
                            "missing or not a whole number"),
                S("The part-paid bills of company MAIN ROAD were not checked: its \"Part payment days\" setting is "
                  "missing or not a whole number") }));
        QVERIFY(!ProgramTerminated());
    }
};

int main(int argc, char** argv)
{
    // the program's own application object, so that errors escaping event handlers are handled
    PosApplication app(argc, argv);
    TestAdminOptions test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_adminoptions.moc"
