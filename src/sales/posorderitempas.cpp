#include "sales/posorderitempas.h"

#include "config/salessettings.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "log/U_LogBook.h"
#include "numbers/numbers.h"

#include <QRegularExpression>
#include <algorithm>
#include <atomic>
#include <optional>

namespace {

const QString kClosingZero = QStringLiteral("Closing stock is reached to 0. ");
const QString kMinimalReached = QStringLiteral("Minimal value is  reached. ");
const QString kNoSuchItem = QStringLiteral("Specified item does not exist");
const QString kNameTooLong = QStringLiteral("Item name is longer than 45 characters");

// The order grids keep item names in VARCHAR(45); the item master's column is wider.
constexpr qsizetype kGridNameWidth = 45;

QString S(const char* text)
{
    return QString::fromLatin1(text);
}

// The item row as the counter reads it.
struct ItemRow {
    bool found = false;
    QString code;
    QString name;
    QString rate;
    QString tax;
    QString discount;
};

ItemRow readItem(TQuery& q, const QString& itemName)
{
    q.exec(S("select * from item where itemname=") + q.quote(itemName));
    ItemRow item;
    if (q.isEmpty())
        return item;
    item.found = true;
    item.code = q.text(S("itemcode"));
    item.name = q.text(S("itemname"));
    // float columns default to 0; a NULL one counts as 0 too
    auto number = [&q](const char* column) {
        const TField f = q.field(QLatin1String(column));
        return f.isNull() || f.asString().isEmpty() ? S("0") : f.asString();
    };
    item.rate = number("rate");
    item.tax = number("tax");
    item.discount = number("discount");
    return item;
}

// Current stock of an item: closing stock and minimal level of its latest ledger row
// (0 and 0 without any row), and the units of it in every terminal's order grid.
struct Stock {
    QString date; // of the current ledger row
    qint64 closing = 0;
    qint64 minimal = 0;
    qint64 inGrids = 0;
};

Stock readStock(TQuery& q, const QString& itemName)
{
    Stock s;
    q.exec(S("select closing_stock,sdate,minimal from (SELECT itemcode, MAX(sdate) as maxdate FROM stock_details t "
             "GROUP BY itemcode ) r  INNER JOIN stock_details t ON t.itemcode = r.itemcode  AND t.sdate = r.Maxdate  "
             ",item i where i.itemcode=t.itemcode and itemname=")
        + q.quote(itemName));
    if (!q.isEmpty()) {
        const TField closing = q.field(S("closing_stock"));
        const TField minimal = q.field(S("minimal"));
        s.date = q.text(S("sdate"));
        s.closing = closing.isNull() ? 0 : Numbers::parseInt(closing.asString());
        s.minimal = minimal.isNull() ? 0 : Numbers::parseInt(minimal.asString());
    }
    q.exec(S("select quantity from tordergrid where itemname=") + q.quote(itemName));
    for (q.first(); !q.eof(); q.next())
        s.inGrids += Numbers::parseInt(q.text(S("quantity")));
    return s;
}

std::atomic<bool> g_lockStockRows { true };

// Locks the item's current ledger row (the one a sale's stock movement changes) until the end
// of the transaction, before the reservations are read: a terminal checking the same item waits
// here until this one's line is written or refused. The row is written too, so that on a cluster
// two terminals checking the item on two servers collide at commit, and the second runs its check
// again. Returns the row's date; without a ledger row there is no stock to reserve, and the check
// refuses the line anyway.
QString lockStockRow(TQuery& q, const ItemRow& item)
{
    if (!g_lockStockRows || !Numbers::isInteger(item.code))
        return {};
    const QString code = QString::number(Numbers::parseInt(item.code));
    q.exec(S("select sdate, closing_stock from stock_details where itemcode=") + code
        + S(" order by sdate desc limit 1 for update"));
    const QString date = q.text(S("sdate"));
    if (!date.isEmpty())
        q.exec(S("update stock_details set ") + Schema::lockWrite() + S(" where itemcode=") + code + S(" and sdate=")
            + q.quote(date));
    return date;
}

// The item's stock read under the lock of its current ledger row. A purchase that opened a newer
// row for its day while this terminal waited hands it the lock of the row before; then the newer
// row is locked too, so that all terminals checking the item still queue on one row.
Stock lockedStock(TQuery& q, const ItemRow& item, const QString& itemName)
{
    QString locked = lockStockRow(q, item);
    Stock stock = readStock(q, itemName);
    for (int again = 0; !locked.isEmpty() && stock.date != locked && again < 10; ++again) {
        locked = lockStockRow(q, item);
        stock = readStock(q, itemName);
    }
    return stock;
}

// Runs a line action as one transaction on the order grid's connection (or as it is, when the
// stock lock is switched off).
template <typename Body> LineOutcome lineTransaction(TDm& dm, Body&& body)
{
    if (!g_lockStockRows)
        return body();
    return InTransaction(dm.MyConposorderitem, Isolation::ReadCommitted, body);
}

qint64 enteredQuantity(const QString& quantityText)
{
    return quantityText.trimmed().isEmpty() ? 0 : Numbers::parseInt(quantityText);
}

// The refusal of a new line of `entered` units when others already hold `reservedByOthers`.
QString newLineRefusal(const Stock& s, qint64 reservedByOthers, qint64 entered)
{
    if (s.closing == 0)
        return kClosingZero;
    if (s.closing <= 0 || s.closing < reservedByOthers + entered) {
        // what is still free for this order, not the ledger figure the others already hold part of
        const qint64 free = std::max<qint64>(0, s.closing - reservedByOthers);
        return S("Total stock remaining is ") + QString::number(free) + S(". ");
    }
    return {};
}

// A name the order grid cannot hold is refused rather than cut: a cut name would be no item.
bool fitsTheGrid(const QString& itemName)
{
    return itemName.toUcs4().size() <= kGridNameWidth;
}

QString minimalWarning(const Stock& s, qint64 reserved)
{
    return s.closing - reserved <= s.minimal ? kMinimalReached : QString();
}

QString gridLineCondition(TQuery& q, const OrderContext& ctx, const QString& itemName)
{
    return S(" where itemname =") + q.quote(itemName) + S(" and pcid=") + q.quote(ctx.terminalId) + S(" and billno=")
        + q.quote(ctx.billNo);
}

void updateGridLine(TQuery& q, const OrderContext& ctx, const QString& itemName, const LineAmounts& line)
{
    q.exec(S("update tordergrid set rate=") + q.quote(line.rate) + S(",quantity=") + q.quote(line.quantity)
        + S(",price=") + q.quote(line.price) + S(",itax=") + q.quote(line.tax) + S(",isubtotal=")
        + q.quote(line.isubtotal) + S(",discount=") + q.quote(line.discount) + S(",total=") + q.quote(line.total)
        + gridLineCondition(q, ctx, itemName));
}

// Quantity of the item's line in this order; none when the item is not on it.
std::optional<qint64> lineQuantity(TQuery& q, const OrderContext& ctx, const QString& itemName)
{
    q.exec(S("select quantity from tordergrid") + gridLineCondition(q, ctx, itemName));
    if (q.isEmpty())
        return std::nullopt;
    return Numbers::parseInt(q.text(S("quantity")));
}

void deleteLineLog(TQuery& q, const OrderContext& ctx, const QString& itemCode)
{
    q.exec(S("delete from sales_order_details where billno=") + q.quote(ctx.billNo) + S(" and itemcode=")
        + q.quote(itemCode) + S(" and pcid=") + q.quote(ctx.terminalId));
}

void deleteGridLine(TQuery& q, const OrderContext& ctx, const QString& itemName)
{
    q.exec(S("delete from tordergrid") + gridLineCondition(q, ctx, itemName));
}

QString lockedBills(TQuery& q, const QString& terminalId)
{
    return S("(select billno from sales_order where pcid=") + q.quote(terminalId) + S(" and bool_access='t')");
}

} // namespace

LineAmounts ComputeLineAmounts(
    const QString& rate, const QString& tax, const QString& discount, const QString& quantity, const QString& roundOff)
{
    using Numbers::Value;
    const Value r = Numbers::parse(rate);
    const Value t = Numbers::parse(tax);
    const Value d = Numbers::parse(discount);
    const Value q = Numbers::parse(quantity);
    const Value price = r * q;
    const Value isubtotal = (t * price) / 100 + price;
    const Value total = isubtotal - (d * isubtotal) / 100;
    const int decimals = roundOff.trimmed().isEmpty() ? 0 : int(Numbers::parseInt(roundOff));

    LineAmounts a;
    a.rate = rate;
    a.quantity = quantity;
    a.price = Numbers::general(price);
    a.tax = tax;
    a.isubtotal = Numbers::general(isubtotal);
    a.discount = discount;
    a.total = Numbers::fixedHalfAway(total, std::clamp(decimals, 0, 15));
    return a;
}

QString ItemNameForBarcode(TDm& dm, const QString& barcode)
{
    // items without a barcode carry the column default "0": zeros name no item
    static const QRegularExpression noBarcode(S("^0*$"));
    if (noBarcode.match(barcode.trimmed()).hasMatch())
        return {};
    TQuery& q = dm.MyQposorderitem;
    q.exec(S("select itemname from item where barcode=") + q.quote(barcode));
    return q.text(S("itemname"));
}

namespace {

// Inserts a line for `entered` units when the stock allows it beside what the other grid lines
// hold, with its log row.
LineOutcome insertLine(
    TDm& dm, const OrderContext& ctx, const ItemRow& item, const Stock& stock, qint64 reservedByOthers, qint64 entered)
{
    TQuery& q = dm.MyQposorderitem;
    LineOutcome out;
    if (!fitsTheGrid(item.name)) {
        out.status = kNameTooLong;
        return out;
    }
    out.status = newLineRefusal(stock, reservedByOthers, entered);
    if (!out.status.isEmpty())
        return out;
    out.status = minimalWarning(stock, reservedByOthers + entered);

    const LineAmounts line
        = ComputeLineAmounts(item.rate, item.tax, item.discount, QString::number(entered), ctx.roundOff);
    q.exec(S("insert into tordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) values(")
        + q.quote(item.name) + ',' + q.quote(line.rate) + ',' + q.quote(line.quantity) + ',' + q.quote(line.price) + ','
        + q.quote(line.tax) + ',' + q.quote(line.isubtotal) + ',' + q.quote(line.discount) + ',' + q.quote(line.total)
        + ',' + q.quote(ctx.terminalId) + ',' + q.quote(ctx.billNo) + ')');
    // a new line always gets its log row, also when it comes from "Change Item"
    RecordLineAction(q, ctx, item.code, line);
    out.written = true;
    return out;
}

LineOutcome noSuchItem()
{
    LineOutcome out;
    out.message = kNoSuchItem;
    return out;
}

// Adds the entered quantity to the item's line of oldQuantity units.
LineOutcome mergeLine(
    TDm& dm, const OrderContext& ctx, const QString& itemName, qint64 oldQuantity, const QString& quantityText)
{
    TQuery& q = dm.MyQposorderitem;
    const ItemRow item = readItem(q, itemName);
    if (!item.found)
        return noSuchItem();
    const Stock stock = lockedStock(q, item, itemName);
    const qint64 entered = enteredQuantity(quantityText);
    const qint64 newQuantity = oldQuantity + entered;
    const qint64 reserved = stock.inGrids + entered;
    LineOutcome out;
    out.status = minimalWarning(stock, reserved);

    // the whole line at the item's current rate, tax and discount
    const LineAmounts line
        = ComputeLineAmounts(item.rate, item.tax, item.discount, QString::number(newQuantity), ctx.roundOff);
    if (stock.closing < reserved) {
        // the other lines may already hold more than the ledger shows; what is left is never below 0
        const qint64 left = std::max<qint64>(0, stock.closing - stock.inGrids);
        out.status = S("Total Stock remaining is ") + QString::number(left) + S(".");
        return out;
    }
    updateGridLine(q, ctx, itemName, line);
    LineAmounts logged = line;
    logged.quantity = QString::number(entered); // the log keeps what this action added
    RecordLineAction(q, ctx, item.code, logged);
    out.written = true;
    return out;
}

// Replaces the item's line of oldQuantity units by one with the entered quantity. The stock is
// checked before anything is deleted, so a refused change keeps the line.
LineOutcome changeLine(
    TDm& dm, const OrderContext& ctx, const QString& itemName, qint64 oldQuantity, const QString& quantityText)
{
    TQuery& q = dm.MyQposorderitem;
    const ItemRow item = readItem(q, itemName);
    if (!item.found)
        return noSuchItem();
    const Stock stock = lockedStock(q, item, itemName);
    const qint64 entered = enteredQuantity(quantityText);
    const qint64 reservedByOthers = stock.inGrids - oldQuantity;
    const QString refusal = newLineRefusal(stock, reservedByOthers, entered);
    if (!refusal.isEmpty()) {
        LineOutcome out;
        out.status = refusal;
        return out;
    }
    deleteLineLog(q, ctx, item.code);
    deleteGridLine(q, ctx, itemName);
    return insertLine(dm, ctx, item, stock, reservedByOthers, entered);
}

// Takes the item's line and its log rows off the order (no stock check).
LineOutcome removeLine(TDm& dm, const OrderContext& ctx, const QString& itemName)
{
    TQuery& q = dm.MyQposorderitem;
    const ItemRow item = readItem(q, itemName);
    if (item.found)
        deleteLineLog(q, ctx, item.code);
    deleteGridLine(q, ctx, itemName);
    LineOutcome out;
    out.written = true;
    return out;
}

} // namespace

void SetStockRowLocking(bool on)
{
    g_lockStockRows = on;
}

bool StockRowLocking()
{
    return g_lockStockRows;
}

LineOutcome RunLineAction(TDm& dm, const OrderContext& ctx, LineMode mode, const QString& itemName,
    const QString& quantityText, const QString& actionText)
{
    bool logAction = false;
    const LineOutcome out = lineTransaction(dm, [&]() -> LineOutcome {
        logAction = false;
        const std::optional<qint64> onOrder = lineQuantity(dm.MyQposorderitem, ctx, itemName);
        if (onOrder && mode == LineMode::Change)
            return changeLine(dm, ctx, itemName, *onOrder, quantityText);
        if (mode == LineMode::Remove && !onOrder && !readItem(dm.MyQposorderitem, itemName).found)
            return noSuchItem();
        logAction = true;
        if (mode == LineMode::Remove)
            return onOrder ? removeLine(dm, ctx, itemName) : LineOutcome {};
        return onOrder ? mergeLine(dm, ctx, itemName, *onOrder, quantityText)
                       : AddOrderLine(dm, ctx, itemName, quantityText);
    });
    // written once the action is done (a transaction undone for a deadlock runs again)
    if (logAction)
        LogWrite(actionText, 0);
    return out;
}

LineOutcome AddOrderLine(TDm& dm, const OrderContext& ctx, const QString& itemName, const QString& quantityText)
{
    return lineTransaction(dm, [&] {
        TQuery& q = dm.MyQposorderitem;
        const ItemRow item = readItem(q, itemName);
        if (!item.found)
            return noSuchItem();
        const Stock stock = lockedStock(q, item, item.name);
        return insertLine(dm, ctx, item, stock, stock.inGrids, enteredQuantity(quantityText));
    });
}

void RecordLineAction(TDm& dm, const OrderContext& ctx, const QString& itemCode, const LineAmounts& line)
{
    RecordLineAction(dm.MyQsalesdetails, ctx, itemCode, line);
}

void RecordLineAction(TQuery& q, const OrderContext& ctx, const QString& itemCode, const LineAmounts& line)
{
    q.exec(S("insert into sales_order_details(sdate,stime,billno,itemcode,rate,quantity,price,itax,isubtotal,"
             "discount,total,pcid) values(")
        + q.quote(ctx.date) + ',' + q.quote(ctx.time) + ',' + q.quote(ctx.billNo) + ',' + q.quote(itemCode) + ','
        + q.quote(line.rate) + ',' + q.quote(line.quantity) + ',' + q.quote(line.price) + ',' + q.quote(line.tax) + ','
        + q.quote(line.isubtotal) + ',' + q.quote(line.discount) + ',' + q.quote(line.total) + ','
        + q.quote(ctx.terminalId) + ')');
}

TQuery& RefreshOrderGrid(TDm& dm, const QString& terminalId, const QString& billNo)
{
    TQuery& q = dm.MyQposorderitem;
    q.exec(S("select itemname,rate,quantity,price,itax,isubtotal,discount,total from tordergrid where pcid=")
        + q.quote(terminalId) + S(" and billno=") + q.quote(billNo) + S(" order by id"));
    return q;
}

QString NextBillNumber(TDm& dm, const QString& terminalId)
{
    TQuery& q = dm.MyQposorderitem;
    // the highest saved bill, read backwards along the terminal's bill index rather than by max() over all of them
    q.exec(S("select billno from sales_order where payment_status<>'' and pcid=") + q.quote(terminalId)
        + S(" order by billno desc limit 1"));
    const TField last = q.field(S("billno"));
    if (last.isNull() || last.asString().isEmpty())
        return S("1");
    return QString::number(Numbers::parseInt(last.asString()) + 1);
}

BillChange ProcessBill(TDm& dm, const OrderContext& ctx, const QString& thisTerminal)
{
    TQuery& q = dm.MyQposorderitem;
    const BillKey bill { ctx.terminalId, ctx.billNo };
    return InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
        BillChange change;
        // Sum the grid texts here: the server would sum them as doubles and keep their noise.
        q.exec(S("select total,isubtotal from tordergrid where pcid=") + q.quote(ctx.terminalId) + S(" and billno=")
            + q.quote(ctx.billNo));
        const int lines = q.recordCount();
        Numbers::Value sumTotal = 0;
        Numbers::Value sumSubtotal = 0;
        for (q.first(); !q.eof(); q.next()) {
            sumTotal += Numbers::parseOrZero(q.text(S("total")));
            sumSubtotal += Numbers::parseOrZero(q.text(S("isubtotal")));
        }

        q.exec(S("select rate,taxcode from tax where sdate=(select max(sdate)from tax)"));
        const QString taxRate = q.text(S("rate")).isEmpty() ? S("0") : q.text(S("rate"));
        const QString taxCode = q.text(S("taxcode")).isEmpty() ? S("0") : q.text(S("taxcode"));
        Numbers::Value grand = sumTotal + (Numbers::parse(taxRate) * sumTotal) / 100;

        // A home-delivery bill keeps its charges when its items are changed.
        q.exec(S("select charges from delivery where billno=") + q.quote(ctx.billNo) + S(" and pcid=")
            + q.quote(ctx.terminalId));
        if (!q.isEmpty() && !q.text(S("charges")).isEmpty())
            grand += Numbers::parse(q.text(S("charges")));

        const QString grandText = Numbers::general(grand);
        const QString where = S(" where billno=") + q.quote(ctx.billNo) + S(" and pcid=") + q.quote(ctx.terminalId);
        // the header as it is now, locked until the change is kept
        const BillState state = LockBillRow(q, bill);
        if (!state.exists) {
            q.exec(S("insert into sales_order(sdate,stime,billno,subtotal,taxcode,total,balance,pcid) values(")
                + q.quote(ctx.date) + ',' + q.quote(ctx.time) + ',' + q.quote(ctx.billNo) + ','
                + q.quote(Numbers::general(sumSubtotal)) + ',' + q.quote(taxCode) + ',' + q.quote(grandText) + ','
                + q.quote(grandText) + ',' + q.quote(ctx.terminalId) + ')');
            change.done = true;
            return change;
        }
        change.refusal = BillRefusal(state, bill, thisTerminal, S("its items are not changed."));
        if (!change.refusal.isEmpty())
            return change;
        // a held or part-paid bill's saved lines and stock follow its new total at once, so that
        // they agree however the cashier leaves the bill
        const bool saved = IsStatus(state.status, "Hold") || IsStatus(state.status, "Part Payment");
        if (saved && lines == 0) {
            change.refusal = S("No entries in the grid");
            return change;
        }
        if (state.amountPaid.isEmpty()) {
            q.exec(S("update  sales_order set balance=") + q.quote(grandText) + S(" ,sdate=") + q.quote(ctx.date)
                + S(",stime=") + q.quote(ctx.time) + S(",subtotal=") + q.quote(Numbers::general(sumSubtotal))
                + S(",taxcode=") + q.quote(taxCode) + S(",total=") + q.quote(grandText) + where);
        } else {
            // part paid (or resumed) and changed: what is still owed is the new total less what was paid
            const QString balance = Numbers::general(grand - Numbers::parse(state.amountPaid));
            q.exec(S("update  sales_order set balance=") + q.quote(balance) + S(", sdate=") + q.quote(ctx.date)
                + S(",stime=") + q.quote(ctx.time) + S(",subtotal=") + q.quote(Numbers::general(sumTotal))
                + S(",taxcode=") + q.quote(taxCode) + S(",total=") + q.quote(grandText) + where);
        }
        if (saved) {
            MoveBillStock(q, bill, +1);
            SnapshotBillLines(q, ctx.terminalId, ctx.billNo);
            MoveBillStock(q, bill, -1);
        }
        change.done = true;
        return change;
    });
}

void SnapshotBillLines(TDm& dm, const QString& terminalId, const QString& billNo)
{
    SnapshotBillLines(dm.MyQposorderitem, terminalId, billNo);
}

void SnapshotBillLines(TQuery& q, const QString& terminalId, const QString& billNo)
{
    const QString bill = S(" where billno=") + q.quote(billNo) + S(" and pcid=") + q.quote(terminalId);
    q.exec(S("delete from temp_ordergrid") + bill);
    q.exec(S("insert into temp_ordergrid (itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
             "select itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno  from tordergrid")
        + bill + S(" order by id"));
}

QStringList OrderLogLines(TDm& dm, const QString& terminalId, const QString& billNo)
{
    TQuery& q = dm.MyQposorderitem;
    q.exec(S("select * from tordergrid where pcid=") + q.quote(terminalId) + S(" and billno=") + q.quote(billNo)
        + S(" order by id"));
    QStringList lines;
    static const char* const columns[]
        = { "itemname", "rate", "quantity", "price", "itax", "isubtotal", "discount", "total", "billno" };
    for (q.first(); !q.eof(); q.next()) {
        QStringList fields;
        for (const char* c : columns)
            fields << q.text(QLatin1String(c));
        lines << S(" ") + fields.join(S("  "));
    }
    return lines;
}

namespace {

QStringList upperSorted(TQuery& q)
{
    QStringList names;
    for (q.first(); !q.eof(); q.next()) {
        const TField f = q.field(S("itemname"));
        if (!f.isNull())
            names << f.asString().toUpper();
    }
    names.sort();
    return names;
}

} // namespace

QStringList AllItemNames(TDm& dm)
{
    TQuery& q = dm.MyQposorderitem;
    q.exec(S("select itemname from item "));
    return upperSorted(q);
}

QStringList ItemNamesStartingWith(TDm& dm, const QString& typed)
{
    TQuery& q = dm.MyQposorderitem;
    // what is typed is matched literally: LIKE's own wildcards are escaped
    QString pattern = typed;
    pattern.replace(QLatin1Char('\\'), S("\\\\"))
        .replace(QLatin1Char('%'), S("\\%"))
        .replace(QLatin1Char('_'), S("\\_"));
    q.exec(S("select itemname from item where itemname like ") + q.quote(pattern + QLatin1Char('%')));
    return upperSorted(q);
}

OrderSettings ReadOrderSettings(TDm& dm)
{
    OrderSettings s;
    s.quantityLimit = salesSetting(dm.MyQposorderitem, S("quantity"));
    s.roundOff = salesSetting(dm.MyQposorderitem, S("Round Off"));
    return s;
}

QString LimitQuantity(const QString& quantity, const QString& limit)
{
    if (!Numbers::isInteger(quantity) || !Numbers::isInteger(limit))
        return quantity;
    // compared as decimals: a pasted run of digits may be too long for a whole number
    const bool within = Numbers::compare(quantity, limit) <= 0;
    return quantity.left(within ? limit.size() : limit.size() - 1);
}

void ClearStaleGrid(TDm& dm, const QString& terminalId, const QString& shownBillNo)
{
    TQuery& q = dm.MyQposorderitem;
    q.exec(
        S("select payment_status  from sales_order where payment_status<>\"Hold\" and payment_status<>'' and billno=")
        + q.quote(shownBillNo) + S(" and pcid=") + q.quote(terminalId));
    if (!q.isEmpty())
        return; // the shown bill is saved: its grid stays
    q.exec(S("select distinct billno from tordergrid where pcid=") + q.quote(terminalId) + S(" and billno<>")
        + q.quote(shownBillNo) + S(" and billno not in ") + lockedBills(q, terminalId));
    QStringList stale;
    for (q.first(); !q.eof(); q.next())
        stale << q.text(S("billno"));
    for (const QString& bill : stale) {
        const QString b = q.quote(bill);
        const QString t = q.quote(terminalId);
        // an abandoned order's delivery entry goes with it; a held or paid bill keeps its own
        q.exec(S("delete from delivery where pcid=") + t + S(" and billno=") + b
            + S(" and not exists (select 1 from sales_order s where s.billno=") + b + S(" and s.pcid=") + t
            + S(" and coalesce(s.payment_status,'')<>'')"));
        q.exec(S("delete  from tordergrid where pcid=") + t + S(" and billno=") + b);
    }
}

void ClearOrder(TDm& dm, const QString& terminalId, const QString& billNo)
{
    TQuery& q = dm.MyQposorderitem;
    q.exec(S("delete  from tordergrid where pcid=") + q.quote(terminalId) + S(" and billno not in ")
        + lockedBills(q, terminalId));
    q.exec(S("delete  from delivery where pcid=") + q.quote(terminalId) + S(" and billno= ") + q.quote(billNo));
}
