#include "login/poslogin.h"

#include "admin/aducashier.h"
#include "app/posapplication.h"
#include "app/roster.h"
#include "app/separators.h"
#include "app/splashScreen.h"
#include "db/datamodulepos.h"
#include "db/schemaupgrade.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "login/logincheck.h"
#include "login/posloginpas.h"
#include "login/selectpos.h"
#include "platform/errors.h"
#include "platform/keyfilter.h"
#include "platform/services.h"
#include "ui_poslogin.h"

#include <QCloseEvent>
#include <QPainter>

Tfmlogin::Tfmlogin(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmlogin>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tfmlogin"));

    // The log book belongs to this screen; it takes no action on the log book's notifications.
    m_logBook = std::make_unique<TLogBook>();
    setLogBook(m_logBook.get());
    m_logBook->openToday();
    DisableContextMenus(this);
    SetFormatSeparators(QLatin1Char('/'), QLatin1Char(':'), QLatin1Char('.'), QLatin1Char(','));
    SetErrorHandler([this](QObject* sender, const std::exception& e) { MyExceptionHandler(sender, e); });

    KeyFilter::install(ui->username, LoginNameKeyAllowed);
    KeyFilter::install(ui->password, PasswordKeyAllowed);
    KeyFilter::holdOnly(ui->username, KeyFilter::typed(LoginNameKeyAllowed));
    KeyFilter::holdOnly(ui->password, KeyFilter::typed(PasswordKeyAllowed));
    connect(ui->btnlogin, &QPushButton::clicked, this, &Tfmlogin::btnloginClick);
    connect(ui->Image2, &QToolButton::clicked, this, [] { services().help().showTopic(QStringLiteral("Login.htm")); });

    // A program older than the shop's databases writes nothing: not even this terminal's
    // registration.
    const QString tooOld = SchemaVersion::refusalForOlderProgram(*roster().Dm);
    if (!tooOld.isEmpty()) {
        LogAdd(tooOld);
        ShowMsg(tooOld, QString(), 1);
        // the log book and the error handler go with this screen, which is never made
        setLogBook(nullptr);
        SetErrorHandler(nullptr);
        TerminateProgram();
        throw PosError(tooOld);
    }

    const QString failure = RunStartupProvisioning(*roster().Dm);
    if (!failure.isEmpty())
        ShowMsg(failure, QString(), 1);

    // the companies' tables brought to this version before anything else writes to them
    const SchemaVersion::UpgradeReport upgrade = SchemaVersion::upgradeCompanies(*roster().Dm);
    for (const QString& company : upgrade.upgraded)
        LogWrite(QStringLiteral("Database of company ") + QString(company).replace(QLatin1Char('_'), QLatin1Char(' '))
                + QStringLiteral(" brought up to version ") + QString::number(SchemaVersion::current()),
            1);
    for (const QString& message : upgrade.messages) {
        LogWrite(message, 1);
        ShowMsg(message, QString(), 1);
    }
}

Tfmlogin::~Tfmlogin()
{
    if (logBook() == m_logBook.get())
        setLogBook(nullptr);
}

QString Tfmlogin::Macaddress()
{
    return ::Macaddress();
}

QString Tfmlogin::ComputerName()
{
    return ::ComputerName();
}

void Tfmlogin::showEmpty()
{
    ui->username->clear();
    ui->password->clear();
    show();
}

void Tfmlogin::btnloginClick()
{
    TDm& dm = *roster().Dm;
    LogWrite(QStringLiteral("*************** Point Of Sales ******************"), 0);
    const QString name = ui->username->text().trimmed();
    const QString password = ui->password->text().trimmed();
    if (!UsersExist(dm)) {
        bootstrapLogin(name, password);
        return;
    }
    LogAdd(QStringLiteral("Login :username:-") + ui->username->text());
    LastLoginName = name;
    LastLoginPassword = password;
    if (name.isEmpty()) {
        ShowMsg(QStringLiteral(" Please enter the Username !! "));
        return;
    }
    if (password.isEmpty()) {
        ShowMsg(QStringLiteral("Please enter the Password !! "));
        return;
    }
    loginUser();
}

void Tfmlogin::loginUser()
{
    Roster& r = roster();
    const QString name = LastLoginName;
    switch (LoginCheck(*r.Dm, name, LastLoginPassword)) {
    case LoginResult::Cashier:
        CurrentUser = name;
        r.frmselectpos->show();
        hide();
        return;
    case LoginResult::Admin:
        CurrentUser = name;
        r.frmadminoptions->show();
        hide();
        return;
    case LoginResult::AlreadyLoggedOn:
        ShowMsg(QStringLiteral("VARDIN 1.1"), QStringLiteral("User is already looged on.!!"), 0);
        ui->username->clear();
        ui->password->clear();
        LoginFailed = true;
        return;
    case LoginResult::NoMatch:
        ui->username->clear();
        ui->password->clear();
        ShowMsg(QStringLiteral("Details does not match!!"));
        LoginFailed = true;
        return;
    }
}

void Tfmlogin::bootstrapLogin(const QString& name, const QString& password)
{
    if (name.isEmpty()) {
        ShowMsg(QStringLiteral(" Please enter the Username !! "));
        return;
    }
    if (password.isEmpty()) {
        ShowMsg(QStringLiteral(" Please enter the Password !! "));
        return;
    }
    switch (CheckBootstrapLogin(name, password)) {
    case BootstrapResult::IncorrectPassword:
        ShowMsg(QStringLiteral(" Incorrect password!! "));
        return;
    case BootstrapResult::IncorrectUsername:
        ShowMsg(QStringLiteral(" Incorrect username!! "));
        return;
    case BootstrapResult::IncorrectUsernameAndPassword:
        ShowMsg(QStringLiteral(" incorrect username and password!! "));
        return;
    case BootstrapResult::Ok:
        break;
    }
    Roster& r = roster();
    MarkTerminalAdmin(*r.Dm, Macaddress());
    ShowMsg(QStringLiteral(" Please create the User(Administrator/Cashier)!! "));
    // Only the user maintenance is open to the bootstrap login.
    for (const char* control : { "GroupBox2", "GroupBox4", "btn_change", "Button5", "Button7" }) {
        if (auto* w = r.frmaducashier->findChild<QWidget*>(QLatin1String(control)))
            w->setEnabled(false);
    }
    r.frmaducashier->show();
    ui->username->clear();
    ui->password->clear();
    hide();
}

void Tfmlogin::ResetCurrentUserQuietly()
{
    if (CurrentUser.isEmpty() || !roster().Dm)
        return;
    try {
        ResetLoggedOn(*roster().Dm, CurrentUser);
    } catch (const std::exception&) {
        // the server may be what failed; the flag stays as it is
    }
    CurrentUser.clear();
}

void Tfmlogin::MyExceptionHandler(QObject*, const std::exception& error)
{
    const QString text = errorClassName(error) + QStringLiteral(" error raised, with message : ") + errorMessage(error);
    LogAdd(text);
    ShowMsg(text, QString(), 1);
    deletefiless(true);
    ResetCurrentUserQuietly();
    TerminateProgram();
}

void Tfmlogin::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_activatedOnce) {
        m_activatedOnce = true;
        HoldSplash(2);
    }
}

void Tfmlogin::closeEvent(QCloseEvent* event)
{
    ResetCurrentUserQuietly();
    deletefiless(false);
    event->accept();
    QuitProgram();
}

void Tfmlogin::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.drawRect(rect().adjusted(1, 1, -1, -1));
}
