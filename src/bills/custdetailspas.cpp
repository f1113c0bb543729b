#include "bills/custdetailspas.h"

#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "numbers/numbers.h"
#include "platform/errors.h"
#include "platform/latin1.h"

#include <QRegularExpression>

namespace {

// Taking an id another terminal took meanwhile is refused by the key; so many refusals in a row
// mean something else is wrong.
constexpr int kIdAttempts = 20;

bool isWholeNumber(const QString& text, int maxDigits)
{
    static const QRegularExpression digits(S("^[0-9]+$"));
    return text.size() <= maxDigits && digits.match(text).hasMatch();
}

// The phone as the number column keeps it: digits only.
QString phoneDigits(const QString& phone)
{
    return phone.startsWith(QLatin1Char('+')) ? phone.mid(1) : phone;
}

bool isKeyTaken(const EDatabaseError& e, const TQuery& q)
{
    // 1062: duplicate key; 1213: deadlock between two terminals inserting the same id, which
    // inside a transaction undid all of it: that one is run again from its start
    return e.serverCode() == QLatin1String("1062")
        || (e.serverCode() == QLatin1String("1213") && !q.connection().inTransaction());
}

QString literalContains(const QString& text)
{
    QString pattern = text;
    pattern.replace(QLatin1Char('\\'), S("\\\\"))
        .replace(QLatin1Char('%'), S("\\%"))
        .replace(QLatin1Char('_'), S("\\_"));
    return QLatin1Char('%') + pattern + QLatin1Char('%');
}

} // namespace

bool ParseBillKey(const QString& text, BillKey& key)
{
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return false;
    const QString terminal = text.left(slash).trimmed();
    const QString bill = text.mid(slash + 1).trimmed();
    // both fit the int columns they are compared with
    if (!isWholeNumber(terminal, 9) || !isWholeNumber(bill, 9))
        return false;
    key = { terminal, bill };
    return true;
}

QString NextCustomerId(TDm& dm)
{
    return NextCustomerId(dm.MyQCustdetails);
}

QString NextCustomerId(TQuery& q)
{
    q.exec(S("select greatest(coalesce((select max(customerid) from customer_details),0),"
             "coalesce((select max(customerid) from sales_order),0)) as last_id"));
    const TField last = q.field(S("last_id"));
    return QString::number((last.isNull() ? 0 : Numbers::parseInt(last.asString())) + 1);
}

AddCustomerOutcome AddCustomer(TDm& dm, const NewCustomer& c, const QString& proposedId)
{
    return AddCustomer(dm.MyQCustdetails, c, proposedId);
}

AddCustomerOutcome AddCustomer(TQuery& q, const NewCustomer& c, const QString& proposedId)
{
    AddCustomerOutcome out;
    const QString name = c.name.left(kCustomerNameWidth);
    const QString phone = phoneDigits(c.phone);
    q.exec(S("select customerid from customer_details where customer_name=") + q.quote(name) + S(" and phoneno=")
        + q.quote(phone));
    if (!q.isEmpty()) {
        out.duplicate = true;
        out.id = q.text(S("customerid"));
        return out;
    }
    QString id = proposedId;
    for (int attempt = 0;; ++attempt) {
        try {
            q.exec(S("insert into customer_details (rdate,customerid,customer_name,address,phoneno) values(")
                + q.quote(c.date) + QLatin1Char(',') + q.quote(id) + QLatin1Char(',') + q.quote(name) + QLatin1Char(',')
                + q.quote(c.address.left(kAddressWidth)) + QLatin1Char(',') + q.quote(phone) + QLatin1Char(')'));
            out.id = id;
            return out;
        } catch (const EDatabaseError& e) {
            if (!isKeyTaken(e, q) || attempt >= kIdAttempts)
                throw;
        }
        // another terminal added a customer under this id first
        id = NextCustomerId(q);
    }
}

QString CustomerIdByName(TDm& dm, const QString& name)
{
    return CustomerIdByName(dm.MyQCustdetails, name);
}

QString CustomerIdByName(TQuery& q, const QString& name)
{
    q.exec(S("select customerid from customer_details where customer_name=") + q.quote(name.left(kCustomerNameWidth)));
    return q.text(S("customerid"));
}

BillCustomer CustomerOfBill(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select s.customerid, c.customer_name from sales_order s left join customer_details c on "
             "c.customerid=s.customerid where s.billno=")
        + q.quote(bill.billNo) + S(" and s.pcid=") + q.quote(bill.terminalId));
    BillCustomer out;
    if (q.field(S("customerid")).isNull())
        return out;
    out.id = q.text(S("customerid"));
    out.name = q.text(S("customer_name"));
    return out;
}

TQuery& ListCustomers(TDm& dm)
{
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select customerid,customer_name,address,phoneno from customer_details "));
    return q;
}

TQuery& SearchCustomers(TDm& dm, const QString& text)
{
    if (text.isEmpty())
        return ListCustomers(dm);
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select customerid,customer_name,address,phoneno from customer_details where customer_name like ")
        + q.quote(literalContains(text)));
    return q;
}

bool AssignCustomerToOpenBill(TDm& dm, const BillKey& bill, const QString& customerId)
{
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("update sales_order set customerid=") + q.quote(customerId) + S(" where billno=") + q.quote(bill.billNo)
        + S(" and pcid=") + q.quote(bill.terminalId) + S(" and coalesce(payment_status,'')<>'Complete'"));
    return q.rowsAffected() > 0;
}

CustomerEntryOutcome EnterCustomer(TDm& dm, const CustomerEntry& e)
{
    CustomerEntryOutcome out;
    static const QRegularExpression phoneRule(S("^[0-9]{10,13}$"));
    if (e.name.trimmed().isEmpty())
        out.message = S("Please enter the customer name");
    else if (e.address.trimmed().isEmpty())
        out.message = S("Please enter the customer address");
    else if (e.phone.isEmpty())
        out.message = S("Please enter the Phone Number");
    else if (!phoneRule.match(e.phone).hasMatch())
        out.message = S("Invalid Phone number");
    if (!out.message.isEmpty())
        return out;

    LogWrite(
        S("Customer added -- Customer Name :") + e.name + S("Address : ") + e.address + S("phoneno :") + e.phone, 0);
    const NewCustomer customer { e.registered.toString(S("yyyy/MM/dd")), e.name.toUpper(), e.address, e.phone };
    const AddCustomerOutcome added = AddCustomer(dm, customer, NextCustomerId(dm));
    if (added.duplicate) {
        out.message = S("customer already exist");
        return out;
    }
    // only the bill the delivery screen is working on, and never a settled one
    BillKey bill;
    if (ParseBillKey(e.deliveryBillKey, bill))
        AssignCustomerToOpenBill(dm, bill, added.id);
    out.added = true;
    out.id = added.id;
    out.message = S("Customer details added");
    return out;
}
