#include "admin/aducashierpas.h"

#include "config/companylogo.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "login/posloginpas.h"
#include "numbers/numbers.h"
#include "platform/errors.h"
#include "platform/latin1.h"
#include "platform/passwordhash.h"
#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Column widths of general_stores.login, sales_settings.value_ and pcmac.path_img.path_: the
// server refuses longer texts in strict mode. A password is hashed whole up to 15 characters,
// the length the table once kept.
constexpr int kUserNameWidth = 10;
constexpr int kPasswordLength = 15;
constexpr int kSettingWidth = 45;
constexpr int kFolderWidth = 245;

const QString kLogins = QStringLiteral("general_stores.login");
const QString kSuperPassword = QStringLiteral("dbname.super_password");

QString userName(const QString& name)
{
    return name.left(kUserNameWidth);
}

// What the login compares: the typed password without blanks around it (the login trims what
// is typed).
QString password(const QString& text)
{
    return text.left(kPasswordLength).trimmed();
}

QString byWhom(const QString& by)
{
    return by.isEmpty() ? S("the first-user login") : by;
}

UserRow currentUser(const TQuery& q)
{
    return { q.text(S("username")), q.text(S("role")), q.text(S("u_loggedon")) == S("t") };
}

// The stored password of the user of that name and role when the typed one matches it; a null
// text when there is no such user or the password differs.
QString matchingStoredPassword(TDm& dm, const QString& name, const QString& pass, const QString& role)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select password,role from ") + kLogins + S(" where username=") + q.quote(name) + S(" and role=")
        + q.quote(role));
    if (q.isEmpty() || q.field(S("password")).isNull())
        return QString();
    const QString stored = q.text(S("password"));
    return PasswordMatches(stored, pass) ? stored : QString();
}

} // namespace

QList<UserRow> ListUsers(TDm& dm)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select username,role,u_loggedon from ") + kLogins + S(" order by u_loggedon desc"));
    QList<UserRow> users;
    for (q.first(); !q.eof(); q.next())
        users << currentUser(q);
    return users;
}

UserRow ReadUser(TDm& dm, const QString& name)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select username,role,u_loggedon from ") + kLogins + S(" where username=") + q.quote(name));
    return currentUser(q);
}

QString AddUser(TDm& dm, const QString& name, const QString& pass, const QString& role, const QString& by)
{
    TQuery& q = dm.MyQLogin;
    const QString user = userName(name);
    // The key compares names without regard to letter case or trailing blanks: any row found
    // is the same name.
    q.exec(S("select username from ") + kLogins + S(" where username=") + q.quote(user.trimmed()));
    if (!q.isEmpty())
        return S("Username already exist");
    const QString hash = HashPassword(password(pass));
    try {
        q.exec(S("insert into ") + kLogins + S(" values(") + q.quote(user) + QLatin1Char(',') + q.quote(hash)
            + QLatin1Char(',') + q.quote(role) + S(",\"\")"));
    } catch (const EDatabaseError& e) {
        // another administrator added the name since it was checked
        if (e.serverCode() == QLatin1String("1062"))
            return S("Username already exist");
        throw;
    }
    LogAdd(S("NEW user added -->username: ") + user + S(" Role :") + role + S(", password set by ") + byWhom(by));
    return S("New User created");
}

bool AddingNeedsSuperPassword(TDm& dm, const QString& name, const QString& role)
{
    if (role != S("admin") || SuperPasswordSet(dm))
        return false;
    TQuery& q = dm.MyQLogin;
    q.exec(S("select username from ") + kLogins + S(" where username=") + q.quote(userName(name).trimmed()));
    return q.isEmpty();
}

bool UserWithRoleExists(TDm& dm, const QString& name, const QString& role)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select * from ") + kLogins + S(" where username=") + q.quote(name.trimmed()) + S("  and role=")
        + q.quote(role) + QLatin1Char(' '));
    return !q.isEmpty();
}

bool ChangePassword(TDm& dm, const QString& name, const QString& pass, const QString& role, const QString& by)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("update ") + kLogins + S(" set password=") + q.quote(HashPassword(password(pass))) + S(" where role=")
        + q.quote(role) + S("  and username=") + q.quote(name));
    if (q.rowsAffected() == 0)
        return false;
    LogAdd(
        S("password changedd -->username: ") + name + S(" Role :") + role + S(", password changed by ") + byWhom(by));
    return true;
}

RemovalCheck CheckRemoval(TDm& dm, const QString& name, const QString& pass, const QString& role, QString* stored)
{
    *stored = matchingStoredPassword(dm, name, pass, role);
    if (stored->isNull())
        return RemovalCheck::NoSuchUser;
    const QString storedRole = dm.MyQLogin.text(S("role"));
    if (storedRole == S("admin"))
        return RemovalCheck::NeedsSuperPassword;
    if (storedRole == S("cashier"))
        return RemovalCheck::Allowed;
    return RemovalCheck::UnknownRole;
}

bool RemoveUser(TDm& dm, const QString& name, const QString& role, const QString& stored, const QString& by)
{
    TQuery& q = dm.MyQLogin;
    // letter for letter: a password kept as typed may have been changed to another case
    q.exec(S("delete from ") + kLogins + S(" where username=") + q.quote(name) + S(" and role=") + q.quote(role)
        + S(" and password=binary ") + q.quote(stored));
    if (q.rowsAffected() == 0)
        return false;
    LogAdd(S("user removed -->username: ") + name + S(" Role :") + role + S(" by ") + byWhom(by));
    return true;
}

bool SuperPasswordSet(TDm& dm)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select password from ") + kSuperPassword + S(" where id=1"));
    return !q.isEmpty() && !q.field(S("password")).isNull() && !q.text(S("password")).isEmpty();
}

bool StoreSuperPassword(TDm& dm, const QString& superPassword, const QString& by)
{
    TQuery& q = dm.MyQLogin;
    try {
        // the key decides: a second terminal's row is refused, the first one's stands
        q.exec(S("insert into ") + kSuperPassword + S(" (id,password) values (1,")
            + q.quote(HashPassword(superPassword)) + QLatin1Char(')'));
    } catch (const EDatabaseError& e) {
        if (e.serverCode() == QLatin1String("1062"))
            return false;
        throw;
    }
    LogAdd(S("Superpassword set by ") + byWhom(by));
    return true;
}

bool IsSuperPassword(TDm& dm, const QString& typed)
{
    TQuery& q = dm.MyQLogin;
    q.exec(S("select password from ") + kSuperPassword + S(" where id=1"));
    if (q.isEmpty() || q.field(S("password")).isNull())
        return false;
    const QString stored = q.text(S("password"));
    // only a hash is ever stored here
    return IsPasswordHash(stored) && PasswordMatches(stored, typed);
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
