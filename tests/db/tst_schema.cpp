// What tells the two variants of the table statements apart, and nothing else.
#include "db/schema.h"

#include <QtTest>

class TestSchema : public QObject {
    Q_OBJECT

    static QString statementOf(const QString& table, Schema::Variant v)
    {
        for (const QString& s : Schema::tableStatements(QStringLiteral("DB"), v)) {
            if (s.startsWith(QStringLiteral("CREATE TABLE `DB`.%1 (").arg(table)))
                return s;
        }
        return QString();
    }

private Q_SLOTS:
    void variants_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("generalHasTerminal");
        QTest::addColumn<QString>("companyKey");
        QTest::addColumn<QString>("generalKey");
        QTest::newRow("card_details") << "card_details" << true << "billno,cardno,pcid"
                                      << "billno,cardno";
        QTest::newRow("tordergrid") << "tordergrid" << false << "id"
                                    << "id";
        QTest::newRow("temp_ordergrid") << "temp_ordergrid" << false << "id"
                                        << "id";
        QTest::newRow("delivery") << "delivery" << true << "sdate,billno,pcid"
                                  << "sdate,billno";
        QTest::newRow("sales_order") << "sales_order" << true << "sdate,billno,pcid"
                                     << "sdate,billno";
        QTest::newRow("vbilldetails") << "vbilldetails" << true << ""
                                      << "";
        QTest::newRow("sales_order_details") << "sales_order_details" << true << "billno,itemcode,stime,pcid"
                                             << "billno,itemcode,stime";
    }
    void variants()
    {
        QFETCH(QString, table);
        QFETCH(bool, generalHasTerminal);
        QFETCH(QString, companyKey);
        QFETCH(QString, generalKey);
        const QString company = statementOf(table, Schema::Variant::Company);
        const QString general = statementOf(table, Schema::Variant::GeneralStores);
        QVERIFY(company.contains(QLatin1String("pcid int(5) not NULL")));
        QCOMPARE(general.contains(QLatin1String("pcid int(5) not NULL")), generalHasTerminal);
        QCOMPARE(company.contains(QStringLiteral("PRIMARY KEY (%1)").arg(companyKey)), !companyKey.isEmpty());
        QCOMPARE(general.contains(QStringLiteral("PRIMARY KEY (%1)").arg(generalKey)), !generalKey.isEmpty());
        QVERIFY(company.endsWith(QLatin1String(") ENGINE=InnoDB;")));
    }

    void eighteenTablesInOrder()
    {
        const QStringList names = Schema::tableNames();
        QCOMPARE(names.size(), 18);
        QCOMPARE(names.first(), QStringLiteral("card_details"));
        QCOMPARE(names.last(), QStringLiteral("sales_settings"));
        // the two general_stores scripts hold all eighteen between them
        const QString both = Schema::generalStoresScript1() + Schema::generalStoresScript2();
        for (const QString& n : names)
            QCOMPARE(both.count(QStringLiteral("general_stores`.%1 (").arg(n)), 1);
    }

    void indexesInAFormEveryServerTakes()
    {
        // MySQL 8 has no CREATE INDEX IF NOT EXISTS; a rerun's "Duplicate key name" counts as done
        static const QRegularExpression plain(
            QStringLiteral(R"(^CREATE (UNIQUE )?INDEX \w+ ON `DB`\.\w+ \([\w,]+\);$)"));
        const QStringList indexes = Schema::indexStatements(QStringLiteral("DB"));
        QVERIFY(!indexes.isEmpty());
        for (const QString& s : indexes)
            QVERIFY2(plain.match(s).hasMatch(), qPrintable(s));
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
