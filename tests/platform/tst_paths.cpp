#include "platform/services.h"
#include "testsupport.h"
#include "workbook/workbookfiles.h"

#include <QDir>
#include <QFile>
#include <QtTest>

// Where the program finds the files it ships and puts the files it makes: a build keeps both in
// its own folder; an installed copy (<prefix>/bin/pos) reads <prefix>/share/pos and writes to the
// user's data folder.
class TstPaths : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shippedFile_data()
    {
        QTest::addColumn<bool>("besideProgram");
        QTest::addColumn<bool>("inShared");
        QTest::addColumn<bool>("fromShared");
        QTest::newRow("a build's own copy") << true << false << false;
        QTest::newRow("installed") << false << true << true;
        QTest::newRow("a copy beside an installed program wins") << true << true << false;
        QTest::newRow("nowhere: named beside the program") << false << false << false;
    }

    void shippedFile()
    {
        QFETCH(bool, besideProgram);
        QFETCH(bool, inShared);
        QFETCH(bool, fromShared);
        TestEnvironment env;
        const Paths& paths = services().paths();
        QCOMPARE(paths.sharedFolder(), env.root() + QStringLiteral("/share/pos"));
        const QString name = QStringLiteral("billtemplate.xls");
        const QString beside = paths.programFolder() + QLatin1Char('/') + name;
        const QString shared = paths.sharedFolder() + QLatin1Char('/') + name;
        QVERIFY(QDir().mkpath(paths.sharedFolder()));
        for (const auto& [path, wanted] : { std::pair { beside, besideProgram }, std::pair { shared, inShared } }) {
            QFile f(path);
            if (wanted)
                QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QCOMPARE(ShippedFile(name), fromShared ? shared : beside);
        QCOMPARE(WorkbookFiles::templatePath(name), ShippedFile(name));
    }

    void programFolderTakesFiles_data()
    {
        QTest::addColumn<bool>("installed"); // the shared folder of an installation beside it
        QTest::addColumn<bool>("programIsFolder");
        QTest::addColumn<bool>("takesFiles");
        QTest::newRow("a build") << false << true << true;
        QTest::newRow("installed, even where writable") << true << true << false;
        QTest::newRow("no folder") << false << false << false;
    }

    void programFolderTakesFiles()
    {
        QFETCH(bool, installed);
        QFETCH(bool, programIsFolder);
        QFETCH(bool, takesFiles);
        TestEnvironment env;
        const Paths& paths = services().paths();
        if (installed)
            QVERIFY(QDir().mkpath(paths.sharedFolder()));
        if (!programIsFolder)
            QVERIFY(QDir(paths.programFolder()).removeRecursively());
        QCOMPARE(ProgramFolderTakesFiles(), takesFiles);
        // saved bills and exports follow the same rule
        QCOMPARE(WorkbookFiles::outputFolder(), takesFiles ? paths.programFolder() : paths.dataFolder());
    }
};

QTEST_GUILESS_MAIN(TstPaths)
#include "tst_paths.moc"
