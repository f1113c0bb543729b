#include "platform/helpwindow.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QtTest>

namespace {

const QStringList screenTopics {
    QStringLiteral("Login.htm"),
    QStringLiteral("Add_Company.htm"),
    QStringLiteral("Sales_Order.htm"),
    QStringLiteral("Payment.htm"),
    QStringLiteral("Bill_Details.htm"),
    QStringLiteral("Payment_Details.htm"),
    QStringLiteral("Old_Bill.htm"),
    QStringLiteral("Customer_Details.htm"),
    QStringLiteral("Pos.htm"),
    QStringLiteral("Home.htm"),
    QStringLiteral("Item_Details.htm"),
    QStringLiteral("Purchase.htm"),
    QStringLiteral("View_Stock.htm"),
    QStringLiteral("Comment.htm"),
    QStringLiteral("Settings.htm"),
    QStringLiteral("Backoffice.htm"),
};

QString readPage(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

} // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheLoginPage()
    {
        HelpWindow help;
        QVERIFY(!help.window());
        help.showTopic(QStringLiteral("Login.htm"));
        QWidget* window = help.window();
        QVERIFY(window);
        QCOMPARE(window->objectName(), QStringLiteral("HelpWindow"));
        QVERIFY(window->isVisible());
        QVERIFY(window->isWindow());
        QVERIFY(window->windowTitle().startsWith(QLatin1String("Help - ")));
        QVERIFY(window->windowTitle().size() > 7);
        QCOMPARE(help.browser()->source(), QUrl(QStringLiteral("qrc:/help-pos.chm/Login.htm")));
        const QString shown = help.browser()->toPlainText();
        QVERIFY(!shown.trimmed().isEmpty());
        // The page came from the shipped resource, not from a fallback.
        QVERIFY(shown.contains(QLatin1String("USERNAME")));
        QVERIFY(!shown.contains(QLatin1String("Topic not found")));
    }

    void oneWindowServesEveryTopic()
    {
        HelpWindow help;
        help.showTopic(QStringLiteral("Payment.htm"));
        QWidget* first = help.window();
        help.showTopic(QStringLiteral("::/Purchase.htm"));
        QCOMPARE(help.window(), first);
        QCOMPARE(help.browser()->source(), QUrl(QStringLiteral("qrc:/help-pos.chm/Purchase.htm")));
        QCOMPARE(QApplication::topLevelWidgets().count(first), 1);

        // Closing releases the window; the next topic opens a new one.
        first->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!help.window());
        help.showTopic(QStringLiteral("Home.htm"));
        QVERIFY(help.window());
        QVERIFY(help.window()->isVisible());
    }

    void unknownTopicSaysSo()
    {
        HelpWindow help;
        help.showTopic(QStringLiteral("<No_Such>.htm"));
        QVERIFY(help.window()->isVisible());
        const QString shown = help.browser()->toPlainText();
        QVERIFY(shown.contains(QLatin1String("Topic not found")));
        QVERIFY(shown.contains(QLatin1String("<No_Such>.htm")));

        // The same window goes back to a real page afterwards.
        help.showTopic(QStringLiteral("Login.htm"));
        QVERIFY(help.browser()->toPlainText().contains(QLatin1String("USERNAME")));
        help.showTopic(QStringLiteral("Nothing.htm"));
        help.showTopic(QStringLiteral("Login.htm"));
        QVERIFY(!help.browser()->toPlainText().contains(QLatin1String("Topic not found")));
    }

    void topicNames_data()
    {
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("path");
        QTest::newRow("page name") << "Pos.htm"
                                   << ":/help-pos.chm/Pos.htm";
        QTest::newRow("as the menus pass it") << "::/Sales_Order.htm"
                                              << ":/help-pos.chm/Sales_Order.htm";
        QTest::newRow("other letter case") << "old_bill.HTM"
                                           << ":/help-pos.chm/Old_Bill.htm";
        QTest::newRow("surrounding blanks") << " Home.htm "
                                            << ":/help-pos.chm/Home.htm";
        QTest::newRow("unknown") << "Reports.htm"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("parent folder") << "../help-pos.chm/Login.htm"
                                       << "";
        QTest::newRow("absolute resource") << ":/help-pos.chm/Login.htm"
                                           << "";
        QTest::newRow("backslash") << "..\\Login.htm"
                                   << "";
        QTest::newRow("style sheet is no topic") << "help.css"
                                                 << "";
    }

    void topicNames()
    {
        QFETCH(QString, topic);
        QFETCH(QString, path);
        QCOMPARE(HelpWindow::resourcePath(topic), path);
    }

    void everyScreenTopicIsShipped_data()
    {
        QTest::addColumn<QString>("topic");
        for (const QString& t : screenTopics)
            QTest::newRow(qPrintable(t)) << t;
    }

    void everyScreenTopicIsShipped()
    {
        QFETCH(QString, topic);
        const QString path = HelpWindow::resourcePath(topic);
        QCOMPARE(path, QStringLiteral(":/help-pos.chm/") + topic);
        const QString page = readPage(path);
        static const QRegularExpression title(QStringLiteral("<title>\\s*\\S[^<]*</title>"));
        QVERIFY2(title.match(page).hasMatch(), "every page has a title");
        // A page says something: more than a heading.
        QTextDocument doc;
        doc.setHtml(page);
        QVERIFY2(doc.toPlainText().simplified().size() > 400, qPrintable(topic));

        // Links between pages lead to pages that exist.
        static const QRegularExpression link(QStringLiteral("href=\"([^\"#]+)"));
        for (auto it = link.globalMatch(page); it.hasNext();) {
            const QString target = it.next().captured(1);
            QVERIFY2(QFile::exists(QStringLiteral(":/help-pos.chm/") + target),
                qPrintable(topic + QStringLiteral(" links to ") + target));
        }
    }

    void shippedPagesAreTheScreenTopics()
    {
        QStringList expected = screenTopics;
        expected.sort();
        QCOMPARE(HelpWindow::topics(), expected);
    }
};

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
