// Several servers of one cluster: a dead server skipped at connect, a session lost during use
// moving on to the next server, what is sent again there (reads, never a change sent before),
// transactions run again from their start when their session was lost before the commit, and a
// commit whose answer was lost reported and never run again. The servers are relays of the test's
// own in front of the one test server, each of which can go down like a machine.
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QHostAddress>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

namespace {

// How a relay treats what a terminal sends.
enum class RelayMode {
    Forward,
    // as a cluster node outside the cluster: every statement but a SET is refused, unrun
    Refuse,
    // the commit reaches the server, its answer never reaches the terminal (the cable is pulled)
    LoseCommitAnswer,
};

class RelayWorker : public QObject {
public:
    explicit RelayWorker(quint16 target)
        : m_target(target)
    {
    }
    std::atomic<RelayMode> mode { RelayMode::Forward };
    std::atomic<int> sessions { 0 };
    quint16 port = 0;

    void listen()
    {
        m_server = new QTcpServer(this);
        m_server->listen(QHostAddress::LocalHost, 0);
        port = m_server->serverPort();
        connect(m_server, &QTcpServer::newConnection, this, &RelayWorker::take);
    }
    // Gone like a machine: nothing listens, and every connection breaks.
    void kill()
    {
        if (m_server)
            m_server->close();
        for (const QPointer<QTcpSocket>& s : std::as_const(m_sockets)) {
            if (s)
                s->abort();
        }
        m_sockets.clear();
    }

private:
    void take()
    {
        while (QTcpSocket* client = m_server->nextPendingConnection()) {
            ++sessions;
            auto* upstream = new QTcpSocket(this);
            m_sockets << client << upstream;
            auto pending = std::make_shared<QByteArray>();
            connect(client, &QTcpSocket::readyRead, this, [=, this] {
                pending->append(client->readAll());
                forward(client, upstream, *pending);
            });
            connect(upstream, &QTcpSocket::readyRead, this, [=] {
                const QByteArray answer = upstream->readAll();
                if (client->state() == QAbstractSocket::ConnectedState)
                    client->write(answer);
            });
            connect(client, &QTcpSocket::disconnected, upstream, [upstream] { upstream->disconnectFromHost(); });
            connect(upstream, &QTcpSocket::disconnected, client, [client] { client->disconnectFromHost(); });
            upstream->connectToHost(QHostAddress::LocalHost, m_target);
        }
    }
    // Passes whole packets on (3 bytes length, 1 byte sequence number, then the payload); a
    // statement is a packet numbered 0 whose payload starts with 3.
    void forward(QTcpSocket* client, QTcpSocket* upstream, QByteArray& pending)
    {
        while (pending.size() >= 4) {
            const int length = uchar(pending[0]) | uchar(pending[1]) << 8 | uchar(pending[2]) << 16;
            if (pending.size() < 4 + length)
                return;
            const QByteArray packet = pending.left(4 + length);
            pending.remove(0, 4 + length);
            const bool statement = packet[3] == 0 && length > 0 && packet[4] == 3;
            const QByteArray sql = statement ? packet.mid(5).trimmed().toLower() : QByteArray();
            if (statement && mode == RelayMode::Refuse && !sql.startsWith("set ")) {
                const QByteArray payload = QByteArray("\xff\x17\x04#08S01", 9)
                    + QByteArray("WSREP has not yet prepared node for application use");
                QByteArray answer;
                answer.append(char(payload.size() & 0xff)).append(char(payload.size() >> 8)).append('\0').append('\1');
                client->write(answer + payload);
                continue;
            }
            upstream->write(packet);
            if (statement && mode == RelayMode::LoseCommitAnswer && sql == "commit") {
                upstream->flush();
                client->abort();
                return;
            }
        }
    }

    quint16 m_target;
    QTcpServer* m_server = nullptr;
    QList<QPointer<QTcpSocket>> m_sockets;
};

// A relay to the test server in a thread of its own (the client library holds the test's thread
// while a statement runs).
class Relay {
public:
    Relay()
        : m_worker(new RelayWorker(quint16(TestServer::settings().port.toInt())))
    {
        m_worker->moveToThread(&m_thread);
        m_thread.start();
        QMetaObject::invokeMethod(m_worker, &RelayWorker::listen, Qt::BlockingQueuedConnection);
    }
    ~Relay()
    {
        kill();
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker] { delete w; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    int port() const { return m_worker->port; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    int sessions() const { return m_worker->sessions; }
    void setMode(RelayMode mode) { m_worker->mode = mode; }
    void kill() { QMetaObject::invokeMethod(m_worker, &RelayWorker::kill, Qt::BlockingQueuedConnection); }

private:
    QThread m_thread;
    RelayWorker* m_worker;
};

// Addresses nothing listens on, each another port.
QStringList deadServers(int count)
{
    std::vector<std::unique_ptr<QTcpServer>> probes;
    QStringList addresses;
    for (int i = 0; i < count; ++i) {
        probes.push_back(std::make_unique<QTcpServer>());
        probes.back()->listen(QHostAddress::LocalHost, 0);
        addresses << QStringLiteral("127.0.0.1:%1").arg(probes.back()->serverPort());
    }
    return addresses;
}

// Runs `action` from a thread of its own as soon as the server runs a statement containing
// `marker` (seen from a connection of that thread).
class WhenRunning {
public:
    WhenRunning(const QString& marker, std::function<void()> action)
        : m_thread([marker, action] {
            const QString name = QStringLiteral("watcher");
            {
                QSqlDatabase db = TestServer::openDatabase(name);
                if (db.isOpen()) {
                    QSqlQuery q(db);
                    for (int i = 0; i < 500; ++i) {
                        q.exec(QStringLiteral("select count(*) from information_schema.processlist where info like "
                                              "'%%1%' and id<>connection_id()")
                                   .arg(marker));
                        if (q.next() && q.value(0).toInt() > 0)
                            break;
                        QThread::msleep(10);
                    }
                    QThread::msleep(100);
                }
            }
            QSqlDatabase::removeDatabase(name);
            action();
        })
    {
    }
    ~WhenRunning() { m_thread.join(); }

private:
    std::thread m_thread;
};

ConnectionSettings listOf(const QString& first, const QStringList& further)
{
    ConnectionSettings s = TestServer::settings();
    s.server = first.section(QLatin1Char(':'), 0, 0);
    s.port = first.section(QLatin1Char(':'), 1);
    s.servers = further.join(QLatin1Char('\n'));
    return s;
}

const QString kSeeded = QStringLiteral("1234567.89");

} // namespace

class TestFailover : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;

    static QString paidOf(int pcid)
    {
        return TestServer::scalar(
            QStringLiteral("select amount_paid+0 from SHOP_F.sales_order where billno=57 and pcid=%1").arg(pcid));
    }

private Q_SLOTS:
    void initTestCase()
    {
        TestServer::dropAllDatabases();
        TestServer::exec(
            { QStringLiteral("create database general_stores"), QStringLiteral("create database SHOP_F") });
        TestServer::exec(Schema::tableStatements(QStringLiteral("SHOP_F"), Schema::Variant::Company));
    }
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        // another terminal's bill of the same number first
        TestServer::exec({ QStringLiteral("delete from SHOP_F.sales_order"),
            QStringLiteral("delete from SHOP_F.cash_details"), QStringLiteral("delete from SHOP_F.sales_settings"),
            QStringLiteral(
                "insert into SHOP_F.sales_order(sdate,billno,pcid,grandtotal,amount_paid,balance) values "
                "('2026-12-09',57,1,1234567.89,0,1234567.89),('2026-12-09',57,2,1234567.89,0,1234567.89)") });
    }
    void cleanup() { env.reset(); }

    void deadFirstServerIsSkippedAtConnect()
    {
        Relay b;
        TDm dm(listOf(deadServers(1).first(), { b.address() }));
        dm.setCompanyDatabase(QStringLiteral("SHOP_F"), false);
        TQuery& q = dm.MyQpayment;
        q.exec(QStringLiteral("select count(*) as n, @@session.wsrep_sync_wait as w from sales_order"));
        QCOMPARE(q.text(QStringLiteral("n")), QStringLiteral("2"));
        // every server of the list waits for the cluster's commits
        QCOMPARE(q.text(QStringLiteral("w")), QStringLiteral("1"));
        QCOMPARE(q.connection().server().port, b.port());
        // the other connections start at the server that answered, and it stays the one
        QCOMPARE(dm.MyConsalesdetails.server().port, b.port());
        dm.MyQsalesdetails.exec(QStringLiteral("select 1"));
        q.connection().close();
        q.exec(QStringLiteral("select 1"));
        QCOMPARE(q.connection().server().port, b.port());
        QCOMPARE(b.sessions(), 3);
    }

    void noServerAnswers()
    {
        const QStringList dead = deadServers(2);
        TDm dm(listOf(dead.at(0), { dead.at(1) }));
        try {
            dm.MyQLogin.exec(QStringLiteral("select 1"));
            QFAIL("no error");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.message().startsWith(QLatin1String("None of the 2 database servers answered")),
                qPrintable(e.message()));
        }
    }

    void lostSessionMovesToTheNextServer_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("whileRunning");
        QTest::addColumn<QString>("error"); // the start of the error, empty when none
        QTest::addColumn<QString>("paid"); // terminal 2's bill afterwards
        QTest::newRow("read, server gone between statements: on the next server")
            << "select amount_paid+0 as k from sales_order where billno=57 and pcid=2" << false << ""
            << "0";
        QTest::newRow("read, server gone while it runs: sent again there")
            << "select sleep(2)+amount_paid as k from sales_order where billno=57 and pcid=2" << true << ""
            << "0";
        QTest::newRow("change, server gone between statements: sent once, there")
            << "update sales_order set amount_paid=amount_paid+12345.67 where billno=57 and pcid=2" << false << ""
            << "12345.67";
        QTest::newRow("change, server gone while it runs: reported, never sent again")
            << "update sales_order set amount_paid=amount_paid+12345.67+sleep(2) where billno=57 and pcid=2" << true
            << "The connection to the database server was lost while a change was being sent"
            << "12345.67";
    }
    void lostSessionMovesToTheNextServer()
    {
        QFETCH(QString, sql);
        QFETCH(bool, whileRunning);
        QFETCH(QString, error);
        QFETCH(QString, paid);
        Relay a;
        Relay b;
        TDm dm(listOf(a.address(), { b.address() }));
        dm.setCompanyDatabase(QStringLiteral("SHOP_F"), false);
        TQuery& q = dm.MyQsalesdetails;
        q.exec(QStringLiteral("select 1"));
        QCOMPARE(q.connection().server().port, a.port());
        QString failure;
        {
            std::optional<WhenRunning> killer;
            if (whileRunning) {
                killer.emplace(QStringLiteral("sleep(2)"), [&a] { a.kill(); });
            } else {
                a.kill();
                QThread::msleep(50);
            }
            try {
                q.exec(sql);
            } catch (const EDatabaseError& e) {
                failure = e.message();
            }
        }
        if (error.isEmpty())
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        else
            QVERIFY2(failure.startsWith(error), qPrintable(failure));
        if (error.isEmpty() && q.columns().contains(QLatin1String("k")))
            QCOMPARE(q.text(QStringLiteral("k")), QStringLiteral("0"));
        // a change killed while it ran may still be finishing on the server
        const QString waitForIt = QStringLiteral("select count(*) from information_schema.processlist where info "
                                                 "like '%sleep(2)%' and id<>connection_id()");
        for (int i = 0; i < 400 && TestServer::count(waitForIt) > 0; ++i)
            QThread::msleep(10);
        QCOMPARE(paidOf(2), paid);
        QCOMPARE(paidOf(1), QStringLiteral("0"));
        // the next statement runs on the next server
        q.exec(QStringLiteral("select database() as db"));
        QCOMPARE(q.text(QStringLiteral("db")), QStringLiteral("SHOP_F"));
        QCOMPARE(q.connection().server().port, b.port());
        QVERIFY(b.sessions() >= 1);
    }

    // A transaction whose session was lost before its commit was undone by the server; it runs
    // again from its start on the next server, and what it wrote is there once.
    void transactionLostBeforeCommitRunsAgainOnTheNextServer_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("between two statements") << "between";
        QTest::newRow("while a statement runs") << "running";
        QTest::newRow("just before the commit") << "before commit";
    }
    void transactionLostBeforeCommitRunsAgainOnTheNextServer()
    {
        QFETCH(QString, when);
        Relay a;
        Relay b;
        TDm dm(listOf(a.address(), { b.address() }));
        dm.setCompanyDatabase(QStringLiteral("SHOP_F"), false);
        // two query objects of one connection
        TQuery& q = dm.MyQpayment;
        TQuery& other = dm.MyQhome;
        QList<int> ports;
        int loggedAfterCommit = 0;
        const quint64 retries = TTransaction::retries();
        InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
            ports << q.connection().server().port;
            q.exec(QStringLiteral("insert into cash_details(billno,amount_paid,pcid) values (57,12345.67,2)"));
            q.connection().afterCommit([&] { ++loggedAfterCommit; });
            if (ports.size() == 1 && when == QLatin1String("between")) {
                a.kill();
                QThread::msleep(50);
            }
            std::optional<WhenRunning> killer;
            if (ports.size() == 1 && when == QLatin1String("running"))
                killer.emplace(QStringLiteral("sleep(1)"), [&a] { a.kill(); });
            other.exec(QStringLiteral("update sales_order set amount_paid=amount_paid+12345.67+sleep(%1), "
                                      "balance=balance-12345.67 where billno=57 and pcid=2")
                           .arg(ports.size() == 1 && when == QLatin1String("running") ? 1 : 0));
            killer.reset();
            if (ports.size() == 1 && when == QLatin1String("before commit")) {
                a.kill();
                QThread::msleep(50);
            }
        });
        QCOMPARE(ports, (QList<int> { a.port(), b.port() }));
        QCOMPARE(TTransaction::retries() - retries, quint64(1));
        QCOMPARE(loggedAfterCommit, 1);
        // the first attempt's session may still be ending on the server
        for (int i = 0; i < 300
             && TestServer::count(QStringLiteral("select count(*) from information_schema.processlist "
                                                 "where info like '%sleep(1)%' and id<>connection_id()"))
                 > 0;
             ++i)
            QThread::msleep(10);
        QCOMPARE(TestServer::scalar(QStringLiteral("select group_concat(amount_paid+0) from SHOP_F.cash_details")),
            QStringLiteral("12345.67"));
        QCOMPARE(paidOf(2), QStringLiteral("12345.67"));
        QCOMPARE(
            TestServer::scalar(QStringLiteral("select balance+0 from SHOP_F.sales_order where billno=57 and pcid=2")),
            QStringLiteral("1222222.22"));
        QCOMPARE(paidOf(1), QStringLiteral("0"));
    }

    // The commit reached the server and its answer was lost: the server kept it, and the program
    // neither knows so nor runs it again.
    void lostCommitIsReportedAndNotRunAgain()
    {
        Relay a;
        Relay b;
        TDm dm(listOf(a.address(), { b.address() }));
        dm.setCompanyDatabase(QStringLiteral("SHOP_F"), false);
        TQuery& q = dm.MyQpayment;
        q.exec(QStringLiteral("select 1"));
        a.setMode(RelayMode::LoseCommitAnswer);
        int attempts = 0;
        int loggedAfterCommit = 0;
        QString failure;
        try {
            InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
                ++attempts;
                q.exec(QStringLiteral(
                    "update sales_order set amount_paid=amount_paid+99999.99 where billno=57 and pcid=2"));
                q.connection().afterCommit([&] { ++loggedAfterCommit; });
            });
        } catch (const EDatabaseError& e) {
            failure = e.message();
        }
        QCOMPARE(attempts, 1);
        QCOMPARE(loggedAfterCommit, 0);
        QVERIFY2(failure.contains(QLatin1String("whether its changes were kept is not known")), qPrintable(failure));
        // the commit lands on the server after the terminal saw its connection break
        for (int i = 0; i < 300 && paidOf(2) == QLatin1String("0"); ++i)
            QThread::msleep(10);
        QThread::msleep(200);
        QCOMPARE(paidOf(2), QStringLiteral("99999.99"));
        QCOMPARE(paidOf(1), QStringLiteral("0"));
        // the connection goes on, on the next server
        q.exec(QStringLiteral("select 1"));
        QCOMPARE(q.connection().server().port, b.port());
    }

    // A cluster node outside the cluster refuses statements before running them: whatever was
    // refused goes to the next server, a change too, and a transaction starts there with its
    // isolation level.
    void refusingNodeIsLeftForTheNextServer()
    {
        Relay a;
        Relay b;
        TDm dm(listOf(a.address(), { b.address() }));
        dm.setCompanyDatabase(QStringLiteral("SHOP_F"), false);
        TQuery& q = dm.MyQpayment;
        TQuery& c = dm.MyQCustdetails;
        q.exec(QStringLiteral("select 1"));
        c.exec(QStringLiteral("select 1"));
        TQuery& p = dm.MyQItemDetails;
        p.exec(QStringLiteral("select 1"));
        a.setMode(RelayMode::Refuse);
        q.exec(QStringLiteral("update sales_order set amount_paid=amount_paid+12345.67 where billno=57 and pcid=2"));
        QCOMPARE(q.connection().server().port, b.port());
        QCOMPARE(paidOf(2), QStringLiteral("12345.67"));

        // a transaction whose start the refusing node is asked for
        QCOMPARE(c.connection().server().port, a.port());
        QString level;
        int attempts = 0;
        InTransaction(c.connection(), Isolation::ReadCommitted, [&] {
            ++attempts;
            c.exec(QStringLiteral("update sales_order set amount_paid=amount_paid+1 where billno=57 and pcid=2"));
            c.exec(QStringLiteral("select trx_isolation_level as l from information_schema.innodb_trx where "
                                  "trx_mysql_thread_id=connection_id()"));
            level = c.text(QStringLiteral("l"));
        });
        QCOMPARE(attempts, 1);
        QCOMPARE(level, QStringLiteral("READ COMMITTED"));
        QCOMPARE(c.connection().server().port, b.port());
        QCOMPARE(paidOf(2), QStringLiteral("12346.67"));

        // a commit the node refused was not run: the transaction runs again on the next server
        a.setMode(RelayMode::Forward);
        QCOMPARE(p.connection().server().port, a.port());
        attempts = 0;
        InTransaction(p.connection(), Isolation::ReadCommitted, [&] {
            ++attempts;
            p.exec(
                QStringLiteral("update sales_order set amount_paid=amount_paid+99999.99 where billno=57 and pcid=2"));
            a.setMode(RelayMode::Refuse);
        });
        QCOMPARE(attempts, 2);
        QCOMPARE(p.connection().server().port, b.port());
        QCOMPARE(paidOf(2), QStringLiteral("112346.66"));
        QCOMPARE(paidOf(1), QStringLiteral("0"));

        // refused everywhere: the node's error, once round the list
        b.setMode(RelayMode::Refuse);
        try {
            q.exec(QStringLiteral("update sales_order set amount_paid=0"));
            QFAIL("no error");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.serverCode(), QStringLiteral("1047"));
        }
        QCOMPARE(paidOf(2), QStringLiteral("112346.66"));
    }

    // Settings from before the list name one server, which is all the connections use.
    void settingsWithoutAListKeepWorking()
    {
        const ConnectionSettings old = TestServer::settings();
        TRegistry reg;
        const QString key = QStringLiteral("\\Software\\pos\\db");
        reg.writeString(key, QStringLiteral("User_name"), old.userName);
        reg.writeString(key, QStringLiteral("password"), old.password);
        reg.writeString(key, QStringLiteral("server"), old.server);
        reg.writeString(key, QStringLiteral("port"), old.port);
        const ConnectionSettings read = ConnectionSettings::fromRegistry();
        QCOMPARE(read.servers, QString());
        QCOMPARE(read.serverList(), (QList<ServerAddress> { { old.server, old.port.toInt() } }));
        TDm dm;
        dm.MyQLogin.exec(QStringLiteral("select database() as db"));
        QCOMPARE(dm.MyQLogin.text(QStringLiteral("db")), QStringLiteral("general_stores"));
        QCOMPARE(dm.MyConLogin.server().port, old.port.toInt());
    }
};

QTEST_GUILESS_MAIN(TestFailover)
#include "tst_failover.moc"
