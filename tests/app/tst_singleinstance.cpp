#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

// The single-instance rule across real processes. Every test gets a runtime folder of its own, so
// neither the tests nor a program running on the same desktop meet each other.
class TestSingleInstance : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_runtime;

    std::unique_ptr<QProcess> start(const QStringList& args = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(SINGLEINSTANCE_PROBE), args);
        return p;
    }

    // Reads the probe's lines until `line` comes or the time is up.
    static bool waitForLine(QProcess& p, const QByteArray& line, int ms = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        QByteArray seen;
        while (timer.elapsed() < ms) {
            while (p.canReadLine()) {
                const QByteArray got = p.readLine().trimmed();
                if (got == line)
                    return true;
                seen += got + ' ';
            }
            if (p.state() == QProcess::NotRunning && !p.canReadLine())
                break;
            p.waitForReadyRead(100);
        }
        qWarning("waited for \"%s\", saw: %s", line.constData(), seen.constData());
        return false;
    }

    std::unique_ptr<QProcess> startRunning(const QStringList& args = {})
    {
        auto p = start(args);
        if (!waitForLine(*p, "running"))
            return nullptr;
        return p;
    }

    static void stop(QProcess* p)
    {
        if (p && p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }

private Q_SLOTS:
    void init()
    {
        m_runtime = std::make_unique<QTemporaryDir>();
        QVERIFY(m_runtime->isValid());
    }

    void cleanup() { m_runtime.reset(); }

    void secondCopyIsRefusedAndBringsTheFirstForward()
    {
        auto a = startRunning();
        QVERIFY(a);
        QVERIFY(QFile::exists(m_runtime->path() + QStringLiteral("/Point_of_Sales.lock")));

        QElapsedTimer timer;
        timer.start();
        auto b = start();
        QVERIFY(b->waitForFinished(5000));
        QCOMPARE(b->exitStatus(), QProcess::NormalExit);
        QCOMPARE(b->exitCode(), 3);
        QVERIFY2(timer.elapsed() < 4000, "the refused copy should end at once");
        QVERIFY(!b->readAllStandardOutput().contains("running"));

        // The first copy was minimised: it is restored and raised, and keeps running.
        QVERIFY(waitForLine(*a, "raised"));
        QVERIFY(waitForLine(*a, "restored"));
        QCOMPARE(a->state(), QProcess::Running);

        // The first copy still holds its place: a third is refused as well.
        auto c = start();
        QVERIFY(c->waitForFinished(5000));
        QCOMPARE(c->exitCode(), 3);
        stop(a.get());
    }

    void checkBeforeTheApplicationObject()
    {
        const QStringList early { QStringLiteral("--before-application") };
        auto a = startRunning(early);
        QVERIFY(a);
        auto b = start(early);
        QVERIFY(b->waitForFinished(5000));
        QCOMPARE(b->exitCode(), 3);
        QVERIFY(waitForLine(*a, "raised"));
        stop(a.get());
    }

    void killedCopyDoesNotKeepTheProgramFromStarting()
    {
        auto a = startRunning();
        QVERIFY(a);
        ::kill(pid_t(a->processId()), SIGKILL);
        QVERIFY(a->waitForFinished(5000));
        QCOMPARE(a->exitStatus(), QProcess::CrashExit);
        // The dead copy's socket file is still there.
        QVERIFY(QFile::exists(m_runtime->path() + QStringLiteral("/Point_of_Sales")));

        auto c = startRunning();
        QVERIFY2(c, "a new copy must start after the running one was killed");

        // The new copy took over the name left behind: it is the one asked to come forward.
        auto d = start();
        QVERIFY(d->waitForFinished(5000));
        QCOMPARE(d->exitCode(), 3);
        QVERIFY(waitForLine(*c, "raised"));
        stop(c.get());
    }

    void copyEndingNormallyReleasesItsPlace()
    {
        auto a = startRunning({ QStringLiteral("1"), QStringLiteral("--quit-when-raised") });
        QVERIFY(a);
        auto b = start();
        QVERIFY(b->waitForFinished(5000));
        QCOMPARE(b->exitCode(), 3);
        QVERIFY(a->waitForFinished(5000));
        QCOMPARE(a->exitStatus(), QProcess::NormalExit);
        QCOMPARE(a->exitCode(), 0);
        // The socket goes with the copy that owned it.
        QVERIFY(!QFile::exists(m_runtime->path() + QStringLiteral("/Point_of_Sales")));

        auto c = startRunning();
        QVERIFY(c);
        stop(c.get());
    }

    void permittedNumberOfCopies_data()
    {
        QTest::addColumn<int>("permitted");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
        QTest::newRow("three") << 3;
    }

    void permittedNumberOfCopies()
    {
        QFETCH(int, permitted);
        const QStringList args { QString::number(permitted) };
        std::vector<std::unique_ptr<QProcess>> running;
        for (int i = 0; i < permitted; ++i) {
            running.push_back(startRunning(args));
            QVERIFY2(running.back(), qPrintable(QStringLiteral("copy %1 should run").arg(i + 1)));
        }
        auto refused = start(args);
        QVERIFY(refused->waitForFinished(5000));
        QCOMPARE(refused->exitCode(), 3);
        // The first running copy is the one brought forward.
        QVERIFY(waitForLine(*running.front(), "raised"));

        // A place that becomes free is taken by the next copy.
        ::kill(pid_t(running.back()->processId()), SIGKILL);
        QVERIFY(running.back()->waitForFinished(5000));
        auto next = startRunning(args);
        QVERIFY(next);
        stop(next.get());
        for (auto& p : running)
            stop(p.get());
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
