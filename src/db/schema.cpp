#include "db/schema.h"

#include "db/datamodulepos.h"

// Money, percentages and the quantities of bills and items are exact decimals: the counter writes
// them with 15 significant digits, and 20 places after the point keep every such figure from
// 0.00001 up exactly as written (a line total times the overall tax has the most places).
#define AMOUNT "decimal(40,20)"
// Rows a terminal locks to decide on them (an item, its latest ledger row) are also written when
// locked: a cluster of database servers checks the rows two transactions wrote against each other
// at commit, but not the rows they only read or locked.
#define LOCK_COUNT "lock_count tinyint unsigned NOT NULL default 0"

namespace Schema {

namespace {

    // Columns and keys by table. In the general_stores variant the order grids have no terminal
    // column and no key names the terminal. The order grids' lines are keyed by the order they
    // were rung up in (id), which every copy and every reading of them keeps.
    struct TableDef {
        const char* name;
        const char* columns;
        const char* companyKey;
        const char* generalKey;
    };

    const TableDef kTables[] = {
        { "card_details",
            "billno int(6) NOT NULL, cardno bigint(16) NOT NULL, cardname char(20) default NULL, "
            "bank char(20) default NULL, amount_paid " AMOUNT " default NULL, pcid int(5) not NULL",
            "billno,cardno,pcid", "billno,cardno" },
        { "cash_details", "billno int(11) NOT NULL, amount_paid " AMOUNT " default NULL, pcid int(5) not NULL",
            "billno,pcid", "billno" },
        { "cheque_details",
            "billno int(6) NOT NULL, chequeno bigint(12) NOT NULL, chequedate date default NULL, "
            "bank char(20) default NULL, amount_paid " AMOUNT " default NULL, pcid int(5) not NULL",
            "chequeno,billno,pcid", "chequeno,billno" },
        { "comment", "sdate date NOT NULL, scomment text", "sdate", "sdate" },
        { "customer_details",
            "rdate date default NULL, customerid int(11) NOT NULL auto_increment, "
            "customer_name char(50) default NULL, address char(255), phoneno bigint(20) default NULL",
            "customerid", "customerid" },
        { "tordergrid",
            "itemname VARCHAR(45) NOT NULL, rate VARCHAR(45) NOT NULL, quantity VARCHAR(45) NOT NULL, "
            "price VARCHAR(45) NOT NULL, itax VARCHAR(45) NOT NULL, isubtotal VARCHAR(45) NOT NULL, "
            "discount VARCHAR(45) NOT NULL, total VARCHAR(45) NOT NULL, pcid int(5) not NULL, "
            "billno integer(16) NOT NULL, bool_access CHAR, id bigint NOT NULL auto_increment",
            "id", "id" },
        { "temp_ordergrid",
            "itemname VARCHAR(45) NOT NULL, rate VARCHAR(45) NOT NULL, quantity VARCHAR(45) NOT NULL, "
            "price VARCHAR(45) NOT NULL, itax VARCHAR(45) NOT NULL, isubtotal VARCHAR(45) NOT NULL, "
            "discount VARCHAR(45) NOT NULL, total VARCHAR(45) NOT NULL, pcid int(5) not NULL, "
            "billno integer(16) NOT NULL, id bigint NOT NULL auto_increment",
            "id", "id" },
        // Bill numbers are per terminal, so the terminal belongs to the delivery key as well.
        { "delivery",
            "sdate date NOT NULL, customer_name char(30) default NULL, stime time default NULL, "
            "billno int(6) NOT NULL default '0', delivery_status tinyint(1) default NULL, "
            "charges " AMOUNT " default NULL, pcid int(5) not NULL",
            "sdate,billno,pcid", "sdate,billno" },
        { "item",
            "itemcode int(11) NOT NULL auto_increment, itemname char(50) default NULL, "
            "rate " AMOUNT " default '0', discount " AMOUNT " default '0', tax " AMOUNT " default '0', "
            "minimal int(11) default '0', barcode char(45) default '0', " LOCK_COUNT,
            "itemcode", "itemcode" },
        { "itemdetails", "itemcode int(11) NOT NULL, closing_stock int(11) default NULL, date_stock date default NULL",
            "itemcode", "itemcode" },
        // a password is kept as its Argon2id hash (about 100 characters)
        { "login",
            "username char(10) NOT NULL, password varchar(128) default NULL, role char(10) default NULL, "
            "u_loggedon char default NULL",
            "username", "username" },
        { "payment_details",
            "billno int(6) NOT NULL, sdate date NOT NULL, stime time default NULL, "
            "payment_type char(10) NOT NULL default '', amount_paid " AMOUNT " default NULL, pcid int(5) not NULL",
            "billno,sdate,payment_type,pcid", "billno,sdate,payment_type" },
        { "sales_order",
            "sdate date NOT NULL, stime char(12) DEFAULT NULL, billno int(6) NOT NULL, "
            "customerid int(11) default NULL, subtotal " AMOUNT " default NULL, taxcode int(11) default NULL, "
            "grandtotal " AMOUNT " default NULL, total " AMOUNT " default NULL, amount_paid " AMOUNT " default NULL, "
            "balance " AMOUNT " default NULL, payment_type char(20) default NULL, "
            "payment_status char(20) default NULL, delivery char(20) default NULL, "
            "hold_entry char(1) DEFAULT NULL, pcid int(5) not NULL, bool_access CHAR, "
            "lock_pcid int(5) DEFAULT NULL",
            "sdate,billno,pcid", "sdate,billno" },
        { "sales_order_details",
            "sdate date default NULL, stime char(12) NOT NULL DEFAULT '00:00:00', "
            "billno int(6) NOT NULL auto_increment, itemcode int(11) NOT NULL, rate " AMOUNT " default NULL, "
            "quantity " AMOUNT " default NULL, price " AMOUNT " default NULL, itax " AMOUNT " default NULL, "
            "isubtotal " AMOUNT " default NULL, discount " AMOUNT " default NULL, total " AMOUNT " default NULL, "
            "pcid int(5) not NULL",
            "billno,itemcode,stime,pcid", "billno,itemcode,stime" },
        { "stock_details",
            "sdate date NOT NULL, itemcode int(11) NOT NULL, opening_stock int(11) default '0', "
            "purchase int(11) default '0', closing_stock int(11) default '0', "
            "bill_recieved tinyint(1) default '0', " LOCK_COUNT,
            "sdate,itemcode", "sdate,itemcode" },
        { "vbilldetails",
            "date DATE NOT NULL DEFAULT \"2010-01-01\", time TIME NOT NULL DEFAULT \"11:28:20\", "
            "billno integer NOT NULL default 0, custmer_name varchar(45) not null default \"l\", "
            "total integer NOT NULL default 5, aount_paid integer not null default 0, "
            "payment_type varchar(45) not null default \"c\", pcid int(5) not NULL, "
            "delivery varchar(45) not null default \"t\", id bigint NOT NULL auto_increment",
            "id", "id" },
        { "tax", "taxcode int(11) NOT NULL auto_increment, sdate date NOT NULL, rate " AMOUNT " NOT NULL default '0'",
            "taxcode,sdate", "taxcode,sdate" },
        { "sales_settings", "Name char(30) NOT NULL, value_ varchar(45) NOT NULL", "Name", "Name" },
    };

    struct IndexDef {
        const char* name;
        const char* table;
        const char* columns;
        bool unique = false;
    };

    const IndexDef kIndexes[] = {
        // the latest ledger row of an item (the stock check of every line)
        { "stock_details_item_date", "stock_details", "itemcode,sdate" },
        // one item per name (the server compares names without regard to letter case): two
        // administrators adding the same name at once store it once
        { "item_name", "item", "itemname", true },
        { "item_barcode", "item", "barcode" },
        // a terminal's bill header; with the status the highest bill number is read from the index alone
        { "sales_order_terminal_bill", "sales_order", "pcid,billno,payment_status" },
        // the highest customer id, read for every walk-in customer's new id
        { "sales_order_customer", "sales_order", "customerid" },
        // the locked bills, read every time the payment details list is painted
        { "sales_order_lock", "sales_order", "bool_access" },
        // a bill's lines, open and saved, and its delivery and cheque entries
        { "tordergrid_terminal_bill", "tordergrid", "pcid,billno" },
        // every terminal's open lines of an item: the stock check of every line reads them
        { "tordergrid_item", "tordergrid", "itemname" },
        { "temp_ordergrid_bill", "temp_ordergrid", "billno,pcid" },
        { "delivery_bill", "delivery", "billno,pcid" },
        { "cheque_details_bill", "cheque_details", "billno,pcid" },
        // a customer by exact name: the customer's history and the delivery's customer
        { "customer_details_name", "customer_details", "customer_name" },
        // one overall tax per day: a second save of the day changes its rate
        { "tax_date", "tax", "sdate", true },
    };

    const QLatin1String kGridTerminalColumn("pcid int(5) not NULL, ");
    // Payments, holds and bookings are transactions: every table is made transactional, whatever
    // storage engine the server would otherwise choose.
    const QLatin1String kEngine(" ENGINE=InnoDB");

    QString statement(const QString& database, const TableDef& t, Variant v)
    {
        const bool company = v == Variant::Company;
        QString columns = QString::fromLatin1(t.columns);
        const QLatin1String name(t.name);
        if (!company && (name == QLatin1String("tordergrid") || name == QLatin1String("temp_ordergrid")))
            columns.remove(kGridTerminalColumn);
        const char* key = company ? t.companyKey : t.generalKey;
        if (*key)
            columns += QStringLiteral(", PRIMARY KEY (%1)").arg(QString::fromLatin1(key));
        return QStringLiteral("CREATE TABLE %1.%2 (%3)%4;").arg(TQuery::ident(database), name, columns, kEngine);
    }

    const TableDef& byName(const QString& name)
    {
        for (const TableDef& t : kTables) {
            if (name == QLatin1String(t.name))
                return t;
        }
        Q_UNREACHABLE();
    }

    QString group(const char* const* names, int count)
    {
        QStringList parts;
        for (int i = 0; i < count; ++i)
            parts << statement(
                QStringLiteral("general_stores"), byName(QString::fromLatin1(names[i])), Variant::GeneralStores);
        return parts.join(QLatin1Char(' '));
    }

} // namespace

QStringList tableNames()
{
    QStringList names;
    for (const TableDef& t : kTables)
        names << QString::fromLatin1(t.name);
    return names;
}

QStringList tableStatements(const QString& database, Variant variant)
{
    QStringList out;
    for (const TableDef& t : kTables)
        out << statement(database, t, variant);
    return out;
}

namespace {

    QString indexText(const QString& database, const IndexDef& i)
    {
        return QStringLiteral("CREATE %1INDEX %2 ON %3.%4 (%5);")
            .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), QLatin1String(i.name), TQuery::ident(database),
                QLatin1String(i.table), QLatin1String(i.columns));
    }

} // namespace

QStringList indexStatements(const QString& database)
{
    QStringList out;
    for (const IndexDef& i : kIndexes)
        out << indexText(database, i);
    return out;
}

QString indexDefinition(const QString& indexName)
{
    for (const IndexDef& i : kIndexes) {
        if (indexName == QLatin1String(i.name))
            return QStringLiteral("%1INDEX %2 (%3)")
                .arg(i.unique ? QStringLiteral("UNIQUE ") : QString(), QLatin1String(i.name), QLatin1String(i.columns));
    }
    return {};
}

QString lockWrite()
{
    return QStringLiteral("lock_count=(lock_count+1)%256");
}

QString columnDefinition(const QString& table, const QString& column)
{
    QString columns;
    for (const TableDef& t : kTables) {
        if (table == QLatin1String(t.name))
            columns = QString::fromLatin1(t.columns);
    }
    // split at the commas between columns, not those of decimal(40,20)
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= columns.size(); ++i) {
        const QChar c = i < columns.size() ? columns.at(i) : QLatin1Char(',');
        if (c == QLatin1Char('('))
            ++depth;
        else if (c == QLatin1Char(')'))
            --depth;
        else if (c == QLatin1Char(',') && depth == 0) {
            const QString definition = columns.mid(start, i - start).trimmed();
            if (definition.section(QLatin1Char(' '), 0, 0).compare(column, Qt::CaseInsensitive) == 0)
                return definition;
            start = i + 1;
        }
    }
    return {};
}

QString companyScript(const QString& database)
{
    return (tableStatements(database, Variant::Company) + indexStatements(database)).join(QLatin1Char(' '));
}

QString generalStoresScript1()
{
    static const char* const names[] = { "card_details", "cash_details", "vbilldetails", "tordergrid", "temp_ordergrid",
        "cheque_details", "comment", "customer_details", "delivery" };
    return group(names, 9);
}

QString generalStoresScript2()
{
    static const char* const names[] = { "item", "itemdetails", "login", "payment_details", "sales_order",
        "sales_order_details", "stock_details", "tax", "sales_settings" };
    return group(names, 9);
}

QString dbnameTableStatement()
{
    return QStringLiteral("CREATE TABLE  dbname.dbname (   cname char(30) NOT NULL, PRIMARY KEY (cname))") + kEngine
        + QStringLiteral("; ");
}

QString superPasswordTableStatement()
{
    return QStringLiteral("CREATE TABLE IF NOT EXISTS dbname.super_password (id int NOT NULL, "
                          "password varchar(128) NOT NULL, PRIMARY KEY (id))")
        + kEngine;
}

QString pcmacTableStatement()
{
    return QStringLiteral("CREATE TABLE  pcmac.pcmac (   mac char(30) NOT NULL, Comp_name char(30) ,Role char(30),"
                          "id int(6) NOT NULL AUTO_INCREMENT, PRIMARY KEY (id))")
        + kEngine + QStringLiteral(";");
}

QString pathImgTableStatement()
{
    return QStringLiteral("CREATE TABLE  pcmac.path_img (   `id` int(10) unsigned NOT NULL auto_increment,  `path_` "
                          "varchar(245) NOT NULL , PRIMARY KEY  (`id`))")
        + kEngine + QStringLiteral(";");
}

} // namespace Schema

#undef AMOUNT
