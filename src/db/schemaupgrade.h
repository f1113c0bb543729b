#pragma once

#include <QString>
#include <QStringList>

class TDm;

// The schema version of the company databases. The catalogue keeps one row per company in
// dbname.schema_version; a company without a row predates the versions and is at version 1.
// Each change to the tables of existing companies is one numbered step, run at start on every
// catalogued company before anything else writes; new companies are created at the newest
// version.
namespace SchemaVersion {

// The version this program creates and works with.
int current();

// The highest version found in the catalogue, 0 when there is no catalogue or no row yet.
int newestInCatalogue(TDm& dm);

// The message that refuses to start a program older than the shop's databases, empty when this
// program may go on. Reads only.
QString refusalForOlderProgram(TDm& dm);

struct UpgradeReport {
    QStringList upgraded; // companies brought to the current version
    // to show: a company left as it was, values that could not be made unique, a wait that ran out
    QStringList messages;
};

// Brings every catalogued company to the current version, one step after the other; a company
// whose step fails is left at its last complete version with a message, the others go on. Two
// terminals starting at once upgrade one after the other (a named server lock); the second
// finds nothing left to do.
UpgradeReport upgradeCompanies(TDm& dm);

// A company created at the current version (its tables made from the newest statements).
void recordNewCompany(TDm& dm, const QString& company);
// A removed company's row goes with it.
void forgetCompany(TDm& dm, const QString& company);

// The catalogue's version table, created when missing.
void ensureCatalogueTable(TDm& dm);

} // namespace SchemaVersion
