#pragma once

#include <QString>
#include <QStringList>

class TDm;

// Purchases and opening stock booked into the stock ledger (stock_details: one row per item and
// day; an item's current stock is the closing stock of its latest row) and the per-item snapshot
// (itemdetails). Days are "yyyy-mm-dd" texts, item names as the item list shows them.
//
// Sales on the counter change the latest row's closing stock at any moment, so a booking never
// writes a closing stock worked out beforehand: it adds the purchase to the row in SQL. Figures
// worked out here for the screen are only shown.

// The upper-cased item names, sorted.
QStringList FillPurchaseItemList(TDm& dm);

// The purchase limit (the "purchase" settings row, or the fallback store's value).
QString ReadPurchaseLimit(TDm& dm);
QString StoredPurchaseLimit();

// What the purchase panel shows for a chosen item.
struct ItemStock {
    QString message; // "Select the Item", or the note that the item needs an opening stock
    bool hasLedger = false;
    QString status; // "This Date: <day> Exist" when the latest row lies after the day
    QString opening; // the stock the booking starts from
    QString closing; // the current stock
    bool billReceived = false; // of the latest row
};
ItemStock ShowItemStock(TDm& dm, const QString& day, const QString& itemName);

// Closing stock of the item's row for the day; empty when there is none.
QString ShowDayClosing(TDm& dm, const QString& day, const QString& itemName);

// The closing stock to show while a purchase is typed: current stock (or, for an item without
// a ledger, the typed opening stock) + purchase. An empty purchase gives nothing to show; a
// missing base gives "Enter the opening stock" and the purchase is to be emptied.
struct ClosingEstimate {
    QString closing;
    QString message;
    bool clearPurchase = false;
};
ClosingEstimate ComputeClosingStock(
    TDm& dm, const QString& itemName, const QString& purchase, const QString& openingEntry);

// A typed opening stock replaces the one the entry held before (`previous`; empty counts as 0):
// the opening and the closing stock of the item's latest ledger row move by the difference, so
// the purchases and sales already in that row stay in its closing stock. Earlier rows keep their
// figures. Returns the row's closing stock afterwards; an item without a ledger gets nothing (its
// first booking starts from the typed figure) and an empty text. An opening the entry would not
// have held (a sign, not digits, above 1000) changes nothing and gets the entry's message.
struct OpeningOutcome {
    QString closing;
    QString message;
};
OpeningOutcome StoreOpeningStock(TDm& dm, const QString& itemName, const QString& previous, const QString& opening);
// Why the opening stock entry would not hold the text ("Enter the opening stock", "Cannot purchase
// more than 1000 items"); empty when it would (empty counts as 0).
QString OpeningStockRefusal(const QString& opening);

struct BookingOutcome {
    bool stored = false;
    QString message; // why nothing was stored
    QString status; // the note about the day's remark after a forced update
};
// Books `purchase` units (above 0) of the item on the day. The first booking of an item writes
// its first row from the typed opening stock, and its snapshot. Otherwise the day's row gets the
// purchase added, or a new row for the day opens with the latest row's closing stock, read in
// the same statement. When the item has rows after the day, those are raised by the purchase
// and the day's remark records it. A purchase the field would have refused (0, negative, above
// the purchase limit) or a first booking's opening stock the entry would not hold stores nothing
// and gets the field's message.
BookingOutcome BookPurchase(TDm& dm, const QString& day, const QString& itemName, qint64 purchase,
    const QString& openingEntry, bool billReceived);

// Marks the supplier's bill of the item's latest ledger row (the row the panel shows) received.
// Returns "Select the Item and Date" when the item has no ledger row, else empty.
QString MarkBillReceived(TDm& dm, const QString& itemName);
