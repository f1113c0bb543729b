// The stock ledger, remark and dashboard procedures, called as the purchase, comment and home
// screens call them; a second connection plays another terminal.
#include "backoffice/Commentpas.h"
#include "backoffice/Purchasepas.h"
#include "backoffice/homepas.h"
#include "backofficefixture.h"
#include "db/datamodulepos.h"

#include <QThread>
#include <QtTest>
#include <functional>

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

    // Another terminal holds the item's row of `day` (as a line check on the counter does) while
    // `first` and then `second` start on terminals of their own, each waiting for it or for the
    // other; then the row is let go and both finish.
    void runWhileTheRowIsHeld(
        const QString& day, const std::function<void(TDm&)>& first, const std::function<void(TDm&)>& second)
    {
        const auto terminal = [](const std::function<void(TDm&)>& work) {
            return std::unique_ptr<QThread>(QThread::create([work] {
                TDm own(TestServer::settings());
                own.setCompanyDatabase(kDb, true);
                work(own);
            }));
        };
        std::unique_ptr<QThread> one = terminal(first);
        std::unique_ptr<QThread> two = terminal(second);
        // the terminals end also when a check below fails: the held row is let go first
        struct Finish {
            QThread& one;
            QThread& two;
            ~Finish()
            {
                one.wait(20000);
                two.wait(20000);
            }
        } finish { *one, *two };
        TDm holder(TestServer::settings());
        holder.setCompanyDatabase(kDb, true);
        TTransaction held(holder.MyConPur, Isolation::ReadCommitted);
        holder.MyQPur.exec(QStringLiteral("select closing_stock from stock_details where itemcode=1 and sdate=")
            + holder.MyQPur.quote(day) + QStringLiteral(" for update"));
        one->start();
        QVERIFY(TestServer::waitForLockWaits(1));
        two->start();
        QVERIFY(TestServer::waitForLockWaits(2));
        held.commit();
        QVERIFY(one->wait(20000));
        QVERIFY(two->wait(20000));
    }

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
        QCOMPARE(StoreOpeningStock(*dm, kSugar, QString(), QStringLiteral("20")).closing, QString());
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

    // A typed opening stock moves the latest row's opening and closing stock by the difference to
    // the figure the entry held, so the day's purchases and sales stay; older rows keep theirs.
    void openingStockMovesTheLatestRowByTheDifference_data()
    {
        QTest::addColumn<QString>("latestDay");
        QTest::addColumn<QString>("latestRow"); // opening,purchase,closing
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("closing");
        QTest::addColumn<QString>("after");
        // today's row opened at 0, 12345 bought and 2346 sold since
        QTest::newRow("today's row with purchases and sales") << kToday << "0,12345,9999"
                                                              << "0"
                                                              << "25"
                                                              << "10024"
                                                              << "25,12345,10024,0";
        QTest::newRow("typed down again") << kToday << "25,12345,10024"
                                          << "25"
                                          << "7"
                                          << "10006"
                                          << "7,12345,10006,0";
        QTest::newRow("emptied counts as 0") << kToday << "25,12345,10024"
                                             << "25"
                                             << ""
                                             << "9999"
                                             << "0,12345,9999,0";
        QTest::newRow("the figure it holds changes nothing") << kToday << "0,12345,9999"
                                                             << "0"
                                                             << "0"
                                                             << "9999"
                                                             << "0,12345,9999,0";
        QTest::newRow("sold out on an earlier day") << "2026-12-05"
                                                    << "10,0,0"
                                                    << "0"
                                                    << "7"
                                                    << "7"
                                                    << "17,0,7,0";
    }
    void openingStockMovesTheLatestRowByTheDifference()
    {
        QFETCH(QString, latestDay);
        QFETCH(QString, latestRow);
        QFETCH(QString, previous);
        QFETCH(QString, typed);
        QFETCH(QString, closing);
        QFETCH(QString, after);
        addLedgerRow(1, QStringLiteral("2026-12-01"), 40, 0, 0);
        const QStringList row = latestRow.split(QLatin1Char(','));
        addLedgerRow(1, latestDay, row[0].toInt(), row[1].toInt(), row[2].toInt());
        QCOMPARE(StoreOpeningStock(*dm, kSugar, previous, typed).closing, closing);
        QCOMPARE(ledgerRow(1, latestDay), after);
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-01")), QStringLiteral("40,0,0,0"));
        // an item without a ledger gets nothing: its first booking takes the typed figure
        QCOMPARE(StoreOpeningStock(*dm, QStringLiteral("RICE"), QString(), typed).closing, QString());
        QCOMPARE(count(QStringLiteral("select count(*) from $db.stock_details where itemcode=2")), 0);
    }

    // A purchase on another terminal opens today's row for SUGAR while the opening stock entry
    // waits for the item: the entry's change lands on the new row, the current stock, and the
    // older row keeps its figures.
    void openingStockWhileAPurchaseOpensTheDaysRow()
    {
        addLedgerRow(1, QStringLiteral("2026-12-05"), 10, 0, 0);
        // another item's row of the same day, which the purchase does not touch
        addLedgerRow(2, QStringLiteral("2026-12-05"), 3, 0, 3);
        runWhileTheRowIsHeld(
            QStringLiteral("2026-12-05"), [](TDm& own) { BookPurchase(own, kToday, kSugar, 2, QString(), true); },
            [](TDm& own) { StoreOpeningStock(own, kSugar, QStringLiteral("0"), QStringLiteral("5")); });
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-05")), QStringLiteral("10,0,0,0"));
        QCOMPARE(ledgerRow(1, kToday), QStringLiteral("5,2,7,1"));
        QCOMPARE(ledgerRow(2, QStringLiteral("2026-12-05")), QStringLiteral("3,0,3,0"));
    }

    // What the purchase and opening stock fields would not hold (pasted, or from another caller)
    // moves no stock: the message is the field's.
    void refusesWhatTheFieldsWouldNotHold_data()
    {
        QTest::addColumn<qint64>("purchase");
        QTest::addColumn<QString>("opening");
        QTest::addColumn<QString>("message");
        QTest::newRow("negative purchase") << qint64(-5) << "20"
                                           << "Enter the Details";
        QTest::newRow("no purchase") << qint64(0) << "20"
                                     << "Enter the Details";
        QTest::newRow("above the purchase limit") << qint64(10001) << "20"
                                                  << "Cannot purchase more  items";
        QTest::newRow("negative opening") << qint64(5) << "-5"
                                          << "Enter the opening stock";
        QTest::newRow("opening with a plus") << qint64(5) << "+5"
                                             << "Enter the opening stock";
        QTest::newRow("opening above 1000") << qint64(5) << "1001"
                                            << "Cannot purchase more than 1000 items";
    }
    void refusesWhatTheFieldsWouldNotHold()
    {
        QFETCH(qint64, purchase);
        QFETCH(QString, opening);
        QFETCH(QString, message);
        const bool openingRefused
            = message != QLatin1String("Enter the Details") && message != QLatin1String("Cannot purchase more  items");
        // the first booking of RICE takes the opening stock; SUGAR has its row
        addLedgerRow(1, QStringLiteral("2026-12-05"), 12345, 0, 12345);
        const BookingOutcome first = BookPurchase(*dm, kToday, QStringLiteral("RICE"), purchase, opening, false);
        QVERIFY(!first.stored);
        QCOMPARE(first.message, message);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.stock_details where itemcode=2")), 0);
        QCOMPARE(count(QStringLiteral("select count(*) from $db.itemdetails")), 0);

        const BookingOutcome booked = BookPurchase(*dm, kToday, kSugar, purchase, opening, false);
        QCOMPARE(booked.stored, openingRefused);
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-05")), QStringLiteral("12345,0,12345,0"));
        QCOMPARE(ledgerRow(1, kToday), openingRefused ? QStringLiteral("12345,5,12350,0") : QString());

        const OpeningOutcome entry = StoreOpeningStock(*dm, kSugar, QStringLiteral("0"), opening);
        QCOMPARE(entry.message, openingRefused ? message : QString());
        QCOMPARE(count(QStringLiteral("select count(*) from $db.stock_details where opening_stock<0 or "
                                      "closing_stock<0 or purchase<0")),
            0);
    }

    void billMarkTouchesTheLatestRowOnly()
    {
        addLedgerRow(1, QStringLiteral("2026-12-01"), 40, 0, 0);
        addLedgerRow(1, QStringLiteral("2026-12-05"), 7, 0, 7);
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
