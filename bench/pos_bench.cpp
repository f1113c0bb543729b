// Times the counter's order-grid procedures and the back office's item, purchase, dashboard and
// stock view procedures against a live server on a company database of a realistic size: items, years of
// stock ledger and past bills. The database is made for the run and dropped at its end.

#include "backoffice/Itempas.h"
#include "backoffice/Purchasepas.h"
#include "backoffice/View_stockpas.h"
#include "backoffice/homepas.h"
#include "bills/billprintpas.h"
#include "bills/custdetailspas.h"
#include "bills/customerhistorypas.h"
#include "bills/viewbilldetailspas.h"
#include "db/datamodulepos.h"
#include "db/querymodel.h"
#include "db/schema.h"
#include "latencyrelay.h"
#include "platform/errors.h"
#include "platform/latin1.h"
#include "sales/posorderitempas.h"
#include "sales/salesorderdetailspas.h"
#include "workbook/workbookprinter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTime>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

struct Options {
    ConnectionSettings settings;
    qint64 items = 10000;
    qint64 ledgerRows = 1000000;
    qint64 bills = 100000;
    qint64 viewRows = 100000;
    qint64 customers = 50000;
    int runs = 200;
    bool indexes = true;
    bool explain = false;
    bool keep = false;
    int terminals = 0; // 0: time the operations one at a time
    int seconds = 20;
    int thinkMs = 100;
    bool stockLock = true;
    // --servers: the terminals are spread over these, each with the others as its further servers
    QList<ServerAddress> servers;
    int killServer = 0; // 1-based index into servers; 0: none
    int killAt = 0; // seconds into the run
    int restartAfter = 10; // seconds after the kill
    QString clusterDir; // the cluster.sh folder of the servers
    int latencyMs = -1; // --latency-ms: the counter's connections go through a relay; -1: none
};

// The relay --latency-ms puts between the counter's connections and the server (seeding and the
// checks go to the server directly).
std::unique_ptr<LatencyRelay> g_relay;

// The settings the counter's connections use: through the relay when there is one.
ConnectionSettings counterSettings(const Options& o)
{
    ConnectionSettings s = o.settings;
    if (g_relay) {
        s.server = S("127.0.0.1");
        s.port = QString::number(g_relay->port());
    }
    return s;
}

bool parseOptions(const QCoreApplication& app, Options& o)
{
    QCommandLineParser p;
    p.setApplicationDescription(S("Times the order-grid procedures of the counter on a seeded company database."));
    p.addHelpOption();
    const QCommandLineOption host(S("host"), S("Database server."), S("H"), S("127.0.0.1"));
    const QCommandLineOption port(S("port"), S("Server port."), S("P"), S("3306"));
    const QCommandLineOption user(S("user"), S("User name."), S("U"), S("root"));
    const QCommandLineOption password(S("password"), S("Password."), S("W"));
    const QCommandLineOption items(S("items"), S("Items to seed."), S("N"), S("10000"));
    const QCommandLineOption ledger(S("ledger-rows"), S("Stock ledger rows to seed."), S("M"), S("1000000"));
    const QCommandLineOption bills(S("bills"), S("Finished bills to seed."), S("K"), S("100000"));
    const QCommandLineOption view(
        S("view-rows"), S("Ledger rows the stock view lists and exports (whole ledger days)."), S("V"), S("100000"));
    const QCommandLineOption customers(S("customers"), S("Customers to seed."), S("C"), S("50000"));
    const QCommandLineOption runs(S("runs"), S("Timed runs per operation."), S("R"), S("200"));
    const QCommandLineOption noIndexes(S("no-indexes"), S("Leave out the secondary indexes (tables and keys only)."));
    const QCommandLineOption explain(S("explain"), S("Print the server's plans of the main lookups to stderr."));
    const QCommandLineOption keep(S("keep"), S("Keep the database for inspection instead of dropping it."));
    const QCommandLineOption terminals(S("terminals"),
        S("Run N counter terminals at once, each ringing up, paying and holding 20-line bills of 50 shared items."),
        S("N"));
    const QCommandLineOption seconds(S("seconds"), S("How long the terminals work."), S("S"), S("20"));
    const QCommandLineOption think(
        S("think-ms"), S("A terminal's mean pause between two actions (a quick cashier: 100)."), S("T"), S("100"));
    const QCommandLineOption noStockLock(S("no-stock-lock"),
        S("Check the stock and write a grid line without locking the item's stock row (to compare)."));
    const QCommandLineOption servers(S("servers"),
        S("Servers of one cluster (host:port,host:port,...): terminal i works on server i mod n and moves on to "
          "the others when it is lost. Seeding and the checks use the first."),
        S("LIST"));
    const QCommandLineOption killServer(
        S("kill-server"), S("Kill server N of --servers (from 1) during the run (needs --cluster and --at)."), S("N"));
    const QCommandLineOption killAt(S("at"), S("Seconds into the run at which --kill-server kills it."), S("S"));
    const QCommandLineOption restartAfter(
        S("restart-after"), S("Seconds after the kill at which the server is started again."), S("S"), S("10"));
    const QCommandLineOption latency(S("latency-ms"),
        S("Put a relay between the counter and the server that holds every packet N/2 ms each way, and count "
          "round trips."),
        S("N"));
    const QCommandLineOption cluster(
        S("cluster"), S("The folder of the scripts/cluster.sh cluster the servers belong to."), S("DIR"));
    p.addOptions({ host, port, user, password, items, ledger, bills, view, customers, runs, noIndexes, explain, keep,
        terminals, seconds, think, noStockLock, servers, killServer, killAt, restartAfter, cluster, latency });
    p.process(app);

    o.settings.server = p.value(host);
    o.settings.port = p.value(port);
    o.settings.userName = p.value(user);
    o.settings.password = p.value(password);
    bool ok[6] = {};
    o.items = p.value(items).toLongLong(&ok[0]);
    o.ledgerRows = p.value(ledger).toLongLong(&ok[1]);
    o.bills = p.value(bills).toLongLong(&ok[2]);
    o.runs = p.value(runs).toInt(&ok[3]);
    o.viewRows = p.value(view).toLongLong(&ok[4]);
    o.customers = p.value(customers).toLongLong(&ok[5]);
    o.indexes = !p.isSet(noIndexes);
    o.explain = p.isSet(explain);
    o.keep = p.isSet(keep);
    o.stockLock = !p.isSet(noStockLock);
    if (p.isSet(servers)) {
        for (const QString& text : p.value(servers).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            ServerAddress a;
            if (!ConnectionSettings::parseServer(text, &a)) {
                say(S("pos_bench: --servers takes host:port,host:port,..."));
                return false;
            }
            o.servers << a;
        }
        o.settings.server = o.servers.value(0).host;
        o.settings.port = QString::number(o.servers.value(0).port);
    }
    if (p.isSet(latency)) {
        bool ok = false;
        o.latencyMs = p.value(latency).toInt(&ok);
        if (!ok || o.latencyMs < 0 || p.isSet(servers)) {
            say(S("pos_bench: --latency-ms takes a whole number of 0 or more, and one server"));
            return false;
        }
    }
    if (p.isSet(killServer)) {
        bool killOk[3] = { false, false, true };
        o.killServer = p.value(killServer).toInt(&killOk[0]);
        o.killAt = p.value(killAt).toInt(&killOk[1]);
        o.restartAfter = p.value(restartAfter).toInt(&killOk[2]);
        o.clusterDir = p.value(cluster);
        if (!killOk[0] || !killOk[1] || !killOk[2] || o.killServer < 1 || o.killServer > o.servers.size()
            || o.clusterDir.isEmpty() || o.killAt < 0 || o.restartAfter < 1 || !p.isSet(terminals)) {
            say(S("pos_bench: --kill-server N needs --terminals, --servers holding server N, --at S and --cluster "
                  "DIR"));
            return false;
        }
    }
    bool concurrent[3] = { true, true, true };
    if (p.isSet(terminals))
        o.terminals = p.value(terminals).toInt(&concurrent[0]);
    o.seconds = p.value(seconds).toInt(&concurrent[1]);
    o.thinkMs = p.value(think).toInt(&concurrent[2]);
    if (!std::all_of(std::begin(concurrent), std::end(concurrent), [](bool b) { return b; })
        || (p.isSet(terminals) && o.terminals < 1) || o.seconds < 1 || o.thinkMs < 0 || (o.terminals && o.items < 50)) {
        say(S("pos_bench: --terminals must be at least 1 (with --items at least 50), --seconds at least 1, "
              "--think-ms at least 0"));
        return false;
    }
    // the phases need 20 distinct items in stock for a bill, and a bill on each terminal
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) || o.items < 20 || o.ledgerRows < o.items
        || o.bills < 2 || o.runs < 1 || o.viewRows < 1 || o.customers < 1) {
        say(S("pos_bench: --items must be at least 20, --ledger-rows at least --items, --bills at least 2, "
              "--view-rows, --customers and --runs at least 1"));
        return false;
    }
    return true;
}

// Drops the benchmark database however the run ends.
class DatabaseGuard {
public:
    DatabaseGuard(TQuery& admin, const QString& database, bool keep)
        : m_admin(admin)
        , m_database(database)
        , m_keep(keep)
    {
    }
    ~DatabaseGuard()
    {
        if (m_keep) {
            say(S("database kept: ") + m_database);
            return;
        }
        try {
            m_admin.exec(S("drop database if exists ") + TQuery::ident(m_database));
        } catch (const PosError& e) {
            say(S("could not drop ") + m_database + S(": ") + e.message());
        }
    }
    DatabaseGuard(const DatabaseGuard&) = delete;
    DatabaseGuard& operator=(const DatabaseGuard&) = delete;

private:
    TQuery& m_admin;
    QString m_database;
    bool m_keep;
};

// Row numbers for INSERT ... SELECT: the server's sequence engine where there is one, otherwise
// a numbers table doubled up to the largest count needed.
class NumberSource {
public:
    NumberSource(TQuery& q, qint64 largest)
    {
        try {
            q.exec(S("select seq from seq_1_to_1"));
            m_sequences = !q.isEmpty();
        } catch (const EDatabaseError&) {
            m_sequences = false;
        }
        if (m_sequences)
            return;
        q.exec(S("create table bench_numbers (seq bigint not null primary key)"));
        q.exec(S("insert into bench_numbers values (1)"));
        for (qint64 have = 1; have < largest; have *= 2)
            q.exec(S("insert into bench_numbers select seq + %1 from bench_numbers where seq + %1 <= %2")
                       .arg(have)
                       .arg(largest));
    }

    // A row source with one column, seq, running from `from` to `to`.
    QString range(qint64 from, qint64 to) const
    {
        if (m_sequences)
            return S("seq_%1_to_%2").arg(from).arg(to);
        return S("(select seq from bench_numbers where seq between %1 and %2) n").arg(from).arg(to);
    }

private:
    bool m_sequences = false;
};

constexpr qint64 kChunk = 200000;
constexpr qint64 kLargeStock = 100000000;
constexpr int kLedgerDays = 1826; // five years

void seed(TQuery& q, const Options& o)
{
    NumberSource numbers(q, std::max({ o.items, o.ledgerRows, o.bills, qint64(1) }));
    const int nameWidth = std::max(6, int(QString::number(o.items).size()));

    q.exec(S("insert into item(itemcode,itemname,rate,discount,tax,minimal,barcode) select seq, "
             "concat('ITEM', lpad(seq, %1, '0')), 10 + seq mod 190 + 0.25 * (seq mod 4), (seq mod 5) * 2.5, 12.5, 5, "
             "concat('89', lpad(seq, 10, '0')) from %2")
               .arg(nameWidth)
               .arg(numbers.range(1, o.items)));

    // Row r (from 0) is item r mod N on ledger day r div N, the days spaced to cover five years.
    // The rows come in key order (sdate, itemcode), so the inserts append. An item's last row
    // carries a large closing stock.
    const qint64 daysPerItem = (o.ledgerRows + o.items - 1) / o.items;
    const qint64 step = std::max<qint64>(1, kLedgerDays / daysPerItem);
    QElapsedTimer ledger;
    ledger.start();
    for (qint64 from = 1; from <= o.ledgerRows; from += kChunk) {
        const qint64 to = std::min(o.ledgerRows, from + kChunk - 1);
        q.exec(S("insert into stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
                 "select date '2019-01-01' + interval ((seq - 1) div %1 * %2) day, (seq - 1) mod %1 + 1, "
                 "400 + seq mod 97, seq mod 13, if(seq + %1 > %3, %4, 400 + seq mod 97 + seq mod 13), 1 from %5")
                   .arg(o.items)
                   .arg(step)
                   .arg(o.ledgerRows)
                   .arg(kLargeStock)
                   .arg(numbers.range(from, to)));
    }
    say(S("  ledger: %1 rows in %2 s").arg(o.ledgerRows).arg(ledger.nsecsElapsed() / 1e9, 0, 'f', 2));

    // Finished bills, alternating between terminals 1 and 2, each numbering its own.
    for (qint64 from = 1; from <= o.bills; from += kChunk) {
        const qint64 to = std::min(o.bills, from + kChunk - 1);
        q.exec(S("insert into sales_order(sdate,stime,billno,customerid,subtotal,taxcode,grandtotal,total,amount_paid,"
                 "balance,payment_type,payment_status,delivery,hold_entry,pcid,bool_access) "
                 "select date '2019-01-01' + interval (seq * %1 div %2) day, '12.00.00.000', (seq + 1) div 2, 0, "
                 "112.5, 1, 118.13, 118.13, 118.13, 0, 'Cash', 'Complete', 'No', 'f', 2 - seq mod 2, 'f' from %3")
                   .arg(kLedgerDays)
                   .arg(o.bills)
                   .arg(numbers.range(from, to)));
    }
    const qint64 detailRows = 3 * std::min<qint64>(o.bills / 2, 1000);
    q.exec(S("insert into sales_order_details(sdate,stime,billno,itemcode,rate,quantity,price,itax,isubtotal,"
             "discount,total,pcid) select date '2019-01-01', '12.00.00.000', (seq - 1) div 3 + 1, seq mod %1 + 1, "
             "10.5, 1, 10.5, 12.5, 11.81, 0, 11.81, 1 from %2")
               .arg(o.items)
               .arg(numbers.range(1, detailRows)));
    // the saved lines of the finished bills: three each
    for (qint64 from = 1; from <= 3 * o.bills; from += kChunk) {
        const qint64 to = std::min(3 * o.bills, from + kChunk - 1);
        q.exec(S("insert into temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
                 "select concat('ITEM', lpad((seq - 1) mod %1 + 1, %2, '0')), '10.5', '1', '10.5', '12.5', '11.81', "
                 "'0', '11.81', 2 - ((seq - 1) div 3 + 1) mod 2, ((seq - 1) div 3 + 2) div 2 from %3")
                   .arg(o.items)
                   .arg(nameWidth)
                   .arg(numbers.range(from, to)));
    }
    q.exec(S("insert into tax(sdate,rate) values ('2019-01-01', 4), ('2021-04-01', 5)"));
    q.exec(S("insert into sales_settings values ('quantity','1000'), ('Round Off','2'), ('minimal value','1'), "
             "('Round amount','not checked')"));
    q.exec(S("drop table if exists bench_numbers"));
}

QString itemName(const Options& o, qint64 number)
{
    return S("ITEM") + QString::number(number).rightJustified(std::max(6, int(QString::number(o.items).size())), '0');
}

// Order times are unique per action: the line log's key holds the time with its milliseconds.
QString nextTime()
{
    static int ms = 0;
    return QTime(8, 0).addMSecs(ms++).toString(S("HH.mm.ss.zzz"));
}

struct Result {
    std::vector<qint64> nanos;
    std::vector<quint64> statements;
    std::vector<quint64> roundTrips;
};

constexpr int kWarmUp = 5;

// Runs `prepare` untimed and `action` timed, kWarmUp times unrecorded, then `runs` times.
Result measure(int runs, const std::function<void(int)>& prepare, const std::function<void(int)>& action)
{
    Result r;
    for (int i = -kWarmUp; i < runs; ++i) {
        prepare(i + kWarmUp);
        const quint64 before = TQuery::statementCount();
        const quint64 tripsBefore = LatencyRelay::roundTrips();
        QElapsedTimer t;
        t.start();
        action(i + kWarmUp);
        const qint64 ns = t.nsecsElapsed();
        if (i >= 0) {
            r.nanos.push_back(ns);
            r.statements.push_back(TQuery::statementCount() - before);
            r.roundTrips.push_back(LatencyRelay::roundTrips() - tripsBefore);
        }
    }
    return r;
}

void report(const char* operation, Result r)
{
    std::sort(r.nanos.begin(), r.nanos.end());
    std::sort(r.statements.begin(), r.statements.end());
    std::sort(r.roundTrips.begin(), r.roundTrips.end());
    const size_t n = r.nanos.size();
    const double median = n % 2 ? r.nanos[n / 2] : (r.nanos[n / 2 - 1] + r.nanos[n / 2]) / 2.0;
    const size_t p95 = size_t(std::ceil(0.95 * double(n))) - 1;
    // round trips only through the relay, which counts them
    const QString trips = g_relay ? S(" round_trips=%1").arg(r.roundTrips[n / 2]) : QString();
    std::printf("%s median_ms=%.3f p95_ms=%.3f statements=%llu%s\n", operation, median / 1e6, r.nanos[p95] / 1e6,
        static_cast<unsigned long long>(r.statements[n / 2]), qPrintable(trips));
    std::fflush(stdout);
    if (r.statements.front() != r.statements.back())
        say(S("  %1: statements per run vary from %2 to %3")
                .arg(S(operation))
                .arg(r.statements.front())
                .arg(r.statements.back()));
}

void requireWritten(const LineOutcome& out, const QString& item)
{
    if (!out.written)
        throw PosError(S("line for ") + item + S(" not written: ") + out.status + out.message);
}

void explainPlans(TQuery& q, const Options& o)
{
    const QString name = q.quote(itemName(o, o.items / 2));
    // the lookups of a line action and a bill, as the procedures send them
    const QStringList statements {
        S("select closing_stock,sdate,minimal from (SELECT itemcode, MAX(sdate) as maxdate FROM stock_details t "
          "GROUP BY itemcode ) r  INNER JOIN stock_details t ON t.itemcode = r.itemcode  AND t.sdate = r.Maxdate  "
          ",item i where i.itemcode=t.itemcode and itemname=")
            + name,
        S("select * from item where itemname=") + name,
        S("select quantity from tordergrid where itemname=") + name,
        S("SELECT amount_paid,balance FROM sales_order s  where billno='70000' and pcid='1'"),
        S("select max(billno) as lastbill from sales_order where payment_status<>'' and pcid='1'"),
        S("update stock_details set closing_stock=coalesce(closing_stock,0)-1 where itemcode=%1 order by sdate "
          "desc limit 1")
            .arg(o.items / 2),
        S("select g.itemname, g.quantity, (select i.itemcode from item i where i.itemname=g.itemname limit 1) as "
          "itemcode from temp_ordergrid g where g.billno='70000' and g.pcid='1'"),
        S("select greatest(coalesce((select max(customerid) from customer_details),0),coalesce((select "
          "max(customerid) from sales_order),0)) as last_id"),
    };
    for (const QString& sql : statements) {
        say(S("EXPLAIN ") + sql);
        q.exec(S("explain ") + sql);
        say(S("  ") + q.columns().join(S(" | ")));
        for (int row = 0; row < q.recordCount(); ++row) {
            QStringList cells;
            for (int c = 0; c < q.columns().size(); ++c) {
                const TField f = q.cell(row, c);
                cells << (f.isNull() ? S("NULL") : f.asString());
            }
            say(S("  ") + cells.join(S(" | ")));
        }
    }
}

// The back office on the same database: a purchase of an item chosen on the purchase screen
// (each run another item, so each opens the day's row), the dashboard's lists, adding an item
// and the item screen's lists and grid.
void benchBackOffice(TDm& dm, TQuery& admin, const Options& o)
{
    admin.exec(
        S("insert into itemdetails(itemcode,closing_stock,date_stock) select itemcode,400,'2024-01-01' from item"));
    const QString today = QDate::currentDate().toString(S("yyyy-MM-dd"));
    report("book_purchase",
        measure(
            o.runs, [](int) {},
            [&](int i) {
                const QString item = itemName(o, i % o.items + 1);
                const ItemStock shown = ShowItemStock(dm, today, item);
                if (!shown.hasLedger || !BookPurchase(dm, today, item, 5, QString(), true).stored)
                    throw PosError(S("purchase of ") + item + S(" not booked"));
            }));

    const int listRuns = std::min(o.runs, 50);
    report("dashboard_fill",
        measure(
            listRuns, [](int) {},
            [&](int) {
                if (DashboardLines(dm).size() != o.items)
                    throw PosError(S("dashboard does not list every item"));
            }));
    report("item_add",
        measure(
            o.runs, [](int) {},
            [&](int i) {
                ItemEntry entry { S("NEW ITEM %1").arg(i), S("12.5"), S("2"), S("5"), S("10"),
                    S("7%1").arg(i, 11, 10, QLatin1Char('0')) };
                const QString refusal = AddItem(dm, entry, S("5"));
                if (!refusal.isEmpty())
                    throw PosError(S("item not added: ") + refusal);
            }));
    report("item_list_fill",
        measure(
            listRuns, [](int) {},
            [&](int) {
                FillItemNameLists(dm);
                ItemGrid(dm);
            }));
}

// The stock view over whole ledger days holding about --view-rows rows of every item: listing
// them into the grid, and exporting the grid as a workbook.
void benchStockView(TDm& dm, const Options& o)
{
    const qint64 daysPerItem = (o.ledgerRows + o.items - 1) / o.items;
    const qint64 step = std::max<qint64>(1, kLedgerDays / daysPerItem);
    const qint64 days = std::min(daysPerItem, (o.viewRows + o.items - 1) / o.items);
    const QDate first(2019, 1, 1);
    const StockFilter filter { first, first.addDays((days - 1) * step), kAllItems, true };
    QueryTableModel grid(StockViewFields(), StockViewHeadings());
    const int runs = std::min(o.runs, 5);
    report("stock_view_list",
        measure(
            runs, [](int) {},
            [&](int) {
                if (!FilterStockView(dm, filter).isEmpty())
                    throw PosError(S("stock view refused its range"));
                grid.load(dm.MyQVD);
            }));
    QTemporaryDir folder;
    const QString file = folder.filePath(S("stock_BENCH_2026-12-09.xls"));
    report("stock_view_export",
        measure(
            runs, [](int) {},
            [&](int) {
                QString error;
                if (!ExportStockToExcel(grid, file, &error))
                    throw PosError(S("stock export: ") + error);
            }));
    say(S("  stock view: %1 rows listed and exported (target under 2000 ms)").arg(grid.rowCount()));
}

// Printing a 50-line bill of terminal 2 (every fifth name takes two rows) through the procedure
// the settlement screen calls: its rows read from the database, the workbook filled from the bill
// template and saved; then rendered for print as a PDF. Bill 57 of terminal 1 is seeded too.
void benchBillPrint(TDm& dm, TQuery& admin, const Options& o)
{
    const QString templatePath = QDir(QCoreApplication::applicationDirPath() + S("/..")).filePath(kBillTemplate);
    if (!QFileInfo::exists(templatePath)) {
        say(S("bill_print_50: %1 is missing (build the project); not timed").arg(templatePath));
        return;
    }
    QStringList lines;
    for (int i = 1; i <= 50; ++i) {
        const QString name = i % 5 == 0 ? S("BASMATI RICE PREMIUM %1 KG").arg(i) : itemName(o, i);
        lines << S("('%1','10.5','%2','%3','12.5','%4','0','%4',2,57)")
                     .arg(name)
                     .arg(i % 7 + 1)
                     .arg(10.5 * (i % 7 + 1))
                     .arg(11.81 * (i % 7 + 1));
    }
    admin.exec(S("delete from temp_ordergrid where billno=57"));
    admin.exec(S("delete from sales_order where billno=57"));
    admin.exec(S("insert into temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
                 "values ")
        + lines.join(QLatin1Char(',')) + S(",('ITEM000001','1','1','1','0','1','0','1',1,57)"));
    admin.exec(S("insert into sales_order(sdate,stime,billno,subtotal,grandtotal,total,amount_paid,balance,"
                 "payment_status,delivery,pcid) values('2026-12-09','12.00.00.000',57,2362,2480.1,2480.1,2480.1,0,"
                 "'Complete','Take Away',2),('2026-12-09','12.00.00.000',57,1,1,1,1,0,'Complete','Take Away',1)"));

    BillOnScreen shown;
    shown.bill = { S("2"), S("57") };
    shown.date = S("09-12-2026");
    shown.time = S("12:00:00");
    shown.customer = S("RAVI KUMAR");
    shown.items = S("50");
    shown.subTotal = S("2362");
    shown.total = S("2480.1");
    shown.balance = S("0");
    QTemporaryDir folder;
    QString file;
    report("bill_print_50_fill_save",
        measure(
            o.runs, [](int) {},
            [&](int) {
                BillPrintJob job = PrepareBillPrint(dm, shown);
                if (job.sheet.lines.size() != 50)
                    throw PosError(S("bill_print_50: %1 lines read, expected 50").arg(job.sheet.lines.size()));
                file = QDir(folder.path()).filePath(QFileInfo(job.path).fileName());
                QString error;
                if (!writeBillWorkbook(job.sheet, templatePath, file, &error))
                    throw PosError(S("bill_print_50: ") + error);
            }));
    setPrintTarget(PrintTarget::Pdf);
    report("bill_print_50_render",
        measure(
            o.runs, [](int) {},
            [&](int) {
                const PrintOutcome out = printWorkbook(file);
                if (!out.ok())
                    throw PosError(S("bill_print_50: ") + out.error);
            }));
}

// The bill details report over one month of payments of the seeded bills, and the customer
// screen's search and a customer's history among --customers customers.
void benchBillsAndCustomers(TDm& dm, TQuery& admin, const Options& o)
{
    QElapsedTimer seeding;
    seeding.start();
    // every seeded bill paid once, one in five of them in two parts; one in ten delivered home (the
    // bills of the earlier phases keep their own payments)
    const QString seeded = S(" from sales_order where stime='12.00.00.000'");
    admin.exec(S("update sales_order set delivery=if(billno mod 10=0,'Home Delivery','Take Away') where "
                 "stime='12.00.00.000'"));
    admin.exec(S("insert into payment_details(billno,sdate,stime,payment_type,amount_paid,pcid) select billno,sdate,"
                 "'12:00:00',elt(1+billno mod 3,'cash','card','cheque'),if(billno mod 5=0,100,total),pcid")
        + seeded);
    admin.exec(S("insert into payment_details(billno,sdate,stime,payment_type,amount_paid,pcid) select billno,"
                 "sdate + interval 1 day,'16:30:00',if(billno mod 3=0,'card','cash'),18.13,pcid")
        + seeded + S(" and billno mod 5=0"));
    NumberSource numbers(admin, o.customers);
    admin.exec(S("insert into customer_details(rdate,customerid,customer_name,address,phoneno) select date "
                 "'2019-01-01' + interval (seq mod %1) day, seq, concat(elt(1+seq mod 8,'ANNA','BO','CHITRA','DEV',"
                 "'ESHA','FARID','GITA','HARI'),' K',lpad(seq,6,'0')), concat(seq,' MAIN ROAD'), 9000000000+seq "
                 "from %2")
                   .arg(kLedgerDays)
                   .arg(numbers.range(1, o.customers)));
    // the customers' bills: every 20th bill has a customer, spread over them
    admin.exec(S("update sales_order set customerid=billno mod %1 + 1 where billno mod 20=0").arg(o.customers));
    admin.exec(S("drop table if exists bench_numbers"));
    admin.exec(S("analyze table sales_order, payment_details, customer_details"));
    say(S("  payments and %1 customers seeded in %2 s").arg(o.customers).arg(seeding.nsecsElapsed() / 1e9, 0, 'f', 2));

    if (o.explain) {
        for (const QString& sql :
            { S("select p.amount_paid from sales_order s,payment_details p where delivery='Take Away' and "
                "s.sdate>='2021-06-01' and s.sdate<='2021-06-30' and p.billno=s.billno and p.pcid=s.pcid"),
                S("select customerid from customer_details where customer_name like '%HARI K0421%'"),
                S("select billno from sales_order,customer_details where customer_name='HARI K004215' and "
                  "customer_details.customerid=sales_order.customerid") }) {
            admin.exec(S("explain ") + sql);
            say(S("EXPLAIN ") + sql);
            for (admin.first(); !admin.eof(); admin.next())
                say(S("  ") + admin.text(S("table")) + S(" ") + admin.text(S("type")) + S(" key=")
                    + admin.text(S("key")) + S(" rows=") + admin.text(S("rows")));
        }
    }

    // the report of June 2021 with its total, into the screen's grid
    BillReportFilter month;
    month.from = QDate(2021, 6, 1);
    month.to = QDate(2021, 6, 30);
    QueryTableModel rows({ S("sdate"), S("stime"), S("BILLNUM"), S("customerid"), S("total"), S("amount_paid"),
                             S("payment_type"), S("payment_status"), S("delivery") },
        QStringList(9, S("h")));
    QString total;
    report("bill_report_month",
        measure(
            o.runs, [](int) {},
            [&](int) {
                TQuery& q = RunBillReport(dm, month);
                rows.load(q);
                total = BillReportTotal(q);
            }));
    say(S("  bill report: %1 payments of one month, total %2 (target under 200 ms)").arg(rows.rowCount()).arg(total));

    QueryTableModel found({ S("customerid"), S("customer_name"), S("address"), S("phoneno") }, QStringList(4, S("h")));
    report("customer_search",
        measure(
            o.runs, [](int) {},
            [&](int i) {
                found.load(SearchCustomers(dm, S("HARI K0%1").arg(420 + i % 50, 3, 10, QLatin1Char('0'))));
            }));
    say(S("  customer search: %1 customers found among %2 (target under 50 ms)")
            .arg(found.rowCount())
            .arg(o.customers));

    QueryTableModel bills({ S("Billno"), S("Date"), S("Name") }, QStringList(3, S("h")));
    report("customer_history",
        measure(
            o.runs, [](int) {},
            [&](int i) {
                // a customer with bills: ids 1 + billno mod customers for every 20th bill
                const qint64 id = (20 * (i + 1)) % o.customers + 1;
                static const char* const names[] = { "ANNA", "BO", "CHITRA", "DEV", "ESHA", "FARID", "GITA", "HARI" };
                const QString name
                    = S(names[id % 8]) + S(" K") + QString::number(id).rightJustified(6, QLatin1Char('0'));
                bills.load(CustomerBills(dm, name));
            }));
}

void reportLatencies(const char* operation, std::vector<qint64> nanos)
{
    if (nanos.empty()) {
        std::printf("%s count=0\n", operation);
        return;
    }
    std::sort(nanos.begin(), nanos.end());
    const size_t n = nanos.size();
    const double median = n % 2 ? nanos[n / 2] : (nanos[n / 2 - 1] + nanos[n / 2]) / 2.0;
    const size_t p95 = size_t(std::ceil(0.95 * double(n))) - 1;
    std::printf("%s median_ms=%.3f p95_ms=%.3f count=%zu\n", operation, median / 1e6, nanos[p95] / 1e6, n);
    std::fflush(stdout);
}

// The 50 items every terminal sells, and the latest closing stock of each. The first few are
// scarce: a handful of units at a time, restocked by purchases as they run out, so that the
// terminals meet at their last units.
constexpr int kSharedItems = 50;
constexpr int kScarceItems = 5;
constexpr qint64 kScarceStock = 6;

std::map<int, qint64> sharedStock(TQuery& q)
{
    q.exec(S("select t.itemcode, t.closing_stock from stock_details t join (select itemcode, max(sdate) as d from "
             "stock_details where itemcode<=%1 group by itemcode) r on r.itemcode=t.itemcode and r.d=t.sdate")
               .arg(kSharedItems));
    std::map<int, qint64> stock;
    for (q.first(); !q.eof(); q.next())
        stock[q.text(S("itemcode")).toInt()] = q.text(S("closing_stock")).toLongLong();
    return stock;
}

// What one terminal did: latencies of its actions and the units its paid and held bills took.
struct TerminalWork {
    std::vector<qint64> add;
    std::vector<qint64> pay;
    std::vector<qint64> hold;
    std::map<int, qint64> taken;
    int paid = 0;
    int held = 0;
    int refused = 0; // lines of scarce items refused for want of stock
    QString error;
};

// One counter terminal: rings up 20 of the shared items, processes the bill, then pays it in cash
// (three bills in four) or holds it, through the procedures the screens call, until told to stop.
// Terminal i's settings: server i mod n of --servers first, the others after it in their order.
ConnectionSettings terminalSettings(const Options& o, int index)
{
    ConnectionSettings s = counterSettings(o);
    if (o.servers.isEmpty())
        return s;
    const int n = int(o.servers.size());
    const ServerAddress first = o.servers.at(index % n);
    s.server = first.host;
    s.port = QString::number(first.port);
    QStringList further;
    for (int k = 1; k < n; ++k)
        further << o.servers.at((index + k) % n).text();
    s.servers = further.join(QLatin1Char('\n'));
    return s;
}

void workAsTerminal(const Options& o, const QString& database, int terminalId, int index, const std::atomic<bool>& stop,
    TerminalWork& out)
{
    try {
        TDm dm(terminalSettings(o, index));
        dm.setCompanyDatabase(database, true);
        const QString terminal = QString::number(terminalId);
        const QString today = QDate::currentDate().toString(S("yyyy-MM-dd"));
        const OrderSettings settings = ReadOrderSettings(dm);
        std::mt19937 random(terminalId);
        std::vector<int> items(kSharedItems);
        for (int i = 0; i < kSharedItems; ++i)
            items[i] = i + 1;
        int step = 0;
        auto stamp = [&step] { return QTime(8, 0).addMSecs(++step).toString(S("HH.mm.ss.zzz")); };
        // Cashiers are not in step: pauses vary by half the think time either way, and each
        // terminal starts somewhere within the time of one bill's lines.
        std::uniform_int_distribution<int> think(o.thinkMs / 2, o.thinkMs + o.thinkMs / 2);
        auto pause = [&] {
            if (o.thinkMs > 0)
                QThread::msleep(think(random));
        };
        if (o.thinkMs > 0)
            QThread::msleep(std::uniform_int_distribution<int>(0, 20 * o.thinkMs)(random));
        for (int bills = 1; !stop; ++bills) {
            const QString bill = NextBillNumber(dm, terminal);
            // as the order screen's activation: what is left of the finished bill goes
            ClearStaleGrid(dm, terminal, bill);
            OrderContext ctx { terminal, bill, today, QString(), settings.roundOff };
            std::shuffle(items.begin(), items.end(), random);
            std::map<int, qint64> lines;
            int rung = 0;
            for (; rung < 20 && !stop; ++rung) {
                const QString name = itemName(o, items[rung]);
                const QString quantity = QString::number(1 + int(random() % 3));
                ctx.time = stamp();
                QElapsedTimer t;
                t.start();
                const LineOutcome line = RunLineAction(dm, ctx, LineMode::Add, name, quantity,
                    S("Itemname ") + name + S(" quantity: ") + quantity + S(" Added"));
                RefreshOrderGrid(dm, terminal, bill);
                out.add.push_back(t.nsecsElapsed());
                if (!line.written && items[rung] <= kScarceItems) {
                    ++out.refused;
                } else {
                    requireWritten(line, name);
                    lines[items[rung]] += quantity.toInt();
                }
                pause();
            }
            if (rung < 20)
                break; // stopped while ringing up: the order is abandoned and takes no stock
            ctx.time = stamp();
            ProcessBill(dm, ctx);
            const BillKey key { terminal, bill };
            const BillSummary shown = ShowBillSummary(dm, key);
            QElapsedTimer t;
            t.start();
            if (bills % 4 == 0) {
                if (!HoldBill(dm, { key, {}, today, ctx.time, terminal }))
                    throw PosError(S("bill ") + bill + S(" of terminal ") + terminal + S(" not held"));
                ShowBillSummary(dm, key);
                out.hold.push_back(t.nsecsElapsed());
                ++out.held;
            } else {
                PaymentRequest r;
                r.settle = { key, PaymentMethod::Cash, shown.balance, today, S("12:00:00"), {} };
                r.shownBalance = shown.balance;
                r.stampDate = today;
                r.stampTime = ctx.time;
                const PaymentOutcome paid = RunPayment(dm, r);
                ShowBillSummary(dm, key);
                ShowBillGrid(dm, key);
                out.pay.push_back(t.nsecsElapsed());
                if (!paid.settled.complete)
                    throw PosError(S("bill ") + bill + S(" of terminal ") + terminal + S(" not paid in full: ")
                        + paid.messages.join(S("; ")));
                ++out.paid;
            }
            for (const auto& [item, units] : lines)
                out.taken[item] += units;
            pause();
        }
    } catch (const std::exception& e) {
        out.error = QString::fromUtf8(e.what());
    }
}

// The back office meanwhile: books a small purchase of a scarce item whenever what the grids
// leave of its stock runs low, through the purchase screen's procedure. The scarce items' free
// stock stays at a few units, where two terminals adding the last of them at once would oversell.
constexpr qint64 kRestockUnits = 4;

struct Restocking {
    std::map<int, qint64> purchased;
    int bookings = 0;
    QString error;
};

void restock(const Options& o, const QString& database, const std::atomic<bool>& stop, Restocking& out)
{
    try {
        TDm dm(terminalSettings(o, 0));
        dm.setCompanyDatabase(database, true);
        TQuery& q = dm.MyQview;
        const QString today = QDate::currentDate().toString(S("yyyy-MM-dd"));
        // each item's latest row read backwards along its index, not all of its rows
        const QString freeStock
            = S("select i.itemcode, (select t.closing_stock from stock_details t where t.itemcode=i.itemcode order by "
                "t.sdate desc limit 1) - coalesce((select sum(g.quantity) from tordergrid g where "
                "g.itemname=i.itemname), 0) as free from item i where i.itemcode<=%1")
                  .arg(kScarceItems);
        while (!stop) {
            q.exec(freeStock);
            QList<int> low;
            for (q.first(); !q.eof(); q.next()) {
                if (q.text(S("free")).toDouble() < 3)
                    low << q.text(S("itemcode")).toInt();
            }
            for (int item : std::as_const(low)) {
                if (!BookPurchase(dm, today, itemName(o, item), kRestockUnits, QString(), true).stored)
                    throw PosError(S("purchase of ") + itemName(o, item) + S(" not booked"));
                out.purchased[item] += kRestockUnits;
                ++out.bookings;
            }
            QThread::msleep(10);
        }
    } catch (const std::exception& e) {
        out.error = QString::fromUtf8(e.what());
    }
}

// Watches the grids all the time: a moment at which the open orders of all terminals hold
// more of an item than its stock is an oversell. Lines of held and paid bills have left the
// stock already and are not counted again. Each look is one statement, so it sees one moment.
struct Watch {
    qint64 looks = 0;
    qint64 oversold = 0; // looks that found an item oversold
    qint64 worstUnits = 0;
    QString error;
};

void watchGrids(const Options& o, const QString& database, const std::atomic<bool>& stop, Watch& out)
{
    try {
        TDm dm(terminalSettings(o, 0));
        dm.setCompanyDatabase(database, true);
        TQuery& q = dm.MyQview;
        // Cheap enough to run all the time beside the terminals: each item's latest ledger row is
        // read backwards along its index, not all of its rows.
        const QString look = S(
            "select coalesce(max(x.held - x.stock), 0) as excess from (select o.held, (select t.closing_stock from "
            "stock_details t where t.itemcode=i.itemcode order by t.sdate desc limit 1) as stock from (select "
            "g.itemname, sum(g.quantity) as held from tordergrid g where not exists (select 1 from sales_order s where "
            "s.billno=g.billno and s.pcid=g.pcid and s.payment_status in ('Hold','Part Payment','Complete')) group by "
            "g.itemname) o join item i on i.itemname=o.itemname) x where x.held > x.stock");
        while (!stop) {
            q.exec(look);
            ++out.looks;
            const qint64 over = q.text(S("excess")).toLongLong();
            if (over > 0) {
                ++out.oversold;
                out.worstUnits = std::max(out.worstUnits, over);
            }
            // an oversell lasts until the next purchase of the item (the restocking looks every
            // 10 ms), longer than this
            QThread::msleep(2);
        }
    } catch (const std::exception& e) {
        out.error = QString::fromUtf8(e.what());
    }
}

// Runs scripts/cluster.sh ACTION N DIR for the server --kill-server names.
void clusterScript(const Options& o, const QString& action)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(S(POS_SOURCE_DIR "/scripts/cluster.sh"), { action, QString::number(o.killServer), o.clusterDir });
    if (!script.waitForFinished(300000) || script.exitCode() != 0)
        say(S("cluster.sh %1 %2 failed").arg(action).arg(o.killServer));
}

// N terminals at once on the shared items; afterwards every item's stock must be its start plus
// what was purchased less what the paid and held bills took.
int runTerminals(const Options& o, const QString& database, TQuery& admin)
{
    // the scarce items' latest rows
    admin.exec(S("update stock_details t join (select itemcode, max(sdate) as d from stock_details where itemcode<=%1 "
                 "group by itemcode) r on r.itemcode=t.itemcode and r.d=t.sdate set t.closing_stock=%2")
                   .arg(kScarceItems)
                   .arg(kScarceStock));
    const std::map<int, qint64> start = sharedStock(admin);
    std::atomic<bool> stop { false };
    std::vector<TerminalWork> work(o.terminals);
    Restocking restocking;
    Watch watch;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < o.terminals; ++i) {
        threads.emplace_back(QThread::create(
            [&o, &database, &stop, &work, i] { workAsTerminal(o, database, 101 + i, i, stop, work[i]); }));
    }
    threads.emplace_back(QThread::create([&] { restock(o, database, stop, restocking); }));
    threads.emplace_back(QThread::create([&] { watchGrids(o, database, stop, watch); }));
    for (auto& t : threads)
        t->start();
    QElapsedTimer clock;
    clock.start();
    if (o.killServer > 0) {
        // the node dies as in a power cut, and comes back later to catch up with the others
        QThread::msleep(quint64(o.killAt) * 1000);
        clusterScript(o, S("kill"));
        say(S("  server %1 killed at %2 s").arg(o.killServer).arg(clock.elapsed() / 1000.0, 0, 'f', 1));
        QThread::msleep(quint64(o.restartAfter) * 1000);
        clusterScript(o, S("start-node"));
        say(S("  server %1 back at %2 s").arg(o.killServer).arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    }
    const qint64 left = qint64(o.seconds) * 1000 - clock.elapsed();
    if (left > 0)
        QThread::msleep(quint64(left));
    stop = true;
    for (auto& t : threads)
        t->wait();

    TerminalWork all;
    QStringList errors;
    for (const TerminalWork& w : work) {
        all.add.insert(all.add.end(), w.add.begin(), w.add.end());
        all.pay.insert(all.pay.end(), w.pay.begin(), w.pay.end());
        all.hold.insert(all.hold.end(), w.hold.begin(), w.hold.end());
        for (const auto& [item, units] : w.taken)
            all.taken[item] += units;
        all.paid += w.paid;
        all.held += w.held;
        all.refused += w.refused;
        if (!w.error.isEmpty())
            errors << w.error;
    }
    for (const QString& e : { restocking.error, watch.error }) {
        if (!e.isEmpty())
            errors << e;
    }
    std::printf("terminals=%d seconds=%d think_ms=%d stock_lock=%s bills_paid=%d bills_held=%d scarce_lines_refused=%d "
                "purchases=%d\n",
        o.terminals, o.seconds, o.thinkMs, o.stockLock ? "on" : "off", all.paid, all.held, all.refused,
        restocking.bookings);
    reportLatencies("add", all.add);
    reportLatencies("pay", all.pay);
    reportLatencies("hold", all.hold);
    // the longest a cashier waited for one action (a server dying under it included)
    qint64 longest = 0;
    for (const auto* list : { &all.add, &all.pay, &all.hold }) {
        for (qint64 ns : *list)
            longest = std::max(longest, ns);
    }
    std::printf("longest_stall_ms=%.1f\n", longest / 1e6);

    const std::map<int, qint64> end = sharedStock(admin);
    // every server holds the same stock
    int serversDiffering = 0;
    for (int k = 1; k < o.servers.size(); ++k) {
        TConnection other(S("pos_bench"), S("check%1").arg(k));
        other.setParams(o.settings.userName, o.settings.password, o.servers.at(k).host, o.servers.at(k).port);
        other.setDatabaseName(database);
        TQuery q(other, S("check"));
        if (sharedStock(q) != end) {
            ++serversDiffering;
            say(S("server %1 holds other stock figures than server 1").arg(o.servers.at(k).text()));
        }
    }
    if (!o.servers.isEmpty())
        std::printf(
            "servers_checked=%lld servers_differing=%d\n", static_cast<long long>(o.servers.size()), serversDiffering);
    qint64 lost = 0;
    for (const auto& [item, before] : start) {
        const auto found = end.find(item);
        const qint64 now = found == end.end() ? 0 : found->second;
        const qint64 taken = all.taken.count(item) ? all.taken.at(item) : 0;
        const qint64 bought = restocking.purchased.count(item) ? restocking.purchased.at(item) : 0;
        lost += std::abs(before + bought - taken - now);
    }
    std::printf("lost_updates=%lld items_checked=%zu oversold=%lld looks=%lld worst_oversell_units=%lld retries=%llu\n",
        static_cast<long long>(lost), start.size(), static_cast<long long>(watch.oversold),
        static_cast<long long>(watch.looks), static_cast<long long>(watch.worstUnits),
        static_cast<unsigned long long>(TTransaction::retries()));
    std::fflush(stdout);
    for (const QString& e : errors)
        say(S("terminal error: ") + e);
    // without the lock an oversell is what the comparison is for
    return lost == 0 && errors.isEmpty() && serversDiffering == 0 && (watch.oversold == 0 || !o.stockLock) ? 0 : 1;
}

int run(const Options& o)
{
    const QString database = S("bench_%1").arg(QCoreApplication::applicationPid());
    struct RelayGuard {
        ~RelayGuard() { g_relay.reset(); }
    } relayGuard;
    if (o.latencyMs >= 0) {
        g_relay = std::make_unique<LatencyRelay>(o.settings.server.toStdString(),
            o.settings.port.trimmed().isEmpty() ? 3306 : o.settings.port.toInt(), o.latencyMs);
        std::printf("latency_ms=%d\n", o.latencyMs);
    }

    TConnection adminConnection(S("pos_bench"), S("admin"));
    const int port = o.settings.port.trimmed().isEmpty() ? 3306 : o.settings.port.toInt();
    adminConnection.setParams(o.settings.userName, o.settings.password, o.settings.server, port);
    // Seeding a million rows is a single statement; it may take longer than a counter's wait.
    adminConnection.setTimeouts({ 5, 3600, 3600 });
    adminConnection.setDatabaseName(QString());
    TQuery admin(adminConnection, S("admin"));

    admin.exec(S("create database ") + TQuery::ident(database));
    DatabaseGuard guard(admin, database, o.keep);
    adminConnection.setDatabaseName(database);

    QElapsedTimer seeding;
    seeding.start();
    for (const QString& statement : Schema::tableStatements(database, Schema::Variant::Company))
        admin.exec(statement);
    seed(admin, o);
    const double seedSeconds = seeding.nsecsElapsed() / 1e9;
    QElapsedTimer indexing;
    indexing.start();
    if (o.indexes) {
        for (const QString& statement : Schema::indexStatements(database))
            admin.exec(statement);
    }
    admin.exec(S("analyze table item, stock_details, sales_order, sales_order_details, temp_ordergrid"));
    say(S("seeded %1 items, %2 ledger rows, %3 bills in %4 s; indexes and statistics in %5 s (%6)")
            .arg(o.items)
            .arg(o.ledgerRows)
            .arg(o.bills)
            .arg(seedSeconds, 0, 'f', 2)
            .arg(indexing.nsecsElapsed() / 1e9, 0, 'f', 2)
            .arg(o.indexes ? S("with indexes") : S("without secondary indexes")));
    if (o.explain)
        explainPlans(admin, o);
    SetStockRowLocking(o.stockLock);
    if (o.terminals > 0)
        return runTerminals(o, database, admin);

    TDm dm(counterSettings(o));
    dm.setCompanyDatabase(database, true);

    const QString terminal = S("1");
    const OrderSettings settings = ReadOrderSettings(dm);
    const QString billNo = NextBillNumber(dm, terminal);
    OrderContext ctx { terminal, billNo, QDate::currentDate().toString(S("yyyy-MM-dd")), QString(), settings.roundOff };
    const QString clearGrid = S(" where pcid=1 and billno=") + billNo;
    auto lineAction = [&](const QString& item, const QString& quantity) {
        ctx.time = nextTime();
        const LineOutcome out = RunLineAction(
            dm, ctx, LineMode::Add, item, quantity, S("Itemname ") + item + S(" quantity: ") + quantity + S(" Added"));
        RefreshOrderGrid(dm, ctx.terminalId, ctx.billNo);
        requireWritten(out, item);
    };

    // A new line of another item each run; the grid is emptied every 20 lines.
    report("add_line",
        measure(
            o.runs,
            [&](int i) {
                if (i % 20 == 0) {
                    admin.exec(S("delete from tordergrid") + clearGrid);
                    admin.exec(S("delete from sales_order_details") + clearGrid);
                }
            },
            [&](int i) { lineAction(itemName(o, i % o.items + 1), S("1")); }));

    // One more of a line already in a grid of ten.
    admin.exec(S("delete from tordergrid") + clearGrid);
    admin.exec(S("delete from sales_order_details") + clearGrid);
    for (int i = 1; i <= 10; ++i)
        lineAction(itemName(o, i), S("1"));
    report("merge_line",
        measure(
            o.runs, [](int) {}, [&](int i) { lineAction(itemName(o, i % 10 + 1), S("1")); }));

    // A 20-line order: each fresh bill is processed twice, first inserting its header, then
    // updating it as after a change of the order.
    admin.exec(S("delete from tordergrid") + clearGrid);
    for (int i = 1; i <= 20; ++i)
        lineAction(itemName(o, i), S("1"));
    const qint64 firstBill = billNo.toLongLong() + 1;
    auto billOf = [&](int run) { return QString::number(firstBill + run / 2); };
    report("process_bill_20",
        measure(
            o.runs,
            [&](int i) {
                ctx.billNo = billOf(i);
                ctx.time = nextTime();
                if (i % 2)
                    return;
                if (i > 0)
                    admin.exec(S("delete from tordergrid where pcid=1 and billno=") + billOf(i - 1));
                admin.exec(
                    S("insert into tordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
                      "select itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,")
                    + ctx.billNo + S(" from tordergrid") + clearGrid);
            },
            [&](int) { ProcessBill(dm, ctx); }));
    const int headers = (o.runs + kWarmUp + 1) / 2;
    admin.exec(S("select count(*) as n from sales_order where pcid=1 and billno>=%1 and total>0").arg(firstBill));
    if (admin.text(S("n")).toInt() != headers)
        throw PosError(S("process_bill_20 wrote %1 bill headers, expected %2").arg(admin.text(S("n"))).arg(headers));

    // The processed bills have no payment status yet, so the next number stays the same.
    const QString expected = QString::number((o.bills + 1) / 2 + 1);
    report("next_bill_number",
        measure(
            o.runs, [](int) {},
            [&](int) {
                const QString next = NextBillNumber(dm, terminal);
                if (next != expected)
                    throw PosError(S("next bill number ") + next + S(", expected ") + expected);
            }));

    // Settling a 20-line bill: each run a fresh bill from the 20-line order, processed untimed.
    QString previousBill;
    auto freshBill = [&]() {
        if (!previousBill.isEmpty() && previousBill != billNo)
            admin.exec(S("delete from tordergrid where pcid=1 and billno=") + previousBill);
        const QString bill = NextBillNumber(dm, terminal);
        if (bill != billNo) {
            admin.exec(S("delete from tordergrid where pcid=1 and billno=") + bill);
            admin.exec(
                S("insert into tordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
                  "select itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,")
                + bill + S(" from tordergrid") + clearGrid);
        }
        ctx.billNo = bill;
        ctx.time = nextTime();
        ProcessBill(dm, ctx);
        previousBill = bill;
        return BillKey { terminal, bill };
    };
    const QString today = QDate::currentDate().toString(S("yyyy-MM-dd"));
    BillKey key;
    PaymentRequest payment;
    report("pay_cash_20",
        measure(
            o.runs,
            [&](int) {
                key = freshBill();
                const QString balance = ShowBillSummary(dm, key).balance;
                payment = PaymentRequest {};
                payment.settle = { key, PaymentMethod::Cash, balance, today, S("12:00:00"), {} };
                payment.shownBalance = balance;
                payment.stampDate = today;
                payment.stampTime = ctx.time;
            },
            [&](int) {
                const PaymentOutcome out = RunPayment(dm, payment);
                ShowBillSummary(dm, key);
                ShowBillGrid(dm, key);
                if (!out.settled.complete)
                    throw PosError(
                        S("pay_cash_20: bill ") + key.billNo + S(" not complete: ") + out.messages.join(S("; ")));
            }));
    report("hold_20",
        measure(
            o.runs, [&](int) { key = freshBill(); },
            [&](int) {
                if (!HoldBill(dm, { key, {}, today, ctx.time, terminal }))
                    throw PosError(S("hold_20: bill ") + key.billNo + S(" not held"));
                ShowBillSummary(dm, key);
            }));

    benchBackOffice(dm, admin, o);
    benchStockView(dm, o);
    benchBillPrint(dm, admin, o);
    benchBillsAndCustomers(dm, admin, o);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // rendering a bill for print needs fonts and paint devices, not a screen
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(S("pos_bench"));
    Options options;
    if (!parseOptions(app, options))
        return 2;
    try {
        return run(options);
    } catch (const PosError& e) {
        say(S("pos_bench: ") + e.message());
        return 1;
    }
}
