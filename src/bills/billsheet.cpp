#include "bills/billsheet.h"

#include "workbook/workbook.h"

namespace {

// Names of 21 characters and more take a second row (merged over A:B).
constexpr int kOneRowName = 20;

void cell(Worksheet& sheet, const QString& name, const QString& value)
{
    sheet.range(name).setValue(value);
}

QString at(const char* column, int row)
{
    return QLatin1String(column) + QString::number(row);
}

void mergedValue(Worksheet& sheet, const QString& first, const QString& last, const QString& value)
{
    sheet.range(first, last).merge().setValue(value);
}

} // namespace

QString billCompanyName(const QString& company)
{
    QString name = company;
    return name.replace(QLatin1Char('_'), QLatin1Char(' '));
}

QString billFileName(const QString& company, const QString& billNo)
{
    return billCompanyName(company) + billNo + QStringLiteral(".xls");
}

int fillBillSheet(Worksheet& sheet, const BillSheet& bill)
{
    if (bill.duplicate)
        cell(sheet, QStringLiteral("I1"), QStringLiteral("Duplicate"));
    sheet.range(QStringLiteral("B3"), QStringLiteral("C3")).merge();
    sheet.range(QStringLiteral("D3"), QStringLiteral("E3")).merge();
    if (bill.duplicate)
        sheet.range(QStringLiteral("F3"), QStringLiteral("G3")).merge();
    cell(sheet, QStringLiteral("D1"), bill.company);
    cell(sheet, QStringLiteral("B3"), bill.date);
    cell(sheet, QStringLiteral("D3"), bill.time);
    cell(sheet, QStringLiteral("F3"), bill.customer);
    cell(sheet, QStringLiteral("H3"),
        QLatin1Char(' ') + bill.terminalId + QLatin1Char('/') + bill.billNo + QLatin1Char(' '));

    sheet.range(QStringLiteral("A7"), QStringLiteral("B7"))
        .merge()
        .setHorizontalAlignment(HAlign::Left)
        .setValue(QStringLiteral("Item"));
    const char* const columns[] = { "C", "D", "E", "F", "G", "H", "I" };
    const QString headings[] = { QStringLiteral("Rate"), QStringLiteral("Quantity"), QStringLiteral("Price"),
        QStringLiteral("Tax"), QStringLiteral("Subtotal"), QStringLiteral("Discount"), QStringLiteral("Total") };
    for (int i = 0; i < 7; ++i)
        sheet.range(at(columns[i], 7)).setValue(headings[i]).setHorizontalAlignment(HAlign::Left);

    int r = 8;
    for (const BillSheetLine& line : bill.lines) {
        const int e = line.itemName.size() > kOneRowName ? 1 : 0;
        sheet.range(at("A", r), at("B", r + e)).merge().setValue(line.itemName).setHorizontalAlignment(HAlign::Left);
        const QString* values[]
            = { &line.rate, &line.quantity, &line.price, &line.tax, &line.subtotal, &line.discount, &line.total };
        for (int i = 0; i < 7; ++i)
            sheet.range(at(columns[i], r)).setValue(*values[i]).setHorizontalAlignment(HAlign::Left);
        r += e + 1;
    }

    const int n = r;
    const QString rs = QStringLiteral("Rs.");
    mergedValue(sheet, at("A", n + 4), at("B", n + 4), QStringLiteral("No. of Items:"));
    mergedValue(sheet, at("C", n + 4), at("D", n + 4), bill.items + QStringLiteral(" items"));
    mergedValue(sheet, at("A", n + 5), at("B", n + 5), QStringLiteral("Sub Total:"));
    mergedValue(sheet, at("C", n + 5), at("D", n + 5), rs + bill.subTotal);
    mergedValue(sheet, at("A", n + 6), at("B", n + 6), QStringLiteral("Vat/Tax:"));
    mergedValue(sheet, at("C", n + 6), at("D", n + 6), rs + bill.tax);
    mergedValue(sheet, at("A", n + 7), at("B", n + 7), QStringLiteral("Total:"));
    mergedValue(sheet, at("C", n + 7), at("D", n + 7), rs + bill.total);
    mergedValue(sheet, at("F", n + 4), at("G", n + 4), QStringLiteral("Home Delivery:"));
    mergedValue(sheet, at("H", n + 4), at("I", n + 4), bill.homeDelivery);
    mergedValue(sheet, at("F", n + 5), at("G", n + 5), QStringLiteral("Charges:"));
    mergedValue(sheet, at("H", n + 5), at("I", n + 5), rs + bill.charges);
    mergedValue(sheet, at("F", n + 6), at("G", n + 6), QStringLiteral("Amount Paid:"));
    mergedValue(sheet, at("H", n + 6), at("I", n + 6), rs + bill.amountPaid);
    mergedValue(sheet, at("F", n + 7), at("G", n + 7), QStringLiteral("Balance:"));
    mergedValue(sheet, at("H", n + 7), at("I", n + 7), rs + bill.balance);
    mergedValue(sheet, at("E", n + 9), at("F", n + 9), QStringLiteral("Grand Total:"));
    mergedValue(sheet, at("G", n + 9), at("H", n + 9), rs + bill.grandTotal);

    sheet.setName(kBillSheetName);
    return n;
}

bool writeBillWorkbook(const BillSheet& bill, const QString& templatePath, const QString& path, QString* error)
{
    Workbook book;
    if (!book.load(templatePath)) {
        if (error)
            *error = book.errorString();
        return false;
    }
    fillBillSheet(book.firstWorksheet(), bill);
    if (!book.saveAs(path)) {
        if (error)
            *error = book.errorString();
        return false;
    }
    return true;
}
