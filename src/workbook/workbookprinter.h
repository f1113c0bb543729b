#pragma once

#include <QString>

// Printing a saved workbook: its first worksheet goes to the system's default printer (CUPS).
// On a machine without a default printer the printout is written as a PDF beside the workbook
// instead ("MAIN STORE57.xls" gives "MAIN STORE57.pdf"). Failures come back as a value; printing
// never throws and never ends the program.
//
//     const PrintOutcome out = printWorkbook(path);
//     if (!out.ok())                       ShowMsg(out.error, {}, 1);
//     else if (out.kind == PrintOutcome::Kind::SavedAsPdf)  ShowMsg(... out.where ...);

struct PrintOutcome {
    enum class Kind { Printed, SavedAsPdf, Failed };
    Kind kind = Kind::Failed;
    QString where; // the printer's name, or the PDF file's path
    QString error; // why nothing was printed (names the file or the printer)
    bool ok() const { return kind != Kind::Failed; }
};

enum class PrintTarget {
    DefaultPrinter, // the system's default printer, or a PDF when there is none
    Pdf, // always a PDF beside the workbook (tests: nothing reaches a real printer)
};
void setPrintTarget(PrintTarget target);
PrintTarget printTarget();

PrintOutcome printWorkbook(const QString& workbookPath);
// Renders the workbook's first worksheet into the PDF file, replacing one of that name atomically.
PrintOutcome printWorkbookToPdf(const QString& workbookPath, const QString& pdfPath);
// The PDF beside a workbook: its name with ".pdf" for the last suffix.
QString pdfPathFor(const QString& workbookPath);
