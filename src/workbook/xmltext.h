#pragma once

#include "workbook/workbook.h"

#include <QString>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

// Text and XML pieces the files of a workbook are made of: escaping of cell texts, cell
// references, numbers as files write them, and the printing of parsed parts. Shared by the
// package, the styles and the worksheet; not part of the workbook's interface.
namespace Ooxml {

inline constexpr char kXmlHead[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
inline constexpr unsigned kParse = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string u8(const QString& s);
QString qs(std::string_view s);
bool endsWith(std::string_view s, std::string_view tail);

// Inserts a child named `name` at its place in `order` (the child order the schema fixes), or
// returns the one there.
pugi::xml_node ensureChild(pugi::xml_node parent, const char* name, const std::vector<std::string_view>& order);
void setCount(pugi::xml_node list, size_t n);
// A node, or a whole part with its XML declaration, as one line of text.
std::string print(const pugi::xml_node& node);
std::string printDocument(const pugi::xml_document& doc);

// Cell texts carry characters XML cannot hold as _xHHHH_.
std::string decodeText(std::string_view s);
void appendEscaped(std::string& out, std::string_view s);

void appendInt(std::string& out, long long v);
void appendColumn(std::string& out, int column);
void appendRef(std::string& out, int row, int column);
// "A7:B7", or "C7" for one cell.
std::string refText(const CellRect& r);
bool parseRect(std::string_view text, CellRect& r);
// The shortest text that reads back as the same double.
std::string numberText(double v);
quint64 cellKey(int row, int column);

} // namespace Ooxml
