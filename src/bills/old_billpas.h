#pragma once

#include "bills/billsheet.h"
#include "sales/salesorderdetailspas.h"

#include <QDate>
#include <QString>

class TDm;
class TQuery;

// Old bills: completed bills of every terminal found by customer or by bill key, a bill's saved
// lines, and the figures of its duplicate. Nothing here writes to the database.

// The bills list (customerid, BILLNUM, customer_name) lives in this query object.
TQuery& OldBillsQuery(TDm& dm);

// Every completed bill, without a date limit.
void ListCompletedBills(TDm& dm);

struct OldBillSearch {
    bool byBillKey = false;
    // by customer: a range of days (both inclusive) and the id and name typed, either may be empty
    QDate from;
    QDate to;
    QString customerId;
    QString customerName;
    // by bill key: "2/57"; empty lists every completed bill
    QString billKey;
};

// Runs the search into OldBillsQuery. A name alone matches names containing it, a name with an id
// only that name exactly. Returns "Please enter correct bill number" (and runs nothing) for a bill
// key that is not a terminal id, "/" and a bill number.
QString SearchOldBills(TDm& dm, const OldBillSearch& search);

// The bill's saved lines (temp_ordergrid), in the order they were rung up.
TQuery& OldBillLines(TDm& dm, const BillKey& bill);

// The date of bill 1 of terminal 1, where the default range starts; a null date when there is no
// such bill.
QDate FirstBillDate(TDm& dm);

// The duplicate of a bill, with the figures its first print showed: the sub total is the sum of
// its line totals, the total leaves any delivery charges out, "Vat/Tax:" is total less sub total,
// and B3, D3, F3 hold the bill's own date, time and customer. Every figure is this terminal's bill.
BillSheet ReadDuplicateBill(TDm& dm, const BillKey& bill, const QString& company);
