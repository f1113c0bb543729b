// The login screen on a provisioned server: messages, roles, the cashier's single login, the
// bootstrap login, key filters, logout and the error handler.
#include "admin/aducashier.h"
#include "app/posapplication.h"
#include "app/roster.h"
#include "db/datamodulepos.h"
#include "login/adminoption.h"
#include "login/logincheck.h"
#include "login/poslogin.h"
#include "login/posloginpas.h"
#include "login/selectpos.h"
#include "platform/errors.h"
#include "platform/passwordhash.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// An object whose event handler fails, as a screen's handler may.
class FailingHandler : public QObject {
protected:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw EConvertError(QStringLiteral("'12a' is not a valid integer value"));
        return QObject::event(e);
    }
};

} // namespace

class TestLogin : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> env;

    QLineEdit* field(const char* name) { return roster().fmlogin->findChild<QLineEdit*>(QLatin1String(name)); }
    void login(const QString& name, const QString& password)
    {
        field("username")->setText(name);
        field("password")->setText(password);
        QTest::mouseClick(roster().fmlogin->findChild<QPushButton*>(QStringLiteral("btnlogin")), Qt::LeftButton);
    }
    QString loggedOn(const QString& user)
    {
        return TestServer::scalar(
            QStringLiteral("select u_loggedon from general_stores.login where username='%1'").arg(user));
    }
    void addUser(const QString& name, const QString& password, const QString& role, const QString& flag = QString())
    {
        TestServer::exec(
            { QStringLiteral("insert into general_stores.login values('%1','%2','%3',%4)")
                    .arg(name, password, role,
                        flag.isEmpty() ? QStringLiteral("NULL") : QLatin1Char('\'') + flag + QLatin1Char('\'')) });
    }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        env->clock->setStep(600); // splash waits end at once
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        ClearProgramTermination();
        roster().create();
        roster().fmlogin->show();
        env->dialogs->clear();
    }

    void cleanup()
    {
        roster().destroy();
        env.reset();
    }

    void terminalIdIsFoundAtStart()
    {
        QCOMPARE(roster().frmadminoptions->TerminalId,
            TestServer::scalar(QStringLiteral("select id from pcmac.pcmac where mac='0a1b2c3d4e5f'")));
        QVERIFY(!roster().frmadminoptions->TerminalId.isEmpty());
    }

    void bootstrapLoginWhileNoUserExists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << ""
                                 << "qemol"
                                 << " Please enter the Username !! ";
        QTest::newRow("no password") << "tavin"
                                     << ""
                                     << " Please enter the Password !! ";
        QTest::newRow("wrong password") << "tavin"
                                        << "qemo"
                                        << " Incorrect password!! ";
        QTest::newRow("wrong name") << "tavi"
                                    << "qemol"
                                    << " Incorrect username!! ";
        QTest::newRow("both wrong") << "admin"
                                    << "admin"
                                    << " incorrect username and password!! ";
        QTest::newRow("letter case counts") << "Tavin"
                                            << "qemol"
                                            << " Incorrect username!! ";
        QTest::newRow("right") << "tavin"
                               << "qemol"
                               << " Please create the User(Administrator/Cashier)!! ";
    }

    void bootstrapLoginWhileNoUserExists()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        login(name, password);
        QCOMPARE(env->dialogs->texts(), QStringList { message });
        const bool ok = message.contains(QLatin1String("create the User"));
        QCOMPARE(roster().frmaducashier->isVisible(), ok);
        QCOMPARE(roster().fmlogin->isVisible(), !ok);
        QCOMPARE(TestServer::scalar(QStringLiteral("select Role from pcmac.pcmac")),
            ok ? QStringLiteral("admin") : QStringLiteral("Role"));
        QVERIFY(roster().fmlogin->CurrentUser.isEmpty());
    }

    void bootstrapUserWithoutStoredPassword()
    {
        TRegistry().writeString(QStringLiteral("\\Software\\pos"), QStringLiteral("Password"), QString());
        login(QStringLiteral("tavin"), QStringLiteral("qemol"));
        QCOMPARE(env->dialogs->texts(), QStringList { QStringLiteral(" Incorrect password!! ") });
        QVERIFY(!roster().frmaducashier->isVisible());
    }

    void bootstrapLoginEndsWithTheFirstUser()
    {
        addUser(QStringLiteral("boss"), QStringLiteral("Secret1"), QStringLiteral("admin"));
        login(QStringLiteral("tavin"), QStringLiteral("qemol"));
        QCOMPARE(env->dialogs->texts(), QStringList { QStringLiteral("Details does not match!!") });
        QVERIFY(roster().fmlogin->isVisible());
        QVERIFY(roster().fmlogin->LoginFailed);
    }

    void userMessages_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("no name") << "  "
                                 << "x"
                                 << " Please enter the Username !! ";
        QTest::newRow("no password") << "anna"
                                     << " "
                                     << "Please enter the Password !! ";
        QTest::newRow("unknown") << "nobody"
                                 << "x"
                                 << "Details does not match!!";
        QTest::newRow("name in other case") << "ANNA"
                                            << "Secret1"
                                            << "Details does not match!!";
        QTest::newRow("password in other case") << "anna"
                                                << "SECRET1"
                                                << "Details does not match!!";
        QTest::newRow("double quote") << "anna"
                                      << "Se\"cret"
                                      << "Details does not match!!";
        QTest::newRow("quote and backslash") << "anna"
                                             << "x' or '1'='1\\"
                                             << "Details does not match!!";
    }

    void userMessages()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        addUser(QStringLiteral("anna"), QStringLiteral("Secret1"), QStringLiteral("cashier"));
        login(name, password);
        QCOMPARE(env->dialogs->texts(), QStringList { message });
        QVERIFY(roster().fmlogin->isVisible());
        QVERIFY(!ProgramTerminated());
        QCOMPARE(loggedOn(QStringLiteral("anna")), QString());
    }

    void cashierLogsInOnceOnly()
    {
        addUser(QStringLiteral("anna"), QStringLiteral("Secret1"), QStringLiteral("cashier"));
        login(QStringLiteral(" anna "), QStringLiteral("Secret1"));
        QVERIFY(env->dialogs->messages.isEmpty());
        QVERIFY(roster().frmselectpos->isVisible());
        QVERIFY(!roster().fmlogin->isVisible());
        QCOMPARE(roster().fmlogin->CurrentUser, QStringLiteral("anna"));
        QCOMPARE(roster().fmlogin->LastLoginName, QStringLiteral("anna"));
        QCOMPARE(loggedOn(QStringLiteral("anna")), QStringLiteral("t"));

        // a second terminal (another data module on the same server) is refused
        TDm other(TestServer::settings());
        QCOMPARE(LoginCheck(other, QStringLiteral("anna"), QStringLiteral("Secret1")), LoginResult::AlreadyLoggedOn);

        // logging out lets her in again, and a later close does not touch her flag
        QTest::mouseClick(roster().frmselectpos->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
        QCOMPARE(loggedOn(QStringLiteral("anna")), QStringLiteral("f"));
        QVERIFY(roster().fmlogin->isVisible());
        QVERIFY(field("username")->text().isEmpty());
        QVERIFY(roster().fmlogin->CurrentUser.isEmpty());
        QCOMPARE(LoginCheck(other, QStringLiteral("anna"), QStringLiteral("Secret1")), LoginResult::Cashier);
        roster().fmlogin->ResetCurrentUserQuietly();
        QCOMPARE(loggedOn(QStringLiteral("anna")), QStringLiteral("t"));
    }

    void cashierAlreadyLoggedOnIsRefused()
    {
        addUser(QStringLiteral("anna"), QStringLiteral("Secret1"), QStringLiteral("cashier"), QStringLiteral("t"));
        login(QStringLiteral("anna"), QStringLiteral("Secret1"));
        QCOMPARE(env->dialogs->messages.size(), 1);
        QCOMPARE(env->dialogs->messages.first().text, QStringLiteral("VARDIN 1.1"));
        QCOMPARE(env->dialogs->messages.first().detail, QStringLiteral("User is already looged on.!!"));
        QVERIFY(roster().fmlogin->isVisible());
        QVERIFY(field("username")->text().isEmpty());
        QVERIFY(field("password")->text().isEmpty());
        QVERIFY(roster().fmlogin->LoginFailed);
    }

    void adminIsLetInWhateverTheFlag_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::newRow("logged on") << "t";
        QTest::newRow("logged off") << "f";
        QTest::newRow("never logged on") << "";
    }

    void adminIsLetInWhateverTheFlag()
    {
        QFETCH(QString, flag);
        addUser(QStringLiteral("boss"), QStringLiteral("Secret1"), QStringLiteral("admin"), flag);
        login(QStringLiteral("boss"), QStringLiteral("Secret1"));
        QVERIFY(env->dialogs->messages.isEmpty());
        QVERIFY(roster().frmadminoptions->isVisible());
        QCOMPARE(loggedOn(QStringLiteral("boss")), QStringLiteral("t"));
        QCOMPARE(roster().fmlogin->CurrentUser, QStringLiteral("boss"));
        QTest::mouseClick(roster().frmadminoptions->findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
        QCOMPARE(loggedOn(QStringLiteral("boss")), QStringLiteral("f"));
        QVERIFY(roster().fmlogin->isVisible());
    }

    // A password kept as typed by an earlier version lets its user in letter for letter, and
    // that login replaces it by its hash; a hash is checked and kept as it is.
    void storedPasswordsOfBothKinds_data()
    {
        QTest::addColumn<bool>("hashed");
        QTest::addColumn<QString>("role");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("letIn");
        QTest::newRow("kept as typed, cashier") << false << "cashier"
                                                << "Secret1" << true;
        QTest::newRow("kept as typed, admin") << false << "admin"
                                              << "Secret1" << true;
        QTest::newRow("kept as typed, other case") << false << "cashier"
                                                   << "secret1" << false;
        QTest::newRow("kept as typed, a part") << false << "admin"
                                               << "Secret" << false;
        QTest::newRow("hash, cashier") << true << "cashier"
                                       << "Secret1" << true;
        QTest::newRow("hash, other case") << true << "admin"
                                          << "SECRET1" << false;
    }

    void storedPasswordsOfBothKinds()
    {
        QFETCH(bool, hashed);
        QFETCH(QString, role);
        QFETCH(QString, typed);
        QFETCH(bool, letIn);
        const QString kept = hashed ? HashPassword(QStringLiteral("Secret1")) : QStringLiteral("Secret1");
        addUser(QStringLiteral("anna"), kept, role);
        QTest::keyClicks(field("username"), QStringLiteral("anna"));
        QTest::keyClick(field("username"), Qt::Key_Tab);
        QTest::keyClicks(field("password"), typed);
        QTest::mouseClick(roster().fmlogin->findChild<QPushButton*>(QStringLiteral("btnlogin")), Qt::LeftButton);
        QCOMPARE(
            env->dialogs->texts(), letIn ? QStringList() : QStringList { QStringLiteral("Details does not match!!") });
        QCOMPARE(roster().fmlogin->CurrentUser, letIn ? QStringLiteral("anna") : QString());
        const QString stored
            = TestServer::scalar(QStringLiteral("select password from general_stores.login where username='anna'"));
        if (!letIn || hashed) {
            QCOMPARE(stored, kept);
            return;
        }
        QVERIFY(stored.startsWith(QLatin1String("$argon2id$")));
        QVERIFY(PasswordMatches(stored, QStringLiteral("Secret1")));
        QVERIFY(!PasswordMatches(stored, QStringLiteral("secret1")));
        // the hash lets her in on the next terminal as well
        TDm other(TestServer::settings());
        ResetLoggedOn(other, QStringLiteral("anna"));
        QCOMPARE(LoginCheck(other, QStringLiteral("anna"), QStringLiteral("Secret1")),
            role == QLatin1String("admin") ? LoginResult::Admin : LoginResult::Cashier);
    }

    // Two terminals: a login replaces the kept password by its hash only while the row still
    // holds that very password.
    void upgradeKeepsAPasswordChangedMeanwhile_data()
    {
        QTest::addColumn<QString>("change"); // what the other terminal stores after this one read the row
        QTest::addColumn<bool>("upgraded");
        QTest::newRow("unchanged") << QString() << true;
        QTest::newRow("a new password's hash") << "hash" << false;
        QTest::newRow("the password in other case, by an older terminal") << "SECRET1" << false;
    }

    void upgradeKeepsAPasswordChangedMeanwhile()
    {
        QFETCH(QString, change);
        QFETCH(bool, upgraded);
        addUser(QStringLiteral("anna"), QStringLiteral("Secret1"), QStringLiteral("cashier"));
        TDm here(TestServer::settings());
        TDm other(TestServer::settings());
        if (!change.isEmpty()) {
            TQuery& q = other.MyQLogin;
            q.exec(
                QStringLiteral("update general_stores.login set password=%1 where username='anna'")
                    .arg(q.quote(change == QLatin1String("hash") ? HashPassword(QStringLiteral("Other22")) : change)));
        }
        const QString before
            = TestServer::scalar(QStringLiteral("select password from general_stores.login where username='anna'"));
        QCOMPARE(
            UpgradeStoredPassword(here, QStringLiteral("anna"), QStringLiteral("Secret1"), QStringLiteral("Secret1")),
            upgraded);
        const QString after
            = TestServer::scalar(QStringLiteral("select password from general_stores.login where username='anna'"));
        if (upgraded)
            QVERIFY(IsPasswordHash(after) && PasswordMatches(after, QStringLiteral("Secret1")));
        else
            QCOMPARE(after, before);
    }

    void keyFilters_data()
    {
        QTest::addColumn<QString>("fieldName");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name letters digits dot") << "username"
                                                 << "Ab.9"
                                                 << "Ab.9";
        QTest::newRow("name drops others") << "username"
                                           << "a b-c_d@e"
                                           << "abcde";
        QTest::newRow("name takes 17") << "username"
                                       << "abcdefghijklmnopqrs"
                                       << "abcdefghijklmnopq";
        QTest::newRow("password any key") << "password"
                                          << "a b\"'"
                                          << "a b\"'";
        QTest::newRow("password takes 13") << "password"
                                           << "1234567890abcdef"
                                           << "1234567890abc";
    }

    void keyFilters()
    {
        QFETCH(QString, fieldName);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QLineEdit* e = field(qPrintable(fieldName));
        e->clear();
        QTest::keyClicks(e, typed);
        QCOMPARE(e->text(), expected);
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(e->text(), expected.left(expected.size() - 1));
        QCOMPARE(e->contextMenuPolicy(), Qt::PreventContextMenu);
    }

    void errorEscapingAHandlerEndsTheProgram()
    {
        QVERIFY(QFile::exists(ScriptPath(QStringLiteral("dbctable.sql"))));
        FailingHandler failing;
        QEvent event(QEvent::User);
        QCoreApplication::sendEvent(&failing, &event);
        QCOMPARE(env->dialogs->texts(),
            QStringList {
                QStringLiteral("EConvertError error raised, with message : '12a' is not a valid integer value") });
        QVERIFY(ProgramTerminated());
        QVERIFY(!QFile::exists(ScriptPath(QStringLiteral("dbctable.sql"))));
        QVERIFY(!QFile::exists(ClientOptionFile()));
    }

    void errorHandlerReportsAndLetsTheUserInAgain()
    {
        addUser(QStringLiteral("anna"), QStringLiteral("Secret1"), QStringLiteral("cashier"));
        login(QStringLiteral("anna"), QStringLiteral("Secret1"));
        QCOMPARE(loggedOn(QStringLiteral("anna")), QStringLiteral("t"));
        HandleError(nullptr, EConvertError(QStringLiteral("'x' is not a valid integer value")));
        const QString text
            = QStringLiteral("EConvertError error raised, with message : 'x' is not a valid integer value");
        QCOMPARE(env->dialogs->messages.size(), 1);
        QCOMPARE(env->dialogs->messages.first().text, text);
        QCOMPARE(env->dialogs->messages.first().kind, 1);
        QVERIFY(ProgramTerminated());
        QCOMPARE(loggedOn(QStringLiteral("anna")), QStringLiteral("f"));
        QFile log(QDir::current().filePath(QStringLiteral("LogFiles/Log20261209.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(text));
    }
};

int main(int argc, char** argv)
{
    // the program's own application object, so that errors escaping event handlers are handled
    PosApplication app(argc, argv);
    TestLogin test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_login.moc"
