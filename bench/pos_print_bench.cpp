// Times the workbook component as the counter and the back office use it: filling and saving a
// 50-line bill from the bill template, rendering the saved bill to PDF as a print does, and
// exporting ledger rows through the stock view's export. No database is needed.

#include "backoffice/View_stockpas.h"
#include "bills/billsheet.h"
#include "platform/latin1.h"
#include "workbook/workbook.h"
#include "workbook/workbookprinter.h"

#include <QAbstractTableModel>
#include <QCommandLineParser>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double median = 0;
    double p95 = 0;
};

Figures measure(int runs, const std::function<bool()>& once)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!once())
            return { -1, -1 };
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return { ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 95 / 100)] };
}

void report(const char* name, const Figures& f, const QString& extra = QString())
{
    std::printf("%s median_ms=%.2f p95_ms=%.2f%s\n", name, f.median, f.p95, qPrintable(extra));
    std::fflush(stdout);
}

BillSheet fiftyLineBill()
{
    BillSheet b;
    b.company = S("MAIN STORE");
    b.date = S("09-12-2026");
    b.time = S("10:00:00");
    b.customer = S("RAVI KUMAR");
    b.terminalId = S("2");
    b.billNo = S("57");
    b.items = S("50");
    b.subTotal = S("5250");
    b.tax = S("262.5");
    b.total = S("5512.5");
    b.balance = S("0");
    b.homeDelivery = S("No");
    b.charges = S("-");
    b.amountPaid = S("5512.5");
    b.grandTotal = S("5512.5");
    for (int i = 1; i <= 50; ++i) {
        // every fifth name takes two rows
        const QString name = i % 5 == 0 ? S("BASMATI RICE PREMIUM %1 KG").arg(i) : S("ITEM %1").arg(i);
        b.lines.append(
            { name, S("10.50"), QString::number(i % 7 + 1), S("105"), S("5.25"), S("110.25"), S("0"), S("110.25") });
    }
    return b;
}

// Ledger rows as the stock view's grid shows them.
class LedgerRows : public QAbstractTableModel {
public:
    explicit LedgerRows(int rows)
    {
        const QDate first(2011, 8, 1);
        m_rows.reserve(rows);
        for (int r = 0; r < rows; ++r) {
            m_rows.append({ first.addDays(r / 40).toString(S("dd-MM-yyyy")), S("ITEM %1").arg(r % 10000),
                QString::number(100 + r % 50), QString::number(r % 20), QString::number(100 + r % 50 + r % 20),
                r % 3 ? S("True") : S("False") });
        }
    }
    int rowCount(const QModelIndex& = QModelIndex()) const override { return int(m_rows.size()); }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 6; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        return role == Qt::DisplayRole ? QVariant(m_rows.at(index.row()).at(index.column())) : QVariant();
    }

private:
    QVector<QStringList> m_rows;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(
        S("Times filling, saving and printing a bill, and a stock export, through the workbook component."));
    p.addHelpOption();
    const QCommandLineOption runs(S("runs"), S("Timed runs of the bill operations."), S("R"), S("100"));
    const QCommandLineOption rows(S("export-rows"), S("Ledger rows to export."), S("N"), S("100000"));
    const QCommandLineOption exportRuns(S("export-runs"), S("Timed exports."), S("E"), S("5"));
    const QCommandLineOption templates(S("templates"), S("Folder holding billtemplate.xls."), S("DIR"),
        QCoreApplication::applicationDirPath() + S("/.."));
    const QCommandLineOption keep(S("keep"), S("Write the files into this folder and keep them for a look."), S("DIR"));
    p.addOptions({ runs, rows, exportRuns, templates, keep });
    p.process(app);
    const int r = std::max(1, p.value(runs).toInt());
    const int n = std::max(1, p.value(rows).toInt());
    const int e = std::max(1, p.value(exportRuns).toInt());
    const QString templatePath = QDir(p.value(templates)).filePath(kBillTemplate);
    if (!QFileInfo::exists(templatePath)) {
        std::fprintf(stderr, "pos_print_bench: %s is missing (build the project, or give --templates)\n",
            qPrintable(templatePath));
        return 1;
    }

    QTemporaryDir temporary;
    const QDir dir(p.isSet(keep) ? p.value(keep) : temporary.path());
    const QString billFile = dir.filePath(billFileName(S("MAIN_STORE"), S("57")));
    const BillSheet bill = fiftyLineBill();
    QString error;
    const Figures fill = measure(r, [&] { return writeBillWorkbook(bill, templatePath, billFile, &error); });
    if (fill.median < 0) {
        std::fprintf(stderr, "pos_print_bench: %s\n", qPrintable(error));
        return 1;
    }
    report("bill_fill_save_50_lines", fill, S(" target_ms=15"));

    setPrintTarget(PrintTarget::Pdf);
    PrintOutcome out;
    const Figures render = measure(r, [&] {
        out = printWorkbook(billFile);
        return out.ok();
    });
    if (render.median < 0) {
        std::fprintf(stderr, "pos_print_bench: %s\n", qPrintable(out.error));
        return 1;
    }
    report("bill_render_pdf", render, S(" target_ms=50 pdf_bytes=%1").arg(QFileInfo(out.where).size()));

    const QString exportFile = dir.filePath(S("stock_MAIN_STORE_2026-12-09.xls"));
    const LedgerRows ledger(n);
    const Figures exported = measure(e, [&] { return ExportStockToExcel(ledger, exportFile, &error); });
    if (exported.median < 0) {
        std::fprintf(stderr, "pos_print_bench: %s\n", qPrintable(error));
        return 1;
    }
    report(
        "stock_export", exported, S(" rows=%1 target_ms=2000 file_bytes=%2").arg(n).arg(QFileInfo(exportFile).size()));
    return 0;
}
