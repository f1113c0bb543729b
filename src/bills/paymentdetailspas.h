#pragma once

#include "sales/salesorderdetailspas.h"

#include <QDate>
#include <QSet>
#include <QString>

class TDm;
class TQuery;

// Held, part-paid and complete bills of every terminal: the lists of the payment details screen,
// the bill lock a terminal takes when it resumes a bill for payment, and the cancelling of a held
// entry.
//
// The lock is bool_access "t" on the bill's row, and lock_pcid names the terminal that holds it.
// A terminal holds it while the bill is on its settlement screen (resumed here, or processed on
// its own counter) and while its items are changed from there. It is taken by one conditional
// update whose affected-row count decides, so of two terminals taking the same bill at once
// exactly one gets it; the other changes nothing. A terminal releases only its own lock; an
// administrator's "UNLOCK" releases any.

enum class BillGroup { Complete = 0, Hold = 1, PartPayment = 2 };

// Splits a bill key "2/57" at its first "/" into terminal id and bill number. False (and the key
// left as it was) when there is no "/".
bool SplitBillKey(const QString& key, BillKey* bill);

// The bills of the group dated from..to (both inclusive) that are not cancelled, with their
// customers' names, into MyQpayment: sdate ("dd-mm-yyyy"), stime_m, BILLNUM, total, amount_paid,
// balance, payment_status, delivery, customer_name, customerid. Returns "Select Proper Date" (and
// runs nothing) when `to` is before `from`.
QString ListPaymentBills(TDm& dm, BillGroup group, const QDate& from, const QDate& to);
TQuery& PaymentBillsQuery(TDm& dm);

// The keys ("2/57") of every locked bill, read in one statement.
QSet<QString> LockedBills(TDm& dm);
// True when the bill is locked.
bool IsBillLocked(TDm& dm, const BillKey& bill);

// Takes a held or part-paid bill for payment at terminal `holder`. The lock is taken first, in
// one statement that succeeds only on a bill that is free, not cancelled and still held or part
// paid; only then are the bill's rows in its terminal's order grid replaced by its saved lines
// (that bill's rows only: an order being rung up on that terminal stays), in the same transaction
// on the settlement's connection. False when the lock was not taken: nothing changed.
bool TakeBillForPayment(TDm& dm, const BillKey& bill, const QString& holder);

// Takes the lock of a bill shown on terminal `holder`'s settlement screen: a free bill, or one
// it holds already. A bill that is gone, cancelled or paid in full is left unlocked. Returns the
// refusal when another terminal holds it, empty otherwise; *held tells whether `holder` holds it.
QString LockBillForSettlement(TDm& dm, const BillKey& bill, const QString& holder, bool* held);

// Releases the bill's lock when `holder` holds it; another terminal's lock stays.
void ReleaseBillLock(TDm& dm, const BillKey& bill, const QString& holder);
// An administrator's release: whoever holds the lock.
void UnlockBill(TDm& dm, const BillKey& bill);

// At a terminal's start: every lock it holds, in every catalogued company, is released, since a
// starting terminal is settling nothing. A company without its database or tables is skipped and
// logged.
void ReleaseTerminalLocks(TDm& dm, const QString& terminalId);

// Cancels a held entry: marks it "N" and gives its saved lines back to stock (one increment on each
// item's latest ledger row; a line whose item or ledger row is gone is skipped and logged), all in
// one transaction. The mark is conditional: an entry cancelled already, no longer held, gone, or
// locked by a terminal that is settling it is left alone, and the refusal says which.
BillChange CancelHeldEntry(TDm& dm, const BillKey& bill);
