#include "backoffice/menuback.h"

#include "admin/aducashier.h"
#include "app/roster.h"
#include "app/separators.h"
#include "backoffice/homepas.h"
#include "backoffice/unitcomment.h"
#include "backoffice/unithome.h"
#include "backoffice/unititemdetails.h"
#include "backoffice/unitpurchase.h"
#include "backoffice/unitview_stock.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_menuback.h"

#include <QCloseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>

namespace {

const QPoint kBackOfficeScreenPlace(230, 30);

int screenHeight(const QWidget* w)
{
    const QScreen* s = w->screen();
    return s ? s->geometry().height() : w->height();
}

} // namespace

Tfrmmenu::Tfrmmenu(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfrmmenu>())
{
    ui->setupUi(this);
    setObjectName(S("Tfrmmenu"));
    setWindowFlag(Qt::FramelessWindowHint, true);
    // the back office covers the desktop: no other program's window comes between it and its user
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);
    SetFormatSeparators(QLatin1Char('/'), QLatin1Char(':'), QLatin1Char('.'), QLatin1Char(','));
    if (const QScreen* s = screen())
        setGeometry(s->geometry());
    setWindowState(Qt::WindowMaximized);
    placeControls();

    connect(ui->btnHome, &QPushButton::clicked, this, &Tfrmmenu::HomeClick);
    connect(ui->btnItemDetails, &QPushButton::clicked, this, &Tfrmmenu::ItemDetailsClick);
    connect(ui->btnPurchase, &QPushButton::clicked, this, &Tfrmmenu::PurchaseClick);
    connect(ui->btnViewStock, &QPushButton::clicked, this, &Tfrmmenu::ViewStockClick);
    connect(ui->btnComments, &QPushButton::clicked, this, &Tfrmmenu::CommentsClick);
    connect(ui->btnConfiguration, &QPushButton::clicked, this, &Tfrmmenu::ConfigurationClick);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfrmmenu::Button1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &Tfrmmenu::BitBtn2Click);
    connect(ui->Image2, &QToolButton::clicked, this, &Tfrmmenu::Image2Click);
    auto* back = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_B), this);
    back->setContext(Qt::WindowShortcut);
    connect(back, &QShortcut::activated, this, &Tfrmmenu::Button1Click);
}

Tfrmmenu::~Tfrmmenu()
{
    // Screens placed here belong to the roster, which releases them itself.
    releaseScreens();
}

QDate Tfrmmenu::workingDate() const
{
    return ui->DateTimePicker1->date();
}

void Tfrmmenu::setWorkingDate(const QDate& day)
{
    ui->DateTimePicker1->setDate(day);
}

void Tfrmmenu::Fixposition(QWidget* screen)
{
    if (m_current && m_current != screen)
        m_current->hide();
    if (screen->parentWidget() != this) {
        screen->setParent(this); // also drops the border: it is a part of the menu now
        m_placed << screen;
    }
    QPalette p = screen->palette();
    p.setColor(QPalette::Window, Qt::white);
    screen->setPalette(p);
    screen->setAutoFillBackground(true);
    screen->move(kBackOfficeScreenPlace);
    m_current = screen;
}

void Tfrmmenu::releaseScreens()
{
    for (const QPointer<QWidget>& screen : std::as_const(m_placed)) {
        if (screen && screen->parentWidget() == this) {
            screen->hide();
            screen->setParent(nullptr);
        }
    }
    m_placed.clear();
    m_current = nullptr;
}

void Tfrmmenu::showWorkingScreen(QWidget* screen, bool logo)
{
    Fixposition(screen);
    screen->show();
    screen->raise();
    ui->Image3->setVisible(logo);
}

void Tfrmmenu::HomeClick()
{
    TFrmBackOffice* home = roster().FrmBackOffice;
    // pressed again while in view, it shows the figures of this moment
    if (home->isVisible() && m_current == home)
        home->FormShow();
    showWorkingScreen(home, true);
    ui->Button1->show();
}

void Tfrmmenu::ItemDetailsClick()
{
    showWorkingScreen(roster().Fitemdetails, true);
}

void Tfrmmenu::PurchaseClick()
{
    showWorkingScreen(roster().Fpurchase, true);
}

void Tfrmmenu::ViewStockClick()
{
    showWorkingScreen(roster().fmview_stock, true);
}

void Tfrmmenu::CommentsClick()
{
    showWorkingScreen(roster().fmcomment, true);
}

void Tfrmmenu::ConfigurationClick()
{
    QWidget* configuration = roster().frmaducashier;
    // its "logout" belongs to the first-user path from the login screen
    if (auto* logout = configuration->findChild<QWidget*>(S("BitBtn1")))
        logout->hide();
    showWorkingScreen(configuration, false);
}

void Tfrmmenu::Button1Click()
{
    Roster& r = roster();
    r.frmadminoptions->show();
    hide();
    for (QWidget* screen : { static_cast<QWidget*>(r.FrmBackOffice), static_cast<QWidget*>(r.Fitemdetails),
             static_cast<QWidget*>(r.Fpurchase), static_cast<QWidget*>(r.fmview_stock),
             static_cast<QWidget*>(r.fmcomment), static_cast<QWidget*>(r.frmaducashier) })
        screen->hide();
    releaseScreens();
}

void Tfrmmenu::BitBtn2Click()
{
    close();
}

void Tfrmmenu::closeEvent(QCloseEvent* event)
{
    if (services().dialogs().askOkCancel(S("Are you sure you want to close?")) != Dialogs::Answer::Ok) {
        event->ignore();
        return;
    }
    LogAdd(S("************TERMINATING POS*************"));
    event->accept();
    // The program ends through the main window, which lets the user in again.
    if (roster().fmlogin)
        roster().fmlogin->close();
}

QString Tfrmmenu::helpTopic() const
{
    const Roster& r = roster();
    const QWidget* shown = m_current && m_current->isVisible() ? m_current.data() : nullptr;
    if (!shown)
        return S("::/Backoffice.htm");
    if (shown == r.FrmBackOffice)
        return S("::/Home.htm");
    if (shown == r.Fitemdetails)
        return S("::/Item_Details.htm");
    if (shown == r.Fpurchase)
        return S("::/Purchase.htm");
    if (shown == r.fmview_stock)
        return S("::/View_Stock.htm");
    if (shown == r.fmcomment)
        return S("::/Comment.htm");
    if (shown == r.frmaducashier)
        return S("::/Settings.htm");
    return S("::/Backoffice.htm");
}

void Tfrmmenu::Image2Click()
{
    if (!isVisible())
        return;
    services().help().showTopic(helpTopic());
    if (m_current && m_current->isVisible())
        m_current->raise();
}

void Tfrmmenu::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    FormActivate();
    // Entering the back office opens on its home screen.
    if (!m_current)
        HomeClick();
}

void Tfrmmenu::FormActivate()
{
    Roster& r = roster();
    DisableContextMenus(this);
    ui->DateTimePicker1->hide();
    setWindowTitle(r.frmadminoptions->AdminCompanyName);
    showLogo();
    placeControls();
}

void Tfrmmenu::showLogo()
{
    Roster& r = roster();
    m_logo = QPixmap(CompanyLogoFile(*r.Dm, r.frmadminoptions->AdminCompanyDb));
    ui->Image3->setPixmap(
        m_logo.isNull() ? QPixmap() : m_logo.scaled(ui->Image3->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void Tfrmmenu::placeControls()
{
    const int w = width();
    const int h = screenHeight(this);
    ui->BitBtn2->move(w - 50, 2);
    ui->Image2->move(w - 100, 2);
    ui->Label1->move(w - 380, 2);
    ui->Image3->move(w - 210, 40);
    ui->Label2->move((w - ui->Label2->width()) / 2, 2);
    ui->Button1->move(30, h * 88 / 100);
    // the company name at the foot, at left 1141 where the screen is wide enough
    ui->Label3->move(std::min(1141, std::max(0, w - ui->Label3->width())), h * 96 / 100);
}

void Tfrmmenu::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeControls();
}

void Tfrmmenu::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.setPen(QPen(QColor(255, 0, 0), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}
