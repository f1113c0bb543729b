// The data module against the real server: text results with NULL kept apart, escaping, identifier
// checks, company switches on open connections, a dropped connection coming back without a change
// being sent twice, and timeouts.
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "platform/errors.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <arpa/inet.h>
#include <condition_variable>
#include <future>
#include <mutex>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Kills a server connection from a second connection of its own (another terminal, an
// administrator), as soon as that connection is seen running a statement.
class KillWhileRunning {
public:
    explicit KillWhileRunning(const QString& id)
        : m_thread([id] {
            const QString name = QStringLiteral("killer");
            {
                QSqlDatabase db = TestServer::openDatabase(name);
                if (db.isOpen()) {
                    QSqlQuery q(db);
                    for (int i = 0; i < 300; ++i) {
                        q.exec(QStringLiteral("select info from information_schema.processlist where id=") + id);
                        if (q.next() && !q.isNull(0))
                            break;
                        QThread::msleep(10);
                    }
                    QThread::msleep(100);
                    q.exec(QStringLiteral("kill ") + id);
                }
            }
            QSqlDatabase::removeDatabase(name);
        })
    {
    }
    ~KillWhileRunning() { m_thread.join(); }

private:
    std::thread m_thread;
};

// A TCP port that takes connections but never says a word, as a hung server does; it goes away
// (and the waiting client with it) after a few seconds, so a missing timeout fails rather than hangs.
class SilentServer {
public:
    SilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), len);
        ::listen(m_fd, 4);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_closer = std::thread([this] {
            std::unique_lock lock(m_mutex);
            m_done.wait_for(lock, std::chrono::seconds(4), [this] { return m_finished; });
            ::close(m_fd);
        });
    }
    ~SilentServer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_closer.join();
    }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_closer;
};

} // namespace

class TestDataModule : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;

private Q_SLOTS:
    void initTestCase()
    {
        TestServer::dropAllDatabases();
        TestServer::exec({ QStringLiteral("create database general_stores"), QStringLiteral("create database SHOP_A"),
            QStringLiteral("create database SHOP_B") });
        TestServer::exec(Schema::tableStatements(QStringLiteral("SHOP_A"), Schema::Variant::Company));
        TestServer::exec(Schema::tableStatements(QStringLiteral("SHOP_B"), Schema::Variant::Company));
    }
    void init()
    {
        env = std::make_unique<TestEnvironment>();
        // the only rows the cases write
        TestServer::exec({ QStringLiteral("delete from SHOP_A.sales_settings"),
            QStringLiteral("delete from SHOP_B.sales_settings"), QStringLiteral("drop database if exists dbname") });
        dm = std::make_unique<TDm>(TestServer::settings());
    }
    void cleanup()
    {
        dm.reset();
        env.reset();
    }

    void nullIsNotZero()
    {
        TQuery& q = dm->MyQposorderitem;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select connection_id() as id"));
        const QString id = q.text(QStringLiteral("id"));
        q.exec(QStringLiteral("select max(billno) as m from sales_order"));
        QCOMPARE(q.recordCount(), 1);
        QVERIFY(q.field(QStringLiteral("m")).isNull());
        QCOMPARE(q.text(QStringLiteral("m")), QString());
        q.exec(QStringLiteral("select 0 as zero, 70.3 as amount, cast(70.3 as float) as f"));
        QVERIFY(!q.field(QStringLiteral("zero")).isNull());
        QCOMPARE(q.text(QStringLiteral("zero")), QStringLiteral("0"));
        QCOMPARE(q.text(QStringLiteral("amount")), QStringLiteral("70.3"));
        QCOMPARE(q.text(QStringLiteral("F")), QStringLiteral("70.3")); // column names ignore case
        QVERIFY(q.field(QStringLiteral("nosuchcolumn")).isNull());
        q.next();
        QVERIFY(q.eof());
        QVERIFY(q.field(QStringLiteral("zero")).isNull());
        // a healthy connection is kept from one statement to the next
        q.exec(QStringLiteral("delete from sales_order"));
        q.exec(QStringLiteral("select connection_id() as id"));
        QCOMPARE(q.text(QStringLiteral("id")), id);
    }

    void quotedValuesAreData_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("double quote") << "Se\"cret";
        QTest::newRow("single quote") << "O'Brien";
        QTest::newRow("backslash at end") << "abc\\";
        QTest::newRow("injection") << "x\" or \"1\"=\"1";
        QTest::newRow("newline and nul-like") << "a\nb\r\x1a";
        QTest::newRow("empty") << "";
        QTest::newRow("unicode") << "Grüße ₹";
    }
    void quotedValuesAreData()
    {
        QFETCH(QString, value);
        TQuery& q = dm->MyQItemDetails;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("insert into sales_settings values (%1, %2)")
                   .arg(q.quote(QStringLiteral("k")), q.quote(value)));
        q.exec(QStringLiteral("select value_ from sales_settings where value_=%1").arg(q.quote(value)));
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.text(QStringLiteral("value_")), value);
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from SHOP_A.sales_settings")), 1);
    }

    void identifiers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "MAIN_ROAD" << true;
        QTest::newRow("brackets at") << "JOHN(S)_CO@X" << true;
        QTest::newRow("dot") << "JOHN.CO" << false;
        QTest::newRow("backtick") << "A`B" << false;
        QTest::newRow("blank") << "A B" << false;
        QTest::newRow("semicolon") << "A;drop" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("too long") << QString(65, QLatin1Char('A')) << false;
    }
    void identifiers()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(TQuery::isValidIdent(name), valid);
        if (valid)
            QCOMPARE(TQuery::ident(name), QLatin1Char('`') + name + QLatin1Char('`'));
        else
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, TQuery::ident(name));
    }

    void companySwitchFollowsOpenConnections()
    {
        TestServer::exec({ QStringLiteral("insert into SHOP_A.sales_settings values('who','A')"),
            QStringLiteral("insert into SHOP_B.sales_settings values('who','B')") });
        TQuery& q = dm->MyQpayment;
        q.exec(QStringLiteral("select database() as db"));
        QCOMPARE(q.text(QStringLiteral("db")), QStringLiteral("general_stores"));
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select value_ from sales_settings"));
        QCOMPARE(q.text(QStringLiteral("value_")), QStringLiteral("A"));
        dm->setCompanyDatabase(QStringLiteral("SHOP_B"), true);
        q.exec(QStringLiteral("select value_ from sales_settings"));
        QCOMPARE(q.text(QStringLiteral("value_")), QStringLiteral("B"));
        dm->MyQuery2.exec(QStringLiteral("select value_ from sales_settings"));
        QCOMPARE(dm->MyQuery2.text(QStringLiteral("value_")), QStringLiteral("B"));
        // the login connection never follows
        dm->MyQLogin.exec(QStringLiteral("select database() as db"));
        QCOMPARE(dm->MyQLogin.text(QStringLiteral("db")), QStringLiteral("general_stores"));
    }

    void noCompanyMeansNoDatabase()
    {
        TQuery& q = dm->MyQhome;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), true);
        q.exec(QStringLiteral("select database() as db"));
        QCOMPARE(q.text(QStringLiteral("db")), QStringLiteral("SHOP_A"));

        // "NEXT" without a selection
        dm->setCompanyDatabase(QString(), true);
        QCOMPARE(dm->MyConPur.databaseName(), QString());
        q.exec(QStringLiteral("select database() as db, connection_id() as id"));
        QVERIFY(q.field(QStringLiteral("db")).isNull());
        const QString id = q.text(QStringLiteral("id"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.exec(QStringLiteral("select * from sales_settings")));
        // still none after the connection was dropped and made again
        TestServer::exec({ QStringLiteral("kill ") + id });
        q.exec(QStringLiteral("select database() as db"));
        QVERIFY(q.field(QStringLiteral("db")).isNull());
        // prefixed statements still work
        q.exec(QStringLiteral("select count(*) as n from SHOP_B.sales_settings"));
        QCOMPARE(q.text(QStringLiteral("n")), QStringLiteral("0"));

        // a company the server does not have: no connection stays on the previous one
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), true);
        dm->MyQposorderitem.exec(QStringLiteral("select 1"));
        q.exec(QStringLiteral("select 1"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, dm->setCompanyDatabase(QStringLiteral("NO_SUCH_SHOP"), true));
        for (TQuery* other : { &dm->MyQposorderitem, &q, &dm->MyQuery2 }) {
            QCOMPARE(other->connection().databaseName(), QStringLiteral("NO_SUCH_SHOP"));
            QVERIFY_THROWS_EXCEPTION(EDatabaseError, other->exec(QStringLiteral("select database() as db")));
        }
    }

    void catalogueConnectionAlwaysStartsOnDbname()
    {
        TestServer::exec({ QStringLiteral("create database dbname") });
        dm->MyQuery1.exec(QStringLiteral("select database() as db"));
        QCOMPARE(dm->MyQuery1.text(QStringLiteral("db")), QStringLiteral("dbname"));
    }

    void droppedConnectionComesBackOnItsDatabase()
    {
        TQuery& q = dm->MyQsalesdetails;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select connection_id() as id"));
        const QString id = q.text(QStringLiteral("id"));
        TestServer::exec({ QStringLiteral("kill ") + id });
        q.exec(QStringLiteral("select database() as db, connection_id() as id"));
        QCOMPARE(q.text(QStringLiteral("db")), QStringLiteral("SHOP_A"));
        QVERIFY(q.text(QStringLiteral("id")) != id);
    }

    void onlyStatementsThatChangeNothingAreSentAgain_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("select") << "  SELECT * from item" << true;
        QTest::newRow("bracketed select") << "(select 1) union (select 2)" << true;
        QTest::newRow("show") << "show tables" << true;
        QTest::newRow("use") << "use pcmac" << true;
        QTest::newRow("insert") << "insert into tordergrid values (1)" << false;
        QTest::newRow("update") << "update sales_order set amount_paid=amount_paid+5" << false;
        QTest::newRow("delete") << "delete from tordergrid" << false;
        QTest::newRow("word starting with select") << "selection_update()" << false;
        QTest::newRow("comment first") << "/* x */ select 1" << false;
    }
    void onlyStatementsThatChangeNothingAreSentAgain()
    {
        QFETCH(QString, sql);
        QFETCH(bool, readOnly);
        QCOMPARE(TQuery::changesNothing(sql), readOnly);
    }

    void killedConnectionAroundAStatement_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("whileRunning");
        QTest::addColumn<int>("rows"); // -1: a select, which comes back with its row
        QTest::newRow("write after the connection died idle: sent once on a new one")
            << "insert into sales_settings values ('k', 'v')" << false << 1;
        QTest::newRow("write killed while running: reported, never sent again")
            << "insert into sales_settings select 'k', sleep(2)" << true << 0;
        QTest::newRow("read killed while running: sent again") << "select sleep(2) as k" << true << -1;
    }
    void killedConnectionAroundAStatement()
    {
        QFETCH(QString, sql);
        QFETCH(bool, whileRunning);
        QFETCH(int, rows);
        TQuery& q = dm->MyQpayment;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select connection_id() as id"));
        const QString id = q.text(QStringLiteral("id"));
        const quint64 statements = TQuery::statementCount();
        QString error;
        {
            std::optional<KillWhileRunning> killer;
            if (whileRunning) {
                killer.emplace(id);
            } else {
                TestServer::exec({ QStringLiteral("kill ") + id });
                // until the server has let go of the session
                const QString alive
                    = QStringLiteral("select count(*) from information_schema.processlist where id=") + id;
                for (int i = 0; i < 300 && TestServer::count(alive) > 0; ++i)
                    QThread::msleep(10);
            }
            try {
                q.exec(sql);
            } catch (const EDatabaseError& e) {
                error = e.message();
            }
        }
        if (whileRunning && rows >= 0)
            QVERIFY2(error.contains(QLatin1String("not sent again")), qPrintable(error));
        else
            QVERIFY2(error.isEmpty(), qPrintable(error));
        if (rows < 0)
            QCOMPARE(q.recordCount(), 1);
        QCOMPARE(TQuery::statementCount(), statements + 1);
        if (rows >= 0)
            QCOMPARE(TestServer::count(QStringLiteral("select count(*) from SHOP_A.sales_settings")), rows);
        // the next statement runs on a new connection, on the same company
        q.exec(QStringLiteral("select database() as db, connection_id() as id"));
        QCOMPARE(q.text(QStringLiteral("db")), QStringLiteral("SHOP_A"));
        QVERIFY(q.text(QStringLiteral("id")) != id);
    }

    void timeoutsEndWaitsWithAClearText_data()
    {
        QTest::addColumn<bool>("connecting");
        QTest::newRow("server that never answers the connect") << true;
        QTest::newRow("statement that takes too long") << false;
    }
    void timeoutsEndWaitsWithAClearText()
    {
        QFETCH(bool, connecting);
        std::optional<SilentServer> silent;
        TQuery& q = dm->MyQview;
        if (connecting) {
            silent.emplace();
            const ConnectionSettings s = TestServer::settings();
            q.connection().setParams(s.userName, s.password, s.server, silent->port());
        }
        dm->setTimeouts({ 1, 1, 1 });
        QElapsedTimer timer;
        timer.start();
        try {
            q.exec(QStringLiteral("select sleep(10)")); // far beyond the second it may wait, also on a busy machine
            QFAIL("no timeout");
        } catch (const EDatabaseError& e) {
            QVERIFY2(e.message().startsWith(QLatin1String("The database server did not answer within 1 seconds")),
                qPrintable(e.message()));
        }
        QVERIFY2(timer.elapsed() < 2800, qPrintable(QString::number(timer.elapsed())));
        if (!connecting) {
            // the connection is made again for the next statement
            q.exec(QStringLiteral("select 7 as n"));
            QCOMPARE(q.text(QStringLiteral("n")), QStringLiteral("7"));
        }
    }

    void transactionKeepsAllOrNothing_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("rows");
        QTest::newRow("committed") << "commit" << 2;
        QTest::newRow("body throws") << "throw" << 0;
        QTest::newRow("a statement fails") << "bad statement" << 0;
        QTest::newRow("a joined guard left without commit") << "inner left" << 0;
    }
    void transactionKeepsAllOrNothing()
    {
        QFETCH(QString, ending);
        QFETCH(int, rows);
        // two query objects of one connection
        TQuery& q = dm->MyQpayment;
        TQuery& other = dm->MyQhome;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        const QString count = QStringLiteral("select count(*) from SHOP_A.sales_settings");
        bool sentAfterFailure = false;
        try {
            InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
                q.exec(QStringLiteral("insert into sales_settings values ('a','1')"));
                other.exec(QStringLiteral("insert into sales_settings values ('b','2')"));
                QCOMPARE(TestServer::count(count), 0); // nothing shows before the commit
                if (ending == QLatin1String("throw"))
                    throw EConvertError(QStringLiteral("stop"));
                if (ending == QLatin1String("inner left")) {
                    TTransaction inner(q.connection());
                    QVERIFY(inner.joined());
                }
                if (ending == QLatin1String("bad statement")) {
                    try {
                        q.exec(QStringLiteral("insert into no_such_table values (1)"));
                    } catch (const EDatabaseError&) {
                    }
                    // caught or not, the transaction is over: nothing more runs on its own
                    other.exec(QStringLiteral("insert into sales_settings values ('c','3')"));
                    sentAfterFailure = true;
                }
            });
        } catch (const PosError&) {
        }
        QCOMPARE(TestServer::count(count), rows);
        QVERIFY(!sentAfterFailure);
        QVERIFY(!q.connection().inTransaction());
        q.exec(QStringLiteral("insert into sales_settings values ('d','4')"));
        QCOMPARE(TestServer::count(count), rows + 1);
    }

    void lostConnectionRunsTheTransactionAgain_data()
    {
        QTest::addColumn<bool>("whileRunning");
        QTest::newRow("killed between two statements") << false;
        QTest::newRow("killed while a read runs") << true;
    }
    void lostConnectionRunsTheTransactionAgain()
    {
        QFETCH(bool, whileRunning);
        TQuery& q = dm->MyQpayment;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        q.exec(QStringLiteral("select connection_id() as id"));
        const QString id = q.text(QStringLiteral("id"));
        int attempts = 0;
        int statementsAfterTheLoss = 0;
        QStringList sessions;
        InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
            ++attempts;
            q.exec(QStringLiteral("insert into sales_settings values ('a','1')"));
            q.exec(QStringLiteral("select connection_id() as id"));
            sessions << q.text(QStringLiteral("id"));
            std::optional<KillWhileRunning> killer;
            if (attempts == 1 && whileRunning) {
                killer.emplace(id);
            } else if (attempts == 1) {
                TestServer::exec({ QStringLiteral("kill ") + id });
                const QString alive
                    = QStringLiteral("select count(*) from information_schema.processlist where id=") + id;
                for (int i = 0; i < 300 && TestServer::count(alive) > 0; ++i)
                    QThread::msleep(10);
            }
            // a read would be sent again outside a transaction; here the whole transaction is
            q.exec(whileRunning && attempts == 1 ? QStringLiteral("select sleep(2) as k")
                                                 : QStringLiteral("select 1 as k"));
            if (attempts == 1)
                ++statementsAfterTheLoss;
            q.exec(QStringLiteral("insert into sales_settings values ('b','2')"));
        });
        QCOMPARE(attempts, 2);
        QCOMPARE(statementsAfterTheLoss, 0);
        QCOMPARE(sessions.size(), 2);
        QCOMPARE(sessions.first(), id);
        QVERIFY(sessions.last() != id);
        // the first attempt's row was undone with its session; the second's were kept
        QCOMPARE(
            TestServer::scalar(QStringLiteral("select group_concat(Name order by Name) from SHOP_A.sales_settings")),
            QStringLiteral("a,b"));
    }

    void deadlockVictimRunsAgain()
    {
        TestServer::exec(
            { QStringLiteral("delete from SHOP_A.stock_details"), QStringLiteral("delete from SHOP_A.cash_details"),
                QStringLiteral("insert into SHOP_A.stock_details(sdate,itemcode,closing_stock) values "
                               "('2026-01-01',1,10),('2026-01-01',2,10)") });
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        TQuery& q = dm->MyQpayment;
        std::promise<void> otherHoldsTwo;
        std::promise<void> oneIsHeld;
        // another terminal takes row 2 then row 1, with more work of its own to lose
        std::thread other([&] {
            const QString name = QStringLiteral("other terminal");
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
                const ConnectionSettings s = TestServer::settings();
                db.setHostName(s.server);
                db.setPort(s.port.toInt());
                db.setUserName(s.userName);
                db.setPassword(s.password);
                db.setDatabaseName(QStringLiteral("SHOP_A"));
                db.open();
                QSqlQuery x(db);
                x.exec(QStringLiteral("start transaction"));
                x.exec(QStringLiteral("insert into SHOP_A.cash_details select seq,1,1 from seq_1_to_50"));
                x.exec(QStringLiteral("update SHOP_A.stock_details set closing_stock=closing_stock-1 where "
                                      "sdate='2026-01-01' and itemcode=2"));
                otherHoldsTwo.set_value();
                oneIsHeld.get_future().wait();
                QThread::msleep(300); // until this terminal waits for row 2
                x.exec(QStringLiteral("update SHOP_A.stock_details set closing_stock=closing_stock-1 where "
                                      "sdate='2026-01-01' and itemcode=1"));
                x.exec(QStringLiteral("commit"));
            }
            QSqlDatabase::removeDatabase(name);
        });
        int attempts = 0;
        InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
            ++attempts;
            q.exec(QStringLiteral(
                "update stock_details set closing_stock=closing_stock+5 where sdate='2026-01-01' and itemcode=1"));
            if (attempts == 1) {
                otherHoldsTwo.get_future().wait();
                oneIsHeld.set_value();
            }
            q.exec(QStringLiteral(
                "update stock_details set closing_stock=closing_stock+5 where sdate='2026-01-01' and itemcode=2"));
        });
        other.join();
        QCOMPARE(attempts, 2);
        QCOMPARE(TestServer::scalar(
                     QStringLiteral("select group_concat(closing_stock order by itemcode) from SHOP_A.stock_details")),
            QStringLiteral("14,14"));
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from SHOP_A.cash_details")), 50);
    }

    // What waits for the commit (the log lines of a transaction) happens once, after the commit,
    // and only for work that was kept.
    void afterCommitOnlyForKeptWork_data()
    {
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("attempts");
        QTest::addColumn<int>("done");
        QTest::newRow("committed") << "commit" << 1 << 1;
        QTest::newRow("undone for a deadlock and run again") << "deadlock once" << 2 << 1;
        QTest::newRow("body throws") << "throw" << 1 << 0;
        QTest::newRow("a joined guard left without commit") << "inner left" << 1 << 0;
    }
    void afterCommitOnlyForKeptWork()
    {
        QFETCH(QString, ending);
        QFETCH(int, attempts);
        QFETCH(int, done);
        TQuery& q = dm->MyQpayment;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        int tries = 0;
        int actions = 0;
        try {
            InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
                ++tries;
                q.exec(QStringLiteral("insert into sales_settings values ('a','1')"));
                {
                    // queued inside a joined guard, as a procedure called from a transaction does
                    TTransaction inner(q.connection());
                    q.connection().afterCommit([&] { ++actions; });
                    if (ending != QLatin1String("inner left"))
                        inner.commit();
                }
                QCOMPARE(actions, 0); // nothing before the commit
                if (ending == QLatin1String("throw"))
                    throw EConvertError(QStringLiteral("stop"));
                if (ending == QLatin1String("deadlock once") && tries == 1)
                    throw EDatabaseError(QStringLiteral("Deadlock found"), QStringLiteral("1213"));
            });
        } catch (const PosError&) {
        }
        QCOMPARE(tries, attempts);
        QCOMPARE(actions, done);
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from SHOP_A.sales_settings")), done);
        // without a transaction it happens at once
        q.connection().afterCommit([&] { ++actions; });
        QCOMPARE(actions, done + 1);
    }

    // A statement of its own that the server undoes to break a deadlock (the lighter side of it)
    // is sent again once the other transaction is through, and not reported.
    void statementUndoneForADeadlockIsSentAgain()
    {
        TestServer::exec({ QStringLiteral("create or replace table SHOP_A.deadlocked (k int primary key, v int)"),
            QStringLiteral("insert into SHOP_A.deadlocked select seq, 0 from SHOP_A.seq_1_to_200") });
        QString error = QStringLiteral("not run");
        std::optional<std::jthread> other;
        {
            TQuery& q = dm->MyQsalesdetails;
            dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
            TTransaction heavy(q.connection(), Isolation::ReadCommitted);
            q.exec(QStringLiteral("update deadlocked set v=1 where k<>2"));
            other.emplace([&error] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(QStringLiteral("SHOP_A"), false);
                try {
                    own.MyQview.exec(QStringLiteral("update deadlocked set v=2 where k in (1,2) order by k desc"));
                    error.clear();
                } catch (const EDatabaseError& e) {
                    error = e.serverCode();
                }
            });
            QVERIFY(TestServer::waitForLockWaits(1)); // the statement holds row 2 and waits for row 1
            q.exec(QStringLiteral("update deadlocked set v=1 where k=2"));
            heavy.commit();
        }
        other->join();
        QCOMPARE(error, QString());
        QCOMPARE(
            TestServer::scalar(QStringLiteral("select group_concat(v order by k) from SHOP_A.deadlocked where k<4")),
            QStringLiteral("2,2,1"));
        TestServer::exec({ QStringLiteral("drop table SHOP_A.deadlocked") });
    }

    // A transaction refused again and again (terminals on several cluster nodes meeting on one
    // item) runs until it is kept, waiting a little longer each time; one that never gets through
    // ends in the server's error, once.
    void refusedTransactionRunsAgainUntilKept_data()
    {
        QTest::addColumn<int>("refusals");
        QTest::addColumn<bool>("kept");
        QTest::newRow("a dozen times") << 12 << true;
        QTest::newRow("every time") << 100000 << false;
    }
    void refusedTransactionRunsAgainUntilKept()
    {
        QFETCH(int, refusals);
        QFETCH(bool, kept);
        TQuery& q = dm->MyQsalesdetails;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        int tries = 0;
        const quint64 retriesBefore = TTransaction::retries();
        QString error;
        // a window of two seconds rather than the shop's thirty, for a test that never gets through
        const qint64 window = TTransaction::setRetryWindowMs(kept ? 60000 : 2000);
        QElapsedTimer took;
        took.start();
        try {
            InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
                ++tries;
                q.exec(QStringLiteral("insert into sales_settings values ('retried','1')"));
                if (tries <= refusals)
                    throw EDatabaseError(QStringLiteral("Deadlock found"), QStringLiteral("1213"));
            });
        } catch (const EDatabaseError& e) {
            error = e.serverCode();
        }
        TTransaction::setRetryWindowMs(window);
        QCOMPARE(error, kept ? QString() : QStringLiteral("1213"));
        if (kept)
            QCOMPARE(tries, refusals + 1);
        else
            QVERIFY2(took.elapsed() >= 2000 && took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(TTransaction::retries() - retriesBefore, quint64(tries - 1));
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from SHOP_A.sales_settings where Name='retried'")),
            kept ? 1 : 0);
    }

    // A transaction lost on every server in turn (here the only one) is not sent round again.
    void transactionLostEverywhereEnds()
    {
        TQuery& q = dm->MyQsalesdetails;
        dm->setCompanyDatabase(QStringLiteral("SHOP_A"), false);
        int tries = 0;
        QString code;
        try {
            InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
                ++tries;
                q.exec(QStringLiteral("insert into sales_settings values ('lost','1')"));
                throw EDatabaseError(QStringLiteral("lost"), TTransaction::lostCode());
            });
        } catch (const EDatabaseError& e) {
            code = e.serverCode();
        }
        QCOMPARE(code, TTransaction::lostCode());
        QCOMPARE(tries, 2);
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from SHOP_A.sales_settings")), 0);
    }

    // Every session reads what the whole cluster committed before the read (a single server has
    // nothing to wait for), also a session opened again after a lost connection.
    void sessionsWaitForTheClustersCommits()
    {
        TQuery& q = dm->MyQview;
        for (int session = 0; session < 2; ++session) {
            q.exec(QStringLiteral("select @@session.wsrep_sync_wait as w"));
            QCOMPARE(q.text(QStringLiteral("w")), QStringLiteral("1"));
            q.connection().close();
        }
    }

    void failuresCarryTheServersMessage()
    {
        try {
            dm->MyQLogin.exec(QStringLiteral("select * from no_such_table"));
            QFAIL("no error raised");
        } catch (const EDatabaseError& e) {
            QCOMPARE(e.className(), QStringLiteral("EDatabaseError"));
            QVERIFY2(e.message().contains(QLatin1String("no_such_table")), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
