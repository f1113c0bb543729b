#pragma once

#include "sales/salesorderdetailspas.h"

#include <QString>

class TDm;
class TQuery;

// A customer's history: every bill, of every terminal and in any status, of the customers with
// exactly this name. Columns Billno (terminal/bill), Date (dd-mm-yyyy) and Name.
TQuery& CustomerBills(TDm& dm, const QString& name);

// True when the bill waits on hold (its status is exactly "Hold"): it is not opened from here.
bool IsBillOnHold(TDm& dm, const BillKey& bill);
