#include "db/schemaupgrade.h"

#include "db/datamodulepos.h"
#include "db/schema.h"
#include "platform/errors.h"

#include <QHash>
#include <QSet>

namespace {

QString S(const char* text)
{
    return QString::fromLatin1(text);
}

constexpr int kCurrentVersion = 4;
const QLatin1String kUpgradeLock("pos_schema_upgrade");
// A terminal starting while another upgrades large tables waits this long for it.
constexpr int kLockWaitSeconds = 300;
// 1049: unknown database, 1146: unknown table.
const QLatin1String kUnknownDatabase("1049");
const QLatin1String kUnknownTable("1146");

struct ColumnRef {
    const char* table;
    const char* column;
};

// Version 2: the amounts of bills, payments, items and the overall tax become exact decimals.
const ColumnRef kExactColumns[] = {
    { "card_details", "amount_paid" },
    { "cash_details", "amount_paid" },
    { "cheque_details", "amount_paid" },
    { "delivery", "charges" },
    { "item", "rate" },
    { "item", "discount" },
    { "item", "tax" },
    { "payment_details", "amount_paid" },
    { "sales_order", "subtotal" },
    { "sales_order", "grandtotal" },
    { "sales_order", "total" },
    { "sales_order", "amount_paid" },
    { "sales_order", "balance" },
    { "sales_order_details", "rate" },
    { "sales_order_details", "quantity" },
    { "sales_order_details", "price" },
    { "sales_order_details", "itax" },
    { "sales_order_details", "isubtotal" },
    { "sales_order_details", "discount" },
    { "sales_order_details", "total" },
    { "tax", "rate" },
};
// ... and cheque numbers of twelve digits fit.
const ColumnRef kWiderColumns[] = {
    { "cheque_details", "chequeno" },
};
// ... a bill's lock names the terminal that holds it.
const ColumnRef kAddedColumns[] = {
    { "sales_order", "lock_pcid" },
};
// ... and item names and tax days are unique, where the rows allow it.
const ColumnRef kUniqueIndexes[] = {
    { "item", "item_name" },
    { "tax", "tax_date" },
};
// 1062: the rows hold a value twice.
const QLatin1String kDuplicateEntry("1062");

QString key(const QString& table, const QString& column)
{
    return table.toLower() + QLatin1Char('.') + column.toLower();
}

// Data type ("float", "decimal", ...) of every column of the company's tables.
QHash<QString, QString> columnTypes(TQuery& q, const QString& company)
{
    q.exec(S("select table_name as t, column_name as c, data_type as d from information_schema.columns "
             "where table_schema=")
        + q.quote(company));
    QHash<QString, QString> types;
    for (q.first(); !q.eof(); q.next())
        types.insert(key(q.text(S("t")), q.text(S("c"))), q.text(S("d")).toLower());
    return types;
}

// What a single-precision float column was given: the shortest decimal that reads back as the
// same float (12345.67 rather than its binary value 12345.669921875, which a plain change of
// the column's type keeps). The column already holds the float's exact value as a decimal.
QString floatReading(const QString& column)
{
    QString sql = S("case when ") + column + S(" is null or ") + column + S("=0 then ") + column;
    for (int digits = 6; digits <= 9; ++digits) {
        const QString rounded
            = S("round(") + column + S(",") + QString::number(digits - 1) + S("-floor(log10(abs(") + column + S("))))");
        sql += S(" when cast(") + rounded + S(" as float)=cast(") + column + S(" as float) then ") + rounded;
    }
    return sql + S(" else ") + column + S(" end");
}

void upsertVersion(TQuery& q, const QString& company, int version, const QString& pending)
{
    q.exec(S("insert into dbname.schema_version(cname,version,pending) values(") + q.quote(company) + QLatin1Char(',')
        + QString::number(version) + QLatin1Char(',') + (pending.isEmpty() ? S("NULL") : q.quote(pending))
        + S(") on duplicate key update version=") + QString::number(version) + S(",pending=")
        + (pending.isEmpty() ? S("NULL") : q.quote(pending)));
}

struct CompanyVersion {
    int version = 1;
    QString pending; // "table.column" list of float columns changed but not yet read as decimals
};

CompanyVersion versionOf(TQuery& q, const QString& company)
{
    q.exec(S("select version, pending from dbname.schema_version where cname=") + q.quote(company));
    CompanyVersion v;
    if (!q.isEmpty() && !q.field(S("version")).isNull())
        v.version = q.text(S("version")).toInt();
    v.pending = q.text(S("pending"));
    return v;
}

// Up to ten values the column holds more than once, for a message.
QString valuesHeldTwice(TQuery& q, const QString& table, const QString& column)
{
    q.exec(S("select group_concat(distinct v separator ', ') as twice from (select ") + column + S(" as v from ")
        + table + S(" group by ") + column + S(" having count(*)>1 limit 10) d"));
    return q.text(S("twice"));
}

// Makes the index unique (replacing a plain one of the name in one change, so the table is never
// without it). Rows that hold a value twice keep the index as it was; the note names them, for the
// shop to rename or remove.
QString makeUnique(TQuery& q, const QString& company, const QString& table, const QString& index)
{
    q.exec(S("select min(non_unique) as plain from information_schema.statistics where table_schema=")
        + q.quote(company) + S(" and table_name=") + q.quote(table) + S(" and index_name=") + q.quote(index));
    const TField plain = q.field(S("plain"));
    if (!plain.isNull() && plain.asString() == QLatin1String("0"))
        return {}; // unique already
    const QString add = S("ADD ") + Schema::indexDefinition(index);
    try {
        q.exec(S("alter table ") + TQuery::ident(company) + QLatin1Char('.') + table + QLatin1Char(' ')
            + (plain.isNull() ? add : S("DROP INDEX ") + index + S(", ") + add));
    } catch (const EDatabaseError& e) {
        if (e.serverCode() != kDuplicateEntry)
            throw;
        const QString column = Schema::indexDefinition(index).section(QLatin1Char('('), 1).chopped(1);
        const QString twice = valuesHeldTwice(q, TQuery::ident(company) + QLatin1Char('.') + table, column);
        return S("Company %1 keeps %2 that appear more than once (%3): they are not made unique until they are "
                 "changed.")
            .arg(QString(company).replace(QLatin1Char('_'), QLatin1Char(' ')),
                table == QLatin1String("item") ? S("item names") : S("tax days"), twice);
    }
    return {};
}

// Version 1 to 2. The type changes cannot be part of a transaction; they are made first, each
// only where the column still has its old type, so a step broken off part-way is taken up again
// at the next start. The float columns being changed are written down before, and read as the
// decimals they were given, together with the new version, in one transaction.
QStringList toVersion2(TQuery& q, const QString& company)
{
    QStringList notes;
    const QString database = TQuery::ident(company);
    const QHash<QString, QString> types = columnTypes(q, company);
    if (types.isEmpty())
        throw EDatabaseError(S("its database or its tables are missing"));

    const CompanyVersion before = versionOf(q, company);
    QStringList pending = before.pending.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QHash<QString, QStringList> changes; // table -> MODIFY clauses
    for (const ColumnRef& c : kExactColumns) {
        const QString k = key(S(c.table), S(c.column));
        if (types.value(k) != QLatin1String("float"))
            continue;
        changes[S(c.table)] << S("MODIFY ") + Schema::columnDefinition(S(c.table), S(c.column));
        if (!pending.contains(k))
            pending << k;
    }
    for (const ColumnRef& c : kWiderColumns) {
        if (types.value(key(S(c.table), S(c.column))) == QLatin1String("int"))
            changes[S(c.table)] << S("MODIFY ") + Schema::columnDefinition(S(c.table), S(c.column));
    }
    for (const ColumnRef& c : kAddedColumns) {
        if (!types.contains(key(S(c.table), S(c.column))))
            changes[S(c.table)] << S("ADD COLUMN ") + Schema::columnDefinition(S(c.table), S(c.column));
    }
    if (pending.join(QLatin1Char(' ')) != before.pending)
        upsertVersion(q, company, before.version, pending.join(QLatin1Char(' ')));
    for (auto it = changes.cbegin(); it != changes.cend(); ++it)
        q.exec(
            S("alter table ") + database + QLatin1Char('.') + it.key() + QLatin1Char(' ') + it.value().join(S(", ")));

    for (const ColumnRef& i : kUniqueIndexes) {
        const QString note = makeUnique(q, company, S(i.table), S(i.column));
        if (!note.isEmpty())
            notes << note;
    }

    InTransaction(q.connection(), Isolation::RepeatableRead, [&] {
        QHash<QString, QStringList> reads; // table -> assignments
        for (const QString& k : std::as_const(pending)) {
            const QString column = k.section(QLatin1Char('.'), 1);
            reads[k.section(QLatin1Char('.'), 0, 0)] << column + QLatin1Char('=') + floatReading(column);
        }
        for (auto it = reads.cbegin(); it != reads.cend(); ++it)
            q.exec(S("update ") + database + QLatin1Char('.') + it.key() + S(" set ") + it.value().join(S(", ")));
        upsertVersion(q, company, 2, QString());
    });
    return notes;
}

// The primary key of a table, as its columns; empty when it has none.
QString primaryKey(TQuery& q, const QString& database, const QString& table)
{
    q.exec(S("select group_concat(column_name order by seq_in_index) as k from information_schema.statistics where "
             "table_schema=")
        + q.quote(database) + S(" and table_name=") + q.quote(table) + S(" and index_name='PRIMARY'"));
    return q.text(S("k"));
}

// Gives a table its natural key. Rows that hold a key twice leave the table as it was; the note
// names them, for the shop to remove one.
QString addNaturalKey(TQuery& q, const QString& database, const QString& table, const QString& column)
{
    if (!primaryKey(q, database, table).isEmpty())
        return {};
    const QString name = TQuery::ident(database) + QLatin1Char('.') + table;
    try {
        q.exec(S("alter table ") + name + S(" ADD PRIMARY KEY (") + column + QLatin1Char(')'));
    } catch (const EDatabaseError& e) {
        if (e.serverCode() != kDuplicateEntry)
            throw;
        const QString twice = valuesHeldTwice(q, name, column);
        return S("%1 holds %2 more than once (%3): it has no key until one of each is removed.")
            .arg(database == QLatin1String("dbname")
                    ? S("The list of companies")
                    : S("The settings of company ") + QString(database).replace(QLatin1Char('_'), QLatin1Char(' ')),
                column, twice);
    }
    return {};
}

// Keys every table of a company's (or the users') database and gives the password column the
// width of a password's hash. Tables the database lacks are left out. Returns the notes to show.
QStringList keysAndPasswordWidth(TQuery& q, const QString& database, const QHash<QString, QString>& types)
{
    const QString prefix = TQuery::ident(database) + QLatin1Char('.');
    for (const char* table : { "tordergrid", "temp_ordergrid", "vbilldetails" }) {
        if (!types.contains(key(S(table), S("itemname"))) && !types.contains(key(S(table), S("billno"))))
            continue; // no such table
        if (types.contains(key(S(table), S("id"))))
            continue;
        q.exec(S("alter table ") + prefix + S(table) + S(" ADD COLUMN ") + Schema::columnDefinition(S(table), S("id"))
            + S(", ADD PRIMARY KEY (id)"));
    }
    if (types.value(key(S("login"), S("password"))) == QLatin1String("char"))
        q.exec(S("alter table ") + prefix + S("login MODIFY ") + Schema::columnDefinition(S("login"), S("password")));
    QStringList notes;
    if (types.contains(key(S("sales_settings"), S("name")))) {
        const QString note = addNaturalKey(q, database, S("sales_settings"), S("Name"));
        if (!note.isEmpty())
            notes << note;
    }
    return notes;
}

// Version 2 to 3: every table has a primary key. The lines of the order grids (and the bill list
// table) are numbered in the order they were written, and the number is their key; the lines a
// grid holds already are numbered in the order the table keeps them, which is the order they
// were written in. The settings are keyed by their name. A password column takes a hash. Each
// table changes in one statement, only while it is not so, so a step broken off part-way is
// taken up again at the next start.
QStringList toVersion3(TQuery& q, const QString& company)
{
    const QHash<QString, QString> types = columnTypes(q, company);
    if (types.isEmpty())
        throw EDatabaseError(S("its database or its tables are missing"));
    const QStringList notes = keysAndPasswordWidth(q, company, types);
    upsertVersion(q, company, 3, QString());
    return notes;
}

// Version 3 to 4: the item and stock ledger rows a terminal locks to decide on them get a lock
// counter, which the lock writes, so that a cluster of servers sees two such decisions collide.
// The columns are added at the end, which the server does without copying the table.
QStringList toVersion4(TQuery& q, const QString& company)
{
    const QHash<QString, QString> types = columnTypes(q, company);
    if (types.isEmpty())
        throw EDatabaseError(S("its database or its tables are missing"));
    for (const char* table : { "item", "stock_details" }) {
        if (!types.contains(key(S(table), S("lock_count"))))
            q.exec(S("alter table ") + TQuery::ident(company) + QLatin1Char('.') + S(table) + S(" ADD COLUMN ")
                + Schema::columnDefinition(S(table), S("lock_count")));
    }
    upsertVersion(q, company, 4, QString());
    return {};
}

// A step returns what the shop should know of it (rows it could not bring in line), to show.
using Step = QStringList (*)(TQuery&, const QString&);
// The step that brings a company from version n-1 to n is kSteps[n - 2].
const Step kSteps[] = { toVersion2, toVersion3, toVersion4 };
static_assert(std::size(kSteps) == kCurrentVersion - 1, "one step per version");

bool isMissing(const EDatabaseError& e)
{
    return e.serverCode() == kUnknownDatabase || e.serverCode() == kUnknownTable;
}

// The session lock that lets one terminal at a time upgrade; released when it goes out of scope.
class UpgradeLock {
public:
    explicit UpgradeLock(TQuery& q)
        : m_q(q)
    {
        q.exec(S("select get_lock(") + q.quote(kUpgradeLock) + QLatin1Char(',') + QString::number(kLockWaitSeconds)
            + S(") as got"));
        m_held = q.text(S("got")) == QLatin1String("1");
    }
    ~UpgradeLock()
    {
        if (!m_held)
            return;
        try {
            m_q.exec(S("select release_lock(") + m_q.quote(kUpgradeLock) + S(") as done"));
        } catch (const EDatabaseError&) {
            // the session has ended, and with it the lock
        }
    }
    bool held() const { return m_held; }

private:
    TQuery& m_q;
    bool m_held = false;
};

// The catalogue's own connection would not open on a server without the catalogue: the versions
// are read and the upgrade made on a connection that no other statement uses, on no database
// (every table is named with its database).
TQuery& catalogueQuery(TDm& dm)
{
    if (!dm.MyConlogin2.databaseName().isEmpty())
        dm.MyConlogin2.setDatabaseName(QString());
    return dm.MyQlogin2;
}

} // namespace

namespace SchemaVersion {

int current()
{
    return kCurrentVersion;
}

int newestInCatalogue(TDm& dm)
{
    TQuery& q = catalogueQuery(dm);
    try {
        q.exec(S("select max(version) as v from dbname.schema_version"));
    } catch (const EDatabaseError& e) {
        if (isMissing(e))
            return 0;
        throw;
    }
    return q.field(S("v")).isNull() ? 0 : q.text(S("v")).toInt();
}

QString refusalForOlderProgram(TDm& dm)
{
    const int found = newestInCatalogue(dm);
    if (found <= kCurrentVersion)
        return {};
    return S("This program is older than the shop's databases (they are at version %1, this program knows "
             "version %2). Install the program's newer version on this computer; nothing has been changed.")
        .arg(found)
        .arg(kCurrentVersion);
}

void ensureCatalogueTable(TDm& dm)
{
    catalogueQuery(dm).exec(S("create table if not exists dbname.schema_version (cname char(30) NOT NULL, "
                              "version int NOT NULL, pending text, PRIMARY KEY (cname)) ENGINE=InnoDB"));
}

UpgradeReport upgradeCompanies(TDm& dm)
{
    UpgradeReport report;
    TQuery& catalogue = catalogueQuery(dm);
    try {
        ensureCatalogueTable(dm);
    } catch (const EDatabaseError& e) {
        if (isMissing(e))
            return report; // no catalogue yet: nothing to bring up to date
        throw;
    }
    const UpgradeLock lock(catalogue);
    if (!lock.held()) {
        report.messages << S("The databases were not checked for this version: another terminal has been bringing "
                             "them up to date for %1 seconds.")
                               .arg(kLockWaitSeconds);
        return report;
    }
    // the list of companies is keyed by the name, as every table
    const QString catalogueNote = addNaturalKey(catalogue, S("dbname"), S("dbname"), S("cname"));
    if (!catalogueNote.isEmpty())
        report.messages << catalogueNote;
    // the users' database: keys, and room for the passwords' hashes
    try {
        const QHash<QString, QString> types = columnTypes(catalogue, S("general_stores"));
        if (!types.isEmpty())
            report.messages << keysAndPasswordWidth(catalogue, S("general_stores"), types);
    } catch (const EDatabaseError& e) {
        report.messages << S("The users' database could not be brought up to date: %1").arg(e.message());
    }
    catalogue.exec(S("select distinct d.cname, coalesce(v.version,1) as version from dbname.dbname d left join "
                     "dbname.schema_version v on v.cname=d.cname"));
    QList<QPair<QString, int>> companies;
    for (catalogue.first(); !catalogue.eof(); catalogue.next())
        companies.append({ catalogue.text(S("cname")), catalogue.text(S("version")).toInt() });

    for (const auto& [company, version] : std::as_const(companies)) {
        if (version >= kCurrentVersion)
            continue;
        try {
            for (int next = version + 1; next <= kCurrentVersion; ++next)
                report.messages << kSteps[next - 2](catalogue, company);
            report.upgraded << company;
        } catch (const PosError& e) {
            report.messages << S("The database of company %1 could not be brought up to date, and is left as it "
                                 "was: %2")
                                   .arg(QString(company).replace(QLatin1Char('_'), QLatin1Char(' ')), e.message());
        }
    }
    return report;
}

void recordNewCompany(TDm& dm, const QString& company)
{
    ensureCatalogueTable(dm);
    upsertVersion(catalogueQuery(dm), company, kCurrentVersion, QString());
}

void forgetCompany(TDm& dm, const QString& company)
{
    TQuery& q = catalogueQuery(dm);
    try {
        q.exec(S("delete from dbname.schema_version where cname=") + q.quote(company));
    } catch (const EDatabaseError& e) {
        if (!isMissing(e))
            throw;
    }
}

} // namespace SchemaVersion
