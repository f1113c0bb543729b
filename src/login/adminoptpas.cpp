#include "login/adminoptpas.h"

#include "db/datamodulepos.h"
#include "db/schema.h"
#include "log/U_LogBook.h"
#include "login/posloginpas.h"
#include "platform/errors.h"
#include "platform/registry.h"

#include <QThread>

namespace {

// Width of dbname.cname.
constexpr int kCompanyNameWidth = 30;

QString settingsRow(TQuery& q, const QString& database, const QString& name, const QString& value)
{
    return QStringLiteral("insert into ") + database + QStringLiteral(".sales_settings values (") + q.quote(name)
        + QLatin1Char(',') + q.quote(value) + QLatin1Char(')');
}

} // namespace

QList<QPair<QString, QString>> InitialCompanySettings()
{
    return {
        { QStringLiteral("rate"), QStringLiteral("100000") },
        { QStringLiteral("minimal"), QStringLiteral("5") },
        { QStringLiteral("purchase"), QStringLiteral("10000") },
        { QStringLiteral("quantity"), QStringLiteral("1000") },
        { QStringLiteral("hold limit"), QStringLiteral("30") },
        { QStringLiteral("minimal value"), QStringLiteral("1") },
        { QStringLiteral("Part payment days"), QStringLiteral("30") },
        { QStringLiteral("Round Off"), QStringLiteral("2") },
        { QStringLiteral("Round amount"), QStringLiteral("not checked") },
    };
}

QList<QPair<QString, QString>> InitialCompanyRegistryValues()
{
    return {
        { QStringLiteral("rate"), QStringLiteral("100000") },
        { QStringLiteral("minimal"), QStringLiteral("10000") },
        { QStringLiteral("purchase"), QStringLiteral("10000") },
        { QStringLiteral("quantity"), QStringLiteral("100000") },
        { QStringLiteral("hold limit"), QStringLiteral("30") },
        { QStringLiteral("minimal value"), QStringLiteral("0.10") },
    };
}

QString CompanySettingsKey(const QString& company)
{
    return QStringLiteral("Software\\pos\\") + company + QStringLiteral("_settings");
}

void AddCompanyDatabase(TDm& dm, const QString& company, QString* terminalId)
{
    if (!TQuery::isValidIdent(company) || company.size() > kCompanyNameWidth)
        throw EDatabaseError(QStringLiteral("Invalid company name \"%1\"").arg(company));
    const QString database = TQuery::ident(company);

    const QString prefix = clientPrefix();
    // Without a client the database cannot be made, and a catalogue row for a missing
    // database would break the start-of-day maintenance at every start.
    if (prefix.isEmpty())
        throw EDatabaseError(QStringLiteral("No database client found: company \"%1\" cannot be created").arg(company));

    QString typedName = company;
    LogWrite(
        QStringLiteral("Company ") + typedName.replace(QLatin1Char('_'), QLatin1Char(' ')) + QStringLiteral(" added"),
        1);

    const QString posBat = ProgramPath(QStringLiteral("pos.bat"));
    WriteCommandFile(posBat, prefix + QStringLiteral("-e \"create database ") + database + QLatin1Char('"'));
    RunBatchFile(prefix, posBat);

    const QString script = ScriptPath(QStringLiteral("new.sql"));
    WriteCommandFile(script, Schema::companyScript(company));
    const QString backBat = ProgramPath(QStringLiteral("posback.bat"));
    WriteCommandFile(backBat, prefix + QStringLiteral("< \"") + script + QLatin1Char('"'));
    RunBatchFile(prefix, backBat);

    TQuery& catalogue = dm.MyQuery1;
    catalogue.exec(QStringLiteral("insert into dbname values(") + catalogue.quote(company) + QLatin1Char(')'));

    QThread::msleep(1000);

    TQuery& q = dm.MyQpayment;
    for (const auto& [name, value] : InitialCompanySettings())
        q.exec(settingsRow(q, database, name, value));

    TRegistry reg;
    const QString key = CompanySettingsKey(company);
    reg.createKey(key);

    QThread::msleep(100);
    const QString id = TerminalIdLookup(dm, Macaddress());
    if (terminalId)
        *terminalId = id;

    for (const auto& [name, value] : InitialCompanyRegistryValues())
        reg.writeString(key, name, value);
}
