#pragma once

#include <QString>

class TDm;

// The POS menu's database work: the logo, the user's role, and the clean-up of the counter's
// open order when the cashier leaves the counter.

// The company's logo in the folder: folder + "/" + the company's database name (blanks as "_")
// with ".jpg", ".bmp" and ".ico" tried in this order, the last one found winning. Empty when
// there is none.
QString LogoFile(const QString& folder, const QString& companyDb);

// The user's role ("admin" or "cashier"), empty for an unknown user.
QString UserRole(TDm& dm, const QString& userName);

// Deletes the open order's grid rows (the order being rung up or the bill being settled).
void DropOpenOrder(TDm& dm, const QString& terminalId, const QString& billNo);

// Deletes the delivery entry of an abandoned order: only a bill of this terminal that has no
// payment status (held, part-paid and settled bills keep their entries).
void DropAbandonedDelivery(TDm& dm, const QString& thisTerminal, const QString& terminalId, const QString& billNo);

// True when the bill is on hold and its terminal's order grid still holds its lines, so that
// holding it again keeps its lines.
bool HeldBillInGrid(TDm& dm, const QString& terminalId, const QString& billNo);
