#pragma once

#include "sales/salesorderdetailspas.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class TDm;

// Home delivery of the bill on the counter: the customer (added when new), the bill's delivery
// row with its charges, the customer and "Home Delivery" on the bill, and the charges on the
// bill's total, grand total and balance. A bill gets one delivery row, so its charges are added
// once. Recording a delivery is one transaction on the delivery's connection (MyConPur), and so
// is taking it off again; both lock the bill's header first and look at it again under the lock,
// so a payment or a hold on another terminal is either done before or waits until after.

// What the home delivery screen shows when it opens for a bill.
struct DeliveryView {
    // the bill's own customer, else the customer of the settlement screen's name, else empty
    QString name;
    QString address;
    QString phone;
    bool recorded = false; // the bill has its delivery row already ("OK" stays disabled)
    QString charges; // the recorded charges
};
DeliveryView OpenDelivery(TDm& dm, const BillKey& bill, const QString& settlementName);

// Key rule of the delivery phone: a mobile number, "7", "8", "9" or an international "+" first,
// digits after it, at most 13 characters. Backspace is always taken.
bool HomeDeliveryPhoneKey(const QString& text, QChar key);

// The screen's "OK".
struct DeliveryEntry {
    QString billKey; // the bill field: terminal id + "/" + bill number
    QString name;
    QString address;
    QString phone;
    QString charges;
    bool knownCustomer = false; // the settlement screen has the bill's customer name
    QDateTime at; // the moment the delivery is entered
};

struct DeliveryOutcome {
    QStringList messages; // to show, in order
    bool clearCharges = false; // refused charges are emptied
    bool recorded = false; // the delivery was recorded: the screen empties its fields
    bool alreadyRecorded = false; // the bill had its delivery row already; nothing changed
    bool billClosed = false; // the bill is complete or gone: it takes no delivery, nothing changed
    QString name; // the customer name as recorded (upper case); empty when nothing was recorded
    QString charges; // the bill's charges after the call (also when already recorded)
};
// A complete bill takes no delivery: its charges could never be collected. The customer of the
// delivery is the one entered: a new customer is added and linked to the bill; one of the same
// name and phone is linked as the customer it is; a name the settlement screen already has for
// the bill is looked up by name.
DeliveryOutcome RecordHomeDelivery(TDm& dm, const DeliveryEntry& entry);

// The bill's total and grand total raised by the charges, and its balance by the same: what was
// paid stays paid. Written only over the total and balance it read, so a payment another terminal
// makes in between is read again, never overwritten. False, changing nothing, when the bill has
// no header or is complete.
bool AddDeliveryCharges(TDm& dm, const BillKey& bill, const QString& charges);

// The settlement screen's "Take Away" on a bill that may have a delivery row.
struct TakeAwayOutcome {
    bool takenAway = false; // the delivery row went and its charges came off the bill
    bool staysHome = false; // refused: money is paid on the bill, which stays a home delivery
    QString charges; // the charges taken off
    QStringList messages; // to show
};
// Takes the bill's delivery rows out, and their charges out of its total, grand total and
// balance, marking it "Take Away". Refused once money is paid on the bill (the charges are part
// of what was paid, or of what is left to pay). A bill without a delivery row is left as it is.
TakeAwayOutcome TakeBillAway(TDm& dm, const BillKey& bill);
