#include "workbook/workbook.h"

#include "workbook/workbookdata.h"
#include "workbook/workbookfiles.h"

#include <QFile>

// Opening and saving a workbook's package: the content types, the workbook part that lists the
// sheets, the relationships between the parts, and every part the program leaves as it came.

using namespace Ooxml;

namespace {

const char* const kSheetMain = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
const char* const kTemplateMain = "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml";
const char* const kMacroSheetMain = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
const char* const kMacroTemplateMain = "application/vnd.ms-excel.template.macroEnabled.main+xml";

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
        { "xl/worksheets/sheet1.xml", emptySheetXml() },
        { "xl/styles.xml", standardStylesXml() },
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

    const std::unique_ptr<PartStream> rows = d->sheetXml();
    std::vector<Part> out;
    out.reserve(d->parts.size());
    out.push_back({ "[Content_Types].xml", printDocument(d->contentTypes) });
    for (const Part& p : d->parts) {
        if (p.name == "[Content_Types].xml")
            continue;
        if (p.name == d->workbookPart)
            out.push_back({ p.name, printDocument(d->workbook) });
        else if (p.name == d->stylesPart)
            out.push_back({ p.name, d->stylesXml() });
        else if (p.name == d->sheet.part)
            out.push_back({ p.name, std::string(), rows.get() });
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
