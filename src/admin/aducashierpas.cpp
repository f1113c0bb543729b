#include "admin/aducashierpas.h"

#include "config/companylogo.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/posloginpas.h"
#include "numbers/numbers.h"
#include "platform/errors.h"
#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString S(const char* text)
{
    return QString::fromLatin1(text);
}

// Column widths of general_stores.login, sales_settings.value_ and pcmac.path_img.path_: the
// server refuses longer texts in strict mode.
constexpr int kUserNameWidth = 10;
constexpr int kPasswordWidth = 15;
constexpr int kSettingWidth = 45;
constexpr int kFolderWidth = 245;

const QString kLogins = QStringLiteral("general_stores.login");

QString userName(const QString& name)
{
    return name.left(kUserNameWidth);
}

QString password(const QString& text)
{
    return text.left(kPasswordWidth);
}

UserRow currentUser(const TQuery& q)
{
    return { q.text(S("username")), q.text(S("password")), q.text(S("role")), q.text(S("u_loggedon")) == S("t") };
}

} // namespace

QList<UserRow> ListUsers(TDm& dm)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select * from ") + kLogins + S(" order by u_loggedon desc"));
    QList<UserRow> users;
    for (q.first(); !q.eof(); q.next())
        users << currentUser(q);
    return users;
}

UserRow ReadUser(TDm& dm, const QString& name)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select * from ") + kLogins + S(" where username=") + q.quote(name));
    return currentUser(q);
}

QString AddUser(TDm& dm, const QString& name, const QString& pass, const QString& role)
{
    TQuery& q = dm.MyQLogin;
    const QString user = userName(name);
    const QString secret = password(pass);
    // The key compares names without regard to letter case or trailing blanks: any row found
    // is the same name.
    q.exec(S("select username from ") + kLogins + S(" where username=") + q.quote(user.trimmed()));
    if (!q.isEmpty())
        return S("Username already exist");
    q.exec(S("select * from ") + kLogins + S(" where username=") + q.quote(user) + S(" and password=") + q.quote(secret)
        + S(" and role=") + q.quote(role) + QLatin1Char(' '));
    if (!q.isEmpty())
        return S("User already Exist");
    try {
        q.exec(S("insert into ") + kLogins + S(" values(") + q.quote(user) + QLatin1Char(',') + q.quote(secret)
            + QLatin1Char(',') + q.quote(role) + S(",\"\")"));
    } catch (const EDatabaseError& e) {
        // another administrator added the name since it was checked
        if (e.serverCode() == QLatin1String("1062"))
            return S("Username already exist");
        throw;
    }
    LogAdd(S("NEW user added -->username: ") + user + S("Password :") + Md5Text(secret) + S(" Role :") + role);
    return S("New User created");
}

bool UserWithRoleExists(TDm& dm, const QString& name, const QString& role)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select * from ") + kLogins + S(" where username=") + q.quote(name.trimmed()) + S("  and role=")
        + q.quote(role) + QLatin1Char(' '));
    return !q.isEmpty();
}

void ChangePassword(TDm& dm, const QString& name, const QString& pass, const QString& role)
{
    TQuery& q = dm.MyQLogin;
    const QString secret = password(pass);
    LogAdd(S("password changedd -->username: ") + name + S("Password :") + Md5Text(secret) + S(" Role :") + role);
    q.exec(S("update ") + kLogins + S(" set password=") + q.quote(secret) + S(" where role=") + q.quote(role)
        + S("  and username=") + q.quote(name));
}

RemovalCheck CheckRemoval(TDm& dm, const QString& name, const QString& pass, const QString& role)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select * from ") + kLogins + S(" where username=") + q.quote(name) + S(" and password=") + q.quote(pass)
        + S(" and role=") + q.quote(role) + QLatin1Char(' '));
    if (q.isEmpty())
        return RemovalCheck::NoSuchUser;
    const QString stored = q.text(S("role"));
    if (stored == S("admin"))
        return RemovalCheck::NeedsSuperPassword;
    if (stored == S("cashier"))
        return RemovalCheck::Allowed;
    return RemovalCheck::UnknownRole;
}

void RemoveUser(TDm& dm, const QString& name, const QString& pass, const QString& role)
{
    TQuery& q = dm.MyQLogin;
    LogAdd(S("user removed -->username: ") + name + S(" Role :") + role);
    q.exec(S("delete from ") + kLogins + S(" where username=") + q.quote(name) + S(" and password=") + q.quote(pass)
        + S(" and role=") + q.quote(role));
}

QString UnscrambleText(const QByteArray& scrambled)
{
    QString plain;
    plain.reserve(scrambled.size());
    for (auto it = scrambled.crbegin(); it != scrambled.crend(); ++it)
        plain += QChar(uchar(~uchar(*it)));
    return plain;
}

bool IsSuperPassword(const QString& typed)
{
    static const unsigned char kScrambled[12]
        = { 0x85, 0x8b, 0xdc, 0xc6, 0xae, 0x8d, 0x9e, 0x92, 0xde, 0xcb, 0x87, 0xa9 };
    return typed == UnscrambleText(QByteArray(reinterpret_cast<const char*>(kScrambled), sizeof kScrambled));
}

// ---------------------------------------------------------------------------------------------

SalesLimits LoadSalesLimits(TDm& dm)
{
    TQuery& q = dm.MyQpayment;
    auto value = [&q](const char* name) {
        q.exec(S("select * from sales_settings where Name=") + q.quote(S(name)));
        return q.text(S("value_"));
    };
    SalesLimits l;
    l.rate = value("rate");
    l.quantity = value("quantity");
    l.purchase = value("purchase");
    l.minimal = value("minimal");
    l.holdLimit = value("hold limit");
    l.minimalValue = value("minimal value");
    l.partPaymentDays = value("Part payment days");
    l.roundOff = value("Round Off");
    l.roundAmount = value("Round amount") == S("checked");
    return l;
}

bool SalesLimitsComplete(const SalesLimits& l)
{
    static const QRegularExpression whole(S("^\\d+$"));
    static const QRegularExpression decimal(S("^(\\d+\\.?\\d*|\\.\\d+)$"));
    const auto fits = [](const QString& text, const QRegularExpression& re) {
        return text.size() <= kSettingWidth && re.match(text).hasMatch();
    };
    return fits(l.rate, decimal) && fits(l.minimalValue, decimal) && fits(l.quantity, whole) && fits(l.purchase, whole)
        && fits(l.minimal, whole) && fits(l.holdLimit, whole) && fits(l.partPaymentDays, whole)
        && fits(l.roundOff, whole);
}

void ChangeSalesLimits(TDm& dm, const SalesLimits& l, const QString& settingsKey)
{
    TQuery& q = dm.MyQpayment;
    const QList<QPair<QString, QString>> rows {
        { S("rate"), l.rate },
        { S("quantity"), l.quantity },
        { S("minimal"), l.minimal },
        { S("purchase"), l.purchase },
        { S("hold Limit"), l.holdLimit },
        { S("minimal value"), l.minimalValue },
        { S("Part payment days"), l.partPaymentDays },
        { S("Round Off"), l.roundOff },
        { S("Round amount"), l.roundAmount ? S("checked") : S("not checked") },
    };
    // The rows go as a whole: a failure part-way leaves the old settings, never an empty table.
    InTransaction(q.connection(), Isolation::RepeatableRead, [&] {
        q.exec(S("delete from sales_settings"));
        for (const auto& [name, value] : rows)
            q.exec(S("insert into sales_settings values (") + q.quote(name) + QLatin1Char(',') + q.quote(value)
                + QLatin1Char(')'));
    });

    if (!settingsKey.isEmpty()) {
        TRegistry reg;
        reg.createKey(settingsKey);
        reg.writeString(settingsKey, S("rate"), l.rate);
        reg.writeString(settingsKey, S("quantity"), l.quantity);
        reg.writeString(settingsKey, S("purchase"), l.purchase);
        reg.writeString(settingsKey, S("minimal"), l.minimal);
        reg.writeString(settingsKey, S("hold limit"), l.holdLimit);
        reg.writeString(settingsKey, S("minimal value"), l.minimalValue);
    }
    LogAdd(S("Settings Changed -->rate") + l.rate + S(" quantity :") + l.quantity + S(" purchase :") + l.purchase
        + S(" minimal: ") + l.minimal + S(" hold entry  limit: ") + l.holdLimit);
}

LimitRuleResult ApplyLimitRule(LimitField field, const QString& text)
{
    struct Rule {
        int cut; // characters kept while within the bound; 0 = no cut
        const char* bound;
        const char* message;
        bool emptyAbove; // above the bound: emptied, else cut
    };
    Rule r {};
    switch (field) {
    case LimitField::Rate:
        return { text.left(9), QString() };
    case LimitField::Quantity:
        r = { 7, "10000000", "Cannot exceed 10000000", false };
        break;
    case LimitField::Purchase:
        r = { 6, "1000000", " Cannot exceed 1000000  ", false };
        break;
    case LimitField::Minimal:
        r = { 7, "10000000", " Cannot exceed 10000000 ", true };
        break;
    case LimitField::HoldLimit:
    case LimitField::PartPaymentDays:
        r = { 4, "3650", " Cannot exceed 3650 days ", true };
        break;
    case LimitField::MinimalValue:
        r = { 0, "1000000", " Cannot exceed Rs. 1000000  ", true };
        break;
    case LimitField::RoundOff:
        r = { 0, "10", " Cannot exceed 10 decimal places  ", true };
        break;
    }
    // A text that does not read as a number (empty, a lone ".") is left for CHANGE to refuse.
    if (!Numbers::isNumber(text) || Numbers::compare(text, S(r.bound)) <= 0)
        return { r.cut ? text.left(r.cut) : text, QString() };
    return { r.emptyAbove ? QString() : text.left(r.cut), S(r.message) };
}

bool LimitKeyAllowed(LimitField field, QChar key)
{
    if (key == QLatin1Char('\b') || (key >= QLatin1Char('0') && key <= QLatin1Char('9')))
        return true;
    return key == QLatin1Char('.') && (field == LimitField::Rate || field == LimitField::MinimalValue);
}

// ---------------------------------------------------------------------------------------------

namespace {

const char* const kLogoExtensions[] = { "bmp", "ico", "jpg" };

QString logoPath(const QString& folder, const QString& companyDb, const QString& extension)
{
    return QDir(folder).filePath(companyDb + QLatin1Char('.') + extension);
}

} // namespace

QString CompanyLogoFile(const QString& folder, const QString& companyDb)
{
    return FindCompanyLogo(folder, companyDb, { S(".bmp"), S(".ico"), S(".jpg") });
}

QString LogoExtension(const QString& chosenFile)
{
    const QString name = QFileInfo(chosenFile).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

QString ReplaceCompanyLogo(
    TDm& dm, const QString& folder, const QString& companyDb, const QString& chosenFile, QString* error)
{
    const QString extension = LogoExtension(chosenFile);
    bool known = false;
    for (const char* ext : kLogoExtensions)
        known = known || extension == QLatin1String(ext);
    if (!known) {
        *error = S("Select a .bmp, .ico or .jpg picture");
        return QString();
    }
    if (folder.size() > kFolderWidth) {
        *error = S("The folder name is longer than 245 characters");
        return QString();
    }
    const QString target = logoPath(folder, companyDb, extension);
    const QString copy = QDir(folder).filePath(S(".") + companyDb + S(".") + extension + S(".new"));
    QFile::remove(copy);
    if (!QFile::copy(chosenFile, copy)) {
        *error = S("The logo could not be copied to ") + folder;
        return QString();
    }

    for (const char* ext : kLogoExtensions)
        QFile::remove(logoPath(folder, companyDb, S(ext)));
    if (!QFile::rename(copy, target)) {
        QFile::remove(copy);
        *error = S("The logo could not be copied to ") + folder;
        return QString();
    }
    TQuery& q = dm.MyQuery1;
    q.exec(S("delete from  pcmac.path_img "));
    q.exec(S("Insert into pcmac.path_img values(\"1\",") + q.quote(folder) + QLatin1Char(')'));
    return target;
}
