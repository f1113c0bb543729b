#pragma once

#include <QString>
#include <QStringList>

class TDm;

// The company logo: one picture per company, named after its database, in the shared folder
// that pcmac.path_img registers for every terminal.

// The registered logo folder without trailing separators; empty when none is stored.
QString LogoFolder(TDm& dm);

// Of folder + "/" + the company's database name (blanks as "_") + each extension, tried in the
// given order, the last file that exists; empty when the folder or the company is not set or no
// picture exists.
QString FindCompanyLogo(const QString& folder, const QString& companyDb, const QStringList& extensions);
