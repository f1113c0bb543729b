#include "login/adminoption.h"

#include "app/roster.h"
#include "app/separators.h"
#include "config/formatsettings.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/logincheck.h"
#include "login/poslogin.h"
#include "login/posloginpas.h"
#include "platform/keyfilter.h"
#include "platform/services.h"
#include "ui_adminoption.h"

#include <QCloseEvent>
#include <QLineEdit>

Tfrmadminoptions::Tfrmadminoptions(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfrmadminoptions>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tfrmadminoptions"));
    connect(ui->BitBtn1, &QPushButton::clicked, this, &Tfrmadminoptions::BitBtn1Click);
    connect(ui->Image2, &QToolButton::clicked, this,
        [] { services().help().showTopic(QStringLiteral("Add_Company.htm")); });

    refreshTerminalId();
    SetFormatSeparators(QLatin1Char('/'), QLatin1Char(':'), QLatin1Char('.'), QLatin1Char(','));
    formatSettings().shortDateFormat = QStringLiteral("yyyy/mm/dd");
}

Tfrmadminoptions::~Tfrmadminoptions() = default;

void Tfrmadminoptions::refreshTerminalId()
{
    TerminalId = TerminalIdLookup(*roster().Dm, Tfmlogin::Macaddress());
}

void Tfrmadminoptions::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        DisableContextMenus(this);
}

void Tfrmadminoptions::BitBtn1Click()
{
    Roster& r = roster();
    formatSettings().shortDateFormat = QStringLiteral("yyyy-mm-dd");
    ResetLoggedOn(*r.Dm, r.fmlogin->CurrentUser);
    r.fmlogin->CurrentUser.clear();
    formatSettings().shortDateFormat = QStringLiteral("mm/dd/yyyy");
    LogWrite(QStringLiteral("Logout"), 0);
    r.fmlogin->showEmpty();
    hide();
    for (const char* field : { "Edit1", "Edit2" }) {
        if (auto* e = findChild<QLineEdit*>(QLatin1String(field)))
            e->clear();
    }
}

void Tfrmadminoptions::closeEvent(QCloseEvent* event)
{
    Roster& r = roster();
    LogAdd(QStringLiteral("************TERMINATING POS*************"));
    ResetLoggedOn(*r.Dm, r.fmlogin->CurrentUser);
    r.fmlogin->CurrentUser.clear();
    event->accept();
    r.fmlogin->close();
}
