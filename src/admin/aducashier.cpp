#include "admin/aducashier.h"

#include "admin/aducashierpas.h"
#include "app/roster.h"
#include "backoffice/menuback.h"
#include "config/companylogo.h"
#include "db/datamodulepos.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_aducashier.h"

#include <QCloseEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>

namespace {

const int kStatusRole = Qt::UserRole;

QPixmap statusIcon(bool online)
{
    QPixmap p(18, 18);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(online ? QColor(0, 170, 0) : QColor(200, 200, 200));
    painter.drawEllipse(QRectF(1.5, 1.5, 15, 15));
    return p;
}

} // namespace

Tfrmaducashier::Tfrmaducashier(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfrmaducashier>())
{
    ui->setupUi(this);
    setObjectName(S("Tfrmaducashier"));

    ui->StringGrid1->setColumnCount(3);
    ui->StringGrid1->setRowCount(0);
    ui->StringGrid1->setHorizontalHeaderLabels({ S("Serial No."), S("Status"), S("User Name") });
    ui->StringGrid1->verticalHeader()->hide();
    ui->StringGrid1->verticalHeader()->setDefaultSectionSize(34);
    ui->StringGrid1->horizontalHeader()->setStretchLastSection(true);
    ui->imgOnline->setPixmap(statusIcon(true));
    ui->imgOffline->setPixmap(statusIcon(false));
    connect(ui->StringGrid1, &QTableWidget::cellClicked, this, [this](int row, int) { StringGrid1SelectCell(row); });

    // User fields: names of letters and digits; passwords up to 13 characters.
    ui->combo_user->setCurrentIndex(-1);
    ui->username->setMaxLength(10);
    ui->username->setValidator(new QRegularExpressionValidator(QRegularExpression(S("[A-Za-z0-9]*")), ui->username));
    // A full name takes no more letters; what is typed is kept (the field's length stops the rest).
    KeyFilter::install(ui->username, [](const QString&, QChar key) {
        return key == QLatin1Char('\b') || (key.unicode() < 128 && key.isLetterOrNumber());
    });
    // A character typed into a full password field starts that field afresh; Backspace and the
    // keys that type nothing keep it.
    for (QLineEdit* field : { ui->password, ui->E_re_password }) {
        field->setMaxLength(13);
        KeyFilter::install(field, [this, field](const QString& text, QChar key) {
            if (key == QLatin1Char('\b') || text.size() <= 12 || field->hasSelectedText())
                return true;
            field->clear();
            ui->lbl_display->setText(S("Password too long"));
            return false;
        });
    }
    ui->E_re_password->installEventFilter(this);
    ui->combo_user->installEventFilter(this);
    ui->StringGrid1->installEventFilter(this);
    // Tab and Shift+Tab leave the user list; the arrow keys choose in it
    ui->StringGrid1->setTabKeyNavigation(false);

    // Limit fields: each takes its keys and applies its bound after each key.
    const QList<QPair<QLineEdit*, LimitField>> limits {
        { ui->Edit1, LimitField::Rate },
        { ui->Edit2, LimitField::Quantity },
        { ui->Edit4, LimitField::Purchase },
        { ui->Edit3, LimitField::Minimal },
        { ui->E_hold_limit, LimitField::HoldLimit },
        { ui->edt_part_pay, LimitField::PartPaymentDays },
        { ui->edt_minimal, LimitField::MinimalValue },
        { ui->edt_round_off, LimitField::RoundOff },
    };
    for (const auto& [field, kind] : limits) {
        const bool point = kind == LimitField::Rate || kind == LimitField::MinimalValue;
        field->setMaxLength(45);
        field->setValidator(
            new QRegularExpressionValidator(QRegularExpression(point ? S("[0-9.]*") : S("[0-9]*")), field));
        KeyFilter::install(
            field, [kind](const QString&, QChar key) { return LimitKeyAllowed(kind, key); },
            [field, kind] {
                const LimitRuleResult r = ApplyLimitRule(kind, field->text());
                if (!r.message.isEmpty())
                    ShowMsg(r.message);
                if (r.text != field->text())
                    field->setText(r.text);
            });
    }

    connect(ui->Button2, &QPushButton::clicked, this, &Tfrmaducashier::Button2Click);
    connect(ui->Button3, &QPushButton::clicked, this, &Tfrmaducashier::Button3Click);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfrmaducashier::Button1Click);
    connect(ui->btn_change, &QPushButton::clicked, this, &Tfrmaducashier::btn_changeClick);
    connect(ui->Button7, &QPushButton::clicked, this, &Tfrmaducashier::Button7Click);
    connect(ui->Button5, &QPushButton::clicked, this, &Tfrmaducashier::Button5Click);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &Tfrmaducashier::BitBtn1Click);
    setUserButtons(true, true, true);
}

Tfrmaducashier::~Tfrmaducashier() = default;

void Tfrmaducashier::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous() || m_browsing)
        return;
    // "logout" belongs to the first-user mode, where the settings are closed.
    ui->BitBtn1->setVisible(!ui->GroupBox2->isEnabled());
    FormActivate();
}

void Tfrmaducashier::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_browsing) {
        DisableContextMenus(this);
        refreshstringgrid();
    }
}

void Tfrmaducashier::FormActivate()
{
    refreshstringgrid();
    setUserButtons(true, true, true);
    ui->lbl_display->clear();
    DisableContextMenus(this);
    loadSettings();
}

void Tfrmaducashier::loadSettings()
{
    TDm& dm = *roster().Dm;
    const SalesLimits l = LoadSalesLimits(dm);
    ui->Edit1->setText(l.rate);
    ui->Edit2->setText(l.quantity);
    ui->Edit4->setText(l.purchase);
    ui->Edit3->setText(l.minimal);
    ui->E_hold_limit->setText(l.holdLimit);
    ui->edt_minimal->setText(l.minimalValue);
    ui->edt_part_pay->setText(l.partPaymentDays);
    ui->edt_round_off->setText(l.roundOff);
    ui->CheckBox1->setChecked(l.roundAmount);
    showLogo(CompanyLogoFile(LogoFolder(dm), roster().frmadminoptions->AdminCompanyDb));
}

void Tfrmaducashier::showLogo(const QString& file)
{
    const QPixmap picture(file);
    if (file.isEmpty() || picture.isNull()) {
        ui->Image7->clear();
        return;
    }
    ui->Image7->setPixmap(picture.scaled(ui->Image7->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void Tfrmaducashier::refreshstringgrid()
{
    const QList<UserRow> users = ListUsers(*roster().Dm);
    QTableWidget* grid = ui->StringGrid1;
    grid->clearContents();
    // no users, no rows: an empty row would read as a user without a name
    grid->setRowCount(int(users.size()));
    for (int i = 0; i < users.size(); ++i) {
        const UserRow& u = users.at(i);
        grid->setItem(i, 0, new QTableWidgetItem(QString::number(i + 1)));
        // the status is drawn as its icon; the word stays with the cell
        auto* status = new QTableWidgetItem(QIcon(statusIcon(u.online)), QString());
        status->setData(kStatusRole, u.online ? S("online") : S("offline"));
        status->setToolTip(u.online ? S("Online") : S("Offline"));
        grid->setItem(i, 1, status);
        grid->setItem(i, 2, new QTableWidgetItem(u.name));
    }
}

void Tfrmaducashier::StringGrid1SelectCell(int row)
{
    const QTableWidgetItem* item = ui->StringGrid1->item(row, 2);
    if (!item || item->text().isEmpty())
        return;
    Roster& r = roster();
    const UserRow u = ReadUser(*r.Dm, item->text());
    ui->username->setText(u.name);
    // a stored password is never shown: it is typed to remove the user or to set a new one
    ui->password->clear();
    ui->E_re_password->clear();
    ui->combo_user->setCurrentIndex(ui->combo_user->findText(u.role));
    // A logged-on cashier cannot be changed; nobody removes the user logged in here.
    if (u.online && u.role != S("admin"))
        setUserButtons(false, false, false);
    else
        setUserButtons(true, true, u.name != ScreenLabel(r.frmmenu, S("Label1")));
}

void Tfrmaducashier::setUserButtons(bool add, bool change, bool remove)
{
    ui->Button2->setEnabled(add);
    ui->Button3->setEnabled(change);
    ui->Button1->setEnabled(remove);
}

QString Tfrmaducashier::role() const
{
    return ui->combo_user->currentIndex() >= 0 ? ui->combo_user->currentText() : QString();
}

bool Tfrmaducashier::detailsMissing(bool withRetype)
{
    if (!ui->username->text().isEmpty() && !ui->password->text().isEmpty() && !role().isEmpty()
        && (!withRetype || !ui->E_re_password->text().isEmpty()))
        return false;
    ShowMsg(S("Please Enter the Details"));
    if (ui->username->text().isEmpty())
        ui->username->setFocus();
    else if (ui->password->text().isEmpty())
        ui->password->setFocus();
    return true;
}

void Tfrmaducashier::clearUserFields(bool withRetype)
{
    ui->username->clear();
    ui->password->clear();
    ui->combo_user->setCurrentIndex(-1);
    if (withRetype)
        ui->E_re_password->clear();
}

QString Tfrmaducashier::currentUser() const
{
    return roster().fmlogin ? roster().fmlogin->CurrentUser : QString();
}

Tfrmaducashier::NewSuperPassword Tfrmaducashier::askNewSuperPassword()
{
    Dialogs& dialogs = services().dialogs();
    for (;;) {
        QString first;
        QString second;
        if (!dialogs.askPassword(S("Set the shop's Superpassword"), first) || first == S("%%%"))
            return NewSuperPassword::Cancelled;
        if (first.size() < kSuperPasswordMinLength) {
            ShowMsg(S("The Superpassword needs at least %1 characters").arg(kSuperPasswordMinLength));
            continue;
        }
        if (!dialogs.askPassword(S("Retype the Superpassword"), second) || second == S("%%%"))
            return NewSuperPassword::Cancelled;
        if (second != first) {
            ShowMsg(S("Superpasswords do not match"));
            continue;
        }
        if (StoreSuperPassword(*roster().Dm, first, currentUser()))
            return NewSuperPassword::Set;
        ShowMsg(S("Another terminal has set the Superpassword meanwhile"));
        return NewSuperPassword::SetElsewhere;
    }
}

void Tfrmaducashier::Button2Click()
{
    if (detailsMissing(true))
        return;
    // The shop's first administrator sets the shop's super-password; no administrator without it.
    if (AddingNeedsSuperPassword(*roster().Dm, ui->username->text(), role())
        && askNewSuperPassword() == NewSuperPassword::Cancelled) {
        ShowMsg(S("An administrator is added only once the shop's Superpassword is set"));
        return;
    }
    ShowMsg(AddUser(*roster().Dm, ui->username->text(), ui->password->text(), role(), currentUser()));
    clearUserFields(true);
    refreshstringgrid();
}

void Tfrmaducashier::Button3Click()
{
    if (ui->password->text() != ui->E_re_password->text()) {
        ui->E_re_password->clear();
        ShowMsg(S("password not matching"));
        return;
    }
    if (detailsMissing(false))
        return;
    TDm& dm = *roster().Dm;
    const QString name = ui->username->text();
    if (!UserWithRoleExists(dm, name, role())) {
        ShowMsg(S("User with this privilege does not exist"));
    } else if (services().dialogs().askYesNo(S("Are you sure you want to change password? ")) == Dialogs::Answer::Yes) {
        if (ChangePassword(dm, name, ui->password->text(), role(), currentUser()))
            ShowMsg(S("Password changed!!!"));
        else // removed or given another role meanwhile
            ShowMsg(S("User with this privilege does not exist"));
        ui->E_re_password->clear();
    }
    clearUserFields(false);
    refreshstringgrid();
}

void Tfrmaducashier::Button1Click()
{
    if (detailsMissing(true))
        return;
    TDm& dm = *roster().Dm;
    const QString name = ui->username->text();
    const QString password = ui->password->text();
    QString stored;
    switch (CheckRemoval(dm, name, password, role(), &stored)) {
    case RemovalCheck::NoSuchUser:
        ShowMsg(S("User does not exist"));
        clearUserFields(true);
        refreshstringgrid();
        return;
    case RemovalCheck::UnknownRole:
        ShowMsg(S("Superpassword is incorrect"));
        return;
    case RemovalCheck::NeedsSuperPassword:
        // A shop without one yet (an installation from before) sets it here, first.
        if (!SuperPasswordSet(dm)) {
            const NewSuperPassword set = askNewSuperPassword();
            if (set == NewSuperPassword::Cancelled)
                return;
            if (set == NewSuperPassword::Set)
                break;
        }
        for (;;) {
            QString typed;
            // cancelling ends the removal without a word, the fields kept
            if (!services().dialogs().askPassword(S("Please Enter the Superpassword"), typed) || typed == S("%%%"))
                return;
            if (IsSuperPassword(dm, typed))
                break;
        }
        break;
    case RemovalCheck::Allowed:
        break;
    }
    if (services().dialogs().askYesNo(S("Are you sure you want to delete user? ")) != Dialogs::Answer::Yes)
        return;
    // the password may have been changed, or the user removed, meanwhile
    if (!RemoveUser(dm, name, role(), stored, currentUser()))
        ShowMsg(S("User does not exist"));
    clearUserFields(true);
    refreshstringgrid();
}

bool Tfrmaducashier::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->StringGrid1 && event->type() == QEvent::KeyRelease) {
        // a user chosen with the keys fills the fields as a click does
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            if (ui->StringGrid1->currentRow() >= 0)
                StringGrid1SelectCell(ui->StringGrid1->currentRow());
            break;
        default:
            break;
        }
    }
    if (watched == ui->combo_user && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // the role is chosen from the list, never typed; Tab and Shift+Tab move on
        if (!key->text().isEmpty() && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
            return true;
    }
    if (watched == ui->E_re_password && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            E_re_passwordExit();
    }
    return QWidget::eventFilter(watched, event);
}

void Tfrmaducashier::E_re_passwordExit()
{
    if (ui->E_re_password->text() == ui->password->text())
        return;
    ui->E_re_password->clear();
    ShowMsg(S("password not matching"));
}

void Tfrmaducashier::btn_changeClick()
{
    SalesLimits l;
    l.rate = ui->Edit1->text();
    l.quantity = ui->Edit2->text();
    l.purchase = ui->Edit4->text();
    l.minimal = ui->Edit3->text();
    l.holdLimit = ui->E_hold_limit->text();
    l.partPaymentDays = ui->edt_part_pay->text();
    l.minimalValue = ui->edt_minimal->text();
    l.roundOff = ui->edt_round_off->text();
    l.roundAmount = ui->CheckBox1->isChecked();
    // an empty field, or one that does not read as a number (a lone "."), is refused alike
    if (!SalesLimitsComplete(l)) {
        ShowMsg(S("Enter the values "));
        return;
    }
    ChangeSalesLimits(*roster().Dm, l, roster().frmadminoptions->AdminSettingsKey);
    ShowMsg(S("Values changed"));
}

void Tfrmaducashier::Button7Click()
{
    ui->Edit5->setText(services().dialogs().chooseFolder(S("Select a directory")));
}

void Tfrmaducashier::Button5Click()
{
    Roster& r = roster();
    // An installed program's folder is the system's: the logo goes to the user's data folder then.
    const QString programFolder
        = ProgramFolderTakesFiles() ? services().paths().programFolder() : services().paths().dataFolder();
    if (ui->Edit5->text().isEmpty())
        ui->Edit5->setText(programFolder);

    // Only the file dialog is seen while it is open; the screen and the menu come back after it.
    const bool menuShown = r.frmmenu->isVisible();
    m_browsing = true;
    r.frmmenu->hide();
    hide();
    const QString chosen
        = services().dialogs().chooseFile(S("Select The Logo"), programFolder, S("Files (*.bmp *.ico *.jpg)"));
    if (menuShown)
        r.frmmenu->show();
    show();
    m_browsing = false;
    if (chosen.isEmpty())
        return;

    QString error;
    const QString logo
        = ReplaceCompanyLogo(*r.Dm, ui->Edit5->text(), r.frmadminoptions->AdminCompanyDb, chosen, &error);
    if (logo.isEmpty()) {
        ShowMsg(error);
        return;
    }
    showLogo(logo);
    // the menu shows the new logo too, not the one it loaded when the back office was entered
    if (r.frmmenu)
        r.frmmenu->showLogo();
}

void Tfrmaducashier::enableSettings()
{
    for (QWidget* w :
        std::initializer_list<QWidget*> { ui->GroupBox2, ui->GroupBox4, ui->btn_change, ui->Button5, ui->Button7 })
        w->setEnabled(true);
}

void Tfrmaducashier::BitBtn1Click()
{
    Roster& r = roster();
    enableSettings();
    r.fmlogin->showEmpty();
    hide();
    r.frmmenu->hide();
}

void Tfrmaducashier::closeEvent(QCloseEvent* event)
{
    enableSettings();
    event->accept();
    // as with every working screen, closing it ends the program through the main window
    if (roster().fmlogin)
        QMetaObject::invokeMethod(static_cast<QWidget*>(roster().fmlogin), "close", Qt::QueuedConnection);
}
