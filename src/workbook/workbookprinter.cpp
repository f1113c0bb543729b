#include "workbook/workbookprinter.h"

#include "workbook/sheetrenderer.h"
#include "workbook/workbook.h"
#include "workbook/workbookfiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <exception>

namespace {

PrintTarget g_target = PrintTarget::DefaultPrinter;

PrintOutcome failed(const QString& why)
{
    PrintOutcome out;
    out.error = why;
    return out;
}

PrintOutcome toPrinter(const Worksheet& sheet, const QPrinterInfo& info, const QString& docName)
{
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(docName);
    if (!printer.isValid())
        return failed(QStringLiteral("The printer \"%1\" is not available.").arg(info.printerName()));
    const QString error = renderWorksheet(sheet, printer);
    if (!error.isEmpty())
        return failed(QStringLiteral("Printing \"%1\" on \"%2\" failed: %3").arg(docName, info.printerName(), error));
    if (printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted)
        return failed(QStringLiteral("The printer \"%1\" reported an error while printing \"%2\".")
                          .arg(info.printerName(), docName));
    PrintOutcome out;
    out.kind = PrintOutcome::Kind::Printed;
    out.where = info.printerName();
    return out;
}

PrintOutcome toPdf(const Worksheet& sheet, const QString& pdfPath, const QString& docName)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString error;
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(docName);
        writer.setCreator(QStringLiteral("pos"));
        writer.setResolution(1200);
        error = renderWorksheet(sheet, writer);
    }
    if (!error.isEmpty())
        return failed(QStringLiteral("Printing \"%1\" failed: %2").arg(docName, error));
    if (!WorkbookFiles::replaceFile(pdfPath, buffer.data(), &error))
        return failed(QStringLiteral("Cannot write \"%1\": %2").arg(pdfPath, error));
    PrintOutcome out;
    out.kind = PrintOutcome::Kind::SavedAsPdf;
    out.where = pdfPath;
    return out;
}

} // namespace

void setPrintTarget(PrintTarget target)
{
    g_target = target;
}

PrintTarget printTarget()
{
    return g_target;
}

QString pdfPathFor(const QString& workbookPath)
{
    const QFileInfo info(workbookPath);
    const QString base = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(base + QStringLiteral(".pdf"));
}

PrintOutcome printWorkbookToPdf(const QString& workbookPath, const QString& pdfPath)
{
    try {
        Workbook book;
        if (!book.load(workbookPath))
            return failed(book.errorString());
        return toPdf(book.firstWorksheet(), pdfPath, QFileInfo(workbookPath).fileName());
    } catch (const std::exception& e) {
        return failed(QStringLiteral("Printing \"%1\" failed: %2").arg(workbookPath, QString::fromLocal8Bit(e.what())));
    }
}

PrintOutcome printWorkbook(const QString& workbookPath)
{
    try {
        if (g_target == PrintTarget::DefaultPrinter) {
            const QPrinterInfo info = QPrinterInfo::defaultPrinter();
            if (!info.isNull()) {
                Workbook book;
                if (!book.load(workbookPath))
                    return failed(book.errorString());
                return toPrinter(book.firstWorksheet(), info, QFileInfo(workbookPath).fileName());
            }
        }
        return printWorkbookToPdf(workbookPath, pdfPathFor(workbookPath));
    } catch (const std::exception& e) {
        return failed(QStringLiteral("Printing \"%1\" failed: %2").arg(workbookPath, QString::fromLocal8Bit(e.what())));
    }
}
