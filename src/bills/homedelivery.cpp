#include "bills/homedelivery.h"

#include "app/roster.h"
#include "bills/homedeliverypas.h"
#include "config/formatsettings.h"
#include "numbers/numbers.h"
#include "platform/keyfilter.h"
#include "platform/latin1.h"
#include "platform/services.h"
#include "sales/salesorderdetails.h"
#include "ui_homedelivery.h"

#include <QShowEvent>

namespace {

bool isDigit(QChar key)
{
    return key >= QLatin1Char('0') && key <= QLatin1Char('9');
}

bool isAsciiLetter(QChar key)
{
    return (key >= QLatin1Char('A') && key <= QLatin1Char('Z')) || (key >= QLatin1Char('a') && key <= QLatin1Char('z'));
}

constexpr int kDeliveryNameLength = 45;
constexpr int kBillKeyLength = 6;

} // namespace

Tfmhomedelivery::Tfmhomedelivery(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tfmhomedelivery>())
{
    ui->setupUi(this);
    setObjectName(S("Tfmhomedelivery"));

    const auto nameKey = [](const QString& text, QChar key) {
        if (key == QLatin1Char('\b'))
            return true;
        return text.size() < kDeliveryNameLength && (isAsciiLetter(key) || key == QLatin1Char(' ') || key == QLatin1Char('.'));
    };
    KeyFilter::install(ui->ECustNameH, nameKey);
    KeyFilter::install(ui->EPhoneNoH, HomeDeliveryPhoneKey);
    const auto chargesKey
        = [](const QString&, QChar key) { return key == QLatin1Char('\b') || isDigit(key) || key == QLatin1Char('.'); };
    KeyFilter::install(ui->EHCharges, chargesKey);
    KeyFilter::install(ui->EBillNoh, [this](const QString& text, QChar key) {
        if (text.size() > kBillKeyLength) {
            ui->EBillNoh->backspace();
            return false;
        }
        return key == QLatin1Char('\b') || isDigit(key);
    });
    // Pasted, dropped, typed over a selection or before the first character: only what the keys
    // could have typed (a phone that starts with 6 cannot be had by Home and a key either).
    KeyFilter::holdOnly(ui->ECustNameH, KeyFilter::typed(nameKey));
    KeyFilter::holdOnly(ui->EPhoneNoH, KeyFilter::typed(HomeDeliveryPhoneKey));
    KeyFilter::holdOnly(ui->EHCharges, KeyFilter::typed(chargesKey));
    // The bill field holds the bill key the screen puts there ("1/57"), which no key types: it
    // takes no pasted text at all.
    ui->EHCharges->installEventFilter(this);

    connect(ui->btnokdeliveryadd, &QPushButton::clicked, this, &Tfmhomedelivery::btnokdeliveryaddClick);
    connect(ui->Button1, &QPushButton::clicked, this, &Tfmhomedelivery::Button1Click);
    showDeliveryMoment();
}

Tfmhomedelivery::~Tfmhomedelivery() = default;

QString Tfmhomedelivery::billKey() const
{
    return ui->EBillNoh->text();
}

void Tfmhomedelivery::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Shown once per visit: an activation after a message box must not refill what is typed.
    if (!event->spontaneous())
        FormShow();
}

bool Tfmhomedelivery::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->EHCharges && event->type() == QEvent::FocusOut)
        EHChargesExit();
    return QWidget::eventFilter(watched, event);
}

void Tfmhomedelivery::showDeliveryMoment()
{
    const QDateTime now = services().clock().now();
    ui->lbl_datec->setText(now.toString(S("dd-MM-yyyy")));
    ui->lbl_timec->setText(timeToStr(now.time()));
}

void Tfmhomedelivery::FormShow()
{
    Roster& r = roster();
    Tfmsalesorderdtls* settlement = r.fmsalesorderdtls;
    // the bill the settlement screen shows: after a resume that is not the order screen's bill
    const BillKey bill { settlement->terminalId(), settlement->billNo() };
    ui->EHCharges->clear();
    m_lastName.clear();
    ui->EBillNoh->setText(bill.terminalId + QLatin1Char('/') + bill.billNo);
    const DeliveryView view = OpenDelivery(*r.Dm, bill, settlement->customerName());
    ui->ECustNameH->setText(view.name);
    ui->MemoCustAddH->setPlainText(view.address);
    ui->EPhoneNoH->setText(view.phone);
    if (view.recorded)
        ui->EHCharges->setText(view.charges);
    ui->btnokdeliveryadd->setEnabled(!view.recorded);
    showDeliveryMoment();
    DisableContextMenus(this);
}

void Tfmhomedelivery::btnokdeliveryaddClick()
{
    Roster& r = roster();
    DeliveryEntry entry;
    entry.billKey = ui->EBillNoh->text();
    entry.name = ui->ECustNameH->text();
    entry.address = ui->MemoCustAddH->toPlainText();
    entry.phone = ui->EPhoneNoH->text();
    entry.charges = ui->EHCharges->text();
    entry.knownCustomer = !r.fmsalesorderdtls->customerName().isEmpty();
    entry.at = services().clock().now();

    const DeliveryOutcome out = RecordHomeDelivery(*r.Dm, entry);
    if (out.clearCharges)
        ui->EHCharges->clear();
    if (!out.name.isEmpty()) {
        m_lastName = out.name;
        ui->lbl_datec->setText(entry.at.toString(S("dd-MM-yyyy hh:mm:ss")));
        ui->lbl_timec->setText(timeToStr(entry.at.time()));
    }
    if (out.alreadyRecorded) {
        ui->EHCharges->setText(out.charges);
        ui->btnokdeliveryadd->setEnabled(false);
    }
    // a complete or vanished bill takes no delivery, however often it is tried
    if (out.billClosed)
        ui->btnokdeliveryadd->setEnabled(false);
    for (const QString& message : out.messages)
        ShowMsg(message);
    if (out.recorded) {
        for (QLineEdit* e : { ui->EBillNoh, ui->ECustNameH, ui->EPhoneNoH, ui->EHCharges })
            e->clear();
        ui->MemoCustAddH->clear();
        ui->btnokdeliveryadd->setEnabled(false);
    }
}

void Tfmhomedelivery::EHChargesExit()
{
    const QString charges = ui->EHCharges->text();
    if (Numbers::isNumber(charges) && Numbers::parse(charges) == 0) {
        ShowMsg(S("Enter the Home delivery charges"));
        ui->EHCharges->clear();
    }
}

void Tfmhomedelivery::Button1Click()
{
    Roster& r = roster();
    // only a delivery recorded on this visit names the bill's customer; otherwise the bill keeps its own
    if (!m_lastName.isEmpty())
        r.fmsalesorderdtls->setCustomerName(m_lastName);
    Fixposition(r.fmsalesorderdtls);
    r.fmsalesorderdtls->show();
    hide();
}
