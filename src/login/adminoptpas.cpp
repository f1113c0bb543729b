#include "login/adminoptpas.h"

#include "db/datamodulepos.h"
#include "db/schema.h"
#include "db/schemaupgrade.h"
#include "log/U_LogBook.h"
#include "login/posloginpas.h"
#include "numbers/numbers.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/services.h"

#include <QThread>
#include <limits>

namespace {

// Width of dbname.cname.
constexpr int kCompanyNameWidth = 30;

QString S(const char* text)
{
    return QString::fromLatin1(text);
}

QString settingsRow(TQuery& q, const QString& database, const QString& name, const QString& value)
{
    return QStringLiteral("insert into ") + database + QStringLiteral(".sales_settings values (") + q.quote(name)
        + QLatin1Char(',') + q.quote(value) + QLatin1Char(')');
}

} // namespace

QList<QPair<QString, QString>> InitialCompanySettings()
{
    return {
        { QStringLiteral("rate"), QStringLiteral("100000") },
        { QStringLiteral("minimal"), QStringLiteral("5") },
        { QStringLiteral("purchase"), QStringLiteral("10000") },
        { QStringLiteral("quantity"), QStringLiteral("1000") },
        { QStringLiteral("hold limit"), QStringLiteral("30") },
        { QStringLiteral("minimal value"), QStringLiteral("1") },
        { QStringLiteral("Part payment days"), QStringLiteral("30") },
        { QStringLiteral("Round Off"), QStringLiteral("2") },
        { QStringLiteral("Round amount"), QStringLiteral("not checked") },
    };
}

QList<QPair<QString, QString>> InitialCompanyRegistryValues()
{
    return {
        { QStringLiteral("rate"), QStringLiteral("100000") },
        { QStringLiteral("minimal"), QStringLiteral("10000") },
        { QStringLiteral("purchase"), QStringLiteral("10000") },
        { QStringLiteral("quantity"), QStringLiteral("100000") },
        { QStringLiteral("hold limit"), QStringLiteral("30") },
        { QStringLiteral("minimal value"), QStringLiteral("0.10") },
    };
}

QString CompanySettingsKey(const QString& company)
{
    return QStringLiteral("Software\\pos\\") + company + QStringLiteral("_settings");
}

void AddCompanyDatabase(TDm& dm, const QString& company, QString* terminalId)
{
    if (!TQuery::isValidIdent(company) || company.size() > kCompanyNameWidth)
        throw EDatabaseError(QStringLiteral("Invalid company name \"%1\"").arg(company));
    const QString database = TQuery::ident(company);

    const QString prefix = clientPrefix();
    // Without a client the database cannot be made, and a catalogue row for a missing
    // database would break the start-of-day maintenance at every start.
    if (prefix.isEmpty())
        throw EDatabaseError(QStringLiteral("No database client found: company \"%1\" cannot be created").arg(company));

    QString typedName = company;
    LogWrite(
        QStringLiteral("Company ") + typedName.replace(QLatin1Char('_'), QLatin1Char(' ')) + QStringLiteral(" added"),
        1);

    const QString posBat = ProgramPath(QStringLiteral("pos.bat"));
    WriteCommandFile(posBat, prefix + QStringLiteral("-e \"create database ") + database + QLatin1Char('"'));
    RunBatchFile(prefix, posBat);

    const QString script = ScriptPath(QStringLiteral("new.sql"));
    WriteCommandFile(script, Schema::companyScript(company));
    const QString backBat = ProgramPath(QStringLiteral("posback.bat"));
    WriteCommandFile(backBat, prefix + QStringLiteral("< \"") + script + QLatin1Char('"'));
    RunBatchFile(prefix, backBat);

    TQuery& catalogue = dm.MyQuery1;
    catalogue.exec(QStringLiteral("insert into dbname values(") + catalogue.quote(company) + QLatin1Char(')'));
    // made from the newest table statements: no upgrade step is due
    SchemaVersion::recordNewCompany(dm, company);

    QThread::msleep(1000);

    TQuery& q = dm.MyQpayment;
    for (const auto& [name, value] : InitialCompanySettings())
        q.exec(settingsRow(q, database, name, value));

    TRegistry reg;
    const QString key = CompanySettingsKey(company);
    reg.createKey(key);

    QThread::msleep(100);
    const QString id = TerminalIdLookup(dm, Macaddress());
    if (terminalId)
        *terminalId = id;

    for (const auto& [name, value] : InitialCompanyRegistryValues())
        reg.writeString(key, name, value);
}

bool CompanyNameKeyAllowed(const QString& text, QChar key)
{
    if (key == QLatin1Char('\b'))
        return true;
    if (text.size() > 44)
        return false;
    if (key == QLatin1Char('(') || key == QLatin1Char(')') || key == QLatin1Char('.'))
        return !text.contains(key);
    return (key >= QLatin1Char('A') && key <= QLatin1Char('Z')) || (key >= QLatin1Char('a') && key <= QLatin1Char('z'))
        || key == QLatin1Char(' ') || key == QLatin1Char('@');
}

bool CompanyNameAccepted(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\b') || !CompanyNameKeyAllowed(text.left(i), text.at(i)))
            return false;
    }
    return true;
}

QString CompanyDatabaseName(const QString& typed)
{
    return typed.toUpper().replace(QLatin1Char(' '), QLatin1Char('_'));
}

QString CheckNewCompany(TDm& dm, const QString& typed)
{
    if (typed.isEmpty())
        return S("Enter the company name");
    // A name that arrived without typing ("Ram & Sons", "Café", "A-B") is refused before
    // anything is made: the server would take no database of that name.
    if (!CompanyNameAccepted(typed))
        return S("Company name can hold only letters, blanks, \"@\" and one \"(\" and \")\"");
    const QString name = CompanyDatabaseName(typed);
    // The catalogue holds 30 characters, and the server takes no point in a database name.
    if (name.size() > kCompanyNameWidth)
        return S("Company name cannot be longer than 30 characters");
    if (name.contains(QLatin1Char('.')))
        return S("Company name cannot contain a point");
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select * from dbname.dbname "));
    for (q.first(); !q.eof(); q.next()) {
        if (q.text(S("cname")).compare(name, Qt::CaseInsensitive) == 0)
            return S("Company already exist");
    }
    return QString();
}

QStringList FillCompanyList(TDm& dm)
{
    TQuery& q = dm.MyQuery1;
    q.exec(S("select cname from dbname"));
    QStringList names;
    for (q.first(); !q.eof(); q.next())
        names << q.text(S("cname")).replace(QLatin1Char('_'), QLatin1Char(' '));
    if (q.recordCount() == 1) {
        q.first();
        dm.setCompanyDatabase(q.text(S("cname")), false);
    }
    return names;
}

void RemoveCompany(TDm& dm, const QString& database)
{
    TQuery& q = dm.MyQuery1;
    q.exec(S("use dbname"));
    // The catalogue row goes first: a row naming a missing database would stop every start.
    q.exec(S("delete from dbname.dbname where cname=") + q.quote(database));
    SchemaVersion::forgetCompany(dm, database);
    q.exec(S("drop database if exists ") + TQuery::ident(database) + QLatin1Char(' '));
    TRegistry().deleteKey(CompanySettingsKey(database.toUpper()));
    LogWrite(
        S("Company ") + QString(database).replace(QLatin1Char('_'), QLatin1Char(' ')).toUpper() + S(" removed"), 1);
}

// ---------------------------------------------------------------------------------------------
// Start-of-day maintenance

qint64 WholeDaysSince(const QDate& day, const QDateTime& now)
{
    const qint64 days = day.daysTo(now.date());
    if (days >= 0)
        return days;
    // A negative span plus a part of a day truncates one day toward zero.
    return now.time() == QTime(0, 0) ? days : days + 1;
}

namespace {

struct HeldBill {
    QString billNo;
    QString terminalId;
    QDate date;
    QString status;
    QString holdEntry;
    bool holdEntryNull = true;
    QString amountPaid;
    bool locked = false; // taken for payment at a terminal
};

struct Pass {
    const char* status; // as selected: 'Hold' or 'Part payment'
    const char* setting; // the limit's sales_settings row
    const char* what; // for the message of a skipped pass
};

const Pass kHeldPass { "Hold", "hold limit", "held bills" };
const Pass kPartPaidPass { "Part payment", "Part payment days", "part-paid bills" };

QString shownName(const QString& company)
{
    return QString(company).replace(QLatin1Char('_'), QLatin1Char(' '));
}

// Gives one saved line's quantity back to the item's latest stock row, in one statement so
// that a sale on another terminal at the same moment is kept. Returns false (and logs, once the
// cancel is committed) when the line cannot be given back.
bool giveBack(TDm& dm, const QString& database, const QString& company, const QString& bill, const QString& itemName,
    const QString& quantityText)
{
    TQuery& q = dm.MyQposorderitem;
    const QString skipped = S("Start of day, company ") + company + S(", bill ") + bill + S(": ");
    bool ok = Numbers::isInteger(quantityText);
    const qint64 quantity = ok ? quantityText.trimmed().toLongLong(&ok) : 0;
    if (!ok || quantity < 0 || quantity > std::numeric_limits<qint32>::max()) {
        LogWriteAfterCommit(q.connection(),
            skipped + S("quantity \"") + quantityText + S("\" of item ") + itemName
                + S(" is not a whole number, not given back"),
            1);
        return false;
    }
    if (quantity == 0)
        return true;
    const QString item = S("(select itemcode from ") + database + S(".item where itemname=") + q.quote(itemName)
        + S(" order by itemcode limit 1)");
    q.exec(S("update ") + database + S(".stock_details set closing_stock=closing_stock+") + QString::number(quantity)
        + S(" where itemcode=") + item + S(" order by sdate desc limit 1"));
    if (q.rowsAffected() == 1)
        return true;
    q.exec(S("select ") + item + S(" as itemcode"));
    LogWriteAfterCommit(q.connection(),
        skipped + S("item ") + itemName
            + (q.field(S("itemcode")).isNull() ? S(" no longer exists, ") : S(" has no stock row, ")) + quantityText
            + S(" not given back"),
        1);
    return false;
}

// Cancels one expired bill as one transaction. The header is deleted only while it is as it was
// listed and no terminal has taken it for payment, so a bill paid, cancelled or resumed on another
// terminal meanwhile is left for the next start. Returns false when the bill changed.
bool cancelBill(TDm& dm, const QString& company, const HeldBill& bill, MaintenanceReport& report)
{
    const QString database = TQuery::ident(company);
    const QString billKey = bill.terminalId + QLatin1Char('/') + bill.billNo;
    // A bill cancelled by hand on the payment details screen carries hold_entry "N": its goods
    // were given back then.
    const bool returnGoods = bill.holdEntry.trimmed().compare(S("N"), Qt::CaseInsensitive) != 0;
    TQuery& q = dm.MyQposorderitem;
    bool cancelled = false;
    int skippedLines = 0;
    // every statement on the one connection of the transaction
    InTransaction(q.connection(), Isolation::RepeatableRead, [&] {
        cancelled = false;
        skippedLines = 0;
        const QString where = S(" where billno=") + q.quote(bill.billNo) + S(" and pcid=") + q.quote(bill.terminalId);
        q.exec(S("delete from ") + database + S(".sales_order") + where + S(" and payment_status=")
            + q.quote(bill.status) + S(" and hold_entry")
            + (bill.holdEntryNull ? S(" is null") : QLatin1Char('=') + q.quote(bill.holdEntry))
            + S(" and (bool_access is null or bool_access<>'t')"));
        if (q.rowsAffected() == 0)
            return;
        if (returnGoods) {
            q.exec(S("select * from ") + database + S(".temp_ordergrid") + where);
            QList<QPair<QString, QString>> lines;
            for (q.first(); !q.eof(); q.next())
                lines.append({ q.text(S("itemname")), q.text(S("quantity")) });
            // the items first, as every stock movement locks them (a purchase opening a new day's
            // row meanwhile would leave the give-back on the row before)
            QStringList names;
            for (const auto& line : std::as_const(lines))
                names << q.quote(line.first);
            if (!names.isEmpty())
                q.exec(S("update ") + database + S(".item set ") + Schema::lockWrite() + S(" where itemname in (")
                    + names.join(QLatin1Char(',')) + S(") order by itemcode"));
            for (const auto& [itemName, quantity] : std::as_const(lines)) {
                if (!giveBack(dm, database, company, billKey, itemName, quantity))
                    ++skippedLines;
            }
        }
        // the bill's open order lines go too: its number is handed out again when it was the
        // terminal's last, and the next order must not start with them
        for (const char* table : { "payment_details", "cash_details", "card_details", "cheque_details", "delivery",
                 "sales_order_details", "tordergrid" })
            q.exec(S("delete from ") + database + QLatin1Char('.') + QLatin1String(table) + S(" where   billno=")
                + q.quote(bill.billNo) + S(" and pcid=") + q.quote(bill.terminalId));
        cancelled = true;
    });
    report.skippedLines += skippedLines;
    if (!cancelled) {
        LogWrite(S("Start of day, company ") + company + S(": bill ") + billKey
                + S(" changed while it was cancelled, left for the next start"),
            1);
        return false;
    }
    ++report.cancelledBills;
    // Payment rows go with the bill: the log keeps what was received.
    LogWrite(S("Start of day, company ") + company + S(": bill ") + billKey + S(" cancelled, status ") + bill.status
            + S(", amount paid ") + bill.amountPaid + (returnGoods ? QString() : S(", goods given back before")),
        1);
    return true;
}

void cancelExpired(TDm& dm, const QString& company, const Pass& pass, const QDateTime& now, MaintenanceReport& report)
{
    const QString database = TQuery::ident(company);
    TQuery& list = dm.MyQsalesdetails;
    list.exec(S("select * from  ") + database + S(".sales_order where  payment_status=") + list.quote(S(pass.status))
        + QLatin1Char(' '));
    QList<HeldBill> bills;
    for (list.first(); !list.eof(); list.next()) {
        bills.append(
            { list.text(S("billno")), list.text(S("pcid")), QDate::fromString(list.text(S("sdate")), Qt::ISODate),
                list.text(S("payment_status")), list.text(S("hold_entry")), list.field(S("hold_entry")).isNull(),
                list.text(S("amount_paid")), list.text(S("bool_access")) == QLatin1String("t") });
    }

    TRegistry reg;
    const QString key = CompanySettingsKey(company.toUpper().replace(QLatin1Char(' '), QLatin1Char('_')));
    if (!reg.keyExists(key))
        reg.createKey(key);

    TQuery& settings = dm.MyQpayment;
    settings.exec(S("select * from ") + database + S(".sales_settings where Name=") + settings.quote(S(pass.setting)));
    const QString limitText = settings.text(S("value_")).trimmed();
    bool ok = Numbers::isInteger(limitText);
    const qint64 limit = ok ? limitText.toLongLong(&ok) : 0;
    if (!ok) {
        const QString text = S("The ") + S(pass.what) + S(" of company ") + shownName(company)
            + S(" were not checked: its \"") + S(pass.setting) + S("\" setting is missing or not a whole number");
        LogWrite(text, 1);
        report.messages << text;
        return;
    }
    for (const HeldBill& bill : std::as_const(bills)) {
        if (!bill.date.isValid()) {
            LogWrite(S("Start of day, company ") + company + S(": bill ") + bill.terminalId + QLatin1Char('/')
                    + bill.billNo + S(" has no readable date, left alone"),
                1);
            continue;
        }
        if (WholeDaysSince(bill.date, now) < limit)
            continue;
        // a cashier is taking money for it: it goes once the terminal lets go of it
        if (bill.locked) {
            LogWrite(S("Start of day, company ") + company + S(": bill ") + bill.terminalId + QLatin1Char('/')
                    + bill.billNo + S(" is taken for payment at a terminal, left for the next start"),
                1);
            continue;
        }
        cancelBill(dm, company, bill, report);
    }
}

// Brings every item's snapshot row up to date: for each item whose latest stock row lies in
// the past and whose snapshot is not of today (or missing), the snapshot becomes that row's
// closing stock, dated today. Each change is one set-based statement, run only when a plain read
// finds a row due, so that a second start the same day reads no ledger rows at all. A row due is
// rewritten in place, which leaves the table as deleting and inserting it would.
void refreshSnapshot(TDm& dm, const QString& company, const QDateTime& now)
{
    const QString database = TQuery::ident(company);
    const QDate today = now.date();
    // Snapshot dates that count as today: a day ahead truncates to 0 as well, except at midnight.
    const QDate lastCurrent = WholeDaysSince(today.addDays(1), now) == 0 ? today.addDays(1) : today;
    TQuery& q = dm.MyQsalesdetails;
    const QString todayText = q.quote(today.toString(Qt::ISODate));
    const QString stale = S("(d.date_stock is null or d.date_stock<") + todayText + S(" or d.date_stock>")
        + q.quote(lastCurrent.toString(Qt::ISODate)) + QLatin1Char(')');
    const QString pastLatestRow
        = S("(select max(t.sdate) from ") + database + S(".stock_details t where t.itemcode=i.itemcode)<") + todayText;
    // the latest stock row of every item, when it lies in the past
    const QString latestRows = S("(SELECT itemcode, MAX(sdate) as maxdate FROM ") + database
        + S(".stock_details GROUP BY itemcode ) r INNER JOIN ") + database
        + S(".stock_details t ON t.itemcode = r.itemcode AND t.sdate = r.maxdate inner join ") + database
        + S(".item i on i.itemcode=t.itemcode");

    // (a row of an item no longer in the item table may start the update, which then leaves it)
    q.exec(S("select d.itemcode from ") + database + S(".itemdetails d where ") + stale
        + S(" and (select max(t.sdate) from ") + database + S(".stock_details t where t.itemcode=d.itemcode)<")
        + todayText + S(" limit 1"));
    // The snapshot rows lead the join, so that the server changes them as it reads them instead
    // of collecting the rows to change first.
    if (!q.isEmpty())
        q.exec(S("update ") + database + S(".itemdetails d straight_join (SELECT itemcode, MAX(sdate) as maxdate FROM ")
            + database + S(".stock_details GROUP BY itemcode ) r on r.itemcode=d.itemcode straight_join ") + database
            + S(".stock_details t ON t.itemcode = r.itemcode AND t.sdate = r.maxdate straight_join ") + database
            + S(".item i on i.itemcode=t.itemcode set d.closing_stock=t.closing_stock, d.date_stock=") + todayText
            + S(" where r.maxdate<") + todayText + S(" and ") + stale);

    const QString missing
        = S(" not exists (select 1 from ") + database + S(".itemdetails d where d.itemcode=i.itemcode)");
    q.exec(S("select i.itemcode from ") + database + S(".item i where") + missing + S(" and ") + pastLatestRow
        + S(" limit 1"));
    if (!q.isEmpty())
        q.exec(S("insert into ") + database + S(".itemdetails(itemcode,closing_stock,date_stock) select t.itemcode,")
            + S("t.closing_stock,") + todayText + S(" from ") + latestRows + S(" where r.maxdate<") + todayText
            + S(" and") + missing);
}

// The tables the start of day reads and changes in a company's database.
const char* const kMaintainedTables[]
    = { "sales_order", "sales_settings", "temp_ordergrid", "item", "stock_details", "itemdetails", "payment_details",
          "cash_details", "card_details", "cheque_details", "delivery", "sales_order_details", "tordergrid" };

// Why a catalogued company cannot be maintained (its database or some of its tables are
// missing, or its name names no database); empty when it can.
QString missingPart(TDm& dm, const QString& company)
{
    if (!TQuery::isValidIdent(company))
        return S("its name is not a database name");
    TQuery& q = dm.MyQsalesdetails;
    q.exec(S("select schema_name from information_schema.schemata where schema_name=") + q.quote(company));
    if (q.isEmpty())
        return S("its database is missing");
    q.exec(S("select table_name as t from information_schema.tables where table_schema=") + q.quote(company));
    QStringList present;
    for (q.first(); !q.eof(); q.next())
        present << q.text(S("t"));
    QStringList missing;
    for (const char* table : kMaintainedTables) {
        if (!present.contains(QLatin1String(table)))
            missing << QLatin1String(table);
    }
    if (missing.isEmpty())
        return {};
    return (missing.size() == 1 ? S("its table ") : S("its tables ")) + missing.join(S(", "))
        + (missing.size() == 1 ? S(" is missing") : S(" are missing"));
}

} // namespace

MaintenanceReport RunStartOfDayMaintenance(TDm& dm)
{
    TQuery& q = dm.MyQhomedelivery;
    q.exec(S("select * from dbname.dbname "));
    QStringList companies;
    for (q.first(); !q.eof(); q.next())
        companies << q.text(S("cname"));
    return RunStartOfDayMaintenance(dm, companies);
}

MaintenanceReport RunStartOfDayMaintenance(TDm& dm, const QStringList& companies)
{
    const QDateTime now = services().clock().now();
    MaintenanceReport report;
    // A company whose database or tables are gone is left out, with a message, so that the other
    // companies are still done and the program starts.
    QStringList present;
    for (const QString& company : companies) {
        const QString missing = missingPart(dm, company);
        if (missing.isEmpty()) {
            present << company;
            continue;
        }
        const QString text = S("Company ") + shownName(company) + S(" was left out of the start of day: ") + missing;
        LogWrite(text, 1);
        report.messages << text;
    }
    for (const QString& company : std::as_const(present))
        cancelExpired(dm, company, kHeldPass, now, report);
    for (const QString& company : std::as_const(present))
        cancelExpired(dm, company, kPartPaidPass, now, report);
    for (const QString& company : std::as_const(present))
        refreshSnapshot(dm, company, now);
    return report;
}
