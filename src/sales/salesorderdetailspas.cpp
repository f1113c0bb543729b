#include "sales/salesorderdetailspas.h"

#include "config/salessettings.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "log/U_LogBook.h"
#include "numbers/numbers.h"
#include "platform/errors.h"
#include "sales/posorderitempas.h"

#include <QRegularExpression>
#include <algorithm>

namespace {

QString S(const char* text)
{
    return QString::fromLatin1(text);
}

using Numbers::Value;

// Widths of the text columns a payment writes (the server refuses longer texts in strict mode).
constexpr int kBankWidth = 20; // card_details.bank, cheque_details.bank
constexpr int kCardNameWidth = 20; // card_details.cardname
// Conditional writes that lose to other terminals this often give up with an error.
constexpr int kAttempts = 20;

QString billWhere(TQuery& q, const BillKey& bill)
{
    return S(" where billno=") + q.quote(bill.billNo) + S(" and pcid=") + q.quote(bill.terminalId);
}

QString textOrZero(const TField& f)
{
    return f.isNull() || f.asString().trimmed().isEmpty() ? S("0") : f.asString();
}

// The condition that a float column still holds the value read as `old` (its text as the
// server writes it, or NULL).
QString stillHolds(TQuery& q, const QString& column, const TField& old)
{
    if (old.isNull())
        return column + S(" is null");
    return S("cast(") + column + S(" as char)=") + q.quote(old.asString());
}

// Adds `amount` to an amount column of the one row `where` selects. The sum is computed here
// from the decimal texts; the write is conditional on the value it was computed from, so an
// addition by another terminal in between is read again, never overwritten. False when no row
// matched.
bool addToAmount(TQuery& q, const QString& table, const QString& where, const QString& amount)
{
    const QString read = S("select amount_paid, cast(amount_paid as char) as amount_text from ") + table + where;
    q.exec(read);
    for (int attempt = 0; !q.isEmpty(); ++attempt) {
        const TField old = q.field(S("amount_text"));
        const QString sum = Numbers::general(Numbers::parseOrZero(old.asString()) + Numbers::parse(amount));
        q.exec(S("update ") + table + S(" set amount_paid=") + q.quote(sum) + where + S(" and ")
            + stillHolds(q, S("amount_paid"), old));
        if (q.rowsAffected() > 0)
            return true;
        if (attempt >= kAttempts)
            throw EDatabaseError(S("The amount paid in ") + table + S(" keeps changing; the payment is not recorded"));
        // no row changed: another write came first, or the sum reads as the old value in the column
        q.exec(read);
        if (!q.isEmpty() && q.field(S("amount_text")).asString() == old.asString()
            && q.field(S("amount_text")).isNull() == old.isNull())
            return true;
    }
    return false;
}

bool reservesStock(const QString& status)
{
    return IsStatus(status, "Hold") || IsStatus(status, "Part Payment") || IsStatus(status, "Complete");
}

bool hasReservationToGiveBack(const QString& status)
{
    // a complete bill is never settled again, so only these two have lines out of stock
    return IsStatus(status, "Hold") || IsStatus(status, "Part Payment");
}

struct DeliveryEntry {
    bool exists = false;
    bool hasCharges = false;
};

DeliveryEntry deliveryEntry(TQuery& q, const BillKey& bill)
{
    q.exec(S("select charges from delivery") + billWhere(q, bill));
    DeliveryEntry d;
    d.exists = !q.isEmpty();
    for (q.first(); !q.eof(); q.next()) {
        const TField charges = q.field(S("charges"));
        if (!charges.isNull() && !charges.asString().trimmed().isEmpty())
            d.hasCharges = true;
    }
    return d;
}

// Copies the order grid into the bill's saved lines, unless the grid no longer holds the bill
// (the lines would be replaced by nothing): the old lines go only when the grid has the bill's.
void snapshotLines(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQsalesdetails;
    const QString where = billWhere(q, bill);
    q.exec(S("delete from temp_ordergrid") + where + S(" and exists (select 1 from tordergrid") + where + S(")"));
    q.exec(S("insert into temp_ordergrid (itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
             "select itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno from tordergrid")
        + where + S(" order by id"));
}

bool isWholeNumber(const QString& text)
{
    static const QRegularExpression digits(S("^[0-9]+$"));
    return digits.match(text).hasMatch();
}

// The customer id of a customer chosen on the customer screen, when that customer exists.
QString chosenCustomer(TQuery& q, const CustomerChoice& c)
{
    if (!isWholeNumber(c.id.trimmed()) || c.id.trimmed().size() > 10)
        return {};
    q.exec(S("select customerid from customer_details where customer_name=") + q.quote(c.name) + S(" and customerid=")
        + q.quote(c.id.trimmed()));
    return q.text(S("customerid"));
}

// A walk-in customer: one more than the highest id of customers and bills.
QString newCustomerId(TQuery& q)
{
    q.exec(S("select greatest(coalesce((select max(customerid) from customer_details),0),"
             "coalesce((select max(customerid) from sales_order),0)) as last_id"));
    return QString::number(Numbers::parseInt(textOrZero(q.field(S("last_id")))) + 1);
}

QString ownCustomer(const TField& f)
{
    return f.isNull() ? QString() : f.asString().trimmed();
}

QString methodTable(PaymentMethod m)
{
    switch (m) {
    case PaymentMethod::Card:
        return S("card_details");
    case PaymentMethod::Cheque:
        return S("cheque_details");
    case PaymentMethod::Cash:
        break;
    }
    return S("cash_details");
}

void stampBill(TQuery& q, const BillKey& bill, const QString& date, const QString& time)
{
    q.exec(S("update sales_order set sdate=") + q.quote(date) + S(" , stime=") + q.quote(time) + S(" ")
        + billWhere(q, bill));
}

} // namespace

QString PaymentTypeText(PaymentMethod method)
{
    switch (method) {
    case PaymentMethod::Card:
        return S("card");
    case PaymentMethod::Cheque:
        return S("cheque");
    case PaymentMethod::Cash:
        break;
    }
    return S("cash");
}

bool IsStatus(const QString& status, const char* name)
{
    return status.trimmed().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

QString BillStatus(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("select payment_status from sales_order") + billWhere(q, bill));
    return q.text(S("payment_status"));
}

BillState LockBillRow(TQuery& q, const BillKey& bill)
{
    q.exec(S("select payment_status, hold_entry, bool_access, lock_pcid, customerid, amount_paid from sales_order")
        + billWhere(q, bill) + S(" for update"));
    BillState state;
    state.exists = !q.isEmpty();
    if (!state.exists)
        return state;
    state.status = q.text(S("payment_status"));
    state.cancelled = !q.field(S("hold_entry")).isNull();
    state.locked = q.text(S("bool_access")) == QLatin1String("t");
    state.lockHolder = q.text(S("lock_pcid"));
    state.customerId = ownCustomer(q.field(S("customerid")));
    state.amountPaid = q.text(S("amount_paid")).trimmed();
    return state;
}

QString BillRefusal(const BillState& state, const BillKey& bill, const QString& thisTerminal, const QString& notDone)
{
    const QString holder = thisTerminal.isEmpty() ? bill.terminalId : thisTerminal;
    QString why;
    if (!state.exists)
        why = S(" no longer exists; ");
    else if (state.cancelled)
        why = S(" was cancelled; ");
    else if (IsStatus(state.status, "Complete"))
        why = S(" is paid in full already; ");
    else if (state.locked && state.lockHolder != holder)
        why = state.lockHolder.isEmpty() ? S(" is being settled at another terminal; ")
                                         : S(" is being settled at terminal ") + state.lockHolder + S("; ");
    else
        return {};
    return S("Bill ") + bill.terminalId + QLatin1Char('/') + bill.billNo + why + notDone;
}

TQuery& ShowBillGrid(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("select itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno from tordergrid")
        + billWhere(q, bill) + S(" order by id"));
    return q;
}

BillSummary ShowBillSummary(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQsalesdetails;
    BillSummary s;
    q.exec(S("select rate from tax where sdate=(select max(sdate) from tax )"));
    s.taxRate = textOrZero(q.field(S("rate")));

    // the line totals summed here, not by the server
    q.exec(S("select total from tordergrid") + billWhere(q, bill));
    Value subtotal = 0;
    for (q.first(); !q.eof(); q.next())
        subtotal += Numbers::isNumber(q.text(S("total"))) ? Numbers::parse(q.text(S("total"))) : 0;
    s.subtotal = Numbers::general(subtotal);
    s.lines = q.recordCount();

    q.exec(S("select s.total, s.balance, s.payment_status, d.charges from sales_order s left join delivery d on "
             "d.billno=s.billno and d.pcid=s.pcid where s.billno=")
        + q.quote(bill.billNo) + S(" and s.pcid=") + q.quote(bill.terminalId));
    const QString total = textOrZero(q.field(S("total")));
    s.balance = textOrZero(q.field(S("balance")));
    s.status = q.text(S("payment_status"));
    QString charges;
    for (q.first(); !q.eof() && charges.isEmpty(); q.next())
        charges = q.text(S("charges")).trimmed();
    s.complete = IsStatus(s.status, "Complete");
    s.changeAllowed = s.status.trimmed().isEmpty() || IsStatus(s.status, "Hold");
    if (charges.isEmpty()) {
        s.total = total;
        s.deliveryCharges = S("=  -");
        s.orderPrice = S("=  ") + total;
    } else {
        const QString price = Numbers::general(Numbers::parse(total) - Numbers::parse(charges));
        s.total = price;
        s.deliveryCharges = S("=   ") + charges;
        s.orderPrice = S("=  ") + price;
    }
    return s;
}

bool HasDeliveryCharges(TDm& dm, const BillKey& bill)
{
    return deliveryEntry(dm.MyQsalesdetails, bill).hasCharges;
}

void RecordCashPayment(TDm& dm, const BillKey& bill, const QString& amount)
{
    TQuery& q = dm.MyQsalesdetails;
    const QString where = billWhere(q, bill);
    if (!addToAmount(q, S("cash_details"), where, amount))
        q.exec(S("insert into cash_details(billno,amount_paid,pcid) values(") + q.quote(bill.billNo) + ','
            + q.quote(Numbers::general(Numbers::parse(amount))) + ',' + q.quote(bill.terminalId) + ')');
    addToAmount(q, S("sales_order"), where, amount);
}

void RecordCardPayment(TDm& dm, const BillKey& bill, const QString& cardNo, const QString& cardHolder,
    const QString& amount, const QString& bank)
{
    TQuery& q = dm.MyQsalesdetails;
    const QString where = billWhere(q, bill);
    // a later card payment on the bill keeps the first card's details
    if (!addToAmount(q, S("card_details"), where, amount))
        q.exec(S("insert into card_details(billno,cardno,cardname,bank,amount_paid,pcid) values(")
            + q.quote(bill.billNo) + ',' + q.quote(cardNo.right(4)) + ',' + q.quote(cardHolder.left(kCardNameWidth))
            + ',' + q.quote(bank.left(kBankWidth)) + ',' + q.quote(Numbers::general(Numbers::parse(amount))) + ','
            + q.quote(bill.terminalId) + ')');
    addToAmount(q, S("sales_order"), where, amount);
}

void RecordChequePayment(TDm& dm, const BillKey& bill, const QString& chequeNo, const QDate& chequeDate,
    const QString& amount, const QString& bank)
{
    TQuery& q = dm.MyQsalesdetails;
    const QString where = billWhere(q, bill);
    if (!addToAmount(q, S("cheque_details"), where, amount))
        q.exec(S("insert into cheque_details(billno,chequeno,chequedate,bank,amount_paid,pcid) values(")
            + q.quote(bill.billNo) + ',' + q.quote(chequeNo) + ',' + q.quote(chequeDate.toString(S("yyyy-MM-dd"))) + ','
            + q.quote(bank.left(kBankWidth)) + ',' + q.quote(Numbers::general(Numbers::parse(amount))) + ','
            + q.quote(bill.terminalId) + ')');
    addToAmount(q, S("sales_order"), where, amount);
}

SettleOutcome SettleBillPayment(TDm& dm, const SettleInput& in)
{
    TQuery& q = dm.MyQsalesdetails;
    const QString where = billWhere(q, in.bill);
    const QString type = PaymentTypeText(in.method);
    const Value amount = Numbers::parse(in.amount);
    const Value allowance = IsStatus(salesSetting(q, S("Round amount")), "checked") ? 0.5L : 0.0001L;
    const QString chosen = chosenCustomer(q, in.customer);

    SettleOutcome out;
    const QString read
        = S("select cast(balance as char) as balance_text, total, customerid, payment_status from sales_order") + where;
    q.exec(read);
    if (q.isEmpty())
        return out;
    QString customerId = chosen;
    if (customerId.isEmpty())
        customerId = ownCustomer(q.field(S("customerid")));
    if (customerId.isEmpty()) {
        customerId = newCustomerId(q);
        q.exec(read);
    }

    Value balance = 0;
    QString total;
    for (int attempt = 0;; ++attempt) {
        const TField balanceText = q.field(S("balance_text"));
        total = textOrZero(q.field(S("total")));
        balance = Numbers::parseOrZero(balanceText.asString());
        const Value remaining = balance - amount;
        const Value totalValue = Numbers::parse(total);
        out.complete = remaining <= 0 || remaining <= allowance;
        if (out.complete) {
            out.status = S("Complete");
            if (remaining < 0)
                out.change = Numbers::general(-remaining);
        } else if (remaining == totalValue) {
            out.status = S("Hold");
        } else if (remaining > 0 && remaining < totalValue) {
            out.status = S("Part Payment");
        } else {
            out.status.clear();
        }
        // The bill's figures change only from the balance they were computed from, and never
        // once the bill is complete.
        QString set;
        if (out.complete)
            set = S("update sales_order set customerid=") + q.quote(customerId) + S(",balance=\"0\",payment_type=")
                + q.quote(type) + S(", amount_paid=total,payment_status=\"Complete\"");
        else
            set = S("update sales_order set customerid=") + q.quote(customerId) + S(",balance=")
                + q.quote(Numbers::general(remaining)) + S(", sdate=") + q.quote(in.date) + S(",payment_type=")
                + q.quote(type) + S(", payment_status=") + q.quote(out.status);
        q.exec(set + where + S(" and ") + stillHolds(q, S("balance"), balanceText)
            + S(" and coalesce(payment_status,'')<>'Complete'"));
        if (q.rowsAffected() > 0)
            break;
        if (attempt >= kAttempts)
            throw EDatabaseError(S("The bill's balance kept changing; the payment is not recorded"));
        q.exec(read);
        if (q.isEmpty() || IsStatus(q.text(S("payment_status")), "Complete"))
            return SettleOutcome {};
        if (q.field(S("balance_text")).asString() == balanceText.asString())
            break; // the same figures were there already
    }

    if (out.complete || IsStatus(out.status, "Part Payment"))
        snapshotLines(dm, in.bill);
    if (out.complete)
        q.exec(S("update ") + methodTable(in.method) + S(" set amount_paid=") + q.quote(total) + where);

    // the payment log credits what the bill was owed at most; change is not credited
    const QString credited = Numbers::general(std::min(amount, std::max<Value>(balance, 0)));
    const QString logWhere = where + S(" and payment_type=") + q.quote(type);
    if (addToAmount(q, S("payment_details"), logWhere, credited)) {
        q.exec(
            S("update payment_details set stime=") + q.quote(in.time) + S(" , sdate=") + q.quote(in.date) + logWhere);
    } else {
        q.exec(S("insert into payment_details(billno,sdate,stime,payment_type,amount_paid,pcid) values (")
            + q.quote(in.bill.billNo) + ',' + q.quote(in.date) + ',' + q.quote(in.time) + ',' + q.quote(type) + ','
            + q.quote(credited) + ',' + q.quote(in.bill.terminalId) + ')');
    }

    // the bill details row holds whole amounts
    q.exec(S("update vbilldetails set date=") + q.quote(in.date) + S(",time=") + q.quote(in.time) + S(",payment_type=")
        + q.quote(type) + S(",aount_paid=") + q.quote(Numbers::fixedHalfAway(amount, 0)) + where);
    return out;
}

void RecordDeliveryChoice(TDm& dm, const BillKey& bill, const QString& delivery)
{
    TQuery& q = dm.MyQsalesdetails;
    InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
        const QString where = billWhere(q, bill);
        // the printed grand total is the total for both kinds; the charges are already in the total
        q.exec(S("update sales_order set delivery=") + q.quote(delivery) + S(",grandtotal=total") + where);
        q.exec(S("update vbilldetails set delivery=") + q.quote(delivery) + where);
    });
}

namespace {

void moveBillStock(TQuery& q, const BillKey& bill, int direction)
{
    q.exec(S("select g.itemname, g.quantity, (select i.itemcode from item i where i.itemname=g.itemname limit 1) "
             "as itemcode from temp_ordergrid g where g.billno=")
        + q.quote(bill.billNo) + S(" and g.pcid=") + q.quote(bill.terminalId));
    struct Line {
        QString name;
        QString quantity;
        TField code;
    };
    QVector<Line> lines;
    for (q.first(); !q.eof(); q.next())
        lines.append({ q.text(S("itemname")), q.text(S("quantity")), q.field(S("itemcode")) });
    // Ledger rows are changed in item order, the same for every bill, so two bills settled at
    // once never each hold a row the other waits for.
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        const qint64 x = Numbers::isInteger(a.code.asString()) ? Numbers::parseInt(a.code.asString()) : -1;
        const qint64 y = Numbers::isInteger(b.code.asString()) ? Numbers::parseInt(b.code.asString()) : -1;
        return x < y;
    });

    // The items themselves are locked first: a purchase opening a new day's row for one of them
    // waits until this bill's movement is done, or is done before it, so each increment lands on
    // the row that is the item's latest when it runs, never on the row before. They are locked by a
    // write, which a cluster of servers also checks at commit.
    QStringList codes;
    for (const Line& line : lines) {
        if (!line.code.isNull() && Numbers::isInteger(line.code.asString()))
            codes << QString::number(Numbers::parseInt(line.code.asString()));
    }
    codes.removeDuplicates();
    if (!codes.isEmpty())
        q.exec(S("update item set ") + Schema::lockWrite() + S(" where itemcode in (") + codes.join(QLatin1Char(','))
            + S(") order by itemcode"));

    const QString billText = bill.terminalId + QLatin1Char('/') + bill.billNo;
    for (const Line& line : lines) {
        if (!Numbers::isInteger(line.quantity)) {
            LogWriteAfterCommit(q.connection(),
                S("Stock not moved for ") + line.name + S(" of bill ") + billText + S(": quantity \"") + line.quantity
                    + S("\" is not a whole number"),
                0);
            continue;
        }
        const qint64 units = Numbers::parseInt(line.quantity) * (direction < 0 ? -1 : 1);
        if (units == 0)
            continue;
        bool moved = false;
        if (!line.code.isNull() && Numbers::isInteger(line.code.asString())) {
            // One increment on the item's latest ledger row: a concurrent movement is never
            // overwritten. The code goes in as a number, which lets the server read that one row
            // backwards along the item's index (a quoted code makes it sort all the item's rows).
            q.exec(S("update stock_details set closing_stock=coalesce(closing_stock,0)") + (units < 0 ? S("-") : S("+"))
                + QString::number(std::abs(units)) + S(" where itemcode=")
                + QString::number(Numbers::parseInt(line.code.asString())) + S(" order by sdate desc limit 1"));
            moved = q.rowsAffected() > 0;
        }
        if (!moved)
            LogWriteAfterCommit(q.connection(),
                S("Stock not moved for ") + line.name + S(" of bill ") + billText
                    + S(": the item or its stock row no longer exists"),
                0);
    }
}

} // namespace

void MoveBillStock(TQuery& q, const BillKey& bill, int direction)
{
    moveBillStock(q, bill, direction);
}

void MoveBillStock(TDm& dm, const BillKey& bill, int direction)
{
    InTransaction(
        dm.MyConsalesdetails, Isolation::ReadCommitted, [&] { moveBillStock(dm.MyQsalesdetails, bill, direction); });
}

namespace {

// The messages of one payment method.
struct MethodTexts {
    const char* emptyAmount;
    const char* zeroAmount;
    const char* belowMinimum;
    const char* noDeliveryDetails;
    const char* added;
};

const MethodTexts& textsOf(PaymentMethod m)
{
    static const MethodTexts cash { "Please the enter amount", "Please Enter the amount", "Enter more Amount",
        "Enter home delivery details", "Cash  Details are Added" };
    static const MethodTexts card { "Please Enter the amount", "Please Enter the amount", "Please Enter more amount",
        "Enter the home delivery details", "Card Details are Added" };
    static const MethodTexts cheque { "Please enter the amount!!", "Please enter the amount!!",
        "Please enter more amount!!", "Enter home delivery details!!", "Cheque Details are Added!!" };
    return m == PaymentMethod::Card ? card : (m == PaymentMethod::Cheque ? cheque : cash);
}

// The refusal of the method's own fields, empty when they are complete.
QString fieldRefusal(const PaymentRequest& r)
{
    const SettleInput& s = r.settle;
    const bool noAmount = !Numbers::isNumber(s.amount);
    switch (s.method) {
    case PaymentMethod::Card:
        if (r.cardNo.isEmpty())
            return S("please enter the card number");
        if (r.cardNo.size() != 16 || !isWholeNumber(r.cardNo))
            return S("please enter the valid card number");
        if (r.cardHolder.trimmed().isEmpty())
            return S("Please enter the card holder name");
        if (r.bank.trimmed().isEmpty())
            return S("Please enter the bank name");
        break;
    case PaymentMethod::Cheque:
        // 6 to 12 digits, which the cheque number column holds
        if (r.chequeNo.size() <= 5 || !isWholeNumber(r.chequeNo) || r.chequeNo.size() > 12)
            return S("please enter valid check number");
        if (r.bank.trimmed().isEmpty())
            return S("Please enter the bank name!!");
        break;
    case PaymentMethod::Cash:
        break;
    }
    return noAmount ? S(textsOf(s.method).emptyAmount) : QString();
}

Value minimalPayment(TQuery& q)
{
    const QString minimal = salesSetting(q, S("minimal value"));
    if (Numbers::isNumber(minimal))
        return Numbers::parse(minimal);
    LogWriteAfterCommit(q.connection(),
        S("The setting \"minimal value\" is \"") + minimal + S("\", not a number; payments are checked against 0"), 0);
    return 0;
}

QString maskedCard(const QString& cardNo)
{
    return QString(12, QLatin1Char('X')) + cardNo.right(4);
}

QString paymentLogLine(const PaymentRequest& r)
{
    const SettleInput& s = r.settle;
    switch (s.method) {
    case PaymentMethod::Card:
        return S("payment by CARD-- card  no.:") + maskedCard(r.cardNo) + S(" Bank Name: ") + r.bank
            + S("card holder name:") + r.cardHolder + S("amount paid: ") + s.amount + S("Billno: ") + s.bill.billNo;
    case PaymentMethod::Cheque:
        return S("payment by CHEQUE-- cheque no.:") + r.chequeNo + S(" Bank Name: ") + r.bank + S("Cheque Date:")
            + r.chequeDate.toString(S("dd-MM-yyyy")) + S("amount paid: ") + s.amount + S("Billno: ") + s.bill.billNo;
    case PaymentMethod::Cash:
        break;
    }
    return S("Cash Payment-- Amount Paid: ") + s.amount + S("Billno: ") + s.bill.billNo;
}

void recordMethod(TDm& dm, const PaymentRequest& r)
{
    const SettleInput& s = r.settle;
    switch (s.method) {
    case PaymentMethod::Card:
        RecordCardPayment(dm, s.bill, r.cardNo, r.cardHolder, s.amount, r.bank);
        return;
    case PaymentMethod::Cheque:
        RecordChequePayment(dm, s.bill, r.chequeNo, r.chequeDate, s.amount, r.bank);
        return;
    case PaymentMethod::Cash:
        RecordCashPayment(dm, s.bill, s.amount);
        return;
    }
}

PaymentOutcome runPayment(TDm& dm, const PaymentRequest& r)
{
    TQuery& q = dm.MyQsalesdetails;
    const SettleInput& s = r.settle;
    const MethodTexts& texts = textsOf(s.method);
    PaymentOutcome out;

    // The bill as it is now, its row locked to the end: another terminal's payment, hold or
    // cancel of it waits for this one and then finds it as this one leaves it.
    const BillState state = LockBillRow(q, s.bill);
    const QString billRefusal = BillRefusal(state, s.bill, r.thisTerminal, S("the payment is not recorded."));
    if (!billRefusal.isEmpty()) {
        out.messages << billRefusal;
        out.refused = true;
        return out;
    }

    const QString refusal = fieldRefusal(r);
    if (!refusal.isEmpty()) {
        out.messages << refusal;
        return out;
    }
    const Value amount = Numbers::parse(s.amount);
    const Value minimal = minimalPayment(q);
    if (amount == 0 || amount < minimal) {
        out.messages << S(amount == 0 ? texts.zeroAmount : texts.belowMinimum);
        out.emptyAmount = true;
        return out;
    }
    if (Numbers::isNumber(r.shownBalance) && amount < Numbers::parse(r.shownBalance)
        && deliveryEntry(q, s.bill).exists) {
        out.messages << S("Part payment for home delivery not allowed");
        out.emptyAmount = true;
        return out;
    }
    out.checked = true;

    if (hasReservationToGiveBack(state.status))
        moveBillStock(q, s.bill, +1);
    QString statusAfter = state.status;
    if (r.homeDelivery && !deliveryEntry(q, s.bill).hasCharges) {
        out.messages << S(texts.noDeliveryDetails);
    } else {
        recordMethod(dm, r);
        out.settled = SettleBillPayment(dm, s);
        // the row is locked: the status written is the bill's status now
        statusAfter = out.settled.status;
        if (!out.settled.change.isEmpty())
            out.messages << S("Amount to be paid back is Rs. ") + out.settled.change;
        out.messages << S(texts.added);
        RecordDeliveryChoice(dm, s.bill, r.homeDelivery ? S("Home Delivery") : S("Take Away"));
        out.recorded = true;
    }
    if (reservesStock(statusAfter))
        moveBillStock(q, s.bill, -1);
    stampBill(q, s.bill, r.stampDate, r.stampTime);
    return out;
}

BillChange holdBill(TDm& dm, const HoldRequest& r)
{
    TQuery& q = dm.MyQsalesdetails;
    const QString where = billWhere(q, r.bill);
    const BillState state = LockBillRow(q, r.bill);
    BillChange out;
    out.refusal = BillRefusal(state, r.bill, r.thisTerminal, S("it is not held."));
    if (!out.refusal.isEmpty())
        return out;
    QString customerId = state.customerId;

    if (hasReservationToGiveBack(state.status))
        moveBillStock(q, r.bill, +1);
    if (customerId.isEmpty())
        customerId = chosenCustomer(q, r.customer);
    if (customerId.isEmpty())
        customerId = newCustomerId(q);
    // money paid on the bill keeps it a part-paid bill; only an unpaid one is held
    q.exec(S("update sales_order set payment_status=if(coalesce(payment_status,'')='','Hold',payment_status),"
             "customerid=")
        + q.quote(customerId) + where);
    snapshotLines(dm, r.bill);
    moveBillStock(q, r.bill, -1);
    stampBill(q, r.bill, r.stampDate, r.stampTime);
    out.done = true;
    return out;
}

} // namespace

// A payment and a hold are each one transaction on the settlement's connection: a failure or a
// lost connection part-way leaves the bill, its payment records and the stock as they were.
// Each plain read sees what other terminals have committed, so a conditional write that lost to
// another terminal reads the new figure before it tries again.
PaymentOutcome RunPayment(TDm& dm, const PaymentRequest& r)
{
    const PaymentOutcome out
        = InTransaction(dm.MyConsalesdetails, Isolation::ReadCommitted, [&] { return runPayment(dm, r); });
    // the cashier's log line, once the payment is kept
    if (out.checked)
        LogWrite(paymentLogLine(r), 0);
    return out;
}

BillChange HoldBill(TDm& dm, const HoldRequest& r)
{
    return InTransaction(dm.MyConsalesdetails, Isolation::ReadCommitted, [&] { return holdBill(dm, r); });
}
