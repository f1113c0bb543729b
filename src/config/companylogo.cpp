#include "config/companylogo.h"

#include "db/datamodulepos.h"

#include <QFileInfo>

QString LogoFolder(TDm& dm)
{
    TQuery& q = dm.MyQuery1;
    q.exec(QStringLiteral("select * from pcmac.path_img "));
    QString folder = q.text(QStringLiteral("path_")).trimmed();
    while (folder.size() > 1 && (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder.chop(1);
    return folder;
}

QString FindCompanyLogo(const QString& folder, const QString& companyDb, const QStringList& extensions)
{
    if (folder.isEmpty() || companyDb.isEmpty())
        return {};
    const QString base = folder + QLatin1Char('/') + QString(companyDb).replace(QLatin1Char(' '), QLatin1Char('_'));
    QString found;
    for (const QString& extension : extensions) {
        const QString file = base + extension;
        if (QFileInfo(file).isFile())
            found = file;
    }
    return found;
}
