#include "workbooktestkit.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <zip.h>

namespace Kit {

namespace {

    const char* const kReader = R"(
import sys, json, datetime, openpyxl
wb = openpyxl.load_workbook(open(sys.argv[1], 'rb'))
ws = wb.worksheets[0]
cells = {}
for row in ws.iter_rows():
    for c in row:
        if c.value is None:
            continue
        v = c.value
        if isinstance(v, (datetime.datetime, datetime.date)):
            v = v.strftime('%Y-%m-%d')
        color = c.font.color
        cells[c.coordinate] = {
            'value': v, 'format': c.number_format, 'align': c.alignment.horizontal,
            'font': c.font.name, 'size': c.font.sz, 'bold': bool(c.font.b),
            'color': color.rgb if color is not None and color.type == 'rgb' else None}
names = {d.name: d.attr_text for d in wb.defined_names.definedName}
print(json.dumps({'sheets': wb.sheetnames, 'title': ws.title, 'cells': cells,
                  'merged': sorted(str(r) for r in ws.merged_cells.ranges), 'names': names,
                  'widths': {k: v.width for k, v in ws.column_dimensions.items()}}))
)";

    QString run(const QString& program, const QStringList& args, QString* error)
    {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            if (error)
                *error = program + QStringLiteral(": ") + QString::fromUtf8(p.readAllStandardError()) + p.errorString();
            return QString();
        }
        return QString::fromUtf8(p.readAllStandardOutput());
    }

} // namespace

QByteArray part(const QString& path, const QString& name)
{
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!za)
        return QByteArray();
    QByteArray data;
    zip_stat_t st;
    if (zip_stat(za, name.toUtf8().constData(), 0, &st) == 0) {
        if (zip_file_t* f = zip_fopen(za, name.toUtf8().constData(), 0)) {
            data.resize(static_cast<qsizetype>(st.size));
            if (zip_fread(f, data.data(), st.size) != static_cast<zip_int64_t>(st.size))
                data = QByteArray();
            zip_fclose(f);
            if (data.isNull())
                data = QByteArray("");
        }
    }
    zip_discard(za);
    return data;
}

QStringList partNames(const QString& path)
{
    QStringList names;
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &err);
    if (!za)
        return names;
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i)
        names << QString::fromUtf8(zip_get_name(za, static_cast<zip_uint64_t>(i), 0));
    zip_discard(za);
    return names;
}

bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& parts)
{
    QFile::remove(path);
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    QList<QByteArray> keep; // the data must live until the archive is closed
    for (const auto& [name, data] : parts) {
        keep.append(data);
        zip_source_t* s
            = zip_source_buffer(za, keep.last().constData(), static_cast<zip_uint64_t>(keep.last().size()), 0);
        if (!s || zip_file_add(za, name.toUtf8().constData(), s, ZIP_FL_OVERWRITE) < 0) {
            zip_discard(za);
            return false;
        }
    }
    return zip_close(za) == 0;
}

bool rewritePackage(const QString& from, const QString& to, const QMap<QString, QByteArray>& replace)
{
    QList<QPair<QString, QByteArray>> parts;
    for (const QString& name : partNames(from)) {
        if (!replace.contains(name))
            parts.append({ name, part(from, name) });
        else if (!replace.value(name).isNull())
            parts.append({ name, replace.value(name) });
    }
    for (auto it = replace.begin(); it != replace.end(); ++it)
        if (!it.value().isNull() && !partNames(from).contains(it.key()))
            parts.append({ it.key(), it.value() });
    return writePackage(to, parts);
}

QJsonObject openpyxl(const QString& path, QString* error)
{
    const QString out
        = run(QStringLiteral(POS_PYTHON3), { QStringLiteral("-c"), QString::fromUtf8(kReader), path }, error);
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

QString pdfText(const QString& pdf, QString* error)
{
    return run(QStringLiteral(POS_PDFTOTEXT), { QStringLiteral("-layout"), pdf, QStringLiteral("-") }, error);
}

QString templateFolder()
{
    return QStringLiteral(POS_TEMPLATE_DIR);
}

} // namespace Kit
