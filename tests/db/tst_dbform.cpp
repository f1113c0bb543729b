// The connection screen: field rules, and which outcomes store the settings.
#include "db/dbform.h"
#include "db/dbformpas.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestDbForm : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<Tdbform> form;

    QLineEdit* edit(const char* name) { return form->findChild<QLineEdit*>(QLatin1String(name)); }
    void fill(const QString& user, const QString& password, const QString& server, const QString& port)
    {
        edit("edt_user")->setText(user);
        edit("edt_pwd")->setText(password);
        edit("edt_server")->setText(server);
        edit("edt_port")->setText(port);
    }
    void connectNow() { QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("btn_connect")), Qt::LeftButton); }
    QString stored(const char* name) { return TRegistry().readString(QStringLiteral("\\Software\\pos\\db"), QLatin1String(name)); }

private Q_SLOTS:
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        form = std::make_unique<Tdbform>();
        form->show();
    }
    void cleanup()
    {
        form.reset();
        env.reset();
    }

    void offersDefaults()
    {
        QCOMPARE(form->objectName(), QStringLiteral("Tdbform"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Database Connections"));
        QCOMPARE(edit("edt_user")->text(), QStringLiteral("root"));
        QCOMPARE(edit("edt_server")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(edit("edt_port")->text(), QStringLiteral("3306"));
        QVERIFY(MyFunction());
    }

    void portField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("digits") << "3307" << "3307";
        QTest::newRow("letters dropped") << "33a0x6" << "3306";
        QTest::newRow("highest port") << "65535" << "65535";
        QTest::newRow("70000 empties on release") << "70000" << "";
        QTest::newRow("too large then typing again") << "655361" << "1";
    }
    void portField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        QLineEdit* port = edit("edt_port");
        port->clear();
        QTest::keyClicks(port, typed);
        QCOMPARE(port->text(), expected);
    }

    void incompleteSettingsDoNothing_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("port");
        QTest::newRow("no user") << "" << "x" << "127.0.0.1" << "3306";
        QTest::newRow("no password") << "root" << "" << "127.0.0.1" << "3306";
        QTest::newRow("no server") << "root" << "x" << "" << "3306";
        QTest::newRow("server 0.0.0.0") << "root" << "x" << "0.0.0.0" << "3306";
        QTest::newRow("no port") << "root" << "x" << "127.0.0.1" << "";
    }
    void incompleteSettingsDoNothing()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, server);
        QFETCH(QString, port);
        fill(user, password, server, port);
        connectNow();
        QVERIFY(env->dialogs->messages.isEmpty());
        QVERIFY(form->isVisible());
        QVERIFY(MyFunction());
        QCOMPARE(edit("edt_user")->text(), user);
    }

    void failedConnectStoresNothing()
    {
        const ConnectionSettings s = TestServer::settings();
        fill(s.userName, s.password + QStringLiteral("-wrong"), s.server, s.port);
        connectNow();
        QCOMPARE(env->dialogs->texts(), QStringList { QStringLiteral("Connection failed") });
        QCOMPARE(env->dialogs->messages.first().kind, 1);
        for (const char* name : { "edt_user", "edt_pwd", "edt_server", "edt_port" })
            QVERIFY2(edit(name)->text().isEmpty(), name);
        QVERIFY(MyFunction());
        QVERIFY(form->isVisible());
    }

    void successfulConnectStoresAllFour()
    {
        const ConnectionSettings s = TestServer::settings();
        fill(s.userName, s.password, s.server, s.port);
        connectNow();
        QCOMPARE(env->dialogs->texts(), QStringList { QStringLiteral("Connection Successful") });
        QCOMPARE(env->dialogs->messages.first().kind, 0);
        QCOMPARE(stored("User_name"), s.userName);
        QCOMPARE(stored("password"), s.password);
        QCOMPARE(stored("server"), s.server);
        QCOMPARE(stored("port"), s.port);
        QVERIFY(!MyFunction());
        QVERIFY(!form->isVisible());
        // the settings file holds a password: private to the user
        QCOMPARE(QFile::permissions(TRegistry::defaultFile()) & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
            QFileDevice::Permissions());
    }
};

QTEST_MAIN(TestDbForm)
#include "tst_dbform.moc"
