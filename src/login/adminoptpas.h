#pragma once

#include <QList>
#include <QPair>
#include <QString>

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
