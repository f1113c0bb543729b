#pragma once

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

// The package a workbook is stored in: a zip archive of parts (XML files and others, such as
// pictures) that name each other through relationship parts. Not part of the workbook's interface.
namespace Ooxml {

// A part made while the zip writer reads it, piece by piece, so that a big worksheet never
// stands in memory as one text. It is read twice, for its length and for its content, and
// must give the same pieces both times.
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

// Reads every part of a package, in the archive's order. False, with the reason in `error`,
// when the bytes are no zip archive or a part cannot be read.
bool unzip(const QByteArray& bytes, std::vector<Part>& parts, QString& error);
// Writes the parts, in the order given, as a zip archive.
bool zipParts(const std::vector<Part>& parts, QByteArray& out, QString& error);

// A relationship of a part: its id, its type and the target resolved to a part name.
struct Rel {
    std::string id, type, target;
};

// The relationship part of a part ("xl/_rels/workbook.xml.rels" for "xl/workbook.xml"; "" is
// the package itself).
std::string relsPathFor(const std::string& part);
// The part a relationship of `source` names: relative targets resolved, a leading "/" dropped.
std::string resolveTarget(const std::string& source, const std::string& target);

} // namespace Ooxml
