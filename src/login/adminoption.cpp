#include "login/adminoption.h"

#include "app/roster.h"
#include "app/separators.h"
#include "app/splashScreen.h"
#include "backoffice/menuback.h"
#include "bills/paymentdetailspas.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/adminoptpas.h"
#include "login/logincheck.h"
#include "login/poslogin.h"
#include "login/posloginpas.h"
#include "login/selectpospas.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/posorderitem.h"
#include "ui_adminoption.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

Tfrmadminoptions::Tfrmadminoptions(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfrmadminoptions>())
{
    ui->setupUi(this);
    setObjectName(S("Tfrmadminoptions"));
    ui->ComboBox1->setEditable(false);
    // Names as the filter lets them through, also when they arrive without typing.
    for (QLineEdit* e : { ui->Edit1, ui->Edit2 }) {
        e->setMaxLength(45);
        KeyFilter::install(e, CompanyNameKeyAllowed);
        KeyFilter::holdOnly(e, CompanyNameAccepted);
    }
    ui->Edit2->installEventFilter(this);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfrmadminoptions::Button1Click);
    connect(ui->btnremove, &QPushButton::clicked, this, &Tfrmadminoptions::btnremoveClick);
    connect(ui->Button2, &QPushButton::clicked, this, &Tfrmadminoptions::Button2Click);
    connect(ui->Button3, &QPushButton::clicked, this, &Tfrmadminoptions::Button3Click);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &Tfrmadminoptions::BitBtn1Click);
    connect(ui->Image2, &QToolButton::clicked, this, [] { services().help().showTopic(S("Add_Company.htm")); });

    refreshTerminalId();
    SetFormatSeparators(QLatin1Char('/'), QLatin1Char(':'), QLatin1Char('.'), QLatin1Char(','));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // whatever this terminal held when it last ended is free again: it is settling nothing now
    ReleaseTerminalLocks(*roster().Dm, TerminalId);
    const MaintenanceReport report = RunStartOfDayMaintenance(*roster().Dm);
    for (const QString& message : report.messages)
        ShowMsg(message);
}

Tfrmadminoptions::~Tfrmadminoptions() = default;

void Tfrmadminoptions::refreshTerminalId()
{
    TerminalId = TerminalIdLookup(*roster().Dm, Tfmlogin::Macaddress());
}

void Tfrmadminoptions::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // a window restored from the task bar is shown again by the system: nothing to redo
    if (!event->spontaneous())
        FormShow();
}

void Tfrmadminoptions::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        DisableContextMenus(this);
}

void Tfrmadminoptions::FormShow()
{
    // A removal name is typed afresh each time the screen is entered; with a single company the
    // list puts its name there.
    DisableContextMenus(this);
    ui->Edit2->clear();
    FillCompanyList();
}

void Tfrmadminoptions::FillCompanyList()
{
    const QStringList names = ::FillCompanyList(*roster().Dm);
    ui->ComboBox1->clear();
    ui->ComboBox1->addItems(names);
    ui->ComboBox1->setCurrentIndex(names.size() == 1 ? 0 : -1);
    if (names.size() == 1)
        ui->Edit2->setText(names.first());
}

bool Tfrmadminoptions::eventFilter(QObject* watched, QEvent* event)
{
    // Leaving the field for another control of this screen, not for another window.
    if (watched == ui->Edit2 && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Edit2Exit();
    }
    return QWidget::eventFilter(watched, event);
}

void Tfrmadminoptions::Edit2Exit()
{
    if (!ui->Edit2->text().isEmpty())
        removalNameMatches();
}

bool Tfrmadminoptions::removalNameMatches()
{
    if (ui->ComboBox1->currentText() == ui->Edit2->text().toUpper())
        return true;
    ShowMsg(S("Company name does not match"));
    ui->Edit2->clear();
    return false;
}

void Tfrmadminoptions::Button1Click()
{
    TDm& dm = *roster().Dm;
    const QString typed = ui->Edit1->text();
    const QString refused = CheckNewCompany(dm, typed);
    if (!refused.isEmpty()) {
        ShowMsg(refused);
        return;
    }
    AddCompanyDatabase(dm, CompanyDatabaseName(typed), &TerminalId);
    ShowMsg(S("Company has been added"));
    FillCompanyList();
    ui->Edit1->clear();
}

void Tfrmadminoptions::btnremoveClick()
{
    if (ui->Edit2->text().isEmpty() || ui->ComboBox1->currentText().isEmpty()) {
        ShowMsg(S("Enter the company name"));
        return;
    }
    // The selection may have changed since the name was typed: the typed name must still be
    // the selected company, which gives the one name of everything removed.
    if (!removalNameMatches())
        return;
    if (services().dialogs().askYesNo(S("Are you sure you want to Delete? ")) != Dialogs::Answer::Yes)
        return;
    RemoveCompany(*roster().Dm, CompanyDatabaseName(ui->ComboBox1->currentText()));
    ShowMsg(S("Company is Removed"));
    FillCompanyList();
    ui->Edit2->clear();
}

void Tfrmadminoptions::openSection(QWidget* menu, const QString& userLabel, const QString& logText)
{
    Roster& r = roster();
    hide();
    HoldSplash(1);
    SetScreenLabel(menu, userLabel, r.fmlogin->CurrentUser);
    LogWrite(logText, 0);
    const QString selected = ui->ComboBox1->currentIndex() >= 0 ? ui->ComboBox1->currentText() : QString();
    const CompanyChoice choice = MakeCompanyChoice(selected);
    AdminSettingsKey = choice.settingsKey;
    if (auto* customer = r.fmorderitem->findChild<QLineEdit*>(S("ECustName")))
        customer->clear();
    AdminCompanyName = choice.name;
    AdminCompanyDb = choice.database;
    r.Dm->setCompanyDatabase(AdminCompanyDb, true);
    if (!selected.isEmpty()) {
        menu->show();
        hide();
    } else {
        ShowMsg(S("Select the Company"));
        show();
    }
}

void Tfrmadminoptions::Button2Click()
{
    Roster& r = roster();
    openSection(r.frmmenupos, S("Label10"), S("pos section"));
    SetScreenLabel(r.frmmenupos, S("Label3"), QString(AdminCompanyDb).replace(QLatin1Char('_'), QLatin1Char(' ')));
}

void Tfrmadminoptions::Button3Click()
{
    Roster& r = roster();
    openSection(r.frmmenu, S("Label1"), S("Backoffice section"));
    ui->Edit2->clear();
    SetScreenLabel(r.frmmenu, S("Label3"), QString(AdminCompanyDb).replace(QLatin1Char('_'), QLatin1Char(' ')));
}

void Tfrmadminoptions::BitBtn1Click()
{
    Roster& r = roster();
    ResetLoggedOn(*r.Dm, r.fmlogin->CurrentUser);
    r.fmlogin->CurrentUser.clear();
    LogWrite(S("Logout"), 0);
    r.fmlogin->showEmpty();
    hide();
    ui->Edit1->clear();
    ui->Edit2->clear();
}

void Tfrmadminoptions::closeEvent(QCloseEvent* event)
{
    Roster& r = roster();
    LogAdd(S("************TERMINATING POS*************"));
    // a bill this terminal took for payment is free again; a lock another terminal holds stays
    r.fmpaymentdetails->ReleaseResumedBill();
    ResetLoggedOn(*r.Dm, r.fmlogin->CurrentUser);
    r.fmlogin->CurrentUser.clear();
    event->accept();
    r.fmlogin->close();
}
