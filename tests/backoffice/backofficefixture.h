#pragma once

#include "db/schema.h"
#include "testsupport.h"

// A company database made with the program's own table statements, with the limits a new
// company gets, and helpers to seed and read its items, ledger and remarks.
namespace BackOfficeFixture {

inline const QString kDb = QStringLiteral("STORE");

inline QString sql(const QString& text)
{
    return QString(text).replace(QStringLiteral("$db"), kDb);
}

inline void exec(const QString& text)
{
    TestServer::exec({ sql(text) });
}

inline QString scalar(const QString& text)
{
    return TestServer::scalar(sql(text));
}

inline int count(const QString& text)
{
    return TestServer::count(sql(text));
}

inline void createCompany()
{
    QStringList s { QStringLiteral("drop database if exists ") + kDb, QStringLiteral("create database ") + kDb };
    s << Schema::tableStatements(kDb, Schema::Variant::Company) << Schema::indexStatements(kDb);
    s << sql(QStringLiteral("insert into $db.sales_settings values ('rate','100000'),('minimal','5'),"
                            "('purchase','10000'),('quantity','1000')"));
    TestServer::exec(s);
}

// An item row; its ledger rows are seeded separately.
inline void addItem(int code, const QString& name, int minimal = 5, const QString& barcode = QStringLiteral("0"))
{
    exec(QStringLiteral(
        "insert into $db.item(itemcode,itemname,rate,discount,tax,minimal,barcode) values(%1,'%2',10,0,0,%3,'%4')")
             .arg(code)
             .arg(name)
             .arg(minimal)
             .arg(barcode));
}

inline void addLedgerRow(int code, const QString& day, int opening, int purchase, int closing, int received = 0)
{
    exec(QStringLiteral(
        "insert into $db.stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
        "values('%1',%2,%3,%4,%5,%6)")
             .arg(day)
             .arg(code)
             .arg(opening)
             .arg(purchase)
             .arg(closing)
             .arg(received));
}

// opening,purchase,closing,bill_recieved of an item's row for a day; empty when there is none.
inline QString ledgerRow(int code, const QString& day)
{
    return scalar(QStringLiteral("select concat_ws(',',opening_stock,purchase,closing_stock,bill_recieved) from "
                                 "$db.stock_details where itemcode=%1 and sdate='%2'")
                      .arg(code)
                      .arg(day));
}

} // namespace BackOfficeFixture
