#include "bills/viewbilldetailspas.h"

#include "db/datamodulepos.h"
#include "numbers/numbers.h"
#include "platform/latin1.h"

TQuery& RunBillReport(TDm& dm, const BillReportFilter& f)
{
    TQuery& q = dm.MyQview;
    QStringList types;
    if (f.cash)
        types << S("p.payment_type=") + q.quote(S("cash"));
    if (f.card)
        types << S("p.payment_type=") + q.quote(S("card"));
    if (f.cheque)
        types << S("p.payment_type=") + q.quote(S("cheque"));
    const QString delivery = f.homeDelivery ? S("Home Delivery") : S("Take Away");
    QString sql = S("select DATE_FORMAT(p.sdate, \"%d-%m-%Y\") as sdate,p.stime,CONCAT(CAST(s.pcid AS CHAR), \"/\", "
                    "CAST(s.billno AS CHAR)) AS BILLNUM,customerid,total,p.amount_paid,s.balance,p.payment_type,"
                    "payment_status,delivery from sales_order s,payment_details p where delivery=")
        + q.quote(delivery) + S("  and s.sdate>=") + q.quote(f.from.toString(S("yyyy-MM-dd"))) + S(" and s.sdate<=")
        + q.quote(f.to.toString(S("yyyy-MM-dd"))) + S("  and p.billno=s.billno and p.pcid=s.pcid ");
    if (!types.isEmpty())
        sql += S("and (") + types.join(S(" or ")) + S(") ");
    // the bills in date order, each bill's payments together
    sql += S("order by s.sdate,s.pcid,s.billno,p.sdate,p.stime");
    q.exec(sql);
    return q;
}

QString BillReportTotal(TQuery& report)
{
    Numbers::Value sum = 0;
    for (report.first(); !report.eof(); report.next())
        sum += Numbers::parseOrZero(report.text(S("amount_paid")).trimmed());
    report.first();
    return Numbers::general(sum);
}
