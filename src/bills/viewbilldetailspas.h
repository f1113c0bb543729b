#pragma once

#include <QDate>
#include <QString>

class TDm;
class TQuery;

// The bill details report: the payments of the bills of every terminal dated within a range,
// of one delivery kind and, when any is chosen, of the chosen payment types. A bill paid in two
// parts gives two rows. Reads only.

struct BillReportFilter {
    QDate from; // the bill's date, both bounds included
    QDate to;
    bool homeDelivery = false; // "Home Delivery" bills, otherwise "Take Away" ones
    bool cash = false; // no type chosen: every type
    bool card = false;
    bool cheque = false;
};

// Columns sdate (the payment's date, dd-mm-yyyy), stime, BILLNUM (terminal/bill), customerid,
// total, amount_paid (this payment), balance, payment_type, payment_status, delivery.
TQuery& RunBillReport(TDm& dm, const BillReportFilter& filter);

// The sum of amount_paid over the rows of the report just run; an empty amount counts as 0.
QString BillReportTotal(TQuery& report);
