#include "app/splashScreen.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QtTest>

namespace {

QList<QWidget*> splashWindows()
{
    QList<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String("Tfrm_splash"))
            found << w;
    }
    return found;
}

// A strip whose column x has a colour of its own, so that moved columns can be told apart.
QPixmap numberedStrip(int width)
{
    QImage image(width, 3, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < 3; ++y)
            image.setPixel(x, y, qRgb(x, 255 - x, 7));
    }
    return QPixmap::fromImage(image);
}

} // namespace

class TestSplash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void holdEndsByTheProgramClock_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<int>("stepMs");
        QTest::addColumn<int>("readingsAtLeast");
        // Readings: the start, then one per round until the whole seconds reach the limit.
        QTest::newRow("2 s, 600 ms a reading") << 2 << 600 << 5;
        QTest::newRow("5 s, 600 ms a reading") << 5 << 600 << 10;
        QTest::newRow("1 s, 999 ms a reading") << 1 << 999 << 3;
        QTest::newRow("clock set back") << 3 << -600 << 6;
        QTest::newRow("no wait") << 0 << 0 << 1;
    }

    void holdEndsByTheProgramClock()
    {
        QFETCH(int, seconds);
        QFETCH(int, stepMs);
        QFETCH(int, readingsAtLeast);
        TestEnvironment env;
        env.clock->setStep(stepMs);
        const QDateTime clockStart = env.clock->now();
        env.clock->set(clockStart);

        bool sawSplash = false;
        bool busyWhileShown = false;
        QString texts;
        QTimer::singleShot(0, [&] {
            const auto shown = splashWindows();
            if (shown.size() != 1 || !shown.first()->isVisible())
                return;
            QWidget* splash = shown.first();
            sawSplash = splash->size() == QSize(673, 378) && splash->windowFlags().testFlag(Qt::FramelessWindowHint);
            busyWhileShown
                = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor;
            for (QLabel* label : splash->findChildren<QLabel*>())
                texts += label->text() + QLatin1Char('|');
        });

        QElapsedTimer timer;
        timer.start();
        HoldSplash(seconds);
        // Well below any of the limits in real time: the wait read the program's clock only.
        QVERIFY2(timer.elapsed() < 900 + 250, qPrintable(QString::number(timer.elapsed())));

        const int readings = stepMs == 0 ? 1 : int(clockStart.msecsTo(env.clock->now()) / stepMs);
        QVERIFY2(readings >= readingsAtLeast, qPrintable(QString::number(readings)));
        QVERIFY2(readings <= readingsAtLeast + 1, qPrintable(QString::number(readings)));

        if (seconds > 0) {
            QVERIFY(sawSplash);
            QVERIFY(busyWhileShown);
            QVERIFY(texts.contains(QLatin1String("Point of Sales|")));
            QVERIFY(texts.contains(QLatin1String("Version 1.1|")));
            QVERIFY(texts.contains(QLatin1String("Loading....|")));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(splashWindows().isEmpty());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void cursorIsRestoredWhenClosedDirectly()
    {
        Tfrm_splash splash;
        splash.show();
        QVERIFY(QApplication::overrideCursor());
        splash.close();
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // A second show and close keeps the cursor stack balanced.
        splash.show();
        splash.hide();
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void rotateLeft_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("effective");
        QTest::newRow("four of ten") << 10 << 4 << 4;
        QTest::newRow("none") << 10 << 0 << 0;
        QTest::newRow("whole width") << 10 << 10 << 0;
        QTest::newRow("more than the width") << 10 << 14 << 4;
        QTest::newRow("narrower than a step") << 3 << 4 << 1;
        QTest::newRow("strip width") << 633 << 4 << 4;
    }

    void rotateLeft()
    {
        QFETCH(int, width);
        QFETCH(int, columns);
        QFETCH(int, effective);
        const QImage before = numberedStrip(width).toImage();
        const QImage after = Tfrm_splash::rotateLeft(numberedStrip(width), columns).toImage();
        QCOMPARE(after.size(), before.size());
        for (int x = 0; x < width; ++x) {
            for (int y = 0; y < 3; ++y)
                QCOMPARE(after.pixel(x, y), before.pixel((x + effective) % width, y));
        }
    }

    void eachTickMovesTheStripFourColumns()
    {
        Tfrm_splash splash;
        auto* strip = splash.findChild<QLabel*>(QStringLiteral("image_progres"));
        QVERIFY(strip);
        const QPixmap before = strip->pixmap();
        QVERIFY(!before.isNull());
        splash.advanceProgress();
        QCOMPARE(strip->pixmap().toImage(), Tfrm_splash::rotateLeft(before, 4).toImage());
        QVERIFY(strip->pixmap().toImage() != before.toImage());
    }
};

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
