#pragma once

#include "platform/errors.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

// One database server: an address (host name or IPv4 address) and its port.
struct ServerAddress {
    QString host;
    int port = 3306;
    QString text() const { return host + QLatin1Char(':') + QString::number(port); }
    bool operator==(const ServerAddress&) const = default;
};

// Connection settings of the "\Software\pos\db" key. "server" and "port" name the default server,
// tried first; "servers" names further servers of the same data (the nodes of a cluster), one
// host:port a line, in the order they are tried after it. Settings without the list (written by
// an older program) name the default server alone, and older programs read only the first four.
struct ConnectionSettings {
    QString userName;
    QString password;
    QString server;
    QString port;
    // "{}": settings made of the first four values alone leave it empty, without a warning
    QString servers {};

    // Reads the values from the registry (creating the key when it is missing).
    static ConnectionSettings fromRegistry();
    void writeToRegistry() const;

    // The default server, then the further ones; a malformed line of the list is left out.
    QList<ServerAddress> serverList() const;
    // "host:port" with a port from 1 to 65535; surrounding blanks do not count.
    static bool parseServer(const QString& line, ServerAddress* address = nullptr);
    // The first line of a server list that is neither blank nor host:port, with its number
    // (from 1); 0 when every line is good.
    static int badServerLine(const QString& list, QString* line = nullptr);
};

// How long a connection waits for the server before it gives up, in seconds. An unreachable or
// hung server then ends in an error instead of freezing the program.
struct ConnectionTimeouts {
    int connectSeconds = 5;
    int readSeconds = 30;
    int writeSeconds = 30;
};

// One column of the current row, read as text. Qt reads a NULL number as "0"; isNull() keeps
// the two apart.
class TField {
public:
    TField() = default;
    TField(const QString& text, bool null)
        : m_text(text)
        , m_null(null)
    {
    }
    QString asString() const { return m_text; }
    bool isNull() const { return m_null; }

private:
    QString m_text;
    bool m_null = true;
};

// The servers a data module's connections try, in order, and the one they start at: the one that
// answered last. Shared by the connections, so that once one of them has found a server gone the
// others go straight to the one that answered.
struct TServerList {
    QList<ServerAddress> servers;
    int current = 0;
};

// A named server connection. It opens on its first statement with the stored credentials and
// follows company switches: setting its database on an open connection changes the server's
// current database at once.
//
// With several servers, a connect tries each once, from the current one on (wrapping round), and
// the one that answers becomes the current one. A session lost during use, or on a cluster node
// that refuses statements, moves the current server to the next one.
class TConnection {
public:
    TConnection(const QString& instanceTag, const QString& name);
    ~TConnection();
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    QString name() const { return m_name; }
    // One server of its own.
    void setParams(const QString& user, const QString& password, const QString& server, int port);
    void setParams(const QString& user, const QString& password, std::shared_ptr<TServerList> servers);
    int serverCount() const { return int(m_servers->servers.size()); }
    // The server of the open session, or the one the next connect tries first.
    ServerAddress server() const;
    // Sessions opened so far: a new number means a new session, on which nothing of an earlier
    // one (a transaction, a "set transaction") is left.
    quint64 sessionNumber() const { return m_sessions; }
    // Takes effect at the next connect.
    void setTimeouts(const ConnectionTimeouts& timeouts);
    ConnectionTimeouts timeouts() const { return m_timeouts; }

    QString databaseName() const { return m_database; }
    // The connection works in this database from now on. An empty name leaves it on no database
    // at all (statements then need a database prefix); a name the server refuses leaves it
    // closed, to connect to that name next time, so it never stays on the previous company.
    void setDatabaseName(const QString& database);

    // Called every time the connection is about to connect.
    std::function<void(TConnection&)> beforeConnect;

    bool isOpen() const;
    // Opens when closed; throws EDatabaseError when the server refuses or does not answer.
    QSqlDatabase& ensureOpen();
    void close();
    // Reopens after the server dropped the connection (idle timeout, restart).
    void reconnect();
    // Closes an open connection that the server has ended since its last statement (idle
    // timeout, restart, kill), so that the next statement connects afresh before it is sent.
    // True when it did.
    bool closeIfDead();

    // Follows "use <db>" statements sent through a query on this connection.
    void noteCurrentDatabase(const QString& database) { m_database = database; }

    // Where the connection stands with a transaction (see TTransaction). Failed: a statement of
    // it failed (other than on a duplicate key, which undoes only that statement), so it can only
    // be rolled back. Lost: the session ended under it, and the server
    // has undone it; the connection stays closed until the transaction is left.
    enum class TransactionState { None, Open, Failed, Lost };
    TransactionState transactionState() const { return m_transaction; }
    bool inTransaction() const { return m_transaction != TransactionState::None; }

    // Runs `action` once the open transaction is committed, or at once when none is open. A
    // transaction rolled back (also one undone for a deadlock and run again) drops what it
    // queued, so the action happens once, and only for work that was kept.
    void afterCommit(std::function<void()> action);

private:
    friend class TQuery;
    friend class TTransaction;
    void setTransactionState(TransactionState state) { m_transaction = state; }
    // Ends a session that was lost or that its server would not serve, and moves the current
    // server past this one, unless another connection has moved it already.
    void dropSession();
    // Hands out what waited for the commit, leaving none queued.
    std::vector<std::function<void()>> takeAfterCommit() { return std::exchange(m_afterCommit, {}); }

    QString m_name;
    QString m_qtName;
    QString m_database;
    ConnectionTimeouts m_timeouts;
    QSqlDatabase m_db;
    std::shared_ptr<TServerList> m_servers;
    int m_serverIndex = 0;
    quint64 m_sessions = 0;
    TransactionState m_transaction = TransactionState::None;
    std::vector<std::function<void()>> m_afterCommit;
};

// A reusable statement holder on one connection: run a statement, then read the result rows
// by column name as text. One statement at a time; a new statement replaces the old result.
class TQuery {
public:
    TQuery(TConnection& connection, const QString& name);

    QString name() const { return m_name; }
    TConnection& connection() const { return m_connection; }

    // Runs one statement. A select keeps its rows and stands on the first one.
    // Throws EDatabaseError with the server's message when the statement fails. A statement that
    // changes nothing is sent once more on a new connection when the old one was lost under it;
    // a change is never sent twice (the server may have run it before the connection broke).
    void exec(const QString& sql);
    // SELECT, SHOW, DESCRIBE, EXPLAIN and USE: statements that may be sent again.
    static bool changesNothing(const QString& sql);
    // Statements sent through any query object so far (a retry after a reconnect counts once).
    static quint64 statementCount();

    // The value as an escaped, quoted string literal (the connection's own escaping).
    // Every value that goes into a statement passes through here.
    QString quote(const QString& value);
    // An identifier (database name) checked and quoted. Throws EDatabaseError when invalid.
    static QString ident(const QString& name);
    static bool isValidIdent(const QString& name);

    // Result of the last statement.
    QStringList columns() const { return m_columns; }
    int recordCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    bool eof() const { return m_pos >= m_rows.size(); }
    void first() { m_pos = 0; }
    void next()
    {
        if (m_pos < m_rows.size())
            ++m_pos;
    }
    int position() const { return m_pos; }
    void seek(int row) { m_pos = row; }

    // Column of the current row; a null field past the last row or for an unknown column.
    TField field(const QString& column) const;
    // The column's text, empty for NULL.
    QString text(const QString& column) const { return field(column).asString(); }
    // Cell by row and column index, for grids.
    TField cell(int row, int column) const;

    int rowsAffected() const { return m_rowsAffected; }
    QString lastSql() const { return m_sql; }
    void clear();

private:
    struct Row {
        QStringList values;
        QVector<bool> nulls;
    };
    TConnection& m_connection;
    QString m_name;
    QString m_sql;
    QStringList m_columns;
    QVector<Row> m_rows;
    int m_pos = 0;
    int m_rowsAffected = 0;
};

// How a transaction sees the rows other terminals commit meanwhile; stated on every transaction,
// whatever the server's default. RepeatableRead: plain reads keep the transaction's first view,
// and statements that copy rows from other tables (INSERT ... SELECT) lock what they copy, so a
// copied figure another terminal is changing at that moment is waited for. ReadCommitted: each
// plain read sees what is committed at that moment, so a conditional write that lost to another
// terminal reads the new value when it reads again; copies then take no locks.
enum class Isolation { RepeatableRead, ReadCommitted };

// One transaction on one connection for the lifetime of the guard: every statement sent on the
// connection meanwhile, through any of its query objects, belongs to it. commit() keeps the
// changes; a guard left without commit (an exception, an early return) rolls them back. A guard
// made while the connection already has a transaction joins it: the outermost guard commits, and
// a joined guard left without commit dooms the whole transaction to a rollback.
//
// A transaction is never carried over to a new connection: when the session is lost under it,
// every further statement and the commit fail with an error (server code lostCode()), and nothing
// of it is kept; InTransaction then runs it again from its start on the next server. A commit
// whose answer is lost is reported as such and never run again: the server may or may not have
// kept it.
class TTransaction {
public:
    explicit TTransaction(TConnection& connection, Isolation isolation = Isolation::RepeatableRead);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    // Throws EDatabaseError when the transaction failed part-way or the commit failed; its
    // changes are then undone (or, when the connection was lost during the commit, unknown).
    void commit();
    bool joined() const { return m_joined; }

    // Whether a transaction that ended in this error may be run again from its start: the server
    // chose it as the victim of a deadlock, or a cluster refused it at its commit for a change
    // another node committed first, and undid all of it; or its session was lost before the
    // commit was sent, which undid all of it too. Before it runs again the caller waits a
    // random while that grows with each attempt, so that terminals that met do not meet again;
    // it is run again as long as it has been at it for less than the retry window (30 s), after
    // which the error is shown.
    static bool mayRunAgain(const EDatabaseError& error, qint64 elapsedMs);
    static void waitBeforeAttempt(int attempt);
    // For tests: the retry window, returning the one before.
    static qint64 setRetryWindowMs(qint64 ms);
    // Transactions run again so far in this process.
    static quint64 retries();
    // The error code of a transaction whose session was lost before its commit was sent.
    static QString lostCode();
    // Runs `hook` on this thread just before the next outermost commit, once: a test holds a
    // finished transaction open with it while another terminal commits.
    static void beforeNextCommit(std::function<void()> hook);

private:
    void rollback() noexcept;
    TConnection& m_connection;
    bool m_joined = false;
    bool m_done = false;
};

// Runs `body` as one transaction on the connection and commits it; when body throws, its changes
// are rolled back and the exception goes on. Inside an open transaction body joins it. A
// transaction the server undid to break a deadlock, or whose session was lost before its commit,
// is run again from its start (after a short random wait, up to a couple of seconds in all; a
// lost one on a new session, on the next server), so
// body must read what it needs inside and have no effects outside the database before it ends.
// Every statement of body must go through query objects of this connection.
template <typename Body> auto InTransaction(TConnection& connection, Isolation isolation, Body&& body)
{
    int lost = 0;
    QElapsedTimer since;
    since.start();
    for (int attempt = 1;; ++attempt) {
        try {
            TTransaction transaction(connection, isolation);
            if constexpr (std::is_void_v<decltype(body())>) {
                body();
                transaction.commit();
                return;
            } else {
                auto result = body();
                transaction.commit();
                return result;
            }
        } catch (const EDatabaseError& e) {
            // a joined body leaves the decision to the transaction it joined
            if (connection.inTransaction() || !TTransaction::mayRunAgain(e, since.elapsed()))
                throw;
            // lost on every server in turn (a statement that outlasts the wait for an answer
            // everywhere): not sent round again
            if (e.serverCode() == TTransaction::lostCode() && ++lost > connection.serverCount())
                throw;
        }
        TTransaction::waitBeforeAttempt(attempt + 1);
    }
}

// The data module: the named connections and their query objects for the whole run.
class TDm {
public:
    // DataModuleCreate: reads the connection settings from the registry.
    TDm();
    explicit TDm(const ConnectionSettings& settings);
    ~TDm();
    TDm(const TDm&) = delete;
    TDm& operator=(const TDm&) = delete;

    void applySettings(const ConnectionSettings& settings);
    // Every connection's timeouts, from its next connect on.
    void setTimeouts(const ConnectionTimeouts& timeouts);

    // Company switch: the seven company connections of the company screens, and
    // MyConnection2 too when includeItemMaster is set.
    void setCompanyDatabase(const QString& database, bool includeItemMaster);

    // connections, in the order the settings are handed to them
    TConnection MyConlogin2;
    TConnection MyConnection1;
    TConnection MyConhomedelivery;
    TConnection MyConLogin;
    TConnection MyConPur;
    TConnection MyConview;
    TConnection MyConposorderitem;
    TConnection MyConsalesdetails;
    TConnection MyConCustdetails;
    TConnection MyConItemdetails;
    TConnection MyConnection2;

    TQuery MyQLogin;
    TQuery MyQuery1;
    TQuery MyQposorderitem;
    TQuery MyQsalesdetails;
    TQuery MyQCustdetails;
    TQuery MyQhomedelivery;
    TQuery MyQpayment;
    TQuery MyQhome;
    TQuery MyQVD;
    TQuery MyQPur;
    TQuery MyQview;
    TQuery MyQItemDetails;
    TQuery MyQCom;
    TQuery MyQuery2;
    TQuery MyQlogin2;

    QList<TConnection*> connections();

private:
    TDm(const ConnectionSettings& settings, const QString& tag);
    static QString nextInstanceTag();
};
