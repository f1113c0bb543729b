#include "backoffice/unititemdetails.h"

#include "app/roster.h"
#include "backoffice/Itempas.h"
#include "backoffice/menuback.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "ui_unititemdetails.h"

#include <QButtonGroup>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>

namespace {

constexpr int kNameKeys = 45;

// Applies a text rule to a field when it changes the text.
void apply(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

// Leaving a field: the focus went to another control of the program, not to another window.
bool leaves(const QFocusEvent* event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

} // namespace

TFitemdetails::TFitemdetails(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::TFitemdetails>())
{
    ui->setupUi(this);
    setObjectName(S("TFitemdetails"));

    m_options = new QButtonGroup(this);
    m_options->addButton(ui->RadioGroup1Add, 0);
    m_options->addButton(ui->RadioGroup1Change, 1);
    m_options->addButton(ui->RadioGroup1Remove, 2);
    m_options->addButton(ui->RadioGroup1Tax, 3);

    const QStringList columns { S("itemcode"), S("itemname"), S("rate"), S("discount"), S("tax"), S("minimal"),
        S("barcode") };
    m_grid = new QueryTableModel(columns, columns, this);
    ui->DBGrid1->setModel(m_grid);
    ui->DBGrid1->verticalHeader()->setDefaultSectionSize(23);
    ui->DBGrid1->installEventFilter(this);
    // Shift+Tab leaves the list as Tab does, not for the cell before
    ui->DBGrid1->setTabKeyNavigation(false);

    installFieldRules();

    connect(m_options, &QButtonGroup::idClicked, this, &TFitemdetails::RadioGroup1Click);
    connect(ui->BtnAdd, &QPushButton::clicked, this, &TFitemdetails::BtnAddClick);
    connect(ui->CBoxItemName2, &QComboBox::activated, this, &TFitemdetails::CBoxItemName2Select);
    connect(ui->BtnChange, &QPushButton::clicked, this, &TFitemdetails::BtnChangeClick);
    connect(ui->CBoxItemName3, &QComboBox::activated, this, &TFitemdetails::CBoxItemName3Select);
    connect(ui->BtnRemove, &QPushButton::clicked, this, &TFitemdetails::BtnRemoveClick);
    connect(ui->BtnTax, &QPushButton::clicked, this, &TFitemdetails::BtnTaxClick);

    const QDate today = services().clock().today();
    if (Tfrmmenu* menu = roster().frmmenu)
        menu->setWorkingDate(today);
    ui->date01->setText(today.toString(S("dd/MM/yyyy")));
    const ItemLimits stored = StoredItemLimits();
    m_rateLimit = stored.rateLimit;
    m_minimalFloor = stored.minimalFloor;
    showPanel(0);
}

TFitemdetails::~TFitemdetails() = default;

void TFitemdetails::installFieldRules()
{
    using namespace ItemFields;
    // A typed key beyond the name's length takes the last character away.
    KeyFilter::install(ui->EItemName, [this](const QString& text, QChar key) {
        if (text.size() >= kNameKeys && key != QLatin1Char('\b') && key.isPrint()) {
            ui->EItemName->backspace();
            return false;
        }
        return true;
    });
    KeyFilter::holdOnly(
        ui->EItemName, KeyFilter::typed([](const QString& text, QChar) { return text.size() < kNameKeys; }));

    auto twoDecimalsWhileTyping = [this](QLineEdit* field) {
        connect(
            field, &QLineEdit::textChanged, this, [field](const QString& text) { apply(field, twoDecimals(text)); });
    };
    auto afterRelease
        = [](QLineEdit* field, auto rule) { return [field, rule] { apply(field, rule(field->text())); }; };

    for (QLineEdit* rate : { ui->EIRate, ui->EIRate2 }) {
        KeyFilter::install(rate, decimalKey, [this, rate] { apply(rate, rateCut(rate->text(), m_rateLimit)); });
        twoDecimalsWhileTyping(rate);
    }
    for (QLineEdit* percent : { ui->EDiscount, ui->EITax, ui->EIDiscount2, ui->ETaxItem2, ui->ETax }) {
        KeyFilter::install(percent, decimalKey, afterRelease(percent, percentCut));
        twoDecimalsWhileTyping(percent);
    }
    for (QLineEdit* minimal : { ui->EMinimal, ui->EMinimal1 })
        KeyFilter::install(minimal, wholeNumberKey, afterRelease(minimal, minimalCut));
    KeyFilter::install(ui->ebarcode, barcodeKey);
    KeyFilter::install(ui->ebar, barcodeKey);
    // pasted, dropped or typed over a selection: only what the keys could have typed
    for (QLineEdit* decimal :
        { ui->EIRate, ui->EIRate2, ui->EDiscount, ui->EITax, ui->EIDiscount2, ui->ETaxItem2, ui->ETax })
        KeyFilter::holdOnly(decimal, KeyFilter::typed(decimalKey));
    for (QLineEdit* minimal : { ui->EMinimal, ui->EMinimal1 })
        KeyFilter::holdOnly(minimal, KeyFilter::typed(wholeNumberKey));
    for (QLineEdit* barcode : { ui->ebarcode, ui->ebar })
        KeyFilter::holdOnly(barcode, KeyFilter::typed(barcodeKey));

    for (QLineEdit* left : { ui->EIRate, ui->EDiscount, ui->EITax, ui->EMinimal, ui->ebarcode, ui->EMinimal1 })
        left->installEventFilter(this);
}

bool TFitemdetails::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut && leaves(static_cast<QFocusEvent*>(event))) {
        if (auto* field = qobject_cast<QLineEdit*>(watched))
            fieldLeft(field);
    }
    if (watched == ui->DBGrid1 && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Tab
        && !(static_cast<QKeyEvent*>(event)->modifiers() & Qt::ShiftModifier)) {
        if (QAbstractButton* b = m_options->checkedButton())
            b->setFocus(Qt::TabFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFitemdetails::fieldLeft(QLineEdit* field)
{
    if (field == ui->EMinimal || field == ui->EMinimal1) {
        apply(field, ItemFields::minimalFloor(field->text(), m_minimalFloor));
    } else if (field == ui->ebarcode) {
        const QString barcode = field->text();
        if (!barcode.isEmpty() && barcode.size() != 12) {
            ShowMsg(S(" barcode has to be 12 digit in length"));
            apply(field, barcode.left(12));
        }
    } else {
        apply(field, ItemFields::trailingPoint(field->text()));
    }
}

void TFitemdetails::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        FormActivate();
}

void TFitemdetails::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (parentWidget())
        move(230, 30);
}

void TFitemdetails::FormActivate()
{
    Roster& r = roster();
    DisableContextMenus(this);
    ui->RadioGroup1Add->setChecked(true);
    RadioGroup1Click();
    clearChangeFields();
    const QDate today = services().clock().today();
    if (Tfrmmenu* menu = r.frmmenu)
        menu->setWorkingDate(today);
    ui->date01->setText(today.toString(S("dd/MM/yyyy")));
    const ItemLimits limits = ReadItemLimits(*r.Dm);
    m_rateLimit = limits.rateLimit;
    m_minimalFloor = limits.minimalFloor;
}

void TFitemdetails::RadioGroup1Click()
{
    clearAddFields();
    ui->ETax->clear();
    ui->ebar->clear();
    const int mode = m_options->checkedId() < 0 ? 0 : m_options->checkedId();
    showPanel(mode);
    switch (mode) {
    case 0:
        refreshGrid();
        refillItemLists();
        break;
    case 1:
        refillItemLists();
        clearChangeFields();
        break;
    case 2:
        refillItemLists();
        break;
    default:
        showLatestTax();
        break;
    }
}

void TFitemdetails::BtnAddClick()
{
    ItemEntry entry { ui->EItemName->text(), ui->EIRate->text(), ui->EDiscount->text(), ui->EITax->text(),
        ui->EMinimal->text(), ui->ebarcode->text() };
    const QString message = AddItem(*roster().Dm, entry, m_minimalFloor);
    // the floor and the zeros applied stay in view
    ui->EMinimal->setText(entry.minimal);
    ui->EDiscount->setText(entry.discount);
    ui->EITax->setText(entry.tax);
    if (!message.isEmpty()) {
        ShowMsg(message);
        return;
    }
    clearAddFields();
    refreshGrid();
}

void TFitemdetails::CBoxItemName2Select()
{
    ui->BtnChange->setEnabled(true);
    const ItemEntry item = LoadItemForChange(*roster().Dm, ui->CBoxItemName2->currentText());
    ui->EIRate2->setText(item.rate);
    ui->EIDiscount2->setText(item.discount);
    ui->ETaxItem2->setText(item.tax);
    ui->EMinimal1->setText(item.minimal);
    ui->ebar->setText(item.barcode);
}

void TFitemdetails::BtnChangeClick()
{
    const QString name = ui->CBoxItemName2->currentIndex() < 0 ? QString() : ui->CBoxItemName2->currentText();
    const ItemEntry entry { name, ui->EIRate2->text(), ui->EIDiscount2->text(), ui->ETaxItem2->text(),
        ui->EMinimal1->text(), ui->ebar->text() };
    const ChangeOutcome out = UpdateItem(*roster().Dm, name, entry, m_minimalFloor);
    if (!out.message.isEmpty())
        ShowMsg(out.message);
    if (!out.written)
        return;
    clearChangeFields();
    ui->ebar->clear();
    refreshGrid();
}

void TFitemdetails::CBoxItemName3Select()
{
    ui->BtnRemove->setEnabled(true);
}

void TFitemdetails::BtnRemoveClick()
{
    if (ui->CBoxItemName3->currentIndex() < 0)
        return;
    TDm& dm = *roster().Dm;
    RemoveItem(dm, ui->CBoxItemName3->currentText());
    ui->CBoxItemName3->clear();
    ui->CBoxItemName3->addItems(FillItemNameLists(dm));
    ui->CBoxItemName3->setCurrentIndex(-1);
    ui->BtnRemove->setEnabled(false);
    refreshGrid();
}

void TFitemdetails::BtnTaxClick()
{
    QDate day = services().clock().today();
    if (Tfrmmenu* menu = roster().frmmenu)
        day = menu->workingDate();
    const QString message = SaveOverallTax(*roster().Dm, day, ui->ETax->text(), ui->lbl_date_tax->text());
    ShowMsg(message);
    if (message != QLatin1String("Please Enter the Tax"))
        ui->ETax->clear();
    showLatestTax();
}

void TFitemdetails::showPanel(int mode)
{
    ui->PanelAdd->setVisible(mode == 0);
    ui->PanelChange->setVisible(mode == 1);
    ui->PanelRemove->setVisible(mode == 2);
    ui->PanelTax->setVisible(mode == 3);
}

void TFitemdetails::refillItemLists()
{
    const QStringList names = FillItemNameLists(*roster().Dm);
    for (QComboBox* list : { ui->CBoxItemName2, ui->CBoxItemName3 }) {
        list->clear();
        list->addItems(names);
        list->setCurrentIndex(-1);
    }
    ui->BtnChange->setEnabled(false);
    ui->BtnRemove->setEnabled(false);
}

void TFitemdetails::refreshGrid()
{
    m_grid->load(ItemGrid(*roster().Dm));
    ui->DBGrid1->resizeColumnsToContents();
}

void TFitemdetails::showLatestTax()
{
    if (const auto tax = ShowLatestTax(*roster().Dm)) {
        ui->ltaxshow->setText(tax->rate);
        ui->lbl_date_tax->setText(tax->date);
    }
}

void TFitemdetails::clearAddFields()
{
    for (QLineEdit* e : { ui->EItemName, ui->EIRate, ui->EDiscount, ui->EITax, ui->EMinimal, ui->ebarcode })
        e->clear();
}

void TFitemdetails::clearChangeFields()
{
    for (QLineEdit* e : { ui->EIRate2, ui->EIDiscount2, ui->ETaxItem2, ui->EMinimal1 })
        e->clear();
}
