// Two terminals on two servers of one cluster. A lock a terminal takes holds only on its own
// server; what keeps the terminals apart there is the cluster's check at commit, which compares
// the rows two transactions wrote. Terminal 1 (server 1) gets as far as its commit and waits
// there while terminal 2 (server 2) does the same work to completion; then terminal 1 commits,
// is refused for the rows terminal 2 wrote first, and runs its transaction again.
#include "backoffice/Purchasepas.h"
#include "bills/custdetailspas.h"
#include "bills/homedeliverypas.h"
#include "bills/paymentdetailspas.h"
#include "db/datamodulepos.h"
#include "log/U_LogBook.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetailspas.h"
#include "salesfixture.h"
#include "testsupport.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>
#include <future>

using namespace SalesFixture;

namespace {

const QString kDb = QStringLiteral("CLUSTER_SHOP");

QString nodeFile(int node, const char* name)
{
    QFile f(qEnvironmentVariable("POS_TEST_CLUSTER_DIR") + QStringLiteral("/node%1/").arg(node)
        + QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("%s missing: is the cluster fixture running?", qPrintable(f.fileName()));
    return QString::fromUtf8(f.readAll()).trimmed();
}

ConnectionSettings node(int n)
{
    return { QStringLiteral("root"), nodeFile(n, "password"), QStringLiteral("127.0.0.1"), nodeFile(n, "port") };
}

void exec(const QString& sql)
{
    TestServer::exec({ QString(sql).replace(QStringLiteral("$db"), kDb) });
}

// The answer of one server, once it has applied every commit the cluster had when asked.
QString scalarOn(int n, const QString& sql)
{
    const QString name = QStringLiteral("cluster-node-%1").arg(n);
    if (!QSqlDatabase::contains(name)) {
        QSqlDatabase db = TestServer::openDatabase(name, node(n));
        if (!db.isOpen())
            qFatal("cannot reach server %d: %s", n, qPrintable(db.lastError().text()));
        QSqlQuery(db).exec(QStringLiteral("set session wsrep_sync_wait=1"));
    }
    QSqlQuery q(QSqlDatabase::database(name));
    if (!q.exec(QString(sql).replace(QStringLiteral("$db"), kDb)))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    if (!q.next() || q.isNull(0))
        return {};
    return TestServer::asWritten(q.value(0).toString());
}

// The same answer from all three servers, or the three answers when they differ.
QString onEveryServer(const QString& sql)
{
    const QStringList answers { scalarOn(1, sql), scalarOn(2, sql), scalarOn(3, sql) };
    return answers[1] == answers[0] && answers[2] == answers[0] ? answers[0] : answers.join(QStringLiteral(" / "));
}

} // namespace

class TestCluster : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    // terminal 1's connections on server 1, for the rows each case starts from
    std::unique_ptr<TDm> dm;
    // terminal 2, on server 2
    std::unique_ptr<TDm> two;
    std::unique_ptr<TLogBook> log;
    int m_step = 0;

    OrderContext order(const QString& terminal)
    {
        return { terminal, QStringLiteral("1"), QStringLiteral("2026-12-09"),
            QTime(10, 0).addMSecs(++m_step).toString(QStringLiteral("HH.mm.ss.zzz")), QStringLiteral("2") };
    }
    BillKey ringUp(const QString& item, int quantity)
    {
        const LineOutcome out
            = RunLineAction(*dm, order(QStringLiteral("1")), LineMode::Add, item, QString::number(quantity), QString());
        if (!out.written)
            qFatal("not rung up: %s", qPrintable(out.status + out.message));
        ProcessBill(*dm, order(QStringLiteral("1")));
        return { QStringLiteral("1"), QStringLiteral("1") };
    }
    PaymentRequest payment(const BillKey& key, PaymentMethod method, const QString& amount, const QString& terminal)
    {
        PaymentRequest r;
        r.settle = { key, method, amount, QStringLiteral("2026-12-09"), QStringLiteral("10:30:00"), {} };
        r.cardNo = QStringLiteral("4111222233334444");
        r.cardHolder = QStringLiteral("ANNA");
        r.bank = QStringLiteral("CITY BANK");
        r.shownBalance = ShowBillSummary(*dm, key).balance;
        r.stampDate = QStringLiteral("2026-12-09");
        r.stampTime = QStringLiteral("10.30.00.000");
        r.thisTerminal = terminal;
        return r;
    }

    // Runs `first` as terminal 1 on server 1, on a thread of its own, and holds it at its commit
    // while `meanwhile` runs to its end as terminal 2 on server 2; then lets terminal 1 commit.
    // Returns what `first` returned.
    template <typename First, typename Meanwhile> auto heldAtCommit(First first, Meanwhile meanwhile)
    {
        using Result = decltype(first(std::declval<TDm&>()));
        std::promise<void> reached;
        std::promise<void> go;
        std::shared_future<void> goOn = go.get_future().share();
        std::atomic<bool> atCommit { false };
        Result result {};
        QString failure;
        std::unique_ptr<QThread> terminal1(QThread::create([&] {
            TDm own(node(1));
            own.setCompanyDatabase(kDb, true);
            TTransaction::beforeNextCommit([&] {
                atCommit = true;
                reached.set_value();
                goOn.wait();
            });
            try {
                result = first(own);
            } catch (const PosError& e) {
                failure = e.message();
            }
            TTransaction::beforeNextCommit(nullptr);
            if (!atCommit)
                reached.set_value();
        }));
        terminal1->start();
        const bool inTime = reached.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready;
        if (inTime)
            meanwhile(*two);
        go.set_value();
        terminal1->wait();
        if (!failure.isEmpty())
            qFatal("terminal 1 failed: %s", qPrintable(failure));
        if (!inTime || !atCommit)
            qFatal("terminal 1 never came to its commit");
        return result;
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        log = std::make_unique<TLogBook>();
        setLogBook(log.get());
        createCompany(kDb);
        dm = std::make_unique<TDm>(node(1));
        two = std::make_unique<TDm>(node(2));
        dm->setCompanyDatabase(kDb, true);
        two->setCompanyDatabase(kDb, true);
    }
    void cleanupTestCase()
    {
        setLogBook(nullptr);
        log.reset();
        two.reset();
        dm.reset();
        env.reset();
    }
    void init()
    {
        QStringList empty = emptyCompany(kDb);
        empty << counterSettings(kDb);
        TestServer::exec(empty);
        addItem(kDb, 1, QStringLiteral("RICE"), QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0"), 0, 20);
        addItem(
            kDb, 2, QStringLiteral("SAFE"), QStringLiteral("12345.67"), QStringLiteral("0"), QStringLiteral("0"), 0, 1);
    }

    // The last unit goes to one line only: terminal 1's check ran before terminal 2's line was
    // written, and is run again.
    void lastUnitIsSoldOnce()
    {
        const LineOutcome first = heldAtCommit(
            [this](TDm& own) {
                return RunLineAction(own, order(QStringLiteral("1")), LineMode::Add, QStringLiteral("SAFE"),
                    QStringLiteral("1"), QString());
            },
            [this](TDm& other) {
                QVERIFY(RunLineAction(other, order(QStringLiteral("2")), LineMode::Add, QStringLiteral("SAFE"),
                    QStringLiteral("1"), QString())
                            .written);
            });
        QVERIFY(!first.written);
        QCOMPARE(first.status, QStringLiteral("Total stock remaining is 0. "));
        QCOMPARE(onEveryServer(QStringLiteral("select group_concat(concat(pcid,':',quantity)) from $db.tordergrid "
                                              "where itemname='SAFE'")),
            QStringLiteral("2:1"));
    }

    // A bill's stock goes out while a purchase opens the day's ledger row on the other server:
    // the take-out lands on the new row.
    void purchaseOpensTheDaysRowMeanwhile()
    {
        exec(QStringLiteral(
            "insert into $db.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
            "values('RICE','50','3','150','0','150','0','150',1,1)"));
        heldAtCommit(
            [](TDm& own) {
                MoveBillStock(own, { QStringLiteral("1"), QStringLiteral("1") }, -1);
                return true;
            },
            [](TDm& other) {
                QVERIFY(BookPurchase(other, QStringLiteral("2026-12-09"), QStringLiteral("RICE"), 2, QString(), true)
                            .stored);
            });
        QCOMPARE(onEveryServer(QStringLiteral("select group_concat(concat(sdate,' ',closing_stock) order by sdate) "
                                              "from $db.stock_details where itemcode=1")),
            QStringLiteral("2026-01-05 500,2026-12-01 20,2026-12-09 19"));
    }

    // One bill of 12345.67 paid by card on one server and in cash on the other: one payment only.
    void oneBillPaidTwice()
    {
        exec(QStringLiteral("update $db.stock_details set closing_stock=20 where itemcode=2"));
        const BillKey key = ringUp(QStringLiteral("SAFE"), 1);
        const PaymentRequest card = payment(key, PaymentMethod::Card, QStringLiteral("12345.67"), QStringLiteral("1"));
        const PaymentRequest cash = payment(key, PaymentMethod::Cash, QStringLiteral("12345.67"), QStringLiteral("2"));
        const PaymentOutcome first = heldAtCommit([card](TDm& own) { return RunPayment(own, card); },
            [cash](TDm& other) { QVERIFY(RunPayment(other, cash).recorded); });
        QVERIFY(!first.recorded);
        QCOMPARE(first.messages, QStringList { "Bill 1/1 is paid in full already; the payment is not recorded." });
        QCOMPARE(onEveryServer(QStringLiteral("select concat_ws('|',payment_status,amount_paid,balance,payment_type,"
                                              "(select group_concat(concat(payment_type,':',amount_paid)) from "
                                              "$db.payment_details),(select closing_stock from $db.stock_details where "
                                              "itemcode=2 and sdate='2026-12-01')) from $db.sales_order")),
            QStringLiteral("Complete|12345.67|0|cash|cash:12345.67|19"));
    }

    // A held bill is cancelled on one server while the other takes it for payment: the cancel is
    // run again, finds the bill being settled, and gives nothing back to stock.
    void heldEntryCancelledWhileItIsPaid()
    {
        const BillKey key = ringUp(QStringLiteral("RICE"), 3);
        QVERIFY(
            HoldBill(*dm, { key, {}, QStringLiteral("2026-12-09"), QStringLiteral("10.40.00.000"), QString() }).done);
        const BillChange cancel = heldAtCommit([key](TDm& own) { return CancelHeldEntry(own, key); },
            [key](TDm& other) { QVERIFY(TakeBillForPayment(other, key, QStringLiteral("2"))); });
        QVERIFY(!cancel.done);
        QCOMPARE(cancel.refusal, QStringLiteral("Bill 1/1 is being settled at terminal 2; nothing is changed."));
        QVERIFY(
            RunPayment(*two, payment(key, PaymentMethod::Cash, QStringLiteral("150"), QStringLiteral("2"))).recorded);
        QCOMPARE(onEveryServer(QStringLiteral("select concat_ws('|',payment_status,coalesce(hold_entry,'-'),"
                                              "(select closing_stock from $db.stock_details where itemcode=1 and "
                                              "sdate='2026-12-01')) from $db.sales_order")),
            QStringLiteral("Complete|-|17"));
    }

    // Two new customers at once, one on each server, get ids of their own.
    void customersGetIdsOfTheirOwn()
    {
        ringUp(QStringLiteral("RICE"), 1);
        DeliveryEntry delivery { QStringLiteral("1/1"), QStringLiteral("ANNA"), QStringLiteral("MG ROAD"),
            QStringLiteral("+919876543210"), QStringLiteral("150"), false,
            QDateTime(QDate(2026, 12, 9), QTime(10, 45)) };
        const DeliveryOutcome first = heldAtCommit([delivery](TDm& own) { return RecordHomeDelivery(own, delivery); },
            [](TDm& other) {
                const NewCustomer balu { QStringLiteral("2026-12-09"), QStringLiteral("BALU"), QStringLiteral("X"),
                    QStringLiteral("9876500000") };
                QCOMPARE(AddCustomer(other, balu, NextCustomerId(other)).id, QStringLiteral("1"));
            });
        QVERIFY(first.recorded);
        QCOMPARE(onEveryServer(QStringLiteral("select concat_ws('|',(select group_concat(concat(customerid,' ',"
                                              "customer_name) order by customerid) from $db.customer_details),"
                                              "customerid,(select count(*) from $db.delivery)) from $db.sales_order")),
            QStringLiteral("1 BALU,2 ANNA|2|1"));
    }
};

QTEST_MAIN(TestCluster)
#include "tst_cluster.moc"
