#include "bills/homedeliverypas.h"

#include "bills/custdetailspas.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "numbers/numbers.h"
#include "platform/errors.h"
#include "platform/latin1.h"

namespace {

constexpr int kPhoneLength = 13;

// A phone as the screen's keys can type it.
bool typedPhone(const QString& phone)
{
    for (qsizetype i = 0; i < phone.size(); ++i) {
        if (phone.at(i) == QLatin1Char('\b') || !HomeDeliveryPhoneKey(phone.left(i), phone.at(i)))
            return false;
    }
    return true;
}

QString recordedCharges(TQuery& q, const BillKey& bill)
{
    q.exec(S("select charges from delivery") + BillWhere(q, bill));
    return q.isEmpty() ? QString() : q.text(S("charges"));
}

void fillCustomer(TQuery& q, DeliveryView& view)
{
    view.name = q.text(S("customer_name"));
    view.address = q.text(S("address"));
    view.phone = q.text(S("phoneno"));
}

} // namespace

DeliveryView OpenDelivery(TDm& dm, const BillKey& bill, const QString& settlementName)
{
    TQuery& q = dm.MyQhomedelivery;
    DeliveryView view;
    q.exec(S("select c.customer_name,c.address,c.phoneno from customer_details c,sales_order s  where "
             "c.customerid=s.customerid and s.billno=")
        + q.quote(bill.billNo) + S(" and s.pcid=") + q.quote(bill.terminalId));
    fillCustomer(q, view);
    if (view.name.isEmpty()) {
        q.exec(S("select customer_name,address,phoneno from customer_details c  where customer_name=")
            + q.quote(settlementName.left(kCustomerNameWidth)));
        fillCustomer(q, view);
    }
    q.exec(S("select charges from delivery") + BillWhere(q, bill));
    view.recorded = !q.isEmpty();
    view.charges = q.text(S("charges"));
    return view;
}

bool AddDeliveryCharges(TDm& dm, const BillKey& bill, const QString& charges)
{
    TQuery& q = dm.MyQhomedelivery;
    const QString where = BillWhere(q, bill);
    const QString read = S("select cast(total as char) as total_text, cast(balance as char) as balance_text, "
                           "payment_status from sales_order")
        + where;
    q.exec(read);
    for (int attempt = 0; !q.isEmpty() && !IsStatus(q.text(S("payment_status")), "Complete"); ++attempt) {
        const TField total = q.field(S("total_text"));
        const TField balance = q.field(S("balance_text"));
        const Numbers::Value added = Numbers::parse(charges);
        const Numbers::Value oldTotal = Numbers::parseOrZero(total.asString());
        // a bill without a balance has had nothing paid yet
        const Numbers::Value oldBalance = balance.isNull() ? oldTotal : Numbers::parseOrZero(balance.asString());
        const QString newTotal = Numbers::general(oldTotal + added);
        const QString newBalance = Numbers::general(oldBalance + added);
        // written only over the figures it was computed from: a payment in between is read again
        q.exec(S("update sales_order set total=") + q.quote(newTotal) + S(",grandtotal=") + q.quote(newTotal)
            + S(",balance=") + q.quote(newBalance) + where + S(" and ") + StillHolds(q, S("total"), total) + S(" and ")
            + StillHolds(q, S("balance"), balance));
        if (q.rowsAffected() > 0)
            return true;
        if (attempt >= kConditionalWriteAttempts)
            throw EDatabaseError(S("The bill's total keeps changing; the delivery charges are not added"));
        q.exec(read);
        // nothing changed because the new figures read as the old ones (charges too small to show)
        if (!q.isEmpty() && !IsStatus(q.text(S("payment_status")), "Complete")
            && q.field(S("total_text")).asString() == total.asString()
            && q.field(S("balance_text")).asString() == balance.asString())
            return true;
    }
    return false;
}

bool HomeDeliveryPhoneKey(const QString& text, QChar key)
{
    if (key == QLatin1Char('\b'))
        return true;
    if (text.size() >= kPhoneLength)
        return false;
    if (text.isEmpty())
        return key == QLatin1Char('7') || key == QLatin1Char('8') || key == QLatin1Char('9') || key == QLatin1Char('+');
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

DeliveryOutcome RecordHomeDelivery(TDm& dm, const DeliveryEntry& e)
{
    DeliveryOutcome out;
    BillKey bill;
    const QString refusal = [&]() -> QString {
        if (e.name.trimmed().isEmpty())
            return S("Enter the Customer name");
        if (e.address.trimmed().isEmpty())
            return S("Enter the Customer address");
        if (e.billKey.isEmpty() || !ParseBillKey(e.billKey, bill))
            return S("Enter the bill number");
        if (e.phone.isEmpty())
            return S("Please enter the Phone number");
        if (e.phone.size() < 10 || !typedPhone(e.phone))
            return S("Invalid Phone number");
        if (e.charges.isEmpty())
            return S("Enter the home delivery charges");
        // what the charges' keys type: digits and a point, never a sign
        if (!Numbers::isPlainDecimal(e.charges) || Numbers::parse(e.charges) == 0) {
            out.clearCharges = true;
            return S("Enter the home delivery charges");
        }
        return QString();
    }();
    if (!refusal.isEmpty()) {
        out.messages << refusal;
        return out;
    }

    TQuery& q = dm.MyQhomedelivery;
    const QString name = e.name.toUpper().left(kCustomerNameWidth);
    const QString date = e.at.date().toString(S("yyyy-MM-dd"));
    const QString charges = Numbers::general(Numbers::parse(e.charges));
    // The delivery row, the customer, the bill's link to it and the charges on the bill are one
    // transaction on the delivery's connection: all of them are kept, or none. Each read sees what
    // other terminals committed, so a customer id another terminal took is read again.
    return InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
        DeliveryOutcome done = out;
        // The bill is locked and looked at again first: a payment that completed it or a bill
        // that went meanwhile on another terminal is seen here, and none can come in between.
        q.exec(S("select payment_status from sales_order") + BillWhere(q, bill) + S(" for update"));
        if (q.isEmpty() || IsStatus(q.text(S("payment_status")), "Complete")) {
            done.billClosed = true;
            done.messages << (q.isEmpty() ? S("Bill not found; home delivery details not added")
                                          : S("Bill is complete; home delivery cannot be added"));
            return done;
        }
        done.name = name;
        // One delivery row per bill: the row and the charges go in only when the bill has none yet.
        q.exec(S("insert into delivery(sdate,customer_name,stime,billno,delivery_status,charges,pcid) select ")
            + q.quote(date) + QLatin1Char(',') + q.quote(name.left(kDeliveryNameWidth)) + QLatin1Char(',')
            + q.quote(e.at.time().toString(S("HH:mm:ss"))) + QLatin1Char(',') + q.quote(bill.billNo) + S(",'0',")
            + q.quote(charges) + QLatin1Char(',') + q.quote(bill.terminalId)
            + S(" from dual where not exists (select 1 from delivery") + BillWhere(q, bill) + QLatin1Char(')'));
        if (q.rowsAffected() == 0) {
            done.alreadyRecorded = true;
            done.charges = recordedCharges(q, bill);
            return done;
        }

        const NewCustomer customer { date, name, e.address, e.phone };
        QString customerId;
        if (!e.knownCustomer) {
            // the customer just added, or the one who has this name and phone already
            const AddCustomerOutcome added = AddCustomer(q, customer, NextCustomerId(q));
            if (added.duplicate)
                done.messages << S("customer already exist");
            customerId = added.id;
        } else {
            customerId = CustomerIdByName(q, name);
        }
        if (customerId.isEmpty()) {
            // the name on the bill belongs to no customer yet
            customerId = AddCustomer(q, customer, NextCustomerId(q)).id;
        }
        q.exec(S("update sales_order set  delivery=\"Home Delivery\",customerid=") + q.quote(customerId)
            + BillWhere(q, bill));
        // the same connection: part of this transaction, and the bill is locked open
        if (!AddDeliveryCharges(dm, bill, charges))
            throw EDatabaseError(S("The delivery charges could not be added to bill ") + e.billKey);
        done.recorded = true;
        done.charges = charges;
        done.messages << S("Home Delivery details added");
        return done;
    });
}

TakeAwayOutcome TakeBillAway(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQhomedelivery;
    const TakeAwayOutcome out = InTransaction(q.connection(), Isolation::ReadCommitted, [&] {
        TakeAwayOutcome done;
        const QString where = BillWhere(q, bill);
        // locked first, so a payment on another terminal is either seen here or waits
        q.exec(S("select total, balance, amount_paid from sales_order") + where + S(" for update"));
        if (q.isEmpty()) {
            done.messages << S("Bill not found");
            return done;
        }
        const QString total = q.text(S("total"));
        const TField balance = q.field(S("balance"));
        const QString paid = q.text(S("amount_paid"));

        q.exec(S("select charges from delivery") + where);
        if (q.isEmpty())
            return done; // no delivery: nothing to take off
        QString charges = S("0");
        for (q.first(); !q.eof(); q.next()) {
            if (Numbers::isNumber(q.text(S("charges"))))
                charges = Numbers::add(charges, q.text(S("charges")));
        }
        // once paid, the charges are part of what was paid or of what is left to pay
        if (Numbers::parseOrZero(paid) != 0) {
            done.staysHome = true;
            done.messages << S("Amount already paid; the bill stays a home delivery");
            return done;
        }
        const QString newTotal = Numbers::subtract(Numbers::isNumber(total) ? total : S("0"), charges);
        const QString newBalance = balance.isNull() || !Numbers::isNumber(balance.asString())
            ? newTotal
            : Numbers::subtract(balance.asString(), charges);
        q.exec(S("delete from delivery") + where);
        q.exec(S("update sales_order set total=") + q.quote(newTotal) + S(",grandtotal=") + q.quote(newTotal)
            + S(",balance=") + q.quote(newBalance) + S(",delivery='Take Away'") + where);
        q.exec(S("update vbilldetails set delivery='Take Away'") + where);
        done.takenAway = true;
        done.charges = charges;
        return done;
    });
    // written once the change is kept
    if (out.takenAway)
        LogWrite(S("Home delivery taken off -- Billno: ") + bill.terminalId + QLatin1Char('/') + bill.billNo
                + S(" charges: ") + out.charges,
            0);
    return out;
}
