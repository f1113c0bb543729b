#include "backoffice/View_stockpas.h"

#include "db/datamodulepos.h"
#include "platform/latin1.h"
#include "workbook/workbook.h"
#include "workbook/workbookfiles.h"

#include <QAbstractItemModel>
#include <algorithm>
#include <optional>

namespace {

// Rows of the export: the caption row, then the grid's rows from sheet row 2 on.
constexpr int kFirstDataRow = 2;

// Colour 8388608 of the automation interface: navy.
FontChange exportFont()
{
    FontChange f;
    f.name = S("Arabic Transparent");
    f.size = 16;
    f.bold = false;
    f.italic = false;
    f.color = FontChange::fromBgr(8388608);
    return f;
}

int digitsAt(QStringView text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

// A day as the grid shows it, "dd-mm-yyyy" (read by hand: 100,000 rows are exported at once).
QDate gridDay(QStringView text)
{
    if (text.size() != 10 || text[2] != QLatin1Char('-') || text[5] != QLatin1Char('-'))
        return {};
    const int year = digitsAt(text, 6, 4);
    const int month = digitsAt(text, 3, 2);
    const int dayOfMonth = digitsAt(text, 0, 2);
    return year > 0 && month > 0 && dayOfMonth > 0 ? QDate(year, month, dayOfMonth) : QDate();
}

// A ledger quantity (an int column): an optional minus and up to ten digits.
std::optional<double> quantity(QStringView text)
{
    const qsizetype sign = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    const qsizetype digits = text.size() - sign;
    if (digits < 1 || digits > 10)
        return std::nullopt;
    qint64 value = 0;
    for (qsizetype i = sign; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return double(sign ? -value : value);
}

void writeCell(Worksheet& sheet, int row, int column, const QString& text)
{
    if (column == 1) {
        // A day the grid shows as dd-mm-yyyy is a date on the sheet, whatever the reader's locale.
        CellRange cell = sheet.cells(row, column);
        const QDate day = gridDay(text);
        if (day.isValid())
            cell.setDate(day);
        else if (!text.isEmpty())
            cell.setValue(text);
        static const QString dayFormat = S("dd-mm-yyyy");
        cell.setNumberFormat(dayFormat);
        return;
    }
    if (text.isEmpty())
        return;
    // the quantities are numbers a spreadsheet can add up; the item and the bill stay texts
    const std::optional<double> number = column >= 3 && column <= 5 ? quantity(text) : std::nullopt;
    if (number)
        sheet.cells(row, column).setNumber(*number);
    else
        sheet.cells(row, column).setValue(text);
}

} // namespace

QStringList LoadStockView(TDm& dm)
{
    TQuery& q = dm.MyQVD;
    q.exec(S("select itemname from item"));
    QStringList names { kAllItems };
    for (q.first(); !q.eof(); q.next()) {
        if (!q.field(S("itemname")).isNull())
            names << q.text(S("itemname")).toUpper();
    }
    return names;
}

QStringList DeDupeCombo(QStringList list)
{
    list.sort();
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return list;
}

QStringList StockViewFields()
{
    return { S("sdate"), S("itemname"), S("opening_stock"), S("purchase"), S("closing_stock"), S("bill_recieved") };
}

QStringList StockViewHeadings()
{
    return { S("DATE"), S("ITEM"), S("OPENING STOCK"), S("PURCHASE"), S("CLOSING STOCK"), S("BILL") };
}

QString FilterStockView(TDm& dm, const StockFilter& filter)
{
    if (filter.to < filter.from)
        return S("Select Proper Date");
    TQuery& q = dm.MyQVD;
    QString sql = S("select DATE_FORMAT(s.sdate,'%d-%m-%Y') as sdate,i.itemname,s.opening_stock,s.purchase,"
                    "s.closing_stock,if(s.bill_recieved,'True','False') as bill_recieved "
                    "from item i,stock_details s where s.itemcode=i.itemcode and s.bill_recieved=")
        + (filter.billReceived ? S("1") : S("0")) + S(" and s.sdate>=") + q.quote(filter.from.toString(S("yyyy-MM-dd")))
        + S(" and s.sdate<=") + q.quote(filter.to.toString(S("yyyy-MM-dd")));
    if (!filter.item.isEmpty() && filter.item != kAllItems)
        sql += S(" and i.itemname=") + q.quote(filter.item);
    // the ledger's key order: a fixed order within a day, read without sorting
    q.exec(sql + S(" order by s.sdate,s.itemcode"));
    return {};
}

QString StockExportPath(const QString& companyName, const QDate& today)
{
    QString company = companyName;
    company.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
    return WorkbookFiles::outputPath(
        S("stock_") + company + QLatin1Char('_') + today.toString(S("yyyy-MM-dd")) + S(".xls"));
}

bool ExportStockToExcel(const QAbstractItemModel& rows, const QString& fileName, QString* error)
{
    // below the caption row a worksheet has room for one row less than it has rows
    if (rows.rowCount() > kMaxRows - 1) {
        if (error)
            *error = S("The stock view lists %1 rows, more than a worksheet holds (%2). Choose fewer days or one "
                       "item, and export again.")
                         .arg(rows.rowCount())
                         .arg(kMaxRows - 1);
        return false;
    }
    Workbook book;
    Worksheet& sheet = book.firstWorksheet();
    const QStringList headings = StockViewHeadings();
    for (int c = 0; c < headings.size(); ++c)
        sheet.cells(1, c + 1).setValue(headings.at(c));
    const int columns = std::min<int>(rows.columnCount(), int(headings.size()));
    for (int r = 0; r < rows.rowCount(); ++r) {
        for (int c = 0; c < columns; ++c)
            writeCell(sheet, r + kFirstDataRow, c + 1, rows.index(r, c).data().toString());
    }
    sheet.setName(S("Stock Details"));
    const FontChange font = exportFont();
    sheet.setColumnsFont(1, kMaxColumns, font);
    sheet.setRowFont(1, font);
    sheet.setRowFont(2, font);
    sheet.range(S("A2")).setHorizontalAlignment(HAlign::Right);
    sheet.range(S("B2")).setHorizontalAlignment(HAlign::Left);
    sheet.autoFitColumns();
    if (book.saveAs(fileName))
        return true;
    if (error)
        *error = book.errorString();
    return false;
}
