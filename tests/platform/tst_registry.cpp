#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const auto kGroupOrOther = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
    | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

class TstRegistry : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void privateFile_data();
    void privateFile();
};

// The file holds the server password: whatever writes to it leaves it, and a folder it had to
// make, readable by the user only, whatever the umask and an older file's mode.
void TstRegistry::privateFile_data()
{
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<bool>("fileExists"); // an older file, readable by everyone
    QTest::addColumn<QString>("action");

    QTest::newRow("new folder, value") << false << false << QStringLiteral("write");
    QTest::newRow("new folder, empty key") << false << false << QStringLiteral("createKey");
    QTest::newRow("existing folder, value") << true << false << QStringLiteral("write");
    QTest::newRow("readable file, value") << true << true << QStringLiteral("write");
    QTest::newRow("readable file, empty key") << true << true << QStringLiteral("createKey");
    QTest::newRow("readable file, key deleted") << true << true << QStringLiteral("deleteKey");
}

void TstRegistry::privateFile()
{
    QFETCH(bool, folderExists);
    QFETCH(bool, fileExists);
    QFETCH(QString, action);

    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("config/pos"));
    const QString file = folder + QStringLiteral("/registry.ini");
    const mode_t oldMask = ::umask(022);
    if (folderExists)
        QVERIFY(QDir().mkpath(folder));
    if (fileExists) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Software]\npos\\db\\password=secret\n[old]\nkey=1\n");
        f.close();
        QVERIFY(QFile::permissions(file) & QFileDevice::ReadOther);
    }

    TRegistry reg(file);
    if (action == QLatin1String("write"))
        reg.writeString(QStringLiteral("\\Software\\pos\\db"), QStringLiteral("password"), QStringLiteral("p"));
    else if (action == QLatin1String("createKey"))
        reg.createKey(QStringLiteral("Software\\pos\\SHOP_settings"));
    else
        reg.deleteKey(QStringLiteral("old"));
    ::umask(oldMask);

    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(QFile::permissions(file) & kGroupOrOther, QFileDevice::Permissions());
    if (!folderExists)
        QCOMPARE(QFile::permissions(folder) & kGroupOrOther, QFileDevice::Permissions());
    if (fileExists) // what was stored stays
        QCOMPARE(reg.readString(QStringLiteral("Software\\pos\\db"), QStringLiteral("password")),
            action == QLatin1String("write") ? QStringLiteral("p") : QStringLiteral("secret"));
}

QTEST_GUILESS_MAIN(TstRegistry)
#include "tst_registry.moc"
