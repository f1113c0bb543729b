// The cashier's company screen: the list, the choice and where it points the connections.
#include "app/posapplication.h"
#include "app/roster.h"
#include "db/datamodulepos.h"
#include "login/adminoptpas.h"
#include "login/poslogin.h"
#include "login/selectpos.h"
#include "login/selectpospas.h"
#include "testsupport.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

class TestSelectPos : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;

    QComboBox* combo() { return roster().frmselectpos->findChild<QComboBox*>(QStringLiteral("ComboBox1")); }
    void click(const char* name)
    {
        QTest::mouseClick(roster().frmselectpos->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        env->clock->setStep(600);
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        roster().create();
        AddCompanyDatabase(*roster().Dm, QStringLiteral("MAIN_ROAD"), nullptr);
        AddCompanyDatabase(*roster().Dm, QStringLiteral("CORNER_SHOP"), nullptr);
        TestServer::exec(
            { QStringLiteral("insert into general_stores.login values('anna','Secret1','cashier',NULL)") });
    }
    void cleanupTestCase()
    {
        roster().destroy();
        env.reset();
    }
    void init() { env->dialogs->clear(); }

    void choiceNames_data()
    {
        QTest::addColumn<QString>("listed");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("key");
        QTest::newRow("blank") << "MAIN ROAD"
                               << "MAIN_ROAD"
                               << "Software\\pos\\MAIN_ROAD_settings";
        QTest::newRow("one word") << "SHOP"
                                  << "SHOP"
                                  << "Software\\pos\\SHOP_settings";
        QTest::newRow("nothing chosen") << ""
                                        << ""
                                        << "Software\\pos\\_settings";
    }
    void choiceNames()
    {
        QFETCH(QString, listed);
        QFETCH(QString, database);
        QFETCH(QString, key);
        const CompanyChoice c = MakeCompanyChoice(listed);
        QCOMPARE(c.name, listed);
        QCOMPARE(c.database, database);
        QCOMPARE(c.settingsKey, key);
    }

    void listsCompaniesWithBlanks()
    {
        roster().frmselectpos->show();
        QCOMPARE(combo()->count(), 2);
        // the catalogue is keyed by the name: the companies are listed by name
        QCOMPARE(combo()->itemText(0), QStringLiteral("CORNER SHOP"));
        QCOMPARE(combo()->itemText(1), QStringLiteral("MAIN ROAD"));
        QCOMPARE(combo()->currentIndex(), -1);
    }

    void nextWithoutChoiceAsksForOne()
    {
        roster().frmselectpos->show();
        click("btnnext");
        QCOMPARE(env->dialogs->texts(), QStringList { QStringLiteral("Select the Company") });
        QVERIFY(roster().frmselectpos->isVisible());
        QVERIFY(!roster().frmmenupos->isVisible());
    }

    void nextPointsTheCounterAtTheCompany()
    {
        roster().fmlogin->CurrentUser = QStringLiteral("anna");
        roster().frmselectpos->show();
        const int mainRoad = combo()->findText(QStringLiteral("MAIN ROAD"));
        combo()->setCurrentIndex(mainRoad);
        QMetaObject::invokeMethod(combo(), "activated", Q_ARG(int, mainRoad));
        click("btnnext");
        QVERIFY(env->dialogs->messages.isEmpty());
        QVERIFY(roster().frmmenupos->isVisible());
        QVERIFY(!roster().frmselectpos->isVisible());
        Tfrmselectpos* s = roster().frmselectpos;
        QCOMPARE(s->SelectedCompanyDb, QStringLiteral("MAIN_ROAD"));
        QCOMPARE(s->SelectedCompanyName, QStringLiteral("MAIN ROAD"));
        QCOMPARE(s->CompanySettingsKey, QStringLiteral("Software\\pos\\MAIN_ROAD_settings"));
        QCOMPARE(ScreenLabel(roster().frmmenupos, QStringLiteral("Label3")), QStringLiteral("MAIN ROAD"));
        QCOMPARE(ScreenLabel(roster().frmmenupos, QStringLiteral("Label10")), QStringLiteral("anna"));
        for (TQuery* q : { &roster().Dm->MyQposorderitem, &roster().Dm->MyQpayment, &roster().Dm->MyQuery2 }) {
            q->exec(QStringLiteral("select database() as db"));
            QCOMPARE(q->text(QStringLiteral("db")), QStringLiteral("MAIN_ROAD"));
        }
        QFile log(QDir::current().filePath(QStringLiteral("LogFiles/Log20261209.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll()).contains(QLatin1String(" pos section")));
        roster().frmmenupos->hide();
    }

    void logoutLetsTheCashierInAgain()
    {
        TestServer::exec({ QStringLiteral("update general_stores.login set u_loggedon='t' where username='anna'") });
        roster().fmlogin->CurrentUser = QStringLiteral("anna");
        roster().frmselectpos->show();
        click("BitBtn1");
        QCOMPARE(
            TestServer::scalar(QStringLiteral("select u_loggedon from general_stores.login where username='anna'")),
            QStringLiteral("f"));
        QVERIFY(roster().fmlogin->isVisible());
        QVERIFY(!roster().frmselectpos->isVisible());
        QVERIFY(roster().fmlogin->CurrentUser.isEmpty());
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestSelectPos test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_selectpos.moc"
