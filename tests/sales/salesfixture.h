#pragma once

#include "db/schema.h"
#include "testsupport.h"

// A company database made with the program's own table statements, and its seed rows.
namespace SalesFixture {

inline void createCompany(const QString& db)
{
    QStringList s { QStringLiteral("drop database if exists ") + db, QStringLiteral("create database ") + db };
    s << Schema::tableStatements(db, Schema::Variant::Company) << Schema::indexStatements(db);
    s << QStringLiteral("insert into %1.sales_settings values ('quantity','1000'),('Round Off','2')").arg(db);
    TestServer::exec(s);
}

// Statements that empty every table of a company database: much faster than making it again.
inline QStringList emptyCompany(const QString& db)
{
    QStringList s;
    for (const QString& table : Schema::tableNames())
        s << QStringLiteral("delete from %1.%2").arg(db, table);
    return s;
}

// The counter's settings as a shop keeps them.
inline QString counterSettings(const QString& db)
{
    return QStringLiteral("insert into %1.sales_settings values ('quantity','1000'),('Round Off','2'),"
                          "('minimal value','1'),('Round amount','not checked')")
        .arg(db);
}

// An item with its latest stock row (closing < 0: no stock row at all).
inline void addItem(const QString& db, int code, const QString& name, const QString& rate, const QString& tax,
    const QString& discount, int minimal, int closing, const QString& barcode = QStringLiteral("0"))
{
    QStringList s { QStringLiteral(
        "insert into %1.item(itemcode,itemname,rate,discount,tax,minimal,barcode) values(%2,'%3',%4,%5,%6,%7,'%8')")
                        .arg(db)
                        .arg(code)
                        .arg(QString(name)
                                 .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
                                 .replace(QLatin1Char('\''), QStringLiteral("''")),
                            rate, discount, tax)
                        .arg(minimal)
                        .arg(barcode) };
    if (closing >= 0) {
        // an older row first, so the latest-row rule is what picks the figure
        s << QStringLiteral(
            "insert into %1.stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
            "values('2026-01-05',%2,500,0,500,0)")
                 .arg(db)
                 .arg(code);
        s << QStringLiteral(
            "insert into %1.stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
            "values('2026-12-01',%2,%3,0,%3,0)")
                 .arg(db)
                 .arg(code)
                 .arg(closing);
    }
    TestServer::exec(s);
}

// A line of some terminal's grid, as another terminal's order would have it.
inline void addGridLine(const QString& db, const QString& name, int quantity, int pcid, int billno)
{
    TestServer::exec({ QStringLiteral("insert into %1.tordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,"
                                      "total,pcid,billno) values('%2','1','%3','%3','0','%3','0','%3',%4,%5)")
                           .arg(db, name)
                           .arg(quantity)
                           .arg(pcid)
                           .arg(billno) });
}

} // namespace SalesFixture
