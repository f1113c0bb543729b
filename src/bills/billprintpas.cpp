#include "bills/billprintpas.h"

#include "db/datamodulepos.h"
#include "numbers/numbers.h"
#include "platform/latin1.h"
#include "workbook/workbookfiles.h"

#include <QDate>

namespace {

// Total less sub total, as the two labels show them; empty when either is no number.
QString overallTax(const BillOnScreen& shown)
{
    if (!Numbers::isNumber(shown.total) || !Numbers::isNumber(shown.subTotal))
        return {};
    return Numbers::subtract(shown.total, shown.subTotal);
}

} // namespace

QList<BillSheetLine> BillLinesForPrint(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("select itemname,rate,quantity,price,itax,isubtotal,discount,total from temp_ordergrid")
        + BillWhere(q, bill) + S(" order by id"));
    QList<BillSheetLine> lines;
    lines.reserve(q.recordCount());
    for (q.first(); !q.eof(); q.next()) {
        lines.append({ q.text(S("itemname")), q.text(S("rate")), q.text(S("quantity")), q.text(S("price")),
            q.text(S("itax")), q.text(S("isubtotal")), q.text(S("discount")), q.text(S("total")) });
    }
    return lines;
}

BillPrintJob PrepareBillPrint(TDm& dm, const BillOnScreen& shown)
{
    BillPrintJob job;
    // the label is written by the screen in this format; anything else is not this bill's date
    if (!QDate::fromString(shown.date, S("dd-MM-yyyy")).isValid()) {
        job.error = S("'") + shown.date + S("' is not a valid date");
        return job;
    }

    TQuery& q = dm.MyQsalesdetails;
    BillSheet& b = job.sheet;
    b.date = shown.date;
    b.time = shown.time;
    b.customer = shown.customer;
    b.terminalId = shown.bill.terminalId;
    b.billNo = shown.bill.billNo;
    b.items = shown.items;
    b.subTotal = shown.subTotal;
    b.tax = overallTax(shown);
    b.total = shown.total;
    b.balance = shown.balance;

    q.exec(S("select amount_paid, grandtotal from sales_order") + BillWhere(q, shown.bill));
    b.amountPaid = TextOrZero(q.field(S("amount_paid")));
    if (shown.homeDelivery) {
        const QString grandTotal = q.text(S("grandtotal"));
        // the latest delivery entry of the bill that has charges
        q.exec(S("select charges from delivery") + BillWhere(q, shown.bill)
            + S(" and charges is not null order by sdate desc limit 1"));
        b.homeDelivery = S("Yes");
        b.charges = q.text(S("charges"));
        b.grandTotal = grandTotal;
    } else {
        b.homeDelivery = S("No");
        b.charges = S("-");
        b.grandTotal = shown.total;
    }
    b.lines = BillLinesForPrint(dm, shown.bill);

    const QString company = q.connection().databaseName();
    b.company = billCompanyName(company);
    job.path = WorkbookFiles::outputPath(billFileName(company, shown.bill.billNo));
    return job;
}
