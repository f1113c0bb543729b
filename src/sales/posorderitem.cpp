#include "sales/posorderitem.h"

#include "app/roster.h"
#include "bills/custdetails.h"
#include "config/formatsettings.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "log/U_LogBook.h"
#include "login/adminoption.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetails.h"
#include "ui_posorderitem.h"

#include <QButtonGroup>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QShortcut>
#include <QShowEvent>
#include <algorithm>

namespace {

const QPoint kOrderScreenPlace(220, 30);

bool isDigitOrBackspace(const QString&, QChar key)
{
    return key.isDigit() || key == QLatin1Char('\b');
}

} // namespace

Tfmorderitem::Tfmorderitem(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmorderitem>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tfmorderitem"));

    m_options = new QButtonGroup(this);
    m_options->addButton(ui->RadioGroup1Add, 0);
    m_options->addButton(ui->RadioGroup1Change, 1);
    m_options->addButton(ui->RadioGroup1Remove, 2);

    m_grid = new QueryTableModel(
        { S("itemname"), S("rate"), S("quantity"), S("price"), S("itax"), S("isubtotal"), S("discount"), S("total") },
        { S("ITEM"), S("RATE"), S("QUANTITY"), S("PRICE"), S("TAX"), S("SUBTOTAL"), S("DISCOUNT"), S("TOTAL") }, this);
    ui->DBGrid1->setModel(m_grid);
    ui->DBGrid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->DBGrid1->verticalHeader()->hide();

    // The item box is filled by the screen as the cashier types; no completer of its own.
    ui->CboxItem->setCompleter(nullptr);

    // Digits only in quantity and barcode, also for text that arrives without typing.
    const QRegularExpression digits(S("\\d*"));
    ui->EQuan->setValidator(new QRegularExpressionValidator(digits, ui->EQuan));
    ui->Edit2->setValidator(new QRegularExpressionValidator(digits, ui->Edit2));
    ui->ECustName->setValidator(new QRegularExpressionValidator(QRegularExpression(S("[A-Za-z. ]*")), ui->ECustName));
    auto clearStatus = [this](const QString& text, QChar key) {
        const bool accepted = isDigitOrBackspace(text, key);
        if (accepted)
            ui->lbl_msg->clear();
        return accepted;
    };
    KeyFilter::install(ui->EQuan, clearStatus);
    KeyFilter::install(ui->Edit2, clearStatus);
    // Typed, pasted (keys or middle button) or dropped: every quantity is cut to the limit, and the
    // field's length keeps it a whole number the counter can add up.
    connect(ui->EQuan, &QLineEdit::textChanged, this, &Tfmorderitem::applyQuantityLimit);
    KeyFilter::install(ui->ECustName, [](const QString&, QChar key) {
        return key.isLetter() || key == QLatin1Char('.') || key == QLatin1Char('\b');
    });
    // every text field (the item box's own included) for type-ahead, clicks and shortcut keys
    for (QLineEdit* e : findChildren<QLineEdit*>())
        e->installEventFilter(this);
    // The item box's line edit hands its focus to the box, which passes typed keys on to the edit
    // without going through event filters: the keys a cashier types arrive at the box.
    ui->CboxItem->installEventFilter(this);
    ui->DBGrid1->installEventFilter(this);
    // item (or barcode), quantity, then the action button: a line rung up from the keyboard
    setTabOrder(ui->CboxItem, ui->Edit2);
    setTabOrder(ui->Edit2, ui->EQuan);
    setTabOrder(ui->EQuan, ui->BtnradioACD);
    // the lines, PROCESS ORDER and CLEAR beside it; Shift+Tab leaves the lines as Tab does
    setTabOrder(ui->DBGrid1, ui->btnprocessorder);
    setTabOrder(ui->btnprocessorder, ui->clear);
    ui->DBGrid1->setTabKeyNavigation(false);

    connect(ui->RadioButton1, &QRadioButton::clicked, this, &Tfmorderitem::RadioButton1Click);
    connect(ui->RadioButton2, &QRadioButton::clicked, this, &Tfmorderitem::RadioButton2Click);
    connect(m_options, &QButtonGroup::idClicked, this, &Tfmorderitem::RadioGroup1Click);
    connect(ui->CboxItem, &DropDownBox::dropDown, this, &Tfmorderitem::CboxItemDropDown);
    connect(ui->DBGrid1, &QTableView::clicked, this, &Tfmorderitem::DBGrid1CellClick);
    connect(ui->BtnradioACD, &QPushButton::clicked, this, &Tfmorderitem::BtnradioACDClick);
    connect(ui->btnprocessorder, &QPushButton::clicked, this, &Tfmorderitem::btnprocessorderClick);
    connect(ui->clear, &QPushButton::clicked, this, &Tfmorderitem::clearClick);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfmorderitem::Button1Click);

    auto shortcut = [this](const QKeySequence& keys, auto handler) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WindowShortcut);
        m_shortcutKeys << keys;
        connect(s, &QShortcut::activated, this, handler);
    };
    shortcut(QKeySequence(Qt::Key_Insert), [this] { ui->BtnradioACD->click(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), [this] {
        ui->RadioGroup1->setFocus();
        if (QAbstractButton* b = m_options->checkedButton())
            b->setFocus();
        RadioGroup1Click();
    });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_C), [this] { ui->Button1->click(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_P), [this] { ui->btnprocessorder->click(); });
}

Tfmorderitem::~Tfmorderitem() = default;

void Tfmorderitem::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar gets a spontaneous show: the bill on the screen stays.
    if (!event->spontaneous())
        FormShow();
}

void Tfmorderitem::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void Tfmorderitem::paintEvent(QPaintEvent* event)
{
    if (isWindow() && pos() != kOrderScreenPlace)
        move(kOrderScreenPlace);
    QWidget::paintEvent(event);
}

bool Tfmorderitem::eventFilter(QObject* watched, QEvent* event)
{
    // The screen's shortcuts win over the text fields' own use of the same keys (Ctrl+C).
    if (event->type() == QEvent::ShortcutOverride) {
        if (m_shortcutKeys.contains(QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()))) {
            event->ignore();
            return true;
        }
    }
    if ((watched == ui->CboxItem || watched == ui->CboxItem->lineEdit()) && event->type() == QEvent::KeyPress)
        return itemBoxKey(static_cast<QKeyEvent*>(event));
    if (watched == ui->EQuan && event->type() == QEvent::MouseButtonPress)
        ui->lbl_msg->clear();
    if (watched == ui->DBGrid1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab
        && !(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ShiftModifier)) {
        ui->btnprocessorder->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool Tfmorderitem::itemBoxKey(QKeyEvent* key)
{
    QLineEdit* edit = ui->CboxItem->lineEdit();
    if (key->matches(QKeySequence::Paste)) {
        // nothing is pasted into the item box
        const QString text = edit->text();
        const int start = edit->selectionStart();
        const int length = edit->selectedText().size();
        const int cursor = edit->cursorPosition();
        ui->CboxItem->clear();
        edit->setText(text);
        if (start >= 0)
            edit->setSelection(start, length);
        else
            edit->setCursorPosition(cursor);
        edit->insert(S("\"Paste\" DISABLED!"));
        return true;
    }
    if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) && !(key->modifiers() & Qt::AltModifier)) {
        // the arrows walk through the matches of what was typed, whatever the platform's combo box does
        const int count = ui->CboxItem->count();
        if (count > 0) {
            const int at = ui->CboxItem->currentIndex();
            ui->CboxItem->setCurrentIndex(
                key->key() == Qt::Key_Down ? std::min(at + 1, count - 1) : std::max(at - 1, 0));
        }
        return true;
    }
    if (key->key() == Qt::Key_Backspace) {
        m_searchText.clear();
    } else {
        const QString typed = key->text();
        if (typed.isEmpty() || !typed.at(0).isPrint())
            return false; // arrows, Enter and the like keep their own meaning
        m_searchText += typed;
    }
    const QStringList names = ItemNamesStartingWith(*roster().Dm, m_searchText);
    ui->CboxItem->clear();
    if (names.isEmpty()) {
        m_searchText.clear();
        edit->clear();
        return true;
    }
    ui->CboxItem->addItems(names);
    ui->CboxItem->setCurrentIndex(-1);
    edit->setText(m_searchText);
    return true;
}

void Tfmorderitem::FormShow()
{
    Roster& r = roster();
    ui->lbl_msg->clear();
    ui->RadioButton1->setChecked(true);
    RadioButton1Click();

    const bool returning = r.fmsalesorderdtls->ReturnFlag;
    const QString terminalId = r.frmadminoptions->TerminalId;
    ui->Label6->setText(terminalId);
    ui->EBillNo->setText(NextBillNumber(*r.Dm, terminalId));
    showBillLabel();
    // back from "CHANGE ITEM DETAILS": the settlement screen's bill, also when this window is never activated
    takeReturnedBill();
    // a bill starts without the customer of another bill; one assigned to this bill stays
    if (m_customerBill != ui->Label9->text())
        ForgetBillCustomer();

    // A bill resumed on the payment details screen stays locked while it comes back here to be
    // changed; any other showing starts another bill, so it has left the counter.
    if (!returning)
        r.fmpaymentdetails->ReleaseResumedBill();
    r.fmpaymentdetails->ResumeFlag = 0;

    // The window manager may never activate a screen the menu places, so the limits are read and
    // the grid is tidied here too: lines of other bills would hold their stock against this one.
    readSettings();
    clearStaleLines();
    ClearItemList();
    RefreshOrderGrid();
}

void Tfmorderitem::FormActivate()
{
    ui->lbl_msg->clear();
    DisableContextMenus(this);
    formatSettings().decimalSeparator = QLatin1Char('.');
    formatSettings().dateSeparator = QLatin1Char('-');

    takeReturnedBill();

    readSettings();
    clearStaleLines();

    ui->RadioGroup1Add->setChecked(true);
    RadioGroup1Click();
    ui->CboxItem->setFixedHeight(31);
    stampDateTime();
    RefreshOrderGrid();
    ClearItemList();
}

QString Tfmorderitem::billToHold() const
{
    if (isVisible())
        return ui->Label9->text();
    // what showing the screen makes of it
    Roster& r = roster();
    if (r.fmsalesorderdtls->ReturnFlag)
        return r.fmsalesorderdtls->terminalId() + QLatin1Char('/') + r.fmsalesorderdtls->billNo();
    const QString terminalId = r.frmadminoptions->TerminalId;
    return terminalId + QLatin1Char('/') + NextBillNumber(*r.Dm, terminalId);
}

void Tfmorderitem::setBillCustomer(const QString& billKey, const QString& name)
{
    m_customerBill = name.isEmpty() ? QString() : billKey;
    ui->ECustName->setText(name);
}

void Tfmorderitem::assignCustomer(const QString& name)
{
    const QString bill = billToHold();
    if (bill != m_customerBill)
        ForgetBillCustomer();
    setBillCustomer(bill, name);
}

void Tfmorderitem::clearStaleLines()
{
    // Only this terminal's own grid is tidied; a resumed bill of another terminal is shown under
    // that terminal's id, and its order being rung up there must stay.
    if (ui->Label6->text() == roster().frmadminoptions->TerminalId)
        ClearStaleGrid(*roster().Dm, ui->Label6->text(), ui->EBillNo->text());
}

void Tfmorderitem::readSettings()
{
    const OrderSettings settings = ReadOrderSettings(*roster().Dm);
    m_quantityLimit = settings.quantityLimit;
    m_roundOff = settings.roundOff;
}

void Tfmorderitem::applyQuantityLimit()
{
    const QString text = ui->EQuan->text();
    const QString cut = LimitQuantity(text, m_quantityLimit);
    if (cut != text)
        ui->EQuan->setText(cut); // comes back here with the shorter text until it stays
}

void Tfmorderitem::takeReturnedBill()
{
    Tfmsalesorderdtls* settlement = roster().fmsalesorderdtls;
    if (!settlement->ReturnFlag)
        return;
    ui->EBillNo->setText(settlement->billNo());
    ui->Label6->setText(settlement->terminalId());
    showBillLabel();
    settlement->ReturnFlag = false;
}

void Tfmorderitem::RadioButton1Click()
{
    m_searchText.clear();
    ui->CboxItem->setEnabled(true);
    ui->Edit2->setEnabled(false);
    ui->Edit2->clear();
    ui->lbl_msg->clear();
}

void Tfmorderitem::RadioButton2Click()
{
    m_searchText.clear();
    ui->CboxItem->setEnabled(false);
    ui->CboxItem->setEditText(QString());
    ui->Edit2->setEnabled(true);
    ui->lbl_msg->clear();
}

void Tfmorderitem::RadioGroup1Click()
{
    static const char* const captions[] = { "ADD", "CHANGE", "REMOVE" };
    ui->BtnradioACD->setText(S(captions[mode()]));
    ui->lbl_msg->clear();
    m_searchText.clear();
}

int Tfmorderitem::mode() const
{
    const int id = m_options->checkedId();
    return id < 0 ? 0 : id;
}

void Tfmorderitem::CboxItemDropDown()
{
    const QString text = ui->CboxItem->currentText();
    ui->CboxItem->clear();
    ui->CboxItem->addItems(AllItemNames(*roster().Dm));
    ui->CboxItem->setCurrentIndex(ui->CboxItem->findText(text));
    if (ui->CboxItem->currentIndex() < 0)
        ui->CboxItem->setEditText(text);
}

void Tfmorderitem::DBGrid1CellClick()
{
    const int row = ui->DBGrid1->currentIndex().row();
    if (m_grid->rowCount() == 0 || row < 0)
        return;
    const QString name = m_grid->text(row, S("itemname"));
    if (!name.isEmpty())
        ui->CboxItem->setEditText(name);
}

void Tfmorderitem::BtnradioACDClick()
{
    ui->lbl_msg->clear();
    stampDateTime();
    // the limits as they are now, whether or not the screen was ever activated
    readSettings();
    applyQuantityLimit();
    const QString itemText = ui->CboxItem->currentText();
    const QString barcode = ui->Edit2->text();
    if (itemText.isEmpty() && barcode.isEmpty()) {
        ShowMsg(ui->CboxItem->isEnabled() ? S("Select the Item Name.") : S("Enter the UPC code."));
    } else if (ui->EQuan->text().isEmpty()) {
        ShowMsg(S("Enter the quantity"));
    } else {
        TDm& dm = *roster().Dm;
        const QString itemName = itemText.isEmpty() ? ItemNameForBarcode(dm, barcode) : itemText;
        if (itemName.isEmpty()) {
            ShowMsg(S("Specified item does not exist"));
        } else {
            const LineOutcome out
                = RunLineAction(dm, context(), LineMode(mode()), itemName, ui->EQuan->text(), actionText());
            if (!out.message.isEmpty())
                ShowMsg(out.message);
            ui->lbl_msg->setText(out.status);
            RefreshOrderGrid();
        }
    }
    resetEntry();
}

QString Tfmorderitem::actionText() const
{
    const QString item = ui->CboxItem->currentText();
    const QString quantity = ui->EQuan->text();
    const QString caption = ui->BtnradioACD->text();
    if (caption == QLatin1String("CHANGE"))
        return S("Itemname ") + item + S(" quantity: ") + quantity + S(" Changed");
    if (caption == QLatin1String("REMOVE"))
        return S("Remove Itemname ") + item + S(" quantity: ") + quantity + S(" Removed");
    return S("Itemname ") + item + S(" quantity: ") + quantity + S(" Added");
}

void Tfmorderitem::resetEntry()
{
    ui->EQuan->setText(S("1"));
    ui->CboxItem->setEditText(QString());
    m_searchText.clear(); // the next item is typed from its first letter
    // the cursor goes back to where the next item is entered
    if (ui->CboxItem->isEnabled())
        ui->CboxItem->setFocus();
    else if (ui->Edit2->isEnabled())
        ui->Edit2->setFocus();
}

void Tfmorderitem::btnprocessorderClick()
{
    Roster& r = roster();
    ui->lbl_msg->clear();
    if (m_grid->rowCount() == 0) {
        ShowMsg(S("No entries in the grid"));
        return;
    }
    const OrderContext ctx = context();
    LogWrite(S("Process order"), 0);
    for (const QString& line : OrderLogLines(*r.Dm, ctx.terminalId, ctx.billNo))
        LogWrite(line, 0);
    const BillChange processed = ProcessBill(*r.Dm, ctx, r.frmadminoptions->TerminalId);
    if (!processed) {
        // paid, cancelled or taken elsewhere meanwhile: the bill stays as it is
        ShowMsg(processed.refusal);
        return;
    }

    Fixposition(r.fmsalesorderdtls);
    r.fmsalesorderdtls->show();
    hide();
    r.fmsalesorderdtls->setCustomerName(ui->ECustName->text());
}

void Tfmorderitem::clearClick()
{
    Roster& r = roster();
    ui->lbl_msg->clear();
    resetEntry();
    LogWrite(S("Clear..."), 0);
    ForgetBillCustomer();
    // a new bill starts here: a resumed bill being changed has left the counter
    r.fmpaymentdetails->ReleaseResumedBill();

    const QString terminalId = r.frmadminoptions->TerminalId;
    ui->EBillNo->setText(NextBillNumber(*r.Dm, terminalId));
    ui->Label6->setText(terminalId);
    showBillLabel();
    ClearOrder(*r.Dm, terminalId, ui->EBillNo->text());
    RefreshOrderGrid();
}

void Tfmorderitem::Button1Click()
{
    Roster& r = roster();
    LogWrite(S("Customer name selected"), 0);
    hide();
    Fixposition(r.fmcustdetails);
    r.fmcustdetails->show();
}

void Tfmorderitem::ClearItemList()
{
    ui->CboxItem->clear();
    ui->CboxItem->setEditText(QString());
    m_searchText.clear();
}

void Tfmorderitem::RefreshOrderGrid()
{
    m_grid->load(::RefreshOrderGrid(*roster().Dm, ui->Label6->text(), ui->EBillNo->text()));
}

void Tfmorderitem::stampDateTime()
{
    const QDateTime now = services().clock().now();
    ui->DateTimePicker1->setDate(now.date());
    ui->DateTimePicker2->setTime(now.time());
    ui->lbl_date->setText(now.date().toString(S("dd-MM-yyyy")));
    ui->lbl_time->setText(timeToStr(now.time()));
}

void Tfmorderitem::showBillLabel()
{
    ui->Label9->setText(ui->Label6->text() + QLatin1Char('/') + ui->EBillNo->text());
}

OrderContext Tfmorderitem::context() const
{
    OrderContext ctx;
    ctx.terminalId = ui->Label6->text();
    ctx.billNo = ui->EBillNo->text();
    ctx.date = ui->DateTimePicker1->date().toString(S("yyyy-MM-dd"));
    ctx.time = ui->DateTimePicker2->time().toString(S("HH.mm.ss.zzz"));
    ctx.roundOff = m_roundOff;
    return ctx;
}
