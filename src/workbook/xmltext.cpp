#include "workbook/xmltext.h"

#include <algorithm>
#include <charconv>

namespace Ooxml {

namespace {

    struct StringWriter : pugi::xml_writer {
        std::string out;
        void write(const void* data, size_t size) override { out.append(static_cast<const char*>(data), size); }
    };

    bool isHex(char c)
    {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    }

    bool escapeAt(std::string_view s, size_t i)
    {
        return i + 6 < s.size() && s[i] == '_' && s[i + 1] == 'x' && isHex(s[i + 2]) && isHex(s[i + 3])
            && isHex(s[i + 4]) && isHex(s[i + 5]) && s[i + 6] == '_';
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

} // namespace

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

} // namespace Ooxml
