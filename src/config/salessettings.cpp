#include "config/salessettings.h"

#include "db/datamodulepos.h"

QString salesSetting(TQuery& query, const QString& name)
{
    query.exec(QStringLiteral("select * from sales_settings where Name=") + query.quote(name));
    return query.text(QStringLiteral("value_"));
}
