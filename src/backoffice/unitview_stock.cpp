#include "backoffice/unitview_stock.h"

#include "app/roster.h"
#include "backoffice/View_stockpas.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "login/adminoption.h"
#include "platform/datepicker.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_unitview_stock.h"

#include <QCalendarWidget>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QShowEvent>
#include <QSignalBlocker>

Tfmview_stock::Tfmview_stock(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmview_stock>())
{
    ui->setupUi(this);
    setObjectName(S("Tfmview_stock"));
    const QDate today = services().clock().today();
    ui->DateTimePicker1->setDate(today.addMonths(-1));
    ui->DateTimePicker2->setDate(today);

    m_grid = new QueryTableModel(StockViewFields(), StockViewHeadings(), this);
    ui->DBGrid1->setModel(m_grid);
    ui->DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->DBGrid1->verticalHeader()->hide();
    ui->Label1->installEventFilter(this);

    OnDatePicked(ui->DateTimePicker1, this, [this] { DateTimePickerCloseUp(); });
    OnDatePicked(ui->DateTimePicker2, this, [this] { DateTimePickerCloseUp(); });
    connect(ui->ComboBox1, &QComboBox::activated, this, &Tfmview_stock::ComboBox1Change);
    connect(ui->CheckBox1, &QCheckBox::clicked, this, &Tfmview_stock::CheckBox1Click);
    connect(ui->BtnExcelView, &QPushButton::clicked, this, &Tfmview_stock::BtnExcelViewClick);
}

Tfmview_stock::~Tfmview_stock() = default;

void Tfmview_stock::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
    FormActivate();
}

bool Tfmview_stock::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Label1 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        Label1Click();
    return QWidget::eventFilter(watched, event);
}

void Tfmview_stock::FormShow()
{
    ui->CheckBox1->setChecked(false);
    const QSignalBlocker block(ui->ComboBox1);
    ui->ComboBox1->clear();
    ui->ComboBox1->addItems(DeDupeCombo(LoadStockView(*roster().Dm)));
}

void Tfmview_stock::FormActivate()
{
    DisableContextMenus(this);
    {
        const QSignalBlocker block(ui->ComboBox1);
        const int all = ui->ComboBox1->findText(kAllItems);
        if (all > 0)
            ui->ComboBox1->removeItem(all);
        if (all != 0)
            ui->ComboBox1->insertItem(0, kAllItems);
        ui->ComboBox1->setCurrentIndex(0);
    }
    ui->CheckBox1->setChecked(true);
    filter();
}

void Tfmview_stock::DateTimePickerCloseUp()
{
    if (!m_settingDates)
        filter();
}

void Tfmview_stock::ComboBox1Change()
{
    filter();
}

void Tfmview_stock::CheckBox1Click()
{
    filter();
}

void Tfmview_stock::filter()
{
    TDm& dm = *roster().Dm;
    const StockFilter f { ui->DateTimePicker1->date(), ui->DateTimePicker2->date(), ui->ComboBox1->currentText(),
        ui->CheckBox1->isChecked() };
    const QString refusal = FilterStockView(dm, f);
    if (!refusal.isEmpty()) {
        // the message takes the focus from a picker: that ends its editing, which runs no filter
        m_settingDates = true;
        ShowMsg(refusal);
        const QDate today = services().clock().today();
        ui->DateTimePicker1->setDate(today);
        ui->DateTimePicker2->setDate(today);
        m_settingDates = false;
        return;
    }
    m_grid->load(dm.MyQVD);
    if (m_grid->rowCount() > 0)
        ui->DBGrid1->selectRow(0);
}

void Tfmview_stock::BtnExcelViewClick()
{
    const QString file = StockExportPath(roster().frmadminoptions->AdminCompanyName, services().clock().today());
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString error;
    const bool saved = ExportStockToExcel(*m_grid, file, &error);
    QGuiApplication::restoreOverrideCursor();
    if (!saved)
        ShowMsg(error, QString(), 1);
}

void Tfmview_stock::Label1Click()
{
    ui->Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
}
