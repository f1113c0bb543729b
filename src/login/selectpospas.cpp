#include "login/selectpospas.h"

#include "db/datamodulepos.h"

CompanyChoice MakeCompanyChoice(const QString& listedName)
{
    CompanyChoice c;
    c.name = listedName;
    c.database = QString(listedName).replace(QLatin1Char(' '), QLatin1Char('_'));
    c.settingsKey = QStringLiteral("Software\\pos\\") + listedName.toUpper() + QStringLiteral("_settings");
    c.settingsKey.replace(QLatin1Char(' '), QLatin1Char('_'));
    return c;
}

QStringList CompanyList(TDm& dm)
{
    TQuery& q = dm.MyQuery1;
    q.exec(QStringLiteral("select cname from dbname"));
    QStringList names;
    for (q.first(); !q.eof(); q.next())
        names << q.text(QStringLiteral("cname")).replace(QLatin1Char('_'), QLatin1Char(' ')).toUpper();
    return names;
}
