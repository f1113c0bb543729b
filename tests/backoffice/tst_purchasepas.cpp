// The stock ledger, remark and dashboard procedures, called as the purchase, comment and home
// screens call them; a second connection plays another terminal.
#include "backoffice/Commentpas.h"
#include "backoffice/Purchasepas.h"
#include "backoffice/homepas.h"
#include "backofficefixture.h"
#include "db/datamodulepos.h"

#include <QtTest>

using namespace BackOfficeFixture;

namespace {

const QString kToday = QStringLiteral("2026-12-09");
const QString kSugar = QStringLiteral("SUGAR");

QString remark(const QString& day)
{
    return scalar(QStringLiteral("select scomment from $db.comment where sdate='%1'").arg(day));
}

} // namespace

class TestPurchasePas : public QObject {
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
        addItem(1, kSugar);
        addItem(2, QStringLiteral("RICE"));
    }

    void firstBookingThenSameDay()
    {
        QCOMPARE(ShowItemStock(*dm, kToday, kSugar).message,
            QStringLiteral("No items Exist. So Please ADD OPENING STOCK to SELECTED ITEM"));
        StoreOpeningStock(*dm, kSugar, QStringLiteral("20"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.stock_details")), 0);
        QCOMPARE(
            ComputeClosingStock(*dm, kSugar, QStringLiteral("5"), QStringLiteral("20")).closing, QStringLiteral("25"));
        QCOMPARE(ComputeClosingStock(*dm, kSugar, QStringLiteral("5"), QString()).message,
            QStringLiteral("Enter the opening stock"));

        QVERIFY(BookPurchase(*dm, kToday, kSugar, 5, QStringLiteral("20"), false).stored);
        QCOMPARE(ledgerRow(1, kToday), QStringLiteral("20,5,25,0"));
        QCOMPARE(scalar(QStringLiteral("select concat_ws(',',closing_stock,date_stock) from $db.itemdetails")),
            QStringLiteral("20,2026-12-09"));

        QVERIFY(BookPurchase(*dm, kToday, kSugar, 3, QString(), true).stored);
        QCOMPARE(ledgerRow(1, kToday), QStringLiteral("20,8,28,1"));
        const ItemStock shown = ShowItemStock(*dm, kToday, kSugar);
        QCOMPARE(shown.opening, QStringLiteral("20"));
        QCOMPARE(shown.closing, QStringLiteral("28"));
        QVERIFY(shown.billReceived);

        // an item removed on another terminal since it was chosen
        QCOMPARE(BookPurchase(*dm, kToday, QStringLiteral("SALT"), 3, QStringLiteral("9"), true).message,
            QStringLiteral("Select the item you want to purchase"));
    }

    void saleDuringBookingIsKept_data()
    {
        QTest::addColumn<QString>("latestDay");
        QTest::addColumn<int>("soldMeanwhile");
        QTest::addColumn<QString>("shownOpening");
        QTest::addColumn<QString>("todayRow");
        // 20 + 8 = 28 were in stock and 10 sold before the screen showed the item; 4 are bought
        QTest::newRow("next day") << "2026-12-08" << 0 << "18"
                                  << "18,4,22,0";
        QTest::newRow("next day, 2 sold meanwhile") << "2026-12-08" << 2 << "18"
                                                    << "16,4,20,0";
        QTest::newRow("same day") << kToday << 0 << "20"
                                  << "20,12,22,0";
        QTest::newRow("same day, 2 sold meanwhile") << kToday << 2 << "20"
                                                    << "20,12,20,0";
    }
    void saleDuringBookingIsKept()
    {
        QFETCH(QString, latestDay);
        QFETCH(int, soldMeanwhile);
        QFETCH(QString, shownOpening);
        QFETCH(QString, todayRow);
        addLedgerRow(1, QStringLiteral("2026-11-30"), 0, 20, 20, 1);
        addLedgerRow(1, latestDay, 20, 8, 18);

        const ItemStock shown = ShowItemStock(*dm, kToday, kSugar);
        QCOMPARE(shown.opening, shownOpening);
        QCOMPARE(ComputeClosingStock(*dm, kSugar, QStringLiteral("4"), QString()).closing, QStringLiteral("22"));
        // another terminal settles a bill between the figure on the screen and the booking
        exec(QStringLiteral(
            "update $db.stock_details set closing_stock=closing_stock-%1 where itemcode=1 and sdate='%2'")
                 .arg(soldMeanwhile)
                 .arg(latestDay));
        QVERIFY(BookPurchase(*dm, kToday, kSugar, 4, QString(), false).stored);
        QCOMPARE(ledgerRow(1, kToday), todayRow);
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-11-30")), QStringLiteral("0,20,20,1"));
        QVERIFY(remark(kToday).isNull());
    }

    void forcedUpdateRaisesLaterRowsAndNotesIt()
    {
        addLedgerRow(1, QStringLiteral("2026-12-10"), 10, 20, 30);
        addLedgerRow(1, QStringLiteral("2026-12-11"), 30, 0, 30);
        const ItemStock shown = ShowItemStock(*dm, kToday, kSugar);
        QCOMPARE(shown.status, QStringLiteral("This Date: 2026-12-09 Exist"));
        QCOMPARE(shown.opening, QStringLiteral("30"));

        QCOMPARE(BookPurchase(*dm, kToday, kSugar, 5, QString(), false).status, QStringLiteral("Comment is Added"));
        QCOMPARE(ledgerRow(1, kToday), QStringLiteral("30,5,35,0"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-10")), QStringLiteral("15,20,35,0"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-11")), QStringLiteral("35,0,35,0"));
        const QString first = QStringLiteral("'At Date: 2026-12-09 item: SUGAR is forcibly Added and updated'");
        QCOMPARE(remark(kToday), first);

        QCOMPARE(BookPurchase(*dm, kToday, kSugar, 5, QString(), true).status, QStringLiteral("Comment is Updated"));
        QCOMPARE(ledgerRow(1, kToday), QStringLiteral("30,10,40,1"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-11")), QStringLiteral("40,0,40,0"));
        const QString second = first + QStringLiteral(", At Date:2026-12-09 item: SUGAR is forcibly updated'");
        QCOMPARE(remark(kToday), second);

        // the comment screen extends the remark, apostrophes and all
        QCOMPARE(AddComment(*dm, kToday, QStringLiteral("checked")), QStringLiteral("Comment updated Successfully..."));
        QCOMPARE(ShowComment(*dm, kToday), second + QStringLiteral(".checked"));
    }

    void openingStockAndBillMarkTouchTheLatestRowOnly()
    {
        addLedgerRow(1, QStringLiteral("2026-12-01"), 40, 0, 0);
        addLedgerRow(1, QStringLiteral("2026-12-05"), 0, 0, 0);
        StoreOpeningStock(*dm, kSugar, QStringLiteral("7"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-05")), QStringLiteral("7,0,7,0"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-01")), QStringLiteral("40,0,0,0"));

        QCOMPARE(MarkBillReceived(*dm, kSugar), QString());
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-05")), QStringLiteral("7,0,7,1"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-01")), QStringLiteral("40,0,0,0"));
        QCOMPARE(MarkBillReceived(*dm, QStringLiteral("RICE")), QStringLiteral("Select the Item and Date"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.stock_details")), 2);
    }

    void remarks()
    {
        QCOMPARE(AddComment(*dm, kToday, QString()), QStringLiteral("Please Enter the Comment"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.comment")), 0);
        QCOMPARE(AddComment(*dm, kToday, QStringLiteral("A")), QString());
        QCOMPARE(AddComment(*dm, kToday, QStringLiteral("B")), QStringLiteral("Comment updated Successfully..."));
        QCOMPARE(ShowComment(*dm, kToday), QStringLiteral("A.B"));
        QCOMPARE(DeleteComment(*dm, kToday), QString());
        QCOMPARE(DeleteComment(*dm, kToday), QStringLiteral("No Comment is made on this Date."));

        // a remark that would outgrow its column keeps its beginning
        exec(QStringLiteral("insert into $db.comment values('2026-12-10',repeat('x',65530))"));
        QCOMPARE(AddComment(*dm, QStringLiteral("2026-12-10"), QStringLiteral("abcdefghij")),
            QStringLiteral("Comment updated Successfully..."));
        QCOMPARE(count(QStringLiteral("select length(scomment) from $db.comment where sdate='2026-12-10'")), 65535);
    }

    void dashboardLinesUpByItem()
    {
        addItem(3, QStringLiteral("SALT")); // never booked
        addItem(4, QStringLiteral("dal"), 10);
        addLedgerRow(1, QStringLiteral("2026-12-01"), 0, 50, 50);
        addLedgerRow(1, QStringLiteral("2026-12-08"), 50, 0, 5); // at its minimal
        addLedgerRow(2, QStringLiteral("2026-12-08"), 0, 6, 6);
        addLedgerRow(4, QStringLiteral("2026-12-08"), 0, 3, 3);
        // snapshots in another order than the items, and none for DAL
        exec(QStringLiteral("insert into $db.itemdetails values(2,9,'2026-12-09'),(1,7,'2026-12-09')"));
        exec(QStringLiteral("insert into $db.comment values('2026-12-08','yesterday')"));

        QStringList shown;
        for (const DashboardLine& line : DashboardLines(*dm))
            shown << QStringList { line.itemName, line.openingStock, line.closingStock, line.low ? "low" : "" }.join(
                ',');
        QCOMPARE(shown, QStringList({ "SUGAR,7,5,low", "RICE,9,6,", "DAL,,3,low" }));
        QVERIFY(DayComment(*dm, QDate(2026, 12, 9)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPurchasePas)
#include "tst_purchasepas.moc"
