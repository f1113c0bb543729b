// Times the start-of-day maintenance against a live server: many companies of a realistic size,
// first a start that writes the day's stock snapshot, then the first starts of the following days,
// then starts with nothing to do, then a start that cancels expired held and part-paid bills. The databases are made
// for the run and dropped at its end.

#include "db/datamodulepos.h"
#include "db/schema.h"
#include "log/U_LogBook.h"
#include "login/adminoptpas.h"
#include "platform/errors.h"
#include "platform/latin1.h"
#include "platform/services.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

struct Options {
    ConnectionSettings settings;
    int companies = 20;
    qint64 items = 10000;
    qint64 ledgerRows = 100000;
    qint64 finishedBills = 10000;
    int expiredBills = 1000;
    int lines = 5;
    int runs = 5;
    bool keep = false;
};

bool parseOptions(const QCoreApplication& app, Options& o)
{
    QCommandLineParser p;
    p.setApplicationDescription(S("Times the start-of-day maintenance over seeded company databases."));
    p.addHelpOption();
    const QCommandLineOption host(S("host"), S("Database server."), S("H"), S("127.0.0.1"));
    const QCommandLineOption port(S("port"), S("Server port."), S("P"), S("3306"));
    const QCommandLineOption user(S("user"), S("User name."), S("U"), S("root"));
    const QCommandLineOption password(S("password"), S("Password."), S("W"));
    const QCommandLineOption companies(S("companies"), S("Company databases."), S("C"), S("20"));
    const QCommandLineOption items(S("items"), S("Items per company."), S("N"), S("10000"));
    const QCommandLineOption ledger(S("ledger-rows"), S("Stock ledger rows per company."), S("M"), S("100000"));
    const QCommandLineOption finished(S("finished-bills"), S("Completed bills per company."), S("F"), S("10000"));
    const QCommandLineOption expired(S("expired-bills"), S("Expired bills over all companies."), S("K"), S("1000"));
    const QCommandLineOption lines(S("lines"), S("Lines per expired bill."), S("L"), S("5"));
    const QCommandLineOption runs(
        S("runs"), S("Timed first starts of a day, and timed starts with nothing to do."), S("R"), S("5"));
    const QCommandLineOption keep(S("keep"), S("Keep the databases instead of dropping them."));
    p.addOptions({ host, port, user, password, companies, items, ledger, finished, expired, lines, runs, keep });
    p.process(app);

    o.settings = { p.value(user), p.value(password), p.value(host), p.value(port) };
    bool ok[7] = {};
    o.companies = p.value(companies).toInt(&ok[0]);
    o.items = p.value(items).toLongLong(&ok[1]);
    o.ledgerRows = p.value(ledger).toLongLong(&ok[2]);
    o.finishedBills = p.value(finished).toLongLong(&ok[3]);
    o.expiredBills = p.value(expired).toInt(&ok[4]);
    o.lines = p.value(lines).toInt(&ok[5]);
    o.runs = p.value(runs).toInt(&ok[6]);
    o.keep = p.isSet(keep);
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; }) || o.companies < 1 || o.items < 1
        || o.ledgerRows < o.items || o.finishedBills < 0 || o.expiredBills < 0 || o.lines < 1 || o.runs < 1) {
        say(S("maintenance_bench: --companies, --items, --lines and --runs must be at least 1, --ledger-rows at "
              "least --items"));
        return false;
    }
    return true;
}

// The program's clock standing on one moment of the benchmark day.
class FixedClock : public Clock {
public:
    explicit FixedClock(const QDateTime& t)
        : m_now(t)
    {
    }
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }

private:
    QDateTime m_now;
};

// Settings store and log files in a folder of the run, not the user's own.
class RunPaths : public Paths {
public:
    explicit RunPaths(const QString& root)
        : m_root(root)
    {
    }
    QString settingsFolder() const override { return m_root; }
    QString dataFolder() const override { return m_root; }
    QString programFolder() const override { return m_root; }

private:
    QString m_root;
};

class DatabasesGuard {
public:
    DatabasesGuard(TQuery& admin, bool keep)
        : m_admin(admin)
        , m_keep(keep)
    {
    }
    ~DatabasesGuard()
    {
        for (const QString& db : databases) {
            if (m_keep) {
                say(S("database kept: ") + db);
                continue;
            }
            try {
                m_admin.exec(S("drop database if exists ") + TQuery::ident(db));
            } catch (const PosError& e) {
                say(S("could not drop ") + db + S(": ") + e.message());
            }
        }
    }
    DatabasesGuard(const DatabasesGuard&) = delete;
    DatabasesGuard& operator=(const DatabasesGuard&) = delete;
    QStringList databases;

private:
    TQuery& m_admin;
    bool m_keep;
};

// Row numbers for INSERT ... SELECT from the server's sequence engine, or a numbers table.
class NumberSource {
public:
    NumberSource(TQuery& q, const QString& database, qint64 largest)
    {
        try {
            q.exec(S("select seq from seq_1_to_1"));
            m_sequences = !q.isEmpty();
        } catch (const EDatabaseError&) {
            m_sequences = false;
        }
        if (m_sequences)
            return;
        m_table = database + S(".bench_numbers");
        q.exec(S("create table ") + m_table + S(" (seq bigint not null primary key)"));
        q.exec(S("insert into ") + m_table + S(" values (1)"));
        for (qint64 have = 1; have < largest; have *= 2)
            q.exec(
                S("insert into %1 select seq + %2 from %1 where seq + %2 <= %3").arg(m_table).arg(have).arg(largest));
    }

    QString range(qint64 from, qint64 to) const
    {
        if (m_sequences)
            return S("seq_%1_to_%2").arg(from).arg(to);
        return S("(select seq from %1 where seq between %2 and %3) n").arg(m_table).arg(from).arg(to);
    }

private:
    bool m_sequences = false;
    QString m_table;
};

const QDate kToday(2026, 12, 9);
const QDate kExpired(2026, 10, 1);

void seedCompany(TQuery& q, const QString& db, const Options& o, const NumberSource& numbers)
{
    for (const QString& statement : Schema::tableStatements(db, Schema::Variant::Company))
        q.exec(statement);
    for (const QString& statement : Schema::indexStatements(db))
        q.exec(statement);
    const QString d = TQuery::ident(db);
    q.exec(S("insert into %1.item(itemcode,itemname,rate,discount,tax,minimal,barcode) select seq, "
             "concat('ITEM', lpad(seq, 6, '0')), 10 + seq mod 190, 0, 12.5, 5, concat('89', lpad(seq, 10, '0')) "
             "from %2")
               .arg(d, numbers.range(1, o.items)));
    // Row r is item r mod N on ledger day r div N, all before the benchmark day.
    const qint64 days = (o.ledgerRows + o.items - 1) / o.items;
    const qint64 step = std::max<qint64>(1, 1500 / days);
    q.exec(S("insert into %1.stock_details(sdate,itemcode,opening_stock,purchase,closing_stock,bill_recieved) "
             "select date '2022-01-01' + interval ((seq - 1) div %2 * %3) day, (seq - 1) mod %2 + 1, 400, "
             "seq mod 13, 400 + seq mod 13, 1 from %4")
               .arg(d)
               .arg(o.items)
               .arg(step)
               .arg(numbers.range(1, o.ledgerRows)));
    if (o.finishedBills > 0)
        q.exec(S("insert into %1.sales_order(sdate,stime,billno,customerid,subtotal,taxcode,grandtotal,total,"
                 "amount_paid,balance,payment_type,payment_status,delivery,pcid,bool_access) select date "
                 "'2022-01-01' + interval (seq * 1500 div %2) day, '12.00.00.000', (seq + 1) div 2, 0, 100, 1, "
                 "112.5, 112.5, 112.5, 0, 'Cash', 'Complete', 'Take Away', 2 - seq mod 2, 'f' from %3")
                   .arg(d)
                   .arg(o.finishedBills)
                   .arg(numbers.range(1, o.finishedBills)));
    for (const auto& [name, value] : InitialCompanySettings())
        q.exec(S("insert into %1.sales_settings values (%2,%3)").arg(d, q.quote(name), q.quote(value)));
    q.exec(S("analyze table %1.item, %1.stock_details, %1.sales_order").arg(d));
}

// `count` expired bills on terminal 3, held and part-paid in turn, each with its lines and
// payment rows. Returns the quantity they hold.
qint64 seedExpiredBills(TQuery& q, const QString& db, int count, const Options& o, const NumberSource& numbers)
{
    if (count == 0)
        return 0;
    const QString d = TQuery::ident(db);
    const QString bills = numbers.range(1, count);
    q.exec(S("insert into %1.sales_order(sdate,stime,billno,total,amount_paid,balance,payment_type,payment_status,"
             "delivery,pcid,bool_access) select '%2', '09.00.00.000', 900000 + seq, 50, if(seq mod 2, 0, 20), "
             "if(seq mod 2, 50, 30), 'cash', if(seq mod 2, 'Hold', 'Part Payment'), 'Take Away', 3, 'f' from %3")
               .arg(d, kExpired.toString(Qt::ISODate), bills));
    q.exec(S("insert into %1.temp_ordergrid(itemname,rate,quantity,price,itax,isubtotal,discount,total,pcid,billno) "
             "select concat('ITEM', lpad((seq * 37) mod %2 + 1, 6, '0')), '10', "
             "1 + seq mod 3, '10', '0', '10', '0', '10', 3, 900000 + (seq - 1) div %3 + 1 from %4")
               .arg(d)
               .arg(o.items)
               .arg(o.lines)
               .arg(numbers.range(1, qint64(count) * o.lines)));
    q.exec(S("insert into %1.payment_details(billno,sdate,stime,payment_type,amount_paid,pcid) select 900000 + seq, "
             "'%2', '09:00:00', 'cash', 20, 3 from %3 where seq mod 2 = 0")
               .arg(d, kExpired.toString(Qt::ISODate), bills));
    q.exec(S("insert into %1.cash_details select 900000 + seq, 20, 3 from %2 where seq mod 2 = 0").arg(d, bills));
    q.exec(S("insert into %1.sales_order_details(sdate,stime,billno,itemcode,rate,quantity,price,itax,isubtotal,"
             "discount,total,pcid) select '%2', concat('09.00.00.', lpad(seq mod 1000, 3, '0')), 900000 + (seq - 1) "
             "div %3 + 1, (seq * 37) mod %4 + 1, 10, 1 + seq mod 3, 10, 0, 10, 0, 10, 3 from %5")
               .arg(d, kExpired.toString(Qt::ISODate))
               .arg(o.lines)
               .arg(o.items)
               .arg(numbers.range(1, qint64(count) * o.lines)));
    q.exec(S("select sum(quantity) as q from %1.temp_ordergrid where pcid=3").arg(d));
    return q.text(S("q")).toLongLong();
}

qint64 totalClosing(TQuery& q, const QStringList& databases)
{
    qint64 sum = 0;
    for (const QString& db : databases) {
        q.exec(S("select sum(closing_stock) as s from %1.stock_details").arg(TQuery::ident(db)));
        sum += q.text(S("s")).toLongLong();
    }
    return sum;
}

struct Timing {
    double ms = 0;
    quint64 statements = 0;
    MaintenanceReport report;
};

Timing timeStart(TDm& dm, const QStringList& databases)
{
    Timing t;
    const quint64 before = TQuery::statementCount();
    QElapsedTimer timer;
    timer.start();
    t.report = RunStartOfDayMaintenance(dm, databases);
    t.ms = timer.nsecsElapsed() / 1e6;
    t.statements = TQuery::statementCount() - before;
    return t;
}

void print(const char* what, const Timing& t, int companies)
{
    std::printf("%s total_ms=%.1f per_company_ms=%.2f statements=%llu cancelled=%d\n", what, t.ms, t.ms / companies,
        static_cast<unsigned long long>(t.statements), t.report.cancelledBills);
    std::fflush(stdout);
}

int run(const Options& o)
{
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    services().setPaths(std::make_unique<RunPaths>(folder.path()));
    auto clock = std::make_unique<FixedClock>(QDateTime(kToday, QTime(8, 30)));
    FixedClock* today = clock.get();
    services().setClock(std::move(clock));
    TLogBook book;
    setLogBook(&book);

    TConnection adminConnection(S("maintenance_bench"), S("admin"));
    const int port = o.settings.port.trimmed().isEmpty() ? 3306 : o.settings.port.toInt();
    adminConnection.setParams(o.settings.userName, o.settings.password, o.settings.server, port);
    adminConnection.setDatabaseName(QString());
    TQuery admin(adminConnection, S("admin"));
    DatabasesGuard guard(admin, o.keep);

    QElapsedTimer seeding;
    seeding.start();
    const QString prefix = S("benchm_%1_").arg(QCoreApplication::applicationPid());
    std::unique_ptr<NumberSource> numbers;
    for (int c = 1; c <= o.companies; ++c) {
        const QString db = prefix + QString::number(c).rightJustified(2, QLatin1Char('0'));
        admin.exec(S("create database ") + TQuery::ident(db));
        guard.databases << db;
        if (!numbers)
            numbers = std::make_unique<NumberSource>(admin, db,
                std::max({ o.items, o.ledgerRows, o.finishedBills, qint64(o.expiredBills) * o.lines, qint64(1) }));
        seedCompany(admin, db, o, *numbers);
    }
    say(S("seeded %1 companies of %2 items, %3 ledger rows and %4 completed bills in %5 s")
            .arg(o.companies)
            .arg(o.items)
            .arg(o.ledgerRows)
            .arg(o.finishedBills)
            .arg(seeding.nsecsElapsed() / 1e9, 0, 'f', 1));

    TDm dm(o.settings);
    const QStringList& databases = guard.databases;
    // every statement names its company; the connections only need some database to start in
    dm.setCompanyDatabase(databases.first(), true);

    // The first start writes every item's snapshot row, the first start of each following day
    // rewrites them (the median of as many days as timed runs).
    print("start_first_ever", timeStart(dm, databases), o.companies);
    std::vector<double> firsts;
    Timing first;
    for (int day = 1; day <= o.runs; ++day) {
        today->set(QDateTime(kToday.addDays(day), QTime(8, 30)));
        first = timeStart(dm, databases);
        firsts.push_back(first.ms);
    }
    std::sort(firsts.begin(), firsts.end());
    first.ms = firsts[firsts.size() / 2];
    print("start_first_of_day", first, o.companies);

    std::vector<double> idle;
    Timing last;
    for (int i = 0; i < o.runs; ++i) {
        last = timeStart(dm, databases);
        idle.push_back(last.ms);
    }
    std::sort(idle.begin(), idle.end());
    last.ms = idle[idle.size() / 2];
    print("start_nothing_to_do", last, o.companies);

    // The expired bills go to the companies in turn.
    qint64 quantity = 0;
    for (int c = 0; c < o.companies; ++c) {
        const int count = o.expiredBills / o.companies + (c < o.expiredBills % o.companies ? 1 : 0);
        quantity += seedExpiredBills(admin, databases.at(c), count, o, *numbers);
    }
    const qint64 stockBefore = totalClosing(admin, databases);
    const Timing cancel = timeStart(dm, databases);
    print("start_cancelling_bills", cancel, o.companies);
    std::printf("cancel_bills bills=%d lines_each=%d cancel_ms=%.1f per_bill_ms=%.3f\n", cancel.report.cancelledBills,
        o.lines, cancel.ms - last.ms, (cancel.ms - last.ms) / std::max(1, cancel.report.cancelledBills));

    const qint64 given = totalClosing(admin, databases) - stockBefore;
    if (cancel.report.cancelledBills != o.expiredBills || given != quantity || cancel.report.skippedLines != 0)
        throw PosError(S("cancelled %1 bills of %2, gave back %3 of %4")
                           .arg(cancel.report.cancelledBills)
                           .arg(o.expiredBills)
                           .arg(given)
                           .arg(quantity));
    setLogBook(nullptr);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(S("maintenance_bench"));
    Options options;
    if (!parseOptions(app, options))
        return 2;
    try {
        return run(options);
    } catch (const PosError& e) {
        say(S("maintenance_bench: ") + e.message());
        return 1;
    }
}
