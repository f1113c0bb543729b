// The item master and overall tax procedures, called as the item screen calls them.
#include "backoffice/Itempas.h"
#include "backofficefixture.h"
#include "db/datamodulepos.h"
#include "sales/posorderitempas.h"

#include <QtTest>

using namespace BackOfficeFixture;

namespace {

QString itemRow(const QString& name)
{
    return scalar(QStringLiteral("select concat_ws(',',itemname,rate,discount,tax,minimal,barcode) from $db.item "
                                 "where itemname='%1'")
                      .arg(name));
}

} // namespace

class TestItemPas : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<TDm> dm;

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        dm = std::make_unique<TDm>(TestServer::settings());
    }
    void cleanupTestCase()
    {
        dm.reset();
        env.reset();
    }
    void init()
    {
        createCompany();
        dm->setCompanyDatabase(kDb, true);
        addItem(1, QStringLiteral("SUGAR"), 5, QStringLiteral("400000000001"));
        addItem(2, QStringLiteral("OIL"), 5, QStringLiteral("000000000077"));
    }

    void addRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("barcode");
        QTest::addColumn<bool>("zeroBarcodeItem");
        QTest::addColumn<QString>("message");
        QTest::newRow("name in lower case") << "sugar"
                                            << "10"
                                            << "" << false << "Item Already Exist";
        QTest::newRow("name with blanks around") << " SUGAR "
                                                 << "10"
                                                 << "" << false << "Item Already Exist";
        QTest::newRow("barcode of another item") << "RICE"
                                                 << "10"
                                                 << "400000000001" << false << "Barcode already exist";
        QTest::newRow("same code without its leading zeros") << "RICE"
                                                             << "10"
                                                             << "77" << false << "Barcode already exist";
        QTest::newRow("empty barcode beside a stored 0") << "RICE"
                                                         << "10"
                                                         << "" << true << "Barcode already exist";
        QTest::newRow("rate only a point") << "RICE"
                                           << "."
                                           << "" << false << "Enter the item details";
        QTest::newRow("name only blanks") << "   "
                                          << "10"
                                          << "" << false << "Enter the item details";
    }
    void addRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, rate);
        QFETCH(QString, barcode);
        QFETCH(bool, zeroBarcodeItem);
        QFETCH(QString, message);
        if (zeroBarcodeItem)
            addItem(3, QStringLiteral("SALT"));
        const int before = count(QStringLiteral("select count(*) from $db.item"));
        ItemEntry entry { name, rate, QString(), QString(), QString(), barcode };
        QCOMPARE(AddItem(*dm, entry, QStringLiteral("5")), message);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.item")), before);
    }

    void addStoresWhatTheServerTakes()
    {
        ItemEntry rice { QStringLiteral("rice "), QStringLiteral("12."), QStringLiteral("."), QString(),
            QStringLiteral("2"), QString() };
        QCOMPARE(AddItem(*dm, rice, QStringLiteral("5")), QString());
        QCOMPARE(rice.minimal, QStringLiteral("5"));
        QCOMPARE(rice.tax, QStringLiteral("0"));
        QCOMPARE(itemRow(QStringLiteral("RICE")), QStringLiteral("RICE,12,0,0,5,"));

        // any number of items may go without a barcode; an 11-digit one is taken as typed
        ItemEntry dal { QStringLiteral("DAL"), QStringLiteral("30"), QString(), QString(), QStringLiteral("9"),
            QString() };
        QCOMPARE(AddItem(*dm, dal, QStringLiteral("5")), QString());
        ItemEntry salt { QStringLiteral("SALT"), QStringLiteral("8.5"), QStringLiteral("2.25"), QStringLiteral("4"),
            QStringLiteral("7"), QStringLiteral("12345678901") };
        QCOMPARE(AddItem(*dm, salt, QStringLiteral("5")), QString());
        QCOMPARE(count(QStringLiteral("select count(*) from $db.item where barcode=''")), 2);
        QCOMPARE(itemRow(QStringLiteral("SALT")), QStringLiteral("SALT,8.5,2.25,4,7,12345678901"));
    }

    // Figures a field's keys could never have typed (pasted, or from another caller) are refused,
    // never stored nor turned into a floor or a zero; rupees and paise are stored as typed.
    void figuresOnlyAsTheFieldsHoldThem_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("discount");
        QTest::addColumn<QString>("tax");
        QTest::addColumn<QString>("minimal");
        QTest::addColumn<bool>("stored");
        QTest::newRow("rupees and paise") << "12345.67"
                                          << "12.5"
                                          << "99.99"
                                          << "7" << true;
        QTest::newRow("five digits") << "99999.99"
                                     << "100"
                                     << ""
                                     << "" << true;
        QTest::newRow("negative rate") << "-12345.67"
                                       << ""
                                       << ""
                                       << "7" << false;
        QTest::newRow("rate with a plus") << "+5"
                                          << ""
                                          << ""
                                          << "7" << false;
        QTest::newRow("rate with an exponent") << "1e3"
                                               << ""
                                               << ""
                                               << "7" << false;
        QTest::newRow("negative discount") << "10"
                                           << "-5"
                                           << ""
                                           << "7" << false;
        QTest::newRow("discount above 100") << "10"
                                            << "100.01"
                                            << ""
                                            << "7" << false;
        QTest::newRow("negative tax") << "10"
                                      << ""
                                      << "-0.5"
                                      << "7" << false;
        QTest::newRow("negative minimal") << "10"
                                          << ""
                                          << ""
                                          << "-3" << false;
    }
    void figuresOnlyAsTheFieldsHoldThem()
    {
        QFETCH(QString, rate);
        QFETCH(QString, discount);
        QFETCH(QString, tax);
        QFETCH(QString, minimal);
        QFETCH(bool, stored);
        const QString refused = stored ? QString() : QStringLiteral("Enter the item details");
        const QString matches = QStringLiteral("select count(*) from $db.item where itemname='%1' and rate=%2");

        ItemEntry rice { QStringLiteral("RICE"), rate, discount, tax, minimal, QString() };
        QCOMPARE(AddItem(*dm, rice, QStringLiteral("5")), refused);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.item where itemname='RICE'")), stored ? 1 : 0);
        if (stored)
            QCOMPARE(count(matches.arg(QStringLiteral("RICE"), rate)), 1);

        // the same figures as a change of SUGAR (rate 10)
        const ChangeOutcome out = UpdateItem(
            *dm, QStringLiteral("SUGAR"), { {}, rate, discount, tax, minimal, QString() }, QStringLiteral("5"));
        QCOMPARE(out.message, refused);
        QCOMPARE(out.written, stored);
        QCOMPARE(count(matches.arg(QStringLiteral("SUGAR"), stored ? rate : QStringLiteral("10"))), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.item where discount<0 or tax<0 or minimal<0 or rate<0 "
                                      "or discount>100 or tax>100")),
            0);
    }

    void change()
    {
        addItem(3, QStringLiteral("RICE"), 5, QStringLiteral("500000000002"));
        // its own barcode is no clash; empty figures are stored as the add panel would store them
        ChangeOutcome out = UpdateItem(*dm, QStringLiteral("SUGAR"),
            { {}, QStringLiteral("12.5"), QString(), QString(), QString(), QStringLiteral("400000000001") },
            QStringLiteral("5"));
        QVERIFY(out.written);
        QCOMPARE(itemRow(QStringLiteral("SUGAR")), QStringLiteral("SUGAR,12.5,0,0,5,400000000001"));

        out = UpdateItem(*dm, QStringLiteral("SUGAR"),
            { {}, QStringLiteral("99"), QString(), QString(), QString(), QStringLiteral("500000000002") },
            QStringLiteral("5"));
        QCOMPARE(out.message, QStringLiteral("Barcode Already Exist"));
        QVERIFY(!out.written);
        out = UpdateItem(
            *dm, QStringLiteral("SUGAR"), { {}, QStringLiteral("."), {}, {}, {}, {} }, QStringLiteral("5"));
        QVERIFY(!out.written && out.message.isEmpty());
        QCOMPARE(itemRow(QStringLiteral("SUGAR")), QStringLiteral("SUGAR,12.5,0,0,5,400000000001"));
    }

    void removeKeepsHistoryAndOpenOrders()
    {
        addLedgerRow(1, QStringLiteral("2026-12-01"), 10, 0, 10);
        addLedgerRow(1, QStringLiteral("2026-12-05"), 10, 5, 15);
        exec(QStringLiteral("insert into $db.itemdetails values(1,10,'2026-12-01'),(2,0,'2026-12-01')"));
        exec(QStringLiteral("insert into $db.tordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,"
                            "pcid,billno) values('SUGAR','10','2','20','0','20','0','20',1,7)"));

        RemoveItem(*dm, QStringLiteral("SUGAR"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.item where itemcode=1")), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.itemdetails")), 1);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.stock_details where itemcode=1")), 2);

        // the counter still takes the line of the removed item off its order, and adds no new one
        const OrderContext ctx { QStringLiteral("1"), QStringLiteral("7"), QStringLiteral("2026-12-09"),
            QStringLiteral("10.00.00.000"), QStringLiteral("2") };
        QCOMPARE(AddOrderLine(*dm, ctx, QStringLiteral("SUGAR"), QStringLiteral("1")).message,
            QStringLiteral("Specified item does not exist"));
        QVERIFY(
            RunLineAction(*dm, ctx, LineMode::Remove, QStringLiteral("SUGAR"), QStringLiteral("2"), QString()).written);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.tordergrid")), 0);
    }

    void overallTaxOneRowPerDay_data()
    {
        QTest::addColumn<bool>("dayKey");
        QTest::newRow("one row per day by key") << true;
        // a company made before tax days had their key
        QTest::newRow("without the day's key") << false;
    }
    void overallTaxOneRowPerDay()
    {
        QFETCH(bool, dayKey);
        if (!dayKey)
            exec(QStringLiteral("drop index tax_date on $db.tax"));
        const QDate day(2026, 12, 9);
        QCOMPARE(SaveOverallTax(*dm, day, QString(), QString()), QStringLiteral("Please Enter the Tax"));
        QCOMPARE(SaveOverallTax(*dm, day, QStringLiteral("."), QString()), QStringLiteral("Please Enter the Tax"));
        // what the field could never hold
        for (const char* rate : { "-5", "-0.5", "+5", "1e1", "100.5" })
            QCOMPARE(SaveOverallTax(*dm, day, QLatin1String(rate), QString()), QStringLiteral("Please Enter the Tax"));
        QVERIFY(!ShowLatestTax(*dm));

        QCOMPARE(SaveOverallTax(*dm, day, QStringLiteral("0.5"), QString()), QStringLiteral("TAX is added"));
        QCOMPARE(ShowLatestTax(*dm)->rate, QStringLiteral(".50"));
        QCOMPARE(SaveOverallTax(*dm, day, QStringLiteral("12.5"), QString()), QStringLiteral("Tax is changed"));
        QCOMPARE(SaveOverallTax(*dm, day.addDays(-8), QStringLiteral("4"), QString()), QStringLiteral("TAX is added"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.tax where sdate='2026-12-09'")), 1);
        const auto latest = ShowLatestTax(*dm);
        QCOMPARE(latest->rate, QStringLiteral("12.50"));
        QCOMPARE(latest->date, QStringLiteral("09-12-2026"));
    }
};

QTEST_GUILESS_MAIN(TestItemPas)
#include "tst_itempas.moc"
