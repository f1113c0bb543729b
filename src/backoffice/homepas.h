#pragma once

#include <QDate>
#include <QString>
#include <QVector>

class TDm;

// One line of the stock dashboard: an item that has a ledger, with the stock carried into the
// day (its snapshot) and its current stock.
struct DashboardLine {
    QString itemName; // upper-cased
    QString openingStock; // empty when the item has no snapshot row
    QString closingStock;
    bool low = false; // current stock at or below the item's minimal
};

// The latest ledger row of every item with its snapshot, in item-code order. One statement, so
// the item, opening and closing lists always describe the same item on the same line.
QVector<DashboardLine> DashboardLines(TDm& dm);

// The remark of a day, empty when the day has none.
QString DayComment(TDm& dm, const QDate& day);

// The company's logo picture: of <logo folder>/<company database> + ".bmp", ".ico", ".jpg", the
// last one that exists. Empty when the folder is not set or no picture exists.
QString CompanyLogoFile(TDm& dm, const QString& companyDb);
