#include "db/datamodulepos.h"

#include "platform/errors.h"
#include "platform/registry.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>
#include <QThread>
#include <atomic>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <mysql.h>
#include <optional>
#include <poll.h>
#include <string>

namespace {

const QString kDbKey = QStringLiteral("\\Software\\pos\\db");
std::atomic<quint64> g_statements { 0 };
std::atomic<quint64> g_retries { 0 };
// a test's hook, run before this thread's next outermost commit
thread_local std::function<void()> g_beforeNextCommit;

QString serverMessage(const QSqlError& error)
{
    const QString text = error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

bool isConnectionLost(const QSqlError& error)
{
    // 2006: server has gone away, 2013: lost connection during query, 1927: connection was
    // killed, 4031: disconnected by the server for inactivity
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("2006") || code == QLatin1String("2013") || code == QLatin1String("1927")
        || code == QLatin1String("4031");
}

QString serverCode(const QSqlError& error)
{
    return error.nativeErrorCode();
}

// 1047: a cluster node that is not (or no longer) part of the cluster's primary component
// refuses every statement that would read or change tables ("WSREP has not yet prepared node for
// application use"), before running it. Its session is given up like a lost one, for the next
// server; the statement did not run there, so it may be sent again whatever it is.
bool refusedByNode(const QSqlError& error)
{
    return error.nativeErrorCode() == QLatin1String("1047");
}

// Our own code for a transaction whose session ended before its commit was sent.
const QString kLostTransaction = QStringLiteral("lost-session");

// 1213: the server undid the whole transaction to break a deadlock.
const QLatin1String kDeadlock("1213");
// 1062: an insert met a key that exists; the server undid that one statement.
const QLatin1String kDuplicateKey("1062");
// How long a transaction undone for a deadlock (or refused by a cluster at its commit) is run
// again before the error is shown: 32 terminals on three cluster nodes working flat out on the
// same 50 items get every transaction through well within it.
std::atomic<qint64> g_retryWindowMs { 30000 };

QString lostInTransactionText(const QString& detail)
{
    return QStringLiteral("The connection to the database server was lost during a transaction; none of its "
                          "changes were kept, and it was not sent again (%1)")
        .arg(detail);
}

EDatabaseError lostInTransaction(const QString& detail)
{
    return EDatabaseError(lostInTransactionText(detail), kLostTransaction);
}

// A wait that failed after (nearly) its whole limit ran out, rather than at once.
bool ranOut(const QElapsedTimer& timer, int seconds)
{
    return seconds > 0 && timer.elapsed() >= qint64(seconds) * 1000 - 250;
}

QString noAnswerText(int seconds, const QString& detail)
{
    return QStringLiteral("The database server did not answer within %1 seconds (%2)").arg(seconds).arg(detail);
}

// The client library's mysql_get_socket(), looked up in the library the Qt driver loaded; null
// when that library has none. Called only while a connection is open, so the driver is loaded.
using GetSocketFn = int (*)(void*);
GetSocketFn getSocketFunction()
{
    static const GetSocketFn fn = []() -> GetSocketFn {
        std::string path;
        dl_iterate_phdr(
            [](dl_phdr_info* info, size_t, void* data) {
                const char* name = info->dlpi_name;
                if (name && (std::strstr(name, "libmariadb") || std::strstr(name, "libmysqlclient"))) {
                    *static_cast<std::string*>(data) = name;
                    return 1;
                }
                return 0;
            },
            &path);
        if (path.empty())
            return nullptr;
        void* lib = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        return lib ? reinterpret_cast<GetSocketFn>(dlsym(lib, "mysql_get_socket")) : nullptr;
    }();
    return fn;
}

// True when the server has ended the session of an open connection. Between two statements the
// server sends nothing, so anything to read on the socket is its goodbye: the end of the stream,
// or an error packet before it. Unknown (no socket function) counts as alive.
bool serverEndedSession(const QSqlDatabase& db)
{
    const GetSocketFn getSocket = getSocketFunction();
    const QVariant handle = db.driver()->handle();
    // The driver hands out its MYSQL* (named after the struct by MariaDB's headers).
    if (!getSocket || !handle.isValid()
        || (qstrcmp(handle.typeName(), "MYSQL*") != 0 && qstrcmp(handle.typeName(), "st_mysql*") != 0))
        return false;
    void* mysql = *static_cast<void* const*>(handle.constData());
    if (!mysql)
        return true;
    const int fd = getSocket(mysql);
    if (fd < 0)
        return true;
    pollfd p { fd, POLLIN, 0 };
    return ::poll(&p, 1, 0) > 0;
}

// A decimal column comes back with every place of its scale ("12345.67000000000000000000"): the
// text is given as the program writes amounts, without trailing zeros or a bare point.
QString plainDecimal(QString text)
{
    if (!text.contains(QLatin1Char('.')) || text.contains(QLatin1Char('e')) || text.contains(QLatin1Char('E')))
        return text;
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char('0'))
        --end;
    if (end > 0 && text.at(end - 1) == QLatin1Char('.'))
        --end;
    text.truncate(end);
    if (text.isEmpty() || text == QLatin1String("-") || text == QLatin1String("-0"))
        return QStringLiteral("0");
    return text;
}

} // namespace

ConnectionSettings ConnectionSettings::fromRegistry()
{
    TRegistry reg;
    reg.createKey(kDbKey);
    return { reg.readString(kDbKey, QStringLiteral("User_name")), reg.readString(kDbKey, QStringLiteral("password")),
        reg.readString(kDbKey, QStringLiteral("server")), reg.readString(kDbKey, QStringLiteral("port")),
        reg.readString(kDbKey, QStringLiteral("servers")) };
}

void ConnectionSettings::writeToRegistry() const
{
    TRegistry reg;
    reg.writeString(kDbKey, QStringLiteral("User_name"), userName);
    reg.writeString(kDbKey, QStringLiteral("password"), password);
    reg.writeString(kDbKey, QStringLiteral("server"), server);
    reg.writeString(kDbKey, QStringLiteral("port"), port);
    // written every time, so that a list emptied on the screen does not stay behind
    QStringList lines;
    for (const QString& line : servers.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    reg.writeString(kDbKey, QStringLiteral("servers"), lines.join(QLatin1Char('\n')));
}

bool ConnectionSettings::parseServer(const QString& line, ServerAddress* address)
{
    // a host name or IPv4 address (letters, digits, dots, hyphens), a colon, a port
    static const QRegularExpression re(
        QStringLiteral(R"(^([A-Za-z0-9](?:[A-Za-z0-9.\-]*[A-Za-z0-9])?):([0-9]{1,5})$)"));
    const QRegularExpressionMatch m = re.match(line.trimmed());
    if (!m.hasMatch())
        return false;
    const int port = m.captured(2).toInt();
    if (port < 1 || port > 65535)
        return false;
    if (address)
        *address = { m.captured(1), port };
    return true;
}

int ConnectionSettings::badServerLine(const QString& list, QString* line)
{
    const QStringList lines = list.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QString text = lines.at(i);
        if (text.trimmed().isEmpty() || parseServer(text))
            continue;
        if (line)
            *line = text.trimmed();
        return i + 1;
    }
    return 0;
}

QList<ServerAddress> ConnectionSettings::serverList() const
{
    QList<ServerAddress> list { { server.trimmed(), port.trimmed().isEmpty() ? 3306 : port.trimmed().toInt() } };
    for (const QString& line : servers.split(QLatin1Char('\n'))) {
        ServerAddress address;
        if (parseServer(line, &address) && !list.contains(address))
            list << address;
    }
    return list;
}

// ---------------------------------------------------------------------------------------------

TConnection::TConnection(const QString& instanceTag, const QString& name)
    : m_name(name)
    , m_qtName(instanceTag + QLatin1Char('/') + name)
    , m_database(QStringLiteral("general_stores"))
    , m_servers(std::make_shared<TServerList>())
{
    m_servers->servers << ServerAddress { QString(), 3306 };
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), m_qtName);
    m_db.setDatabaseName(m_database);
    setTimeouts(ConnectionTimeouts());
}

TConnection::~TConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_qtName);
}

void TConnection::setParams(const QString& user, const QString& password, const QString& server, int port)
{
    auto own = std::make_shared<TServerList>();
    own->servers << ServerAddress { server, port };
    setParams(user, password, std::move(own));
}

void TConnection::setParams(const QString& user, const QString& password, std::shared_ptr<TServerList> servers)
{
    if (!servers || servers->servers.isEmpty())
        throw EDatabaseError(QStringLiteral("No database server is set"));
    m_db.setUserName(user);
    m_db.setPassword(password);
    m_servers = std::move(servers);
    m_serverIndex = m_servers->current;
}

ServerAddress TConnection::server() const
{
    return m_servers->servers.value(m_db.isOpen() ? m_serverIndex : m_servers->current);
}

void TConnection::dropSession()
{
    const bool wasOpen = m_db.isOpen();
    close();
    if (wasOpen && m_servers->current == m_serverIndex)
        m_servers->current = (m_serverIndex + 1) % serverCount();
}

void TConnection::setTimeouts(const ConnectionTimeouts& timeouts)
{
    m_timeouts = timeouts;
    m_db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=%1;MYSQL_OPT_READ_TIMEOUT=%2;"
                                          "MYSQL_OPT_WRITE_TIMEOUT=%3")
                               .arg(timeouts.connectSeconds)
                               .arg(timeouts.readSeconds)
                               .arg(timeouts.writeSeconds));
}

void TConnection::setDatabaseName(const QString& database)
{
    // An invalid name changes nothing.
    const QString quoted = database.isEmpty() ? QString() : TQuery::ident(database);
    m_database = database;
    if (!m_db.isOpen())
        return;
    // The server has no way back to "no database" on an open session: start a new one.
    if (database.isEmpty() || closeIfDead()) {
        m_db.close();
        return;
    }
    QSqlQuery q(m_db);
    if (q.exec(QStringLiteral("USE ") + quoted))
        return;
    const QSqlError error = q.lastError();
    q = QSqlQuery();
    if (!isConnectionLost(error) && !refusedByNode(error)) {
        m_db.close();
        throw EDatabaseError(serverMessage(error));
    }
    dropSession();
}

bool TConnection::isOpen() const
{
    return m_db.isOpen();
}

QSqlDatabase& TConnection::ensureOpen()
{
    if (m_db.isOpen())
        return m_db;
    // A transaction never goes on in a new session: the server ended the old one, and with it
    // undid what the transaction had done.
    if (inTransaction()) {
        m_transaction = TransactionState::Lost;
        throw lostInTransaction(QStringLiteral("the connection was closed"));
    }
    if (beforeConnect)
        beforeConnect(*this);
    // An empty database name (no company chosen yet) connects without a current database.
    m_db.setDatabaseName(m_database);
    // Each server once, from the current one on; the first that answers becomes the current one.
    const int count = serverCount();
    const int first = m_servers->current;
    QStringList failures;
    for (int i = 0; i < count && !m_db.isOpen(); ++i) {
        const int index = (first + i) % count;
        const ServerAddress address = m_servers->servers.at(index);
        m_db.setHostName(address.host);
        m_db.setPort(address.port);
        QElapsedTimer timer;
        timer.start();
        if (m_db.open()) {
            m_serverIndex = index;
            m_servers->current = index;
            break;
        }
        const QString message = serverMessage(m_db.lastError());
        failures << (ranOut(timer, m_timeouts.connectSeconds)
                ? noAnswerText(m_timeouts.connectSeconds, QStringLiteral("%1, %2").arg(address.text(), message))
                : (count > 1 ? QStringLiteral("%1: %2").arg(address.text(), message) : message));
    }
    if (!m_db.isOpen()) {
        if (count == 1)
            throw EDatabaseError(failures.value(0));
        throw EDatabaseError(QStringLiteral("None of the %1 database servers answered: %2")
                                 .arg(count)
                                 .arg(failures.join(QStringLiteral("; "))));
    }
    ++m_sessions;
    // On a cluster node a read first waits until the node has applied every commit the cluster
    // made before it, so what a terminal decides on is never older than another node's last
    // commit. A single server takes the setting and has nothing to wait for; a server without
    // the setting refuses it, and has nothing to wait for either.
    QSqlQuery(m_db).exec(QStringLiteral("set session wsrep_sync_wait=1"));
    return m_db;
}

void TConnection::close()
{
    m_db.close();
    if (inTransaction())
        m_transaction = TransactionState::Lost;
}

void TConnection::reconnect()
{
    m_db.close();
    ensureOpen();
}

void TConnection::afterCommit(std::function<void()> action)
{
    if (!inTransaction()) {
        action();
        return;
    }
    m_afterCommit.push_back(std::move(action));
}

bool TConnection::closeIfDead()
{
    if (!m_db.isOpen() || !serverEndedSession(m_db))
        return false;
    dropSession();
    return true;
}

// ---------------------------------------------------------------------------------------------

TQuery::TQuery(TConnection& connection, const QString& name)
    : m_connection(connection)
    , m_name(name)
{
}

void TQuery::clear()
{
    m_columns.clear();
    m_rows.clear();
    m_pos = 0;
    m_rowsAffected = 0;
}

void TQuery::exec(const QString& sql)
{
    clear();
    m_sql = sql;
    ++g_statements;
    const bool inTransaction = m_connection.inTransaction();
    if (inTransaction) {
        // Once a transaction has failed or its session is gone, nothing more is sent in it: a
        // statement would run on its own, outside what the server has undone.
        if (m_connection.transactionState() == TConnection::TransactionState::Failed)
            throw EDatabaseError(QStringLiteral("A statement of this transaction failed before; the transaction is "
                                                "rolled back and this statement was not sent"));
        if (m_connection.transactionState() == TConnection::TransactionState::Lost || m_connection.closeIfDead())
            throw lostInTransaction(QStringLiteral("the server ended the session"));
    } else {
        // A session the server ended while the connection stood idle is replaced before anything
        // is sent: nothing has reached the server yet, so this holds for changes too.
        m_connection.closeIfDead();
    }
    QSqlQuery q;
    QElapsedTimer timer;
    const auto send = [&] {
        q = QSqlQuery(m_connection.ensureOpen());
        // Numbers come back as the server's own text, not through a double.
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        q.setForwardOnly(true);
        timer.start();
        return q.exec(sql);
    };
    // A statement is sent once more, on the next server, after its session was lost only when it
    // changes nothing: the server may have run a change before the connection broke. A statement
    // a cluster node refused did not run, and goes on to the next server whatever it is.
    bool sentAgain = false;
    int refusals = 0;
    int deadlocks = 0;
    QElapsedTimer sinceFirst;
    sinceFirst.start();
    while (!send()) {
        const QSqlError error = q.lastError();
        const bool refused = refusedByNode(error);
        // A statement of its own that the server undid to break a deadlock (on a cluster: one that
        // met another node's commit) was undone whole: it is sent again, as a transaction would be
        // run again.
        if (!inTransaction && serverCode(error) == kDeadlock && sinceFirst.elapsed() < g_retryWindowMs.load()) {
            q = QSqlQuery();
            TTransaction::waitBeforeAttempt(++deadlocks + 1);
            continue;
        }
        if (!isConnectionLost(error) && !refused) {
            // A duplicate key undoes only its own statement: the caller may take another key and
            // go on in the same transaction. Any other failure ends the transaction.
            if (inTransaction && serverCode(error) != kDuplicateKey)
                m_connection.setTransactionState(TConnection::TransactionState::Failed);
            throw EDatabaseError(serverMessage(error), serverCode(error));
        }
        q = QSqlQuery();
        m_connection.dropSession();
        const int limit = qMin(m_connection.timeouts().readSeconds, m_connection.timeouts().writeSeconds);
        const bool noAnswer = !refused && ranOut(timer, limit);
        // the whole transaction runs again from its start (InTransaction), never a part of it
        if (inTransaction)
            throw lostInTransaction(noAnswer ? noAnswerText(limit, serverMessage(error)) : serverMessage(error));
        if (noAnswer)
            throw EDatabaseError(noAnswerText(limit, serverMessage(error)));
        if (refused) {
            if (++refusals >= m_connection.serverCount())
                throw EDatabaseError(serverMessage(error), serverCode(error));
            continue;
        }
        if (!changesNothing(sql))
            throw EDatabaseError(
                QStringLiteral("The connection to the database server was lost while a change was being sent; it "
                               "was not sent again (%1)")
                    .arg(serverMessage(error)));
        if (sentAgain)
            throw EDatabaseError(serverMessage(error), serverCode(error));
        sentAgain = true;
    }

    static const QRegularExpression useStatement(
        QStringLiteral(R"(^\s*use\s+`?([^`\s;]+)`?\s*;?\s*$)"), QRegularExpression::CaseInsensitiveOption);
    const auto use = useStatement.match(sql);
    if (use.hasMatch())
        m_connection.noteCurrentDatabase(use.captured(1));

    if (!q.isSelect()) {
        m_rowsAffected = q.numRowsAffected();
        return;
    }
    const QSqlRecord rec = q.record();
    // The driver turns every decimal's text into a double before it hands the text over, which
    // costs more the more places the column has; a decimal is read from the row the client
    // library holds instead (plain text, ended by a zero byte).
    MYSQL_RES* raw = nullptr;
    if (const QVariant handle = q.result()->handle();
        qstrcmp(handle.typeName(), "st_mysql_res*") == 0 || qstrcmp(handle.typeName(), "MYSQL_RES*") == 0)
        raw = *static_cast<MYSQL_RES* const*>(handle.constData());
    QVector<bool> numeric(rec.count());
    for (int i = 0; i < rec.count(); ++i) {
        m_columns.append(rec.fieldName(i));
        numeric[i] = rec.field(i).metaType().id() == QMetaType::Double;
    }
    while (q.next()) {
        Row row;
        row.values.reserve(rec.count());
        row.nulls.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i) {
            const bool null = q.isNull(i);
            row.nulls.append(null);
            if (null)
                row.values.append(QString());
            else if (!numeric[i])
                row.values.append(q.value(i).toString());
            else if (raw && raw->current_row && raw->current_row[i])
                row.values.append(plainDecimal(QString::fromLatin1(raw->current_row[i])));
            else
                row.values.append(plainDecimal(q.value(i).toString()));
        }
        m_rows.append(std::move(row));
    }
    m_rowsAffected = int(m_rows.size());
}

bool TQuery::changesNothing(const QString& sql)
{
    static const QRegularExpression readOnly(QStringLiteral(R"(^[\s(]*(select|show|describe|desc|explain|use)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    return readOnly.match(sql).hasMatch();
}

quint64 TQuery::statementCount()
{
    return g_statements.load();
}

QString TQuery::quote(const QString& value)
{
    QSqlDatabase& db = m_connection.ensureOpen();
    QSqlField f(QStringLiteral("v"), QMetaType(QMetaType::QString));
    f.setValue(value.isNull() ? QStringLiteral("") : value);
    return db.driver()->formatValue(f);
}

bool TQuery::isValidIdent(const QString& name)
{
    // No ".": the server refuses it in a database name, and it would read as database.table.
    static const QRegularExpression re(QStringLiteral(R"(^[A-Za-z0-9_$()@]{1,64}$)"));
    return re.match(name).hasMatch();
}

QString TQuery::ident(const QString& name)
{
    if (!isValidIdent(name))
        throw EDatabaseError(QStringLiteral("Invalid database name \"%1\"").arg(name));
    return QLatin1Char('`') + name + QLatin1Char('`');
}

TField TQuery::field(const QString& column) const
{
    if (eof())
        return TField();
    int index = m_columns.indexOf(column);
    for (int i = 0; index < 0 && i < m_columns.size(); ++i) {
        if (m_columns.at(i).compare(column, Qt::CaseInsensitive) == 0)
            index = i;
    }
    if (index < 0)
        return TField();
    return cell(m_pos, index);
}

TField TQuery::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return TField();
    const Row& r = m_rows.at(row);
    return TField(r.values.at(column), r.nulls.at(column));
}

// ---------------------------------------------------------------------------------------------

TTransaction::TTransaction(TConnection& connection, Isolation isolation)
    : m_connection(connection)
{
    if (connection.inTransaction()) {
        m_joined = true;
        return;
    }
    TQuery q(connection, QStringLiteral("transaction"));
    // The level applies to the next transaction of the session only (the connection's other
    // statements keep the default), so both go to one session: a start that went on to another
    // server (a node that refused it) is undone there and both are sent again.
    for (int attempt = 0;; ++attempt) {
        q.exec(isolation == Isolation::ReadCommitted
                ? QStringLiteral("set transaction isolation level read committed")
                : QStringLiteral("set transaction isolation level repeatable read"));
        const quint64 session = connection.sessionNumber();
        q.exec(QStringLiteral("start transaction"));
        if (connection.sessionNumber() == session)
            break;
        q.exec(QStringLiteral("rollback"));
        if (attempt >= connection.serverCount())
            throw EDatabaseError(QStringLiteral("No database server kept the session for a transaction"));
    }
    connection.setTransactionState(TConnection::TransactionState::Open);
}

TTransaction::~TTransaction()
{
    if (m_joined) {
        if (!m_done && m_connection.transactionState() == TConnection::TransactionState::Open)
            m_connection.setTransactionState(TConnection::TransactionState::Failed);
        return;
    }
    if (!m_done)
        rollback();
}

void TTransaction::commit()
{
    if (m_done)
        return;
    if (m_joined) {
        m_done = true; // the transaction it joined commits
        return;
    }
    using State = TConnection::TransactionState;
    ++g_statements;
    if (m_connection.transactionState() == State::Failed)
        throw EDatabaseError(QStringLiteral("A statement of this transaction failed; it is rolled back"));
    if (m_connection.transactionState() == State::Lost || m_connection.closeIfDead())
        throw lostInTransaction(QStringLiteral("the server ended the session"));
    if (g_beforeNextCommit)
        std::exchange(g_beforeNextCommit, nullptr)();
    // what waits for the commit is done only when it is answered as done
    const std::vector<std::function<void()>> afterCommit = m_connection.takeAfterCommit();
    QSqlQuery q(m_connection.m_db);
    if (q.exec(QStringLiteral("commit"))) {
        m_connection.setTransactionState(State::None);
        m_done = true;
        for (const auto& action : afterCommit)
            action();
        return;
    }
    const QSqlError error = q.lastError();
    q = QSqlQuery();
    // A node that refused the commit did not run it: the session is given up, which undoes the
    // transaction, and it may run again on the next server.
    if (refusedByNode(error)) {
        m_connection.dropSession();
        throw lostInTransaction(serverMessage(error));
    }
    if (!isConnectionLost(error)) {
        m_connection.setTransactionState(State::Failed);
        throw EDatabaseError(serverMessage(error), serverCode(error));
    }
    // The commit may have reached the server before the connection broke.
    m_connection.setTransactionState(State::None);
    m_connection.dropSession();
    m_done = true;
    throw EDatabaseError(QStringLiteral("The connection to the database server was lost while a transaction was being "
                                        "committed; whether its changes were kept is not known (%1)")
                             .arg(serverMessage(error)),
        serverCode(error));
}

void TTransaction::rollback() noexcept
{
    const TConnection::TransactionState state = m_connection.transactionState();
    m_connection.setTransactionState(TConnection::TransactionState::None);
    m_connection.takeAfterCommit();
    m_done = true;
    if (state == TConnection::TransactionState::Lost || !m_connection.m_db.isOpen())
        return; // the server undid it when the session ended
    QSqlQuery q(m_connection.m_db);
    if (!q.exec(QStringLiteral("rollback"))) {
        // A session that may still hold the transaction is not used again: ending it undoes it.
        q = QSqlQuery();
        m_connection.close();
    }
}

bool TTransaction::mayRunAgain(const EDatabaseError& error, qint64 elapsedMs)
{
    return (error.serverCode() == kDeadlock || error.serverCode() == kLostTransaction)
        && elapsedMs < g_retryWindowMs.load();
}

qint64 TTransaction::setRetryWindowMs(qint64 ms)
{
    return g_retryWindowMs.exchange(ms);
}

QString TTransaction::lostCode()
{
    return kLostTransaction;
}

void TTransaction::waitBeforeAttempt(int attempt)
{
    ++g_retries;
    // half to all of 1, 2, 4 ... up to 256 ms: terminals that keep meeting spread out further
    const int ceiling = 1 << qMin(attempt - 2, 8);
    QThread::usleep(quint64(QRandomGenerator::global()->bounded(ceiling * 500, ceiling * 1000 + 1)));
}

quint64 TTransaction::retries()
{
    return g_retries.load();
}

void TTransaction::beforeNextCommit(std::function<void()> hook)
{
    g_beforeNextCommit = std::move(hook);
}

// ---------------------------------------------------------------------------------------------

TDm::TDm()
    : TDm(ConnectionSettings::fromRegistry())
{
}

#define POS_CONNECTION(name) name(tag, QStringLiteral(#name))
#define POS_QUERY(name, con) name(con, QStringLiteral(#name))

TDm::TDm(const ConnectionSettings& settings)
    : TDm(settings, nextInstanceTag())
{
}

TDm::TDm(const ConnectionSettings& settings, const QString& tag)
    : POS_CONNECTION(MyConlogin2)
    , POS_CONNECTION(MyConnection1)
    , POS_CONNECTION(MyConhomedelivery)
    , POS_CONNECTION(MyConLogin)
    , POS_CONNECTION(MyConPur)
    , POS_CONNECTION(MyConview)
    , POS_CONNECTION(MyConposorderitem)
    , POS_CONNECTION(MyConsalesdetails)
    , POS_CONNECTION(MyConCustdetails)
    , POS_CONNECTION(MyConItemdetails)
    , POS_CONNECTION(MyConnection2)
    , POS_QUERY(MyQLogin, MyConLogin)
    , POS_QUERY(MyQuery1, MyConnection1)
    , POS_QUERY(MyQposorderitem, MyConposorderitem)
    , POS_QUERY(MyQsalesdetails, MyConsalesdetails)
    , POS_QUERY(MyQCustdetails, MyConhomedelivery)
    , POS_QUERY(MyQhomedelivery, MyConPur)
    , POS_QUERY(MyQpayment, MyConPur)
    , POS_QUERY(MyQhome, MyConPur)
    , POS_QUERY(MyQVD, MyConPur)
    , POS_QUERY(MyQPur, MyConPur)
    , POS_QUERY(MyQview, MyConview)
    , POS_QUERY(MyQItemDetails, MyConItemdetails)
    , POS_QUERY(MyQCom, MyConItemdetails)
    , POS_QUERY(MyQuery2, MyConnection2)
    , POS_QUERY(MyQlogin2, MyConlogin2)
{
    // MyConnection1BeforeConnect: the catalogue connection always connects to "dbname".
    MyConnection1.beforeConnect = [](TConnection& c) { c.noteCurrentDatabase(QStringLiteral("dbname")); };
    applySettings(settings);
}

#undef POS_CONNECTION
#undef POS_QUERY

TDm::~TDm() = default;

QString TDm::nextInstanceTag()
{
    static std::atomic<int> counter { 0 };
    return QStringLiteral("TDm%1").arg(++counter);
}

QList<TConnection*> TDm::connections()
{
    return { &MyConlogin2, &MyConnection1, &MyConhomedelivery, &MyConLogin, &MyConPur, &MyConview, &MyConposorderitem,
        &MyConsalesdetails, &MyConCustdetails, &MyConItemdetails, &MyConnection2 };
}

void TDm::applySettings(const ConnectionSettings& settings)
{
    // one list for all: a server one connection found gone is not tried first by the others
    auto servers = std::make_shared<TServerList>();
    servers->servers = settings.serverList();
    for (TConnection* c : connections())
        c->setParams(settings.userName, settings.password, servers);
}

void TDm::setTimeouts(const ConnectionTimeouts& timeouts)
{
    for (TConnection* c : connections())
        c->setTimeouts(timeouts);
}

void TDm::setCompanyDatabase(const QString& database, bool includeItemMaster)
{
    QList<TConnection*> company { &MyConposorderitem, &MyConsalesdetails, &MyConCustdetails, &MyConhomedelivery,
        &MyConview, &MyConPur, &MyConItemdetails };
    if (includeItemMaster)
        company << &MyConnection2;
    // Every connection follows, even when one of them fails, so that none stays on the
    // previous company; the first failure is reported afterwards.
    std::optional<EDatabaseError> failure;
    for (TConnection* c : company) {
        try {
            c->setDatabaseName(database);
        } catch (const EDatabaseError& e) {
            if (!failure)
                failure = e;
        }
    }
    if (failure)
        throw *failure;
}
