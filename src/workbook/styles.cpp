#include "workbook/numberformat.h"
#include "workbook/workbookdata.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

// The style sheet (xl/styles.xml): every cell names a cell format (an "xf") by its index, and a
// format names its font, fill, border and number format. A change the program makes to one cell
// goes to a copy of its format, so that the other cells sharing it keep theirs.

using namespace Ooxml;

namespace {

// Child order of a style sheet, a font and a cell format (elements must appear in this order).
const std::vector<std::string_view> kStyleOrder = { "numFmts", "fonts", "fills", "borders", "cellStyleXfs", "cellXfs",
    "cellStyles", "dxfs", "tableStyles", "colors", "extLst" };
const std::vector<std::string_view> kFontOrder = { "b", "i", "strike", "condense", "extend", "outline", "shadow", "u",
    "vertAlign", "sz", "color", "name", "family", "charset", "scheme" };
const std::vector<std::string_view> kXfOrder = { "alignment", "protection", "extLst" };

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

} // namespace

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

std::string standardStylesXml()
{
    return std::string(kXmlHead)
        + "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
          "<fonts count=\"1\"><font><sz val=\"11\"/><color rgb=\"FF000000\"/><name val=\"Calibri\"/>"
          "<family val=\"2\"/></font></fonts>"
          "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
          "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
          "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
          "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
          "borderId=\"0\"/></cellStyleXfs>"
          "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" "
          "xfId=\"0\"/></cellXfs>"
          "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
          "</styleSheet>";
}

std::string WorkbookData::stylesXml() const
{
    return printDocument(styles);
}

bool WorkbookData::parseStyles(QString& error)
{
    if (stylesPart.empty() || !find(stylesPart)) {
        // a workbook without styles gets the standard ones
        stylesPart = resolveTarget(workbookPart, "styles.xml");
        erase(stylesPart);
        parts.push_back({ stylesPart, standardStylesXml() });
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
