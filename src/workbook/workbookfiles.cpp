#include "workbook/workbookfiles.h"

#include "platform/services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace WorkbookFiles {

QString templatePath(const QString& fileName)
{
    return ShippedFile(fileName);
}

QString outputFolder()
{
    if (ProgramFolderTakesFiles())
        return services().paths().programFolder();
    const QString data = services().paths().dataFolder();
    QDir().mkpath(data);
    return data;
}

QString outputPath(const QString& fileName)
{
    return QDir(outputFolder()).filePath(fileName);
}

bool replaceFile(const QString& path, const QByteArray& bytes, QString* error)
{
    const QFileInfo target(path);
    QFile aside;
    for (int attempt = 0; attempt < 16 && !aside.isOpen(); ++attempt) {
        aside.setFileName(
            target.dir().filePath(QStringLiteral(".%1.%2.part")
                                      .arg(target.fileName())
                                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))));
        aside.open(QIODevice::WriteOnly | QIODevice::NewOnly); // a name taken already: try another
    }
    if (!aside.isOpen()) {
        if (error)
            *error = aside.errorString();
        return false;
    }
    const bool written = aside.write(bytes) == bytes.size() && aside.flush();
    const QString why = aside.errorString();
    aside.close();
    if (!written
        || std::rename(QFile::encodeName(aside.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = written ? QString::fromLocal8Bit(std::strerror(errno)) : why;
        QFile::remove(aside.fileName());
        return false;
    }
    return true;
}

} // namespace WorkbookFiles
