#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

// Helpers of the workbook tests: packages opened and made without the component, a second
// reader of saved workbooks (openpyxl), and the text of printed PDFs (pdftotext).
namespace Kit {

// A part of a zip package, or a null array when it is missing.
QByteArray part(const QString& path, const QString& name);
QStringList partNames(const QString& path);
// One part of a zip package as its local header and the central directory describe it.
struct ZipRecord {
    QString name;
    int localVersion = 0, centralVersion = 0; // version needed to extract, 20 for 2.0
    quint16 localFlags = 0, centralFlags = 0;
    quint32 localCrc = 0, centralCrc = 0;
    quint32 localCompressed = 0, localSize = 0, centralCompressed = 0, centralSize = 0;
    QList<quint16> localExtras, centralExtras; // the ids of the extra fields (0x0001: Zip64)
};
// The records of every part, in the central directory's order. Empty, with the reason in
// *error, when the file is no zip package; *zip64End tells whether it ends with Zip64 records.
QList<ZipRecord> zipRecords(const QString& path, bool* zip64End, QString* error);

// Writes a package from parts, in the order given.
bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& parts);
// Copies a package; parts named in `replace` are replaced or added (a null array removes one).
bool rewritePackage(const QString& from, const QString& to, const QMap<QString, QByteArray>& replace);

// The first worksheet as openpyxl reads it: {"sheets", "title", "cells": {"A1": {"value",
// "format", "align", "font", "size", "bold", "color"}}, "merged": [...], "names": {...}, "widths": {...}}.
// Dates come back as "yyyy-mm-dd". Empty with the reason in *error when it cannot read the file.
QJsonObject openpyxl(const QString& path, QString* error);
// The cells of a workbook's first sheet as a spreadsheet program reads and shows them:
// LibreOffice converts each file to CSV (one run, a profile of its own in `work`). By file
// name, the rows of cells; empty with the reason in *error when the program fails.
QMap<QString, QList<QStringList>> spreadsheetCells(const QStringList& files, const QString& work, QString* error);

// The text of a PDF, pages separated by form feeds.
QString pdfText(const QString& pdf, QString* error);

// The folder where the build puts the bill templates (beside the program).
QString templateFolder();

} // namespace Kit
