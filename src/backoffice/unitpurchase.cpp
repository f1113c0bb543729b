#include "backoffice/unitpurchase.h"

#include "app/roster.h"
#include "backoffice/Purchasepas.h"
#include "backoffice/unithome.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "numbers/numbers.h"
#include "platform/datepicker.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_unitpurchase.h"

#include <QShowEvent>
#include <limits>

namespace {

constexpr qint64 kOpeningLimit = 1000;

bool digitOrBackspace(QChar key)
{
    // Delete types no text of its own and is never filtered
    return (key >= QLatin1Char('0') && key <= QLatin1Char('9')) || key == QLatin1Char('\b') || key == QChar(0x7f);
}

// A typed whole number; empty or unreadable counts as 0, one too long to read as above any limit.
qint64 wholeNumber(const QString& text)
{
    if (!Numbers::isInteger(text))
        return 0;
    return text.trimmed().size() > 18 ? std::numeric_limits<qint64>::max() : Numbers::parseInt(text);
}

} // namespace

TFpurchase::TFpurchase(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::TFpurchase>())
{
    ui->setupUi(this);
    ui->DateTimePicker1->setDate(services().clock().today());
    TabLeavesPicker(ui->DateTimePicker1);
    ui->Panel1->hide();
    showOpeningEntry(false);
    // quantities are int columns: nine digits always fit
    ui->Edit2->setMaxLength(9);
    ui->EOpstock->setMaxLength(4);
    // the key rule as typed; pasted, dropped or overtyped text is kept to digits as well
    for (QLineEdit* quantity : { ui->EOpstock, ui->Edit2 })
        KeyFilter::holdOnly(
            quantity, KeyFilter::typed([](const QString&, QChar key) { return digitOrBackspace(key); }));
    m_purchaseLimit = StoredPurchaseLimit();
    installFieldRules();
    ui->Edit2->installEventFilter(this);

    connect(ui->ComboBox1, &DropDownBox::dropDown, this, &TFpurchase::ComboBox1DropDown);
    connect(ui->ComboBox1, &QComboBox::activated, this, &TFpurchase::ComboBox1Select);
    connect(ui->BtnAddDetails, &QPushButton::clicked, this, &TFpurchase::BtnAddDetailsClick);
    connect(ui->BtnReceived, &QPushButton::clicked, this, &TFpurchase::BtnReceivedClick);
}

TFpurchase::~TFpurchase() = default;

void TFpurchase::installFieldRules()
{
    KeyFilter::install(
        ui->EOpstock,
        [this](const QString&, QChar key) {
            if (chosenItem().isEmpty())
                ShowMsg(S("Select item you want to purchase"));
            if (key != QLatin1Char('\b') || !ui->Edit1->text().isEmpty())
                ui->Edit2->clear();
            return digitOrBackspace(key);
        },
        [this] { openingKeyReleased(); });
    KeyFilter::install(
        ui->Edit2,
        [this](const QString&, QChar key) {
            const QString item = chosenItem();
            if (item.isEmpty()) {
                ShowMsg(S("Select the item you want to purchase"));
                return false;
            }
            ui->Edit5->setText(ShowDayClosing(*roster().Dm, bookingDay(), item));
            return digitOrBackspace(key);
        },
        [this] { purchaseKeyReleased(); });
}

bool TFpurchase::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->Edit2 && event->type() == QEvent::MouseButtonPress)
        ui->Label16->clear();
    return QWidget::eventFilter(watched, event);
}

void TFpurchase::openingKeyReleased()
{
    QString opening = ui->EOpstock->text();
    if (wholeNumber(opening) > kOpeningLimit) {
        ShowMsg(S("Cannot purchase more than 1000 items"));
        opening = opening.left(3);
        ui->EOpstock->setText(opening);
    }
    // The stock moves by the difference to what the entry held: a key that leaves the figure as it
    // was (the Tab that moved the focus here, an arrow, a dropped key) moves nothing.
    const QString item = chosenItem();
    QString closing;
    if (!item.isEmpty()) {
        const OpeningOutcome stored = StoreOpeningStock(*roster().Dm, item, m_openingText, opening);
        if (!stored.message.isEmpty()) {
            ShowMsg(stored.message);
            return;
        }
        closing = stored.closing;
    }
    m_openingText = opening;
    ui->Edit1->setText(opening);
    ui->Edit5->setText(closing.isEmpty() ? opening : closing);
}

void TFpurchase::purchaseKeyReleased()
{
    if (ui->Edit2->text().isEmpty())
        return;
    if (Numbers::isInteger(m_purchaseLimit) && wholeNumber(ui->Edit2->text()) > Numbers::parseInt(m_purchaseLimit)) {
        ShowMsg(S("Cannot purchase more  items"));
        ui->Edit2->clear();
    }
    const ClosingEstimate estimate
        = ComputeClosingStock(*roster().Dm, chosenItem(), ui->Edit2->text(), ui->EOpstock->text());
    if (!estimate.message.isEmpty())
        ShowMsg(estimate.message);
    if (estimate.clearPurchase)
        ui->Edit2->clear();
    if (!estimate.closing.isEmpty())
        ui->Edit5->setText(estimate.closing);
}

void TFpurchase::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    fillItemList();
    FormActivate();
}

void TFpurchase::FormActivate()
{
    DisableContextMenus(this);
    ui->ComboBox1->setEnabled(true);
    bookingDay();
    ui->Panel1->hide();
    m_purchaseLimit = ReadPurchaseLimit(*roster().Dm);
    for (QLineEdit* e : { ui->EOpstock, ui->Edit1, ui->Edit2, ui->Edit5 })
        e->clear();
    m_openingText.clear();
    showOpeningEntry(false);
}

void TFpurchase::fillItemList()
{
    ui->ComboBox1->clear();
    ui->ComboBox1->addItems(FillPurchaseItemList(*roster().Dm));
    ui->ComboBox1->setCurrentIndex(-1);
    ui->ComboBox1->setEditText(QString());
}

void TFpurchase::ComboBox1DropDown()
{
    const QString text = ui->ComboBox1->currentText();
    fillItemList();
    const int index = ui->ComboBox1->findText(text, Qt::MatchFixedString);
    ui->ComboBox1->setCurrentIndex(index);
    if (index < 0)
        ui->ComboBox1->setEditText(text);
}

QString TFpurchase::chosenItem() const
{
    const QString text = ui->ComboBox1->currentText().trimmed();
    if (text.isEmpty())
        return {};
    const int index = ui->ComboBox1->findText(text, Qt::MatchFixedString);
    return index < 0 ? QString() : ui->ComboBox1->itemText(index);
}

QString TFpurchase::bookingDay()
{
    const QDate today = services().clock().today();
    ui->DateTimePicker1->setDate(today);
    return today.toString(S("yyyy-MM-dd"));
}

void TFpurchase::showOpeningEntry(bool shown)
{
    ui->Label5->setVisible(shown);
    ui->EOpstock->setVisible(shown);
}

void TFpurchase::ComboBox1Select()
{
    for (QLineEdit* e : { ui->Edit1, ui->Edit2, ui->Edit5, ui->EOpstock })
        e->clear();
    m_openingText.clear();
    const QString item = chosenItem();
    const ItemStock stock = ShowItemStock(*roster().Dm, bookingDay(), item);
    if (!stock.message.isEmpty()) {
        if (!item.isEmpty())
            showOpeningEntry(true);
        ShowMsg(stock.message);
        return;
    }
    if (!stock.status.isEmpty())
        ui->Label16->setText(stock.status);
    ui->Edit1->setText(stock.opening);
    ui->Edit2->setText(S("0"));
    ui->Edit5->setText(stock.closing);
    showOpeningEntry(stock.opening == QLatin1String("0"));
    if (stock.opening == QLatin1String("0"))
        ui->EOpstock->setText(S("0"));
    m_openingText = ui->EOpstock->text();
    ui->Edit6->setText(stock.billReceived ? S("Recieved") : S("Not Recieved"));
    ui->Panel1->setVisible(!stock.billReceived);
}

void TFpurchase::BtnAddDetailsClick()
{
    const QString day = bookingDay();
    if (ui->Edit1->text().isEmpty() || ui->Edit2->text().isEmpty() || ui->Edit5->text().isEmpty()) {
        ShowMsg(S("Enter the Details"));
        return;
    }
    const qint64 purchase = wholeNumber(ui->Edit2->text());
    if (purchase == 0)
        return;
    const QString item = chosenItem();
    LogWrite(S("Purchase --Item Name: ") + item + S(" Opening stock: ") + ui->Edit1->text() + S(" purchase : ")
            + ui->Edit2->text(),
        0);
    if (item.isEmpty()) {
        ShowMsg(S("Select the item you want to purchase"));
        return;
    }

    ui->Panel1->show();
    bool received = false;
    switch (services().dialogs().askYesNo(S("Bill Received? : YES / NO"))) {
    case Dialogs::Answer::Yes:
        ui->Edit6->setText(S("Received"));
        received = true;
        ui->Panel1->hide();
        break;
    case Dialogs::Answer::No:
        ui->Edit6->setText(S("Not Received"));
        break;
    default:
        return;
    }

    const BookingOutcome outcome = BookPurchase(*roster().Dm, day, item, purchase, ui->EOpstock->text(), received);
    if (!outcome.stored) {
        ShowMsg(outcome.message);
        return;
    }
    ShowMsg(S("Item is updated"));
    if (!outcome.status.isEmpty())
        ui->Label16->setText(outcome.status);
    if (QWidget* home = roster().FrmBackOffice)
        home->update();
    for (QLineEdit* e : { ui->Edit6, ui->Edit1, ui->Edit2, ui->Edit5, ui->EOpstock })
        e->clear();
    m_openingText.clear();
    fillItemList();
}

void TFpurchase::BtnReceivedClick()
{
    const QString item = chosenItem();
    if (item.isEmpty()) {
        ShowMsg(S("Select the Item and Date"));
        return;
    }
    if (!ui->CheckBox1->isChecked()) {
        ShowMsg(S("Please Check If Bill Recieved"));
        return;
    }
    const QString refusal = MarkBillReceived(*roster().Dm, item);
    if (!refusal.isEmpty()) {
        ShowMsg(refusal);
        return;
    }
    ui->Edit6->setText(S("Recieved"));
    ui->CheckBox1->setChecked(false);
}
