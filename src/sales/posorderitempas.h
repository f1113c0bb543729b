#pragma once

#include "sales/salesorderdetailspas.h"

#include <QString>
#include <QStringList>

class TDm;
class TQuery;

// The order being rung up on a counter terminal, kept as that terminal's rows in tordergrid,
// and the bill header made from it. Every statement names the bill number as well as the
// terminal: a terminal's grid may also hold the lines of one of its bills that another terminal
// has resumed for payment, and the two must never mix.

// Action modes of the order screen's option group.
enum class LineMode { Add = 0, Change = 1, Remove = 2 };

// Where and when a line action happens: the order screen's terminal label and bill number,
// and its date ("yyyy-mm-dd") and time ("HH.mm.ss.zzz").
struct OrderContext {
    QString terminalId;
    QString billNo;
    QString date;
    QString time;
    QString roundOff; // decimals of a line total ("Round Off" setting)
};

// The amounts of one line as stored in the grid and the line log.
struct LineAmounts {
    QString rate;
    QString quantity;
    QString price;
    QString tax;
    QString isubtotal;
    QString discount;
    QString total;
};

// price = rate x quantity; isubtotal = price plus tax percent; total = isubtotal less discount
// percent, fixed to roundOff decimals (ties away from zero). Throws EConvertError on bad texts.
LineAmounts ComputeLineAmounts(
    const QString& rate, const QString& tax, const QString& discount, const QString& quantity, const QString& roundOff);

// What a line action tells the cashier: a status-line text (stock refusals and warnings) or a
// message box text, and whether anything was written.
struct LineOutcome {
    QString status;
    QString message;
    bool written = false;
};

// The item name of a barcode, empty when no item has it. A barcode of zeros names no item (items
// without a barcode carry "0").
QString ItemNameForBarcode(TDm& dm, const QString& barcode);

// The action button: adds, merges, changes or removes the item's line of the order by mode.
// A change is checked against the stock before the line is replaced, so a refusal keeps it; a
// removal needs no stock. actionText goes to the log book for all but a change of a line and the
// removal of a name that is no item. An item whose name is wider than the grid's column is refused
// on the status line.
//
// The stock check and the grid write are one short transaction that first locks the item's
// current ledger row: terminals adding the same item queue on that row for the moment of the
// check, so their grids together never hold more than the stock. The line and its log row are
// written together or not at all.
LineOutcome RunLineAction(TDm& dm, const OrderContext& ctx, LineMode mode, const QString& itemName,
    const QString& quantityText, const QString& actionText);

// Locking the current ledger row for the stock check is on by default; measurements switch it off
// to compare (each check and write then run as separate statements, as without transactions).
void SetStockRowLocking(bool on);
bool StockRowLocking();

// Adds a line (and its log row) for an item that is not in the order yet, after the stock checks.
LineOutcome AddOrderLine(TDm& dm, const OrderContext& ctx, const QString& itemName, const QString& quantityText);

// Writes the line log row (sales_order_details) of an added or merged line.
void RecordLineAction(TDm& dm, const OrderContext& ctx, const QString& itemCode, const LineAmounts& line);
void RecordLineAction(TQuery& q, const OrderContext& ctx, const QString& itemCode, const LineAmounts& line);

// Re-reads the order's grid rows into MyQposorderitem (the grid's query) and returns it.
TQuery& RefreshOrderGrid(TDm& dm, const QString& terminalId, const QString& billNo);

// The bill number of a new order on this terminal: 1 + the largest number among its bills that
// have a payment status, or 1.
QString NextBillNumber(TDm& dm, const QString& terminalId);

// Sums the order into its bill header, with the overall tax (and any delivery charges) on top,
// as one transaction under the header's row lock. A bill that is cancelled, paid in full or on
// another terminal's settlement screen is refused and left as it is. A held or part-paid bill
// takes the order as its saved lines too, and its stock follows: the give-back of the old lines
// and the take-out of the new. thisTerminal is the terminal at work, the bill's own when empty.
BillChange ProcessBill(TDm& dm, const OrderContext& ctx, const QString& thisTerminal = QString());

// Copies the order's grid rows into the bill's saved lines (temp_ordergrid). The second form runs
// on the given query's connection, for a transaction open there.
void SnapshotBillLines(TDm& dm, const QString& terminalId, const QString& billNo);
void SnapshotBillLines(TQuery& q, const QString& terminalId, const QString& billNo);

// The lines "Process order" writes to the log book, one per grid row of the order.
QStringList OrderLogLines(TDm& dm, const QString& terminalId, const QString& billNo);

// Item names for the item box: all of them, or those beginning with the typed text, upper-cased
// and sorted.
QStringList AllItemNames(TDm& dm);
QStringList ItemNamesStartingWith(TDm& dm, const QString& typed);

// The limits the order screen reads each time it is activated.
struct OrderSettings {
    QString quantityLimit;
    QString roundOff;
};
OrderSettings ReadOrderSettings(TDm& dm);

// Cuts a typed quantity to the limit's length: its first length(limit) characters when it does
// not exceed the limit, one fewer otherwise. Unchanged when either text is not a number.
QString LimitQuantity(const QString& quantity, const QString& limit);

// On activation: when the shown bill is not saved, grid rows of this terminal that belong to
// other bills are what is left of a finished or abandoned order and are deleted, with the
// delivery entries of such bills that never got a payment status. Rows of a locked bill stay.
void ClearStaleGrid(TDm& dm, const QString& terminalId, const QString& shownBillNo);

// "CLEAR": deletes the terminal's order (not the rows of a locked bill) and the delivery entry of
// the discarded bill.
void ClearOrder(TDm& dm, const QString& terminalId, const QString& billNo);
