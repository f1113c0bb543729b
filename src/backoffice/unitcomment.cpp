#include "backoffice/unitcomment.h"

#include "app/roster.h"
#include "backoffice/Commentpas.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "platform/datepicker.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_unitcomment.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QShowEvent>

namespace {

const QString kPlaceholder = S("---------------Comment here--------------------");

// A key that puts a character into the field; Tab, Shift+Tab, Enter and Escape move on or answer.
bool typesText(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return false;
    default:
        return !key->text().isEmpty();
    }
}

} // namespace

Tfmcomment::Tfmcomment(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmcomment>())
{
    ui->setupUi(this);
    setObjectName(S("Tfmcomment"));
    ui->DateTimePicker1->setDate(services().clock().today());

    const auto commentKey = [](const QString&, QChar key) { return key != QLatin1Char('\''); };
    KeyFilter::holdOnly(ui->editComment, KeyFilter::typed(commentKey));
    KeyFilter::install(ui->editComment, commentKey, [this] {
        if (ui->editComment->text().isEmpty())
            showPlaceholder();
    });
    // after the key filter, so that this screen sees the keys first
    ui->editComment->installEventFilter(this);

    OnDatePicked(ui->DateTimePicker1, this, [this] { DateTimePicker1CloseUp(); });
    connect(ui->BtnAddUpdCom, &QPushButton::clicked, this, &Tfmcomment::BtnAddUpdComClick);
    connect(ui->BtnDelete, &QPushButton::clicked, this, &Tfmcomment::BtnDeleteClick);
    showPlaceholder();
}

Tfmcomment::~Tfmcomment() = default;

void Tfmcomment::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

bool Tfmcomment::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->editComment) {
        if (event->type() == QEvent::MouseButtonPress)
            startTyping();
        else if (event->type() == QEvent::KeyPress && typesText(static_cast<QKeyEvent*>(event)))
            startTyping();
    }
    return QWidget::eventFilter(watched, event);
}

void Tfmcomment::FormActivate()
{
    DisableContextMenus(this);
    ui->Memo1->clear();
    ui->editComment->clear();
    showRemark();
    setWindowTitle(roster().frmadminoptions->AdminCompanyName);
    showPlaceholder();
}

void Tfmcomment::DateTimePicker1CloseUp()
{
    if (m_settingDate)
        return;
    const QDate today = services().clock().today();
    if (ui->DateTimePicker1->date() < today) {
        ShowMsg(S("Select the Proper Date"));
        m_settingDate = true;
        ui->DateTimePicker1->setDate(today);
        m_settingDate = false;
        return;
    }
    ui->Memo1->clear();
    showRemark();
    setWindowTitle(roster().frmadminoptions->AdminCompanyName);
}

void Tfmcomment::BtnAddUpdComClick()
{
    const QString text = showsPlaceholder() ? QString() : ui->editComment->text();
    const QString d = day();
    LogWrite(S("COMMENT-->") + text + S(" was added on date") + d, 0);
    const QString message = AddComment(*roster().Dm, d, text);
    if (!message.isEmpty())
        ShowMsg(message);
    ui->Memo1->clear();
    showRemark();
    ui->editComment->clear();
    showPlaceholder();
}

void Tfmcomment::BtnDeleteClick()
{
    const QString d = day();
    LogWrite(S("COMMENT-->") + ui->Memo1->toPlainText() + S(" was deleted on ") + d, 0);
    const QString message = DeleteComment(*roster().Dm, d);
    if (!message.isEmpty())
        ShowMsg(message);
    else
        ui->Memo1->clear();
}

void Tfmcomment::showRemark()
{
    const QString remark = ShowComment(*roster().Dm, day());
    if (!remark.isEmpty())
        ui->Memo1->appendPlainText(remark);
}

QString Tfmcomment::day() const
{
    return ui->DateTimePicker1->date().toString(S("yyyy-MM-dd"));
}

bool Tfmcomment::showsPlaceholder() const
{
    return ui->editComment->text() == kPlaceholder;
}

void Tfmcomment::showPlaceholder()
{
    QFont f = ui->editComment->font();
    f.setItalic(true);
    f.setBold(false);
    ui->editComment->setFont(f);
    ui->editComment->setText(kPlaceholder);
}

void Tfmcomment::startTyping()
{
    if (!showsPlaceholder())
        return;
    ui->editComment->clear();
    QFont f = ui->editComment->font();
    f.setItalic(false);
    f.setBold(true);
    ui->editComment->setFont(f);
}
