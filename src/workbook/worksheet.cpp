#include "platform/errors.h"
#include "workbook/numberformat.h"
#include "workbook/workbookdata.h"

#include <QDateTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_set>

// The first worksheet (xl/worksheets/sheet1.xml): its rows of cells, its columns and merged
// areas, read from the part and written back to it. Everything else in the part (views, page
// setup, pictures, ...) stays in the XML tree and is written back as it came.

using namespace Ooxml;

namespace {

// Child order of a worksheet (elements must appear in this order).
const std::vector<std::string_view> kSheetOrder = { "sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols",
    "sheetData", "sheetCalcPr", "sheetProtection", "protectedRanges", "scenarios", "autoFilter", "sortState",
    "dataConsolidate", "customSheetViews", "mergeCells", "phoneticPr", "conditionalFormatting", "dataValidations",
    "hyperlinks", "printOptions", "pageMargins", "pageSetup", "headerFooter", "rowBreaks", "colBreaks",
    "customProperties", "cellWatches", "ignoredErrors", "smartTags", "drawing", "legacyDrawing", "legacyDrawingHF",
    "drawingHF", "picture", "oleObjects", "controls", "webPublishItems", "tableParts", "extLst" };
// Where the rows go when the tree is written around them.
const char* const kRowsMark = "pos-rows";

// Rough width of a text in digits of the standard font, for fitting columns.
double textWidth(std::string_view s)
{
    double w = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c >= 0x80) {
            if ((c & 0xc0) != 0x80)
                w += 1.0; // one code point
            continue;
        }
        if (c >= '0' && c <= '9')
            w += 1.0;
        else if (std::strchr("iljI!.,:;'|", c))
            w += 0.45;
        else if (std::strchr("ftr ", c))
            w += 0.6;
        else if (c == 'm' || c == 'w')
            w += 1.45;
        else if (c == 'M' || c == 'W')
            w += 1.6;
        else if (c >= 'A' && c <= 'Z')
            w += 1.15;
        else if (c >= 'a' && c <= 'z')
            w += 0.95;
        else
            w += 0.75;
    }
    return w;
}

// The worksheet's XML: the tree up to its rows, the rows a batch at a time, the rest of the tree.
class SheetRows : public PartStream {
public:
    explicit SheetRows(WorkbookData& d)
        : d(d)
    {
        d.prepareSheet(m_head, m_tail);
    }
    void rewind() override { m_stage = 0; }
    bool next(std::string& out) override
    {
        switch (m_stage) {
        case 0:
            out += m_head;
            m_row = d.sheet.rows.begin();
            m_stage = 1;
            return true;
        case 1:
            while (m_row != d.sheet.rows.end() && out.size() < (1u << 16)) {
                d.appendRow(out, m_row->first, m_row->second);
                ++m_row;
            }
            if (m_row == d.sheet.rows.end())
                m_stage = 2;
            if (!out.empty())
                return true;
            [[fallthrough]];
        case 2:
            out += m_tail;
            m_stage = 3;
            return true;
        default:
            return false;
        }
    }

private:
    WorkbookData& d;
    std::string m_head, m_tail;
    int m_stage = 0;
    std::map<int, XRow>::const_iterator m_row;
};

} // namespace

std::string emptySheetXml()
{
    return std::string(kXmlHead)
        + "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
          "<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
          "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData/>"
          "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
          "<pageSetup paperSize=\"9\" orientation=\"portrait\"/></worksheet>";
}

// ----------------------------------------------------------------------------------------
// names

QString CellRect::name() const
{
    return isValid() ? qs(refText(*this)) : QString();
}

int CellNames::columnNumber(QStringView letters)
{
    if (letters.isEmpty() || letters.size() > 3)
        return 0;
    int n = 0;
    for (const QChar c : letters) {
        char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            u -= 'a' - 'A';
        if (u < 'A' || u > 'Z')
            return 0;
        n = n * 26 + (u - 'A' + 1);
    }
    return n <= kMaxColumns ? n : 0;
}

QString CellNames::columnName(int column)
{
    std::string s;
    appendColumn(s, column);
    return qs(s);
}

bool CellNames::parse(QStringView name, int& row, int& column)
{
    qsizetype i = 0;
    const qsizetype n = name.size();
    if (i < n && name[i] == QLatin1Char('$'))
        ++i;
    const qsizetype start = i;
    while (i < n && name[i].isLetter())
        ++i;
    const int c = columnNumber(name.mid(start, i - start));
    if (i < n && name[i] == QLatin1Char('$'))
        ++i;
    if (c == 0 || i >= n || name[i] == QLatin1Char('0'))
        return false;
    long long r = 0;
    for (; i < n; ++i) {
        if (!name[i].isDigit() || name[i].unicode() > '9')
            return false;
        r = r * 10 + (name[i].unicode() - '0');
        if (r > kMaxRows)
            return false;
    }
    row = static_cast<int>(r);
    column = c;
    return true;
}

QString CellNames::name(int row, int column)
{
    std::string s;
    appendRef(s, row, column);
    return qs(s);
}

// ----------------------------------------------------------------------------------------
// reading

bool WorkbookData::parseSheet(QString& error)
{
    Part* p = find(sheet.part);
    const pugi::xml_parse_result res = sheet.doc.load_buffer(p->data.data(), p->data.size(), kParse);
    pugi::xml_node root = sheet.doc.child("worksheet");
    if (!res || !root) {
        error = QStringLiteral("its first worksheet is unreadable (%1)").arg(QString::fromUtf8(res.description()));
        return false;
    }
    if (pugi::xml_node f = root.child("sheetFormatPr")) {
        sheet.defaultRowHeight = f.attribute("defaultRowHeight").as_double(15);
        if (pugi::xml_attribute w = f.attribute("defaultColWidth"))
            sheet.defaultColWidth = w.as_double();
        else
            sheet.defaultColWidth = f.attribute("baseColWidth").as_double(8) + 1.140625;
    } else {
        sheet.defaultColWidth = 9.140625;
    }

    pugi::xml_node data = ensureChild(root, "sheetData", kSheetOrder);
    int r = 0;
    for (pugi::xml_node row : data.children("row")) {
        r = row.attribute("r") ? row.attribute("r").as_int() : r + 1;
        if (r < 1 || r > kMaxRows)
            continue;
        XRow& xr = sheet.rows[r];
        for (pugi::xml_attribute a : row.attributes()) {
            const std::string_view n = a.name();
            if (n == "r" || n == "spans")
                continue;
            if (n == "s")
                xr.style = a.as_int();
            else if (n == "customFormat")
                xr.customFormat = a.as_bool();
            else if (n == "ht")
                xr.height = a.value();
            else if (n == "customHeight")
                xr.customHeight = a.as_bool();
            else if (n == "hidden")
                xr.hidden = a.as_bool();
            else
                xr.other.emplace_back(n, a.value());
        }
        int c = 0;
        bool sorted = true;
        for (pugi::xml_node cell : row.children("c")) {
            int cr = 0, cc = 0;
            if (pugi::xml_attribute ref = cell.attribute("r"); ref && CellNames::parse(qs(ref.value()), cr, cc))
                c = cc;
            else
                ++c;
            if (!xr.cells.empty() && xr.cells.back().col >= c)
                sorted = false;
            XCell x;
            x.col = c;
            x.style = cell.attribute("s").as_int();
            const std::string_view t = cell.attribute("t").value();
            RawCell keep;
            keep.type = t;
            bool verbatim = false;
            for (pugi::xml_attribute a : cell.attributes()) {
                const std::string_view n = a.name();
                if (n != "r" && n != "s" && n != "t") {
                    verbatim = true;
                    keep.attrs += ' ' + std::string(n) + "=\"";
                    appendEscaped(keep.attrs, a.value());
                    keep.attrs += '"';
                }
            }
            const pugi::xml_node v = cell.child("v");
            const pugi::xml_node is = cell.child("is");
            int children = 0;
            for (pugi::xml_node ch = cell.first_child(); ch; ch = ch.next_sibling())
                ++children;
            if (t == "inlineStr") {
                x.type = CellType::Inline;
                std::string text;
                if (pugi::xml_node tt = is.child("t"))
                    text = tt.text().get();
                for (pugi::xml_node run : is.children("r"))
                    text += run.child("t").text().get();
                x.v = decodeText(text);
                verbatim = verbatim || children != 1 || is.first_child() != is.last_child() || !is.child("t");
            } else {
                if (t == "s")
                    x.type = CellType::Shared;
                else if (t == "b")
                    x.type = CellType::Boolean;
                else if (t == "e")
                    x.type = CellType::Error;
                else if (t == "str")
                    x.type = CellType::FormulaText;
                else if (t == "d")
                    x.type = CellType::IsoDate;
                else
                    x.type = v ? CellType::Number : CellType::Blank;
                x.v = x.type == CellType::FormulaText ? decodeText(v.text().get()) : v.text().get();
                verbatim = verbatim || children > (v ? 1 : 0);
            }
            if (verbatim) {
                keep.formula = static_cast<bool>(cell.child("f"));
                for (pugi::xml_node ch = cell.first_child(); ch; ch = ch.next_sibling())
                    keep.inner += print(ch);
                sheet.raw.emplace(cellKey(r, c), std::move(keep));
            }
            xr.cells.push_back(std::move(x));
        }
        if (!sorted) {
            std::stable_sort(
                xr.cells.begin(), xr.cells.end(), [](const XCell& a, const XCell& b) { return a.col < b.col; });
            // of two cells with one address the later wins
            std::vector<XCell> unique;
            for (auto& x : xr.cells) {
                if (!unique.empty() && unique.back().col == x.col)
                    unique.back() = std::move(x);
                else
                    unique.push_back(std::move(x));
            }
            xr.cells = std::move(unique);
        }
    }
    data.remove_children();
    data.append_child(pugi::node_comment).set_value(kRowsMark);

    if (pugi::xml_node cols = root.child("cols")) {
        for (pugi::xml_node col : cols.children("col")) {
            ColSpec s;
            for (pugi::xml_attribute a : col.attributes()) {
                const std::string_view n = a.name();
                if (n == "min")
                    s.min = a.as_int();
                else if (n == "max")
                    s.max = a.as_int();
                else if (n == "width")
                    s.width = a.as_double(), s.hasWidth = true;
                else if (n == "style")
                    s.style = a.as_int();
                else if (n == "customWidth")
                    s.customWidth = a.as_bool();
                else if (n == "hidden")
                    s.hidden = a.as_bool();
                else if (n == "bestFit")
                    s.bestFit = a.as_bool();
                else
                    s.other.emplace_back(n, a.value());
            }
            s.min = std::clamp(s.min, 1, kMaxColumns);
            s.max = std::clamp(s.max, s.min, kMaxColumns);
            if (!sheet.cols.empty() && sheet.cols.back().max >= s.min)
                continue; // overlapping column ranges: spreadsheet programs refuse them too
            sheet.cols.push_back(std::move(s));
        }
    }
    if (pugi::xml_node merges = root.child("mergeCells")) {
        for (pugi::xml_node m : merges.children("mergeCell")) {
            CellRect rect;
            if (parseRect(m.attribute("ref").value(), rect))
                addMerge(rect, false);
        }
    }
    return true;
}

// ----------------------------------------------------------------------------------------
// cells

const XCell* WorkbookData::findCell(int row, int col) const
{
    const auto r = sheet.rows.find(row);
    if (r == sheet.rows.end())
        return nullptr;
    const auto& cells = r->second.cells;
    const auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const XCell& c, int v) { return c.col < v; });
    return it != cells.end() && it->col == col ? &*it : nullptr;
}

const ColSpec* WorkbookData::colSpec(int col) const
{
    const auto it = std::upper_bound(
        sheet.cols.begin(), sheet.cols.end(), col, [](int v, const ColSpec& s) { return v < s.min; });
    if (it == sheet.cols.begin())
        return nullptr;
    const ColSpec& s = *std::prev(it);
    return col <= s.max ? &s : nullptr;
}

int WorkbookData::columnStyle(int col) const
{
    const ColSpec* s = colSpec(col);
    return s ? s->style : 0;
}

int WorkbookData::defaultStyle(int row, int col) const
{
    const auto r = sheet.rows.find(row);
    if (r != sheet.rows.end() && r->second.customFormat)
        return r->second.style;
    return columnStyle(col);
}

XCell& WorkbookData::cellFor(int row, int col)
{
    // exports append rows at the end and cells at the end of a row: keep that path short
    auto rit
        = !sheet.rows.empty() && sheet.rows.rbegin()->first == row ? std::prev(sheet.rows.end()) : sheet.rows.find(row);
    if (rit == sheet.rows.end()) {
        const size_t width = sheet.rows.empty() ? 0 : sheet.rows.rbegin()->second.cells.size();
        rit = sheet.rows.emplace_hint(sheet.rows.end(), row, XRow());
        rit->second.cells.reserve(width); // rows tend to be as wide as the one before
    }
    XRow& r = rit->second;
    auto& cells = r.cells;
    auto it = cells.empty() || cells.back().col < col
        ? cells.end()
        : std::lower_bound(cells.begin(), cells.end(), col, [](const XCell& c, int v) { return c.col < v; });
    if (it != cells.end() && it->col == col)
        return *it;
    XCell c;
    c.col = col;
    c.style = r.customFormat ? r.style : columnStyle(col);
    return *cells.insert(it, std::move(c));
}

void WorkbookData::writeValue(int row, XCell& c, CellType type, std::string&& v)
{
    if (!sheet.raw.empty()) {
        if (const auto it = sheet.raw.find(cellKey(row, c.col)); it != sheet.raw.end()) {
            sheet.formulaOverwritten = sheet.formulaOverwritten || it->second.formula;
            sheet.raw.erase(it);
        }
    }
    c.type = type;
    c.v = std::move(v);
}

void WorkbookData::applyCols(int first, int last, const std::function<void(ColSpec&)>& f)
{
    std::vector<ColSpec> out;
    out.reserve(sheet.cols.size() + 3);
    int next = first; // first column of [first, last] not yet covered
    const auto gap = [&](int upTo) {
        if (next > upTo)
            return;
        ColSpec s;
        s.min = next;
        s.max = upTo;
        s.width = sheet.defaultColWidth;
        s.hasWidth = true;
        f(s);
        out.push_back(std::move(s));
        next = upTo + 1;
    };
    for (ColSpec& s : sheet.cols) {
        if (s.max < first || s.min > last) {
            if (s.min > last)
                gap(last);
            out.push_back(std::move(s));
            continue;
        }
        gap(s.min - 1);
        if (s.min < first) {
            ColSpec head = s;
            head.max = first - 1;
            out.push_back(std::move(head));
        }
        ColSpec mid = s;
        mid.min = std::max(s.min, first);
        mid.max = std::min(s.max, last);
        f(mid);
        next = mid.max + 1;
        out.push_back(std::move(mid));
        if (s.max > last) {
            ColSpec tail = std::move(s);
            tail.min = last + 1;
            out.push_back(std::move(tail));
        }
    }
    gap(last);
    std::sort(out.begin(), out.end(), [](const ColSpec& a, const ColSpec& b) { return a.min < b.min; });
    sheet.cols = std::move(out);
}

int WorkbookData::mergeIdAt(int row, int col) const
{
    if (const auto it = sheet.mergeAt.find(cellKey(row, col)); it != sheet.mergeAt.end())
        return it->second;
    for (int id : sheet.bigMerges)
        if (sheet.merges[static_cast<size_t>(id)].alive && sheet.merges[static_cast<size_t>(id)].r.contains(row, col))
            return id;
    return -1;
}

void WorkbookData::addMerge(CellRect r, bool clearCovered)
{
    const auto area
        = [](const CellRect& x) { return static_cast<qint64>(x.bottom - x.top + 1) * (x.right - x.left + 1); };
    constexpr qint64 kIndexed = 4096;
    // take in every merged area the rectangle touches, until none is left outside it
    std::vector<int> taken;
    for (bool grew = true; grew;) {
        grew = false;
        std::unordered_set<int> hit;
        if (area(r) <= kIndexed) {
            for (int row = r.top; row <= r.bottom; ++row)
                for (int col = r.left; col <= r.right; ++col)
                    if (const int id = mergeIdAt(row, col); id >= 0)
                        hit.insert(id);
        } else {
            for (size_t i = 0; i < sheet.merges.size(); ++i)
                if (sheet.merges[i].alive && sheet.merges[i].r.intersects(r))
                    hit.insert(static_cast<int>(i));
        }
        for (int id : hit) {
            if (std::find(taken.begin(), taken.end(), id) != taken.end())
                continue;
            taken.push_back(id);
            const CellRect& m = sheet.merges[static_cast<size_t>(id)].r;
            const CellRect u { std::min(r.top, m.top), std::min(r.left, m.left), std::max(r.bottom, m.bottom),
                std::max(r.right, m.right) };
            if (!(u == r)) {
                r = u;
                grew = true;
            }
        }
    }
    if (taken.size() == 1 && sheet.merges[static_cast<size_t>(taken[0])].r == r)
        return; // merged already
    for (int id : taken) {
        Merge& m = sheet.merges[static_cast<size_t>(id)];
        m.alive = false;
        if (area(m.r) <= kIndexed) {
            for (int row = m.r.top; row <= m.r.bottom; ++row)
                for (int col = m.r.left; col <= m.r.right; ++col)
                    sheet.mergeAt.erase(cellKey(row, col));
        } else {
            sheet.bigMerges.erase(
                std::remove(sheet.bigMerges.begin(), sheet.bigMerges.end(), id), sheet.bigMerges.end());
        }
    }
    if (r.isSingleCell())
        return;
    const int id = static_cast<int>(sheet.merges.size());
    sheet.merges.push_back({ r, true });
    if (area(r) <= kIndexed) {
        for (int row = r.top; row <= r.bottom; ++row)
            for (int col = r.left; col <= r.right; ++col)
                sheet.mergeAt[cellKey(row, col)] = id;
    } else {
        sheet.bigMerges.push_back(id);
    }
    if (!clearCovered)
        return;
    // a merged area keeps the value of its top-left cell only
    for (auto it = sheet.rows.lower_bound(r.top); it != sheet.rows.end() && it->first <= r.bottom; ++it) {
        for (XCell& c : it->second.cells) {
            if (c.col < r.left || c.col > r.right || (it->first == r.top && c.col == r.left))
                continue;
            if (c.type != CellType::Blank) {
                if (sheet.raw.erase(cellKey(it->first, c.col)))
                    sheet.formulaOverwritten = true;
                c.type = CellType::Blank;
                c.v.clear();
            }
        }
    }
}

CellValue WorkbookData::valueOf(const XCell& c) const
{
    CellValue v;
    switch (c.type) {
    case CellType::Blank:
        break;
    case CellType::Number: {
        v.kind = CellValue::Kind::Number;
        v.text = qs(c.v);
        std::from_chars(c.v.data(), c.v.data() + c.v.size(), v.number);
        break;
    }
    case CellType::IsoDate: {
        v.kind = CellValue::Kind::Number;
        QDateTime dt = QDateTime::fromString(qs(c.v), Qt::ISODateWithMs);
        if (!dt.isValid())
            dt = QDateTime(QDate::fromString(qs(c.v), Qt::ISODate), QTime(0, 0));
        v.number = NumberFormat::dateSerial(dt.date()) + dt.time().msecsSinceStartOfDay() / 86400000.0;
        v.text = NumberFormat::general(v.number);
        break;
    }
    case CellType::Shared: {
        v.kind = CellValue::Kind::Text;
        const int i = std::atoi(c.v.c_str());
        if (i >= 0 && i < static_cast<int>(shared.size()))
            v.text = qs(shared[static_cast<size_t>(i)]);
        break;
    }
    case CellType::Inline:
    case CellType::FormulaText:
        v.kind = CellValue::Kind::Text;
        v.text = qs(c.v);
        break;
    case CellType::Boolean:
        v.kind = CellValue::Kind::Boolean;
        v.text = c.v == "1" || c.v == "true" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        v.number = v.text == QLatin1String("TRUE");
        break;
    case CellType::Error:
        v.kind = CellValue::Kind::Error;
        v.text = qs(c.v);
        break;
    }
    if (v.kind == CellValue::Kind::Text && v.text.isNull())
        v.text = QStringLiteral("");
    return v;
}

QString WorkbookData::display(const XCell& c) const
{
    const CellValue v = valueOf(c);
    if (v.kind == CellValue::Kind::Number)
        return NumberFormat::format(v.number, format(c.style).numberFormat);
    return v.text;
}

// ----------------------------------------------------------------------------------------
// saving

void WorkbookData::prepareSheet(std::string& head, std::string& tail)
{
    pugi::xml_node root = sheet.doc.child("worksheet");
    // dimension: every cell there is
    CellRect used;
    for (const auto& [r, row] : sheet.rows) {
        if (row.cells.empty())
            continue;
        if (!used.isValid()) {
            used = { r, row.cells.front().col, r, row.cells.back().col };
        } else {
            used.bottom = r;
            used.left = std::min(used.left, row.cells.front().col);
            used.right = std::max(used.right, row.cells.back().col);
        }
    }
    pugi::xml_node dim = ensureChild(root, "dimension", kSheetOrder);
    dim.remove_attributes();
    dim.append_attribute("ref") = used.isValid() ? refText(used).c_str() : "A1";

    root.remove_child("cols");
    if (!sheet.cols.empty()) {
        pugi::xml_node cols = ensureChild(root, "cols", kSheetOrder);
        for (const ColSpec& s : sheet.cols) {
            pugi::xml_node col = cols.append_child("col");
            col.append_attribute("min") = s.min;
            col.append_attribute("max") = s.max;
            if (s.hasWidth)
                col.append_attribute("width") = numberText(s.width).c_str();
            if (s.style)
                col.append_attribute("style") = s.style;
            if (s.hidden)
                col.append_attribute("hidden") = 1;
            if (s.bestFit)
                col.append_attribute("bestFit") = 1;
            if (s.customWidth)
                col.append_attribute("customWidth") = 1;
            for (const auto& [n, v] : s.other)
                col.append_attribute(n.c_str()) = v.c_str();
        }
    }
    root.remove_child("mergeCells");
    std::vector<CellRect> merges;
    for (const Merge& m : sheet.merges)
        if (m.alive)
            merges.push_back(m.r);
    if (!merges.empty()) {
        pugi::xml_node mc = ensureChild(root, "mergeCells", kSheetOrder);
        mc.append_attribute("count") = static_cast<unsigned long long>(merges.size());
        for (const CellRect& r : merges)
            mc.append_child("mergeCell").append_attribute("ref") = refText(r).c_str();
    }

    const std::string xml = printDocument(sheet.doc);
    const std::string mark = std::string("<!--") + kRowsMark + "-->";
    const size_t at = xml.find(mark, xml.find("<sheetData"));
    head = xml.substr(0, at);
    tail = xml.substr(at + mark.size());
}

void WorkbookData::appendRow(std::string& out, int r, const XRow& row) const
{
    const bool attrs = row.customFormat || !row.height.empty() || row.hidden || !row.other.empty();
    if (row.cells.empty() && !attrs)
        return;
    out += "<row r=\"";
    appendInt(out, r);
    out += '"';
    if (row.customFormat) {
        out += " s=\"";
        appendInt(out, row.style);
        out += "\" customFormat=\"1\"";
    }
    if (!row.height.empty()) {
        out += " ht=\"";
        appendEscaped(out, row.height);
        out += '"';
        if (row.customHeight)
            out += " customHeight=\"1\"";
    }
    if (row.hidden)
        out += " hidden=\"1\"";
    for (const auto& [n, v] : row.other) {
        out += ' ';
        out += n;
        out += "=\"";
        appendEscaped(out, v);
        out += '"';
    }
    if (row.cells.empty()) {
        out += "/>";
        return;
    }
    out += '>';
    for (const XCell& c : row.cells) {
        out += "<c r=\"";
        appendRef(out, r, c.col);
        out += '"';
        if (c.style) {
            out += " s=\"";
            appendInt(out, c.style);
            out += '"';
        }
        if (!sheet.raw.empty()) {
            if (const auto it = sheet.raw.find(cellKey(r, c.col)); it != sheet.raw.end()) {
                if (!it->second.type.empty()) {
                    out += " t=\"";
                    out += it->second.type;
                    out += '"';
                }
                out += it->second.attrs;
                out += '>';
                out += it->second.inner;
                out += "</c>";
                continue;
            }
        }
        switch (c.type) {
        case CellType::Blank:
            out += "/>";
            break;
        case CellType::Inline:
            out += " t=\"inlineStr\"><is><t xml:space=\"preserve\">";
            appendEscaped(out, c.v);
            out += "</t></is></c>";
            break;
        case CellType::Number:
            out += "><v>";
            out += c.v;
            out += "</v></c>";
            break;
        default: {
            const char* t = c.type == CellType::Shared ? "s"
                : c.type == CellType::Boolean          ? "b"
                : c.type == CellType::Error            ? "e"
                : c.type == CellType::IsoDate          ? "d"
                                                       : "str";
            out += " t=\"";
            out += t;
            out += "\"><v>";
            appendEscaped(out, c.v);
            out += "</v></c>";
        }
        }
    }
    out += "</row>";
}

std::unique_ptr<PartStream> WorkbookData::sheetXml()
{
    return std::make_unique<SheetRows>(*this);
}

// ----------------------------------------------------------------------------------------
// CellRange

namespace {

template <typename F> void eachCell(WorkbookData* d, const CellRect& r, F f)
{
    for (int row = r.top; row <= r.bottom; ++row)
        for (int col = r.left; col <= r.right; ++col)
            f(d->cellFor(row, col));
}

} // namespace

CellRange& CellRange::merge()
{
    m_sheet->d->addMerge(m_rect);
    return *this;
}

CellRange& CellRange::setHorizontalAlignment(HAlign align)
{
    WorkbookData* d = m_sheet->d;
    eachCell(d, m_rect, [&](XCell& c) { c.style = d->withAlignment(c.style, align); });
    return *this;
}

namespace {

// Writes one value to every cell of the rectangle; in a merged area only its top-left cell.
void writeAll(WorkbookData* d, const CellRect& rect, CellType type, std::string&& v)
{
    if (rect.isSingleCell() && d->sheet.merges.empty()) {
        d->writeValue(rect.top, d->cellFor(rect.top, rect.left), type, std::move(v));
        return;
    }
    for (int row = rect.top; row <= rect.bottom; ++row) {
        for (int col = rect.left; col <= rect.right; ++col) {
            if (const int id = d->mergeIdAt(row, col); id >= 0) {
                const CellRect& m = d->sheet.merges[static_cast<size_t>(id)].r;
                if (m.top != row || m.left != col)
                    continue;
            }
            d->writeValue(row, d->cellFor(row, col), type, std::string(v));
        }
    }
}

} // namespace

CellRange& CellRange::setValue(const QString& text)
{
    writeAll(m_sheet->d, m_rect, CellType::Inline, u8(text));
    return *this;
}

CellRange& CellRange::setNumber(double value)
{
    if (!std::isfinite(value))
        return setValue(QStringLiteral("#NUM!"));
    writeAll(m_sheet->d, m_rect, CellType::Number, numberText(value));
    return *this;
}

CellRange& CellRange::setDate(const QDate& date)
{
    return setNumber(NumberFormat::dateSerial(date));
}

CellRange& CellRange::setNumberFormat(const QString& code)
{
    WorkbookData* d = m_sheet->d;
    const int id = d->numberFormatId(code);
    eachCell(d, m_rect, [&](XCell& c) { c.style = d->withNumberFormat(c.style, id); });
    return *this;
}

CellRange& CellRange::setFont(const FontChange& font)
{
    WorkbookData* d = m_sheet->d;
    const std::string key = fontChangeKey(font);
    eachCell(d, m_rect, [&](XCell& c) { c.style = d->withFont(c.style, font, key); });
    return *this;
}

// ----------------------------------------------------------------------------------------
// Worksheet

Worksheet::Worksheet(WorkbookData* book, SheetData* sheet)
    : d(book)
    , s(sheet)
{
}

CellRange Worksheet::range(const QString& first, const QString& last)
{
    CellRect r;
    if (!CellNames::parse(first, r.top, r.left) || !CellNames::parse(last, r.bottom, r.right))
        throw PosError(QStringLiteral("\"%1\" and \"%2\" do not name cells of a worksheet").arg(first, last));
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    if (r.left > r.right)
        std::swap(r.left, r.right);
    return CellRange(this, r);
}

CellRange Worksheet::cells(int top, int left, int bottom, int right)
{
    const CellRect r { std::min(top, bottom), std::min(left, right), std::max(top, bottom), std::max(left, right) };
    if (r.top < 1 || r.left < 1 || r.bottom > kMaxRows || r.right > kMaxColumns)
        throw PosError(QStringLiteral("row %1, column %2 is outside a worksheet").arg(bottom).arg(right));
    return CellRange(this, r);
}

QString Worksheet::name() const
{
    return QString::fromUtf8(d->sheetEntry.attribute("name").value());
}

namespace {

QString quotedSheet(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

bool identChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('\\');
}

// Rewrites the references to sheet `from` in a formula so that they name `to`, quoted.
QString renameInFormula(const QString& f, const QString& from, const QString& to)
{
    QString out;
    for (int i = 0; i < f.size();) {
        const QChar c = f.at(i);
        if (c == QLatin1Char('"')) { // a text literal
            int j = i + 1;
            while (j < f.size()
                && !(f.at(j) == QLatin1Char('"') && (j + 1 >= f.size() || f.at(j + 1) != QLatin1Char('"'))))
                j += f.at(j) == QLatin1Char('"') ? 2 : 1;
            out += f.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            QString name;
            int j = i + 1;
            for (; j < f.size(); ++j) {
                if (f.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < f.size() && f.at(j + 1) == QLatin1Char('\'')) {
                        name += QLatin1Char('\'');
                        ++j;
                        continue;
                    }
                    break;
                }
                name += f.at(j);
            }
            if (j + 1 < f.size() && f.at(j + 1) == QLatin1Char('!') && name.compare(from, Qt::CaseInsensitive) == 0)
                out += quotedSheet(to);
            else
                out += f.mid(i, j + 1 - i);
            i = j + 1;
            continue;
        }
        if (identChar(c) && (i == 0 || !identChar(f.at(i - 1)))) {
            int j = i;
            while (j < f.size() && identChar(f.at(j)))
                ++j;
            const QString word = f.mid(i, j - i);
            if (j < f.size() && f.at(j) == QLatin1Char('!') && word.compare(from, Qt::CaseInsensitive) == 0)
                out += quotedSheet(to);
            else
                out += word;
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

} // namespace

bool Worksheet::setName(const QString& name, QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    static const QString forbidden = QStringLiteral(":\\/?*[]");
    if (name.isEmpty() || name.size() > 31)
        return fail(QStringLiteral("A sheet name has 1 to 31 characters: \"%1\"").arg(name));
    for (const QChar c : name)
        if (forbidden.contains(c))
            return fail(QStringLiteral("A sheet name cannot contain %1: \"%2\"").arg(c).arg(name));
    if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
        return fail(QStringLiteral("A sheet name cannot begin or end with an apostrophe: \"%1\"").arg(name));
    for (pugi::xml_node other = d->sheetEntry.next_sibling("sheet"); other; other = other.next_sibling("sheet"))
        if (QString::fromUtf8(other.attribute("name").value()).compare(name, Qt::CaseInsensitive) == 0)
            return fail(QStringLiteral("The workbook has a sheet named \"%1\" already").arg(name));

    const QString old = this->name();
    if (old == name)
        return true;
    d->sheetEntry.attribute("name").set_value(u8(name).c_str());
    for (pugi::xml_node n : d->workbook.child("workbook").child("definedNames").children("definedName")) {
        const QString f = QString::fromUtf8(n.text().get());
        const QString renamed = renameInFormula(f, old, name);
        if (renamed != f)
            n.text().set(u8(renamed).c_str());
    }
    // the document properties list the sheet names too
    if (Part* app = d->appPart.empty() ? nullptr : d->find(d->appPart)) {
        pugi::xml_document doc;
        if (doc.load_buffer(app->data.data(), app->data.size(), kParse)) {
            bool changed = false;
            for (pugi::xml_node v : doc.child("Properties").child("TitlesOfParts").first_child().children()) {
                if (QString::fromUtf8(v.text().get()) == old) {
                    v.text().set(u8(name).c_str());
                    changed = true;
                }
            }
            if (changed)
                app->data = printDocument(doc);
        }
    }
    return true;
}

void Worksheet::setColumnsFont(int first, int last, const FontChange& font)
{
    first = std::clamp(first, 1, kMaxColumns);
    last = std::clamp(last, first, kMaxColumns);
    const std::string key = fontChangeKey(font);
    d->applyCols(first, last, [&](ColSpec& c) { c.style = d->withFont(c.style, font, key); });
    std::vector<int> memo;
    for (auto& [r, row] : s->rows) {
        for (XCell& c : row.cells) {
            if (c.col < first || c.col > last)
                continue;
            if (c.style >= static_cast<int>(memo.size()))
                memo.resize(static_cast<size_t>(c.style) + 1, -1);
            int& m = memo[static_cast<size_t>(c.style)];
            if (m < 0)
                m = d->withFont(c.style, font, key);
            c.style = m;
        }
    }
}

void Worksheet::setRowFont(int row, const FontChange& font)
{
    if (row < 1 || row > kMaxRows)
        return;
    const std::string key = fontChangeKey(font);
    XRow& r = s->rows[row];
    r.style = d->withFont(r.customFormat ? r.style : 0, font, key);
    r.customFormat = true;
    for (XCell& c : r.cells)
        c.style = d->withFont(c.style, font, key);
}

void Worksheet::setColumnWidth(int first, int last, double width)
{
    first = std::clamp(first, 1, kMaxColumns);
    last = std::clamp(last, first, kMaxColumns);
    width = std::clamp(width, 0.0, 255.0);
    d->applyCols(first, last, [&](ColSpec& c) {
        c.width = width;
        c.hasWidth = true;
        c.customWidth = true;
    });
}

void Worksheet::autoFitColumns(int first, int last)
{
    if (last <= 0)
        last = lastColumn();
    first = std::max(first, 1);
    if (last < first)
        return;
    const double standard = std::max(1.0, format(0).fontSize);
    std::vector<double> widest(static_cast<size_t>(last - first + 1), 0.0);
    std::unordered_map<int, double> scale; // by style: font size and weight against the standard font
    std::unordered_map<int, double> dateWidth; // dates of one format are all about as wide
    for (const auto& [r, row] : s->rows) {
        for (const XCell& c : row.cells) {
            if (c.col < first || c.col > last || c.type == CellType::Blank)
                continue;
            if (!s->merges.empty()) {
                if (const int id = d->mergeIdAt(r, c.col);
                    id >= 0 && s->merges[static_cast<size_t>(id)].r.left != s->merges[static_cast<size_t>(id)].r.right)
                    continue;
            }
            auto sc = scale.find(c.style);
            if (sc == scale.end()) {
                const CellFormat& f = format(c.style);
                sc = scale.emplace(c.style, f.fontSize / standard * (f.bold ? 1.08 : 1.0)).first;
            }
            double w;
            if (c.type == CellType::Number) {
                auto dw = dateWidth.find(c.style);
                if (dw != dateWidth.end()) {
                    w = dw->second;
                } else {
                    const QString shown = d->display(c);
                    w = textWidth(u8(shown));
                    if (NumberFormat::isDateTime(format(c.style).numberFormat))
                        dateWidth.emplace(c.style, w);
                }
            } else if (c.type == CellType::Inline || c.type == CellType::FormulaText) {
                w = textWidth(c.v);
            } else {
                w = textWidth(u8(d->display(c)));
            }
            double& best = widest[static_cast<size_t>(c.col - first)];
            best = std::max(best, w * sc->second);
        }
    }
    for (int col = first; col <= last; ++col) {
        const double w = widest[static_cast<size_t>(col - first)];
        if (w <= 0)
            continue;
        // padding of the cell, rounded up to the 1/256 steps files store
        const double width = std::ceil((w + 0.75) * 256.0) / 256.0;
        d->applyCols(col, col, [&](ColSpec& c) {
            c.width = std::min(width, 255.0);
            c.hasWidth = true;
            c.customWidth = true;
            c.bestFit = true;
        });
    }
}

CellValue Worksheet::value(int row, int column) const
{
    const XCell* c = d->findCell(row, column);
    return c ? d->valueOf(*c) : CellValue();
}

QString Worksheet::text(int row, int column) const
{
    const XCell* c = d->findCell(row, column);
    return c ? d->display(*c) : QString();
}

QString Worksheet::text(const QString& cellName) const
{
    int row = 0, col = 0;
    return CellNames::parse(cellName, row, col) ? text(row, col) : QString();
}

int Worksheet::styleIndex(int row, int column) const
{
    const XCell* c = d->findCell(row, column);
    return c ? c->style : d->defaultStyle(row, column);
}

const CellFormat& Worksheet::format(int styleIndex) const
{
    return d->format(styleIndex);
}

QList<CellRect> Worksheet::mergedAreas() const
{
    QList<CellRect> out;
    for (const Merge& m : s->merges)
        if (m.alive)
            out.append(m.r);
    return out;
}

std::optional<CellRect> Worksheet::mergedAreaAt(int row, int column) const
{
    const int id = d->mergeIdAt(row, column);
    if (id < 0)
        return std::nullopt;
    return s->merges[static_cast<size_t>(id)].r;
}

double Worksheet::columnWidth(int column) const
{
    const ColSpec* c = d->colSpec(column);
    return c && c->hasWidth ? c->width : s->defaultColWidth;
}

bool Worksheet::isColumnHidden(int column) const
{
    const ColSpec* c = d->colSpec(column);
    return c && (c->hidden || (c->hasWidth && c->width <= 0));
}

std::optional<double> Worksheet::rowHeight(int row) const
{
    const auto it = s->rows.find(row);
    if (it == s->rows.end() || it->second.height.empty())
        return std::nullopt;
    return QString::fromStdString(it->second.height).toDouble();
}

bool Worksheet::isRowHidden(int row) const
{
    const auto it = s->rows.find(row);
    return it != s->rows.end() && it->second.hidden;
}

double Worksheet::defaultRowHeight() const
{
    return s->defaultRowHeight;
}

CellRect Worksheet::usedArea() const
{
    CellRect used;
    const auto take = [&](const CellRect& r) {
        if (!used.isValid())
            used = r;
        else
            used = { std::min(used.top, r.top), std::min(used.left, r.left), std::max(used.bottom, r.bottom),
                std::max(used.right, r.right) };
    };
    for (const auto& [r, row] : s->rows)
        for (const XCell& c : row.cells)
            if ((c.type != CellType::Blank && !(c.type == CellType::Inline && c.v.empty()))
                || d->isVisibleStyle(c.style))
                take({ r, c.col, r, c.col });
    for (const Merge& m : s->merges)
        if (m.alive)
            take(m.r);
    return used;
}

std::optional<CellRect> Worksheet::printArea() const
{
    int index = 0;
    for (pugi::xml_node n = d->sheetEntry.previous_sibling("sheet"); n; n = n.previous_sibling("sheet"))
        ++index;
    for (pugi::xml_node n : d->workbook.child("workbook").child("definedNames").children("definedName")) {
        if (std::string_view(n.attribute("name").value()) != "_xlnm.Print_Area"
            || n.attribute("localSheetId").as_int(-1) != index)
            continue;
        QString f = QString::fromUtf8(n.text().get());
        f = f.section(QLatin1Char(','), 0, 0);
        f = f.mid(f.lastIndexOf(QLatin1Char('!')) + 1).remove(QLatin1Char('$'));
        CellRect r;
        if (parseRect(u8(f), r))
            return r;
    }
    return std::nullopt;
}

PageSetup Worksheet::pageSetup() const
{
    PageSetup p;
    const pugi::xml_node root = s->doc.child("worksheet");
    const pugi::xml_node ps = root.child("pageSetup");
    p.landscape = std::string_view(ps.attribute("orientation").value()) == "landscape";
    p.paperSize = ps.attribute("paperSize").as_int(9);
    p.scale = std::clamp(ps.attribute("scale").as_int(100), 10, 400);
    p.fitToWidth = ps.attribute("fitToWidth").as_int(1);
    p.fitToHeight = ps.attribute("fitToHeight").as_int(1);
    p.fitToPage = root.child("sheetPr").child("pageSetUpPr").attribute("fitToPage").as_bool();
    const pugi::xml_node m = root.child("pageMargins");
    p.leftMargin = m.attribute("left").as_double(0.7);
    p.rightMargin = m.attribute("right").as_double(0.7);
    p.topMargin = m.attribute("top").as_double(0.75);
    p.bottomMargin = m.attribute("bottom").as_double(0.75);
    const pugi::xml_node po = root.child("printOptions");
    p.gridLines = po.attribute("gridLines").as_bool();
    p.centerHorizontally = po.attribute("horizontalCentered").as_bool();
    return p;
}

int Worksheet::lastRow() const
{
    for (auto it = s->rows.rbegin(); it != s->rows.rend(); ++it)
        if (!it->second.cells.empty())
            return it->first;
    return 0;
}

int Worksheet::lastColumn() const
{
    int last = 0;
    for (const auto& [r, row] : s->rows)
        if (!row.cells.empty())
            last = std::max(last, row.cells.back().col);
    return last;
}

int Worksheet::nextCell(int row, int afterColumn) const
{
    const auto r = s->rows.find(row);
    if (r == s->rows.end())
        return 0;
    const auto& cells = r->second.cells;
    const auto it
        = std::upper_bound(cells.begin(), cells.end(), afterColumn, [](int v, const XCell& c) { return v < c.col; });
    return it == cells.end() ? 0 : it->col;
}
