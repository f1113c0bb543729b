#include "bills/custdetails.h"

#include "app/roster.h"
#include "bills/custdetailspas.h"
#include "bills/customerhistory.h"
#include "bills/homedelivery.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/posorderitem.h"
#include "ui_custdetails.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QShowEvent>

namespace {

constexpr int kNameLength = 45;

} // namespace

Tfmcustdetails::Tfmcustdetails(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmcustdetails>())
{
    ui->setupUi(this);
    setObjectName(S("Tfmcustdetails"));
    ui->DateTimePicker1->setDate(services().clock().today());

    m_customers = new QueryTableModel({ S("customerid"), S("customer_name"), S("address"), S("phoneno") },
        { S("Customer ID"), S("Customer Name"), S("Address"), S("Phone No.") }, this);
    ui->DBGrid1->setModel(m_customers);
    ui->DBGrid1->horizontalHeader()->setStretchLastSection(true);
    ui->DBGrid1->verticalHeader()->hide();
    ui->DBGrid1->installEventFilter(this);
    // Shift+Tab leaves the list as Tab does, not for the cell before
    ui->DBGrid1->setTabKeyNavigation(false);

    KeyFilter::install(ui->ECustName, [this](const QString& text, QChar key) {
        if (text.size() > kNameLength) {
            ui->ECustName->backspace();
            return false;
        }
        return key == QLatin1Char('\b') || key.isLetter() || key == QLatin1Char(' ') || key == QLatin1Char('.');
    });
    const auto phoneKey = [](const QString&, QChar key) {
        return key == QLatin1Char('\b') || (key >= QLatin1Char('0') && key <= QLatin1Char('9'));
    };
    KeyFilter::install(ui->EPhoneNo, phoneKey);
    // pasted, dropped or typed over a selection: only what the keys could have typed
    KeyFilter::holdOnly(ui->ECustName, KeyFilter::typed([](const QString& text, QChar key) {
        return text.size() <= kNameLength && (key.isLetter() || key == QLatin1Char(' ') || key == QLatin1Char('.'));
    }));
    KeyFilter::holdOnly(ui->EPhoneNo, KeyFilter::typed(phoneKey));

    connect(ui->btn_search, &QPushButton::clicked, this, &Tfmcustdetails::btn_searchClick);
    connect(ui->btnAddCust, &QPushButton::clicked, this, &Tfmcustdetails::btnAddCustClick);
    connect(ui->btn_billno, &QPushButton::clicked, this, &Tfmcustdetails::btn_billnoClick);
    connect(ui->DBGrid1, &QAbstractItemView::doubleClicked, this, &Tfmcustdetails::DBGrid1DblClick);
}

Tfmcustdetails::~Tfmcustdetails() = default;

void Tfmcustdetails::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
        // what activation does, also for a screen the window manager never activates
        FormActivate();
    }
}

void Tfmcustdetails::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        FormActivate();
}

bool Tfmcustdetails::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->DBGrid1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab
        && !(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ShiftModifier)) {
        ui->ECustName->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Tfmcustdetails::FormShow()
{
    DisableContextMenus(this);
    if (!SearchRun)
        showCustomers(ListCustomers(*roster().Dm));
}

void Tfmcustdetails::FormActivate()
{
    ui->Edt_search->clear();
    ui->DateTimePicker1->setEnabled(false);
}

void Tfmcustdetails::showCustomers(const TQuery& customers)
{
    m_customers->load(customers);
}

int Tfmcustdetails::chosenRow() const
{
    if (m_customers->rowCount() == 0)
        return -1;
    const QModelIndex current = ui->DBGrid1->currentIndex();
    return current.isValid() ? current.row() : 0;
}

void Tfmcustdetails::btn_searchClick()
{
    showCustomers(SearchCustomers(*roster().Dm, ui->Edt_search->text()));
    SearchRun = true;
}

void Tfmcustdetails::btnAddCustClick()
{
    Roster& r = roster();
    CustomerEntry entry;
    entry.name = ui->ECustName->text();
    entry.address = ui->MemoCustAddress->toPlainText();
    entry.phone = ui->EPhoneNo->text();
    // registered the day the customer is entered, however long the program has been running
    entry.registered = services().clock().today();
    entry.deliveryBillKey = r.fmhomedelivery->billKey();
    const CustomerEntryOutcome out = EnterCustomer(*r.Dm, entry);
    if (out.added)
        ui->DateTimePicker1->setDate(entry.registered);
    if (!out.message.isEmpty())
        ShowMsg(out.message);
    if (out.added) {
        ui->ECustName->clear();
        ui->MemoCustAddress->clear();
        ui->EPhoneNo->clear();
        showCustomers(ListCustomers(*r.Dm));
    }
}

void Tfmcustdetails::btn_billnoClick()
{
    const int row = chosenRow();
    if (row < 0)
        return;
    Roster& r = roster();
    const QString name = m_customers->text(row, S("customer_name"));
    // for the bill the order screen holds or is about to start; the previous bill's customer goes first
    r.fmorderitem->assignCustomer(name);
    SelectedCustomerId = m_customers->text(row, S("customerid"));
    r.frmAdminCreate->setCustomerName(name);
    Fixposition(r.fmorderitem);
    r.fmorderitem->show();
    hide();
}

void Tfmcustdetails::DBGrid1DblClick()
{
    const int row = chosenRow();
    if (row < 0)
        return;
    Roster& r = roster();
    const QString name = m_customers->text(row, S("customer_name"));
    SelectedCustomerId = m_customers->text(row, S("customerid"));
    r.frmAdminCreate->setCustomerName(name);
    SetScreenLabel(r.old_bill, S("Label4"), name);
    Fixposition(r.frmAdminCreate);
    r.frmAdminCreate->show();
    hide();
    r.frmAdminCreate->dbdbClick();
}
