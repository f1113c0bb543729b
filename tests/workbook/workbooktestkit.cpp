#include "workbooktestkit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
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

    quint16 u16(const QByteArray& b, qsizetype at)
    {
        return static_cast<quint16>(quint8(b[at]) | quint8(b[at + 1]) << 8);
    }

    quint32 u32(const QByteArray& b, qsizetype at)
    {
        return u16(b, at) | static_cast<quint32>(u16(b, at + 2)) << 16;
    }

    QList<quint16> extraIds(const QByteArray& b, qsizetype at, qsizetype length)
    {
        QList<quint16> ids;
        for (qsizetype i = at; i + 4 <= at + length && i + 4 <= b.size(); i += 4 + u16(b, i + 2))
            ids << u16(b, i);
        return ids;
    }

    // Rows of CSV text as a spreadsheet program writes them: fields in double quotes may hold
    // commas, quotes (doubled) and line breaks.
    QList<QStringList> parseCsv(const QString& text)
    {
        QList<QStringList> rows;
        QStringList row;
        QString field;
        bool quoted = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (quoted) {
                if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"'))
                    field += text[++i];
                else if (c == QLatin1Char('"'))
                    quoted = false;
                else
                    field += c;
            } else if (c == QLatin1Char('"')) {
                quoted = true;
            } else if (c == QLatin1Char(',')) {
                row << field;
                field.clear();
            } else if (c == QLatin1Char('\n')) {
                row << field;
                rows << row;
                row.clear();
                field.clear();
            } else if (c != QLatin1Char('\r')) {
                field += c;
            }
        }
        if (!field.isEmpty() || !row.isEmpty())
            rows << (row << field);
        return rows;
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

QList<ZipRecord> zipRecords(const QString& path, bool* zip64End, QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = path + QStringLiteral(": ") + why;
        return QList<ZipRecord>();
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(f.errorString());
    const QByteArray b = f.readAll();
    const qsizetype end = b.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0 || end + 22 > b.size())
        return fail(QStringLiteral("no end of the central directory"));
    // a Zip64 end record is found through its locator, right before the end record
    if (zip64End)
        *zip64End = end >= 20 && b.mid(end - 20, 4) == QByteArray("PK\x06\x07", 4);
    QList<ZipRecord> records;
    qsizetype p = u32(b, end + 16);
    for (int i = 0, n = u16(b, end + 10); i < n; ++i) {
        if (p + 46 > b.size() || u32(b, p) != 0x02014b50)
            return fail(QStringLiteral("a broken central directory"));
        ZipRecord r;
        const int nameLength = u16(b, p + 28), extraLength = u16(b, p + 30), commentLength = u16(b, p + 32);
        r.name = QString::fromUtf8(b.mid(p + 46, nameLength));
        r.centralVersion = u16(b, p + 6);
        r.centralFlags = u16(b, p + 8);
        r.centralCrc = u32(b, p + 16);
        r.centralCompressed = u32(b, p + 20);
        r.centralSize = u32(b, p + 24);
        r.centralExtras = extraIds(b, p + 46 + nameLength, extraLength);
        const qsizetype local = u32(b, p + 42);
        if (local + 30 > b.size() || u32(b, local) != 0x04034b50)
            return fail(QStringLiteral("no local header for ") + r.name);
        r.localVersion = u16(b, local + 4);
        r.localFlags = u16(b, local + 6);
        r.localCrc = u32(b, local + 14);
        r.localCompressed = u32(b, local + 18);
        r.localSize = u32(b, local + 22);
        r.localExtras = extraIds(b, local + 30 + u16(b, local + 26), u16(b, local + 28));
        records << r;
        p += 46 + nameLength + extraLength + commentLength;
    }
    return records;
}

QMap<QString, QList<QStringList>> spreadsheetCells(const QStringList& files, const QString& work, QString* error)
{
    QMap<QString, QList<QStringList>> cells;
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        if (error)
            *error = QStringLiteral("soffice is missing: scripts/deps.sh libreoffice-calc-nogui installs it");
        return cells;
    }
    const QString out = QDir(work).filePath(QStringLiteral("csv"));
    // cells as shown (number formats applied), UTF-8, comma separated, texts in double quotes
    QStringList args { QStringLiteral("-env:UserInstallation=")
            + QUrl::fromLocalFile(QDir(work).filePath(QStringLiteral("profile"))).toString(),
        QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
        QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true"), QStringLiteral("--outdir"),
        out };
    args << files;
    QProcess p;
    p.start(soffice, args);
    if (!p.waitForFinished(240000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("soffice: ") + QString::fromUtf8(p.readAllStandardError()) + p.errorString();
        p.kill();
        p.waitForFinished();
        return cells;
    }
    for (const QString& file : files) {
        QFile csv(QDir(out).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".csv")));
        if (!csv.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("soffice wrote no CSV of ") + file + QStringLiteral(": ")
                    + QString::fromUtf8(p.readAllStandardError() + p.readAllStandardOutput());
            return {};
        }
        cells.insert(QFileInfo(file).fileName(), parseCsv(QString::fromUtf8(csv.readAll())));
    }
    return cells;
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
