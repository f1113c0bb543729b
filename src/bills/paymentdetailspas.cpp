#include "bills/paymentdetailspas.h"

#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "platform/latin1.h"

namespace {

} // namespace

bool SplitBillKey(const QString& key, BillKey* bill)
{
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return false;
    bill->terminalId = key.left(slash);
    bill->billNo = key.mid(slash + 1);
    return true;
}

TQuery& PaymentBillsQuery(TDm& dm)
{
    return dm.MyQpayment;
}

QString ListPaymentBills(TDm& dm, BillGroup group, const QDate& from, const QDate& to)
{
    if (to < from)
        return S("Select Proper Date");
    TQuery& q = PaymentBillsQuery(dm);
    static const char* const statuses[] = { "complete", "hold", "Part Payment" };
    q.exec(S("select DATE_FORMAT(sdate, \"%d-%m-%Y\") as sdate,SUBSTRING(stime,1,8) as stime_m,"
             "CONCAT(CAST(pcid AS CHAR), \"/\", CAST(billno AS CHAR)) AS BILLNUM,c.customer_name,s.customerid,"
             "s.total,s.amount_paid,s.balance\n"
             ",s.payment_type,s.payment_status,s.delivery from sales_order s left join customer_details c on "
             "s.customerid=c.customerid where s.payment_status=")
        + q.quote(S(statuses[int(group)])) + S(" and s.sdate>=") + q.quote(from.toString(Qt::ISODate))
        + S(" and s.sdate<=") + q.quote(to.toString(Qt::ISODate))
        + S(" and  s.hold_entry Is null order by s.sdate,s.stime,s.pcid,s.billno"));
    return {};
}

QSet<QString> LockedBills(TDm& dm)
{
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("select bool_access,billno,pcid from sales_order where bool_access=\"t\""));
    QSet<QString> keys;
    for (q.first(); !q.eof(); q.next())
        keys.insert(q.text(S("pcid")) + QLatin1Char('/') + q.text(S("billno")));
    return keys;
}

bool IsBillLocked(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("select bool_access,billno,pcid from sales_order") + BillWhere(q, bill));
    return q.text(S("bool_access")) == QLatin1String("t");
}

bool TakeBillForPayment(TDm& dm, const BillKey& bill, const QString& holder)
{
    // On the settlement's connection, with the lock and the lines as one transaction: a bill is
    // never left locked with its lines half copied.
    TQuery& q = dm.MyQsalesdetails;
    return InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
        const QString where = BillWhere(q, bill);
        q.exec(S("update sales_order set bool_access='t', lock_pcid=nullif(") + q.quote(holder) + S(",'')") + where
            + S(" and (bool_access is null or bool_access<>'t') and hold_entry is null"
                " and payment_status in ('Hold','Part Payment')"));
        if (q.rowsAffected() == 0)
            return false;
        q.exec(S("delete  from tordergrid") + where);
        q.exec(S("insert into tordergrid (itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
                 "select itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno from temp_ordergrid")
            + where + S(" order by id"));
        return true;
    });
}

QString LockBillForSettlement(TDm& dm, const BillKey& bill, const QString& holder, bool* held)
{
    TQuery& q = dm.MyQsalesdetails;
    const QString where = BillWhere(q, bill);
    *held = false;
    q.exec(S("update sales_order set bool_access='t', lock_pcid=nullif(") + q.quote(holder) + S(",'')") + where
        + S(" and (bool_access is null or bool_access<>'t') and hold_entry is null"
            " and coalesce(payment_status,'')<>'Complete'"));
    if (q.rowsAffected() > 0) {
        *held = true;
        return {};
    }
    // not taken: held here already, held elsewhere, or nothing to settle
    q.exec(S("select bool_access, lock_pcid from sales_order") + where);
    if (q.isEmpty() || q.text(S("bool_access")) != QLatin1String("t"))
        return {};
    const QString holding = q.text(S("lock_pcid"));
    if (holding == holder) {
        *held = true;
        return {};
    }
    return S("Bill ") + bill.terminalId + QLatin1Char('/') + bill.billNo
        + (holding.isEmpty() ? S(" is being settled at another terminal.")
                             : S(" is being settled at terminal ") + holding + QLatin1Char('.'));
}

void ReleaseBillLock(TDm& dm, const BillKey& bill, const QString& holder)
{
    if (bill.billNo.isEmpty() || bill.terminalId.isEmpty() || holder.isEmpty())
        return;
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("update sales_order set bool_access =\"f\", lock_pcid=null") + BillWhere(q, bill)
        + S(" and bool_access='t' and lock_pcid=") + q.quote(holder));
}

void UnlockBill(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("update  sales_order set bool_access=\"f\", lock_pcid=null") + BillWhere(q, bill));
}

void ReleaseTerminalLocks(TDm& dm, const QString& terminalId)
{
    if (terminalId.isEmpty())
        return;
    TQuery& list = dm.MyQhomedelivery;
    list.exec(S("select cname from dbname.dbname"));
    QStringList companies;
    for (list.first(); !list.eof(); list.next())
        companies << list.text(S("cname"));
    TQuery& q = dm.MyQsalesdetails;
    for (const QString& company : std::as_const(companies)) {
        if (!TQuery::isValidIdent(company))
            continue;
        try {
            q.exec(S("update ") + TQuery::ident(company)
                + S(".sales_order set bool_access='f', lock_pcid=null "
                    "where bool_access='t' and lock_pcid=")
                + q.quote(terminalId));
        } catch (const EDatabaseError& e) {
            // unknown database or table: nothing of this company can be locked
            if (e.serverCode() != QLatin1String("1049") && e.serverCode() != QLatin1String("1146"))
                throw;
            LogWrite(S("Start: company ") + company + S(" has no bill table, its bill locks were not checked"), 1);
        }
    }
}

BillChange CancelHeldEntry(TDm& dm, const BillKey& bill)
{
    // one transaction on the settlement's connection, which the stock give-back joins
    TQuery& q = dm.MyQsalesdetails;
    return InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
        BillChange change;
        q.exec(S("update sales_order set hold_entry=\"N\"") + BillWhere(q, bill)
            + S(" and hold_entry is null and payment_status='Hold' and (bool_access is null or bool_access<>'t')"));
        if (q.rowsAffected() == 0) {
            // left alone: say why, as the bill is now
            const QString notDone = S("nothing is changed.");
            const BillState state = LockBillRow(q, bill);
            change.refusal = BillRefusal(state, bill, QString(), notDone);
            if (change.refusal.isEmpty()) {
                const QString key = S("Bill ") + bill.terminalId + QLatin1Char('/') + bill.billNo;
                change.refusal = state.locked
                    ? key + S(" is being settled at terminal ") + state.lockHolder + S("; ") + notDone
                    : key + S(" is no longer on hold; ") + notDone;
            }
            return change;
        }
        // what holding the bill took out of stock
        MoveBillStock(q, bill, +1);
        change.done = true;
        return change;
    });
}
