// The configuration screen on a provisioned server: users and their messages, the user list,
// the super-password, the log lines, the limit fields and CHANGE, the logo, the first-user mode.
#include "admin/aducashier.h"
#include "admin/aducashierpas.h"
#include "app/posapplication.h"
#include "app/roster.h"
#include "backoffice/menuback.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "login/adminoption.h"
#include "login/adminoptpas.h"
#include "login/poslogin.h"
#include "login/posloginpas.h"
#include "platform/errors.h"
#include "platform/latin1.h"
#include "platform/passwordhash.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTableWidget>
#include <QtTest>

namespace {

// The shop's super-password in these tests.
const QString kSuper = QStringLiteral("Owner#2026");

// The users; a password kept as its hash shows as "#".
const QString kUsers = QStringLiteral("select group_concat(concat(username,':',if(password like '$argon2id$%','#',"
                                      "password),':',role) order by username) from general_stores.login");

QString storedPassword(const QString& user)
{
    return TestServer::scalar(
        QStringLiteral("select password from general_stores.login where username='%1'").arg(user));
}
const QString kSettings = QStringLiteral(
    "select group_concat(concat(Name,'=',value_) order by Name separator '|') from SHOP.sales_settings");

QString logText()
{
    QFile f(QDir::current().filePath(S("LogFiles/Log20261209.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// One row of a data table.
template <typename... Values> void row(const char* name, const Values&... values)
{
    (QTest::newRow(name) << ... << values);
}

} // namespace

class TestAducashier : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> env;

    Tfrmaducashier* screen() { return roster().frmaducashier; }
    template <typename T> T* child(const char* name) { return screen()->findChild<T*>(QLatin1String(name)); }
    QLineEdit* edit(const char* name) { return child<QLineEdit>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void type(const char* field, const QString& text)
    {
        edit(field)->clear();
        QTest::keyClicks(edit(field), text);
    }
    void setRole(const QString& role)
    {
        auto* combo = child<QComboBox>("combo_user");
        combo->setCurrentIndex(combo->findText(role));
    }
    void fillUser(const QString& name, const QString& password, const QString& retype, const QString& role)
    {
        type("username", name);
        type("password", password);
        type("E_re_password", retype);
        setRole(role);
    }
    void showScreen()
    {
        screen()->hide();
        screen()->show();
        env->dialogs->clear();
    }
    void addUsers(const QStringList& values)
    {
        for (const QString& v : values)
            TestServer::exec({ S("insert into general_stores.login values (%1)").arg(v) });
    }
    QString logoFolder() { return env->root() + S("/j.smith/logos"); }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        ClearProgramTermination();
        roster().create();
        QStringList s { S("create database SHOP") };
        s << Schema::tableStatements(S("SHOP"), Schema::Variant::Company);
        TestServer::exec(s);
        roster().frmadminoptions->AdminCompanyDb = S("SHOP");
        roster().frmadminoptions->AdminSettingsKey = CompanySettingsKey(S("SHOP"));
        roster().Dm->setCompanyDatabase(S("SHOP"), true);
    }

    void init()
    {
        QStringList s { S("delete from general_stores.login"), S("delete from pcmac.path_img"),
            S("delete from SHOP.sales_settings"), S("delete from dbname.super_password") };
        for (const auto& [name, value] : InitialCompanySettings())
            s << S("insert into SHOP.sales_settings values ('%1','%2')").arg(name, value);
        TestServer::exec(s);
        SetScreenLabel(roster().frmmenu, S("Label1"), S("boss"));
        roster().frmmenu->hide();
        showScreen();
        env->dialogs->answers.clear();
        env->dialogs->passwords.clear();
        env->dialogs->chosenPaths.clear();
        env->dialogs->chooserTitles.clear();
    }

    void cleanupTestCase()
    {
        roster().destroy();
        env.reset();
    }

    // Each case: the button, the fields "name|password|retype|role", the answer to the question,
    // the messages and question shown, the users afterwards, and whether the fields are emptied.
    void userActions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("fields");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("messages");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("users");
        QTest::addColumn<bool>("cleared");
        const QString same = S("anna:Secret1:cashier,boss:Boss1:admin,hana:#:cashier,odd:Odd1:ADMIN");
        const QString change = S("Are you sure you want to change password? ");
        const QString remove = S("Are you sure you want to delete user? ");
        const QString details = S("Please Enter the Details");
        const auto user = [](const char* name, const char* action, const char* fields, const char* answer,
                              const QString& messages, const QString& question, const QString& users, bool cleared) {
            row(name, S(action), S(fields), S(answer), messages, question, users, cleared);
        };
        user("add without name", "Button2", "|x|x|cashier", "", details, "", same, false);
        user("add without retype", "Button2", "carl|x||cashier", "", details, "", same, false);
        user("add", "Button2", "carl|Pw1|Pw1|cashier", "", S("New User created"), "",
            S("anna:Secret1:cashier,boss:Boss1:admin,carl:#:cashier,hana:#:cashier,odd:Odd1:ADMIN"), true);
        user("add a taken name", "Button2", "anna|Pw1|Pw1|admin", "", S("Username already exist"), "", same, true);
        user("add a name in other case", "Button2", "ANNA|Secret1|Secret1|cashier", "", S("Username already exist"), "",
            same, true);
        user("change, retype differs", "Button3", "anna|New1|New2|cashier", "", S("password not matching"), "", same,
            false);
        user("change without role", "Button3", "anna|New1|New1|", "", details, "", same, false);
        user("change, other role", "Button3", "anna|New1|New1|admin", "", S("User with this privilege does not exist"),
            "", same, true);
        user("change, Yes", "Button3", "anna|New1|New1|cashier", "Y", S("Password changed!!!"), change,
            S("anna:#:cashier,boss:Boss1:admin,hana:#:cashier,odd:Odd1:ADMIN"), true);
        user("change, No", "Button3", "anna|New1|New1|cashier", "N", "", change, same, true);
        user("remove, wrong password", "Button1", "anna|Secret2|Secret2|cashier", "", S("User does not exist"), "",
            same, true);
        user("remove, password in other case", "Button1", "anna|SECRET1|SECRET1|cashier", "", S("User does not exist"),
            "", same, true);
        user("remove, hashed password in other case", "Button1", "hana|hana1|hana1|cashier", "",
            S("User does not exist"), "", same, true);
        user("remove a cashier, Yes", "Button1", "anna|Secret1|Secret1|cashier", "Y", "", remove,
            S("boss:Boss1:admin,hana:#:cashier,odd:Odd1:ADMIN"), true);
        user("remove a hashed cashier, Yes", "Button1", "hana|Hana1|Hana1|cashier", "Y", "", remove,
            S("anna:Secret1:cashier,boss:Boss1:admin,odd:Odd1:ADMIN"), true);
        user("remove a cashier, No", "Button1", "anna|Secret1|Secret1|cashier", "N", "", remove, same, false);
        user("remove, unknown stored role", "Button1", "odd|Odd1|Odd1|admin", "", S("Superpassword is incorrect"), "",
            same, false);
    }

    void userActions()
    {
        QFETCH(QString, action);
        QFETCH(QString, fields);
        QFETCH(QString, answer);
        QFETCH(QString, messages);
        QFETCH(QString, question);
        QFETCH(QString, users);
        QFETCH(bool, cleared);
        addUsers({ S("'anna','Secret1','cashier','f'"), S("'boss','Boss1','admin','f'"), S("'odd','Odd1','ADMIN',''"),
            S("'hana','%1','cashier','f'").arg(HashPassword(S("Hana1"))) });
        showScreen();
        if (!answer.isEmpty())
            env->dialogs->answers = { answer == S("Y") ? Dialogs::Answer::Yes : Dialogs::Answer::No };
        const QStringList f = fields.split(QLatin1Char('|'));
        fillUser(f[0], f[1], f[2], f[3]);
        click(qPrintable(action));
        QCOMPARE(env->dialogs->texts().join(QLatin1Char('|')), messages);
        QCOMPARE(env->dialogs->questions.join(QLatin1Char('|')), question);
        QCOMPARE(TestServer::scalar(kUsers), users);
        QCOMPARE(edit("username")->text().isEmpty(), cleared || f[0].isEmpty());
        // a password set here is kept only as its hash
        for (const QString& name : { S("anna"), S("carl") }) {
            const QString stored = storedPassword(name);
            if (IsPasswordHash(stored))
                QVERIFY(PasswordMatches(stored, f[1]));
        }
    }

    // Removing an administrator asks for the shop's super-password until it is right or
    // cancelled; a shop without one (an installation from before) sets it first.
    void superPasswordLoop_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<bool>("confirm");
        QTest::addColumn<int>("prompts");
        QTest::addColumn<bool>("removed");
        row("cancelled", true, QStringList {}, true, 1, false);
        row("wrong, then cancelled", true, QStringList { "guess" }, true, 2, false);
        row("typed marker counts as cancel", true, QStringList { "%%%", kSuper }, true, 1, false);
        row("wrong, other case, then right", true, QStringList { "guess", kSuper.toUpper(), kSuper }, true, 3, true);
        row("right, then No", true, QStringList { kSuper }, false, 1, false);
        row("none stored: set, then removed", false, QStringList { kSuper, kSuper }, true, 0, true);
        row("none stored: setting cancelled", false, QStringList {}, true, 0, false);
    }

    void superPasswordLoop()
    {
        QFETCH(bool, stored);
        QFETCH(QStringList, typed);
        QFETCH(bool, confirm);
        QFETCH(int, prompts);
        QFETCH(bool, removed);
        if (stored)
            QVERIFY(StoreSuperPassword(*roster().Dm, kSuper, S("boss")));
        addUsers({ S("'boss','Boss1','admin','f'"), S("'dora','Dora1','admin','f'") });
        showScreen();
        env->dialogs->passwords = typed;
        env->dialogs->answers = { confirm ? Dialogs::Answer::Yes : Dialogs::Answer::No };
        fillUser(S("dora"), S("Dora1"), S("Dora1"), S("admin"));
        click("Button1");
        QCOMPARE(env->dialogs->questions.count(S("Please Enter the Superpassword")), prompts);
        QCOMPARE(env->dialogs->questions.count(S("Set the shop's Superpassword")), stored ? 0 : 1);
        QVERIFY(env->dialogs->messages.isEmpty());
        QCOMPARE(
            TestServer::count(S("select count(*) from general_stores.login where username='dora'")), removed ? 0 : 1);
        // a cancelled removal keeps what was typed
        QCOMPARE(edit("username")->text(), removed ? QString() : S("dora"));
        QCOMPARE(IsSuperPassword(*roster().Dm, kSuper), stored || !typed.isEmpty());
    }

    // The first administrator added sets the shop's super-password, typed twice; without it
    // no administrator is added. It is kept only as its hash.
    void firstAdministratorSetsTheSuperPassword_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<bool>("storedBefore");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("messages");
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("added");
        const QString created = S("New User created");
        row("set", "admin", false, QStringList { kSuper, kSuper }, created, 1, true);
        row("too short, then set", "admin", false, QStringList { "Ab1!x", kSuper, kSuper },
            S("The Superpassword needs at least 6 characters|") + created, 2, true);
        row("retyped otherwise, then set", "admin", false, QStringList { kSuper, kSuper.toLower(), kSuper, kSuper },
            S("Superpasswords do not match|") + created, 2, true);
        row("cancelled", "admin", false, QStringList {},
            S("An administrator is added only once the shop's Superpassword is set"), 1, false);
        row("retype cancelled", "admin", false, QStringList { kSuper },
            S("An administrator is added only once the shop's Superpassword is set"), 1, false);
        row("a cashier needs none", "cashier", false, QStringList {}, created, 0, true);
        row("set before", "admin", true, QStringList {}, created, 0, true);
        row("a taken name is refused first", "admin", false, QStringList {}, S("Username already exist"), 0, false);
    }

    void firstAdministratorSetsTheSuperPassword()
    {
        QFETCH(QString, role);
        QFETCH(bool, storedBefore);
        QFETCH(QStringList, typed);
        QFETCH(QString, messages);
        QFETCH(int, asked);
        QFETCH(bool, added);
        if (storedBefore)
            QVERIFY(StoreSuperPassword(*roster().Dm, kSuper, S("boss")));
        env->dialogs->passwords = typed;
        const bool taken = QString::fromLatin1(QTest::currentDataTag()).contains(QLatin1String("taken"));
        if (taken)
            addUsers({ S("'carl','Carl1','cashier','f'") });
        fillUser(S("carl"), S("Carl#12345"), S("Carl#12345"), role);
        click("Button2");
        QCOMPARE(env->dialogs->texts().join(QLatin1Char('|')), messages);
        QCOMPARE(env->dialogs->questions.count(S("Set the shop's Superpassword")), asked);
        QCOMPARE(TestServer::count(S("select count(*) from general_stores.login where username='carl'")),
            added || taken ? 1 : 0);
        const QString stored = TestServer::scalar(S("select password from dbname.super_password"));
        if (role == S("cashier")) {
            QVERIFY(stored.isEmpty());
            return;
        }
        QCOMPARE(stored.isEmpty(), !added);
        if (added) {
            QVERIFY(stored.startsWith(S("$argon2id$")));
            QVERIFY(IsSuperPassword(*roster().Dm, kSuper));
            QVERIFY(!IsSuperPassword(*roster().Dm, kSuper.toLower()));
        }
    }

    // Two terminals setting the shop's super-password at once: the first one stored stands.
    void superPasswordIsSetOnce()
    {
        TDm first(TestServer::settings());
        TDm second(TestServer::settings());
        QVERIFY(!SuperPasswordSet(second));
        QVERIFY(StoreSuperPassword(first, kSuper, S("boss")));
        QVERIFY(!StoreSuperPassword(second, S("Another#1"), S("dora")));
        QVERIFY(IsSuperPassword(second, kSuper));
        QVERIFY(!IsSuperPassword(second, S("Another#1")));
        QCOMPARE(TestServer::count(S("select count(*) from dbname.super_password")), 1);
        QVERIFY(logText().contains(S("Superpassword set by boss")));
        QVERIFY(!logText().contains(S("Superpassword set by dora")));
    }

    // Two terminals: a removal goes by the password it checked; one changed meanwhile on
    // another terminal keeps the user.
    void removalGoesByThePasswordItChecked_data()
    {
        QTest::addColumn<QString>("change"); // what the other terminal stores in between
        QTest::addColumn<bool>("removed");
        row("unchanged", QString(), true);
        row("changed on this version", "New#2026", false);
        row("in other case, by an older terminal", "SECRET1", false);
    }

    void removalGoesByThePasswordItChecked()
    {
        QFETCH(QString, change);
        QFETCH(bool, removed);
        addUsers({ S("'anna','Secret1','cashier','f'") });
        TDm here(TestServer::settings());
        TDm other(TestServer::settings());
        QString stored;
        QCOMPARE(CheckRemoval(here, S("anna"), S("Secret1"), S("cashier"), &stored), RemovalCheck::Allowed);
        if (change == S("SECRET1"))
            other.MyQLogin.exec(S("update general_stores.login set password='SECRET1' where username='anna'"));
        else if (!change.isEmpty())
            QVERIFY(ChangePassword(other, S("anna"), change, S("cashier"), S("boss")));
        QCOMPARE(RemoveUser(here, S("anna"), S("cashier"), stored, S("boss")), removed);
        QCOMPARE(
            TestServer::count(S("select count(*) from general_stores.login where username='anna'")), removed ? 0 : 1);
    }

    void userList()
    {
        auto* grid = child<QTableWidget>("StringGrid1");
        QCOMPARE(grid->rowCount(), 0);
        addUsers({ S("'carl','Carl1','cashier','f'"), S("'anna','Secret1','cashier','t'"),
            S("'dora','Dora1','admin',NULL"), S("'boss','Boss1','admin','t'") });
        showScreen();
        QCOMPARE(grid->rowCount(), 4);
        QCOMPARE(grid->horizontalHeaderItem(2)->text(), S("User Name"));
        QStringList rows;
        for (int r = 0; r < 4; ++r)
            rows << grid->item(r, 0)->text() + grid->item(r, 1)->data(Qt::UserRole).toString();
        QCOMPARE(rows, (QStringList { S("1online"), S("2online"), S("3offline"), S("4offline") }));
        QVERIFY(!grid->item(0, 1)->icon().isNull());
        QCOMPARE(grid->rowHeight(0), 34);

        const auto choose = [&](const QString& name) {
            const auto found = grid->findItems(name, Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(found.first()).center());
        };
        const auto buttons = [&] {
            return QString::number(button("Button2")->isEnabled()) + QString::number(button("Button3")->isEnabled())
                + QString::number(button("Button1")->isEnabled());
        };
        choose(S("anna")); // a logged-on cashier
        QCOMPARE(buttons(), S("000"));
        QCOMPARE(edit("username")->text(), S("anna"));
        // a stored password is never shown
        QVERIFY(edit("password")->text().isEmpty());
        QVERIFY(edit("E_re_password")->text().isEmpty());
        QCOMPARE(child<QComboBox>("combo_user")->currentText(), S("cashier"));
        choose(S("boss")); // the user logged in here
        QCOMPARE(buttons(), S("110"));
        choose(S("carl"));
        QCOMPARE(buttons(), S("111"));
        QVERIFY(edit("password")->text().isEmpty());
        choose(S("dora"));
        QCOMPARE(buttons(), S("111"));
        // the arrow keys choose as a click does
        const auto arrow = [&](Qt::Key key) {
            QTest::keyClick(grid, key);
            return grid->item(grid->currentRow(), 2)->text();
        };
        const QString above = arrow(Qt::Key_Up);
        QVERIFY(above != S("dora"));
        QCOMPARE(edit("username")->text(), above);
        QCOMPARE(child<QComboBox>("combo_user")->currentText(), above == S("boss") ? S("admin") : S("cashier"));
        QCOMPARE(arrow(Qt::Key_Down), S("dora"));
        QCOMPARE(edit("username")->text(), S("dora"));
        QCOMPARE(edit("password")->text(), QString()); // a stored password is never shown
        QCOMPARE(buttons(), S("111"));
        // the last users gone, the list is empty again
        TestServer::exec({ S("delete from general_stores.login") });
        showScreen();
        QCOMPARE(grid->rowCount(), 0);
    }

    // The log book says who set or changed a password; neither the password nor any digest or
    // hash of it.
    void logLinesNameWhoSetThePassword()
    {
        roster().fmlogin->CurrentUser = S("boss");
        const auto restore = qScopeGuard([] { roster().fmlogin->CurrentUser.clear(); });
        fillUser(S("carl"), S("Pa55word"), S("Pa55word"), S("cashier"));
        click("Button2");
        const QString added = storedPassword(S("carl"));
        env->dialogs->answers = { Dialogs::Answer::Yes };
        fillUser(S("carl"), S("N3wpass"), S("N3wpass"), S("cashier"));
        click("Button3");
        const QString changed = storedPassword(S("carl"));
        QVERIFY(PasswordMatches(changed, S("N3wpass")));
        env->dialogs->answers = { Dialogs::Answer::Yes };
        fillUser(S("carl"), S("N3wpass"), S("N3wpass"), S("cashier"));
        click("Button1");
        const QString log = logText();
        QVERIFY(log.contains(S("NEW user added -->username: carl Role :cashier, password set by boss")));
        QVERIFY(log.contains(S("password changedd -->username: carl Role :cashier, password changed by boss")));
        QVERIFY(log.contains(S("user removed -->username: carl Role :cashier by boss")));
        for (const QString& secret : { S("Pa55word"), S("N3wpass"), Md5Text(S("Pa55word")), Md5Text(S("N3wpass")),
                 added, changed, S("$argon2") })
            QVERIFY2(!log.contains(secret), qPrintable(secret));
    }

    // Keys that type nothing never take a character away; a character too many is dropped from a
    // full name and starts a full password afresh.
    void userKeyRules_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("display");
        const QString name = S("abcde12345");
        const QString password = S("1234567890abc");
        row("name: letters and digits", S("username"), S("ab-c_d e12345"), 0, name, QString());
        row("full name: a letter more", S("username"), name, int(Qt::Key_X), name, QString());
        row("full name: Enter", S("username"), name, int(Qt::Key_Return), name, QString());
        row("full name: Escape", S("username"), name, int(Qt::Key_Escape), name, QString());
        row("full name: Left", S("username"), name, int(Qt::Key_Left), name, QString());
        row("full name: Backspace", S("username"), name, int(Qt::Key_Backspace), S("abcde1234"), QString());
        row("full password: Backspace", S("password"), password, int(Qt::Key_Backspace), S("1234567890ab"), QString());
        row("full password: Enter", S("password"), password, int(Qt::Key_Return), password, QString());
        row("full password: Delete", S("password"), password, int(Qt::Key_Delete), password, QString());
        row("full password: a character more", S("password"), password, int(Qt::Key_D), QString(),
            S("Password too long"));
        row("full retype: Backspace", S("E_re_password"), password, int(Qt::Key_Backspace), S("1234567890ab"),
            QString());
        row("full retype: a character more", S("E_re_password"), password, int(Qt::Key_D), QString(),
            S("Password too long"));
    }
    void userKeyRules()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(int, key);
        type(qPrintable(field), typed);
        if (key)
            QTest::keyClick(edit(qPrintable(field)), Qt::Key(key));
        QTEST(edit(qPrintable(field))->text(), "kept");
        QTEST(child<QLabel>("lbl_display")->text(), "display");
    }

    // A retyped password of full length is taken whole, and the password stays.
    void retypingAFullPassword()
    {
        type("password", S("1234567890abc"));
        type("E_re_password", S("1234567890abc"));
        QCOMPARE(edit("password")->text(), S("1234567890abc"));
        QCOMPARE(edit("E_re_password")->text(), S("1234567890abc"));
        QVERIFY(child<QLabel>("lbl_display")->text().isEmpty());
    }

    void retypeAndRole()
    {
        type("password", S("abc"));
        type("E_re_password", S("abd"));
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(edit("E_re_password"), &out);
        QVERIFY(edit("E_re_password")->text().isEmpty());
        QCOMPARE(env->dialogs->texts(), QStringList { S("password not matching") });

        auto* role = child<QComboBox>("combo_user");
        role->setCurrentIndex(-1);
        QTest::keyClicks(role, S("ca"));
        QCOMPARE(role->currentIndex(), -1);
    }

    void changeStoresTheLimits()
    {
        const QList<QPair<const char*, QString>> values { { "Edit1", S("250.5") }, { "Edit2", S("500") },
            { "Edit4", S("2000") }, { "Edit3", S("7") }, { "E_hold_limit", S("15") }, { "edt_part_pay", S("45") },
            { "edt_minimal", S("0.5") }, { "edt_round_off", S("3") } };
        for (const auto& [field, value] : values)
            type(field, value);
        child<QCheckBox>("CheckBox1")->setChecked(true);
        click("btn_change");
        QCOMPARE(env->dialogs->texts(), QStringList { S("Values changed") });
        QCOMPARE(TestServer::scalar(kSettings),
            S("hold Limit=15|minimal=7|minimal value=0.5|Part payment days=45|purchase=2000|quantity=500|rate=250.5|"
              "Round amount=checked|Round Off=3"));
        TRegistry reg;
        const QString key = CompanySettingsKey(S("SHOP"));
        QStringList stored;
        for (const char* name : { "rate", "quantity", "purchase", "minimal", "hold limit", "minimal value" })
            stored << reg.readString(key, QLatin1String(name));
        QCOMPARE(stored.join(QLatin1Char(',')), S("250.5,500,2000,7,15,0.5"));
        QCOMPARE(reg.valueNames(key).size(), 6);
        QVERIFY(logText().contains(
            S("Settings Changed -->rate250.5 quantity :500 purchase :2000 minimal: 7 hold entry  limit: 15")));

        // what is stored comes back when the screen is entered again
        type("Edit1", S("1"));
        child<QCheckBox>("CheckBox1")->setChecked(false);
        showScreen();
        QCOMPARE(edit("Edit1")->text(), S("250.5"));
        QCOMPARE(edit("E_hold_limit")->text(), S("15"));
        QVERIFY(child<QCheckBox>("CheckBox1")->isChecked());
    }

    void limitFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("message");
        row("rate cut to 9", "Edit1", "1234567890.5", "123456789", "");
        row("rate takes digits and points", "Edit1", "12x.5", "12.5", "");
        row("quantity at the bound", "Edit2", "10000000", "1000000", "");
        row("quantity above", "Edit2", "12345678", "1234567", "Cannot exceed 10000000");
        row("quantity digits only", "Edit2", "1.5", "15", "");
        row("purchase at the bound", "Edit4", "1000000", "100000", "");
        row("purchase above", "Edit4", "1234567", "123456", " Cannot exceed 1000000  ");
        row("minimal above", "Edit3", "20000000", "", " Cannot exceed 10000000 ");
        row("hold 3650", "E_hold_limit", "3650", "3650", "");
        row("hold 3651", "E_hold_limit", "3651", "", " Cannot exceed 3650 days ");
        row("part payment 3650", "edt_part_pay", "3650", "3650", "");
        row("part payment 3651", "edt_part_pay", "3651", "", " Cannot exceed 3650 days ");
        row("minimum amount", "edt_minimal", "12.50", "12.50", "");
        row("minimum amount above", "edt_minimal", "1000000.5", "", " Cannot exceed Rs. 1000000  ");
        row("round off 10", "edt_round_off", "10", "10", "");
        row("round off 11", "edt_round_off", "11", "", " Cannot exceed 10 decimal places  ");
    }

    void limitFields()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QFETCH(QString, message);
        type(qPrintable(field), typed);
        QCOMPARE(edit(qPrintable(field))->text(), expected);
        QCOMPARE(env->dialogs->texts(), message.isEmpty() ? QStringList() : QStringList { message });
    }

    void changeRefusesWhatIsNoNumber_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        row("empty quantity", "Edit2", "");
        row("lone point as rate", "Edit1", ".");
        row("lone point as minimum amount", "edt_minimal", ".");
        row("two points", "edt_minimal", "1.2.3");
    }

    void changeRefusesWhatIsNoNumber()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        const QString before = TestServer::scalar(kSettings);
        type(qPrintable(field), value);
        click("btn_change");
        QCOMPARE(env->dialogs->texts(), QStringList { S("Enter the values ") });
        QCOMPARE(TestServer::scalar(kSettings), before);
    }

    void changeIsAllOrNothing()
    {
        const QString before = TestServer::scalar(kSettings);
        TestServer::exec({ S("alter table SHOP.sales_settings add constraint refuse77 check (value_ <> '77')") });
        SalesLimits l { S("1"), S("2"), S("3"), S("4"), S("5"), S("6"), S("7"), S("77"), true };
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, ChangeSalesLimits(*roster().Dm, l, QString()));
        TestServer::exec({ S("alter table SHOP.sales_settings drop constraint refuse77") });
        QCOMPARE(TestServer::scalar(kSettings), before);
    }

    void logoFiles_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("loaded");
        row("point in a folder", "/home/j.smith/logo.JPG", "jpg", QStringList { "bmp", "jpg" }, "jpg");
        row("two points", "/tmp/a.b/x.tar.ico", "ico", QStringList { "ico", "bmp" }, "ico");
        row("none", "/tmp/a.b/logo", "", QStringList {}, "");
        row("bmp alone", "pic.bmp", "bmp", QStringList { "bmp" }, "bmp");
    }

    void logoFiles()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, extension);
        QFETCH(QStringList, existing);
        QFETCH(QString, loaded);
        QCOMPARE(LogoExtension(chosen), extension);
        QTemporaryDir dir;
        for (const QString& ext : existing)
            writeFile(dir.filePath(S("SHOP.") + ext), "x");
        QCOMPARE(
            CompanyLogoFile(dir.path(), S("SHOP")), loaded.isEmpty() ? QString() : dir.filePath(S("SHOP.") + loaded));
    }

    void browseReplacesTheLogo()
    {
        writeFile(logoFolder() + S("/SHOP.bmp"), "old bmp");
        writeFile(logoFolder() + S("/SHOP.ico"), "old ico");
        writeFile(logoFolder() + S("/OTHER.ico"), "other company");
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString chosen = env->root() + S("/pics/new.logo.BMP");
        QDir().mkpath(QFileInfo(chosen).absolutePath());
        QVERIFY(picture.save(chosen, "BMP"));
        roster().frmmenu->show();
        edit("Edit5")->setText(logoFolder());
        env->dialogs->chosenPaths = { chosen };
        click("Button5");
        QCOMPARE(env->dialogs->chooserTitles, QStringList { S("Select The Logo") });
        QVERIFY(env->dialogs->messages.isEmpty());
        QCOMPARE(QDir(logoFolder()).entryList(QDir::Files), (QStringList { S("OTHER.ico"), S("SHOP.bmp") }));
        QCOMPARE(readFile(logoFolder() + S("/SHOP.bmp")), readFile(chosen));
        QCOMPARE(TestServer::scalar(S("select concat(id,'|',path_) from pcmac.path_img")), S("1|") + logoFolder());
        QVERIFY(child<QLabel>("Image7")->pixmap().toImage().pixelColor(2, 2) == QColor(Qt::red));
        QVERIFY(screen()->isVisible());
        QVERIFY(roster().frmmenu->isVisible());
        // the menu shows the new logo at once, not after the back office is entered again
        const QPixmap menuLogo = roster().frmmenu->findChild<QLabel*>(S("Image3"))->pixmap();
        QVERIFY(!menuLogo.isNull());
        QVERIFY(menuLogo.toImage().pixelColor(2, 2) == QColor(Qt::red));

        // cancelled: nothing changes, and the screen and the menu are back
        env->dialogs->chosenPaths.clear();
        click("Button5");
        QVERIFY(screen()->isVisible());
        QVERIFY(roster().frmmenu->isVisible());
        QCOMPARE(QDir(logoFolder()).entryList(QDir::Files).size(), 2);

        // the folder chooser fills the folder field, and empties it when cancelled
        env->dialogs->chosenPaths = { S("/srv/share/logos") };
        click("Button7");
        QCOMPARE(edit("Edit5")->text(), S("/srv/share/logos"));
        click("Button7");
        QVERIFY(edit("Edit5")->text().isEmpty());
        QCOMPARE(env->dialogs->chooserTitles.last(), S("Select a directory"));
    }

    void anInstalledProgramKeepsTheLogoInTheDataFolder()
    {
        // the shared folder of an installation beside the program: its own folder is the system's
        const QString shared = services().paths().sharedFolder();
        QVERIFY(QDir().mkpath(shared));
        const auto uninstall = qScopeGuard([shared] { QDir(shared).removeRecursively(); });
        const QString chosen = env->root() + S("/pics/logo.jpg");
        writeFile(chosen, "jpg");
        edit("Edit5")->clear();
        env->dialogs->chosenPaths = { chosen };
        click("Button5");
        const QString data = services().paths().dataFolder();
        QCOMPARE(edit("Edit5")->text(), data);
        QCOMPARE(readFile(data + S("/SHOP.jpg")), QByteArray("jpg"));
        QVERIFY(!QFile::exists(services().paths().programFolder() + S("/SHOP.jpg")));
    }

    void aFailedCopyKeepsTheOldLogo_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("message");
        row("missing file", "/nonexistent/pic.jpg", "The logo could not be copied to ");
        row("no picture", "/tmp/pic.png", "Select a .bmp, .ico or .jpg picture");
    }

    void aFailedCopyKeepsTheOldLogo()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, message);
        writeFile(logoFolder() + S("/SHOP.bmp"), "old bmp");
        edit("Edit5")->setText(logoFolder());
        env->dialogs->chosenPaths = { chosen };
        click("Button5");
        QCOMPARE(env->dialogs->messages.size(), 1);
        QVERIFY(env->dialogs->lastText().startsWith(message));
        QCOMPARE(readFile(logoFolder() + S("/SHOP.bmp")), QByteArray("old bmp"));
        QCOMPARE(TestServer::count(S("select count(*) from pcmac.path_img")), 0);
    }

    void firstUserMode()
    {
        const char* restricted[] = { "GroupBox2", "GroupBox4", "btn_change", "Button5", "Button7" };
        const auto enabled = [&] {
            QString s;
            for (const char* name : restricted)
                s += QString::number(screen()->findChild<QWidget*>(QLatin1String(name))->isEnabled());
            return s;
        };
        screen()->hide();
        for (const char* name : restricted)
            screen()->findChild<QWidget*>(QLatin1String(name))->setEnabled(false);
        screen()->show();
        QVERIFY(button("BitBtn1")->isVisible());
        QCOMPARE(enabled(), S("00000"));
        click("BitBtn1");
        QCOMPARE(enabled(), S("11111"));
        QVERIFY(roster().fmlogin->isVisible());
        QVERIFY(!screen()->isVisible());

        // from the back office the screen opens without "logout"
        roster().frmmenu->show();
        QTest::mouseClick(roster().frmmenu->findChild<QPushButton*>(S("btnConfiguration")), Qt::LeftButton);
        QVERIFY(screen()->isVisible());
        QVERIFY(!button("BitBtn1")->isVisible());
    }
};

int main(int argc, char** argv)
{
    // the program's own application object, so that errors escaping event handlers are handled
    PosApplication app(argc, argv);
    TestAducashier test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_aducashier.moc"
