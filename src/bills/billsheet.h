#pragma once

#include <QList>
#include <QString>

class Worksheet;

// The bill sheet: the cells a printed bill fills in the first worksheet of the bill template.
// Values are texts and go to the sheet unchanged.

struct BillSheetLine {
    QString itemName, rate, quantity, price, tax, subtotal, discount, total;
};

struct BillSheet {
    QString company; // as printed (see billCompanyName)
    QString date, time, customer;
    QString terminalId, billNo;
    QString items; // number of items
    QString subTotal, tax, total, balance;
    QString homeDelivery; // "Yes" or "No"
    QString charges, amountPaid, grandTotal;
    QList<BillSheetLine> lines;
    bool duplicate = false; // the old-bill copy: "Duplicate" in I1, the customer over F3:G3
};

inline const QString kBillTemplate = QStringLiteral("billtemplate.xls");
inline const QString kBillDuplicateTemplate = QStringLiteral("billduplicate.xls");
inline const QString kBillSheetName = QStringLiteral("Bill Details");

// A company's name as the bill shows it: every "_" a blank.
QString billCompanyName(const QString& company);
// company + bill number + ".xls", for example "MAIN STORE57.xls".
QString billFileName(const QString& company, const QString& billNo);

// Writes the bill's cells and names the sheet "Bill Details". An item name longer than 20
// characters takes two rows. Returns the row after the last line (8 for a bill without lines).
int fillBillSheet(Worksheet& sheet, const BillSheet& bill);

// Makes the bill workbook from the template, fills it and saves it to `path`. False, with the
// reason (naming the file) in *error, when the template cannot be read or the file not written;
// nothing is written then.
bool writeBillWorkbook(const BillSheet& bill, const QString& templatePath, const QString& path, QString* error);
