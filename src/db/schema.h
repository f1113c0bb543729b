#pragma once

#include <QString>
#include <QStringList>

// The table statements the program creates its databases with.
namespace Schema {

// The company variant is used for every company database; the general_stores variant once,
// for the database whose login table holds the users of all companies.
enum class Variant { Company, GeneralStores };

// The eighteen CREATE TABLE statements of one database, in creation order.
QStringList tableStatements(const QString& database, Variant variant);
// The secondary indexes of a company database (plain CREATE [UNIQUE] INDEX, one per statement,
// which MariaDB and MySQL 8 both accept; a rerun fails with "Duplicate key name", 1061, and counts
// as done), for the lookups the counter makes on every line and bill, and the unique keys of item
// names and tax days.
QStringList indexStatements(const QString& database);
// The table and then the index statements joined into one line, as a script file holds them.
QString companyScript(const QString& database);
// The general_stores tables come in two scripts.
QString generalStoresScript1();
QString generalStoresScript2();

QString dbnameTableStatement();
// The shop's super-password, one row (id 1) holding its hash; made at every start when missing.
QString superPasswordTableStatement();
QString pcmacTableStatement();
QString pathImgTableStatement();

// The assignment that writes a locked row of the item or stock ledger tables (its lock counter
// goes round), as the SET clause of an UPDATE that locks the rows it names.
QString lockWrite();

// Table names in creation order.
QStringList tableNames();

// The definition of one column of a company table as it is created ("amount_paid decimal(40,20)
// default NULL"), for the upgrade of tables made before; empty for an unknown column.
QString columnDefinition(const QString& table, const QString& column);
// An index of the company tables as an ALTER TABLE adds it ("UNIQUE INDEX item_name (itemname)"),
// empty for an unknown one.
QString indexDefinition(const QString& indexName);

} // namespace Schema
