#include "login/logincheck.h"

#include "db/datamodulepos.h"
#include "login/posloginpas.h"
#include "platform/passwordhash.h"
#include "platform/registry.h"

bool LoginNameKeyAllowed(const QString& text, QChar key)
{
    if (key == QLatin1Char('\b'))
        return true;
    if (text.size() > 16)
        return false;
    return key == QLatin1Char('.') || (key >= QLatin1Char('0') && key <= QLatin1Char('9'))
        || (key >= QLatin1Char('A') && key <= QLatin1Char('Z')) || (key >= QLatin1Char('a') && key <= QLatin1Char('z'));
}

bool PasswordKeyAllowed(const QString& text, QChar key)
{
    return key == QLatin1Char('\b') || text.size() <= 12;
}

bool UsersExist(TDm& dm)
{
    TQuery& q = dm.MyQLogin;
    q.exec(QStringLiteral("select username,password,role from general_stores.login"));
    return !q.text(QStringLiteral("username")).isEmpty() && !q.text(QStringLiteral("role")).isEmpty()
        && !q.text(QStringLiteral("password")).isEmpty();
}

LoginResult LoginCheck(TDm& dm, const QString& name, const QString& password)
{
    TQuery& q = dm.MyQLogin;
    q.exec(QStringLiteral("select username,password,role from login where username=%1").arg(q.quote(name)));
    // The server compares names without regard to letter case; the name must match as typed,
    // and the password exactly, whether the row holds its hash or, from an earlier version, the
    // password itself.
    if (q.isEmpty() || q.field(QStringLiteral("password")).isNull())
        return LoginResult::NoMatch;
    const QString user = q.text(QStringLiteral("username"));
    const QString role = q.text(QStringLiteral("role"));
    const QString stored = q.text(QStringLiteral("password"));
    if (user != name || !PasswordMatches(stored, password))
        return LoginResult::NoMatch;

    LoginResult result = LoginResult::NoMatch;
    if (role == QLatin1String("cashier")) {
        q.exec(QStringLiteral("update login set u_loggedon=\"t\" where username=%1 and "
                              "(u_loggedon is null or u_loggedon<>\"t\")")
                   .arg(q.quote(name)));
        result = q.rowsAffected() == 1 ? LoginResult::Cashier : LoginResult::AlreadyLoggedOn;
    } else if (role == QLatin1String("admin")) {
        q.exec(QStringLiteral("update login set u_loggedon=\"t\" where username=%1").arg(q.quote(name)));
        result = LoginResult::Admin;
    }
    if (result == LoginResult::Cashier || result == LoginResult::Admin)
        UpgradeStoredPassword(dm, name, stored, password);
    return result;
}

bool UpgradeStoredPassword(TDm& dm, const QString& name, const QString& storedPlain, const QString& password)
{
    if (IsPasswordHash(storedPlain) || storedPlain != password)
        return false;
    TQuery& q = dm.MyQLogin;
    // Only while the row still holds that very password: one changed meanwhile stays as set.
    q.exec(QStringLiteral("update login set password=%1 where username=%2 and password=binary %3")
               .arg(q.quote(HashPassword(password)), q.quote(name), q.quote(storedPlain)));
    return q.rowsAffected() == 1;
}

BootstrapResult CheckBootstrapLogin(const QString& name, const QString& password)
{
    const QString digest = Md5Text(password);
    TRegistry reg;
    const QString key = QStringLiteral("\\Software\\pos");
    reg.createKey(key);
    const QString user = reg.readString(key, QStringLiteral("User"));
    const QString stored = reg.readString(key, QStringLiteral("Password"));
    // The digest of any password is never empty, so an empty stored password matches none.
    if (!user.isEmpty() && name == user)
        return stored == digest ? BootstrapResult::Ok : BootstrapResult::IncorrectPassword;
    return stored != digest ? BootstrapResult::IncorrectUsernameAndPassword : BootstrapResult::IncorrectUsername;
}

void MarkTerminalAdmin(TDm& dm, const QString& adapterAddress)
{
    TQuery& q = dm.MyQposorderitem;
    q.exec(QStringLiteral("use pcmac"));
    q.exec(QStringLiteral("select * from pcmac.pcmac where mac=%1").arg(q.quote(adapterAddress)));
    if (q.isEmpty())
        return;
    TQuery& u = dm.MyQhomedelivery;
    u.exec(QStringLiteral("update pcmac.pcmac set role=\"admin\" where mac=%1 ").arg(u.quote(adapterAddress)));
}

void ResetLoggedOn(TDm& dm, const QString& userName)
{
    if (userName.isEmpty())
        return;
    TQuery& q = dm.MyQLogin;
    q.exec(QStringLiteral("update general_stores.login set u_loggedon=\"f\" where username=%1").arg(q.quote(userName)));
}
