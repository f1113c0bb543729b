#pragma once

#include <QString>

class TDm;

// Procedures of the login screen: user check, bootstrap login, logout, field rules.

// Key rules of the login fields: the user name takes at most 17 characters of ".", digits and
// letters; the password at most 13 characters of any kind. Backspace is always taken.
bool LoginNameKeyAllowed(const QString& text, QChar key);
bool PasswordKeyAllowed(const QString& text, QChar key);

// True when the users table has a user: the first row's name, password and role are all set.
bool UsersExist(TDm& dm);

enum class LoginResult { Cashier, Admin, AlreadyLoggedOn, NoMatch };

// Checks a user against the users table and marks a user let in as logged on ("t"). The name and
// the password must match exactly, letter case included; the table holds the password's hash,
// or, in a row from an earlier version, the password itself, which a user let in has replaced by
// its hash. A cashier already logged on somewhere is refused; the check and the marking are one
// statement, so two terminals cannot both let the same cashier in.
LoginResult LoginCheck(TDm& dm, const QString& name, const QString& password);

// Replaces a password kept as typed by its hash, provided the row still holds it; true when it
// did. Nothing happens to a hash or when the password given is not the stored one.
bool UpgradeStoredPassword(TDm& dm, const QString& name, const QString& storedPlain, const QString& password);

enum class BootstrapResult { Ok, IncorrectPassword, IncorrectUsername, IncorrectUsernameAndPassword };

// The built-in login that works while no user exists, against "User" and "Password" of
// "\Software\pos" (the password is kept as its MD5 text).
BootstrapResult CheckBootstrapLogin(const QString& name, const QString& password);

// After a bootstrap login this terminal's registration row gets the role "admin".
void MarkTerminalAdmin(TDm& dm, const QString& adapterAddress);

// Sets the user's logged-on flag back to "f"; nothing happens for an empty name.
void ResetLoggedOn(TDm& dm, const QString& userName);
