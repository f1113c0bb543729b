#pragma once

#include "sales/salesorderdetailspas.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class TDm;

// Home delivery of the bill on the counter: the customer (added when new), the bill's delivery
// row with its charges, the customer and "Home Delivery" on the bill, and the charges on the
// bill's total, grand total and balance. A bill gets one delivery row, so its charges are added
// once. Recording a delivery is one transaction on the delivery's connection (MyConPur).

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
    QString name; // the customer name as recorded (upper case)
    QString charges; // the bill's charges after the call (also when already recorded)
};
DeliveryOutcome RecordHomeDelivery(TDm& dm, const DeliveryEntry& entry);

// The bill's total and grand total raised by the charges, and its balance by the same: what was
// paid stays paid. False when the bill has no header.
bool AddDeliveryCharges(TDm& dm, const BillKey& bill, const QString& charges);
