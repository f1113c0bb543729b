#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class TDm;

// Procedures of the configuration screen: users and passwords, the company's limits and its logo.

// ---- users ----

// A user as the list shows it; the stored password never leaves the procedures.
struct UserRow {
    QString name;
    QString role;
    bool online = false;
};

// Every user, those logged on first.
QList<UserRow> ListUsers(TDm& dm);
// The user of that name; an empty row when there is none.
UserRow ReadUser(TDm& dm, const QString& name);

// Adds a user, the password kept as its hash, and answers the message to show: "Username
// already exist" (also for a name that differs only in letter case, which the table's key counts
// as the same, and for a name another administrator added meanwhile) or "New User created".
// The log line names who set the password, never the password or its hash.
QString AddUser(TDm& dm, const QString& name, const QString& password, const QString& role, const QString& by);
// True when adding this user must first set the shop's super-password: an administrator whose
// name is free, in a shop that has none yet.
bool AddingNeedsSuperPassword(TDm& dm, const QString& name, const QString& role);
// True when a user of this name has this role.
bool UserWithRoleExists(TDm& dm, const QString& name, const QString& role);
// Stores the new password's hash; false when no user of that name and role is left to change.
bool ChangePassword(TDm& dm, const QString& name, const QString& password, const QString& role, const QString& by);

// What removing a user needs, from the stored row of that name and role whose password matches
// the typed one exactly (a hash, or a password kept as typed, letter case counting). *stored
// receives the stored password the removal then goes by.
enum class RemovalCheck { NoSuchUser, NeedsSuperPassword, Allowed, UnknownRole };
RemovalCheck CheckRemoval(TDm& dm, const QString& name, const QString& password, const QString& role, QString* stored);
// Removes the user while the row still holds the stored password CheckRemoval found: one
// changed meanwhile, on any terminal, keeps the user. False when nothing was removed.
bool RemoveUser(TDm& dm, const QString& name, const QString& role, const QString& stored, const QString& by);

// The shop's super-password, which removing an administrator asks for. It is kept only as its
// hash, in the catalogue; a shop sets it when its first administrator is created.
bool SuperPasswordSet(TDm& dm);
// Stores the shop's super-password unless one is stored already (another terminal may have set
// it meanwhile): false then, and the stored one stands.
bool StoreSuperPassword(TDm& dm, const QString& superPassword, const QString& by);
// False when none is stored.
bool IsSuperPassword(TDm& dm, const QString& typed);
// The shortest super-password taken.
constexpr int kSuperPasswordMinLength = 6;

// ---- limits ----

// The eight fields of "Change Settings" and the round-amount box.
struct SalesLimits {
    QString rate;
    QString quantity;
    QString purchase;
    QString minimal;
    QString holdLimit;
    QString partPaymentDays;
    QString minimalValue;
    QString roundOff;
    bool roundAmount = false;
};

SalesLimits LoadSalesLimits(TDm& dm);
// Every field is filled and reads as a number that fits its column.
bool SalesLimitsComplete(const SalesLimits& limits);
// Replaces the company's settings rows as a whole (all or nothing), mirrors six of them into
// the company's registry key and logs the change.
void ChangeSalesLimits(TDm& dm, const SalesLimits& limits, const QString& settingsKey);

enum class LimitField { Rate, Quantity, Purchase, Minimal, HoldLimit, PartPaymentDays, MinimalValue, RoundOff };

// Rule applied to a limit field after each key: the text the field keeps and the message to
// show (empty when none).
struct LimitRuleResult {
    QString text;
    QString message;
};
LimitRuleResult ApplyLimitRule(LimitField field, const QString& text);
// Keys a limit field takes: digits and backspace, and "." in the rate and the minimum amount.
bool LimitKeyAllowed(LimitField field, QChar key);

// ---- logo ----

// The company's logo file in that folder: of its ".bmp", ".ico" and ".jpg" files the last one
// that exists, in this order; empty when there is none.
QString CompanyLogoFile(const QString& folder, const QString& companyDb);
// The extension of a chosen picture: the text after the last "." of its file name, lower case.
QString LogoExtension(const QString& chosenFile);
// Makes the chosen picture the company's logo in the folder and stores the folder. The new
// file is copied before the old logos are deleted, so a failed copy keeps them. Returns the
// new logo file, or an empty text with *error set.
QString ReplaceCompanyLogo(
    TDm& dm, const QString& folder, const QString& companyDb, const QString& chosenFile, QString* error);
