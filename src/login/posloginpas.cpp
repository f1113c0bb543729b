#include "login/posloginpas.h"

#include "db/datamodulepos.h"
#include "db/schema.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/services.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

namespace {

const QString kPosKey = QStringLiteral("Software\\pos");

// Column widths of pcmac.pcmac: the server refuses longer values in strict mode.
constexpr int kCompNameWidth = 30;

// A value of an option file: quoted, with the escapes the client understands.
QString optionValue(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            out += c;
        }
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

// Seconds the client waits for the server to answer a connection; without it an unreachable
// server holds every client run of the start-up for the system's TCP timeout.
constexpr int kClientConnectTimeout = 10;

void writeOptionFile(const QString& path, const ConnectionSettings& settings)
{
    QString text = QStringLiteral("[client]\n");
    if (!settings.userName.isEmpty())
        text += QStringLiteral("user=") + optionValue(settings.userName) + QLatin1Char('\n');
    text += QStringLiteral("password=") + optionValue(settings.password) + QLatin1Char('\n');
    bool ok = false;
    const int port = settings.port.trimmed().toInt(&ok);
    if (ok && port > 0)
        text += QStringLiteral("port=%1\n").arg(port);
    text += QStringLiteral("connect-timeout=%1\n").arg(kClientConnectTimeout);

    // Created afresh, private from the first byte on.
    QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw EOSError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    const QByteArray bytes = text.toUtf8();
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written) {
        QFile::remove(path);
        throw EOSError(QStringLiteral("Cannot write \"%1\"").arg(path));
    }
}

void ensureFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        throw EOSError(QStringLiteral("Cannot create the folder \"%1\"").arg(folder));
}

// The option file holds the password: it exists only while a client runs.
class OptionFileDuringRun {
public:
    OptionFileDuringRun()
    {
        ensureFolder(ScriptFolder());
        writeOptionFile(ClientOptionFile(), ConnectionSettings::fromRegistry());
    }
    ~OptionFileDuringRun() { QFile::remove(ClientOptionFile()); }
    OptionFileDuringRun(const OptionFileDuringRun&) = delete;
    OptionFileDuringRun& operator=(const OptionFileDuringRun&) = delete;
};

QString createDatabaseCommand(const QString& prefix, const QString& database)
{
    return prefix + QStringLiteral("-e \"create database ") + TQuery::ident(database) + QLatin1Char('"');
}

QString redirectCommand(const QString& prefix, const QString& scriptPath)
{
    return prefix + QStringLiteral("< \"") + scriptPath + QLatin1Char('"');
}

void registerTerminal(TDm& dm, const QString& address, const QString& computerName)
{
    TQuery& q = dm.MyQposorderitem;
    q.exec(QStringLiteral("use pcmac"));
    q.exec(QStringLiteral("select * from pcmac.pcmac where mac=") + q.quote(address));
    if (!q.isEmpty())
        return;
    TQuery& ins = dm.MyQhomedelivery;
    ins.exec(QStringLiteral("insert into pcmac.pcmac(mac,comp_name,role) values(") + ins.quote(address)
        + QLatin1Char(',') + ins.quote(computerName.left(kCompNameWidth)) + QLatin1Char(',')
        + ins.quote(QStringLiteral("Role")) + QLatin1Char(')'));
}

} // namespace

QString Md5Text(const QString& text)
{
    // One byte per character; a text beyond Latin-1 goes as UTF-8 rather than as '?'.
    const bool latin1 = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 256; });
    const QByteArray bytes = latin1 ? text.toLatin1() : text.toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex().toUpper());
}

QString Macaddress()
{
    const QStringList addresses = services().machine().adapterAddresses();
    if (addresses.isEmpty())
        throw EOSError(QStringLiteral("No Ethernet adapter found"));
    return addresses.first();
}

QString ComputerName()
{
    return services().machine().computerName().left(256);
}

QString ScriptFolder()
{
    return services().paths().dataFolder() + QStringLiteral("/C");
}

QString ScriptPath(const QString& fileName)
{
    return ScriptFolder() + QLatin1Char('/') + fileName;
}

QString BatchFolder()
{
    return ProgramFolderTakesFiles() ? services().paths().programFolder() : services().paths().dataFolder();
}

QString ProgramPath(const QString& fileName)
{
    return BatchFolder() + QLatin1Char('/') + fileName;
}

QString ClientOptionFile()
{
    return ScriptPath(QStringLiteral("pos-client.cnf"));
}

QString clientPrefix()
{
    const QString client = ClientRunner::findClient();
    if (client.isEmpty())
        return QString();
    const ConnectionSettings settings = ConnectionSettings::fromRegistry();
    const QString server = settings.server.trimmed();
    // The server travels on the command line: a host name or address, nothing else.
    static const QRegularExpression hostText(QStringLiteral(R"(^[A-Za-z0-9._:\-]*$)"));
    if (!hostText.match(server).hasMatch())
        throw EDatabaseError(QStringLiteral("Invalid server address \"%1\"").arg(server));

    // The option file must be the client's first option.
    QString prefix = QLatin1Char('"') + client + QStringLiteral("\" --defaults-file=\"") + ClientOptionFile()
        + QStringLiteral("\" --force ");
    if (!server.isEmpty())
        prefix += QStringLiteral("-h   ") + server + QStringLiteral("   ");
    return prefix;
}

ClientRunner::Result ExecCmdLineAndWait(const QString& commandLine)
{
    return ClientRunner::run(commandLine);
}

void WriteCommandFile(const QString& path, const QString& line)
{
    ensureFolder(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        throw EOSError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
    file.write(line.toUtf8());
    file.write("\n");
    if (!file.flush())
        throw EOSError(QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString()));
}

void RunClientCommand(const QString& prefix, const QString& commandLine)
{
    if (prefix.isEmpty())
        return;
    ClientRunner::Result result;
    {
        const OptionFileDuringRun optionFile;
        result = ExecCmdLineAndWait(commandLine);
    }
    if (!result.started)
        throw EOSError(result.errorText);
    const QString failure = result.failureText();
    if (!failure.isEmpty())
        throw EDatabaseError(failure);
}

void RunBatchFile(const QString& prefix, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw EOSError(QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()));
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    RunClientCommand(prefix, line);
}

QString RunStartupProvisioning(TDm& dm)
{
    QString firstError;
    const auto remember = [&firstError](const std::exception& e) {
        if (firstError.isEmpty())
            firstError = errorClassName(e) + QStringLiteral(" error raised, with message : ") + errorMessage(e);
    };
    try {
        // 1. prefix
        const QString prefix = clientPrefix();
        // A failed client run is reported once, at the end, and the steps go on: registering the
        // terminal and the bootstrap login do not need the client. Any other error stops the
        // remaining steps.
        const auto runClient = [&](const QString& commandLine) {
            try {
                RunClientCommand(prefix, commandLine);
            } catch (const std::exception& e) {
                remember(e);
            }
        };
        const auto writeAndRunBatch = [&](const QString& batchName, const QString& scriptPath) {
            const QString batch = ProgramPath(batchName);
            WriteCommandFile(batch, redirectCommand(prefix, scriptPath));
            try {
                RunBatchFile(prefix, batch);
            } catch (const std::exception& e) {
                remember(e);
            }
        };
        // 2. catalogue of companies
        runClient(createDatabaseCommand(prefix, QStringLiteral("dbname")));
        // 3. its table; the statement goes on the command line
        const QString dbnameTable = Schema::dbnameTableStatement();
        WriteCommandFile(ScriptPath(QStringLiteral("dbctable.sql")), dbnameTable);
        runClient(prefix + QStringLiteral("-e \"") + dbnameTable + QLatin1Char('"'));
        // 4. general_stores
        const QString createGeneral = createDatabaseCommand(prefix, QStringLiteral("general_stores"));
        WriteCommandFile(ProgramPath(QStringLiteral("posdbgenstrs.bat")), createGeneral);
        runClient(createGeneral);
        // 5.-6. its tables in two scripts
        const QString script1 = ScriptPath(QStringLiteral("dbgentables1.sql"));
        const QString script2 = ScriptPath(QStringLiteral("dbgentables2.sql"));
        WriteCommandFile(script1, Schema::generalStoresScript1());
        WriteCommandFile(script2, Schema::generalStoresScript2());
        writeAndRunBatch(QStringLiteral("posdbgentables1.bat"), script1);
        writeAndRunBatch(QStringLiteral("posdbgentables2.bat"), script2);
        // the shop's super-password beside the companies (on the users' connection, which needs
        // general_stores)
        try {
            dm.MyQLogin.exec(Schema::superPasswordTableStatement());
        } catch (const std::exception& e) {
            remember(e);
        }
        // 7. this terminal
        const QString address = Macaddress();
        const QString computerName = ComputerName();
        // 8.-9. terminal catalogue and logo path
        runClient(createDatabaseCommand(prefix, QStringLiteral("pcmac")));
        const QString macScript = ScriptPath(QStringLiteral("dbmactable.sql"));
        WriteCommandFile(macScript, Schema::pcmacTableStatement());
        writeAndRunBatch(QStringLiteral("posdbmactable.bat"), macScript);
        const QString imgScript = ScriptPath(QStringLiteral("dbmactable1.sql"));
        WriteCommandFile(imgScript, Schema::pathImgTableStatement());
        writeAndRunBatch(QStringLiteral("posdbmactable1.bat"), imgScript);
        // 10. registration, once per adapter address
        registerTerminal(dm, address, computerName);
        // 11. bootstrap login
        TRegistry reg;
        reg.createKey(kPosKey);
        reg.writeString(kPosKey, QStringLiteral("User"), QStringLiteral("tavin"));
        reg.writeString(kPosKey, QStringLiteral("Password"), Md5Text(QStringLiteral("qemol")));
    } catch (const std::exception& e) {
        remember(e);
    }
    return firstError;
}

QString TerminalIdLookup(TDm& dm, const QString& address)
{
    TQuery& q = dm.MyQpayment;
    q.exec(QStringLiteral("select * from pcmac.pcmac"));
    QString id;
    // The server matched the address without regard to case when it registered it.
    for (q.first(); !q.eof(); q.next()) {
        if (q.text(QStringLiteral("mac")).compare(address, Qt::CaseInsensitive) == 0)
            id = q.text(QStringLiteral("id"));
    }
    return id;
}

QStringList GeneratedFiles(bool all)
{
    // Batch files lie in the batch folder and scripts in the script folder, where they were
    // written; the option file is listed for a client run that never came back.
    QStringList files;
    for (const char* name :
        { "pos.bat", "posdbgenstrs.bat", "posback.bat", "posdbgentables1.bat", "posdbgentables2.bat" })
        files << ProgramPath(QString::fromLatin1(name));
    for (const char* name :
        { "dbgentables1.sql", "dbgentables2.sql", "new.sql", "dbctable.sql", "dbmactable.sql", "dbmactable1.sql" })
        files << ScriptPath(QString::fromLatin1(name));
    if (all) {
        files << ScriptPath(QStringLiteral("posdbmactable.bat")) << ScriptPath(QStringLiteral("posdbmactable1.bat"))
              << ProgramPath(QStringLiteral("posdbmactable.bat")) << ProgramPath(QStringLiteral("posdbmactable1.bat"));
    }
    files << ClientOptionFile();
    return files;
}

void deletefiless(bool all)
{
    for (const QString& file : GeneratedFiles(all))
        QFile::remove(file);
}
