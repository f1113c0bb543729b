#include "bills/viewbilldetails.h"

#include "app/roster.h"
#include "bills/viewbilldetailspas.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "platform/datepicker.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_viewbilldetails.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QColor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QShowEvent>

namespace {

// The report's rows, each drawn in the colour of its payment type.
class PaymentRowsModel : public QueryTableModel {
public:
    using QueryTableModel::QueryTableModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::ForegroundRole && index.isValid()) {
            const QString type = text(index.row(), S("payment_type"));
            if (type == QLatin1String("cash"))
                return QColor(255, 0, 0);
            if (type == QLatin1String("cheque"))
                return QColor(0, 0, 0);
            if (type == QLatin1String("card"))
                return QColor(128, 128, 0);
        }
        return QueryTableModel::data(index, role);
    }
};

} // namespace

Tfmviewdetails::Tfmviewdetails(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmviewdetails>())
{
    ui->setupUi(this);
    setObjectName(S("Tfmviewdetails"));
    const QDate today = services().clock().today();
    ui->DateTimePicker1->setDate(today);
    ui->DateTimePicker2->setDate(today);

    m_rows = new PaymentRowsModel({ S("sdate"), S("stime"), S("BILLNUM"), S("customerid"), S("total"), S("amount_paid"),
                                      S("payment_type"), S("payment_status"), S("delivery") },
        { S("Date"), S("TIME"), S("BILL No."), S("CUSTOMER ID"), S("TOTAL"), S("AMOUNT PAID"), S("PAYMENT"),
            S("STATUS"), S("DELIVERY") },
        this);
    ui->DBGrid1->setModel(m_rows);
    ui->DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->DBGrid1->verticalHeader()->hide();
    ui->DBGrid1->installEventFilter(this);
    ui->cb_cash->installEventFilter(this);

    for (QCheckBox* box : { ui->CkBoxHomeDelivery, ui->cb_cash, ui->cb_card, ui->cb_cheque })
        connect(box, &QCheckBox::clicked, this, &Tfmviewdetails::runReport);
    // the calendar closes on a click; the report runs once the picker holds the date
    for (QDateEdit* picker : { ui->DateTimePicker1, ui->DateTimePicker2 })
        OnDatePicked(
            picker, this, [this] { runReport(); }, DatePicked::FromCalendar);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfmviewdetails::Button1Click);
}

Tfmviewdetails::~Tfmviewdetails() = default;

void Tfmviewdetails::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // once per visit: an activation after a message box keeps the list as it is
    if (!event->spontaneous())
        FormShow();
}

bool Tfmviewdetails::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab
        && !(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ShiftModifier)) {
        if (watched == ui->DBGrid1) {
            ui->Button1->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (watched == ui->cb_cash) {
            ui->CkBoxHomeDelivery->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Tfmviewdetails::FormShow()
{
    DisableContextMenus(this);
    ui->e_amount->clear();
    ui->CkBoxHomeDelivery->setChecked(false);
    report();
    const QDate today = services().clock().today();
    ui->DateTimePicker1->setDate(today);
    ui->DateTimePicker2->setDate(today);
}

TQuery* Tfmviewdetails::report()
{
    ui->e_amount->clear();
    BillReportFilter f;
    f.from = ui->DateTimePicker1->date();
    f.to = ui->DateTimePicker2->date();
    f.homeDelivery = ui->CkBoxHomeDelivery->isChecked();
    f.cash = ui->cb_cash->isChecked();
    f.card = ui->cb_card->isChecked();
    f.cheque = ui->cb_cheque->isChecked();
    if (f.to < f.from) {
        ShowMsg(S("Select the Proper Date"));
        const QDate today = services().clock().today();
        ui->DateTimePicker1->setDate(today);
        ui->DateTimePicker2->setDate(today);
        return nullptr;
    }
    TQuery& rows = RunBillReport(*roster().Dm, f);
    m_rows->load(rows);
    return &rows;
}

void Tfmviewdetails::runReport()
{
    report();
}

void Tfmviewdetails::Button1Click()
{
    if (TQuery* rows = report())
        ui->e_amount->setText(BillReportTotal(*rows));
}
