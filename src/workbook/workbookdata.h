#pragma once

#include "workbook/package.h"
#include "workbook/workbook.h"
#include "workbook/xmltext.h"

#include <QString>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <unordered_map>
#include <vector>

// What a workbook holds while the program works on it, shared by the files of this folder:
//   package.cpp   the zip archive and its parts' relationships
//   workbook.cpp  opening and saving the package: content types, the workbook part, the parts
//                 the program does not change
//   styles.cpp    the style sheet: cell formats, fonts, number formats
//   worksheet.cpp the first worksheet: cells, rows, columns, merged areas, and its XML
// The package is kept as its parts, in their order. The parts the program changes (content
// types, workbook, styles, the first worksheet) are parsed; every other part is saved back byte
// for byte. The worksheet's cells live in rows of plain structures rather than in the XML tree,
// and are written back as one stream, so that a big export costs no tree lookups per cell.

enum class CellType : quint8 { Blank, Number, Shared, Inline, Boolean, Error, FormulaText, IsoDate };

struct XCell {
    int col = 0;
    int style = 0;
    CellType type = CellType::Blank;
    std::string v; // text, number, or shared-string index as written in the file
};

// A cell the program did not write and does not model (a formula, rich text, ...): kept verbatim.
struct RawCell {
    std::string type; // the t attribute
    std::string attrs; // further attributes, ready to write
    std::string inner;
    bool formula = false;
};

struct XRow {
    std::vector<XCell> cells;
    int style = 0;
    bool customFormat = false;
    std::string height; // ht as written
    bool customHeight = false;
    bool hidden = false;
    std::vector<std::pair<std::string, std::string>> other;
};

struct ColSpec {
    int min = 0, max = 0;
    double width = 0;
    bool hasWidth = false;
    int style = 0;
    bool customWidth = false, hidden = false, bestFit = false;
    std::vector<std::pair<std::string, std::string>> other;
};

struct Merge {
    CellRect r;
    bool alive = true;
};

struct SheetData {
    std::string part;
    pugi::xml_document doc;
    std::map<int, XRow> rows;
    std::vector<ColSpec> cols; // sorted, not overlapping
    std::vector<Merge> merges;
    std::unordered_map<quint64, int> mergeAt; // cells of small merged areas
    std::vector<int> bigMerges; // merged areas too large to index by cell
    std::unordered_map<quint64, RawCell> raw;
    bool formulaOverwritten = false;
    double defaultRowHeight = 15;
    double defaultColWidth = 0;
};

struct Styles {
    pugi::xml_node root, numFmts, fonts, fills, borders, cellXfs;
    std::vector<pugi::xml_node> xf, font, fill, border;
    std::map<int, QString> customFormats;
    std::unordered_map<std::string, int> fontByXml;
    std::unordered_map<std::string, int> fontChanges; // base font + change -> font
    std::unordered_map<quint64, int> clones; // style + change -> style
    mutable std::vector<std::unique_ptr<CellFormat>> resolved;
    mutable std::vector<signed char> visible; // style shows a border or fill
};

struct WorkbookData {
    std::vector<Ooxml::Part> parts;
    std::string workbookPart, stylesPart, sharedPart, calcChainPart, appPart;
    pugi::xml_document contentTypes, workbook, styles;
    pugi::xml_node sheetEntry; // <sheet> of the first worksheet in workbook.xml
    std::vector<std::string> shared;
    Styles st;
    SheetData sheet;

    Ooxml::Part* find(const std::string& name)
    {
        for (auto& p : parts)
            if (p.name == name)
                return &p;
        return nullptr;
    }
    void erase(const std::string& name)
    {
        parts.erase(std::remove_if(parts.begin(), parts.end(), [&](const Ooxml::Part& p) { return p.name == name; }),
            parts.end());
    }

    bool open(std::vector<Ooxml::Part>&& p, QString& error);
    bool parseStyles(QString& error);
    bool parseSheet(QString& error);
    void parseShared();
    std::vector<Ooxml::Rel> rels(const std::string& part);

    // the worksheet's XML (worksheet.cpp)
    void prepareSheet(std::string& head, std::string& tail);
    void appendRow(std::string& out, int r, const XRow& row) const;
    // streamed to the package as it is written: a big export never stands in memory as one text
    std::unique_ptr<Ooxml::PartStream> sheetXml();

    // styles (styles.cpp)
    std::string stylesXml() const;
    const CellFormat& format(int style) const;
    bool isVisibleStyle(int style) const;
    int cloneXf(int style, quint64 changeKey, const std::function<void(pugi::xml_node)>& change);
    int withAlignment(int style, HAlign a);
    int withNumberFormat(int style, int numFmtId);
    int withFont(int style, const FontChange& change, const std::string& changeKey);
    int numberFormatId(const QString& code);
    int changedFont(int fontId, const FontChange& change, const std::string& changeKey);

    // cells (worksheet.cpp)
    const XCell* findCell(int row, int col) const;
    XCell& cellFor(int row, int col);
    int defaultStyle(int row, int col) const;
    int columnStyle(int col) const;
    const ColSpec* colSpec(int col) const;
    void applyCols(int first, int last, const std::function<void(ColSpec&)>& f);
    int mergeIdAt(int row, int col) const;
    void addMerge(CellRect r, bool clearCovered = true);
    void writeValue(int row, XCell& c, CellType type, std::string&& v);
    CellValue valueOf(const XCell& c) const;
    QString display(const XCell& c) const;
};

// The style sheet of a new workbook (one font, the two fills every file has, no borders).
std::string standardStylesXml();
// The first worksheet of a new workbook.
std::string emptySheetXml();
// A key that tells font changes apart, for reusing the fonts and styles one change made.
std::string fontChangeKey(const FontChange& f);
