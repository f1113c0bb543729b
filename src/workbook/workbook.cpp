#include "workbook/workbook.h"

#include "platform/errors.h"
#include "workbook/numberformat.h"
#include "workbook/workbookfiles.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include <zip.h>

// The package is kept as its parts, in their order. The parts the program changes (content
// types, workbook, styles, the first worksheet) are parsed; every other part is saved back byte
// for byte. The worksheet's cells live in rows of plain structures rather than in the XML tree,
// and are written back as one stream, so that a big export costs no tree lookups per cell.

namespace {

const char* const kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const unsigned kParse = pugi::parse_default | pugi::parse_ws_pcdata_single;
const char* const kRowsMark = "pos-rows";

const char* const kSheetMain = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char* const kTemplateMain = "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml";
const char* const kMacroSheetMain = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
const char* const kMacroTemplateMain = "application/vnd.ms-excel.template.macroEnabled.main+xml";

// Child order of a worksheet and of a style sheet (elements must appear in this order).
const std::vector<std::string_view> kSheetOrder = { "sheetPr", "dimension", "sheetViews", "sheetFormatPr", "cols",
    "sheetData", "sheetCalcPr", "sheetProtection", "protectedRanges", "scenarios", "autoFilter", "sortState",
    "dataConsolidate", "customSheetViews", "mergeCells", "phoneticPr", "conditionalFormatting", "dataValidations",
    "hyperlinks", "printOptions", "pageMargins", "pageSetup", "headerFooter", "rowBreaks", "colBreaks",
    "customProperties", "cellWatches", "ignoredErrors", "smartTags", "drawing", "legacyDrawing", "legacyDrawingHF",
    "drawingHF", "picture", "oleObjects", "controls", "webPublishItems", "tableParts", "extLst" };
const std::vector<std::string_view> kStyleOrder = { "numFmts", "fonts", "fills", "borders", "cellStyleXfs", "cellXfs",
    "cellStyles", "dxfs", "tableStyles", "colors", "extLst" };
const std::vector<std::string_view> kFontOrder = { "b", "i", "strike", "condense", "extend", "outline", "shadow", "u",
    "vertAlign", "sz", "color", "name", "family", "charset", "scheme" };
const std::vector<std::string_view> kXfOrder = { "alignment", "protection", "extLst" };

std::string u8(const QString& s)
{
    return s.toStdString();
}

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

bool endsWith(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// Inserts a child named `name` at its place in `order`, or returns the one there.
pugi::xml_node ensureChild(pugi::xml_node parent, const char* name, const std::vector<std::string_view>& order)
{
    if (pugi::xml_node n = parent.child(name))
        return n;
    const auto pos = std::find(order.begin(), order.end(), std::string_view(name));
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element)
            continue;
        const auto cpos = std::find(order.begin(), order.end(), std::string_view(c.name()));
        if (cpos != order.end() && cpos > pos)
            return parent.insert_child_before(name, c);
    }
    return parent.append_child(name);
}

void setCount(pugi::xml_node list, size_t n)
{
    if (pugi::xml_attribute a = list.attribute("count"))
        a.set_value(static_cast<unsigned long long>(n));
    else
        list.append_attribute("count") = static_cast<unsigned long long>(n);
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
};

std::string print(const pugi::xml_node& node)
{
    StringWriter w;
    node.print(w, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return w.out;
}

std::string printDocument(const pugi::xml_document& doc)
{
    StringWriter w;
    w.out = kXmlHead;
    doc.save(w, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return w.out;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool escapeAt(std::string_view s, size_t i)
{
    return i + 6 < s.size() && s[i] == '_' && s[i + 1] == 'x' && isHex(s[i + 2]) && isHex(s[i + 3]) && isHex(s[i + 4])
        && isHex(s[i + 5]) && s[i + 6] == '_';
}

void appendUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xc0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        out += static_cast<char>(0xe0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (cp & 0x3f));
    }
}

// Cell texts carry characters XML cannot hold as _xHHHH_.
std::string decodeText(std::string_view s)
{
    if (s.find("_x") == std::string_view::npos)
        return std::string(s);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (escapeAt(s, i)) {
            appendUtf8(out, static_cast<unsigned>(std::stoul(std::string(s.substr(i + 2, 4)), nullptr, 16)));
            i += 6;
        } else {
            out += s[i];
        }
    }
    return out;
}

void appendEscaped(std::string& out, std::string_view s)
{
    static const char hex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '_':
            out += escapeAt(s, i) ? "_x005F_" : "_";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') {
                out += "_x00";
                out += hex[(c >> 4) & 0xf];
                out += hex[c & 0xf];
                out += '_';
            } else {
                out += c;
            }
        }
    }
}

void appendInt(std::string& out, long long v)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

void appendColumn(std::string& out, int column)
{
    char buf[4];
    int n = 0;
    while (column > 0) {
        buf[n++] = static_cast<char>('A' + (column - 1) % 26);
        column = (column - 1) / 26;
    }
    while (n > 0)
        out += buf[--n];
}

void appendRef(std::string& out, int row, int column)
{
    appendColumn(out, column);
    appendInt(out, row);
}

std::string refText(const CellRect& r)
{
    std::string s;
    appendRef(s, r.top, r.left);
    if (!r.isSingleCell()) {
        s += ':';
        appendRef(s, r.bottom, r.right);
    }
    return s;
}

bool parseRect(std::string_view text, CellRect& r)
{
    const QString t = qs(text);
    const int colon = t.indexOf(QLatin1Char(':'));
    const QString a = colon < 0 ? t : t.left(colon), b = colon < 0 ? t : t.mid(colon + 1);
    if (!CellNames::parse(a, r.top, r.left) || !CellNames::parse(b, r.bottom, r.right))
        return false;
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    if (r.left > r.right)
        std::swap(r.left, r.right);
    return true;
}

std::string numberText(double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

quint64 cellKey(int row, int column)
{
    return (static_cast<quint64>(row) << 16) | static_cast<quint64>(column);
}

// ----------------------------------------------------------------------------------------
// zip

// A part made while the zip writer reads it, piece by piece, so that a big worksheet never
// stands in memory as one text.
class PartStream {
public:
    virtual ~PartStream() = default;
    virtual void rewind() = 0;
    // Appends the next piece to `out`; false when the part is complete.
    virtual bool next(std::string& out) = 0;
};

struct Part {
    std::string name;
    std::string data;
    PartStream* stream = nullptr; // when set, the part's content (data is unused)
};

struct StreamSource {
    PartStream* stream = nullptr;
    std::string piece;
    size_t pos = 0;
    bool done = false;
    zip_error_t error;
};

zip_int64_t streamSource(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd)
{
    auto* s = static_cast<StreamSource*>(state);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        s->stream->rewind();
        s->piece.clear();
        s->pos = 0;
        s->done = false;
        return 0;
    case ZIP_SOURCE_READ: {
        char* to = static_cast<char*>(data);
        zip_uint64_t n = 0;
        while (n < len) {
            if (s->pos == s->piece.size()) {
                s->piece.clear(); // keeps its buffer: no fresh memory per piece
                s->pos = 0;
                if (s->done || !s->stream->next(s->piece)) {
                    s->done = true;
                    break;
                }
                continue;
            }
            const size_t k = std::min<size_t>(len - n, s->piece.size() - s->pos);
            std::memcpy(to + n, s->piece.data() + s->pos, k);
            s->pos += k;
            n += k;
        }
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->mtime = std::time(nullptr);
        st->valid |= ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s->error, data, len);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
    default:
        zip_error_set(&s->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

bool unzip(const QByteArray& bytes, std::vector<Part>& parts, QString& error)
{
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(bytes.constData(), static_cast<zip_uint64_t>(bytes.size()), 0, &ze);
    zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY, &ze) : nullptr;
    if (!za) {
        error = QString::fromUtf8(zip_error_strerror(&ze));
        if (src)
            zip_source_free(src);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    const zip_int64_t n = zip_get_num_entries(za, 0);
    bool ok = true;
    for (zip_int64_t i = 0; i < n && ok; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            error = QString::fromUtf8(zip_strerror(za));
            ok = false;
            break;
        }
        const std::string name = st.name;
        if (name.empty() || name.back() == '/')
            continue;
        if (st.size > (zip_uint64_t(1) << 30)) {
            error = QStringLiteral("the part %1 is too large").arg(qs(name));
            ok = false;
            break;
        }
        zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
        if (!f) {
            error = QString::fromUtf8(zip_strerror(za));
            ok = false;
            break;
        }
        Part p { name, std::string(st.size, '\0') };
        const zip_int64_t got = st.size ? zip_fread(f, p.data.data(), st.size) : 0;
        if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) {
            error = QString::fromUtf8(zip_file_strerror(f));
            ok = false;
        }
        zip_fclose(f);
        parts.push_back(std::move(p));
    }
    zip_discard(za);
    return ok;
}

bool zipParts(const std::vector<Part>& parts, QByteArray& out, QString& error)
{
    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* dst = zip_source_buffer_create(nullptr, 0, 0, &ze);
    zip_t* za = dst ? zip_open_from_source(dst, ZIP_TRUNCATE, &ze) : nullptr;
    if (!za) {
        error = QString::fromUtf8(zip_error_strerror(&ze));
        if (dst)
            zip_source_free(dst);
        zip_error_fini(&ze);
        return false;
    }
    zip_error_fini(&ze);
    zip_source_keep(dst);
    std::vector<std::unique_ptr<StreamSource>> streams; // alive until the archive is closed
    for (const Part& p : parts) {
        zip_source_t* s;
        if (p.stream) {
            streams.push_back(std::make_unique<StreamSource>());
            streams.back()->stream = p.stream;
            zip_error_init(&streams.back()->error);
            s = zip_source_function(za, streamSource, streams.back().get());
        } else {
            s = zip_source_buffer(za, p.data.data(), p.data.size(), 0);
        }
        const zip_int64_t idx = s ? zip_file_add(za, p.name.c_str(), s, ZIP_FL_ENC_UTF_8) : -1;
        if (idx < 0) {
            error = QString::fromUtf8(zip_strerror(za));
            if (s)
                zip_source_free(s);
            zip_discard(za);
            zip_source_free(dst);
            return false;
        }
        // worksheets favour speed (exports are big); the size hardly differs for their XML
        zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, p.stream ? 1 : 6);
    }
    if (zip_close(za) != 0) {
        error = QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
        zip_source_free(dst);
        return false;
    }
    bool ok = zip_source_open(dst) == 0;
    if (ok) {
        zip_source_seek(dst, 0, SEEK_END);
        const zip_int64_t size = zip_source_tell(dst);
        zip_source_seek(dst, 0, SEEK_SET);
        out.resize(static_cast<qsizetype>(size));
        ok = size >= 0 && zip_source_read(dst, out.data(), static_cast<zip_uint64_t>(size)) == size;
        zip_source_close(dst);
    }
    if (!ok)
        error = QStringLiteral("the package could not be assembled");
    zip_source_free(dst);
    return ok;
}

// ----------------------------------------------------------------------------------------
// relationships

struct Rel {
    std::string id, type, target;
};

std::string relsPathFor(const std::string& part)
{
    const size_t slash = part.rfind('/');
    if (slash == std::string::npos)
        return "_rels/" + part + ".rels";
    return part.substr(0, slash) + "/_rels/" + part.substr(slash + 1) + ".rels";
}

std::string resolveTarget(const std::string& source, const std::string& target)
{
    if (!target.empty() && target[0] == '/')
        return target.substr(1);
    const size_t slash = source.rfind('/');
    std::string path = (slash == std::string::npos ? std::string() : source.substr(0, slash + 1)) + target;
    std::vector<std::string> segs;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string seg = path.substr(start, end - start);
        if (seg == "..") {
            if (!segs.empty())
                segs.pop_back();
        } else if (!seg.empty() && seg != ".") {
            segs.push_back(seg);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& s : segs)
        out += (out.empty() ? "" : "/") + s;
    return out;
}

// ----------------------------------------------------------------------------------------
// colours

const quint32 kPalette[64] = { 0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x000000,
    0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000, 0x000080, 0x808000,
    0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC,
    0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF,
    0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99, 0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900,
    0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333 };
const quint32 kTheme[12] = { 0xFFFFFF, 0x000000, 0xEEECE1, 0x1F497D, 0x4F81BD, 0xC0504D, 0x9BBB59, 0x8064A2, 0x4BACC6,
    0xF79646, 0x0000FF, 0x800080 };

quint32 parseColor(pugi::xml_node c, quint32 fallback)
{
    if (!c)
        return fallback;
    if (pugi::xml_attribute rgb = c.attribute("rgb")) {
        std::string_view v = rgb.value();
        if (v.size() == 8)
            v = v.substr(2); // spreadsheet programs ignore the alpha byte
        unsigned value = 0;
        if (v.size() == 6 && std::from_chars(v.data(), v.data() + 6, value, 16).ec == std::errc())
            return 0xff000000u | value;
        return fallback;
    }
    if (pugi::xml_attribute ix = c.attribute("indexed")) {
        const int i = ix.as_int();
        if (i >= 0 && i < 64)
            return 0xff000000u | kPalette[i];
        return i == 65 ? 0xffffffffu : 0xff000000u;
    }
    if (pugi::xml_attribute th = c.attribute("theme")) {
        const int i = th.as_int();
        if (i >= 0 && i < 12)
            return 0xff000000u | kTheme[i];
    }
    return fallback;
}

HAlign parseHAlign(std::string_view v)
{
    if (v == "left")
        return HAlign::Left;
    if (v == "center")
        return HAlign::Center;
    if (v == "right")
        return HAlign::Right;
    if (v == "fill")
        return HAlign::Fill;
    if (v == "justify")
        return HAlign::Justify;
    if (v == "centerContinuous")
        return HAlign::CenterContinuous;
    if (v == "distributed")
        return HAlign::Distributed;
    return HAlign::General;
}

const char* hAlignName(HAlign a)
{
    switch (a) {
    case HAlign::Left:
        return "left";
    case HAlign::Center:
        return "center";
    case HAlign::Right:
        return "right";
    case HAlign::Fill:
        return "fill";
    case HAlign::Justify:
        return "justify";
    case HAlign::CenterContinuous:
        return "centerContinuous";
    case HAlign::Distributed:
        return "distributed";
    case HAlign::General:
        break;
    }
    return "general";
}

VAlign parseVAlign(std::string_view v)
{
    if (v == "center")
        return VAlign::Center;
    if (v == "top")
        return VAlign::Top;
    if (v == "justify")
        return VAlign::Justify;
    if (v == "distributed")
        return VAlign::Distributed;
    return VAlign::Bottom;
}

bool flagOn(pugi::xml_node n)
{
    if (!n)
        return false;
    const pugi::xml_attribute v = n.attribute("val");
    return !v || v.as_bool();
}

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

} // namespace

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
// the model

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
    std::vector<Part> parts;
    std::string workbookPart, stylesPart, sharedPart, calcChainPart, appPart;
    pugi::xml_document contentTypes, workbook, styles;
    pugi::xml_node sheetEntry; // <sheet> of the first worksheet in workbook.xml
    std::vector<std::string> shared;
    Styles st;
    SheetData sheet;

    Part* find(const std::string& name)
    {
        for (auto& p : parts)
            if (p.name == name)
                return &p;
        return nullptr;
    }
    void erase(const std::string& name)
    {
        parts.erase(
            std::remove_if(parts.begin(), parts.end(), [&](const Part& p) { return p.name == name; }), parts.end());
    }

    bool open(std::vector<Part>&& p, QString& error);
    bool parseStyles(QString& error);
    bool parseSheet(QString& error);
    void parseShared();
    std::vector<Rel> rels(const std::string& part);
    void prepareSheet(std::string& head, std::string& tail);
    void appendRow(std::string& out, int r, const XRow& row) const;

    // styles
    const CellFormat& format(int style) const;
    bool isVisibleStyle(int style) const;
    int cloneXf(int style, quint64 changeKey, const std::function<void(pugi::xml_node)>& change);
    int withAlignment(int style, HAlign a);
    int withNumberFormat(int style, int numFmtId);
    int withFont(int style, const FontChange& change, const std::string& changeKey);
    int numberFormatId(const QString& code);
    int changedFont(int fontId, const FontChange& change, const std::string& changeKey);

    // cells
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

namespace {

std::string fontChangeKey(const FontChange& f)
{
    std::string k;
    if (f.name)
        k += "n" + u8(*f.name) + '\x1f';
    if (f.size)
        k += "s" + numberText(*f.size);
    if (f.bold)
        k += *f.bold ? "B" : "b";
    if (f.italic)
        k += *f.italic ? "I" : "i";
    if (f.underline)
        k += *f.underline ? "U" : "u";
    if (f.color)
        k += "c" + std::to_string(*f.color);
    return k;
}

// The content an empty workbook starts from.
std::vector<Part> emptyPackage()
{
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string relNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    const std::string head = kXmlHead;
    return {
        { "[Content_Types].xml",
            head
                + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Default Extension=\"rels\" "
                  "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                  "<Override PartName=\"/xl/workbook.xml\" ContentType=\""
                + kSheetMain
                + "\"/>"
                  "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                  "<Override PartName=\"/xl/styles.xml\" "
                  "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                  "</Types>" },
        { "_rels/.rels",
            head
                + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" Type=\""
                + relNs + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>" },
        { "xl/workbook.xml",
            head + "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + relNs
                + "\"><bookViews><workbookView/></bookViews>"
                  "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>" },
        { "xl/_rels/workbook.xml.rels",
            head
                + "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                  "<Relationship Id=\"rId1\" Type=\""
                + relNs
                + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                  "<Relationship Id=\"rId2\" Type=\""
                + relNs + "/styles\" Target=\"styles.xml\"/></Relationships>" },
        { "xl/worksheets/sheet1.xml",
            head + "<worksheet xmlns=\"" + main + "\" xmlns:r=\"" + relNs
                + "\"><dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
                  "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData/>"
                  "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
                  "<pageSetup paperSize=\"9\" orientation=\"portrait\"/></worksheet>" },
        { "xl/styles.xml",
            head + "<styleSheet xmlns=\"" + main
                + "\"><fonts count=\"1\"><font><sz val=\"11\"/><color rgb=\"FF000000\"/><name val=\"Calibri\"/>"
                  "<family val=\"2\"/></font></fonts>"
                  "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                  "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
                  "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
                  "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                  "borderId=\"0\"/></cellStyleXfs>"
                  "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
                  "xfId=\"0\"/></cellXfs>"
                  "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
                  "</styleSheet>" },
    };
}

} // namespace

// ----------------------------------------------------------------------------------------
// opening

std::vector<Rel> WorkbookData::rels(const std::string& part)
{
    std::vector<Rel> out;
    const Part* p = find(relsPathFor(part));
    if (!p)
        return out;
    pugi::xml_document doc;
    if (!doc.load_buffer(p->data.data(), p->data.size(), kParse))
        return out;
    for (pugi::xml_node r : doc.child("Relationships").children("Relationship")) {
        if (std::string_view(r.attribute("TargetMode").value()) == "External")
            continue;
        out.push_back({ r.attribute("Id").value(), r.attribute("Type").value(),
            resolveTarget(part, r.attribute("Target").value()) });
    }
    return out;
}

bool WorkbookData::open(std::vector<Part>&& p, QString& error)
{
    parts = std::move(p);
    const Part* types = find("[Content_Types].xml");
    if (!types || !contentTypes.load_buffer(types->data.data(), types->data.size(), kParse)
        || !contentTypes.child("Types")) {
        error = QStringLiteral("it is not a workbook (no content types)");
        return false;
    }
    for (const Rel& r : rels(std::string())) {
        if (endsWith(r.type, "/officeDocument"))
            workbookPart = r.target;
        else if (endsWith(r.type, "/extended-properties"))
            appPart = r.target;
    }
    const Part* wb = workbookPart.empty() ? nullptr : find(workbookPart);
    if (!wb || !workbook.load_buffer(wb->data.data(), wb->data.size(), kParse) || !workbook.child("workbook")) {
        error = QStringLiteral("it is not a workbook (no workbook part)");
        return false;
    }
    sheetEntry = workbook.child("workbook").child("sheets").child("sheet");
    std::string sheetRel;
    for (pugi::xml_attribute a : sheetEntry.attributes())
        if (endsWith(a.name(), ":id"))
            sheetRel = a.value();
    for (const Rel& r : rels(workbookPart)) {
        if (r.id == sheetRel && endsWith(r.type, "/worksheet"))
            sheet.part = r.target;
        else if (endsWith(r.type, "/styles"))
            stylesPart = r.target;
        else if (endsWith(r.type, "/sharedStrings"))
            sharedPart = r.target;
        else if (endsWith(r.type, "/calcChain"))
            calcChainPart = r.target;
    }
    if (!sheetEntry || sheet.part.empty() || !find(sheet.part)) {
        error = QStringLiteral("it has no worksheet");
        return false;
    }
    parseShared();
    return parseStyles(error) && parseSheet(error);
}

void WorkbookData::parseShared()
{
    const Part* p = sharedPart.empty() ? nullptr : find(sharedPart);
    pugi::xml_document doc;
    if (!p || !doc.load_buffer(p->data.data(), p->data.size(), kParse))
        return;
    for (pugi::xml_node si : doc.child("sst").children("si")) {
        std::string text;
        if (pugi::xml_node t = si.child("t"))
            text = t.text().get();
        for (pugi::xml_node r : si.children("r"))
            text += r.child("t").text().get();
        shared.push_back(decodeText(text));
    }
}

bool WorkbookData::parseStyles(QString& error)
{
    if (stylesPart.empty() || !find(stylesPart)) {
        // a workbook without styles gets the standard ones
        stylesPart = resolveTarget(workbookPart, "styles.xml");
        erase(stylesPart);
        parts.push_back({ stylesPart, emptyPackage()[5].data });
        const std::string relsName = relsPathFor(workbookPart);
        Part* relsPart = find(relsName);
        pugi::xml_document relDoc;
        if (!relsPart || !relDoc.load_buffer(relsPart->data.data(), relsPart->data.size(), kParse)) {
            error = QStringLiteral("its relationships are unreadable");
            return false;
        }
        pugi::xml_node r = relDoc.child("Relationships").append_child("Relationship");
        r.append_attribute("Id") = "rIdStyles1";
        r.append_attribute("Type") = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
        r.append_attribute("Target") = ("/" + stylesPart).c_str();
        relsPart->data = printDocument(relDoc);
        pugi::xml_node o = contentTypes.child("Types").append_child("Override");
        o.append_attribute("PartName") = ("/" + stylesPart).c_str();
        o.append_attribute("ContentType") = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";
    }
    const Part* p = find(stylesPart);
    if (!styles.load_buffer(p->data.data(), p->data.size(), kParse) || !styles.child("styleSheet")) {
        error = QStringLiteral("its styles are unreadable");
        return false;
    }
    st.root = styles.child("styleSheet");
    st.numFmts = st.root.child("numFmts");
    for (pugi::xml_node n : st.numFmts.children("numFmt"))
        st.customFormats[n.attribute("numFmtId").as_int()] = QString::fromUtf8(n.attribute("formatCode").value());
    st.fonts = ensureChild(st.root, "fonts", kStyleOrder);
    if (!st.fonts.child("font"))
        st.fonts.append_child("font").append_child("sz").append_attribute("val") = 11;
    st.fills = ensureChild(st.root, "fills", kStyleOrder);
    if (!st.fills.child("fill"))
        st.fills.append_child("fill").append_child("patternFill").append_attribute("patternType") = "none";
    st.borders = ensureChild(st.root, "borders", kStyleOrder);
    if (!st.borders.child("border"))
        st.borders.append_child("border");
    st.cellXfs = ensureChild(st.root, "cellXfs", kStyleOrder);
    if (!st.cellXfs.child("xf"))
        st.cellXfs.append_child("xf");
    for (pugi::xml_node n : st.fonts.children("font"))
        st.font.push_back(n);
    for (pugi::xml_node n : st.fills.children("fill"))
        st.fill.push_back(n);
    for (pugi::xml_node n : st.borders.children("border"))
        st.border.push_back(n);
    for (pugi::xml_node n : st.cellXfs.children("xf"))
        st.xf.push_back(n);
    return true;
}

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
// styles

const CellFormat& WorkbookData::format(int style) const
{
    if (style < 0 || style >= static_cast<int>(st.xf.size()))
        style = 0;
    if (st.resolved.size() < st.xf.size())
        st.resolved.resize(st.xf.size());
    if (auto& f = st.resolved[static_cast<size_t>(style)])
        return *f;
    auto f = std::make_unique<CellFormat>();
    const pugi::xml_node xf = st.xf[static_cast<size_t>(style)];
    const auto pick = [](const std::vector<pugi::xml_node>& list, int i) {
        return i >= 0 && i < static_cast<int>(list.size()) ? list[static_cast<size_t>(i)] : pugi::xml_node();
    };
    const pugi::xml_node font = pick(st.font, xf.attribute("fontId").as_int());
    f->fontName = QString::fromUtf8(font.child("name").attribute("val").value());
    f->fontSize = font.child("sz").attribute("val").as_double(11);
    f->bold = flagOn(font.child("b"));
    f->italic = flagOn(font.child("i"));
    f->strikeOut = flagOn(font.child("strike"));
    f->underline = font.child("u") && std::string_view(font.child("u").attribute("val").value()) != "none";
    f->fontColor = parseColor(font.child("color"), 0xff000000u);
    const pugi::xml_node pattern = pick(st.fill, xf.attribute("fillId").as_int()).child("patternFill");
    if (std::string_view(pattern.attribute("patternType").value()) == "solid") {
        f->filled = true;
        f->fillColor = parseColor(pattern.child("fgColor"), 0xffffffffu);
    }
    const pugi::xml_node border = pick(st.border, xf.attribute("borderId").as_int());
    const auto line = [&](const char* a, const char* b) {
        pugi::xml_node n = border.child(a);
        if (!n)
            n = border.child(b);
        BorderLine l;
        l.style = QString::fromUtf8(n.attribute("style").value());
        l.color = parseColor(n.child("color"), 0xff000000u);
        return l;
    };
    f->left = line("left", "start");
    f->right = line("right", "end");
    f->top = line("top", "top");
    f->bottom = line("bottom", "bottom");
    const pugi::xml_node align = xf.child("alignment");
    f->horizontal = parseHAlign(align.attribute("horizontal").value());
    f->vertical = parseVAlign(align.attribute("vertical").value());
    f->wrapText = align.attribute("wrapText").as_bool();
    f->indent = align.attribute("indent").as_int();
    f->numberFormatId = xf.attribute("numFmtId").as_int();
    const auto custom = st.customFormats.find(f->numberFormatId);
    f->numberFormat = custom != st.customFormats.end() ? custom->second : NumberFormat::builtinCode(f->numberFormatId);
    if (f->numberFormat.isEmpty())
        f->numberFormat = QStringLiteral("General");
    st.resolved[static_cast<size_t>(style)] = std::move(f);
    return *st.resolved[static_cast<size_t>(style)];
}

bool WorkbookData::isVisibleStyle(int style) const
{
    if (style < 0 || style >= static_cast<int>(st.xf.size()))
        return false;
    if (st.visible.size() < st.xf.size())
        st.visible.resize(st.xf.size(), -1);
    signed char& v = st.visible[static_cast<size_t>(style)];
    if (v < 0) {
        const CellFormat& f = format(style);
        v = f.filled || f.left.isSet() || f.right.isSet() || f.top.isSet() || f.bottom.isSet();
    }
    return v > 0;
}

// A style like `style` with one change. Styles are shared by many cells, so the change goes to a
// copy; the same change of the same style gives the same copy.
int WorkbookData::cloneXf(int style, quint64 changeKey, const std::function<void(pugi::xml_node)>& change)
{
    if (style < 0 || style >= static_cast<int>(st.xf.size()))
        style = 0;
    const quint64 key = (static_cast<quint64>(style) << 32) ^ changeKey;
    if (auto it = st.clones.find(key); it != st.clones.end())
        return it->second;
    pugi::xml_node copy = st.cellXfs.append_copy(st.xf[static_cast<size_t>(style)]);
    change(copy);
    st.xf.push_back(copy);
    setCount(st.cellXfs, st.xf.size());
    const int id = static_cast<int>(st.xf.size()) - 1;
    st.clones.emplace(key, id);
    return id;
}

int WorkbookData::withAlignment(int style, HAlign a)
{
    return cloneXf(style, (1ull << 28) | static_cast<quint64>(a), [a](pugi::xml_node xf) {
        pugi::xml_node al = ensureChild(xf, "alignment", kXfOrder);
        al.remove_attribute("horizontal");
        if (a != HAlign::General)
            al.append_attribute("horizontal") = hAlignName(a);
        if (!al.first_attribute())
            xf.remove_child(al);
        xf.remove_attribute("applyAlignment");
        xf.append_attribute("applyAlignment") = 1;
    });
}

int WorkbookData::withNumberFormat(int style, int numFmtId)
{
    return cloneXf(style, (2ull << 28) | static_cast<quint64>(numFmtId), [numFmtId](pugi::xml_node xf) {
        xf.remove_attribute("numFmtId");
        xf.prepend_attribute("numFmtId") = numFmtId;
        xf.remove_attribute("applyNumberFormat");
        xf.append_attribute("applyNumberFormat") = 1;
    });
}

int WorkbookData::withFont(int style, const FontChange& change, const std::string& changeKey)
{
    if (style < 0 || style >= static_cast<int>(st.xf.size()))
        style = 0;
    const int fontId = st.xf[static_cast<size_t>(style)].attribute("fontId").as_int();
    const int newFont = changedFont(fontId, change, changeKey);
    if (newFont == fontId)
        return style;
    return cloneXf(style, (3ull << 28) | static_cast<quint64>(newFont), [newFont](pugi::xml_node xf) {
        xf.remove_attribute("fontId");
        xf.append_attribute("fontId") = newFont;
        xf.remove_attribute("applyFont");
        xf.append_attribute("applyFont") = 1;
    });
}

int WorkbookData::changedFont(int fontId, const FontChange& change, const std::string& changeKey)
{
    if (fontId < 0 || fontId >= static_cast<int>(st.font.size()))
        fontId = 0;
    const std::string key = std::to_string(fontId) + '|' + changeKey;
    if (auto it = st.fontChanges.find(key); it != st.fontChanges.end())
        return it->second;
    if (st.fontByXml.empty())
        for (size_t i = 0; i < st.font.size(); ++i)
            st.fontByXml.emplace(print(st.font[i]), static_cast<int>(i));

    pugi::xml_node f = st.fonts.append_copy(st.font[static_cast<size_t>(fontId)]);
    const auto flag = [&](const char* name, const std::optional<bool>& on) {
        if (!on)
            return;
        f.remove_child(name);
        if (*on)
            ensureChild(f, name, kFontOrder);
    };
    const auto val = [&](const char* name, const std::string& v) {
        pugi::xml_node n = ensureChild(f, name, kFontOrder);
        n.remove_attributes();
        n.append_attribute("val") = v.c_str();
    };
    flag("b", change.bold);
    flag("i", change.italic);
    flag("u", change.underline);
    if (change.size)
        val("sz", numberText(*change.size));
    if (change.color) {
        pugi::xml_node c = ensureChild(f, "color", kFontOrder);
        c.remove_attributes();
        char rgb[9];
        std::snprintf(rgb, sizeof rgb, "FF%06X", *change.color & 0xffffffu);
        c.append_attribute("rgb") = rgb;
    }
    if (change.name) {
        val("name", u8(*change.name));
        f.remove_child("scheme"); // a theme font would override the name
    }
    const std::string xml = print(f);
    int id;
    if (auto it = st.fontByXml.find(xml); it != st.fontByXml.end()) {
        st.fonts.remove_child(f);
        id = it->second;
    } else {
        st.font.push_back(f);
        setCount(st.fonts, st.font.size());
        id = static_cast<int>(st.font.size()) - 1;
        st.fontByXml.emplace(xml, id);
    }
    st.fontChanges.emplace(key, id);
    return id;
}

int WorkbookData::numberFormatId(const QString& code)
{
    const int builtin = NumberFormat::builtinId(code);
    if (builtin >= 0)
        return builtin;
    int last = 163;
    for (const auto& [id, c] : st.customFormats) {
        if (c == code)
            return id;
        last = std::max(last, id);
    }
    st.numFmts = ensureChild(st.root, "numFmts", kStyleOrder);
    pugi::xml_node n = st.numFmts.append_child("numFmt");
    n.append_attribute("numFmtId") = last + 1;
    n.append_attribute("formatCode") = u8(code).c_str();
    setCount(st.numFmts, st.customFormats.size() + 1);
    st.customFormats[last + 1] = code;
    return last + 1;
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

namespace {

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

// ----------------------------------------------------------------------------------------
// Workbook

Workbook::Workbook()
    : d(std::make_unique<WorkbookData>())
{
    QString error;
    d->open(emptyPackage(), error);
    m_sheet.reset(new Worksheet(d.get(), &d->sheet));
}

Workbook::~Workbook() = default;

bool Workbook::load(const QString& path)
{
    m_error.clear();
    QString why;
    std::vector<Part> parts;
    QFile file(path);
    bool ok = false;
    if (!file.open(QIODevice::ReadOnly))
        why = file.errorString();
    else if (const QByteArray bytes = file.readAll(); file.error() != QFileDevice::NoError)
        why = file.errorString();
    else if (!unzip(bytes, parts, why))
        why = QStringLiteral("it is not a workbook (%1)").arg(why);
    else
        ok = true;
    auto fresh = std::make_unique<WorkbookData>();
    if (ok)
        ok = fresh->open(std::move(parts), why);
    if (!ok) {
        m_error = QStringLiteral("Cannot read the workbook \"%1\": %2").arg(path, why);
        fresh = std::make_unique<WorkbookData>();
        QString ignored;
        fresh->open(emptyPackage(), ignored);
    }
    d = std::move(fresh);
    // the worksheet object stays, so references to it remain good
    m_sheet->d = d.get();
    m_sheet->s = &d->sheet;
    return ok;
}

bool Workbook::saveAs(const QString& path)
{
    m_error.clear();
    // content types: a template saved is a workbook; a calculation chain that names overwritten
    // formulas is dropped (spreadsheet programs rebuild it)
    pugi::xml_node types = d->contentTypes.child("Types");
    const bool dropCalcChain = d->sheet.formulaOverwritten && !d->calcChainPart.empty();
    for (pugi::xml_node o = types.child("Override"); o;) {
        pugi::xml_node next = o.next_sibling("Override");
        const std::string name = o.attribute("PartName").value();
        const std::string_view type = o.attribute("ContentType").value();
        if (name == "/" + d->workbookPart && type == kTemplateMain)
            o.attribute("ContentType").set_value(kSheetMain);
        else if (name == "/" + d->workbookPart && type == kMacroTemplateMain)
            o.attribute("ContentType").set_value(kMacroSheetMain);
        else if (dropCalcChain && name == "/" + d->calcChainPart)
            types.remove_child(o);
        o = next;
    }
    if (dropCalcChain) {
        d->erase(d->calcChainPart);
        if (Part* rels = d->find(relsPathFor(d->workbookPart))) {
            pugi::xml_document doc;
            if (doc.load_buffer(rels->data.data(), rels->data.size(), kParse)) {
                pugi::xml_node list = doc.child("Relationships");
                for (pugi::xml_node r = list.child("Relationship"); r;) {
                    pugi::xml_node next = r.next_sibling("Relationship");
                    if (endsWith(r.attribute("Type").value(), "/calcChain"))
                        list.remove_child(r);
                    r = next;
                }
                rels->data = printDocument(doc);
            }
        }
        d->calcChainPart.clear();
        d->sheet.formulaOverwritten = false;
    }

    SheetRows rows(*d);
    std::vector<Part> out;
    out.reserve(d->parts.size());
    out.push_back({ "[Content_Types].xml", printDocument(d->contentTypes) });
    for (const Part& p : d->parts) {
        if (p.name == "[Content_Types].xml")
            continue;
        if (p.name == d->workbookPart)
            out.push_back({ p.name, printDocument(d->workbook) });
        else if (p.name == d->stylesPart)
            out.push_back({ p.name, printDocument(d->styles) });
        else if (p.name == d->sheet.part)
            out.push_back({ p.name, std::string(), &rows });
        else
            out.push_back({ p.name, p.data }); // untouched: as it came
    }
    QByteArray bytes;
    QString why;
    if (!zipParts(out, bytes, why)) {
        m_error = QStringLiteral("Cannot save the workbook \"%1\": %2").arg(path, why);
        return false;
    }
    if (!WorkbookFiles::replaceFile(path, bytes, &why)) {
        m_error = QStringLiteral("Cannot save the workbook \"%1\": %2").arg(path, why);
        return false;
    }
    return true;
}

QString Workbook::errorString() const
{
    return m_error;
}

Worksheet& Workbook::firstWorksheet()
{
    return *m_sheet;
}

const Worksheet& Workbook::firstWorksheet() const
{
    return *m_sheet;
}
