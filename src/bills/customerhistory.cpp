#include "bills/customerhistory.h"

#include "app/roster.h"
#include "bills/custdetails.h"
#include "bills/custdetailspas.h"
#include "bills/customerhistorypas.h"
#include "bills/old_bill.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "log/U_LogBook.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_customerhistory.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QShowEvent>

void OpenBillOnOldBillScreen(const QString& customerName, const BillKey& bill)
{
    roster().old_bill->openFromHistory(bill.terminalId, bill.billNo, customerName);
    roster().frmAdminCreate->HistoryMark = true; // the old bills screen's "Back" returns here
}

TfrmAdminCreate::TfrmAdminCreate(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::TfrmAdminCreate>())
{
    ui->setupUi(this);
    setObjectName(S("TfrmAdminCreate"));
    ui->Edit1->hide();
    ui->dbdb->hide();

    m_bills = new QueryTableModel({ S("Billno"), S("Date"), S("Name") }, { S("Billno"), S("Date"), S("Name") }, this);
    ui->DBGrid2->setModel(m_bills);
    ui->DBGrid2->horizontalHeader()->setStretchLastSection(true);
    ui->DBGrid2->verticalHeader()->hide();

    auto* view = new QAction(S("View"), this);
    view->setObjectName(S("act_view"));
    view->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    view->setShortcutContext(Qt::WindowShortcut);
    addAction(view);
    connect(view, &QAction::triggered, this, &TfrmAdminCreate::dbdbClick);
    connect(ui->dbdb, &QPushButton::clicked, this, &TfrmAdminCreate::dbdbClick);
    connect(ui->DBGrid2, &QAbstractItemView::clicked, this,
        [this](const QModelIndex& index) { DBGrid2CellClick(index.row()); });
    connect(ui->bck_btn1, &QPushButton::clicked, this, &TfrmAdminCreate::bck_btn1Click);
}

TfrmAdminCreate::~TfrmAdminCreate() = default;

QString TfrmAdminCreate::customerName() const
{
    return ui->Edit1->text();
}

void TfrmAdminCreate::setCustomerName(const QString& name)
{
    ui->Edit1->setText(name);
}

void TfrmAdminCreate::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

void TfrmAdminCreate::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        FormActivate();
}

void TfrmAdminCreate::FormActivate()
{
    DisableContextMenus(this);
    m_bills->load(CustomerBills(*roster().Dm, ui->Edit1->text()));
}

void TfrmAdminCreate::dbdbClick()
{
    const QString name = ui->Edit1->text();
    LogWrite(S("Customer History of ") + name, 0);
    m_bills->load(CustomerBills(*roster().Dm, name));
}

void TfrmAdminCreate::DBGrid2CellClick(int row)
{
    if (row < 0 || row >= m_bills->rowCount())
        return;
    const QString key = m_bills->text(row, S("Billno"));
    BillKey bill;
    if (!ParseBillKey(key, bill))
        return;
    if (IsBillOnHold(*roster().Dm, bill)) {
        ShowMsg(S("Entry on Hold"));
        return;
    }
    const QString name = m_bills->text(row, S("Name"));
    LogWrite(S("View Bill -->  Customer Nmae ") + name + S(" , bill number ") + key, 0);
    OpenBillOnOldBillScreen(name, bill);
}

void TfrmAdminCreate::bck_btn1Click()
{
    Roster& r = roster();
    hide();
    r.fmcustdetails->btn_searchClick();
    Fixposition(r.fmcustdetails);
    r.fmcustdetails->show();
}
