#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class QAbstractItemModel;
class TDm;

// The stock view: rows of the stock ledger for a range of days, one item or all, and either the
// rows whose supplier bill was received or those whose bill was not; and their export as a
// workbook.

// The item list's entry for every item.
inline const QString kAllItems = QStringLiteral("All-Items");

// The item list: "All-Items" and every item name upper-cased, unsorted.
QStringList LoadStockView(TDm& dm);

// Sorts the list and drops every entry equal to the one before it.
QStringList DeDupeCombo(QStringList list);

// The grid's columns: the result columns of FilterStockView and their captions, in order.
QStringList StockViewFields();
QStringList StockViewHeadings();

struct StockFilter {
    QDate from;
    QDate to;
    QString item; // empty or "All-Items" for every item
    bool billReceived = true;
};

// Runs the filter on the stock view's query object (dm.MyQVD): the ledger rows of the days from
// `from` to `to`, both included, in day order, dates as "dd-mm-yyyy" and the bill as "True" or
// "False". Returns "Select Proper Date", and runs nothing, when the range ends before it starts.
QString FilterStockView(TDm& dm, const StockFilter& filter);

// Where the export of the day goes: "stock_<company>_<yyyy-mm-dd>.xls" in the folder for
// written workbooks.
QString StockExportPath(const QString& companyName, const QDate& today);

// Writes the grid's rows (the columns of StockViewFields, as the grid shows them) into a new
// workbook with the sheet "Stock Details", replacing a file of that name. False, with the reason
// in *error, when the file cannot be written, or, before anything is written, when the rows do
// not fit one worksheet (1,048,575 below the captions).
bool ExportStockToExcel(const QAbstractItemModel& rows, const QString& fileName, QString* error = nullptr);
