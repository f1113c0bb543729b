#include "bills/billprint.h"

#include "app/splashScreen.h"
#include "bills/billprintpas.h"
#include "log/U_LogBook.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "workbook/workbookfiles.h"
#include "workbook/workbookprinter.h"

#include <QApplication>
#include <QPointer>

namespace {

bool printing = false;

void showError(const QString& error)
{
    ShowMsg(error, QString(), 1);
}

} // namespace

PrintInProgress::PrintInProgress()
    : m_first(!printing)
{
    printing = true;
}

PrintInProgress::~PrintInProgress()
{
    if (m_first)
        printing = false;
}

bool PrintBill(TDm& dm, const BillOnScreen& shown)
{
    // the splash may take the activation; the counter's keys go back to the window that had it
    const QPointer<QWidget> active = QApplication::activeWindow();
    HoldSplash(1);
    if (active && active->isVisible())
        active->activateWindow();
    LogAdd(S("Print Bill..."));
    const BillPrintJob job = PrepareBillPrint(dm, shown);
    if (!job.error.isEmpty()) {
        showError(job.error);
        return false;
    }
    ShowMsg(S("Bill is ready for printing"));

    QString error;
    if (!writeBillWorkbook(job.sheet, WorkbookFiles::templatePath(kBillTemplate), job.path, &error)) {
        showError(error);
        return false;
    }
    const PrintOutcome out = printWorkbook(job.path);
    if (!out.ok()) {
        showError(out.error);
        return false;
    }
    if (out.kind == PrintOutcome::Kind::SavedAsPdf)
        ShowMsg(S("No default printer is set up. The bill is saved as ") + out.where);
    return true;
}
