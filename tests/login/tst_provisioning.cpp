#include "db/datamodulepos.h"
#include "db/schema.h"
#include "login/posloginpas.h"
#include "platform/clientrunner.h"
#include "platform/registry.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kPosKey = QStringLiteral("Software\\pos");
const QString kBootstrapDigest = QStringLiteral("26F2C8E1ADC4C09CDFDC7C6AD0E34692");

QString primaryKey(const QString& database, const QString& table)
{
    return TestServer::scalar(QStringLiteral("select group_concat(column_name order by ordinal_position) from "
                                             "information_schema.key_column_usage where constraint_name='PRIMARY' "
                                             "and table_schema='%1' and table_name='%2'")
                                  .arg(database, table));
}

int columnCount(const QString& database, const QString& table, const QString& column)
{
    return TestServer::count(QStringLiteral("select count(*) from information_schema.columns where table_schema='%1' "
                                            "and table_name='%2' and column_name='%3'")
                                 .arg(database, table, column));
}

QStringList tablesOf(const QString& database)
{
    const QString list = TestServer::scalar(QStringLiteral("select group_concat(table_name order by table_name) from "
                                                           "information_schema.tables where table_schema='%1'")
                                                .arg(database));
    return list.isEmpty() ? QStringList() : list.split(QLatin1Char(','));
}

int databaseCount()
{
    return TestServer::count(QStringLiteral("select count(*) from information_schema.schemata where schema_name in "
                                            "('dbname','general_stores','pcmac')"));
}

QString readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// PATH pointing at an empty folder for the lifetime of the object: no database client.
class NoClientOnPath {
public:
    NoClientOnPath()
        : m_old(qgetenv("PATH"))
    {
        qputenv("PATH", m_empty.path().toLocal8Bit());
    }
    ~NoClientOnPath() { qputenv("PATH", m_old); }

private:
    QByteArray m_old;
    QTemporaryDir m_empty;
};

// An account of the test server whose password the client's option file has to escape.
class TestAccount {
public:
    // databases: what the account may do everything in ("*" for all)
    explicit TestAccount(const QStringList& databases)
    {
        QString literal = password();
        literal.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
        QStringList statements { kDrop, QStringLiteral("create user %1 identified by '%2'").arg(kName, literal) };
        for (const QString& db : databases)
            statements << QStringLiteral("grant all privileges on %1.* to %2").arg(db, kName);
        TestServer::exec(statements);
    }
    ~TestAccount()
    {
        try {
            TestServer::exec({ kDrop });
        } catch (const std::exception&) {
        }
    }
    // a quote before a comment sign, escapes the client would read, and an apostrophe
    static QString password() { return QStringLiteral("p\"a#s\\s'w\\\"d"); }
    static ConnectionSettings settings()
    {
        ConnectionSettings s = TestServer::settings();
        s.userName = QStringLiteral("posprov");
        s.password = password();
        return s;
    }

private:
    const QString kName = QStringLiteral("'posprov'@'127.0.0.1'");
    const QString kDrop = QStringLiteral("drop user if exists 'posprov'@'127.0.0.1'");
};

// The database client on PATH, wrapped: each run notes the mode of the option file it is given
// (or "missing"), then runs the real client.
class RecordingClient {
public:
    RecordingClient()
        : m_old(qgetenv("PATH"))
        , m_log(m_dir.filePath(QStringLiteral("runs.log")))
    {
        const QString script
            = QStringLiteral("#!/bin/sh\nf=${1#--defaults-file=}\n"
                             "'%1' -c %a \"$f\" >>'%2' 2>/dev/null || echo missing >>'%2'\n"
                             "exec '%3' \"$@\"\n")
                  .arg(QStandardPaths::findExecutable(QStringLiteral("stat")), m_log, ClientRunner::findClient());
        QFile f(m_dir.filePath(QStringLiteral("mariadb")));
        if (!f.open(QIODevice::WriteOnly) || f.write(script.toUtf8()) < 0)
            qFatal("cannot write the wrapped client");
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", m_dir.path().toLocal8Bit());
    }
    ~RecordingClient() { qputenv("PATH", m_old); }
    QStringList runs() const { return readAll(m_log).split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

private:
    QByteArray m_old;
    QTemporaryDir m_dir;
    QString m_log;
};

// The program installed in a folder it cannot write to.
class ReadOnlyProgramPaths : public TestPaths {
public:
    ReadOnlyProgramPaths(const QString& root, const QString& program)
        : TestPaths(root)
        , m_program(program)
    {
    }
    QString programFolder() const override { return m_program; }

private:
    QString m_program;
};

} // namespace

class TstProvisioning : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void md5Text_data();
    void md5Text();
    void clientFailure_data();
    void clientFailure();
    void hungClientIsStopped();
    void commandLine_data();
    void commandLine();

    void createsCataloguesAndGeneralStores();
    void secondStartChangesNothing();
    void secondTerminalGetsItsOwnRow();
    void lastMatchingRowGivesTerminalId();
    void passwordStaysPrivate();
    void cleanUpRemovesGeneratedFiles();
    void batchFilesBesideAReadOnlyProgram_data();
    void batchFilesBesideAReadOnlyProgram();
    void failingClientSkipsNoOtherStep_data();
    void failingClientSkipsNoOtherStep();
    void missingClientOnEmptyServer();
    void missingClientWithExistingCatalogues();
};

void TstProvisioning::md5Text_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");
    QTest::newRow("empty") << QString() << QStringLiteral("D41D8CD98F00B204E9800998ECF8427E");
    QTest::newRow("a") << QStringLiteral("a") << QStringLiteral("0CC175B9C0F1B6A831C399E269772661");
    QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("900150983CD24FB0D6963F7D28E17F72");
    QTest::newRow("message digest") << QStringLiteral("message digest")
                                    << QStringLiteral("F96B697D7CB7938D525A2F31AAF161D0");
    QTest::newRow("alphabet") << QStringLiteral("abcdefghijklmnopqrstuvwxyz")
                              << QStringLiteral("C3FCD3D76192E4007DFB496CCA67E13B");
    QTest::newRow("bootstrap password") << QStringLiteral("qemol") << kBootstrapDigest;
    // one byte per character: a Latin-1 letter is hashed as its single byte 0xE9
    QTest::newRow("latin-1 letter") << QStringLiteral("\u00e9") << QStringLiteral("3406877694691DDD1DFB0ACA54681407");
}

void TstProvisioning::md5Text()
{
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(Md5Text(text), digest);
}

void TstProvisioning::clientFailure_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText");
    QTest::addColumn<QString>("failure"); // empty: the run counts as a success

    const QString dbExists
        = QStringLiteral("ERROR 1007 (HY000) at line 1: Can't create database 'dbname'; database exists");
    const QString tableExists = QStringLiteral("ERROR 1050 (42S01) at line 1: Table 'card_details' already exists");
    const QString denied
        = QStringLiteral("ERROR 1045 (28000): Access denied for user 'root'@'localhost' (using password: YES)");
    const QString syntax = QStringLiteral("ERROR 1064 (42000) at line 1: You have an error in your SQL syntax");

    QTest::newRow("clean run") << 0 << QString() << QString();
    QTest::newRow("warning only") << 0 << QStringLiteral("mariadb: [Warning] something") << QString();
    QTest::newRow("database exists") << 1 << dbExists << QString();
    QTest::newRow("tables exist") << 1 << (tableExists + QStringLiteral("\n") + tableExists) << QString();
    QTest::newRow("indexes exist") << 1
                                   << (tableExists
                                          + QStringLiteral("\nERROR 1061 (42000) at line 1: Duplicate key "
                                                           "name 'item_name'"))
                                   << QString();
    QTest::newRow("access denied") << 1 << denied << denied;
    QTest::newRow("server down") << 1
                                 << QStringLiteral("ERROR 2002 (HY000): Can't connect to server on '10.9.9.9' (115)")
                                 << QStringLiteral("ERROR 2002 (HY000): Can't connect to server on '10.9.9.9' (115)");
    QTest::newRow("script run to its end") << 0 << (tableExists + QStringLiteral("\n") + syntax) << syntax;
    QTest::newRow("syntax among existing tables")
        << 1 << (tableExists + QStringLiteral("\n") + syntax + QStringLiteral("\n") + tableExists) << syntax;
    QTest::newRow("bad option") << 7 << QStringLiteral("mariadb: unknown option '--bogus'\n")
                                << QStringLiteral("mariadb: unknown option '--bogus'");
    QTest::newRow("silent failure") << 1 << QString() << QStringLiteral("The database client ended with exit code 1");
    QTest::newRow("crash") << -1 << QStringLiteral("Process crashed") << QStringLiteral("Process crashed");
}

void TstProvisioning::clientFailure()
{
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    QFETCH(QString, failure);
    ClientRunner::Result r;
    r.started = true;
    r.exitCode = exitCode;
    r.errorText = stderrText;
    QCOMPARE(r.failureText(), failure);
}

void TstProvisioning::hungClientIsStopped()
{
    QElapsedTimer timer;
    timer.start();
    const ClientRunner::Result r = ClientRunner::run(QStringLiteral("sleep 20"), 1);
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(r.started);
    QCOMPARE(
        r.failureText(), QStringLiteral("The database client (sleep) did not finish within 1 seconds and was stopped"));
}

void TstProvisioning::commandLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("inputFile");

    QTest::newRow("statement with backticks and parentheses")
        << QStringLiteral("\"/usr/bin/mariadb\" --defaults-file=\"/d a/C/pos-client.cnf\" --force -h   "
                          "127.0.0.1   -e \"create database `SHOP(2)`\"")
        << QStringLiteral("/usr/bin/mariadb")
        << QStringList { QStringLiteral("--defaults-file=/d a/C/pos-client.cnf"), QStringLiteral("--force"),
               QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-e"),
               QStringLiteral("create database `SHOP(2)`") }
        << QString();
    QTest::newRow("quoted redirect") << QStringLiteral("\"/usr/bin/mariadb\" --force < \"/d a/C/new.sql\"")
                                     << QStringLiteral("/usr/bin/mariadb") << QStringList { QStringLiteral("--force") }
                                     << QStringLiteral("/d a/C/new.sql");
    QTest::newRow("plain redirect") << QStringLiteral("mariadb <x.sql") << QStringLiteral("mariadb") << QStringList()
                                    << QStringLiteral("x.sql");
    QTest::newRow("less-than inside a statement")
        << QStringLiteral("mariadb -e \"select 1 < 2\"") << QStringLiteral("mariadb")
        << QStringList { QStringLiteral("-e"), QStringLiteral("select 1 < 2") } << QString();
    QTest::newRow("empty prefix") << QStringLiteral("< \"/d/C/x.sql\"") << QString() << QStringList()
                                  << QStringLiteral("/d/C/x.sql");
}

void TstProvisioning::commandLine()
{
    QFETCH(QString, line);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, inputFile);
    const ClientRunner::CommandLine cl = ClientRunner::parse(line);
    QCOMPARE(cl.program, program);
    QCOMPARE(cl.arguments, arguments);
    QCOMPARE(cl.inputFile, inputFile);
}

void TstProvisioning::createsCataloguesAndGeneralStores()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    TDm dm;

    QCOMPARE(RunStartupProvisioning(dm), QString());
    QVERIFY(env.dialogs->messages.isEmpty());

    QCOMPARE(tablesOf(QStringLiteral("dbname")),
        (QStringList { QStringLiteral("dbname"), QStringLiteral("super_password") }));
    QCOMPARE(tablesOf(QStringLiteral("pcmac")), (QStringList { QStringLiteral("path_img"), QStringLiteral("pcmac") }));
    QStringList expected = Schema::tableNames();
    expected.sort();
    QCOMPARE(tablesOf(QStringLiteral("general_stores")), expected);

    // general_stores variant: no terminal column in the grids, keys without the terminal
    const QString gs = QStringLiteral("general_stores");
    QCOMPARE(columnCount(gs, QStringLiteral("tordergrid"), QStringLiteral("pcid")), 0);
    QCOMPARE(columnCount(gs, QStringLiteral("temp_ordergrid"), QStringLiteral("pcid")), 0);
    QCOMPARE(primaryKey(gs, QStringLiteral("sales_order")), QStringLiteral("sdate,billno"));
    QCOMPARE(primaryKey(gs, QStringLiteral("card_details")), QStringLiteral("billno,cardno"));
    QCOMPARE(primaryKey(gs, QStringLiteral("delivery")), QStringLiteral("sdate,billno"));
    QCOMPARE(primaryKey(gs, QStringLiteral("login")), QStringLiteral("username"));

    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from pcmac.pcmac")), 1);
    QCOMPARE(TestServer::scalar(QStringLiteral("select concat(mac,'|',Comp_name,'|',Role) from pcmac.pcmac")),
        QStringLiteral("0a1b2c3d4e5f|COUNTER1|Role"));

    TRegistry reg;
    QCOMPARE(reg.readString(kPosKey, QStringLiteral("User")), QStringLiteral("tavin"));
    QCOMPARE(reg.readString(kPosKey, QStringLiteral("Password")), kBootstrapDigest);
}

void TstProvisioning::secondStartChangesNothing()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    {
        TDm dm;
        QCOMPARE(RunStartupProvisioning(dm), QString());
    }
    const QString id = TestServer::scalar(QStringLiteral("select id from pcmac.pcmac"));
    // the bootstrap login on this terminal promoted it meanwhile; a row of the user table too
    TestServer::exec({ QStringLiteral("update pcmac.pcmac set Role='admin'"),
        QStringLiteral("insert into general_stores.login values('anna','pw','cashier','f')") });
    TRegistry().writeString(kPosKey, QStringLiteral("Password"), QStringLiteral("changed"));

    TDm dm;
    QCOMPARE(RunStartupProvisioning(dm), QString());
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from pcmac.pcmac")), 1);
    QCOMPARE(TestServer::scalar(QStringLiteral("select id from pcmac.pcmac")), id);
    QCOMPARE(TestServer::scalar(QStringLiteral("select Role from pcmac.pcmac")), QStringLiteral("admin"));
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from general_stores.login")), 1);
    QCOMPARE(TRegistry().readString(kPosKey, QStringLiteral("Password")), kBootstrapDigest);
    QCOMPARE(TerminalIdLookup(dm, QStringLiteral("0a1b2c3d4e5f")), id);
}

void TstProvisioning::secondTerminalGetsItsOwnRow()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    TDm dm;
    QCOMPARE(RunStartupProvisioning(dm), QString());

    env.machine->addresses = { QStringLiteral("112233445566"), QStringLiteral("0a1b2c3d4e5f") };
    env.machine->name = QStringLiteral("A-VERY-LONG-COMPUTER-NAME-OF-FORTY-CHARS");
    TDm second;
    QCOMPARE(RunStartupProvisioning(second), QString());

    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from pcmac.pcmac")), 2);
    const QString first = TerminalIdLookup(second, QStringLiteral("0a1b2c3d4e5f"));
    const QString other = TerminalIdLookup(second, QStringLiteral("112233445566"));
    QVERIFY(!first.isEmpty());
    QVERIFY(!other.isEmpty());
    QVERIFY(first != other);
    // the name is cut to the column's width instead of being refused
    QCOMPARE(TestServer::scalar(QStringLiteral("select Comp_name from pcmac.pcmac where mac='112233445566'")),
        QStringLiteral("A-VERY-LONG-COMPUTER-NAME-OF-F"));
    QCOMPARE(TerminalIdLookup(second, QStringLiteral("ffffffffffff")), QString());
}

void TstProvisioning::lastMatchingRowGivesTerminalId()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    TDm dm;
    QCOMPARE(RunStartupProvisioning(dm), QString());
    TestServer::exec({ QStringLiteral("insert into pcmac.pcmac(mac,comp_name,role) values('aaaaaaaaaaaa','X','Role')"),
        QStringLiteral("insert into pcmac.pcmac(mac,comp_name,role) values('0a1b2c3d4e5f','COUNTER1','Role')") });
    const QString last = TestServer::scalar(QStringLiteral("select max(id) from pcmac.pcmac"));
    QCOMPARE(TerminalIdLookup(dm, QStringLiteral("0a1b2c3d4e5f")), last);
}

void TstProvisioning::passwordStaysPrivate()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    const TestAccount account({ QStringLiteral("*") });
    TestAccount::settings().writeToRegistry();
    const QString password = TestAccount::password();
    RecordingClient client;
    TDm dm;
    // every client run logs in with the password as the option file gives it
    QCOMPARE(RunStartupProvisioning(dm), QString());
    QCOMPARE(tablesOf(QStringLiteral("general_stores")).size(), Schema::tableNames().size());
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from pcmac.pcmac")), 1);

    // the option file is the user's only, and only while a client runs
    QCOMPARE(client.runs(), QStringList(8, QStringLiteral("600")));
    const QString optionFile = ClientOptionFile();
    QVERIFY(!QFileInfo::exists(optionFile));

    const QString prefix = clientPrefix();
    QVERIFY(!prefix.isEmpty());
    QVERIFY(!prefix.contains(password));
    QVERIFY(prefix.contains(QStringLiteral("-h   127.0.0.1   ")));
    int written = 0;
    for (const QString& file : GeneratedFiles(true)) {
        if (!QFileInfo::exists(file))
            continue;
        ++written;
        const QString text = readAll(file);
        QVERIFY2(!text.contains(password), qPrintable(file));
        // what the client is started with: the arguments of the batch line
        if (file.endsWith(QLatin1String(".bat"))) {
            const ClientRunner::CommandLine cl = ClientRunner::parse(text.trimmed());
            QVERIFY(!cl.arguments.join(QLatin1Char(' ')).contains(password));
            QVERIFY(cl.arguments.contains(QStringLiteral("--defaults-file=") + optionFile));
        }
    }
    QCOMPARE(written, 10);
}

void TstProvisioning::cleanUpRemovesGeneratedFiles()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    TDm dm;
    QCOMPARE(RunStartupProvisioning(dm), QString());

    const QString program = services().paths().programFolder();
    const QStringList kept { program + QStringLiteral("/posdbmactable.bat"),
        program + QStringLiteral("/posdbmactable1.bat") };
    for (const QString& f : kept)
        QVERIFY(QFileInfo::exists(f));
    QVERIFY(QFileInfo::exists(ScriptPath(QStringLiteral("dbgentables1.sql"))));

    deletefiless(false);
    for (const QString& f : GeneratedFiles(false))
        QVERIFY2(!QFileInfo::exists(f), qPrintable(f));
    for (const QString& f : kept)
        QVERIFY(QFileInfo::exists(f));

    deletefiless(true);
    for (const QString& f : GeneratedFiles(true))
        QVERIFY2(!QFileInfo::exists(f), qPrintable(f));
}

void TstProvisioning::batchFilesBesideAReadOnlyProgram_data()
{
    QTest::addColumn<bool>("isFile"); // the program's path is a file (no folder to write in)
    QTest::addColumn<bool>("installed"); // a writable folder, with an installation's shared folder beside
    QTest::newRow("read-only folder") << false << false;
    QTest::newRow("not a folder") << true << false;
    QTest::newRow("installed") << false << true;
}

void TstProvisioning::batchFilesBesideAReadOnlyProgram()
{
    QFETCH(bool, isFile);
    QFETCH(bool, installed);
    TestEnvironment env;
    const QString program = env.root() + QStringLiteral("/usr-bin");
    if (isFile) {
        QFile f(program);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (installed) {
        QVERIFY(QDir().mkpath(program));
        QVERIFY(QDir().mkpath(env.root() + QStringLiteral("/share/pos")));
    } else {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(QDir().mkpath(program));
        QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    services().setPaths(std::make_unique<ReadOnlyProgramPaths>(env.root(), program));
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    TDm dm;

    QCOMPARE(RunStartupProvisioning(dm), QString());
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from pcmac.pcmac")), 1);
    QCOMPARE(TRegistry().readString(kPosKey, QStringLiteral("User")), QStringLiteral("tavin"));
    const QString data = services().paths().dataFolder();
    QCOMPARE(BatchFolder(), data);
    for (const char* name : { "posdbgenstrs.bat", "posdbgentables2.bat", "posdbmactable1.bat" })
        QVERIFY2(QFileInfo::exists(data + QLatin1Char('/') + QLatin1String(name)), name);

    deletefiless(true);
    for (const QString& f : GeneratedFiles(true))
        QVERIFY2(!QFileInfo::exists(f), qPrintable(f));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TstProvisioning::failingClientSkipsNoOtherStep_data()
{
    QTest::addColumn<QStringList>("granted"); // databases the account may do everything in
    QTest::addColumn<bool>("wrongPassword");
    QTest::addColumn<QString>("error"); // the one error reported
    QTest::addColumn<QStringList>("created");
    QTest::addColumn<bool>("registered"); // terminal row and bootstrap login written

    QTest::newRow("wrong password") << QStringList { QStringLiteral("*") } << true << QStringLiteral("ERROR 1045")
                                    << QStringList() << false;
    // every client run but the company catalogue's succeeds; registration needs no client
    QTest::newRow("no right to the company catalogue")
        << QStringList { QStringLiteral("general_stores"), QStringLiteral("pcmac") } << false
        << QStringLiteral("ERROR 1044") << QStringList { QStringLiteral("general_stores"), QStringLiteral("pcmac") }
        << true;
}

void TstProvisioning::failingClientSkipsNoOtherStep()
{
    QFETCH(QStringList, granted);
    QFETCH(bool, wrongPassword);
    QFETCH(QString, error);
    QFETCH(QStringList, created);
    QFETCH(bool, registered);
    TestEnvironment env;
    TestServer::dropAllDatabases();
    const TestAccount account(granted);
    ConnectionSettings settings = TestAccount::settings();
    if (wrongPassword)
        settings.password += QStringLiteral("x");
    settings.writeToRegistry();
    TDm dm;

    const QString reported = RunStartupProvisioning(dm);
    QVERIFY2(reported.startsWith(QStringLiteral("EDatabaseError error raised, with message : ") + error),
        qPrintable(reported));
    QCOMPARE(reported.count(QStringLiteral("ERROR")), 1);
    QVERIFY(env.dialogs->messages.isEmpty());
    const QString list = TestServer::scalar(QStringLiteral("select group_concat(schema_name order by schema_name) "
                                                           "from information_schema.schemata where schema_name in "
                                                           "('dbname','general_stores','pcmac')"));
    QCOMPARE(list.isEmpty() ? QStringList() : list.split(QLatin1Char(',')), created);
    if (registered) {
        QCOMPARE(tablesOf(QStringLiteral("general_stores")).size(), Schema::tableNames().size());
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from pcmac.pcmac")), 1);
    }
    QCOMPARE(TRegistry().readString(kPosKey, QStringLiteral("Password")), registered ? kBootstrapDigest : QString());
    QVERIFY(!QFileInfo::exists(ClientOptionFile()));
}

void TstProvisioning::missingClientOnEmptyServer()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    NoClientOnPath noClient;
    TDm dm;

    QCOMPARE(clientPrefix(), QString());
    const QString error = RunStartupProvisioning(dm);
    // registration finds no database to work in; the bootstrap login is not written
    QVERIFY2(error.startsWith(QStringLiteral("EDatabaseError error raised, with message : ")), qPrintable(error));
    QCOMPARE(databaseCount(), 0);
    QVERIFY(!QFileInfo::exists(ClientOptionFile()));
    QVERIFY(!TRegistry().valueExists(kPosKey, QStringLiteral("User")));
}

void TstProvisioning::missingClientWithExistingCatalogues()
{
    TestEnvironment env;
    TestServer::dropAllDatabases();
    TestServer::storeSettings();
    {
        TDm dm;
        QCOMPARE(RunStartupProvisioning(dm), QString());
    }
    deletefiless(true);
    TestServer::exec({ QStringLiteral("drop table general_stores.tax") });

    NoClientOnPath noClient;
    TDm dm;
    QCOMPARE(RunStartupProvisioning(dm), QString());
    // nothing created: the dropped table stays missing, no option file
    QCOMPARE(tablesOf(QStringLiteral("general_stores")).size(), 17);
    QVERIFY(!QFileInfo::exists(ClientOptionFile()));
    QCOMPARE(TestServer::count(QStringLiteral("select count(*) from pcmac.pcmac")), 1);
    QCOMPARE(TRegistry().readString(kPosKey, QStringLiteral("Password")), kBootstrapDigest);
}

QTEST_GUILESS_MAIN(TstProvisioning)
#include "tst_provisioning.moc"
