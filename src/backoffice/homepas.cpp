#include "backoffice/homepas.h"

#include "config/companylogo.h"
#include "db/datamodulepos.h"
#include "numbers/numbers.h"
#include "platform/latin1.h"

#include <QFileInfo>

namespace {

// A whole number of the ledger; NULL (or anything that is not one) counts as 0.
qint64 quantity(const TField& f)
{
    return f.isNull() || !Numbers::isInteger(f.asString()) ? 0 : Numbers::parseInt(f.asString());
}

} // namespace

QVector<DashboardLine> DashboardLines(TDm& dm)
{
    TQuery& q = dm.MyQhome;
    q.exec(S("select i.itemname,t.closing_stock cs,i.minimal min,d.closing_stock os from (SELECT itemcode, "
             "MAX(sdate) as maxdate FROM stock_details t GROUP BY itemcode ) r  INNER JOIN stock_details t ON "
             "t.itemcode = r.itemcode  AND t.sdate = r.Maxdate  INNER JOIN item i ON i.itemcode=t.itemcode "
             "LEFT JOIN itemdetails d ON d.itemcode=t.itemcode order by t.itemcode"));
    QVector<DashboardLine> lines;
    lines.reserve(q.recordCount());
    for (q.first(); !q.eof(); q.next()) {
        DashboardLine line;
        line.itemName = q.text(S("itemname")).toUpper();
        const TField closing = q.field(S("cs"));
        line.closingStock = closing.isNull() ? S("0") : closing.asString();
        line.openingStock = q.text(S("os"));
        line.low = quantity(closing) <= quantity(q.field(S("min")));
        lines.append(line);
    }
    return lines;
}

QString DayComment(TDm& dm, const QDate& day)
{
    TQuery& q = dm.MyQhome;
    q.exec(S("select scomment from comment where sdate=") + q.quote(day.toString(S("yyyy-MM-dd"))));
    return q.text(S("scomment"));
}

QString CompanyLogoFile(TDm& dm, const QString& companyDb)
{
    return FindCompanyLogo(LogoFolder(dm), companyDb, { S(".bmp"), S(".ico"), S(".jpg") });
}
