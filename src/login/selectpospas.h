#pragma once

#include <QString>
#include <QStringList>

class TDm;

// A company as chosen on a company screen.
struct CompanyChoice {
    QString name; // as listed: blanks, upper case
    QString database; // blanks as "_"
    QString settingsKey; // "Software\pos\<DATABASE>_settings"
};

CompanyChoice MakeCompanyChoice(const QString& listedName);

// The catalogued companies as listed: "_" shown as blanks, upper case, in catalogue order.
QStringList CompanyList(TDm& dm);
