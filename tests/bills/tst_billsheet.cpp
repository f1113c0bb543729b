#include "bills/billsheet.h"
#include "workbook/workbook.h"
#include "workbooktestkit.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

namespace {

BillSheet sampleBill(const QStringList& items)
{
    BillSheet b;
    b.company = billCompanyName(QStringLiteral("MAIN_STORE"));
    b.date = QStringLiteral("09-12-2026");
    b.time = QStringLiteral("10:00:00");
    b.customer = QStringLiteral("RAVI");
    b.terminalId = QStringLiteral("2");
    b.billNo = QStringLiteral("57");
    b.items = QString::number(items.size());
    b.subTotal = QStringLiteral("100");
    b.tax = QStringLiteral("5");
    b.total = QStringLiteral("105");
    b.balance = QStringLiteral("0");
    b.homeDelivery = QStringLiteral("No");
    b.charges = QStringLiteral("-");
    b.amountPaid = QStringLiteral("105");
    b.grandTotal = QStringLiteral("105");
    for (int i = 0; i < items.size(); ++i) {
        const QString n = QString::number(i + 1);
        b.lines.append({ items[i], QStringLiteral("10.50"), n, QStringLiteral("21"), QStringLiteral("1.05"),
            QStringLiteral("22.05"), QStringLiteral("0"), QStringLiteral("22.05") });
    }
    return b;
}

QString tpl(const QString& name)
{
    return Kit::templateFolder() + QLatin1Char('/') + name;
}

QString cellName(const char* column, int row)
{
    return QLatin1String(column) + QString::number(row);
}

} // namespace

class TestBillSheet : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void layout_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("n"); // the row after the last line
        QTest::addColumn<QStringList>("lineMerges");
        QTest::newRow("no printable lines") << QStringList() << 8 << QStringList();
        QTest::newRow("20 characters") << QStringList { QStringLiteral("ABCDEFGHIJKLMNOPQRST") } << 9
                                       << QStringList { QStringLiteral("A8:B8") };
        QTest::newRow("21 characters") << QStringList { QStringLiteral("ABCDEFGHIJKLMNOPQRSTU") } << 10
                                       << QStringList { QStringLiteral("A8:B9") };
        QTest::newRow("long, then short") << QStringList { QStringLiteral("COFFEE FILTER PAPERS 80"),
            QStringLiteral("SALT") } << 11 << QStringList { QStringLiteral("A8:B9"), QStringLiteral("A10:B10") };
    }

    void layout()
    {
        QFETCH(QStringList, items);
        QFETCH(int, n);
        QFETCH(QStringList, lineMerges);
        const BillSheet bill = sampleBill(items);
        const QString file = m_dir.filePath(billFileName(QStringLiteral("MAIN_STORE"), QStringLiteral("57")));
        QCOMPARE(QFileInfo(file).fileName(), QStringLiteral("MAIN STORE57.xls"));
        QString error;
        QVERIFY2(writeBillWorkbook(bill, tpl(kBillTemplate), file, &error), qPrintable(error));

        Workbook book;
        QVERIFY2(book.load(file), qPrintable(book.errorString()));
        const Worksheet& s = book.firstWorksheet();
        QCOMPARE(s.name(), QStringLiteral("Bill Details"));

        // every value cell of the sheet, with its alignment (true: left)
        QMap<QString, QPair<QString, bool>> expected {
            { QStringLiteral("D1"), { QStringLiteral("MAIN STORE"), false } },
            { QStringLiteral("B3"), { bill.date, false } },
            { QStringLiteral("D3"), { bill.time, false } },
            { QStringLiteral("F3"), { bill.customer, false } },
            { QStringLiteral("H3"), { QStringLiteral(" 2/57 "), false } },
            { QStringLiteral("A7"), { QStringLiteral("Item"), true } },
        };
        const char* const columns[] = { "C", "D", "E", "F", "G", "H", "I" };
        const QStringList headings { QStringLiteral("Rate"), QStringLiteral("Quantity"), QStringLiteral("Price"),
            QStringLiteral("Tax"), QStringLiteral("Subtotal"), QStringLiteral("Discount"), QStringLiteral("Total") };
        for (int i = 0; i < 7; ++i)
            expected.insert(cellName(columns[i], 7), { headings[i], true });
        int r = 8;
        for (const BillSheetLine& line : bill.lines) {
            expected.insert(cellName("A", r), { line.itemName, true });
            const QStringList figures { line.rate, line.quantity, line.price, line.tax, line.subtotal, line.discount,
                line.total };
            for (int i = 0; i < 7; ++i)
                expected.insert(cellName(columns[i], r), { figures[i], true });
            r += line.itemName.size() > 20 ? 2 : 1;
        }
        QCOMPARE(r, n);
        const QList<std::tuple<const char*, int, QString>> summary {
            { "A", 4, QStringLiteral("No. of Items:") },
            { "C", 4, bill.items + QStringLiteral(" items") },
            { "A", 5, QStringLiteral("Sub Total:") },
            { "C", 5, QStringLiteral("Rs.100") },
            { "A", 6, QStringLiteral("Vat/Tax:") },
            { "C", 6, QStringLiteral("Rs.5") },
            { "A", 7, QStringLiteral("Total:") },
            { "C", 7, QStringLiteral("Rs.105") },
            { "F", 4, QStringLiteral("Home Delivery:") },
            { "H", 4, QStringLiteral("No") },
            { "F", 5, QStringLiteral("Charges:") },
            { "H", 5, QStringLiteral("Rs.-") },
            { "F", 6, QStringLiteral("Amount Paid:") },
            { "H", 6, QStringLiteral("Rs.105") },
            { "F", 7, QStringLiteral("Balance:") },
            { "H", 7, QStringLiteral("Rs.0") },
            { "E", 9, QStringLiteral("Grand Total:") },
            { "G", 9, QStringLiteral("Rs.105") },
        };
        QStringList merges { QStringLiteral("B3:C3"), QStringLiteral("D3:E3"), QStringLiteral("A7:B7") };
        merges += lineMerges;
        for (const auto& [column, offset, value] : summary) {
            expected.insert(cellName(column, n + offset), { value, false });
            const char next[] = { static_cast<char>(column[0] + 1), '\0' };
            merges << cellName(column, n + offset) + QLatin1Char(':') + cellName(next, n + offset);
        }

        // the captions of the template stay; every other cell holds exactly the layout
        const QStringList captions { QStringLiteral("B2"), QStringLiteral("D2"), QStringLiteral("F2"),
            QStringLiteral("H2") };
        for (int row = 1; row <= s.lastRow(); ++row) {
            for (int col = 1; col <= 9; ++col) {
                const QString name = CellNames::name(row, col);
                if (captions.contains(name))
                    continue;
                QCOMPARE(s.text(row, col), expected.value(name).first);
                if (expected.contains(name))
                    QCOMPARE(s.format(row, col).horizontal == HAlign::Left, expected.value(name).second);
            }
        }
        QCOMPARE(s.lastRow(), n + 9);
        QStringList actual;
        for (const CellRect& m : s.mergedAreas())
            actual << m.name();
        actual.sort();
        merges.sort();
        QCOMPARE(actual, merges);
    }

    void secondReaderAgrees()
    {
        const QString file = m_dir.filePath(QStringLiteral("second.xls"));
        QString error;
        QVERIFY(writeBillWorkbook(
            sampleBill({ QStringLiteral("ABCDEFGHIJKLMNOPQRSTU") }), tpl(kBillTemplate), file, &error));
        const QJsonObject o = Kit::openpyxl(file, &error);
        QVERIFY2(!o.isEmpty(), qPrintable(error));
        QCOMPARE(o.value(QStringLiteral("title")).toString(), QStringLiteral("Bill Details"));
        const QJsonObject cells = o.value(QStringLiteral("cells")).toObject();
        QCOMPARE(cells.value(QStringLiteral("H3")).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral(" 2/57 "));
        QCOMPARE(cells.value(QStringLiteral("A8")).toObject().value(QStringLiteral("align")).toString(),
            QStringLiteral("left"));
        QCOMPARE(cells.value(QStringLiteral("B2")).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral("Date"));
        QVERIFY(cells.value(QStringLiteral("A7")).toObject().value(QStringLiteral("bold")).toBool());
        QVERIFY(o.value(QStringLiteral("merged")).toArray().contains(QStringLiteral("A8:B9")));
        QCOMPARE(o.value(QStringLiteral("names")).toObject().value(QStringLiteral("BillKey")).toString(),
            QStringLiteral("'Bill Details'!$H$3"));
    }

    void duplicateMarksTheCopy()
    {
        const QString file = m_dir.filePath(QStringLiteral("dup.xls"));
        BillSheet bill = sampleBill({ QStringLiteral("SALT") });
        bill.duplicate = true;
        QString error;
        QVERIFY2(writeBillWorkbook(bill, tpl(kBillDuplicateTemplate), file, &error), qPrintable(error));
        Workbook book;
        QVERIFY(book.load(file));
        const Worksheet& s = book.firstWorksheet();
        QCOMPARE(s.text(QStringLiteral("I1")), QStringLiteral("Duplicate"));
        const CellFormat& mark = s.format(1, 9);
        QVERIFY(mark.bold);
        QCOMPARE(mark.horizontal, HAlign::Right);
        QCOMPARE(mark.fontColor, 0xffc00000u);
        QCOMPARE(s.mergedAreaAt(3, 7), std::optional<CellRect>(CellRect { 3, 6, 3, 7 }));
        QCOMPARE(s.text(QStringLiteral("F3")), QStringLiteral("RAVI"));

        // the first print has neither
        const QString first = m_dir.filePath(QStringLiteral("first.xls"));
        QVERIFY(writeBillWorkbook(sampleBill({ QStringLiteral("SALT") }), tpl(kBillTemplate), first, &error));
        QVERIFY(book.load(first));
        QVERIFY(book.firstWorksheet().text(QStringLiteral("I1")).isEmpty());
        QVERIFY(!book.firstWorksheet().mergedAreaAt(3, 6));
    }

    void missingTemplateWritesNothing()
    {
        const QString file = m_dir.filePath(QStringLiteral("MAIN STORE58.xls"));
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("earlier print");
        }
        const QString missing = m_dir.filePath(kBillTemplate);
        QString error;
        QVERIFY(!writeBillWorkbook(sampleBill({}), missing, file, &error));
        QVERIFY2(error.contains(missing), qPrintable(error));
        QFile old(file);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("earlier print"));
    }
};

QTEST_GUILESS_MAIN(TestBillSheet)
#include "tst_billsheet.moc"
