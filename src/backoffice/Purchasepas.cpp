#include "backoffice/Purchasepas.h"

#include "backoffice/Commentpas.h"
#include "config/salessettings.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "numbers/numbers.h"
#include "platform/registry.h"

namespace {

QString S(const char* text)
{
    return QString::fromLatin1(text);
}

const QString kLatestRowJoin = S("(SELECT itemcode, MAX(sdate) as maxdate FROM stock_details t GROUP BY itemcode ) r  "
                                 "INNER JOIN stock_details t ON t.itemcode = r.itemcode  AND t.sdate = r.Maxdate  "
                                 ",item i where i.itemcode=t.itemcode and itemname=");

// A ledger quantity as text; NULL counts as 0.
QString quantityText(const TField& f)
{
    return f.isNull() || f.asString().isEmpty() ? S("0") : f.asString();
}

struct LatestRow {
    bool found = false;
    QString code;
    QString date;
    QString opening;
    QString closing;
    bool billReceived = false;
};

LatestRow latestRow(TQuery& q, const QString& itemName)
{
    q.exec(S("select t.itemcode,t.sdate,opening_stock,closing_stock,bill_recieved from ") + kLatestRowJoin
        + q.quote(itemName));
    LatestRow row;
    if (q.isEmpty())
        return row;
    row.found = true;
    row.code = q.text(S("itemcode"));
    row.date = q.text(S("sdate"));
    row.opening = quantityText(q.field(S("opening_stock")));
    row.closing = quantityText(q.field(S("closing_stock")));
    const QString bill = q.text(S("bill_recieved"));
    row.billReceived = !bill.isEmpty() && bill != QLatin1String("0");
    return row;
}

QString itemCode(TQuery& q, const QString& itemName)
{
    q.exec(S("select itemcode from item where itemname=") + q.quote(itemName));
    return q.text(S("itemcode"));
}

// A whole-number text; empty (and anything that is not one) counts as 0.
qint64 wholeNumber(const QString& text)
{
    return Numbers::isInteger(text) && text.trimmed().size() < 19 ? Numbers::parseInt(text) : 0;
}

constexpr qint64 kOpeningLimit = 1000;

} // namespace

QStringList FillPurchaseItemList(TDm& dm)
{
    TQuery& q = dm.MyQPur;
    q.exec(S("select itemname from item"));
    QStringList names;
    for (q.first(); !q.eof(); q.next()) {
        if (!q.field(S("itemname")).isNull())
            names << q.text(S("itemname")).toUpper();
    }
    names.sort();
    return names;
}

QString ReadPurchaseLimit(TDm& dm)
{
    return salesSetting(dm.MyQpayment, S("purchase"));
}

QString StoredPurchaseLimit()
{
    const QString key = S("Software\\pos_settings");
    TRegistry reg;
    if (!reg.keyExists(key))
        reg.createKey(key);
    return reg.readString(key, S("purchase"));
}

ItemStock ShowItemStock(TDm& dm, const QString& day, const QString& itemName)
{
    ItemStock shown;
    if (itemName.isEmpty()) {
        shown.message = S("Select the Item");
        return shown;
    }
    const LatestRow row = latestRow(dm.MyQPur, itemName);
    if (!row.found) {
        shown.message = S("No items Exist. So Please ADD OPENING STOCK to SELECTED ITEM");
        return shown;
    }
    shown.hasLedger = true;
    if (row.date > day)
        shown.status = S("This Date: ") + day + S(" Exist");
    shown.opening = row.date != day ? row.closing : row.opening;
    shown.closing = row.closing;
    shown.billReceived = row.billReceived;
    return shown;
}

QString ShowDayClosing(TDm& dm, const QString& day, const QString& itemName)
{
    TQuery& q = dm.MyQPur;
    q.exec(S("select s.closing_stock from stock_details s,item i where s.itemcode=i.itemcode and i.itemname=")
        + q.quote(itemName) + S(" and s.sdate= ") + q.quote(day));
    return q.isEmpty() ? QString() : quantityText(q.field(S("closing_stock")));
}

ClosingEstimate ComputeClosingStock(
    TDm& dm, const QString& itemName, const QString& purchase, const QString& openingEntry)
{
    ClosingEstimate estimate;
    const LatestRow row = latestRow(dm.MyQPur, itemName);
    const QString base = row.found ? row.closing : openingEntry;
    if (purchase.isEmpty())
        return estimate;
    if (base.isEmpty()) {
        estimate.message = S("Enter the opening stock");
        estimate.clearPurchase = true;
        return estimate;
    }
    estimate.closing = QString::number(wholeNumber(base) + wholeNumber(purchase));
    return estimate;
}

QString OpeningStockRefusal(const QString& opening)
{
    if (!opening.isEmpty() && !Numbers::isPlainWhole(opening))
        return S("Enter the opening stock");
    // nine digits and more are above the limit as well
    if (opening.size() > 9 || wholeNumber(opening) > kOpeningLimit)
        return S("Cannot purchase more than 1000 items");
    return {};
}

OpeningOutcome StoreOpeningStock(TDm& dm, const QString& itemName, const QString& previous, const QString& opening)
{
    const QString refusal = OpeningStockRefusal(opening);
    if (!refusal.isEmpty())
        return { QString(), refusal };
    TQuery& q = dm.MyQPur;
    const qint64 change = wholeNumber(opening) - wholeNumber(previous);
    return InTransaction(q.connection(), Isolation::ReadCommitted, [&]() -> OpeningOutcome {
        const QString code = itemCode(q, itemName);
        if (code.isEmpty())
            return {};
        const QString c = q.quote(code);
        // The item is locked first, as every stock movement locks it: a purchase opening a new
        // day's row meanwhile is done before or after this change, never leaving it on the row before.
        q.exec(S("update item set ") + Schema::lockWrite() + S(" where itemcode=") + c);
        q.exec(S("select sdate from stock_details where itemcode=") + c + S(" order by sdate desc limit 1 for update"));
        if (q.isEmpty())
            return {};
        const QString where = S(" where itemcode=") + c + S(" and sdate=") + q.quote(q.text(S("sdate")));
        // only the latest row, and by the difference: the earlier rows are the item's history, and
        // the day's purchases and sales stay in its closing stock
        if (change != 0)
            q.exec(S("update stock_details set opening_stock=opening_stock+(") + QString::number(change)
                + S("),closing_stock=closing_stock+(") + QString::number(change) + ')' + where);
        q.exec(S("select closing_stock from stock_details") + where);
        return { quantityText(q.field(S("closing_stock"))), QString() };
    });
}

namespace {

BookingOutcome bookPurchase(TQuery& q, const QString& day, const QString& itemName, qint64 purchase,
    const QString& openingEntry, bool billReceived)
{
    BookingOutcome outcome;
    const QString code = itemCode(q, itemName);
    if (code.isEmpty()) {
        // removed on another terminal since it was chosen
        outcome.message = S("Select the item you want to purchase");
        return outcome;
    }
    const QString p = QString::number(purchase);
    const QString flag = billReceived ? S("True") : S("False");
    const QString d = q.quote(day);
    const QString c = q.quote(code);
    // The item is locked first, as every stock movement locks it: one that waits for the item's
    // latest row while this booking opens a newer one would change the older row.
    q.exec(S("update item set ") + Schema::lockWrite() + S(" where itemcode=") + c);

    // The day's row gets the purchase added; without one, a row for the day opens with the
    // closing stock of the latest row as it is at this moment.
    // (the derived table's columns are named apart, so that the update names only the target's)
    q.exec(S("insert into stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
             "select * from (select ")
        + d + S(" as d,itemcode as c,closing_stock as o,") + p + S(" as p,closing_stock+") + p + S(" as cs,") + flag
        + S(" as b from stock_details where itemcode=") + c
        + S(" and sdate=(select max(sdate) from stock_details where itemcode=") + c
        + S(")) latest on duplicate key update purchase=purchase+") + p + S(",closing_stock=closing_stock+") + p
        + S(",bill_recieved=") + flag);
    if (q.rowsAffected() == 0) {
        // the item's first booking: its opening stock as typed
        outcome.message = OpeningStockRefusal(openingEntry);
        if (!outcome.message.isEmpty())
            return outcome;
        const qint64 opening = wholeNumber(openingEntry);
        const QString o = QString::number(opening);
        q.exec(S("insert into stock_details set opening_stock=") + o + S(",purchase=") + p + S(",closing_stock=")
            + QString::number(opening + purchase) + S(",bill_recieved=") + flag + S(",sdate=") + d + S(", itemcode=")
            + c + S(" on duplicate key update purchase=purchase+") + p + S(",closing_stock=closing_stock+") + p);
        q.exec(S("insert into itemdetails set closing_stock=") + o + S(" ,itemcode=") + c + S(" ,date_stock=") + d
            + S(" on duplicate key update closing_stock=") + o + S(",date_stock=") + d);
        outcome.stored = true;
        return outcome;
    }

    // Rows after the day carry the purchase forward.
    q.exec(S("update stock_details set opening_stock=opening_stock+") + p + S(",closing_stock=closing_stock+") + p
        + S(" where sdate>") + d + S(" and itemcode=") + c);
    if (q.rowsAffected() > 0)
        outcome.status = NoteForcedUpdate(q, day, itemName);
    outcome.stored = true;
    return outcome;
}

} // namespace

BookingOutcome BookPurchase(TDm& dm, const QString& day, const QString& itemName, qint64 purchase,
    const QString& openingEntry, bool billReceived)
{
    // What the purchase field would have refused: nothing, a negative figure, one above the limit.
    if (purchase <= 0)
        return { false, S("Enter the Details"), QString() };
    const QString limit = ReadPurchaseLimit(dm);
    if (Numbers::isInteger(limit) && purchase > Numbers::parseInt(limit))
        return { false, S("Cannot purchase more  items"), QString() };
    // One transaction: the day's row, the later rows it raises and the day's remark are kept
    // together or not at all. Repeatable read makes the copy of the latest row's closing stock
    // wait for a sale moving it at that moment.
    TQuery& q = dm.MyQPur;
    return InTransaction(q.connection(), Isolation::RepeatableRead,
        [&] { return bookPurchase(q, day, itemName, purchase, openingEntry, billReceived); });
}

QString MarkBillReceived(TDm& dm, const QString& itemName)
{
    TQuery& q = dm.MyQPur;
    const LatestRow row = latestRow(q, itemName);
    if (!row.found)
        return S("Select the Item and Date");
    q.exec(S("update stock_details set bill_recieved=1 where itemcode =") + q.quote(row.code) + S(" and sdate= ")
        + q.quote(row.date));
    return {};
}
