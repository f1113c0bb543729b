#include "sales/muenupospas.h"

#include "config/companylogo.h"
#include "db/datamodulepos.h"
#include "numbers/numbers.h"
#include "platform/latin1.h"

#include <QFileInfo>

QString LogoFile(const QString& folder, const QString& companyDb)
{
    return FindCompanyLogo(folder, companyDb, { S(".jpg"), S(".bmp"), S(".ico") });
}

QString UserRole(TDm& dm, const QString& userName)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select username,role from general_stores.login where username =") + q.quote(userName));
    return q.text(S("role")).trimmed();
}

void DropOpenOrder(TDm& dm, const QString& terminalId, const QString& billNo)
{
    // nothing on the counter yet (a screen never shown keeps its design texts)
    if (!Numbers::isInteger(terminalId) || !Numbers::isInteger(billNo))
        return;
    TQuery& q = dm.MyQposorderitem;
    q.exec(S("delete  from tordergrid where pcid=") + q.quote(terminalId) + S(" and  billno=") + q.quote(billNo));
}

void DropAbandonedDelivery(TDm& dm, const QString& thisTerminal, const QString& terminalId, const QString& billNo)
{
    if (terminalId != thisTerminal || !Numbers::isInteger(terminalId) || !Numbers::isInteger(billNo))
        return;
    TQuery& q = dm.MyQposorderitem;
    const QString b = q.quote(billNo);
    const QString t = q.quote(terminalId);
    q.exec(S("delete  from delivery where  billno=") + b + S(" and  pcid=") + t
        + S(" and not exists (select 1 from sales_order s where s.billno=") + b + S(" and s.pcid=") + t
        + S(" and coalesce(s.payment_status,'')<>'')"));
}

bool HeldBillInGrid(TDm& dm, const QString& terminalId, const QString& billNo)
{
    if (!Numbers::isInteger(terminalId) || !Numbers::isInteger(billNo))
        return false;
    TQuery& q = dm.MyQposorderitem;
    const QString b = q.quote(billNo);
    const QString t = q.quote(terminalId);
    q.exec(S("select billno from sales_order where billno=") + b + S(" and pcid=") + t
        + S(" and payment_status=\"Hold\" and exists (select 1 from tordergrid g where g.billno=") + b
        + S(" and g.pcid=") + t + S(")"));
    return !q.isEmpty();
}
