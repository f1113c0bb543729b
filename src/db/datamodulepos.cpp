#include "db/datamodulepos.h"

#include "platform/errors.h"
#include "platform/registry.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>

namespace {

const QString kDbKey = QStringLiteral("\\Software\\pos\\db");
std::atomic<quint64> g_statements { 0 };

QString serverMessage(const QSqlError& error)
{
    const QString text = error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

bool isConnectionLost(const QSqlError& error)
{
    // 2006: server has gone away, 2013: lost connection during query
    const QString code = error.nativeErrorCode();
    return code == QLatin1String("2006") || code == QLatin1String("2013");
}

} // namespace

ConnectionSettings ConnectionSettings::fromRegistry()
{
    TRegistry reg;
    reg.createKey(kDbKey);
    return { reg.readString(kDbKey, QStringLiteral("User_name")), reg.readString(kDbKey, QStringLiteral("password")),
        reg.readString(kDbKey, QStringLiteral("server")), reg.readString(kDbKey, QStringLiteral("port")) };
}

void ConnectionSettings::writeToRegistry() const
{
    TRegistry reg;
    reg.writeString(kDbKey, QStringLiteral("User_name"), userName);
    reg.writeString(kDbKey, QStringLiteral("password"), password);
    reg.writeString(kDbKey, QStringLiteral("server"), server);
    reg.writeString(kDbKey, QStringLiteral("port"), port);
}

// ---------------------------------------------------------------------------------------------

TConnection::TConnection(const QString& instanceTag, const QString& name)
    : m_name(name)
    , m_qtName(instanceTag + QLatin1Char('/') + name)
    , m_database(QStringLiteral("general_stores"))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), m_qtName);
    m_db.setDatabaseName(m_database);
}

TConnection::~TConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_qtName);
}

void TConnection::setParams(const QString& user, const QString& password, const QString& server, int port)
{
    m_db.setUserName(user);
    m_db.setPassword(password);
    m_db.setHostName(server);
    m_db.setPort(port);
}

void TConnection::setDatabaseName(const QString& database)
{
    m_database = database;
    if (!m_db.isOpen() || database.isEmpty())
        return;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("USE ") + TQuery::ident(database)))
        throw EDatabaseError(serverMessage(q.lastError()));
}

bool TConnection::isOpen() const
{
    return m_db.isOpen();
}

QSqlDatabase& TConnection::ensureOpen()
{
    if (m_db.isOpen())
        return m_db;
    if (beforeConnect)
        beforeConnect(*this);
    // An empty database name (no company chosen yet) connects without a current database.
    m_db.setDatabaseName(m_database);
    if (!m_db.open())
        throw EDatabaseError(serverMessage(m_db.lastError()));
    return m_db;
}

void TConnection::close()
{
    m_db.close();
}

void TConnection::reconnect()
{
    m_db.close();
    ensureOpen();
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
    QSqlDatabase& db = m_connection.ensureOpen();
    QSqlQuery q(db);
    // Numbers come back as the server's own text, not through a double.
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    q.setForwardOnly(true);
    if (!q.exec(sql)) {
        if (!isConnectionLost(q.lastError()))
            throw EDatabaseError(serverMessage(q.lastError()));
        m_connection.reconnect();
        q = QSqlQuery(m_connection.ensureOpen());
        q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        q.setForwardOnly(true);
        if (!q.exec(sql))
            throw EDatabaseError(serverMessage(q.lastError()));
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
    for (int i = 0; i < rec.count(); ++i)
        m_columns.append(rec.fieldName(i));
    while (q.next()) {
        Row row;
        row.values.reserve(rec.count());
        row.nulls.reserve(rec.count());
        for (int i = 0; i < rec.count(); ++i) {
            const bool null = q.isNull(i);
            row.nulls.append(null);
            row.values.append(null ? QString() : q.value(i).toString());
        }
        m_rows.append(std::move(row));
    }
    m_rowsAffected = int(m_rows.size());
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
    static const QRegularExpression re(QStringLiteral(R"(^[A-Za-z0-9_$()@.]{1,64}$)"));
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
    const int port = settings.port.trimmed().isEmpty() ? 3306 : settings.port.toInt();
    for (TConnection* c : connections())
        c->setParams(settings.userName, settings.password, settings.server, port);
}

void TDm::setCompanyDatabase(const QString& database, bool includeItemMaster)
{
    for (TConnection* c : { &MyConposorderitem, &MyConsalesdetails, &MyConCustdetails, &MyConhomedelivery, &MyConview,
             &MyConPur, &MyConItemdetails })
        c->setDatabaseName(database);
    if (includeItemMaster)
        MyConnection2.setDatabaseName(database);
}
