#include "sales/salesorderdetails.h"

#include "app/roster.h"
#include "bills/billprint.h"
#include "bills/billprintpas.h"
#include "bills/custdetails.h"
#include "bills/custdetailspas.h"
#include "bills/homedelivery.h"
#include "bills/homedeliverypas.h"
#include "bills/paymentdetails.h"
#include "config/formatsettings.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "platform/datepicker.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/posorderitem.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetailspas.h"
#include "ui_salesorderdetails.h"

#include <QCalendarWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QTabBar>
#include <QTimeEdit>

namespace {

const QRect kPanelPlace(16, 31, 300, 233);
const QKeySequence kHoldKeys(Qt::CTRL | Qt::Key_H);

enum Tab { CashTab = 0, CardTab = 1, ChequeTab = 2 };

// Digits are 0 to 9 only: other scripts' digits are no number to the server.
bool isAmountDigit(QChar key)
{
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

bool amountKey(const QString& text, QChar key)
{
    return key == QLatin1Char('\b') || isAmountDigit(key) || (key == QLatin1Char('.') && !text.contains(QLatin1Char('.')));
}

bool digitKey(const QString&, QChar key)
{
    return key == QLatin1Char('\b') || isAmountDigit(key);
}

bool bankKey(const QString&, QChar key)
{
    return key == QLatin1Char('\b') || key.isLetter() || key == QLatin1Char(' ') || key == QLatin1Char('.');
}

bool letterKey(const QString&, QChar key)
{
    return key == QLatin1Char('\b') || key.isLetter();
}

// The order screen's hidden date and time pickers: the moment of the bill.
QDateEdit* orderDatePicker()
{
    return roster().fmorderitem->findChild<QDateEdit*>(S("DateTimePicker1"));
}

QTimeEdit* orderTimePicker()
{
    return roster().fmorderitem->findChild<QTimeEdit*>(S("DateTimePicker2"));
}

} // namespace

void ForgetBillCustomer()
{
    Roster& r = roster();
    if (r.fmorderitem)
        r.fmorderitem->setBillCustomer(QString(), QString());
    if (r.fmsalesorderdtls)
        r.fmsalesorderdtls->setCustomerName(QString());
    if (r.fmcustdetails)
        r.fmcustdetails->SelectedCustomerId.clear();
}

void TakeBillCustomer(const BillKey& bill)
{
    Roster& r = roster();
    const BillCustomer own = CustomerOfBill(*r.Dm, bill);
    ForgetBillCustomer();
    // a walk-in customer's id names nobody: the bill keeps it without a name on the screens
    if (own.name.isEmpty())
        return;
    r.fmorderitem->setBillCustomer(bill.terminalId + QLatin1Char('/') + bill.billNo, own.name);
    r.fmsalesorderdtls->setCustomerName(own.name);
    r.fmcustdetails->SelectedCustomerId = own.id;
}

Tfmsalesorderdtls::Tfmsalesorderdtls(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmsalesorderdtls>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tfmsalesorderdtls"));
    ui->Label23->clear();
    formatSettings().dateSeparator = QLatin1Char('-');
    formatSettings().decimalSeparator = QLatin1Char('.');

    m_grid = new QueryTableModel(
        { S("itemname"), S("rate"), S("quantity"), S("price"), S("itax"), S("isubtotal"), S("discount"), S("total") },
        { S("ITEM"), S("RATE"), S("QUANTITY"), S("PRICE"), S("TAX"), S("SUBTOTAL"), S("DISCOUNT"), S("TOTAL") }, this);
    ui->DBGrid1->setModel(m_grid);
    ui->DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->DBGrid1->verticalHeader()->hide();

    m_tabs = new QTabBar(ui->PaymentArea);
    m_tabs->setObjectName(S("TabControl1"));
    for (const char* caption : { "Cash", "Card", "Cheque" })
        m_tabs->addTab(S(caption));
    m_tabs->setGeometry(kPanelPlace.left(), 0, kPanelPlace.width(), kPanelPlace.top());
    // the tabs are chosen with F9, F10 and F11 (or a click); Tab passes them by
    m_tabs->setFocusPolicy(Qt::ClickFocus);
    showPanel(CashTab);
    // Tab from the lines goes to the payment shown, then its OK, and on to the bill's other actions
    QWidget* order[] = { ui->DBGrid1, ui->EAmtpaidcas, ui->BtnCash, ui->ECardNo, ui->EcardName, ui->EBank,
        ui->EAmtPaidCard, ui->BtnCard, ui->EChequeNo, ui->EBankNameChe, ui->DateTimePicker3, ui->EAmtPaidCheque,
        ui->btnCheque, ui->RadioGroup1TakeAway, ui->RadioGroup1Home, ui->btnHomedelivery, ui->Button1, ui->btnhold,
        ui->btnprintbill, ui->btnnextbill };
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    ui->DBGrid1->setTabKeyNavigation(false);

    // Key rules as typed; validators keep pasted or dropped text to the same characters.
    const auto validate = [](QLineEdit* e, const char* pattern) {
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(S(pattern)), e));
    };
    for (QLineEdit* amount : { ui->EAmtpaidcas, ui->EAmtPaidCard, ui->EAmtPaidCheque }) {
        KeyFilter::install(amount, amountKey);
        validate(amount, "[0-9]*\\.?[0-9]*");
    }
    KeyFilter::install(ui->ECardNo, digitKey);
    KeyFilter::install(ui->EChequeNo, digitKey);
    validate(ui->ECardNo, "[0-9]*");
    validate(ui->EChequeNo, "[0-9]*");
    for (QLineEdit* bank : { ui->EBank, ui->EBankNameChe }) {
        KeyFilter::install(bank, bankKey);
        validate(bank, "[\\p{L} .]*");
    }
    KeyFilter::install(ui->EcardName, letterKey);
    validate(ui->EcardName, "\\p{L}*");

    connect(m_tabs, &QTabBar::currentChanged, this, &Tfmsalesorderdtls::TabControl1Change);
    connect(ui->RadioGroup1TakeAway, &QRadioButton::clicked, this, &Tfmsalesorderdtls::takeAwayChosen);
    connect(ui->RadioGroup1Home, &QRadioButton::clicked, this, &Tfmsalesorderdtls::RadioGroup1Click);
    connect(ui->btnHomedelivery, &QPushButton::clicked, this, &Tfmsalesorderdtls::btnHomedeliveryClick);
    connect(ui->BtnCash, &QPushButton::clicked, this, &Tfmsalesorderdtls::BtnCashClick);
    connect(ui->BtnCard, &QPushButton::clicked, this, &Tfmsalesorderdtls::BtnCardClick);
    connect(ui->btnCheque, &QPushButton::clicked, this, &Tfmsalesorderdtls::btnChequeClick);
    connect(ui->btnhold, &QPushButton::clicked, this, &Tfmsalesorderdtls::btnholdClick);
    connect(ui->btnsave, &QPushButton::clicked, this, &Tfmsalesorderdtls::btnsaveClick);
    connect(ui->btnprintbill, &QPushButton::clicked, this, &Tfmsalesorderdtls::btnprintbillClick);
    connect(ui->btnnextbill, &QPushButton::clicked, this, &Tfmsalesorderdtls::btnnextbillClick);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfmsalesorderdtls::Button1Click);
    // the calendar closes on a click; the date is checked once the picker holds it
    OnDatePicked(
        ui->DateTimePicker3, this, [this] { DateTimePicker3CloseUp(); }, DatePicked::FromCalendar);

    auto shortcut = [this](const QKeySequence& keys, auto handler) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        m_shortcutKeys << keys;
        connect(s, &QShortcut::activated, this, handler);
    };
    shortcut(QKeySequence(Qt::Key_F9), [this] { m_tabs->setCurrentIndex(CashTab); });
    shortcut(QKeySequence(Qt::Key_F10), [this] { m_tabs->setCurrentIndex(CardTab); });
    shortcut(QKeySequence(Qt::Key_F11), [this] { m_tabs->setCurrentIndex(ChequeTab); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_D), [this] {
        ui->RadioGroup1->setFocus();
        ui->RadioGroup1TakeAway->setChecked(true);
        ui->RadioGroup1TakeAway->setFocus();
        takeAwayChosen();
    });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_B), [this] { btnnextbillClick(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_C), [this] {
        if (!m_complete)
            Button1Click();
    });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_P), [this] {
        if (ui->btnprintbill->isVisible())
            btnprintbillClick();
    });
    // Ctrl+H is this screen's "HOLD", before the POS menu's "HOME": see eventFilter
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
}

Tfmsalesorderdtls::~Tfmsalesorderdtls() = default;

QString Tfmsalesorderdtls::billNo() const
{
    return ui->lblbillno->text();
}

QString Tfmsalesorderdtls::terminalId() const
{
    return ui->lbl_machine_id->text();
}

QString Tfmsalesorderdtls::customerName() const
{
    return ui->cname->text();
}

void Tfmsalesorderdtls::setCustomerName(const QString& name)
{
    ui->cname->setText(name);
    m_customerBill = name.isEmpty() ? QString() : ui->Label27->text();
}

BillKey Tfmsalesorderdtls::bill() const
{
    return { terminalId(), billNo() };
}

void Tfmsalesorderdtls::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // a window restored from the task bar shows the same bill as before
    if (!event->spontaneous())
        FormShow();
}

void Tfmsalesorderdtls::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        FormActivate();
}

bool Tfmsalesorderdtls::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        if (keys == kHoldKeys) {
            // taken here as a key press, so the menu's application-wide Ctrl+H (HOME) never sees it
            event->accept();
            return true;
        }
        if (m_shortcutKeys.contains(keys)) {
            // this screen's shortcuts win over the text fields' own use of the keys (Ctrl+C)
            event->ignore();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (QKeySequence(key->keyCombination()) == kHoldKeys) {
            holdShortcut();
            return true;
        }
        if (watched == ui->DBGrid1 && key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            // the payment fields of the tab shown, not the grid's next cell
            focusNextChild();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Tfmsalesorderdtls::FormShow()
{
    Roster& r = roster();
    ui->btnprintbill->hide();
    ui->btnsave->hide();
    m_tabs->setCurrentIndex(CashTab);
    showPanel(CashTab);
    const QDateTime now = services().clock().now();
    ui->DateTimePicker3->setDate(now.date());

    // a bill resumed on the payment details screen, or the order screen's bill
    const Tfmpaymentdetails* payments = r.fmpaymentdetails;
    QString billNo;
    QString terminalId;
    if (payments && payments->ResumeFlag == 1) {
        billNo = payments->ResumeBillNo;
        terminalId = payments->ResumeTerminalId;
    } else {
        billNo = ScreenLabel(r.fmorderitem, S("EBillNo"));
        terminalId = ScreenLabel(r.fmorderitem, S("Label6"));
    }
    ui->lbl_machine_id->setText(terminalId);
    ui->lblbillno->setText(billNo);
    ui->Label27->setText(terminalId + QLatin1Char('/') + billNo);
    m_itemsSettled = false;
    // A resumed bill is paid under its own customer, not under the name left from the bill
    // before; a name given to this very bill (its delivery's customer) stays.
    if (payments && payments->ResumeFlag == 1 && m_customerBill != ui->Label27->text())
        TakeBillCustomer(bill());
    // the bill shown here is this terminal's alone until it leaves the counter
    const QString lockRefusal = r.fmpaymentdetails->LockShownBill(terminalId, billNo);

    const bool home = HasDeliveryCharges(*r.Dm, bill());
    (home ? ui->RadioGroup1Home : ui->RadioGroup1TakeAway)->setChecked(true);
    RadioGroup1Click();

    m_shownAt = now;
    if (QDateEdit* d = orderDatePicker())
        d->setDate(now.date());
    if (QTimeEdit* t = orderTimePicker())
        t->setTime(now.time());
    ui->lbldate->setText(now.date().toString(S("dd-MM-yyyy")));
    ui->lbltime->setText(timeToStr(now.time()));

    refreshGrid();
    showSummary();
    // what activation does, also for a screen the window manager never activates
    FormActivate();
    if (!lockRefusal.isEmpty())
        ShowMsg(lockRefusal);
}

void Tfmsalesorderdtls::FormActivate()
{
    for (QLineEdit* e : { ui->ECardNo, ui->EcardName, ui->EBank, ui->EAmtPaidCard, ui->EChequeNo, ui->EBankNameChe,
             ui->EAmtPaidCheque, ui->EAmtpaidcas })
        e->clear();
    enableActions();
    DisableContextMenus(this);
}

void Tfmsalesorderdtls::enableActions()
{
    // a complete bill is neither paid nor held again: its lines are out of stock once already
    for (QWidget* w : { static_cast<QWidget*>(ui->BtnCash), static_cast<QWidget*>(ui->BtnCard),
             static_cast<QWidget*>(ui->btnCheque), static_cast<QWidget*>(ui->btnhold) })
        w->setEnabled(!m_complete);
    ui->Button1->setEnabled(!m_complete && m_changeAllowed && !m_itemsSettled);
}

void Tfmsalesorderdtls::showPanel(int tab)
{
    QWidget* panels[] = { ui->PanelCash, ui->PanelCard, ui->PanelCheque };
    for (int i = 0; i < 3; ++i) {
        panels[i]->setGeometry(kPanelPlace);
        panels[i]->setVisible(i == tab);
    }
}

void Tfmsalesorderdtls::emptyPanelFields(int tab)
{
    switch (tab) {
    case CashTab:
        ui->EAmtpaidcas->clear();
        break;
    case CardTab:
        for (QLineEdit* e : { ui->ECardNo, ui->EcardName, ui->EBank, ui->EAmtPaidCard })
            e->clear();
        break;
    case ChequeTab:
        for (QLineEdit* e : { ui->EChequeNo, ui->EBankNameChe, ui->EAmtPaidCheque })
            e->clear();
        break;
    default:
        break;
    }
}

void Tfmsalesorderdtls::TabControl1Change()
{
    const int tab = m_tabs->currentIndex();
    for (int other = CashTab; other <= ChequeTab; ++other) {
        if (other != tab)
            emptyPanelFields(other);
    }
    showPanel(tab);
}

void Tfmsalesorderdtls::RadioGroup1Click()
{
    ui->btnHomedelivery->setVisible(ui->RadioGroup1Home->isChecked());
}

void Tfmsalesorderdtls::takeAwayChosen()
{
    // a bill taken away loses its delivery and charges, or stays a home delivery once paid for
    const TakeAwayOutcome out = TakeBillAway(*roster().Dm, bill());
    if (out.staysHome)
        ui->RadioGroup1Home->setChecked(true);
    RadioGroup1Click();
    if (out.takenAway)
        showSummary();
    for (const QString& message : out.messages)
        ShowMsg(message);
}

void Tfmsalesorderdtls::btnHomedeliveryClick()
{
    Roster& r = roster();
    Fixposition(r.fmhomedelivery);
    r.fmhomedelivery->show();
    hide();
}

void Tfmsalesorderdtls::DateTimePicker3CloseUp()
{
    // a cheque is dated after now: today itself, taken at midnight, is already past
    const QDateTime now = services().clock().now();
    if (QDateTime(ui->DateTimePicker3->date(), QTime(0, 0)) < now) {
        ShowMsg(S("Select Proper Date"));
        ui->DateTimePicker3->setDate(now.date());
    }
}

QLineEdit* Tfmsalesorderdtls::amountBox(PaymentMethod method) const
{
    switch (method) {
    case PaymentMethod::Card:
        return ui->EAmtPaidCard;
    case PaymentMethod::Cheque:
        return ui->EAmtPaidCheque;
    case PaymentMethod::Cash:
        break;
    }
    return ui->EAmtpaidcas;
}

void Tfmsalesorderdtls::BtnCashClick()
{
    pay(PaymentMethod::Cash);
}

void Tfmsalesorderdtls::BtnCardClick()
{
    pay(PaymentMethod::Card);
}

void Tfmsalesorderdtls::btnChequeClick()
{
    pay(PaymentMethod::Cheque);
}

void Tfmsalesorderdtls::pay(PaymentMethod method)
{
    Roster& r = roster();
    const QTimeEdit* time = orderTimePicker();
    const QDateEdit* date = orderDatePicker();
    PaymentRequest req;
    req.settle.bill = bill();
    req.settle.method = method;
    req.settle.amount = amountBox(method)->text();
    req.settle.date = (date ? date->date() : m_shownAt.date()).toString(S("yyyy-MM-dd"));
    req.settle.time = (time ? time->time() : m_shownAt.time()).toString(S("HH:mm:ss"));
    req.settle.customer = { ui->cname->text(), r.fmcustdetails->SelectedCustomerId };
    req.cardNo = ui->ECardNo->text();
    req.cardHolder = ui->EcardName->text();
    req.bank = method == PaymentMethod::Card ? ui->EBank->text() : ui->EBankNameChe->text();
    req.chequeNo = ui->EChequeNo->text();
    req.chequeDate = ui->DateTimePicker3->date();
    req.shownBalance = ui->lblbalrs->text();
    req.homeDelivery = ui->RadioGroup1Home->isChecked();
    req.stampDate = m_shownAt.date().toString(S("yyyy-MM-dd"));
    req.stampTime = (time ? time->time() : m_shownAt.time()).toString(S("HH.mm.ss.zzz"));
    req.thisTerminal = r.frmadminoptions->TerminalId;

    const PaymentOutcome out = RunPayment(*r.Dm, req);
    if (out.emptyAmount)
        amountBox(method)->clear();
    if (out.checked) {
        m_itemsSettled = true;
        ui->Button1->setEnabled(false);
    }
    if (out.recorded) {
        ui->btnprintbill->show();
        // the method's own fields; a cheque keeps its date
        if (method == PaymentMethod::Cash)
            emptyPanelFields(CashTab);
        else if (method == PaymentMethod::Card)
            emptyPanelFields(CardTab);
        else
            emptyPanelFields(ChequeTab);
    }
    if (out.recorded || out.checked || out.refused) {
        // a refused payment shows the bill as another terminal left it
        showSummary();
        refreshGrid();
    }
    if (out.refused)
        enableActions();
    if (out.settled.complete) {
        // paid in full: a resumed bill leaves the counter and its lock goes
        r.fmpaymentdetails->ReleaseResumedBill();
        for (QWidget* w : { static_cast<QWidget*>(ui->BtnCash), static_cast<QWidget*>(ui->BtnCard),
                 static_cast<QWidget*>(ui->btnCheque), static_cast<QWidget*>(ui->btnhold),
                 static_cast<QWidget*>(ui->btnnextbill), static_cast<QWidget*>(ui->Button1) })
            w->setEnabled(false);
    }
    for (const QString& message : out.messages)
        ShowMsg(message);
}

void Tfmsalesorderdtls::holdShortcut()
{
    if (!m_complete)
        btnholdClick();
}

void Tfmsalesorderdtls::btnholdClick()
{
    if (m_complete)
        return;
    Roster& r = roster();
    LogWrite(S("customer  kept on hold-->billnumber") + billNo(), 0);
    if (services().dialogs().askYesNo(S("Do You Want To Keep the Customer On Hold : YES / NO")) != Dialogs::Answer::Yes)
        return;
    const QTimeEdit* time = orderTimePicker();
    HoldRequest req;
    req.bill = bill();
    req.customer = { ui->cname->text(), r.fmcustdetails->SelectedCustomerId };
    req.stampDate = m_shownAt.date().toString(S("yyyy-MM-dd"));
    req.stampTime = (time ? time->time() : m_shownAt.time()).toString(S("HH.mm.ss.zzz"));
    req.thisTerminal = r.frmadminoptions->TerminalId;
    const BillChange held = HoldBill(*r.Dm, req);
    if (held)
        r.fmpaymentdetails->ReleaseResumedBill(); // held again: the bill leaves the counter
    for (QWidget* w : { static_cast<QWidget*>(ui->BtnCash), static_cast<QWidget*>(ui->BtnCard),
             static_cast<QWidget*>(ui->btnCheque), static_cast<QWidget*>(ui->Button1),
             static_cast<QWidget*>(ui->btnhold), static_cast<QWidget*>(ui->btnnextbill) })
        w->setEnabled(false);
    if (!held) {
        showSummary();
        ShowMsg(held.refusal);
    }
}

void Tfmsalesorderdtls::btnsaveClick()
{
    RecordDeliveryChoice(*roster().Dm, bill(), ui->RadioGroup1Home->isChecked() ? S("Home Delivery") : S("Take Away"));
    ui->btnprintbill->show();
    showSummary();
    refreshGrid();
}

void Tfmsalesorderdtls::btnprintbillClick()
{
    const PrintInProgress print;
    if (!print.isFirst())
        return;
    BillOnScreen shown;
    shown.bill = bill();
    shown.date = ui->lbldate->text();
    shown.time = ui->lbltime->text();
    shown.customer = ui->cname->text();
    shown.items = ui->lblnoitems->text();
    shown.subTotal = ui->lblSubtotal->text();
    shown.total = ui->lbltotal->text();
    shown.balance = ui->lblbalrs->text();
    shown.homeDelivery = ui->RadioGroup1Home->isChecked();
    // a bill that did not print stays here, "PRINT BILL" still offered
    if (PrintBill(*roster().Dm, shown))
        afterBillPrinted();
}

void Tfmsalesorderdtls::afterBillPrinted()
{
    ForgetBillCustomer();
    ui->btnprintbill->hide();
    refreshGrid();
    hide();
    showOrderScreen();
}

void Tfmsalesorderdtls::btnnextbillClick()
{
    Roster& r = roster();
    SetScreenLabel(r.fmorderitem, S("EBillNo"), NextBillNumber(*r.Dm, terminalId()));
    ForgetBillCustomer();
    hide();
    showOrderScreen();
}

void Tfmsalesorderdtls::Button1Click()
{
    if (m_complete)
        return;
    LogWrite(S("Change Item details"), 0);
    ReturnFlag = true;
    showOrderScreen();
    hide();
}

void Tfmsalesorderdtls::showOrderScreen()
{
    Roster& r = roster();
    Fixposition(r.fmorderitem);
    r.fmorderitem->show();
}

void Tfmsalesorderdtls::showSummary()
{
    const BillSummary s = ShowBillSummary(*roster().Dm, bill());
    ui->lbltax->setText(s.taxRate);
    ui->lblSubtotal->setText(s.subtotal);
    ui->lbltotal->setText(s.total);
    ui->Label25->setText(s.deliveryCharges);
    ui->Label26->setText(s.orderPrice);
    ui->lblbalrs->setText(s.balance);
    m_complete = s.complete;
    m_changeAllowed = s.changeAllowed;
    if (s.changeAllowed) {
        ui->Button1->setEnabled(!m_itemsSettled);
        ui->btnnextbill->setEnabled(true);
    }
}

void Tfmsalesorderdtls::refreshGrid()
{
    m_grid->load(ShowBillGrid(*roster().Dm, bill()));
    ui->lblnoitems->setText(QString::number(m_grid->rowCount()));
}
