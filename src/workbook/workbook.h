#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <optional>

// Spreadsheet workbooks in the Office Open XML format (what current spreadsheet programs save by
// default), read and written in-process. A workbook is made empty or from a template; the
// program writes cells of its first worksheet and saves it. Everything in a template that the
// program does not write (captions, fonts, borders, widths, page setup, pictures, other parts)
// is saved back unchanged.
//
//     Workbook book;
//     if (!book.load(templatePath)) { ShowMsg(book.errorString(), {}, 1); return; }
//     Worksheet& sheet = book.firstWorksheet();
//     sheet.range("A7", "B7").merge().setHorizontalAlignment(HAlign::Left).setValue("Item");
//     sheet.setName("Bill Details");
//     if (!book.saveAs(path)) ...
//
// Cell names follow the spreadsheet convention: column letters then row number ("B3", "AA12").
// Rows and columns count from 1.

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

struct CellRect {
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;

    bool isValid() const { return top >= 1 && left >= 1 && bottom >= top && right >= left; }
    bool contains(int row, int column) const
    {
        return row >= top && row <= bottom && column >= left && column <= right;
    }
    bool intersects(const CellRect& o) const
    {
        return top <= o.bottom && o.top <= bottom && left <= o.right && o.left <= right;
    }
    bool isSingleCell() const { return top == bottom && left == right; }
    // "A7:B7", or "C7" for one cell.
    QString name() const;
    bool operator==(const CellRect&) const = default;
};

namespace CellNames {
// "A" -> 1, "AA" -> 27; 0 when the text is not a column name.
int columnNumber(QStringView letters);
QString columnName(int column);
// "B3" -> row 3, column 2; false when the text is not a cell name (absolute "$B$3" is accepted).
bool parse(QStringView name, int& row, int& column);
QString name(int row, int column);
} // namespace CellNames

enum class HAlign { General, Left, Center, Right, Fill, Justify, CenterContinuous, Distributed };
enum class VAlign { Bottom, Center, Top, Justify, Distributed };

// Font properties a caller sets; the ones left unset keep the cell's own.
struct FontChange {
    std::optional<QString> name;
    std::optional<double> size;
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<quint32> color; // 0xRRGGBB

    // Colours of the automation interface are numbers with blue in the high byte (8388608 is navy).
    static quint32 fromBgr(quint32 bgr) { return ((bgr & 0xff) << 16) | (bgr & 0xff00) | ((bgr >> 16) & 0xff); }
};

struct BorderLine {
    QString style; // empty for none; "thin", "medium", "thick", "double", "dashed", "dotted", "hair", ...
    quint32 color = 0xff000000; // 0xAARRGGBB
    bool isSet() const { return !style.isEmpty() && style != QLatin1String("none"); }
};

// A cell style as the printout needs it.
struct CellFormat {
    QString fontName;
    double fontSize = 11;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    quint32 fontColor = 0xff000000; // 0xAARRGGBB
    bool filled = false;
    quint32 fillColor = 0xffffffff;
    BorderLine left, right, top, bottom;
    HAlign horizontal = HAlign::General;
    VAlign vertical = VAlign::Bottom;
    bool wrapText = false;
    int indent = 0;
    int numberFormatId = 0;
    QString numberFormat; // the code, "General" for id 0
};

struct CellValue {
    enum class Kind { Empty, Text, Number, Boolean, Error };
    Kind kind = Kind::Empty;
    QString text; // text, error code, or the number as stored
    double number = 0;
    bool isEmpty() const { return kind == Kind::Empty; }
};

struct PageSetup {
    bool landscape = false;
    int paperSize = 9; // 9 is A4, 1 is Letter
    double leftMargin = 0.7, rightMargin = 0.7, topMargin = 0.75, bottomMargin = 0.75; // inches
    int scale = 100; // percent
    bool fitToPage = false;
    int fitToWidth = 1; // pages across, 0 for any number
    int fitToHeight = 1; // pages down, 0 for any number
    bool gridLines = false;
    bool centerHorizontally = false;
};

class Worksheet;
struct WorkbookData;
struct SheetData;

// A rectangle of cells of a worksheet. Operations apply to every cell of the rectangle, except
// that a value written to a merged area lands in its top-left cell only.
class CellRange {
public:
    CellRange(Worksheet* sheet, const CellRect& rect)
        : m_sheet(sheet)
        , m_rect(rect)
    {
    }
    const CellRect& rect() const { return m_rect; }

    // Merges the rectangle into one cell (merged areas it overlaps are taken in); only the
    // top-left value is kept.
    CellRange& merge();
    CellRange& setHorizontalAlignment(HAlign align);
    // A text shows exactly as given (blanks included); it is never read as a number.
    CellRange& setValue(const QString& text);
    CellRange& setNumber(double value);
    // Stored as a date serial number; give the cells a date number format to show it as a date.
    CellRange& setDate(const QDate& date);
    CellRange& setNumberFormat(const QString& code);
    CellRange& setFont(const FontChange& font);

private:
    Worksheet* m_sheet;
    CellRect m_rect;
};

class Worksheet {
public:
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    // --- writing ---------------------------------------------------------------------------
    // A rectangle by its two corner cells ("A7", "B7"); one cell named twice, or once, is that
    // cell. Throws PosError for a text that is not a cell name.
    CellRange range(const QString& first, const QString& last);
    CellRange range(const QString& cell) { return range(cell, cell); }
    CellRange cells(int row, int column) { return cells(row, column, row, column); }
    CellRange cells(int top, int left, int bottom, int right);

    QString name() const;
    // Renames the sheet and every reference to it in the workbook's defined names. False, with
    // the reason in *error, for a name spreadsheet programs refuse (empty, longer than 31
    // characters, or with one of : \ / ? * [ ]).
    bool setName(const QString& name, QString* error = nullptr);

    // Font of whole columns (kMaxColumns for "every column") or of a whole row: the cells there
    // now, and the ones written there later.
    void setColumnsFont(int first, int last, const FontChange& font);
    void setRowFont(int row, const FontChange& font);
    // Width in characters of the standard font's digits, padding included (as files store it).
    void setColumnWidth(int first, int last, double width);
    // Widens or narrows each column between first and last that holds a value so that its
    // longest text fits (cells merged across columns do not count). last 0: the last used column.
    void autoFitColumns(int first = 1, int last = 0);

    // --- reading ---------------------------------------------------------------------------
    CellValue value(int row, int column) const;
    // The value as the sheet shows it: number formats applied to numbers and dates.
    QString text(int row, int column) const;
    QString text(const QString& cellName) const;
    // Style index of a cell (or of its row or column when the cell does not exist).
    int styleIndex(int row, int column) const;
    const CellFormat& format(int styleIndex) const;
    const CellFormat& format(int row, int column) const { return format(styleIndex(row, column)); }
    // The font every width is measured in (the workbook's standard font).
    const CellFormat& standardFormat() const { return format(0); }
    QList<CellRect> mergedAreas() const;
    std::optional<CellRect> mergedAreaAt(int row, int column) const;
    double columnWidth(int column) const; // characters of the standard font
    bool isColumnHidden(int column) const;
    std::optional<double> rowHeight(int row) const; // points, when the row has its own height
    bool isRowHidden(int row) const;
    double defaultRowHeight() const; // points
    // Cells that hold a value or show a border or fill, and merged areas; invalid when none.
    CellRect usedArea() const;
    // The print area the workbook defines for this sheet, if any.
    std::optional<CellRect> printArea() const;
    PageSetup pageSetup() const;
    // Calls f(column, value) for every existing cell of the row, in column order.
    template <typename F> void forEachCell(int row, F f) const
    {
        for (int c = nextCell(row, 0); c > 0; c = nextCell(row, c))
            f(c);
    }
    // Highest row and column that hold a cell (0 when none).
    int lastRow() const;
    int lastColumn() const;

private:
    friend class Workbook;
    friend class CellRange;
    Worksheet(WorkbookData* book, SheetData* sheet);
    int nextCell(int row, int afterColumn) const;
    WorkbookData* d;
    SheetData* s;
};

class Workbook {
public:
    // A new workbook with one empty worksheet "Sheet1".
    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // Replaces this workbook by the one in the file (a template or a saved workbook; the content
    // decides, not the name). On failure the workbook is new and empty and errorString() names
    // the file and the reason. firstWorksheet() stays the same object.
    bool load(const QString& path);
    // Writes the workbook to the file, replacing one of that name atomically (written aside,
    // then renamed). A template's content type becomes a workbook's.
    bool saveAs(const QString& path);
    QString errorString() const;

    Worksheet& firstWorksheet();
    const Worksheet& firstWorksheet() const;

private:
    std::unique_ptr<WorkbookData> d;
    std::unique_ptr<Worksheet> m_sheet;
    QString m_error;
};
