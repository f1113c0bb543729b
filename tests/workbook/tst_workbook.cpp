#include "platform/errors.h"
#include "workbook/numberformat.h"
#include "workbook/workbook.h"
#include "workbooktestkit.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const QByteArray kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// A workbook as another program writes it: shared strings (one of them only blanks), a formula
// with its calculation chain, rich text, a boolean.
QList<QPair<QString, QByteArray>> foreignPackage()
{
    const QByteArray head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    const QByteArray types = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
    return {
        { QStringLiteral("[Content_Types].xml"),
            head
                + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Default Extension=\"rels\" "
                  "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                  "<Override PartName=\"/xl/workbook.xml\" ContentType=\""
                + types + "sheet.main+xml\"/><Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" + types
                + "worksheet+xml\"/><Override PartName=\"/xl/styles.xml\" ContentType=\"" + types
                + "styles+xml\"/><Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" + types
                + "sharedStrings+xml\"/><Override PartName=\"/xl/calcChain.xml\" ContentType=\"" + types
                + "calcChain+xml\"/></Types>" },
        { QStringLiteral("_rels/.rels"),
            head
                + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" Type=\""
                + kRel + "/officeDocument\" Target=\"/xl/workbook.xml\"/></Relationships>" },
        { QStringLiteral("xl/workbook.xml"),
            head + "<workbook xmlns=\"" + kMain + "\" xmlns:r=\"" + kRel
                + "\"><sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>" },
        { QStringLiteral("xl/_rels/workbook.xml.rels"),
            head
                + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId7\" Type=\""
                + kRel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId8\" Type=\"" + kRel
                + "/styles\" Target=\"styles.xml\"/><Relationship Id=\"rId9\" Type=\"" + kRel
                + "/sharedStrings\" Target=\"sharedStrings.xml\"/><Relationship Id=\"rId10\" Type=\"" + kRel
                + "/calcChain\" Target=\"calcChain.xml\"/></Relationships>" },
        { QStringLiteral("xl/worksheets/sheet1.xml"),
            head + "<worksheet xmlns=\"" + kMain + "\"><sheetData>"
                + "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><f>1+1</f><v>2</v></c>"
                  "<c r=\"C1\" t=\"inlineStr\"><is><r><rPr><b/></rPr><t>rich</t></r><r><t xml:space=\"preserve\"> "
                  "text</t></r></is></c></row>"
                  "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>1</v></c><c r=\"B2\" t=\"b\"><v>1</v></c></row>"
                  "</sheetData></worksheet>" },
        { QStringLiteral("xl/styles.xml"),
            head + "<styleSheet xmlns=\"" + kMain
                + "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
                  "<fills count=\"1\"><fill><patternFill patternType=\"none\"/></fill></fills>"
                  "<borders count=\"1\"><border/></borders><cellXfs count=\"1\"><xf "
                  "fontId=\"0\"/></cellXfs></styleSheet>" },
        { QStringLiteral("xl/sharedStrings.xml"),
            head + "<sst xmlns=\"" + kMain
                + "\" count=\"2\" uniqueCount=\"2\"><si><t xml:space=\"preserve\">  </t></si>"
                  "<si><r><t>sh</t></r><r><t>ared</t></r></si></sst>" },
        { QStringLiteral("xl/calcChain.xml"),
            head + "<calcChain xmlns=\"" + kMain + "\"><c r=\"B1\" i=\"1\"/></calcChain>" },
    };
}

QString billTemplate()
{
    return Kit::templateFolder() + QStringLiteral("/billtemplate.xls");
}

} // namespace

class TestWorkbook : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QJsonObject readBack(const QString& file)
    {
        QString error;
        const QJsonObject o = Kit::openpyxl(file, &error);
        if (o.isEmpty())
            qWarning("second reader: %s", qPrintable(error));
        return o;
    }

private Q_SLOTS:
    void cellNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("A1") << "A1" << 1 << 1;
        QTest::newRow("lower case") << "b3" << 3 << 2;
        QTest::newRow("two letters") << "AA10" << 10 << 27;
        QTest::newRow("absolute") << "$H$3" << 3 << 8;
        QTest::newRow("last cell") << "XFD1048576" << 1048576 << 16384;
        QTest::newRow("row 0") << "A0" << 0 << 0;
        QTest::newRow("leading zero") << "A01" << 0 << 0;
        QTest::newRow("column past the last") << "XFE1" << 0 << 0;
        QTest::newRow("row past the last") << "A1048577" << 0 << 0;
        QTest::newRow("digits first") << "1A" << 0 << 0;
        QTest::newRow("empty") << "" << 0 << 0;
        QTest::newRow("sign") << "A-1" << 0 << 0;
    }

    void cellNames()
    {
        QFETCH(QString, name);
        QFETCH(int, row);
        QFETCH(int, column);
        int r = 0, c = 0;
        QCOMPARE(CellNames::parse(name, r, c), row > 0);
        Workbook book;
        if (row == 0) {
            QVERIFY_THROWS_EXCEPTION(PosError, book.firstWorksheet().range(name));
            return;
        }
        QCOMPARE(r, row);
        QCOMPARE(c, column);
        QCOMPARE(CellNames::name(r, c), name.toUpper().remove(QLatin1Char('$')));
        // a range named by its corners in any order is the same rectangle
        QCOMPARE(
            book.firstWorksheet().range(QStringLiteral("C5"), QStringLiteral("A2")).rect(), (CellRect { 2, 1, 5, 3 }));
    }

    void textsSurviveTheRoundTrip()
    {
        const QStringList texts { QStringLiteral(" 2/57 "), QStringLiteral("   "), QStringLiteral("a & <b> \"c\""),
            QStringLiteral("_x0041_ stays"), QStringLiteral("tab\there"), QStringLiteral("bell") + QChar(7),
            QStringLiteral("₹ 10.50"), QStringLiteral("0012") };
        Workbook book;
        Worksheet& s = book.firstWorksheet();
        for (int i = 0; i < texts.size(); ++i)
            s.cells(i + 1, 1).setValue(texts[i]);
        s.range(QStringLiteral("B1")).setNumber(10.5);
        s.range(QStringLiteral("B2")).setDate(QDate(2011, 8, 1)).setNumberFormat(QStringLiteral("dd-mm-yyyy"));
        const QString file = path(QStringLiteral("texts.xls"));
        QVERIFY2(book.saveAs(file), qPrintable(book.errorString()));
        QVERIFY(Kit::part(file, QStringLiteral("xl/worksheets/sheet1.xml"))
                    .contains("<t xml:space=\"preserve\"> 2/57 </t>"));

        Workbook back;
        QVERIFY2(back.load(file), qPrintable(back.errorString()));
        const Worksheet& b = back.firstWorksheet();
        for (int i = 0; i < texts.size(); ++i) {
            QCOMPARE(b.value(i + 1, 1).kind, CellValue::Kind::Text);
            QCOMPARE(b.text(i + 1, 1), texts[i]);
        }
        QCOMPARE(b.value(1, 2).kind, CellValue::Kind::Number);
        QCOMPARE(b.value(1, 2).number, 10.5);
        QCOMPARE(b.text(QStringLiteral("B2")), QStringLiteral("01-08-2011"));

        const QJsonObject cells = readBack(file).value(QStringLiteral("cells")).toObject();
        for (const char* cell : { "A1", "A2", "A3", "A8" })
            QCOMPARE(cells.value(QLatin1String(cell)).toObject().value(QStringLiteral("value")).toString(),
                texts[QByteArray(cell + 1).toInt() - 1]);
        QCOMPARE(cells.value(QStringLiteral("B1")).toObject().value(QStringLiteral("value")).toDouble(), 10.5);
        QCOMPARE(cells.value(QStringLiteral("B2")).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral("2011-08-01"));
    }

    void cellsAreWrittenInOrder()
    {
        Workbook book;
        QVERIFY(book.load(billTemplate()));
        Worksheet& s = book.firstWorksheet();
        s.range(QStringLiteral("AA8")).setValue(QStringLiteral("late"));
        s.range(QStringLiteral("B8")).setValue(QStringLiteral("early"));
        s.range(QStringLiteral("C40")).setValue(QStringLiteral("last"));
        s.range(QStringLiteral("C5")).setValue(QStringLiteral("top"));
        const QString file = path(QStringLiteral("order.xls"));
        QVERIFY(book.saveAs(file));
        const QByteArray xml = Kit::part(file, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(xml.contains("<dimension ref=\"A1:AA40\"/>"));
        QVERIFY(xml.indexOf("r=\"I3\"") < xml.indexOf("r=\"C5\""));
        QVERIFY(xml.indexOf("r=\"C5\"") < xml.indexOf("r=\"I7\""));
        QVERIFY(xml.indexOf("r=\"I7\"") < xml.indexOf("r=\"B8\""));
        QVERIFY(xml.indexOf("r=\"B8\"") < xml.indexOf("r=\"AA8\""));
        QVERIFY(xml.indexOf("r=\"AA8\"") < xml.indexOf("r=\"C40\""));
        const QJsonObject cells = readBack(file).value(QStringLiteral("cells")).toObject();
        QCOMPARE(cells.value(QStringLiteral("AA8")).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral("late"));
        QCOMPARE(cells.value(QStringLiteral("C40")).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral("last"));
    }

    void mergesFollowSpreadsheetRules()
    {
        Workbook book;
        Worksheet& s = book.firstWorksheet();
        s.range(QStringLiteral("C5")).setValue(QStringLiteral("dropped"));
        s.range(QStringLiteral("B5"), QStringLiteral("C5")).merge();
        s.range(QStringLiteral("B5"), QStringLiteral("C5")).merge(); // twice is once
        QVERIFY(s.text(QStringLiteral("C5")).isEmpty());
        s.range(QStringLiteral("A7"), QStringLiteral("B7")).merge();
        s.range(QStringLiteral("B7"), QStringLiteral("C7")).merge(); // takes in the area it overlaps
        s.range(QStringLiteral("E1")).merge(); // one cell: nothing to merge
        s.range(QStringLiteral("A7"), QStringLiteral("C7")).setValue(QStringLiteral("Item"));
        const QList<CellRect> expected { { 5, 2, 5, 3 }, { 7, 1, 7, 3 } };
        QCOMPARE(s.mergedAreas(), expected);
        QCOMPARE(s.text(QStringLiteral("A7")), QStringLiteral("Item"));
        QVERIFY(s.value(7, 2).isEmpty() && s.value(7, 3).isEmpty());
        QCOMPARE(s.mergedAreaAt(7, 3), std::optional<CellRect>(CellRect { 7, 1, 7, 3 }));

        const QString file = path(QStringLiteral("merges.xls"));
        QVERIFY(book.saveAs(file));
        const QByteArray xml = Kit::part(file, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(xml.contains("<mergeCells count=\"2\">"));
        QVERIFY(xml.indexOf("</sheetData>") < xml.indexOf("<mergeCells"));
        QVERIFY(xml.indexOf("</mergeCells>") < xml.indexOf("<pageMargins"));
        Workbook back;
        QVERIFY(back.load(file));
        QCOMPARE(back.firstWorksheet().mergedAreas(), expected);
        const QJsonArray merged = readBack(file).value(QStringLiteral("merged")).toArray();
        QCOMPARE(merged, (QJsonArray { QStringLiteral("A7:C7"), QStringLiteral("B5:C5") }));
    }

    void stylesAreClonedNotEdited()
    {
        Workbook book;
        QVERIFY(book.load(billTemplate()));
        Worksheet& s = book.firstWorksheet();
        const int shared = s.styleIndex(7, 3);
        QCOMPARE(s.styleIndex(7, 4), shared);
        s.range(QStringLiteral("C7")).setHorizontalAlignment(HAlign::Left);
        const int clone = s.styleIndex(7, 3);
        QVERIFY(clone != shared);
        QCOMPARE(s.styleIndex(7, 4), shared);
        QCOMPARE(s.format(7, 4).horizontal, HAlign::General);
        const CellFormat& f = s.format(7, 3);
        QCOMPARE(f.horizontal, HAlign::Left);
        QVERIFY(f.bold && f.filled && f.top.isSet() && f.bottom.isSet()); // the rest of the style stays
        // the same change of the same style makes no second copy
        s.range(QStringLiteral("D7"), QStringLiteral("I7")).setHorizontalAlignment(HAlign::Left);
        for (int c = 4; c <= 9; ++c)
            QCOMPARE(s.styleIndex(7, c), clone);
        FontChange bold;
        bold.bold = true;
        s.range(QStringLiteral("A20")).setFont(bold);
        s.range(QStringLiteral("A21")).setFont(bold);
        QCOMPARE(s.styleIndex(20, 1), s.styleIndex(21, 1));
        QVERIFY(s.format(20, 1).bold);
        QVERIFY(!s.format(0).bold);

        const QString file = path(QStringLiteral("styles.xls"));
        QVERIFY(book.saveAs(file));
        const QByteArray styles = Kit::part(file, QStringLiteral("xl/styles.xml"));
        QVERIFY(styles.contains("<cellXfs count=\"10\">"));
        QVERIFY(styles.indexOf("</fonts>") < styles.indexOf("<fills"));
        Workbook back;
        QVERIFY(back.load(file));
        QCOMPARE(back.firstWorksheet().format(7, 9).horizontal, HAlign::Left);
        QCOMPARE(back.firstWorksheet().format(7, 2).horizontal, HAlign::General);
    }

    void renamingQuotesDefinedNames()
    {
        Workbook book;
        QVERIFY(book.load(billTemplate()));
        Worksheet& s = book.firstWorksheet();
        QVERIFY(s.setName(QStringLiteral("Bill Details")));
        const QString file = path(QStringLiteral("renamed.xls"));
        QVERIFY(book.saveAs(file));
        const QByteArray workbookXml = Kit::part(file, QStringLiteral("xl/workbook.xml"));
        QVERIFY(workbookXml.contains("'Bill Details'!$D$1"));
        QVERIFY(workbookXml.contains("'Bill Details'!$H$3"));
        QVERIFY(Kit::part(file, QStringLiteral("docProps/app.xml")).contains("<vt:lpstr>Bill Details</vt:lpstr>"));
        const QJsonObject o = readBack(file);
        QCOMPARE(o.value(QStringLiteral("title")).toString(), QStringLiteral("Bill Details"));
        QCOMPARE(o.value(QStringLiteral("names")).toObject().value(QStringLiteral("BillKey")).toString(),
            QStringLiteral("'Bill Details'!$H$3"));

        // from a quoted name to one with an apostrophe
        Workbook again;
        QVERIFY(again.load(file));
        QVERIFY(again.firstWorksheet().setName(QStringLiteral("Shop's bill")));
        QVERIFY(again.saveAs(file));
        QVERIFY(Kit::part(file, QStringLiteral("xl/workbook.xml")).contains("'Shop''s bill'!$D$1"));
        QCOMPARE(readBack(file).value(QStringLiteral("title")).toString(), QStringLiteral("Shop's bill"));
    }

    void sheetNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("stock") << "Stock Details" << true;
        QTest::newRow("31 characters") << QString(31, QLatin1Char('x')) << true;
        QTest::newRow("32 characters") << QString(32, QLatin1Char('x')) << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("slash") << "a/b" << false;
        QTest::newRow("brackets") << "x[1]" << false;
        QTest::newRow("leading apostrophe") << "'x" << false;
    }

    void sheetNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        Workbook book;
        QString error;
        QCOMPARE(book.firstWorksheet().setName(name, &error), accepted);
        QCOMPARE(book.firstWorksheet().name(), accepted ? name : QStringLiteral("Sheet1"));
        QCOMPARE(error.isEmpty(), accepted);
    }

    void templatePartsSurviveUntouched()
    {
        const QString source = path(QStringLiteral("with-logo.xls"));
        QByteArray logo(3000, '\0');
        for (int i = 0; i < logo.size(); ++i)
            logo[i] = static_cast<char>(i * 7);
        QVERIFY(Kit::rewritePackage(billTemplate(), source,
            { { QStringLiteral("xl/media/logo.png"), logo },
                { QStringLiteral("customXml/item1.xml"), "<shop>own data</shop>" } }));
        Workbook book;
        QVERIFY2(book.load(source), qPrintable(book.errorString()));
        Worksheet& s = book.firstWorksheet();
        s.range(QStringLiteral("D1")).setValue(QStringLiteral("MAIN STORE"));
        s.range(QStringLiteral("A8"), QStringLiteral("B8")).merge().setValue(QStringLiteral("Sugar"));
        const QString file = path(QStringLiteral("kept.xls"));
        QVERIFY(book.saveAs(file));

        const QStringList rewritten { QStringLiteral("[Content_Types].xml"), QStringLiteral("xl/workbook.xml"),
            QStringLiteral("xl/styles.xml"), QStringLiteral("xl/worksheets/sheet1.xml") };
        QCOMPARE(Kit::partNames(file), Kit::partNames(source));
        for (const QString& name : Kit::partNames(source))
            if (!rewritten.contains(name))
                QVERIFY2(Kit::part(file, name) == Kit::part(source, name), qPrintable(name));
        // a template saved is a workbook
        const QByteArray types = Kit::part(file, QStringLiteral("[Content_Types].xml"));
        QVERIFY(types.contains("spreadsheetml.sheet.main+xml"));
        QVERIFY(!types.contains("template.main"));

        Workbook back;
        QVERIFY(back.load(file));
        const Worksheet& b = back.firstWorksheet();
        QCOMPARE(b.text(QStringLiteral("B2")), QStringLiteral("Date"));
        QCOMPARE(b.text(QStringLiteral("H2")), QStringLiteral("Bill No."));
        QCOMPARE(b.columnWidth(1), 13.7109375);
        QCOMPARE(b.rowHeight(7), std::optional<double>(18));
        QCOMPARE(b.format(1, 4).fontSize, 16.0);
        QVERIFY(b.format(1, 4).bold);
        const PageSetup page = b.pageSetup();
        QVERIFY(page.fitToPage && page.centerHorizontally);
        QCOMPARE(page.fitToHeight, 0);
        QCOMPARE(page.leftMargin, 0.5);
    }

    void formulasAndSharedStringsOfOtherWriters()
    {
        const QString source = path(QStringLiteral("foreign.xlsx"));
        QVERIFY(Kit::writePackage(source, foreignPackage()));
        Workbook book;
        QVERIFY2(book.load(source), qPrintable(book.errorString()));
        Worksheet& s = book.firstWorksheet();
        QCOMPARE(s.name(), QStringLiteral("Data"));
        QCOMPARE(s.text(QStringLiteral("A1")), QStringLiteral("  "));
        QCOMPARE(s.text(QStringLiteral("A2")), QStringLiteral("shared"));
        QCOMPARE(s.value(1, 2).number, 2.0);
        QCOMPARE(s.text(QStringLiteral("C1")), QStringLiteral("rich text"));
        QCOMPARE(s.text(QStringLiteral("B2")), QStringLiteral("TRUE"));

        const QString kept = path(QStringLiteral("foreign-kept.xlsx"));
        QVERIFY(book.saveAs(kept));
        const QByteArray xml = Kit::part(kept, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(xml.contains("<f>1+1</f>"));
        QVERIFY(xml.contains("<rPr><b/></rPr>"));
        QVERIFY(!Kit::part(kept, QStringLiteral("xl/calcChain.xml")).isNull());

        // overwriting the formula drops the calculation chain that names it
        s.range(QStringLiteral("B1")).setValue(QStringLiteral("x"));
        const QString changed = path(QStringLiteral("foreign-changed.xlsx"));
        QVERIFY(book.saveAs(changed));
        QVERIFY(Kit::part(changed, QStringLiteral("xl/calcChain.xml")).isNull());
        QVERIFY(!Kit::part(changed, QStringLiteral("xl/_rels/workbook.xml.rels")).contains("calcChain"));
        QVERIFY(!Kit::part(changed, QStringLiteral("[Content_Types].xml")).contains("calcChain"));
        const QJsonObject cells = readBack(changed).value(QStringLiteral("cells")).toObject();
        QCOMPARE(cells.value(QStringLiteral("B1")).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral("x"));
        QCOMPARE(cells.value(QStringLiteral("A2")).toObject().value(QStringLiteral("value")).toString(),
            QStringLiteral("shared"));
    }

    void loadFailures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        QTest::newRow("missing") << "missing.xls" << QByteArray();
        QTest::newRow("not a package") << "text.xls" << QByteArray("DATE,ITEM\n");
        QTest::newRow("empty file") << "empty.xls" << QByteArray("");
    }

    void loadFailures()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString file = path(name);
        if (!content.isNull()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        Workbook book;
        book.firstWorksheet().range(QStringLiteral("A1")).setValue(QStringLiteral("before"));
        QVERIFY(!book.load(file));
        QVERIFY2(book.errorString().contains(file), qPrintable(book.errorString()));
        // what is left is a new, empty workbook
        QCOMPARE(book.firstWorksheet().name(), QStringLiteral("Sheet1"));
        QCOMPARE(book.firstWorksheet().lastRow(), 0);
    }

    void brokenPartsAreRefused()
    {
        const QString noWorkbook = path(QStringLiteral("no-workbook.xls"));
        QVERIFY(Kit::writePackage(noWorkbook, { { QStringLiteral("a.txt"), "a" } }));
        const QString brokenSheet = path(QStringLiteral("broken-sheet.xls"));
        QVERIFY(Kit::rewritePackage(
            billTemplate(), brokenSheet, { { QStringLiteral("xl/worksheets/sheet1.xml"), "<worksheet" } }));
        for (const QString& file : { noWorkbook, brokenSheet }) {
            Workbook book;
            QVERIFY(!book.load(file));
            QVERIFY2(book.errorString().contains(file), qPrintable(book.errorString()));
        }
    }

    void saveReplacesAtomically()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("MAIN STORE57.xls"));
        {
            QFile old(file);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an older bill");
        }
        Workbook book;
        book.firstWorksheet().range(QStringLiteral("A1")).setValue(QStringLiteral("new"));
        QVERIFY(book.saveAs(file));
        Workbook back;
        QVERIFY(back.load(file));
        QCOMPARE(back.firstWorksheet().text(QStringLiteral("A1")), QStringLiteral("new"));
        QCOMPARE(
            QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("MAIN STORE57.xls") });

        const QString nowhere = dir.filePath(QStringLiteral("no-such-folder/bill.xls"));
        QVERIFY(!book.saveAs(nowhere));
        QVERIFY(book.errorString().contains(nowhere));
        QVERIFY(!QFile::exists(nowhere));
    }

    void stockStyleExport()
    {
        Workbook book;
        Worksheet& s = book.firstWorksheet();
        const QStringList heads { QStringLiteral("DATE"), QStringLiteral("ITEM"), QStringLiteral("OPENING STOCK"),
            QStringLiteral("PURCHASE"), QStringLiteral("CLOSING STOCK"), QStringLiteral("BILL") };
        for (int c = 0; c < heads.size(); ++c)
            s.cells(1, c + 1).setValue(heads[c]);
        for (int r = 2; r <= 6; ++r) {
            s.cells(r, 1).setDate(QDate(2011, 8, r - 1)).setNumberFormat(QStringLiteral("dd-mm-yyyy"));
            s.cells(r, 2).setValue(QStringLiteral("SUGAR"));
            s.cells(r, 3).setValue(QString::number(r * 10));
        }
        QVERIFY(s.setName(QStringLiteral("Stock Details")));
        const FontChange navy { QStringLiteral("Arabic Transparent"), 16, false, false, std::nullopt,
            FontChange::fromBgr(8388608) };
        s.setColumnsFont(1, kMaxColumns, navy);
        s.setRowFont(1, navy);
        s.setRowFont(2, navy);
        s.range(QStringLiteral("A2")).setHorizontalAlignment(HAlign::Right);
        s.range(QStringLiteral("B2")).setHorizontalAlignment(HAlign::Left);
        s.autoFitColumns();
        s.cells(8, 10).setValue(QStringLiteral("later")); // a new cell takes its column's font
        const QString file = path(QStringLiteral("stock.xls"));
        QVERIFY(book.saveAs(file));

        Workbook back;
        QVERIFY(back.load(file));
        const Worksheet& b = back.firstWorksheet();
        QCOMPARE(b.text(2, 1), QStringLiteral("01-08-2011"));
        QCOMPARE(b.text(6, 1), QStringLiteral("05-08-2011"));
        for (const auto& [r, c] : { std::pair(1, 1), std::pair(2, 1), std::pair(6, 3), std::pair(8, 10) }) {
            const CellFormat& f = b.format(r, c);
            QCOMPARE(f.fontName, QStringLiteral("Arabic Transparent"));
            QCOMPARE(f.fontSize, 16.0);
            QCOMPARE(f.fontColor, 0xff000080u);
        }
        QCOMPARE(b.format(2, 1).numberFormat, QStringLiteral("dd-mm-yyyy"));
        // fitted to the 16-point texts: wider than the standard column, the long caption widest
        QVERIFY(b.columnWidth(1) > 10 * 16 / 11.0);
        QVERIFY(b.columnWidth(3) > 13 * 16 / 11.0);
        QVERIFY(b.columnWidth(3) > b.columnWidth(2));
        QCOMPARE(b.columnWidth(7), 9.140625); // nothing to fit: the standard width

        const QJsonObject o = readBack(file);
        QCOMPARE(o.value(QStringLiteral("title")).toString(), QStringLiteral("Stock Details"));
        const QJsonObject cells = o.value(QStringLiteral("cells")).toObject();
        const QJsonObject a2 = cells.value(QStringLiteral("A2")).toObject();
        QCOMPARE(a2.value(QStringLiteral("value")).toString(), QStringLiteral("2011-08-01"));
        QCOMPARE(a2.value(QStringLiteral("format")).toString(), QStringLiteral("dd-mm-yyyy"));
        QCOMPARE(a2.value(QStringLiteral("align")).toString(), QStringLiteral("right"));
        QCOMPARE(cells.value(QStringLiteral("B2")).toObject().value(QStringLiteral("align")).toString(),
            QStringLiteral("left"));
        for (const char* cell : { "A1", "F1", "A2", "C6" }) {
            const QJsonObject c = cells.value(QLatin1String(cell)).toObject();
            QCOMPARE(c.value(QStringLiteral("font")).toString(), QStringLiteral("Arabic Transparent"));
            QCOMPARE(c.value(QStringLiteral("size")).toDouble(), 16.0);
            QCOMPARE(c.value(QStringLiteral("color")).toString(), QStringLiteral("FF000080"));
        }
    }

    void numberFormats_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("shown");
        const double aug1 = NumberFormat::dateSerial(QDate(2011, 8, 1));
        QTest::newRow("general fraction") << 10.5 << "General"
                                          << "10.5";
        QTest::newRow("general whole") << 1234567.0 << "General"
                                       << "1234567";
        QTest::newRow("general long fraction") << 2.0 / 3 << "General"
                                               << "0.6666666667";
        QTest::newRow("fixed") << 2.0 << "0.00"
                               << "2.00";
        QTest::newRow("fixed rounds") << 2.675 << "0.0"
                                      << "2.7";
        QTest::newRow("thousands") << -1234.5 << "#,##0.00"
                                   << "-1,234.50";
        QTest::newRow("percent") << 0.25 << "0%"
                                 << "25%";
        QTest::newRow("literal") << 5.0 << "\"Rs.\"0.00"
                                 << "Rs.5.00";
        QTest::newRow("negative section") << -3.0 << "0;(0)"
                                          << "(3)";
        QTest::newRow("date") << aug1 << "dd-mm-yyyy"
                              << "01-08-2011";
        QTest::newRow("month name") << aug1 << "d-mmm-yy"
                                    << "1-Aug-11";
        QTest::newRow("time") << aug1 + 0.5 << "hh:mm:ss"
                              << "12:00:00";
        QTest::newRow("am pm") << aug1 + 0.75 << "h:mm AM/PM"
                               << "6:00 PM";
        QTest::newRow("builtin date") << aug1 << NumberFormat::builtinCode(14) << "08-01-11";
    }

    void numberFormats()
    {
        QFETCH(double, value);
        QFETCH(QString, code);
        QFETCH(QString, shown);
        QCOMPARE(NumberFormat::format(value, code), shown);
    }
};

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
