#include "bills/paymentdetails.h"

#include "app/roster.h"
#include "bills/paymentdetailspas.h"
#include "config/formatsettings.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "platform/datepicker.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/muenupospas.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetails.h"
#include "ui_paymentdetails.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QHeaderView>
#include <QPainter>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <functional>

namespace {

const QColor kMaroon(128, 0, 0);

// Paints the cells of a locked bill's row: the active caption's colour behind maroon text drawn
// from the cell's left edge at its top. Other cells keep the default look.
class LockHighlight : public QStyledItemDelegate {
public:
    LockHighlight(std::function<bool(int)> locked, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_locked(std::move(locked))
    {
    }
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (!m_locked(index.row())) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        painter->save();
        painter->fillRect(option.rect, option.palette.color(QPalette::Active, QPalette::Highlight));
        painter->setPen(kMaroon);
        painter->setFont(option.font);
        painter->drawText(option.rect, Qt::AlignLeft | Qt::AlignTop, index.data().toString());
        painter->restore();
    }

private:
    std::function<bool(int)> m_locked;
};

} // namespace

Tfmpaymentdetails::Tfmpaymentdetails(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmpaymentdetails>())
{
    ui->setupUi(this);
    setObjectName(S("Tfmpaymentdetails"));

    m_groups = new QButtonGroup(this);
    m_groups->addButton(ui->RadioGroup1Complete, int(BillGroup::Complete));
    m_groups->addButton(ui->RadioGroup1Hold, int(BillGroup::Hold));
    m_groups->addButton(ui->RadioGroup1PartPayment, int(BillGroup::PartPayment));

    m_grid = new QueryTableModel({ S("sdate"), S("stime_m"), S("BILLNUM"), S("total"), S("amount_paid"), S("balance"),
                                     S("payment_status"), S("delivery"), S("customer_name"), S("customerid") },
        { S("DATE"), S("TIME"), S("BILL No."), S("TOTAL"), S("AMOUNT PAID"), S("BALANCE"), S("STATUS"), S("DELIVERY"),
            S("CUSTOMER NAME"), S("ID") },
        this);
    ui->DBGrid1->setModel(m_grid);
    ui->DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->DBGrid1->verticalHeader()->hide();
    ui->DBGrid1->setItemDelegate(new LockHighlight([this](int row) { return isLocked(row); }, this));
    // the locks are read once as the list starts painting, not once per cell
    ui->DBGrid1->viewport()->installEventFilter(this);

    connect(m_groups, &QButtonGroup::idClicked, this, &Tfmpaymentdetails::RadioGroup1Click);
    OnDatePicked(ui->DateTimePicker1, this, [this] { DateTimePickerCloseUp(); });
    OnDatePicked(ui->DateTimePicker2, this, [this] { DateTimePickerCloseUp(); });
    connect(ui->DBGrid1, &QTableView::clicked, this, &Tfmpaymentdetails::DBGrid1CellClick);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfmpaymentdetails::Button1Click);
    connect(ui->btnPayment, &QPushButton::clicked, this, &Tfmpaymentdetails::btnPaymentClick);
    connect(ui->btn_cancel, &QPushButton::clicked, this, &Tfmpaymentdetails::btn_cancelClick);
}

Tfmpaymentdetails::~Tfmpaymentdetails() = default;

namespace {

// this terminal's id, which its locks carry
QString thisTerminal()
{
    return roster().frmadminoptions->TerminalId;
}

} // namespace

bool Tfmpaymentdetails::TakeForPayment(const QString& terminalId, const QString& billNo)
{
    if (m_lockHeld && (m_heldBillNo != billNo || m_heldTerminalId != terminalId))
        ReleaseResumedBill();
    if (!TakeBillForPayment(*roster().Dm, { terminalId, billNo }, thisTerminal()))
        return false;
    ResumeBillNo = billNo;
    ResumeTerminalId = terminalId;
    ResumeFlag = 1;
    m_lockHeld = true;
    m_heldBillNo = billNo;
    m_heldTerminalId = terminalId;
    return true;
}

QString Tfmpaymentdetails::LockShownBill(const QString& terminalId, const QString& billNo)
{
    if (m_lockHeld && m_heldBillNo == billNo && m_heldTerminalId == terminalId)
        return {};
    ReleaseResumedBill();
    bool held = false;
    const QString refusal = LockBillForSettlement(*roster().Dm, { terminalId, billNo }, thisTerminal(), &held);
    if (held) {
        m_lockHeld = true;
        m_heldBillNo = billNo;
        m_heldTerminalId = terminalId;
    }
    return refusal;
}

void Tfmpaymentdetails::ReleaseResumedBill()
{
    if (!m_lockHeld)
        return;
    ReleaseBillLock(*roster().Dm, { m_heldTerminalId, m_heldBillNo }, thisTerminal());
    m_lockHeld = false;
}

void Tfmpaymentdetails::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar keeps its list; the menu may never activate this screen,
    // so what activation does runs here.
    if (event->spontaneous())
        return;
    FormShow();
    FormActivate();
}

bool Tfmpaymentdetails::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->DBGrid1->viewport() && event->type() == QEvent::Paint) {
        if (m_grid->rowCount() > 0)
            m_locked = LockedBills(*roster().Dm);
        else
            m_locked.clear();
    }
    return QWidget::eventFilter(watched, event);
}

bool Tfmpaymentdetails::isLocked(int row) const
{
    return !m_locked.isEmpty() && m_locked.contains(m_grid->text(row, S("BILLNUM")));
}

void Tfmpaymentdetails::FormShow()
{
    formatSettings().dateSeparator = QLatin1Char('-');
    m_settingDates = true;
    const QDate today = services().clock().today();
    ui->DateTimePicker1->setDate(today);
    ui->DateTimePicker2->setDate(today);
    m_settingDates = false;
    selectGroup(BillGroup::Complete);
    // back on this screen: the bill taken from here last has left the counter
    ReleaseResumedBill();
}

void Tfmpaymentdetails::FormActivate()
{
    Roster& r = roster();
    DisableContextMenus(this);
    selectGroup(BillGroup::Complete);
    ui->Button1->setText(S("UNLOCK"));
    // the role of the user logged on at this counter
    const QString role = UserRole(*r.Dm, r.fmlogin->CurrentUser);
    ui->Button1->setVisible(role.compare(S("admin"), Qt::CaseInsensitive) == 0);
    ResumeFlag = 0;
    formatSettings().shortDateFormat = S("yyyy-mm-dd");
    list();
}

BillGroup Tfmpaymentdetails::group() const
{
    const int id = m_groups->checkedId();
    return id < 0 ? BillGroup::Complete : BillGroup(id);
}

void Tfmpaymentdetails::selectGroup(BillGroup group)
{
    m_groups->button(int(group))->setChecked(true);
}

void Tfmpaymentdetails::RadioGroup1Click()
{
    list();
}

void Tfmpaymentdetails::DateTimePickerCloseUp()
{
    if (!m_settingDates)
        list();
}

void Tfmpaymentdetails::list()
{
    TDm& dm = *roster().Dm;
    const BillGroup g = group();
    const QString refusal = ListPaymentBills(dm, g, ui->DateTimePicker1->date(), ui->DateTimePicker2->date());
    if (!refusal.isEmpty()) {
        // the message takes the focus from a picker: that ends its editing, which lists nothing
        m_settingDates = true;
        ShowMsg(refusal);
        const QDate today = services().clock().today();
        ui->DateTimePicker1->setDate(today);
        ui->DateTimePicker2->setDate(today);
        m_settingDates = false;
        // the screen starts over, as on coming back to it: today's completed bills
        FormActivate();
        return;
    }
    ui->btnPayment->setEnabled(g != BillGroup::Complete);
    ui->Button1->setEnabled(g != BillGroup::Complete);
    ui->btn_cancel->setEnabled(g == BillGroup::Hold);
    m_grid->load(PaymentBillsQuery(dm));
}

bool Tfmpaymentdetails::selectedBill(BillKey* bill, int* row) const
{
    const QModelIndexList rows = ui->DBGrid1->selectionModel()->selectedRows();
    const int at = rows.isEmpty() ? ui->DBGrid1->currentIndex().row() : rows.first().row();
    if (at < 0 || at >= m_grid->rowCount())
        return false;
    if (row)
        *row = at;
    return SplitBillKey(m_grid->text(at, S("BILLNUM")), bill);
}

void Tfmpaymentdetails::DBGrid1CellClick()
{
    BillKey bill;
    if (!selectedBill(&bill))
        return;
    const bool locked = IsBillLocked(*roster().Dm, bill);
    if (locked)
        ui->Button1->setText(S("UNLOCK"));
    ui->Button1->setEnabled(locked);
}

void Tfmpaymentdetails::Button1Click()
{
    BillKey bill;
    if (!selectedBill(&bill) || ui->Button1->text() != QLatin1String("UNLOCK"))
        return;
    UnlockBill(*roster().Dm, bill);
    if (bill.billNo == m_heldBillNo && bill.terminalId == m_heldTerminalId)
        m_lockHeld = false; // released: it is no longer this terminal's to release
    ui->DBGrid1->viewport()->update();
}

void Tfmpaymentdetails::btnPaymentClick()
{
    Roster& r = roster();
    Tfmsalesorderdtls* settlement = r.fmsalesorderdtls;
    const bool partPayment = group() == BillGroup::PartPayment;
    for (const char* name : { "Button1", "btnnextbill" }) {
        if (auto* button = settlement->findChild<QWidget*>(S(name)))
            button->setEnabled(!partPayment);
    }
    BillKey bill;
    int row = -1;
    if (!selectedBill(&bill, &row))
        return;
    LogWrite(S("Payment/Hold....Customer with customer id ") + m_grid->text(row, S("customerid")) + S(" and bill no  ")
            + bill.billNo,
        0);
    if (!TakeForPayment(bill.terminalId, bill.billNo)) {
        // another terminal has it: the list shows the lock as it is now
        ui->DBGrid1->viewport()->update();
        return;
    }
    SetScreenLabel(settlement, S("lbl_machine_id"), bill.terminalId);
    Fixposition(settlement);
    settlement->show();
    hide();
}

void Tfmpaymentdetails::btn_cancelClick()
{
    if (services().dialogs().askYesNo(S("Do you  want to cancel Entry on hold?: YES / NO")) != Dialogs::Answer::Yes)
        return;
    BillKey bill;
    if (!selectedBill(&bill))
        return;
    // An entry cancelled on another terminal since the list was drawn, paid there, or being
    // settled there, is left as it is, and the cashier is told why; the list is drawn afresh.
    const BillChange cancelled = CancelHeldEntry(*roster().Dm, bill);
    if (!cancelled) {
        list();
        ShowMsg(cancelled.refusal);
        return;
    }
    list();
    FormActivate();
}
