#pragma once

#include "sales/salesorderdetailspas.h"

#include <QDate>
#include <QString>
#include <QStringList>

class TDm;
class TQuery;

// Customers: their ids, adding one, finding them, and attaching one to the bill on the counter.
// Names are kept in upper case. The customer id is chosen here, not by the server: one more than
// the highest id of customers and of bills, since bills of walk-in customers carry ids too.

// Widths of the customer columns (the server refuses longer texts).
constexpr int kCustomerNameWidth = 50; // customer_details.customer_name
constexpr int kAddressWidth = 255; // customer_details.address
constexpr int kDeliveryNameWidth = 30; // delivery.customer_name

// A bill key typed or shown as terminal id + "/" + bill number (2/57). False when the text is
// not two whole numbers around the first "/".
bool ParseBillKey(const QString& text, BillKey& key);

// One more than the larger of the highest customer id of customers and of bills; 1 at first.
QString NextCustomerId(TDm& dm);
// The same on the given query's connection, for a transaction open there.
QString NextCustomerId(TQuery& q);

struct NewCustomer {
    QString date; // registration date, as the server reads a date ("yyyy-mm-dd" or "yyyy/mm/dd")
    QString name; // upper case
    QString address;
    QString phone; // digits, on the delivery screen with a leading "+"
};

struct AddCustomerOutcome {
    bool duplicate = false; // a customer of this name and phone exists: nothing was written
    QString id; // the id the new customer got, or that of the customer of this name and phone
};

// Adds the customer unless one of the same name and phone exists. The new row takes
// `proposedId`; when another terminal took that id meanwhile, the next free one is computed
// and tried again, so two terminals adding customers at once get ids of their own.
// Inside a transaction a key taken by another terminal costs only the insert that met it.
AddCustomerOutcome AddCustomer(TDm& dm, const NewCustomer& customer, const QString& proposedId);
AddCustomerOutcome AddCustomer(TQuery& q, const NewCustomer& customer, const QString& proposedId);

// The id of the first customer the server finds with exactly this name; empty when none.
QString CustomerIdByName(TDm& dm, const QString& name);
QString CustomerIdByName(TQuery& q, const QString& name);

// The customer a bill carries: its id, and the name when the id is one of the customers (a
// walk-in customer's id has no name). Both empty when the bill has no customer or no header.
struct BillCustomer {
    QString id;
    QString name;
};
BillCustomer CustomerOfBill(TDm& dm, const BillKey& bill);

// Every customer; the customers whose name contains `text`, matched literally ("%" and "_"
// match themselves); an empty text lists them all.
TQuery& ListCustomers(TDm& dm);
TQuery& SearchCustomers(TDm& dm, const QString& text);

// The customer screen's "ADD".
struct CustomerEntry {
    QString name;
    QString address;
    QString phone;
    QDate registered; // the day the customer is entered
    QString deliveryBillKey; // the home delivery screen's bill field: the bill the customer is for
};

struct CustomerEntryOutcome {
    QString message; // the one message to show, empty when none
    bool added = false; // the customer was added (the screen empties its fields and lists all)
    QString id;
};

// Checks the fields, writes the log line, adds the customer and gives it to the bill of the
// delivery bill key, when that bill is not complete yet.
CustomerEntryOutcome EnterCustomer(TDm& dm, const CustomerEntry& entry);

// Gives the customer to the bill unless the bill is complete. False when no bill changed.
bool AssignCustomerToOpenBill(TDm& dm, const BillKey& bill, const QString& customerId);
