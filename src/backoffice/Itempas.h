#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

class TDm;
class TQuery;

// The item master (table item) and the overall tax by date (table tax).

// The rate limit and the minimal floor the item screen applies, as texts.
struct ItemLimits {
    QString rateLimit;
    QString minimalFloor;
};
// From the "rate" and "minimal" settings rows.
ItemLimits ReadItemLimits(TDm& dm);
// From the fallback store, read before the settings rows can be.
ItemLimits StoredItemLimits();

// Item names, upper-cased, in the order the database returns them.
QStringList FillItemNameLists(TDm& dm);
// Runs the item grid's query ("select * from item ") and returns its query object.
TQuery& ItemGrid(TDm& dm);

// The fields of an item as the add and change panels hold them.
struct ItemEntry {
    QString name;
    QString rate;
    QString discount;
    QString tax;
    QString minimal;
    QString barcode;
};

// ADD: gives an empty or too low minimal the floor and an empty discount or tax "0" (the entry
// shows what was applied), writes the log line, then checks and inserts the item under its
// trimmed, upper-cased name. A figure the fields could not hold (a sign, an exponent, a per cent
// above 100) is refused as "Enter the item details". Returns the message to show; empty when the
// item was added.
QString AddItem(TDm& dm, ItemEntry& entry, const QString& minimalFloor);

// The stored fields of an item (name as given); all empty when there is no such item.
ItemEntry LoadItemForChange(TDm& dm, const QString& name);

// CHANGE: refuses a barcode another item has ("Barcode Already Exist", nothing written), else
// writes the log line and updates the item's rate, discount, tax, minimal and barcode. An empty
// discount or tax is stored as "0", an empty minimal as the floor. Nothing happens without a name
// or with an empty rate; a figure the fields could not hold gets "Enter the item details".
struct ChangeOutcome {
    bool written = false;
    QString message;
};
ChangeOutcome UpdateItem(TDm& dm, const QString& name, const ItemEntry& entry, const QString& minimalFloor);

// REMOVE: deletes the item and its snapshot, writing the log line. Its ledger rows stay.
void RemoveItem(TDm& dm, const QString& name);

// The overall tax of a day: "TAX is added" for the day's first, "Tax is changed" after that
// (one row per day), "Please Enter the Tax" for an empty rate or one the field could not hold
// (a sign, above 100). shownDate goes to the log line.
QString SaveOverallTax(TDm& dm, const QDate& day, const QString& rate, const QString& shownDate);

// The rate and date of the latest tax row as shown: rate "##.00" (0.5 as .50), date
// "dd-MM-yyyy". None while the tax table is empty.
struct TaxShown {
    QString rate;
    QString date;
};
std::optional<TaxShown> ShowLatestTax(TDm& dm);

// Field rules of the item screen. Key rules take the field's text and the typed character
// ('\b' for Backspace) and say whether the key is taken.
namespace ItemFields {

bool decimalKey(const QString& text, QChar key);
// digits and Backspace; nothing more once the text has more than 6 characters
bool wholeNumberKey(const QString& text, QChar key);
// digits and Backspace; at 12 characters only Backspace
bool barcodeKey(const QString& text, QChar key);
// at most two digits after the point: the last character goes
QString twoDecimals(const QString& text);
// a text ending with "." gets a "0"
QString trailingPoint(const QString& text);
// above 100: the first 2 characters; otherwise the first 6
QString percentCut(const QString& text);
// above the rate limit: the first (length of the limit - 1) characters
QString rateCut(const QString& text, const QString& rateLimit);
// above 1000000: the first 6 characters
QString minimalCut(const QString& text);
// empty or below the floor: the floor
QString minimalFloor(const QString& text, const QString& floor);

} // namespace ItemFields
