#include "backoffice/unithome.h"

#include "app/roster.h"
#include "backoffice/homepas.h"
#include "db/datamodulepos.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "platform/services.h"
#include "ui_unithome.h"

#include <QListWidget>
#include <QPainter>
#include <QShowEvent>
#include <QSignalBlocker>

namespace {

constexpr int kLineHeight = 19;

void addLine(QListWidget* list, const QString& text, const QColor& colour, Qt::Alignment alignment)
{
    auto* item = new QListWidgetItem(text);
    item->setForeground(colour);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setSizeHint(QSize(0, kLineHeight));
    list->addItem(item);
}

} // namespace

TFrmBackOffice::TFrmBackOffice(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::TFrmBackOffice>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("TFrmBackOffice"));
    for (QListWidget* list : { ui->ListBox1, ui->ListBox2, ui->ListBox3 }) {
        connect(list, &QListWidget::currentRowChanged, this, [this, list](int row) { selectLine(list, row); });
    }
}

TFrmBackOffice::~TFrmBackOffice() = default;

void TFrmBackOffice::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFrmBackOffice::FormShow()
{
    Roster& r = roster();
    const QDate today = services().clock().today();
    ui->Label5->setText(r.fmlogin->CurrentUser);
    ui->Label9date->setText(today.toString(QStringLiteral("dd-MM-yyyy")));
    ui->Memo1->setPlainText(DayComment(*r.Dm, today));

    const QVector<DashboardLine> lines = DashboardLines(*r.Dm);
    for (QListWidget* list : { ui->ListBox1, ui->ListBox2, ui->ListBox3 }) {
        const QSignalBlocker block(list);
        list->setUpdatesEnabled(false);
        list->clear();
    }
    for (const DashboardLine& line : lines) {
        const QColor colour = line.low ? QColor(255, 0, 0) : QColor(Qt::black);
        addLine(ui->ListBox1, line.itemName, colour, Qt::AlignLeft);
        addLine(ui->ListBox2, line.openingStock, colour, Qt::AlignRight);
        addLine(ui->ListBox3, line.closingStock, colour, Qt::AlignRight);
    }
    for (QListWidget* list : { ui->ListBox1, ui->ListBox2, ui->ListBox3 })
        list->setUpdatesEnabled(true);
    setWindowTitle(r.frmadminoptions->AdminCompanyName);
}

void TFrmBackOffice::selectLine(QListWidget* source, int row)
{
    for (QListWidget* list : { ui->ListBox1, ui->ListBox2, ui->ListBox3 }) {
        if (list == source || list->currentRow() == row)
            continue;
        const QSignalBlocker block(list);
        list->setCurrentRow(row);
    }
}

void TFrmBackOffice::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}
