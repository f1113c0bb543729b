// The stock view's procedures: its item list, the filter over the ledger, and the export read
// back by the component and by a second reader.
#include "backoffice/View_stockpas.h"
#include "backofficefixture.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "workbook/workbook.h"
#include "workbooktestkit.h"

#include <QtTest>

using namespace BackOfficeFixture;

namespace {

QDate day(const char* text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

// A grid of `rows` ledger rows made up as they are read, so that a million of them cost nothing.
class ManyRows : public QAbstractTableModel {
public:
    explicit ManyRows(int rows)
        : m_rows(rows)
    {
    }
    int rowCount(const QModelIndex& = {}) const override { return m_rows; }
    int columnCount(const QModelIndex& = {}) const override { return int(StockViewFields().size()); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return {};
        const QStringList row { QStringLiteral("01-08-2011"), QStringLiteral("RICE"), QString::number(index.row()),
            QStringLiteral("1"), QString::number(index.row() + 1), QStringLiteral("True") };
        return row.value(index.column());
    }

private:
    int m_rows;
};

} // namespace

class TestViewStockPas : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;

    // The filter's rows as "day item opening purchase closing bill".
    QStringList listed(const StockFilter& filter)
    {
        const QString refusal = FilterStockView(*dm, filter);
        if (!refusal.isEmpty())
            return { refusal };
        QStringList rows;
        TQuery& q = dm->MyQVD;
        for (q.first(); !q.eof(); q.next()) {
            QStringList row;
            for (const QString& field : StockViewFields())
                row << q.text(field);
            rows << row.join(QLatin1Char(' '));
        }
        return rows;
    }
    // The grid as the screen shows it: the received rows of every item in the range.
    std::unique_ptr<QueryTableModel> grid(const QDate& from, const QDate& to)
    {
        auto model = std::make_unique<QueryTableModel>(StockViewFields(), StockViewHeadings());
        if (FilterStockView(*dm, { from, to, kAllItems, true }).isEmpty())
            model->load(dm->MyQVD);
        return model;
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        dm = std::make_unique<TDm>(TestServer::settings());
        // the views only read: one company for every case
        createCompany();
        dm->setCompanyDatabase(kDb, true);
        // a company made before item names had their key may hold one name in two spellings
        exec(QStringLiteral("alter table $db.item drop index item_name, add index item_name (itemname)"));
        addItem(1, QStringLiteral("SUGAR"));
        addItem(2, QStringLiteral("RICE"));
        addItem(3, QStringLiteral("Salt"));
        addItem(4, QStringLiteral("SALT"));
        addItem(5, QStringLiteral("dal")); // no ledger row
        addLedgerRow(1, QStringLiteral("2011-07-31"), 0, 10, 10, 1);
        addLedgerRow(1, QStringLiteral("2011-08-01"), 10, 5, 15, 1);
        addLedgerRow(1, QStringLiteral("2011-08-05"), 15, 4, 19, 0);
        addLedgerRow(2, QStringLiteral("2011-08-01"), 0, 7, 7, 1);
        addLedgerRow(2, QStringLiteral("2011-08-31"), 7, 3, 9, 1);
        addLedgerRow(2, QStringLiteral("2011-09-01"), 9, 1, 10, 1);
        addLedgerRow(3, QStringLiteral("2011-08-10"), 0, 2, 2, 0);
    }
    void cleanupTestCase()
    {
        dm.reset();
        env.reset();
    }

    void itemListHasEveryItemOnce()
    {
        const QStringList loaded = LoadStockView(*dm);
        QCOMPARE(loaded.first(), kAllItems);
        QCOMPARE(loaded.size(), 6);
        QCOMPARE(DeDupeCombo(loaded), QStringList({ "All-Items", "DAL", "RICE", "SALT", "SUGAR" }));
    }

    void filter_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("received");
        QTest::addColumn<QStringList>("rows");
        const QDate aug1 = day("2011-08-01");
        const QDate aug31 = day("2011-08-31");
        QTest::newRow("received, both ends included")
            << aug1 << aug31 << kAllItems << true
            << QStringList { "01-08-2011 SUGAR 10 5 15 True", "01-08-2011 RICE 0 7 7 True",
                   "31-08-2011 RICE 7 3 9 True" };
        QTest::newRow("not received") << aug1 << aug31 << QString() << false
                                      << QStringList { "05-08-2011 SUGAR 15 4 19 False",
                                             "10-08-2011 Salt 0 2 2 False" };
        QTest::newRow("one item, received")
            << aug1 << aug31 << "SUGAR" << true << QStringList { "01-08-2011 SUGAR 10 5 15 True" };
        QTest::newRow("one item, not received")
            << aug1 << aug31 << "SUGAR" << false << QStringList { "05-08-2011 SUGAR 15 4 19 False" };
        QTest::newRow("name listed upper-cased")
            << aug1 << aug31 << "SALT" << false << QStringList { "10-08-2011 Salt 0 2 2 False" };
        QTest::newRow("item without rows") << aug1 << aug31 << "DAL" << true << QStringList();
        QTest::newRow("quoted name") << aug1 << aug31 << "SU\"GAR' or 1=1 -- " << true << QStringList();
        QTest::newRow("to before from") << aug1 << day("2011-07-31") << kAllItems << true
                                        << QStringList { "Select Proper Date" };
    }
    void filter()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, item);
        QFETCH(bool, received);
        QFETCH(QStringList, rows);
        // a refused range keeps the rows listed before
        QCOMPARE(listed({ day("2011-09-01"), day("2011-09-01"), kAllItems, true }).size(), 1);
        QCOMPARE(listed({ from, to, item, received }), rows);
        if (rows == QStringList { "Select Proper Date" }) {
            dm->MyQVD.first();
            QCOMPARE(dm->MyQVD.text(QStringLiteral("sdate")), QStringLiteral("01-09-2011"));
        }
    }

    void exportOfFiveRows()
    {
        const auto rows = grid(day("2011-07-31"), day("2011-09-01"));
        QCOMPARE(rows->rowCount(), 5);
        const QString file = StockExportPath(QStringLiteral("MAIN STORE"), day("2026-12-09"));
        QCOMPARE(file, env->root() + QStringLiteral("/program/stock_MAIN STORE_2026-12-09.xls"));
        // an export of the same day replaces the earlier one, without a file left aside
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier export");
        earlier.close();
        QString error;
        QVERIFY2(ExportStockToExcel(*rows, file, &error), qPrintable(error));
        QCOMPARE(QDir(env->root() + QStringLiteral("/program")).entryList(QDir::Files | QDir::Hidden).size(), 1);

        Workbook book;
        QVERIFY2(book.load(file), qPrintable(book.errorString()));
        const Worksheet& sheet = book.firstWorksheet();
        QCOMPARE(sheet.name(), QStringLiteral("Stock Details"));
        QCOMPARE(sheet.lastRow(), 6);
        QStringList shown;
        for (int row = 1; row <= 6; ++row) {
            QStringList cells;
            for (int column = 1; column <= 6; ++column)
                cells << sheet.text(row, column);
            shown << cells.join(QLatin1Char(' '));
        }
        QCOMPARE(shown,
            QStringList({ "DATE ITEM OPENING STOCK PURCHASE CLOSING STOCK BILL", "31-07-2011 SUGAR 0 10 10 True",
                "01-08-2011 SUGAR 10 5 15 True", "01-08-2011 RICE 0 7 7 True", "31-08-2011 RICE 7 3 9 True",
                "01-09-2011 RICE 9 1 10 True" }));

        const QJsonObject o = Kit::openpyxl(file, &error);
        QVERIFY2(!o.isEmpty(), qPrintable(error));
        QCOMPARE(o.value(QStringLiteral("sheets")).toArray().size(), 1);
        QCOMPARE(o.value(QStringLiteral("title")).toString(), QStringLiteral("Stock Details"));
        const QJsonObject cells = o.value(QStringLiteral("cells")).toObject();
        auto at = [&cells](const QString& cell, const char* key) {
            return cells.value(cell).toObject().value(QLatin1String(key)).toVariant().toString();
        };
        for (int row = 2; row <= 6; ++row)
            QCOMPARE(at(QStringLiteral("A%1").arg(row), "format"), QStringLiteral("dd-mm-yyyy"));
        QCOMPARE(at(QStringLiteral("A2"), "value"), QStringLiteral("2011-07-31"));
        QCOMPARE(at(QStringLiteral("C6"), "value"), QStringLiteral("9"));
        QCOMPARE(at(QStringLiteral("A2"), "align"), QStringLiteral("right"));
        QCOMPARE(at(QStringLiteral("B2"), "align"), QStringLiteral("left"));
        QVERIFY(!cells.contains(QStringLiteral("A7")));
        for (const QString cell : { "A1", "F1", "A2", "F2", "B4", "E6" }) {
            QCOMPARE(at(cell, "font"), QStringLiteral("Arabic Transparent"));
            QCOMPARE(at(cell, "size"), QStringLiteral("16"));
            QCOMPARE(at(cell, "color"), QStringLiteral("FF000080"));
            QCOMPARE(at(cell, "bold"), QStringLiteral("false"));
        }
        // fitted: the caption "CLOSING STOCK" in 16 points is wider than the standard column
        QVERIFY(o.value(QStringLiteral("widths")).toObject().value(QStringLiteral("E")).toDouble() > 15);
    }

    // Rows beyond the last row of a worksheet are refused before anything is written: the
    // day's earlier export stays as it was.
    void exportBeyondAWorksheetIsRefused()
    {
        const QString file = StockExportPath(QStringLiteral("MAIN STORE"), day("2026-12-09"));
        QFile earlier(file);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier export");
        earlier.close();
        const ManyRows rows(kMaxRows);
        QString error;
        QVERIFY(!ExportStockToExcel(rows, file, &error));
        // the message names the rows listed and the rows a worksheet takes
        QVERIFY2(
            error.contains(QLatin1String("1048576")) && error.contains(QLatin1String("1048575")), qPrintable(error));
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("earlier export"));
    }
};

QTEST_GUILESS_MAIN(TestViewStockPas)
#include "tst_view_stockpas.moc"
