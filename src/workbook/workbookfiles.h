#pragma once

#include <QString>

// Where workbook files live. Templates ship in the program's folder, or in the shared folder of an
// installation (ShippedFile). Workbooks the program writes (bills, stock exports) go to the
// program's folder when it takes files (writable, not installed), otherwise to the data folder.
namespace WorkbookFiles {

QString templatePath(const QString& fileName);
// The folder for written workbooks, created when missing.
QString outputFolder();
QString outputPath(const QString& fileName);

// Replaces the file's content atomically: the bytes are written to a new file beside it, which
// is then renamed over it, so a reader sees the old file or the new one, never a part. (No
// flush to the disk: these files are made again from the database whenever needed.)
bool replaceFile(const QString& path, const QByteArray& bytes, QString* error);

} // namespace WorkbookFiles
