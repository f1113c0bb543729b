#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class TDm;
class TQuery;
class TField;

// Settling a processed bill: payments by cash, card or cheque, the bill's status and balance,
// the payment log, holding the bill, and the stock its lines take. A bill is the pair of its
// number and the terminal it belongs to (a resumed bill may belong to another terminal than the
// one settling it); every statement names both.
//
// Stock: a held, part-paid or complete bill has its saved lines (temp_ordergrid) taken out of
// its items' latest ledger rows exactly once. Before a payment or a hold changes the lines, that
// reservation is given back; afterwards the new lines are taken out. Each movement is one SQL
// increment on the row, so terminals settling bills of the same item at once lose nothing.
//
// RunPayment, HoldBill, MoveBillStock and RecordDeliveryChoice are each one transaction on the
// settlement's connection (MyConsalesdetails): all of it is kept, or none of it. Called inside a
// transaction already open on that connection, they join it; every statement here runs on that
// connection. A payment and a hold begin by locking the bill's header row and reading it again:
// another terminal's payment, hold, cancel or the start of day waits for them, and they find the
// bill as those left it.

struct BillKey {
    QString terminalId;
    QString billNo;
};

// The condition " where billno=... and pcid=..." that names one bill.
QString BillWhere(TQuery& q, const BillKey& bill);
// A figure as read: its text, or "0" when it is NULL or blank.
QString TextOrZero(const TField& f);
// The condition that a column still holds the value read as `old` (its text as the server writes
// it, or NULL): a write made on it changes nothing another terminal wrote in between.
QString StillHolds(TQuery& q, const QString& column, const TField& old);
// Conditional writes that lose to other terminals this often give up with an error.
constexpr int kConditionalWriteAttempts = 20;

// The bill's header as a change finds it, read under its row lock.
struct BillState {
    bool exists = false;
    QString status; // payment_status
    bool cancelled = false; // hold_entry set: cancelled by hand or at the start of day
    bool locked = false; // bool_access "t": a terminal has it on a settlement screen
    QString lockHolder; // the terminal holding the lock, empty when the lock names none
    QString customerId; // empty when none
    QString amountPaid; // empty when nothing was paid
};

// Locks the bill's header row until the transaction open on the query's connection ends, and
// reads it.
BillState LockBillRow(TQuery& q, const BillKey& bill);

// Why `thisTerminal` may not change the bill now, empty when it may: the bill is gone, cancelled,
// paid in full, or on another terminal's settlement screen. `notDone` ends the text ("the payment
// is not recorded.").
QString BillRefusal(const BillState& state, const BillKey& bill, const QString& thisTerminal, const QString& notDone);

// What a change that re-checks the bill first did: done, or refused with the reason to show.
struct BillChange {
    bool done = false;
    QString refusal;
    explicit operator bool() const { return done; }
};

enum class PaymentMethod { Cash, Card, Cheque };

// "cash", "card" or "cheque", as the bill and the payment log record the method.
QString PaymentTypeText(PaymentMethod method);

// A bill's payment status compared as the server compares it (without regard to letter case).
bool IsStatus(const QString& status, const char* name);

// The grid of the bill's lines being settled (the bill's terminal's order grid, this bill only).
TQuery& ShowBillGrid(TDm& dm, const BillKey& bill);

// The figures of the settlement screen's summary.
struct BillSummary {
    QString taxRate; // lbltax
    QString subtotal; // lblSubtotal: line totals after discount, before the overall tax
    QString total; // lbltotal (less the delivery charges on a delivery bill)
    QString deliveryCharges; // Label25
    QString orderPrice; // Label26
    QString balance; // lblbalrs
    QString status; // the bill's payment status
    int lines = 0; // lblnoitems
    bool changeAllowed = false; // no status yet, or held: the items may be changed
    bool complete = false;
};
BillSummary ShowBillSummary(TDm& dm, const BillKey& bill);

// True when the bill has a delivery entry with charges (the settlement screen then selects "Home").
bool HasDeliveryCharges(TDm& dm, const BillKey& bill);

// Method records and the bill's amount paid, each raised by `amount`. A card keeps only the last
// four digits of its number; holder and bank are cut to their columns.
void RecordCashPayment(TDm& dm, const BillKey& bill, const QString& amount);
void RecordCardPayment(TDm& dm, const BillKey& bill, const QString& cardNo, const QString& cardHolder,
    const QString& amount, const QString& bank);
void RecordChequePayment(TDm& dm, const BillKey& bill, const QString& chequeNo, const QDate& chequeDate,
    const QString& amount, const QString& bank);

// The customer the counter has for the bill: the name on the settlement screen and the id the
// customer screen remembers (either may be empty).
struct CustomerChoice {
    QString name;
    QString id;
};

// What SettleBillPayment needs from the screens.
struct SettleInput {
    BillKey bill;
    PaymentMethod method = PaymentMethod::Cash;
    QString amount; // the typed amount
    QString date; // "yyyy-mm-dd", the order screen's date
    QString time; // "HH:mm:ss", the order screen's time
    CustomerChoice customer;
};

struct SettleOutcome {
    QString status; // "Complete", "Part Payment", "Hold" or empty
    QString change; // the amount to pay back, empty when none
    bool complete = false;
};

// After the method record: the bill's status, balance, customer id and payment log, the saved
// lines of a part-paid or complete bill, and the bill details row.
SettleOutcome SettleBillPayment(TDm& dm, const SettleInput& in);

// Records "Take Away" or "Home Delivery" on the bill; the grand total is the total for both.
void RecordDeliveryChoice(TDm& dm, const BillKey& bill, const QString& delivery);

// Gives back (+1) or takes out (-1) the bill's saved lines on their items' latest ledger rows.
// A line whose item or ledger row is gone, or whose quantity is not a whole number, is skipped
// and written to the log book.
void MoveBillStock(TDm& dm, const BillKey& bill, int direction);
// The same on the query's connection, inside the transaction open there.
void MoveBillStock(TQuery& q, const BillKey& bill, int direction);

// A whole payment as the settlement screen's "OK" buttons run it.
struct PaymentRequest {
    SettleInput settle;
    // card and cheque fields
    QString cardNo;
    QString cardHolder;
    QString bank;
    QString chequeNo;
    QDate chequeDate;
    QString shownBalance; // lblbalrs
    bool homeDelivery = false; // "Home" is selected
    QString stampDate; // the screen's date, "yyyy-mm-dd"
    QString stampTime; // the order screen's time, "HH.mm.ss.zzz"
    QString thisTerminal; // the terminal taking the money; the bill's own when empty
};

struct PaymentOutcome {
    QStringList messages; // to show, in order
    bool refused = false; // the bill is no longer this terminal's to pay (the message says why)
    bool emptyAmount = false; // a refusal that empties the amount box
    bool checked = false; // passed the checks (the stock and the stamp ran)
    bool recorded = false; // the payment was recorded: "SAVE" ran, the method's fields are emptied
    SettleOutcome settled;
};

// The bill's re-check under its row lock, checks, stock give-back, record, settle, "SAVE"'s
// delivery choice, stock take-out and the bill's stamp. A bill that is gone, cancelled, paid in
// full or on another terminal's settlement screen is refused with a message, and nothing written.
PaymentOutcome RunPayment(TDm& dm, const PaymentRequest& request);

// Holding the bill ("HOLD" after its question).
struct HoldRequest {
    BillKey bill;
    CustomerChoice customer;
    QString stampDate; // "yyyy-mm-dd"
    QString stampTime; // "HH.mm.ss.zzz"
    QString thisTerminal; // the terminal holding it; the bill's own when empty
};

// Refuses (and changes nothing) as a payment does. A part-paid bill keeps its status.
BillChange HoldBill(TDm& dm, const HoldRequest& request);

// The bill's payment status, empty when it has none (or no header).
QString BillStatus(TDm& dm, const BillKey& bill);
