#include "sales/muenupos.h"

#include "app/roster.h"
#include "app/separators.h"
#include "bills/custdetails.h"
#include "bills/customerhistory.h"
#include "bills/homedelivery.h"
#include "bills/viewbilldetails.h"
#include "config/companylogo.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "login/selectpos.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/muenupospas.h"
#include "sales/posorderitem.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetails.h"
#include "ui_muenupos.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace {

// Where the counter screens go, beside the category column.
const QPoint kScreenPlace(220, 30);
// The category buttons and the gaps between them.
constexpr int kButtonHeight = 100;
constexpr int kMinGap = 2;
constexpr int kMaxGap = 12;

// The old-bill screen's search controls, enabled when it is opened from this menu.
void enableOldBillSearch()
{
    QWidget* oldBill = roster().old_bill;
    for (QGroupBox* g : oldBill->findChildren<QGroupBox*>()) {
        if (g->title() == QLatin1String("Filter"))
            g->setEnabled(true);
    }
    if (auto* search = oldBill->findChild<QWidget*>(S("btn_search")))
        search->setEnabled(true);
}

void emptyOldBillNumber()
{
    if (auto* box = roster().old_bill->findChild<QLineEdit*>(S("E_bill_no")))
        box->clear();
}

} // namespace

Tfrmmenupos::Tfrmmenupos(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfrmmenupos>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tfrmmenupos"));
    setWindowFlag(Qt::FramelessWindowHint, true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);

    struct Category {
        const char* action;
        const char* caption;
        Qt::Key key;
        QToolButton* button;
    };
    const Category categories[] = {
        { "SalesOrderAction", "Sales Order", Qt::Key_F1, ui->btnSalesOrder },
        { "ViewBillDetailsAction", "View Bill Details", Qt::Key_F2, ui->btnViewBillDetails },
        { "PaymentDetailsAction", "Payment Details", Qt::Key_F3, ui->btnPaymentDetails },
        { "customerdetailsAction", "Customer Details", Qt::Key_F4, ui->btncustomerdetails },
        { "oldbillaction", "Old Bill", Qt::Key_F5, ui->btnoldbill },
    };
    for (const Category& c : categories) {
        auto* action = new QAction(S(c.caption), this);
        action->setObjectName(S(c.action));
        action->setShortcut(QKeySequence(c.key));
        // the keys work while a counter screen beside the menu has the focus
        action->setShortcutContext(Qt::ApplicationShortcut);
        addAction(action);
        c.button->setDefaultAction(action);
        c.button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        connect(action, &QAction::triggered, this, [this, action] { categoryClick(action); });
    }
    // Ctrl+H is HOME, except on the settlement screen, which keeps it for its own "HOLD"
    auto* home = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this);
    home->setContext(Qt::ApplicationShortcut);
    connect(home, &QShortcut::activated, this, [this] {
        Tfmsalesorderdtls* settlement = roster().fmsalesorderdtls;
        if (settlement && settlement->isVisible())
            settlement->holdShortcut();
        else
            btnbackClick();
    });

    ui->BitBtn2->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    connect(ui->btnback, &QPushButton::clicked, this, &Tfrmmenupos::btnbackClick);
    connect(ui->BitBtn2, &QToolButton::clicked, this, &Tfrmmenupos::BitBtn2Click);
    connect(ui->Image2, &QToolButton::clicked, this, &Tfrmmenupos::Image2Click);

    SetFormatSeparators(QLatin1Char('/'), QLatin1Char(':'), QLatin1Char('.'), QLatin1Char(','));
    if (QScreen* s = screen())
        setGeometry(s->geometry());
    placeLabels();
}

Tfrmmenupos::~Tfrmmenupos()
{
    // the counter screens placed in this window are the roster's to release
    for (const QPointer<QWidget>& w : std::as_const(m_placed)) {
        if (w && w->parentWidget() == this)
            w->setParent(nullptr);
    }
}

void Tfrmmenupos::Fixposition(QWidget* screen)
{
    if (m_current && m_current != screen)
        m_current->hide();
    const QPoint place = kScreenPlace;
    if (isVisible() && screen != this) {
        if (screen->parentWidget() != this)
            screen->setParent(this, Qt::Widget | Qt::FramelessWindowHint);
        screen->move(place);
        // help and close stay in reach on a narrow screen
        ui->Image2->raise();
        ui->BitBtn2->raise();
        // Shown inside the menu, the screen is activated as a window of its own would be.
        QTimer::singleShot(0, screen, [screen] {
            if (screen->isVisible() && screen->isActiveWindow()) {
                QEvent activation(QEvent::ActivationChange);
                QCoreApplication::sendEvent(screen, &activation);
            }
        });
    } else {
        if (screen->parentWidget() == this)
            screen->setParent(nullptr);
        screen->setWindowFlags(screen->windowFlags() | Qt::Window | Qt::FramelessWindowHint);
        screen->move(geometry().topLeft() + place);
    }
    QPalette p = screen->palette();
    p.setColor(QPalette::Window, Qt::white);
    screen->setPalette(p);
    screen->setAutoFillBackground(true);
    if (!m_placed.contains(screen))
        m_placed.append(screen);
    m_current = screen;
}

void Tfrmmenupos::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeLabels();
}

void Tfrmmenupos::placeLabels()
{
    const int h = height();
    const int w = width();
    // The heading and its picture in the strip above the counter screens, which would cover them
    // anywhere to the right of the column.
    ui->Image5->move(kScreenPlace.x(), 2);
    ui->Label2->setGeometry(
        ui->Image5->geometry().right() + 5, 2, ui->Label2->sizeHint().width(), kScreenPlace.y() - 4);

    // The category column between the logo and "HOME" (0.84 of the height); the gaps shrink on
    // a short screen.
    const QList<QToolButton*> buttons { ui->btnSalesOrder, ui->btnViewBillDetails, ui->btnPaymentDetails,
        ui->btncustomerdetails, ui->btnoldbill };
    const int count = int(buttons.size());
    const int columnTop = ui->Image3->geometry().bottom() + 5;
    int homeTop = int(h * 0.84);
    const int room = homeTop - 4 - columnTop;
    const int gap = std::clamp((room - count * kButtonHeight) / (count - 1), kMinGap, kMaxGap);
    for (int i = 0; i < count; ++i)
        buttons.at(i)->setGeometry(0, i * (kButtonHeight + gap), ui->categortca->width(), kButtonHeight);
    ui->categortca->setGeometry(
        ui->categortca->x(), columnTop, ui->categortca->width(), count * kButtonHeight + (count - 1) * gap);
    // a screen too short for the column keeps "HOME" and the picture under it clear of the buttons
    homeTop = std::max(homeTop, ui->categortca->geometry().bottom() + 5);
    ui->btnback->move(30, homeTop);
    ui->Image1->move(10, std::max(int(std::lround(h * 0.9)), ui->btnback->geometry().bottom() + 5));

    ui->BitBtn2->move(w - ui->BitBtn2->width() - 10, 8);
    ui->Image2->move(ui->BitBtn2->x() - ui->Image2->width() - 8, 8);
    ui->Label10->setGeometry(
        ui->Image2->x() - ui->Label10->width() - 12, 2, ui->Label10->width(), kScreenPlace.y() - 4);
    // the company name near the bottom right, kept inside a smaller screen
    ui->Label3->move(
        std::min(1141, w - ui->Label3->width() - 10), std::min(int(h * 0.96), h - ui->Label3->height() - 2));
}

void Tfrmmenupos::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfrmmenupos::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow())
        return;
    FormActivate();
    // the counter screen inside this window becomes active with it (after a message box, say)
    QWidget* shown = visibleScreen();
    if (shown && shown->parentWidget() == this) {
        QEvent activation(QEvent::ActivationChange);
        QCoreApplication::sendEvent(shown, &activation);
    }
}

void Tfrmmenupos::FormShow()
{
    if (QScreen* s = screen())
        setGeometry(s->geometry());
    ui->Label3->move(1291, 700);
    // what activation does, also when the window manager never activates the menu
    FormActivate();
}

void Tfrmmenupos::FormActivate()
{
    showCompany();
    DisableContextMenus(this);
    placeLabels();
}

void Tfrmmenupos::showCompany()
{
    Roster& r = roster();
    QString name = r.frmselectpos->SelectedCompanyName;
    QString database = r.frmselectpos->SelectedCompanyDb;
    if (database.isEmpty()) {
        name = r.frmadminoptions->AdminCompanyName;
        database = r.frmadminoptions->AdminCompanyDb;
    }
    setWindowTitle(name);
    const QString logo = LogoFile(LogoFolder(*r.Dm), database);
    if (logo.isEmpty())
        ui->Image3->clear();
    else
        ui->Image3->setPixmap(QPixmap(logo));
}

void Tfrmmenupos::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(QColor(255, 0, 0), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(1, 1), QPoint(width(), height())));
}

void Tfrmmenupos::categoryClick(QAction* action)
{
    Roster& r = roster();
    const QString name = action->objectName();
    QWidget* target = nullptr;
    // a bill opened from the customer history no longer returns there
    r.frmAdminCreate->HistoryMark = false;
    if (name == QLatin1String("oldbillaction")) {
        enableOldBillSearch();
        r.fmcustdetails->hide();
        emptyOldBillNumber();
        if (auto* bills = r.old_bill->findChild<QWidget*>(S("DBGrid2")))
            bills->setVisible(true);
        target = r.old_bill;
    } else {
        r.fmcustdetails->hide();
        emptyOldBillNumber();
        if (name == QLatin1String("SalesOrderAction")) {
            target = r.fmorderitem;
        } else if (name == QLatin1String("ViewBillDetailsAction")) {
            target = r.fmviewdetails;
        } else if (name == QLatin1String("PaymentDetailsAction")) {
            enableOldBillSearch();
            target = r.fmpaymentdetails;
        } else {
            r.fmcustdetails->SearchRun = false;
            target = r.fmcustdetails;
        }
    }
    Fixposition(target);
    target->show();
}

QWidget* Tfrmmenupos::visibleScreen() const
{
    Roster& r = roster();
    for (QWidget* w : { static_cast<QWidget*>(r.fmorderitem), static_cast<QWidget*>(r.fmsalesorderdtls),
             static_cast<QWidget*>(r.fmviewdetails), static_cast<QWidget*>(r.fmpaymentdetails),
             static_cast<QWidget*>(r.old_bill), static_cast<QWidget*>(r.fmcustdetails) }) {
        if (w && w->isVisible())
            return w;
    }
    return nullptr;
}

QString Tfrmmenupos::helpTopic() const
{
    Roster& r = roster();
    const QWidget* shown = visibleScreen();
    if (!shown)
        return S("::/Pos.htm");
    if (shown == r.fmorderitem)
        return S("::/Sales_Order.htm");
    if (shown == r.fmsalesorderdtls)
        return S("::/Payment.htm");
    if (shown == r.fmviewdetails)
        return S("::/Bill_Details.htm");
    if (shown == r.fmpaymentdetails)
        return S("::/Payment_Details.htm");
    if (shown == r.old_bill)
        return S("::/Old_Bill.htm");
    return S("::/Customer_Details.htm");
}

void Tfrmmenupos::Image2Click()
{
    if (!isVisible())
        return;
    QWidget* shown = visibleScreen();
    services().help().showTopic(helpTopic());
    QWidget* again = shown ? shown : this;
    again->show();
    again->raise();
}

void Tfrmmenupos::dropOpenOrder()
{
    Roster& r = roster();
    TDm& dm = *r.Dm;
    const QString orderBill = ScreenLabel(r.fmorderitem, S("EBillNo"));
    const QString orderTerminal = ScreenLabel(r.fmorderitem, S("Label6"));
    if (r.fmsalesorderdtls->isVisible())
        DropOpenOrder(dm, r.fmsalesorderdtls->terminalId(), r.fmsalesorderdtls->billNo());
    else
        DropOpenOrder(dm, orderTerminal, orderBill);
    DropAbandonedDelivery(dm, r.frmadminoptions->TerminalId, orderTerminal, orderBill);
}

void Tfrmmenupos::btnbackClick()
{
    Roster& r = roster();
    TDm& dm = *r.Dm;
    r.frmAdminCreate->hide();
    r.old_bill->hide();
    dropOpenOrder();
    // a bill resumed here leaves the counter; a lock another terminal holds stays
    r.fmpaymentdetails->ReleaseResumedBill();

    if (UserRole(dm, r.fmlogin->CurrentUser).compare(QLatin1String("admin"), Qt::CaseInsensitive) == 0) {
        if (auto* companies = r.frmadminoptions->findChild<QComboBox*>(S("ComboBox1"))) {
            companies->setCurrentIndex(-1);
            if (companies->isEditable())
                companies->clearEditText();
        }
        if (auto* removal = r.frmadminoptions->findChild<QLineEdit*>(S("Edit2")))
            removal->clear();
        r.frmadminoptions->show();
    } else {
        r.frmselectpos->show();
    }
    hide();
    for (QWidget* w : { static_cast<QWidget*>(r.fmcustdetails), static_cast<QWidget*>(r.fmhomedelivery),
             static_cast<QWidget*>(r.fmsalesorderdtls), static_cast<QWidget*>(r.fmorderitem),
             static_cast<QWidget*>(r.fmviewdetails), static_cast<QWidget*>(r.fmpaymentdetails) })
        w->hide();
}

void Tfrmmenupos::BitBtn2Click()
{
    Roster& r = roster();
    TDm& dm = *r.Dm;
    if (services().dialogs().askOkCancel(S("Are you sure you want to close?")) != Dialogs::Answer::Ok)
        return;
    Tfmsalesorderdtls* settlement = r.fmsalesorderdtls;
    // asked only while the grid still holds the held bill: holding it again keeps its lines
    if (HeldBillInGrid(dm, settlement->terminalId(), settlement->billNo())
        && services().dialogs().askYesNo(S("Do you want to save the changes of customer on Hold?"))
            == Dialogs::Answer::Yes)
        settlement->btnholdClick();
    r.fmpaymentdetails->ReleaseResumedBill();
    dropOpenOrder();
    LogWrite(S("************TERMINATING POS*************"), 0);
    // the login screen's close logs the user off and ends the program
    r.fmlogin->close();
}

void Tfrmmenupos::closeEvent(QCloseEvent* event)
{
    if (services().dialogs().askOkCancel(S("Are you sure you want to close?")) != Dialogs::Answer::Ok) {
        event->ignore();
        return;
    }
    dropOpenOrder();
    roster().fmpaymentdetails->ReleaseResumedBill();
    event->accept();
    roster().fmlogin->close();
}
