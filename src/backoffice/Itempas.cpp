#include "backoffice/Itempas.h"

#include "config/salessettings.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "numbers/numbers.h"
#include "platform/errors.h"
#include "platform/latin1.h"
#include "platform/registry.h"

#include <algorithm>

namespace {

constexpr int kNameWidth = 45;
constexpr int kBarcodeWidth = 45;
// The server's answer to an insert that meets a key already taken.
const QLatin1String kDuplicateKey("1062");

// A decimal field's text as it is stored, "12.0" for "12."; empty for a text its keys could not
// have typed (a lone ".", a sign, an exponent).
QString decimalValue(const QString& text)
{
    const QString t = text.trimmed();
    if (!Numbers::isPlainDecimal(t))
        return {};
    return t.endsWith(QLatin1Char('.')) ? t + QLatin1Char('0') : t;
}

// What the decimal keys can type: digits and at most one point (empty and a lone "." too).
bool decimalTyped(const QString& text)
{
    const QString t = text.trimmed();
    return t.isEmpty() || t == QLatin1String(".") || Numbers::isPlainDecimal(t);
}

// A discount or tax per cent as stored: "0" for an empty field or a lone point; none for a text
// the field would never have held (a sign, an exponent, above 100).
std::optional<QString> percentValue(const QString& text)
{
    if (!decimalTyped(text))
        return std::nullopt;
    const QString v = decimalValue(text);
    if (v.isEmpty())
        return S("0");
    if (Numbers::parse(v) > 100)
        return std::nullopt;
    return v;
}

// The minimal field holds digits only; empty takes the floor.
bool minimalTyped(const QString& text)
{
    return text.trimmed().isEmpty() || Numbers::isPlainWhole(text.trimmed());
}

bool isDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// A barcode that reads as a 64-bit integer is the same code however many zeros lead it; any
// other barcode is compared as text.
std::optional<qint64> barcodeNumber(const QString& barcode)
{
    if (!isDigits(barcode))
        return std::nullopt;
    bool ok = false;
    const qint64 v = barcode.toLongLong(&ok);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

bool sameBarcode(const QString& stored, const QString& wanted)
{
    const auto a = barcodeNumber(stored);
    const auto b = barcodeNumber(wanted);
    return a && b ? *a == *b : stored == wanted;
}

// Every way the column can hold a barcode equal to `wanted`: itself and, for a number, each
// spelling with leading zeros that fits the column.
QStringList barcodeSpellings(const QString& wanted)
{
    QStringList spellings { wanted };
    const auto n = barcodeNumber(wanted);
    if (!n)
        return spellings;
    for (QString s = QString::number(*n); s.size() <= kBarcodeWidth; s.prepend(QLatin1Char('0'))) {
        if (!spellings.contains(s))
            spellings << s;
    }
    return spellings;
}

QString itemLogLine(const char* action, const QString& name, const ItemEntry& e)
{
    return S(action) + S("-->itemname: ") + name + S(" Rate: ") + e.rate + S(" Discount: ") + e.discount
        + S(" Minimal: ") + e.minimal + S(" Tax: ") + e.tax + S("Barcode: ") + e.barcode;
}

} // namespace

ItemLimits ReadItemLimits(TDm& dm)
{
    return { salesSetting(dm.MyQpayment, S("rate")), salesSetting(dm.MyQpayment, S("minimal")) };
}

ItemLimits StoredItemLimits()
{
    const QString key = S("Software\\pos_settings");
    TRegistry reg;
    if (!reg.keyExists(key))
        reg.createKey(key);
    return { reg.readString(key, S("rate")), reg.readString(key, S("minimal")) };
}

QStringList FillItemNameLists(TDm& dm)
{
    TQuery& q = dm.MyQItemDetails;
    q.exec(S("select itemname from item"));
    QStringList names;
    for (q.first(); !q.eof(); q.next()) {
        if (!q.field(S("itemname")).isNull())
            names << q.text(S("itemname")).toUpper();
    }
    return names;
}

TQuery& ItemGrid(TDm& dm)
{
    dm.MyQuery2.exec(S("select * from item "));
    return dm.MyQuery2;
}

QString AddItem(TDm& dm, ItemEntry& entry, const QString& minimalFloor)
{
    // A negative or malformed figure (pasted, or from another caller) is refused like a missing
    // one: a floor or a zero put in its place would store what nobody typed.
    const bool minimalOk = minimalTyped(entry.minimal);
    if (minimalOk)
        entry.minimal = ItemFields::minimalFloor(entry.minimal, minimalFloor);
    if (entry.discount.isEmpty())
        entry.discount = S("0");
    if (entry.tax.isEmpty())
        entry.tax = S("0");
    LogWrite(itemLogLine("Item added", entry.name, entry), 0);

    const QString name = entry.name.trimmed().toUpper().left(kNameWidth);
    const QString rate = decimalValue(entry.rate);
    const auto discount = percentValue(entry.discount);
    const auto tax = percentValue(entry.tax);
    if (name.isEmpty() || rate.isEmpty() || !minimalOk || !Numbers::isInteger(entry.minimal) || !discount || !tax)
        return S("Enter the item details");

    TQuery& q = dm.MyQItemDetails;
    const QString barcode = entry.barcode.left(kBarcodeWidth);
    const QString compared = barcode.isEmpty() ? S("0") : barcode;
    QStringList spellings;
    for (const QString& s : barcodeSpellings(compared))
        spellings << q.quote(s);
    // The server finds the candidates by its indexes; the exact comparisons are made here, in
    // table order, the first match deciding.
    q.exec(S("select itemname,barcode from item where itemname=") + q.quote(name) + S(" or barcode in (")
        + spellings.join(QLatin1Char(',')) + S(") order by itemcode"));
    for (q.first(); !q.eof(); q.next()) {
        if (q.text(S("itemname")) == name)
            return S("Item Already Exist");
        const QString stored = q.text(S("barcode"));
        if (!stored.isEmpty() && sameBarcode(stored, compared))
            return S("Barcode already exist");
    }
    try {
        q.exec(S("insert into item(itemname,rate,discount,tax,minimal,barcode) values (") + q.quote(name) + ','
            + q.quote(rate) + ',' + q.quote(*discount) + ',' + q.quote(*tax) + ',' + q.quote(entry.minimal.trimmed())
            + ',' + q.quote(barcode) + ')');
    } catch (const EDatabaseError& e) {
        // another administrator added the name since it was checked: the name's key refuses it
        if (e.serverCode() == kDuplicateKey)
            return S("Item Already Exist");
        throw;
    }
    return {};
}

ItemEntry LoadItemForChange(TDm& dm, const QString& name)
{
    TQuery& q = dm.MyQItemDetails;
    q.exec(S("select * from item where itemname=") + q.quote(name));
    ItemEntry e;
    if (q.isEmpty())
        return e;
    e.name = q.text(S("itemname"));
    e.rate = q.text(S("rate"));
    e.discount = q.text(S("discount"));
    e.tax = q.text(S("tax"));
    e.minimal = q.text(S("minimal"));
    e.barcode = q.text(S("barcode"));
    return e;
}

ChangeOutcome UpdateItem(TDm& dm, const QString& name, const ItemEntry& entry, const QString& minimalFloor)
{
    const auto discount = percentValue(entry.discount);
    const auto tax = percentValue(entry.tax);
    if (!decimalTyped(entry.rate) || !discount || !tax || !minimalTyped(entry.minimal))
        return { false, S("Enter the item details") };
    const QString rate = decimalValue(entry.rate);
    if (name.isEmpty() || rate.isEmpty())
        return {};
    TQuery& q = dm.MyQItemDetails;
    const QString barcode = entry.barcode.left(kBarcodeWidth);
    if (!barcode.isEmpty()) {
        q.exec(S("select itemname,barcode from item where itemname<>") + q.quote(name) + S(" and barcode=")
            + q.quote(barcode) + S(" limit 1"));
        if (!q.isEmpty())
            return { false, S("Barcode Already Exist") };
    }
    LogWrite(itemLogLine("Item changed", name, entry), 0);
    // the server takes no empty text for a number: what the add panel would store instead
    QString minimal = ItemFields::minimalFloor(entry.minimal, minimalFloor);
    if (!Numbers::isInteger(minimal))
        minimal = S("0");
    q.exec(S("update item set rate=") + q.quote(rate) + S(",discount=") + q.quote(*discount) + S(", tax=")
        + q.quote(*tax) + S(",minimal=") + q.quote(minimal.trimmed()) + S(" ,barcode=") + q.quote(barcode)
        + S(" where itemname=") + q.quote(name));
    return { true, QString() };
}

void RemoveItem(TDm& dm, const QString& name)
{
    LogWrite(S("Item: ") + name + S(" was removed"), 0);
    TQuery& q = dm.MyQItemDetails;
    q.exec(S("delete from itemdetails where  itemcode in (select itemcode from item where itemname=") + q.quote(name)
        + ')');
    q.exec(S("delete from item where itemname=") + q.quote(name));
}

QString SaveOverallTax(TDm& dm, const QDate& day, const QString& rate, const QString& shownDate)
{
    LogWrite(S("Overall Tax added --TAX: ") + rate + S(" on ") + shownDate, 0);
    // as the field holds it: a plain decimal of at most 100 per cent
    const QString value = decimalValue(rate);
    if (value.isEmpty() || Numbers::parse(value) > 100)
        return S("Please Enter the Tax");
    TQuery& q = dm.MyQItemDetails;
    const QString d = q.quote(day.toString(S("yyyy-MM-dd")));
    const QString change = S("update tax set rate=") + q.quote(value) + S(" where sdate=") + d;
    // One row per day: a day that has its row gets the new rate. The day's key refuses a second
    // row that another administrator inserted since the check, and the save becomes a change.
    q.exec(S("select sdate from tax where sdate=") + d + S(" limit 1"));
    if (!q.isEmpty()) {
        q.exec(change);
        return S("Tax is changed");
    }
    try {
        q.exec(S("insert into tax(sdate,rate) values(") + d + ',' + q.quote(value) + ')');
    } catch (const EDatabaseError& e) {
        if (e.serverCode() != kDuplicateKey)
            throw;
        q.exec(change);
        return S("Tax is changed");
    }
    return S("TAX is added");
}

std::optional<TaxShown> ShowLatestTax(TDm& dm)
{
    TQuery& q = dm.MyQItemDetails;
    q.exec(S("select rate,sdate from tax where sdate=(select max(sdate) from tax)"));
    if (q.isEmpty())
        return std::nullopt;
    const QString stored = q.text(S("rate"));
    QString rate = Numbers::fixed(Numbers::isNumber(stored) ? Numbers::parse(stored) : 0, 2);
    if (rate.startsWith(S("0.")))
        rate.remove(0, 1);
    const QDate date = QDate::fromString(q.text(S("sdate")), S("yyyy-MM-dd"));
    return TaxShown { rate, date.toString(S("dd-MM-yyyy")) };
}

namespace ItemFields {

namespace {

    // Delete types no text of its own: it is never filtered.
    bool passes(QChar key)
    {
        return key == QChar(0x7f);
    }

    bool isDigit(QChar key)
    {
        return key >= QLatin1Char('0') && key <= QLatin1Char('9');
    }

    const QChar kBackspace = QLatin1Char('\b');

} // namespace

bool decimalKey(const QString& text, QChar key)
{
    return passes(key) || isDigit(key) || key == kBackspace
        || (key == QLatin1Char('.') && !text.contains(QLatin1Char('.')));
}

bool wholeNumberKey(const QString& text, QChar key)
{
    if (passes(key))
        return true;
    return text.size() <= 6 && (isDigit(key) || key == kBackspace);
}

bool barcodeKey(const QString& text, QChar key)
{
    if (passes(key) || key == kBackspace)
        return true;
    return isDigit(key) && text.size() < 12;
}

QString twoDecimals(const QString& text)
{
    QString t = text;
    const int point = int(t.indexOf(QLatin1Char('.')));
    while (point >= 0 && t.size() - point - 1 > 2)
        t.chop(1);
    return t;
}

QString trailingPoint(const QString& text)
{
    return text.endsWith(QLatin1Char('.')) ? text + QLatin1Char('0') : text;
}

QString percentCut(const QString& text)
{
    if (text.isEmpty())
        return text;
    if (Numbers::isNumber(text) && Numbers::parse(text) > 100)
        return text.left(2);
    return text.left(6);
}

QString rateCut(const QString& text, const QString& rateLimit)
{
    if (text.isEmpty() || !Numbers::isNumber(text) || !Numbers::isNumber(rateLimit))
        return text;
    if (Numbers::parse(text) > Numbers::parse(rateLimit))
        return text.left(std::max(0, int(rateLimit.trimmed().size()) - 1));
    return text;
}

QString minimalCut(const QString& text)
{
    if (Numbers::isInteger(text) && text.size() < 19 && Numbers::parseInt(text) > 1000000)
        return text.left(6);
    return text;
}

QString minimalFloor(const QString& text, const QString& floor)
{
    if (text.trimmed().isEmpty())
        return floor;
    if (Numbers::isInteger(text) && Numbers::isInteger(floor) && text.trimmed().size() < 19
        && Numbers::parseInt(text) < Numbers::parseInt(floor))
        return floor;
    return text;
}

} // namespace ItemFields
