#pragma once

#include "bills/billsheet.h"
#include "sales/salesorderdetailspas.h"

#include <QString>

class TDm;

// Printing a bill from the settlement screen: the bill's figures as the screen shows them, its
// saved lines, amount paid, delivery charges and grand total from the database, and the file
// the filled workbook goes to. Every statement names the bill number and the terminal, so two
// terminals' bills of the same number never mix.

// The settlement screen's figures of the bill (its labels, the customer field and the delivery
// choice). The texts go to the sheet unchanged.
struct BillOnScreen {
    BillKey bill; // lbl_machine_id, lblbillno
    QString date; // lbldate, "dd-MM-yyyy"
    QString time; // lbltime
    QString customer; // cname
    QString items; // lblnoitems
    QString subTotal; // lblSubtotal
    QString total; // lbltotal: without the delivery charges of a delivery bill
    QString balance; // lblbalrs
    bool homeDelivery = false; // "Home" chosen
};

struct BillPrintJob {
    QString error; // why the bill cannot be printed; nothing else is set then
    BillSheet sheet;
    QString path; // the workbook to write: company + bill number + ".xls" in the output folder
};

// The bill's saved lines (temp_ordergrid of the bill and its terminal) in the order they were
// rung up, whether or not their items are still in the item master: the printed lines always
// add up to the bill's total.
QList<BillSheetLine> BillLinesForPrint(TDm& dm, const BillKey& bill);

// Everything the printed bill holds. The company is the one the counter works in (the
// database of the settlement connection), with blanks for "_". The tax printed is the bill's
// overall tax in rupees: the total less the sub total. Take-away bills print "-" as charges and
// the total as grand total; home-delivery bills their delivery entry's charges and the bill's
// grand total (empty when missing). An empty amount paid prints as 0.
BillPrintJob PrepareBillPrint(TDm& dm, const BillOnScreen& shown);
