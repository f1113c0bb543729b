#include "login/selectpos.h"

#include "app/roster.h"
#include "app/splashScreen.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/logincheck.h"
#include "login/poslogin.h"
#include "login/selectpospas.h"
#include "platform/keyfilter.h"
#include "platform/services.h"
#include "sales/posorderitem.h"
#include "ui_selectpos.h"

#include <QCloseEvent>
#include <QLineEdit>

Tfrmselectpos::Tfrmselectpos(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfrmselectpos>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tfrmselectpos"));
    DisableContextMenus(this);
    connect(ui->ComboBox1, &QComboBox::activated, this, &Tfrmselectpos::ComboBox1Change);
    connect(ui->btnnext, &QPushButton::clicked, this, &Tfrmselectpos::btnnextClick);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &Tfrmselectpos::BitBtn1Click);
    connect(ui->Image2, &QToolButton::clicked, this, [] { services().help().showTopic(QStringLiteral("Login.htm")); });
}

Tfrmselectpos::~Tfrmselectpos() = default;

void Tfrmselectpos::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormShow();
}

void Tfrmselectpos::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        DisableContextMenus(this);
}

void Tfrmselectpos::FormShow()
{
    ui->ComboBox1->clear();
    ui->ComboBox1->addItems(CompanyList(*roster().Dm));
    ui->ComboBox1->setCurrentIndex(-1);
}

void Tfrmselectpos::ComboBox1Change()
{
    const CompanyChoice choice = MakeCompanyChoice(ui->ComboBox1->currentText());
    roster().Dm->setCompanyDatabase(choice.database, false);
}

void Tfrmselectpos::btnnextClick()
{
    Roster& r = roster();
    hide();
    HoldSplash(1);
    SetScreenLabel(r.frmmenupos, QStringLiteral("Label10"), r.fmlogin->CurrentUser);
    LogWrite(QStringLiteral("pos section"), 0);
    const QString selected = ui->ComboBox1->currentIndex() >= 0 ? ui->ComboBox1->currentText() : QString();
    const CompanyChoice choice = MakeCompanyChoice(selected);
    CompanySettingsKey = choice.settingsKey;
    if (auto* customer = r.fmorderitem->findChild<QLineEdit*>(QStringLiteral("ECustName")))
        customer->clear();
    SelectedCompanyName = choice.name;
    SelectedCompanyDb = choice.database;
    r.Dm->setCompanyDatabase(SelectedCompanyDb, true);
    if (!selected.isEmpty()) {
        r.frmmenupos->show();
        hide();
    } else {
        ShowMsg(QStringLiteral("Select the Company"));
        show();
    }
    SetScreenLabel(
        r.frmmenupos, QStringLiteral("Label3"), QString(SelectedCompanyDb).replace(QLatin1Char('_'), QLatin1Char(' ')));
}

void Tfrmselectpos::BitBtn1Click()
{
    Roster& r = roster();
    ResetLoggedOn(*r.Dm, r.fmlogin->CurrentUser);
    r.fmlogin->CurrentUser.clear();
    LogWrite(QStringLiteral("Logged out"), 0);
    hide();
    r.fmlogin->showEmpty();
}

void Tfrmselectpos::closeEvent(QCloseEvent* event)
{
    Roster& r = roster();
    ResetLoggedOn(*r.Dm, r.fmlogin->CurrentUser);
    r.fmlogin->CurrentUser.clear();
    event->accept();
    r.fmlogin->close();
}
