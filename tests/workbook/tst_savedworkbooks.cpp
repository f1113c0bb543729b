// The workbooks the program saves, as other programs see them: the zip records of a printed bill
// and of a stock export, and the cells a spreadsheet program reads from both.
#include "backoffice/View_stockpas.h"
#include "bills/billsheet.h"
#include "workbook/workbook.h"
#include "workbooktestkit.h"

#include <QFileInfo>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString S(const char* text)
{
    return QString::fromUtf8(text);
}

// Bill 57 of terminal 2 with five- to seven-digit amounts; the third item's name takes two rows.
BillSheet bill57()
{
    BillSheet b;
    b.company = billCompanyName(S("MAIN_STORE"));
    b.date = S("09-12-2026");
    b.time = S("10:00:00");
    b.customer = S("RAVI");
    b.terminalId = S("2");
    b.billNo = S("57");
    b.items = S("3");
    b.subTotal = S("1347913.55");
    b.tax = S("134791.36");
    b.total = S("1482704.91");
    b.balance = S("0");
    b.homeDelivery = S("No");
    b.charges = S("-");
    b.amountPaid = S("1482704.91");
    b.grandTotal = S("1482704.91");
    b.lines = { { S("TV"), S("12345.67"), S("1"), S("12345.67"), S("0"), S("12345.67"), S("0"), S("12345.67") },
        { S("FRIDGE"), S("99999.99"), S("1"), S("99999.99"), S("0"), S("99999.99"), S("0"), S("99999.99") },
        { S("AIR CONDITIONER 2 TON SPLIT"), S("1234567.89"), S("1"), S("1234567.89"), S("0"), S("1234567.89"), S("0"),
            S("1234567.89") } };
    return b;
}

// The stock view's rows as the grid shows them, `rows` of them.
std::unique_ptr<QStandardItemModel> stockRows(int rows)
{
    auto model = std::make_unique<QStandardItemModel>(rows, int(StockViewFields().size()));
    const QDate first(2011, 8, 1);
    for (int r = 0; r < rows; ++r) {
        const QStringList fields { first.addDays(r / 50).toString(S("dd-MM-yyyy")), S("ITEM %1").arg(r % 50),
            QString::number(r), QString::number(r % 7), QString::number(r + r % 7), r % 3 ? S("True") : S("False") };
        for (int c = 0; c < fields.size(); ++c)
            model->setItem(r, c, new QStandardItem(fields[c]));
    }
    return model;
}

} // namespace

class TestSavedWorkbooks : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_bill, m_export;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_bill = m_dir.filePath(S("MAIN STORE57.xls"));
        m_export = m_dir.filePath(S("stock_MAIN STORE_2026-12-09.xls"));
        QString error;
        QVERIFY2(writeBillWorkbook(bill57(), Kit::templateFolder() + S("/billtemplate.xls"), m_bill, &error),
            qPrintable(error));
        const auto rows = stockRows(3000);
        QVERIFY2(ExportStockToExcel(*rows, m_export, &error), qPrintable(error));
    }

    // Every part, the worksheet written as a stream among them, carries its sizes in both
    // headers, and neither header holds Zip64 records: spreadsheet programs that read the local
    // headers refuse or "repair" a package whose part says it may be larger than 4 GB.
    void partsCarryTheirSizesWithoutZip64Records_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("bill") << m_bill;
        QTest::newRow("stock export") << m_export;
    }
    void partsCarryTheirSizesWithoutZip64Records()
    {
        QFETCH(QString, file);
        bool zip64End = true;
        QString error;
        const QList<Kit::ZipRecord> records = Kit::zipRecords(file, &zip64End, &error);
        QVERIFY2(!records.isEmpty(), qPrintable(error));
        QVERIFY(!zip64End);
        bool sheetSeen = false;
        for (const Kit::ZipRecord& r : records) {
            sheetSeen = sheetSeen || r.name == S("xl/worksheets/sheet1.xml");
            const QByteArray name = r.name.toUtf8();
            QVERIFY2(r.localVersion <= 20 && r.centralVersion <= 20, name);
            QVERIFY2(!r.localExtras.contains(0x0001) && !r.centralExtras.contains(0x0001), name);
            // sizes in the local header itself, not in a descriptor after the data
            QVERIFY2(!(r.localFlags & 0x08), name);
            QCOMPARE(r.localCrc, r.centralCrc);
            QCOMPARE(r.localCompressed, r.centralCompressed);
            QCOMPARE(r.localSize, r.centralSize);
            QVERIFY2(r.localSize > 0 && r.localSize != 0xffffffffu, name);
        }
        QVERIFY(sheetSeen);
    }

    // A spreadsheet program shows every cell as the program's own reader does, and the bill's
    // figures and the export's rows as they were written.
    void aSpreadsheetProgramReadsTheCells()
    {
        QString error;
        const auto read = Kit::spreadsheetCells({ m_bill, m_export }, m_dir.path(), &error);
        QVERIFY2(read.size() == 2, qPrintable(error));

        for (const QString& file : { m_bill, m_export }) {
            Workbook book;
            QVERIFY2(book.load(file), qPrintable(book.errorString()));
            const Worksheet& sheet = book.firstWorksheet();
            const QList<QStringList> rows = read.value(QFileInfo(file).fileName());
            const int lastRow = std::max<int>(sheet.lastRow(), int(rows.size()));
            int lastColumn = sheet.lastColumn();
            for (const QStringList& row : rows)
                lastColumn = std::max<int>(lastColumn, int(row.size()));
            for (int r = 1; r <= lastRow; ++r) {
                for (int c = 1; c <= lastColumn; ++c) {
                    const QString shown = rows.value(r - 1).value(c - 1);
                    if (shown != sheet.text(r, c))
                        QFAIL(qPrintable(
                            QStringLiteral("%1 %2: \"%3\", written \"%4\"")
                                .arg(QFileInfo(file).fileName(), CellNames::name(r, c), shown, sheet.text(r, c))));
                }
            }
        }

        const QList<QStringList> bill = read.value(QFileInfo(m_bill).fileName());
        const auto cell = [&bill](const QString& name) {
            int r = 0, c = 0;
            CellNames::parse(name, r, c);
            return bill.value(r - 1).value(c - 1);
        };
        const QStringList expected { "D1=MAIN STORE", "H3= 2/57 ", "A8=TV", "C8=12345.67", "I9=99999.99",
            "A10=AIR CONDITIONER 2 TON SPLIT", "I10=1234567.89", "A11=", "C16=3 items", "C17=Rs.1347913.55",
            "C18=Rs.134791.36", "C19=Rs.1482704.91", "H17=Rs.-", "H18=Rs.1482704.91", "G21=Rs.1482704.91" };
        QStringList shown;
        for (const QString& e : expected) {
            const QString name = e.section(QLatin1Char('='), 0, 0);
            shown << name + QLatin1Char('=') + cell(name);
        }
        QCOMPARE(shown, expected);

        const QList<QStringList> stock = read.value(QFileInfo(m_export).fileName());
        QCOMPARE(stock.size(), 3001);
        QCOMPARE(stock.first(), QStringList({ "DATE", "ITEM", "OPENING STOCK", "PURCHASE", "CLOSING STOCK", "BILL" }));
        QCOMPARE(stock.value(1), QStringList({ "01-08-2011", "ITEM 0", "0", "0", "0", "False" }));
        QCOMPARE(stock.last(), QStringList({ "29-09-2011", "ITEM 49", "2999", "3", "3002", "True" }));
    }
};

QTEST_MAIN(TestSavedWorkbooks)
#include "tst_savedworkbooks.moc"
