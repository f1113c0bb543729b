// The connection screen: field rules, and which outcomes store the settings.
#include "db/dbform.h"
#include "db/dbformpas.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
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
    void connectNow()
    {
        QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("btn_connect")), Qt::LeftButton);
    }
    QString stored(const char* name)
    {
        return TRegistry().readString(QStringLiteral("\\Software\\pos\\db"), QLatin1String(name));
    }
    QPlainTextEdit* serverList() { return form->findChild<QPlainTextEdit*>(QStringLiteral("edt_servers")); }
    // Types into a line field over what it holds, then moves on with Tab.
    void typeAndTab(const char* name, const QString& text)
    {
        QLineEdit* field = edit(name);
        QCOMPARE(QApplication::focusWidget(), field);
        QTest::keyClick(field, Qt::Key_Home);
        QTest::keyClick(field, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Tab);
    }

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
        QTest::newRow("digits") << "3307"
                                << "3307";
        QTest::newRow("letters dropped") << "33a0x6"
                                         << "3306";
        QTest::newRow("highest port") << "65535"
                                      << "65535";
        QTest::newRow("70000 empties on release") << "70000"
                                                  << "";
        QTest::newRow("too large then typing again") << "655361"
                                                     << "1";
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
        QTest::newRow("no user") << ""
                                 << "x"
                                 << "127.0.0.1"
                                 << "3306";
        QTest::newRow("no password") << "root"
                                     << ""
                                     << "127.0.0.1"
                                     << "3306";
        QTest::newRow("no server") << "root"
                                   << "x"
                                   << ""
                                   << "3306";
        QTest::newRow("server 0.0.0.0") << "root"
                                        << "x"
                                        << "0.0.0.0"
                                        << "3306";
        QTest::newRow("no port") << "root"
                                 << "x"
                                 << "127.0.0.1"
                                 << "";
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

    void serverListLines_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("refusal"); // empty: taken
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("names and addresses, blank lines and blanks around")
            << "db2.shop.lan:3306\n\n  192.168.1.12:13306 \r\n"
            << "";
        QTest::newRow("lowest and highest port") << "a:1\nb-2:65535"
                                                 << "";
        QTest::newRow("no port") << "db2:3306\ndb3"
                                 << "line 2: \"db3\"";
        QTest::newRow("port 0") << "db2:0"
                                << "line 1: \"db2:0\"";
        QTest::newRow("port above 65535") << "db2:65536"
                                          << "line 1: \"db2:65536\"";
        QTest::newRow("blank inside") << "db 2:3306"
                                      << "line 1: \"db 2:3306\"";
        QTest::newRow("two colons") << "db2:3306:1"
                                    << "line 1: \"db2:3306:1\"";
        QTest::newRow("no host") << ":3306"
                                 << "line 1: \":3306\"";
        QTest::newRow("list on one line") << "db2:3306,db3:3306"
                                          << "line 1: \"db2:3306,db3:3306\"";
    }
    void serverListLines()
    {
        QFETCH(QString, list);
        QFETCH(QString, refusal);
        const QString error = ServerListError(list);
        if (refusal.isEmpty())
            QVERIFY2(error.isEmpty(), qPrintable(error));
        else
            QVERIFY2(error.startsWith(QStringLiteral("Further servers, ") + refusal), qPrintable(error));
    }

    // The further servers are typed one a line below the default server; Tab and Shift+Tab move
    // on from the list (no tab is typed into it), a malformed line is refused before anything is
    // tried or stored, and a good list is stored in its order.
    void serverListTypedCheckedAndStored()
    {
        const ConnectionSettings s = TestServer::settings();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        edit("edt_user")->setFocus();
        typeAndTab("edt_user", s.userName);
        typeAndTab("edt_pwd", s.password);
        typeAndTab("edt_server", s.server);
        typeAndTab("edt_port", s.port);
        QPlainTextEdit* list = serverList();
        QCOMPARE(QApplication::focusWidget(), list);
        QTest::keyClicks(list, QStringLiteral("db2.shop.lan:3306"));
        QTest::keyClick(list, Qt::Key_Return);
        QTest::keyClicks(list, QStringLiteral("192.168.1.13:70000"));
        QTest::keyClick(list, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), form->findChild<QPushButton*>(QStringLiteral("btn_connect")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), list);
        QCOMPARE(list->toPlainText(), QStringLiteral("db2.shop.lan:3306\n192.168.1.13:70000"));

        connectNow();
        QCOMPARE(env->dialogs->texts(),
            QStringList { QStringLiteral("Further servers, line 2: \"192.168.1.13:70000\" is not a server as host:port "
                                         "(a port from 1 to 65535)") });
        QCOMPARE(env->dialogs->messages.first().kind, 0);
        QVERIFY(MyFunction());
        QVERIFY(form->isVisible());
        QCOMPARE(edit("edt_pwd")->text(), s.password); // nothing cleared

        // the bad line replaced by pasted ones
        env->dialogs->clear();
        list->setFocus();
        QTest::keyClick(list, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_Home, Qt::ShiftModifier);
        QGuiApplication::clipboard()->setText(QStringLiteral("192.168.1.13:13306"));
        QTest::keyClick(list, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(list, Qt::Key_Return);
        QGuiApplication::clipboard()->setText(QStringLiteral("192.168.1.14:3306"));
        QTest::keyClick(list, Qt::Key_Insert, Qt::ShiftModifier);
        connectNow();
        QCOMPARE(env->dialogs->texts(), QStringList { QStringLiteral("Connection Successful") });
        QCOMPARE(stored("server"), s.server);
        QCOMPARE(stored("port"), s.port);
        QCOMPARE(stored("servers"), QStringLiteral("db2.shop.lan:3306\n192.168.1.13:13306\n192.168.1.14:3306"));
        const ConnectionSettings read = ConnectionSettings::fromRegistry();
        QCOMPARE(read.serverList(),
            (QList<ServerAddress> { { s.server, s.port.toInt() }, { QStringLiteral("db2.shop.lan"), 3306 },
                { QStringLiteral("192.168.1.13"), 13306 }, { QStringLiteral("192.168.1.14"), 3306 } }));
    }
};

QTEST_MAIN(TestDbForm)
#include "tst_dbform.moc"
