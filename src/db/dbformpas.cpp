#include "db/dbformpas.h"

#include "platform/registry.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <atomic>

bool MyFunction()
{
    TRegistry reg;
    const QString key = QStringLiteral("\\Software\\pos\\db");
    return !reg.keyExists(key) || reg.readString(key, QStringLiteral("User_name")).isEmpty();
}

bool PortKeyAllowed(QChar key)
{
    return key == QLatin1Char('\b') || (key >= QLatin1Char('0') && key <= QLatin1Char('9'));
}

bool PortTooLarge(const QString& text)
{
    if (text.isEmpty())
        return false;
    // Any run of digits longer than five is above 65535 too.
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    return !ok || v > 65535;
}

QString ServerListError(const QString& list)
{
    QString line;
    const int number = ConnectionSettings::badServerLine(list, &line);
    if (number == 0)
        return QString();
    return QStringLiteral("Further servers, line %1: \"%2\" is not a server as host:port (a port from 1 to 65535)")
        .arg(number)
        .arg(line);
}

ConnectOutcome TryAndStoreConnection(const ConnectionSettings& s, QString* error)
{
    if (s.userName.isEmpty() || s.password.isEmpty() || s.server.isEmpty() || s.server == QLatin1String("0.0.0.0")
        || s.port.isEmpty())
        return ConnectOutcome::Incomplete;
    if (const QString refusal = ServerListError(s.servers); !refusal.isEmpty()) {
        if (error)
            *error = refusal;
        return ConnectOutcome::BadServerList;
    }

    static std::atomic<int> counter { 0 };
    const QString name = QStringLiteral("dbform-test-%1").arg(++counter);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
        db.setHostName(s.server);
        db.setUserName(s.userName);
        db.setPassword(s.password);
        db.setPort(s.port.toInt());
        db.setConnectOptions(QStringLiteral("MYSQL_OPT_CONNECT_TIMEOUT=10"));
        ok = db.open();
        if (!ok && error)
            *error = db.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok)
        return ConnectOutcome::Failed;
    s.writeToRegistry();
    return ConnectOutcome::Connected;
}
