#include "config/salessettings.h"
#include "db/datamodulepos.h"
#include "db/schema.h"
#include "testsupport.h"

#include <QtTest>

namespace {

const QString kDatabase = QStringLiteral("TST_SALESSETTINGS");

} // namespace

class TestSalesSettings : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<TDm> m_dm;

private Q_SLOTS:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnvironment>();
        TestServer::exec(
            { QStringLiteral("DROP DATABASE IF EXISTS ") + kDatabase, QStringLiteral("CREATE DATABASE ") + kDatabase });
        TestServer::exec(Schema::tableStatements(kDatabase, Schema::Variant::Company));
        const QString insert = QStringLiteral("INSERT INTO %1.sales_settings VALUES ").arg(kDatabase);
        TestServer::exec({
            insert + QStringLiteral("('rate','100000')"),
            insert + QStringLiteral("('hold Limit','30')"),
            insert + QStringLiteral("('Round Off','2')"),
            insert + QStringLiteral("('minimal value','0.10')"),
            insert + QStringLiteral("('say \"hi\"','quoted')"),
            insert + QStringLiteral("('Round amount','')"),
        });

        m_dm = std::make_unique<TDm>(TestServer::settings());
        m_dm->setCompanyDatabase(kDatabase, true);
    }

    void cleanupTestCase()
    {
        m_dm.reset();
        TestServer::exec({ QStringLiteral("DROP DATABASE IF EXISTS ") + kDatabase });
        m_env.reset();
    }

    void lookup_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");

        QTest::newRow("present") << "rate"
                                 << "100000";
        QTest::newRow("value text kept as is") << "minimal value"
                                               << "0.10";
        QTest::newRow("case-insensitive name") << "hold limit"
                                               << "30";
        QTest::newRow("upper case name") << "ROUND OFF"
                                         << "2";
        QTest::newRow("missing row") << "Part payment days"
                                     << "";
        QTest::newRow("empty name") << ""
                                    << "";
        QTest::newRow("double quote in the name") << "say \"hi\""
                                                  << "quoted";
        QTest::newRow("quote trying to match every row") << "x\" or \"1\"=\"1"
                                                         << "";
        QTest::newRow("single quote trying to match every row") << "x' or '1'='1"
                                                                << "";
        QTest::newRow("backslash before the quote") << "x\\\" or 1=1 -- "
                                                    << "";
    }

    void lookup()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);

        QCOMPARE(salesSetting(m_dm->MyQPur, name), value);
        QCOMPARE(salesSetting(m_dm->MyQItemDetails, name), value);
    }

    void emptyValueReadsEmpty()
    {
        QCOMPARE(salesSetting(m_dm->MyQPur, QStringLiteral("Round amount")), QString());
        QCOMPARE(m_dm->MyQPur.recordCount(), 1);
    }

    void statementsAreHarmless()
    {
        salesSetting(m_dm->MyQPur, QStringLiteral("x\"; delete from sales_settings; -- "));
        QCOMPARE(TestServer::count(QStringLiteral("select count(*) from %1.sales_settings").arg(kDatabase)), 6);
    }
};

QTEST_GUILESS_MAIN(TestSalesSettings)
#include "tst_salessettings.moc"
