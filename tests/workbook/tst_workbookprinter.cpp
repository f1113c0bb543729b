#include "bills/billsheet.h"
#include "workbook/workbook.h"
#include "workbook/workbookprinter.h"
#include "workbooktestkit.h"

#include <QFile>
#include <QGuiApplication>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

BillSheet bill(int lines)
{
    BillSheet b;
    b.company = QStringLiteral("MAIN STORE");
    b.date = QStringLiteral("09-12-2026");
    b.time = QStringLiteral("10:00:00");
    b.customer = QStringLiteral("RAVI");
    b.terminalId = QStringLiteral("2");
    b.billNo = QStringLiteral("57");
    b.items = QString::number(lines);
    b.subTotal = QStringLiteral("100");
    b.tax = QStringLiteral("5");
    b.total = QStringLiteral("105");
    b.balance = QStringLiteral("0");
    b.homeDelivery = QStringLiteral("No");
    b.charges = QStringLiteral("-");
    b.amountPaid = QStringLiteral("105");
    b.grandTotal = QStringLiteral("105");
    // "ffi" and "fi" are where ligatures would merge letters
    const QStringList names { QStringLiteral("Coffee filter"), QStringLiteral("Office supplies"),
        QStringLiteral("Basmati rice premium 5kg") };
    for (int i = 0; i < lines; ++i)
        b.lines.append({ i < 3 ? names[i] : QStringLiteral("Item number %1").arg(i + 1), QStringLiteral("10.50"),
            QString::number(i + 1), QStringLiteral("21"), QStringLiteral("1.05"), QStringLiteral("22.05"),
            QStringLiteral("0"), QStringLiteral("22.05") });
    return b;
}

struct Word {
    double left, right;
};

// Where pdftotext finds each word of the first page, by its text.
QMap<QString, Word> words(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral(POS_PDFTOTEXT),
        { QStringLiteral("-bbox"), QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-") });
    p.waitForFinished(30000);
    QMap<QString, Word> out;
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"[\\d.]+\" xMax=\"([\\d.]+)\" yMax=\"[\\d.]+\">([^<]*)</word>"));
    for (auto it = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); it.hasNext();) {
        const auto m = it.next();
        out.insert(m.captured(3), { m.captured(1).toDouble(), m.captured(2).toDouble() });
    }
    return out;
}

} // namespace

class TestWorkbookPrinter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeBill(int lines)
    {
        const QString file = m_dir.filePath(QStringLiteral("MAIN STORE57.xls"));
        QString error;
        if (!writeBillWorkbook(bill(lines), Kit::templateFolder() + QStringLiteral("/billtemplate.xls"), file, &error))
            qWarning("%s", qPrintable(error));
        return file;
    }

    QString text(const QString& pdf)
    {
        QString error;
        const QString t = Kit::pdfText(pdf, &error);
        if (t.isEmpty())
            qWarning("%s", qPrintable(error));
        return t;
    }

private Q_SLOTS:
    void init() { setPrintTarget(PrintTarget::Pdf); }

    void billPrintsAsPdfBesideTheWorkbook()
    {
        const QString xls = writeBill(3);
        const PrintOutcome out = printWorkbook(xls);
        QVERIFY2(out.ok(), qPrintable(out.error));
        QCOMPARE(out.kind, PrintOutcome::Kind::SavedAsPdf);
        QCOMPARE(out.where, m_dir.filePath(QStringLiteral("MAIN STORE57.pdf")));
        const QString t = text(out.where);
        for (const char* word : { "MAIN STORE", "Date", "Bill No.", "09-12-2026", "RAVI", "2/57", "Item", "Quantity",
                 "Coffee filter", "Office supplies", "Basmati rice premium 5kg", "22.05", "No. of Items:", "3 items",
                 "Vat/Tax:", "Rs.5", "Home Delivery:", "Rs.-", "Grand Total:", "Rs.105" })
            QVERIFY2(t.contains(QLatin1String(word)), word);
        QCOMPARE(t.count(QLatin1Char('\f')), 1); // one page
        // the row layout holds: each item on its own line, its figures beside it
        QVERIFY(t.contains(QRegularExpression(QStringLiteral("Office supplies +10.50 +2 +21"))));
    }

    void longBillRunsOverPages()
    {
        const PrintOutcome out = printWorkbook(writeBill(90));
        QVERIFY2(out.ok(), qPrintable(out.error));
        const QString t = text(out.where);
        QVERIFY(t.count(QLatin1Char('\f')) >= 2);
        const QStringList pages = t.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QVERIFY(pages.first().contains(QLatin1String("Coffee filter")));
        QVERIFY(pages.last().contains(QLatin1String("Item number 90")));
        QVERIFY(pages.last().contains(QLatin1String("Grand Total:")));
    }

    void withoutDefaultPrinterTheBillBecomesAPdf()
    {
        if (!QPrinterInfo::defaultPrinter().isNull())
            QSKIP("this machine has a default printer; the test prints nothing on paper");
        setPrintTarget(PrintTarget::DefaultPrinter);
        const QString xls = writeBill(1);
        QFile::remove(m_dir.filePath(QStringLiteral("MAIN STORE57.pdf")));
        const PrintOutcome out = printWorkbook(xls);
        QVERIFY2(out.ok(), qPrintable(out.error));
        QCOMPARE(out.kind, PrintOutcome::Kind::SavedAsPdf);
        QVERIFY(QFile::exists(out.where));
    }

    void missingFontPrintsInTheStandardFont()
    {
        Workbook book;
        Worksheet& s = book.firstWorksheet();
        s.range(QStringLiteral("A1")).setValue(QStringLiteral("CLOSING STOCK"));
        s.range(QStringLiteral("A2")).setDate(QDate(2011, 8, 1)).setNumberFormat(QStringLiteral("dd-mm-yyyy"));
        // runs on into the empty cells beside it
        s.range(QStringLiteral("A4")).setValue(QStringLiteral("A remark far longer than its column"));
        s.setColumnsFont(
            1, kMaxColumns, { QStringLiteral("Arabic Transparent"), 16, false, false, std::nullopt, 0x000080 });
        const QString xls = m_dir.filePath(QStringLiteral("stock_MAIN_2026-12-09.xls"));
        QVERIFY(book.saveAs(xls));
        const PrintOutcome out = printWorkbook(xls);
        QVERIFY2(out.ok(), qPrintable(out.error));
        QCOMPARE(out.where, m_dir.filePath(QStringLiteral("stock_MAIN_2026-12-09.pdf")));
        const QString t = text(out.where);
        QVERIFY(t.contains(QLatin1String("CLOSING STOCK")));
        QVERIFY(t.contains(QLatin1String("01-08-2011")));
        QVERIFY(t.contains(QLatin1String("A remark far longer than its column")));
    }

    void alignmentOnPaper()
    {
        // three columns of one width: a text left, a number right, a text centred, and a
        // merged area over all three centred
        Workbook book;
        Worksheet& s = book.firstWorksheet();
        s.setColumnWidth(1, 3, 20);
        s.range(QStringLiteral("A1")).setValue(QStringLiteral("left"));
        s.range(QStringLiteral("B1")).setNumber(42);
        s.range(QStringLiteral("C1")).setValue(QStringLiteral("mid")).setHorizontalAlignment(HAlign::Center);
        s.range(QStringLiteral("A3"), QStringLiteral("C3"))
            .merge()
            .setHorizontalAlignment(HAlign::Center)
            .setValue(QStringLiteral("across"));
        const QString xls = m_dir.filePath(QStringLiteral("aligned.xls"));
        QVERIFY(book.saveAs(xls));
        const PrintOutcome out = printWorkbook(xls);
        QVERIFY2(out.ok(), qPrintable(out.error));
        const QMap<QString, Word> w = words(out.where);
        QCOMPARE(w.size(), 4);
        const auto centre = [&](const char* t) { return (w[QLatin1String(t)].left + w[QLatin1String(t)].right) / 2; };
        const double width = centre("mid") - centre("across"); // a column
        const double x0 = centre("across") - 1.5 * width; // left edge of A
        QVERIFY(width > 50);
        QVERIFY(qAbs(w[QStringLiteral("left")].left - x0) < 4); // after the cell's padding
        QVERIFY(qAbs(w[QStringLiteral("42")].right - (x0 + 2 * width)) < 4);
    }

    void failuresComeBackAsValues_data()
    {
        QTest::addColumn<QString>("workbook");
        QTest::addColumn<QString>("pdf"); // empty: beside the workbook
        QTest::addColumn<QString>("named"); // what the error names
        const QString dir = m_dir.path();
        QTest::newRow("no workbook") << dir + "/gone.xls" << QString() << dir + "/gone.xls";
        QTest::newRow("not a workbook") << dir + "/notes.xls" << QString() << dir + "/notes.xls";
        QTest::newRow("nothing on the sheet") << dir + "/blank.xls" << QString() << "Sheet1";
        QTest::newRow("folder missing") << dir + "/ok.xls" << dir + "/none/ok.pdf" << dir + "/none/ok.pdf";
    }

    void failuresComeBackAsValues()
    {
        QFETCH(QString, workbook);
        QFETCH(QString, pdf);
        QFETCH(QString, named);
        {
            QFile notes(m_dir.filePath(QStringLiteral("notes.xls")));
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write("not a workbook");
        }
        QVERIFY(Workbook().saveAs(m_dir.filePath(QStringLiteral("blank.xls"))));
        Workbook ok;
        ok.firstWorksheet().range(QStringLiteral("A1")).setValue(QStringLiteral("x"));
        QVERIFY(ok.saveAs(m_dir.filePath(QStringLiteral("ok.xls"))));

        const PrintOutcome out = pdf.isEmpty() ? printWorkbook(workbook) : printWorkbookToPdf(workbook, pdf);
        QCOMPARE(out.kind, PrintOutcome::Kind::Failed);
        QVERIFY2(out.error.contains(named), qPrintable(out.error));
        QVERIFY(!QFile::exists(pdf.isEmpty() ? pdfPathFor(workbook) : pdf));
    }
};

int main(int argc, char** argv)
{
    // no print server: the machine has no default printer, as on a counter without one
    qputenv("CUPS_SERVER", "/nonexistent/cups.sock");
    QGuiApplication app(argc, argv);
    TestWorkbookPrinter test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_workbookprinter.moc"
