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
// Writes a package from parts, in the order given.
bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& parts);
// Copies a package; parts named in `replace` are replaced or added (a null array removes one).
bool rewritePackage(const QString& from, const QString& to, const QMap<QString, QByteArray>& replace);

// The first worksheet as openpyxl reads it: {"sheets", "title", "cells": {"A1": {"value",
// "format", "align", "font", "size", "bold", "color"}}, "merged": [...], "names": {...}, "widths": {...}}.
// Dates come back as "yyyy-mm-dd". Empty with the reason in *error when it cannot read the file.
QJsonObject openpyxl(const QString& path, QString* error);
// The text of a PDF, pages separated by form feeds.
QString pdfText(const QString& pdf, QString* error);

// The folder where the build puts the bill templates (beside the program).
QString templateFolder();

} // namespace Kit
