#include "testsupport.h"

#include "platform/errors.h"
#include "workbook/workbookprinter.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

TestPaths::TestPaths(const QString& root)
    : m_root(root)
{
    QDir().mkpath(settingsFolder());
    QDir().mkpath(dataFolder());
    QDir().mkpath(programFolder());
}

TestEnvironment::TestEnvironment()
{
    m_oldCwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    services().setPaths(std::make_unique<TestPaths>(m_dir.path()));
    auto c = std::make_unique<TestClock>();
    clock = c.get();
    services().setClock(std::move(c));
    auto m = std::make_unique<TestMachine>();
    machine = m.get();
    services().setMachine(std::move(m));
    auto d = std::make_unique<ScriptedDialogs>();
    dialogs = d.get();
    services().setDialogs(std::move(d));
    auto h = std::make_unique<TestHelp>();
    help = h.get();
    services().setHelp(std::move(h));
    // printouts become PDF files: a test never reaches a real printer
    setPrintTarget(PrintTarget::Pdf);
}

TestEnvironment::~TestEnvironment()
{
    QDir::setCurrent(m_oldCwd);
    services().setPaths(std::make_unique<SystemPaths>());
    services().setClock(std::make_unique<SystemClock>());
    services().setMachine(std::make_unique<SystemMachineIdentity>());
}

namespace TestServer {

namespace {

    QString serverDir()
    {
        const QString dir = qEnvironmentVariable("POS_TEST_SERVER_DIR");
        if (dir.isEmpty())
            qFatal("POS_TEST_SERVER_DIR is not set: run the tests through ctest");
        return dir;
    }

    QString readFile(const QString& name)
    {
        QFile f(serverDir() + QLatin1Char('/') + name);
        if (!f.open(QIODevice::ReadOnly))
            qFatal("test server file %s missing: is the dbserver fixture running?", qPrintable(f.fileName()));
        return QString::fromUtf8(f.readAll()).trimmed();
    }

    QSqlDatabase admin()
    {
        const QString name = QStringLiteral("test-admin");
        if (QSqlDatabase::contains(name))
            return QSqlDatabase::database(name);
        QSqlDatabase db = openDatabase(name);
        if (!db.isOpen())
            qFatal("cannot reach the test server: %s", qPrintable(db.lastError().text()));
        return db;
    }

} // namespace

ConnectionSettings settings()
{
    return { QStringLiteral("root"), readFile(QStringLiteral("password")), QStringLiteral("127.0.0.1"),
        readFile(QStringLiteral("port")) };
}

QSqlDatabase openDatabase(const QString& name, const ConnectionSettings& s)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), name);
    db.setHostName(s.server);
    db.setPort(s.port.toInt());
    db.setUserName(s.userName);
    db.setPassword(s.password);
    db.open();
    return db;
}

void storeSettings()
{
    settings().writeToRegistry();
}

void dropAllDatabases()
{
    QSqlQuery q(admin());
    q.exec(QStringLiteral("SHOW DATABASES"));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    static const QStringList system { QStringLiteral("mysql"), QStringLiteral("information_schema"),
        QStringLiteral("performance_schema"), QStringLiteral("sys") };
    for (const QString& n : names) {
        if (system.contains(n))
            continue;
        QSqlQuery drop(admin());
        if (!drop.exec(QStringLiteral("DROP DATABASE `%1`").arg(n)))
            qFatal("drop %s: %s", qPrintable(n), qPrintable(drop.lastError().text()));
    }
}

void exec(const QStringList& statements)
{
    for (const QString& s : statements) {
        QSqlQuery q(admin());
        if (!q.exec(s))
            throw EDatabaseError(q.lastError().databaseText() + QStringLiteral(" in: ") + s);
    }
}

QString scalar(const QString& sql)
{
    QSqlQuery q(admin());
    if (!q.exec(sql))
        throw EDatabaseError(q.lastError().databaseText() + QStringLiteral(" in: ") + sql);
    if (!q.next() || q.isNull(0))
        return QString();
    return asWritten(q.value(0).toString());
}

QString asWritten(const QString& text)
{
    // Exact decimals come back with the 20 places of their columns ("250.00000000000000000000"),
    // also inside a concatenation: compared as the program writes them ("250"). Text columns
    // keep what was written.
    static const QRegularExpression decimal(QStringLiteral(R"((?<![\d.])(-?\d+)\.(\d{20})(?![\d.]))"));
    QString out;
    qsizetype from = 0;
    for (auto it = decimal.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QString places = m.captured(2);
        while (places.endsWith(QLatin1Char('0')))
            places.chop(1);
        out += text.mid(from, m.capturedStart() - from) + m.captured(1);
        if (!places.isEmpty())
            out += QLatin1Char('.') + places;
        from = m.capturedEnd();
    }
    return out + text.mid(from);
}

int count(const QString& sql)
{
    return scalar(sql).toInt();
}

bool waitForLockWaits(int transactions)
{
    // A statement merely running is no proof of waiting: only the lock-wait state is. The server
    // refreshes the list it reads from only when it has not been read for a tenth of a second.
    const QString sql
        = QStringLiteral("select count(*) from information_schema.innodb_trx where trx_state='LOCK WAIT'");
    for (int i = 0; i < 100 && count(sql) < transactions; ++i)
        QThread::msleep(200);
    return count(sql) >= transactions;
}

} // namespace TestServer
