#include "bills/old_billpas.h"

#include "config/formatsettings.h"
#include "db/datamodulepos.h"
#include "numbers/numbers.h"
#include "platform/latin1.h"

#include <QRegularExpression>

namespace {

// The head of every bills-list statement: completed bills with their customers' names.
const char* const kHead = "select s.customerid,CONCAT(CAST(s.pcid AS CHAR), \"/\", CAST(s.billno AS CHAR)) AS BILLNUM,"
                          "c.customer_name from sales_order s left join customer_details c on "
                          "s.customerid=c.customerid  where payment_status=\"Complete\"";
const char* const kOrder = " order by s.sdate,s.pcid,s.billno";

QString dateRange(TQuery& q, const QDate& from, const QDate& to)
{
    return S(" and s.sdate>=") + q.quote(from.toString(Qt::ISODate)) + S(" and s.sdate<=")
        + q.quote(to.toString(Qt::ISODate));
}

// What LIKE reads literally: its own wildcards escaped.
QString likeLiteral(QString text)
{
    return text.replace(QLatin1Char('\\'), S("\\\\"))
        .replace(QLatin1Char('%'), S("\\%"))
        .replace(QLatin1Char('_'), S("\\_"));
}

// A bill time as the bill shows it: "10.05.09.120" as the long time format gives it.
QString billTime(const QString& stored)
{
    const QTime t = QTime::fromString(stored.trimmed(), S("HH.mm.ss.zzz"));
    if (t.isValid())
        return timeToStr(t);
    return stored.left(8).replace(QLatin1Char('.'), formatSettings().timeSeparator);
}

} // namespace

TQuery& OldBillsQuery(TDm& dm)
{
    return dm.MyQCustdetails;
}

void ListCompletedBills(TDm& dm)
{
    OldBillsQuery(dm).exec(S(kHead) + S(" ") + S(kOrder));
}

QString SearchOldBills(TDm& dm, const OldBillSearch& search)
{
    TQuery& q = OldBillsQuery(dm);
    QString sql = S(kHead);
    if (search.byBillKey) {
        if (!search.billKey.isEmpty()) {
            // a key is a terminal id and a bill number, nothing before, between or after them
            static const QRegularExpression wholeKey(S("^([0-9]+)/([0-9]+)$"));
            const QRegularExpressionMatch key = wholeKey.match(search.billKey);
            if (!key.hasMatch())
                return S("Please enter correct bill number");
            BillKey bill;
            bill.terminalId = key.captured(1);
            bill.billNo = key.captured(2);
            sql += S("  and s.billno=") + q.quote(bill.billNo) + S(" and s.pcid=") + q.quote(bill.terminalId);
        } else {
            sql += S(" ");
        }
    } else {
        const bool name = !search.customerName.isEmpty();
        const bool id = !search.customerId.isEmpty();
        if (name && id)
            sql += S("  and customer_name =") + q.quote(search.customerName) + S(" and s.customerid=")
                + q.quote(search.customerId);
        else if (name)
            sql += S("  and customer_name like ") + q.quote(S("%") + likeLiteral(search.customerName) + S("%"));
        else if (id)
            sql += S("  and  s.customerid=") + q.quote(search.customerId);
        sql += dateRange(q, search.from, search.to);
    }
    q.exec(sql + S(kOrder));
    return {};
}

TQuery& OldBillLines(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select itemname,rate,quantity,price,itax,isubtotal,discount,total from temp_ordergrid")
        + BillWhere(q, bill) + S(" order by id"));
    return q;
}

QDate FirstBillDate(TDm& dm)
{
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select * from sales_order where billno=1 and pcid=1"));
    return QDate::fromString(q.text(S("sdate")), Qt::ISODate);
}

BillSheet ReadDuplicateBill(TDm& dm, const BillKey& bill, const QString& company)
{
    TQuery& q = dm.MyQsalesdetails;
    BillSheet b;
    b.duplicate = true;
    b.company = billCompanyName(company);
    b.terminalId = bill.terminalId;
    b.billNo = bill.billNo;

    // the bill's own lines, the figures its sub total adds up
    q.exec(S("select itemname,rate,quantity,price,itax,isubtotal,discount,total from temp_ordergrid")
        + BillWhere(q, bill) + S(" order by id"));
    Numbers::Value subTotal = 0;
    for (q.first(); !q.eof(); q.next()) {
        b.lines.append({ q.text(S("itemname")), q.text(S("rate")), q.text(S("quantity")), q.text(S("price")),
            q.text(S("itax")), q.text(S("isubtotal")), q.text(S("discount")), q.text(S("total")) });
        if (Numbers::isNumber(q.text(S("total"))))
            subTotal += Numbers::parse(q.text(S("total")));
    }
    b.items = QString::number(b.lines.size());
    b.subTotal = Numbers::general(subTotal);

    q.exec(S("select s.sdate,s.stime,s.total,s.grandtotal,s.amount_paid,s.balance,s.delivery,c.customer_name,"
             "(select d.charges from delivery d where d.billno=s.billno and d.pcid=s.pcid and d.charges is not null "
             "limit 1) as charges from sales_order s left join customer_details c on c.customerid=s.customerid where "
             "s.billno=")
        + q.quote(bill.billNo) + S(" and s.pcid=") + q.quote(bill.terminalId));
    b.date = QDate::fromString(q.text(S("sdate")), Qt::ISODate).toString(S("dd-MM-yyyy"));
    b.time = billTime(q.text(S("stime")));
    b.customer = q.text(S("customer_name"));
    b.balance = TextOrZero(q.field(S("balance")));
    b.amountPaid = TextOrZero(q.field(S("amount_paid")));
    const QString storedTotal = TextOrZero(q.field(S("total")));
    const QString charges = q.text(S("charges")).trimmed();
    // the stored total carries the delivery charges; the bill's total is the goods with their tax
    b.total = Numbers::isNumber(charges) ? Numbers::subtract(storedTotal, charges) : storedTotal;
    b.tax = Numbers::subtract(b.total, b.subTotal);

    const bool takeAway = q.text(S("delivery")).trimmed().compare(S("Take Away"), Qt::CaseInsensitive) == 0;
    if (takeAway) {
        b.homeDelivery = S("No");
        b.charges = S("-");
        b.grandTotal = b.total;
    } else {
        b.homeDelivery = S("Yes");
        b.charges = charges;
        b.grandTotal = q.text(S("grandtotal"));
    }
    return b;
}
