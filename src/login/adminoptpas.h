#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class TDm;

// Procedures of the admin options screen.

// The limits a new company starts with: its sales_settings rows, in insertion order, and the
// values of its registry key.
QList<QPair<QString, QString>> InitialCompanySettings();
QList<QPair<QString, QString>> InitialCompanyRegistryValues();
// "Software\pos\" + company + "_settings"
QString CompanySettingsKey(const QString& company);

// Creates the company database (company = database name: upper case, blanks as "_"), its
// tables, its catalogue row, its settings rows and registry key, and refreshes *terminalId
// (when given). Throws EDatabaseError for a name the server or the catalogue cannot hold,
// before anything is created, and when no database client is installed; a failing statement
// throws to the application-wide handler. The caller shows "Company has been added" and
// refills its company list afterwards.
void AddCompanyDatabase(TDm& dm, const QString& company, QString* terminalId);

// Key rule of the company name fields: letters, blank, "(", ")", "." and "@", at most one of
// each of "(", ")" and "." in the field, at most 45 characters. Backspace is always taken.
bool CompanyNameKeyAllowed(const QString& text, QChar key);
// A whole name the key rule lets the fields hold (empty included).
bool CompanyNameAccepted(const QString& text);
// The database name of a typed company name: upper case, blanks as "_".
QString CompanyDatabaseName(const QString& typed);
// Checks a typed name before a company is added; returns the message that refuses it
// ("Enter the company name", "Company already exist", or a name the key rule would not have
// let the field hold, or one the server or the catalogue cannot hold),
// empty when the company may be added.
QString CheckNewCompany(TDm& dm, const QString& typed);

// The catalogued companies as listed ("_" shown as blanks). When exactly one company is
// catalogued, the company connections are pointed at it.
QStringList FillCompanyList(TDm& dm);

// Removes a company: its catalogue row, its database and its registry key, all under the one
// database name given, and logs the removal.
void RemoveCompany(TDm& dm, const QString& database);

// ---- start-of-day maintenance ----

// Whole days from the start of `day` to `now`, truncated toward zero: a bill dated yesterday
// counts 1 at any hour today, one dated tomorrow counts 0 until midnight.
qint64 WholeDaysSince(const QDate& day, const QDateTime& now);

struct MaintenanceReport {
    // One text per pass skipped for a bad limit and per company left out because its database
    // or tables are missing; the caller shows each.
    QStringList messages;
    int cancelledBills = 0;
    int skippedLines = 0;
};

// Cancels the held and part-paid bills whose age reached their company's limit, giving their
// goods back to stock, and refreshes each item's daily snapshot in itemdetails; over every
// catalogued company, or over the companies given. The time comes from the clock service.
MaintenanceReport RunStartOfDayMaintenance(TDm& dm);
MaintenanceReport RunStartOfDayMaintenance(TDm& dm, const QStringList& companies);
