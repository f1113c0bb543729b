#include "bills/old_bill.h"

#include "app/roster.h"
#include "app/splashScreen.h"
#include "bills/billprint.h"
#include "bills/billsheet.h"
#include "bills/customerhistory.h"
#include "bills/old_billpas.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "login/selectpos.h"
#include "platform/datepicker.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/posorderitem.h"
#include "sales/salesorderdetails.h"
#include "ui_old_bill.h"
#include "workbook/workbookfiles.h"
#include "workbook/workbookprinter.h"

#include <QCalendarWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QShowEvent>

namespace {

bool asciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool asciiLetter(QChar c)
{
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z'));
}

// The company the counter works in, named as the original print names it: the database the
// connections point at, so that a duplicate and its original share a file name.
QString counterCompany()
{
    return roster().Dm->MyConsalesdetails.databaseName();
}

} // namespace

Told_bill::Told_bill(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Told_bill>())
{
    ui->setupUi(this);
    setObjectName(S("Told_bill"));

    m_bills = new QueryTableModel({ S("customerid"), S("BILLNUM"), S("customer_name") },
        { S("CUSTOMER ID"), S("BILL No."), S("CUSTOMER NAME") }, this);
    m_lines = new QueryTableModel(
        { S("itemname"), S("rate"), S("quantity"), S("price"), S("itax"), S("isubtotal"), S("discount"), S("total") },
        { S("ITEM"), S("RATE"), S("QUANTITY"), S("PRICE"), S("TAX"), S("SUBTOTAL"), S("DISCOUNT"), S("TOTAL") }, this);
    for (QTableView* grid : { ui->DBGrid2, ui->DBGrid1 }) {
        grid->setModel(grid == ui->DBGrid2 ? m_bills : m_lines);
        grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
        grid->verticalHeader()->hide();
    }

    // Key rules as typed; validators keep pasted or dropped text to the same characters.
    KeyFilter::install(
        ui->Edt_id, [](const QString&, QChar key) { return asciiDigit(key) || key == QLatin1Char('\b'); });
    KeyFilter::install(
        ui->Edt_name, [](const QString&, QChar key) { return asciiLetter(key) || key == QLatin1Char('\b'); });
    KeyFilter::install(ui->Edt_bill_numbr, [](const QString&, QChar key) {
        return asciiDigit(key) || key == QLatin1Char('/') || key == QLatin1Char('\b');
    });
    const auto validate = [](QLineEdit* e, const char* pattern) {
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(S(pattern)), e));
    };
    validate(ui->Edt_id, "[0-9]*");
    validate(ui->Edt_name, "[A-Za-z]*");
    validate(ui->Edt_bill_numbr, "[0-9/]*");

    ui->DBGrid2->installEventFilter(this);
    ui->Button2->installEventFilter(this);

    connect(ui->Rad_Customer, &QRadioButton::clicked, this, &Told_bill::Rad_CustomerClick);
    connect(ui->rad_Billno, &QRadioButton::clicked, this, &Told_bill::rad_BillnoClick);
    OnDatePicked(ui->DateTimePicker1, this, [this] { DateTimePickerCloseUp(); });
    OnDatePicked(ui->DateTimePicker2, this, [this] { DateTimePickerCloseUp(); });
    connect(ui->btn_search, &QPushButton::clicked, this, &Told_bill::btn_searchClick);
    connect(ui->DBGrid2, &QTableView::clicked, this, &Told_bill::DBGrid2CellClick);
    connect(ui->DBGrid2, &QTableView::doubleClicked, this, &Told_bill::DBGrid2DblClick);
    connect(ui->Button3, &QPushButton::clicked, this, &Told_bill::Button3Click);
    connect(ui->Button2, &QPushButton::clicked, this, &Told_bill::Button2Click);
}

Told_bill::~Told_bill() = default;

void Told_bill::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar keeps what it shows; the menu may never activate this
    // screen, so what activation does runs when it is shown.
    if (!event->spontaneous())
        FormActivate();
}

bool Told_bill::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab
        && !(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ShiftModifier)) {
        QWidget* target = watched == ui->DBGrid2 ? static_cast<QWidget*>(ui->Button3)
            : watched == ui->Button2             ? static_cast<QWidget*>(ui->DBGrid1)
                                                 : nullptr;
        if (target && target->isVisible() && target->isEnabled()) {
            target->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Told_bill::setSelectedBill(const QString& terminalId, const QString& billNo)
{
    ui->E_bill_no->setText(billNo);
    ui->Edit1->setText(terminalId);
    ui->Label7->setText(terminalId + QLatin1Char('/') + billNo);
}

QString Told_bill::selectedBillNo() const
{
    return ui->E_bill_no->text();
}

QString Told_bill::selectedTerminalId() const
{
    return ui->Edit1->text();
}

void Told_bill::openFromHistory(const QString& terminalId, const QString& billNo, const QString& customerName)
{
    ui->GroupBox1->setEnabled(false);
    ui->btn_search->setEnabled(false);
    ui->Label4->setText(customerName);
    setSelectedBill(terminalId, billNo);
    Fixposition(this);
    show();
    // also when the screen was up already and showing it ran nothing
    view();
    ui->Button2->setEnabled(true);
    ui->Button3->setEnabled(true);
}

void Told_bill::FormActivate()
{
    ui->Button3->hide();
    ui->Button3->setEnabled(false);
    ui->Rad_Customer->setChecked(true);
    Rad_CustomerClick();
    ui->Button2->setEnabled(false);
    const QDate today = services().clock().today();
    m_settingDates = true;
    ui->DateTimePicker1->setDate(today);
    ui->DateTimePicker2->setDate(today);
    DisableContextMenus(this);

    ListCompletedBills(*roster().Dm);
    loadBills();
    // a bill handed over by the customer history shows its lines; otherwise the bills list shows
    view();
    if (selectedBillNo().isEmpty()) {
        ui->DBGrid2->show();
        ui->DBGrid1->hide();
    }

    // the range starts at the first bill of terminal 1 by default
    const QDate first = FirstBillDate(*roster().Dm);
    ui->DateTimePicker1->setDate(first.isValid() ? first : today);
    m_settingDates = false;
    ui->Button3->setText(S("View"));
    clearSearchFields();
}

void Told_bill::Rad_CustomerClick()
{
    ui->Edt_bill_numbr->clear();
    for (QWidget* w : { static_cast<QWidget*>(ui->DateTimePicker1), static_cast<QWidget*>(ui->DateTimePicker2),
             static_cast<QWidget*>(ui->Edt_id), static_cast<QWidget*>(ui->Edt_name) })
        w->setEnabled(true);
    ui->Edt_bill_numbr->setEnabled(false);
}

void Told_bill::rad_BillnoClick()
{
    ui->Edt_id->clear();
    ui->Edt_name->clear();
    for (QWidget* w : { static_cast<QWidget*>(ui->DateTimePicker1), static_cast<QWidget*>(ui->DateTimePicker2),
             static_cast<QWidget*>(ui->Edt_id), static_cast<QWidget*>(ui->Edt_name) })
        w->setEnabled(false);
    ui->Edt_bill_numbr->setEnabled(true);
}

void Told_bill::DateTimePickerCloseUp()
{
    if (m_settingDates || ui->DateTimePicker2->date() >= ui->DateTimePicker1->date())
        return;
    // the message takes the focus from a picker: that ends its editing, which checks nothing
    m_settingDates = true;
    ShowMsg(S("Select Proper Date"));
    const QDate today = services().clock().today();
    ui->DateTimePicker1->setDate(today);
    ui->DateTimePicker2->setDate(today);
    m_settingDates = false;
}

void Told_bill::btn_searchClick()
{
    OldBillSearch search;
    search.byBillKey = ui->rad_Billno->isChecked();
    search.from = ui->DateTimePicker1->date();
    search.to = ui->DateTimePicker2->date();
    search.customerId = ui->Edt_id->text();
    search.customerName = ui->Edt_name->text();
    search.billKey = ui->Edt_bill_numbr->text();
    const QString refusal = SearchOldBills(*roster().Dm, search);
    if (!refusal.isEmpty()) {
        // the key is typed afresh; the other fields keep what was typed
        if (search.byBillKey)
            ui->Edt_bill_numbr->clear();
        ShowMsg(refusal);
        return;
    }
    loadBills();
    ui->DBGrid2->show();
    ui->DBGrid1->hide();
    ui->Button2->setEnabled(false);
    ui->Button3->setText(S("View"));
    ui->Button3->setEnabled(false);
}

void Told_bill::loadBills()
{
    m_bills->load(OldBillsQuery(*roster().Dm));
}

void Told_bill::DBGrid2CellClick()
{
    const int row = ui->DBGrid2->currentIndex().row();
    if (row < 0 || row >= m_bills->rowCount())
        return;
    const QString key = m_bills->text(row, S("BILLNUM"));
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return;
    setSelectedBill(key.left(slash), key.mid(slash + 1));
}

void Told_bill::DBGrid2DblClick()
{
    if (m_bills->rowCount() == 0)
        return;
    DBGrid2CellClick();
    ui->Button2->setEnabled(true);
    ui->Button3->setEnabled(true);
    Button3Click();
}

void Told_bill::Button3Click()
{
    if (ui->Button3->text() == QLatin1String("View"))
        view();
    else
        back();
}

void Told_bill::view()
{
    if (!selectedBillNo().isEmpty()) {
        ui->Button3->show();
        ui->Button2->setEnabled(true);
        ui->DBGrid2->hide();
        m_lines->load(OldBillLines(*roster().Dm, { selectedTerminalId(), selectedBillNo() }));
        ui->DBGrid1->show();
    }
    ui->Button3->setText(S("Back"));
    clearSearchFields();
}

void Told_bill::back()
{
    Roster& r = roster();
    if (r.frmAdminCreate->HistoryMark) {
        // the customer history lists that customer's bills again when it is shown
        SetScreenText(r.frmAdminCreate, S("Edit1"), ui->Label4->text());
        Fixposition(r.frmAdminCreate);
        r.frmAdminCreate->show();
        ui->Button3->setText(S("View"));
        hide();
        return;
    }
    ui->DBGrid2->show();
    ui->DBGrid1->hide();
    ui->Button3->setText(S("View"));
    clearSearchFields();
    ui->Button2->setEnabled(false);
    ui->Button3->hide();
}

void Told_bill::clearSearchFields()
{
    ui->Edt_id->clear();
    ui->Edt_name->clear();
    ui->Edt_bill_numbr->clear();
}

void Told_bill::Button2Click()
{
    Roster& r = roster();
    const BillKey bill { selectedTerminalId(), selectedBillNo() };
    if (bill.billNo.isEmpty())
        return;
    const PrintInProgress print;
    if (!print.isFirst())
        return;
    HoldSplash(1);
    LogWrite(S("Print Bill..."), 0);
    const QString company = counterCompany();
    const BillSheet sheet = ReadDuplicateBill(*r.Dm, bill, company);
    ShowMsg(S("Bill is ready for printing "));

    const QString path = WorkbookFiles::outputPath(billFileName(company, bill.billNo));
    QString error;
    if (!writeBillWorkbook(sheet, WorkbookFiles::templatePath(kBillDuplicateTemplate), path, &error)) {
        ShowMsg(error, QString(), 1);
        return;
    }
    const PrintOutcome printed = printWorkbook(path);
    if (!printed.ok()) {
        ShowMsg(printed.error, QString(), 1);
        return;
    }
    if (printed.kind == PrintOutcome::Kind::SavedAsPdf)
        ShowMsg(S("No default printer: the bill was saved as ") + printed.where);

    ForgetBillCustomer();
    m_lines->load(OldBillLines(*r.Dm, bill));
    r.fmsalesorderdtls->hide();
}
