// The key filter with the real key rules of the screens, on a bare field: text that arrives
// without typing at the end (a paste by either key, a drop, typing over a selection or before
// the first character) is taken only when the field could have been typed to hold it.
#include "backoffice/Itempas.h"
#include "bills/homedeliverypas.h"
#include "login/adminoptpas.h"
#include "platform/keyfilter.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QtTest>

namespace {

KeyFilter::Rule ruleNamed(const QString& name)
{
    if (name == QLatin1String("decimal"))
        return ItemFields::decimalKey;
    if (name == QLatin1String("phone"))
        return HomeDeliveryPhoneKey;
    return CompanyNameKeyAllowed;
}

// Drops the text on the field at its end, as a drag from another program does.
void drop(QLineEdit* field, const QString& text)
{
    QMimeData data;
    data.setText(text);
    const QPointF at(field->width() - 2, field->height() / 2);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &dropped);
}

} // namespace

class TestKeyFilter : public QObject {
    Q_OBJECT

    std::unique_ptr<QLineEdit> field;
    int released = 0;

    void arrive(const QString& how, const QString& text)
    {
        if (how == QLatin1String("Ctrl+V") || how == QLatin1String("Shift+Insert")) {
            QGuiApplication::clipboard()->setText(text);
            field->end(false);
            if (how == QLatin1String("Ctrl+V"))
                QTest::keyClick(field.get(), Qt::Key_V, Qt::ControlModifier);
            else
                QTest::keyClick(field.get(), Qt::Key_Insert, Qt::ShiftModifier);
        } else if (how == QLatin1String("drop")) {
            drop(field.get(), text);
        } else if (how == QLatin1String("overtype")) {
            // the whole text selected, as Shift+Home does from its end
            QTest::keyClick(field.get(), Qt::Key_End);
            QTest::keyClick(field.get(), Qt::Key_Home, Qt::ShiftModifier);
            QTest::keyClicks(field.get(), text);
        } else {
            QTest::keyClick(field.get(), Qt::Key_Home);
            QTest::keyClicks(field.get(), text);
        }
    }

private Q_SLOTS:
    void init()
    {
        field = std::make_unique<QLineEdit>();
        released = 0;
        field->show();
        field->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(field.get()));
        field->setFocus();
    }
    void cleanup() { field.reset(); }

    void textThatArrivesWithoutTyping_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");
        for (const char* how : { "Ctrl+V", "Shift+Insert", "drop" }) {
            const QByteArray h(how);
            QTest::newRow((h + ": negative rate").constData()) << "decimal"
                                                               << "" << how << "-5"
                                                               << "";
            QTest::newRow((h + ": second point").constData()) << "decimal"
                                                              << "12.5" << how << ".67"
                                                              << "12.5";
            QTest::newRow((h + ": exponent").constData()) << "decimal"
                                                          << "" << how << "1e5"
                                                          << "";
            QTest::newRow((h + ": rupees and paise").constData()) << "decimal"
                                                                  << "" << how << "1234567.89"
                                                                  << "1234567.89";
            QTest::newRow((h + ": digits after a point").constData()) << "decimal"
                                                                      << "99999." << how << "99"
                                                                      << "99999.99";
            QTest::newRow((h + ": phone starting with 6").constData()) << "phone"
                                                                       << "" << how << "6123456789"
                                                                       << "";
            QTest::newRow((h + ": international phone").constData()) << "phone"
                                                                     << "" << how << "+919876543210"
                                                                     << "+919876543210";
            QTest::newRow((h + ": phone beyond 13").constData()) << "phone"
                                                                 << "+91987654321" << how << "09"
                                                                 << "+91987654321";
            QTest::newRow((h + ": ampersand in a name").constData()) << "company"
                                                                     << "" << how << "Ram & Sons"
                                                                     << "";
            QTest::newRow((h + ": accented name").constData()) << "company"
                                                               << "" << how << "Café"
                                                               << "";
            QTest::newRow((h + ": dash in a name").constData()) << "company"
                                                                << "" << how << "A-B"
                                                                << "";
            QTest::newRow((h + ": second bracket").constData()) << "company"
                                                                << "Shop (A)" << how << " (B)"
                                                                << "Shop (A)";
            QTest::newRow((h + ": name of the key rule").constData()) << "company"
                                                                      << "" << how << "Ram (Sons) @x"
                                                                      << "Ram (Sons) @x";
        }
        QTest::newRow("overtype a phone with 6") << "phone"
                                                 << "9876543210"
                                                 << "overtype"
                                                 << "6"
                                                 << "9876543210";
        QTest::newRow("overtype a phone with 7") << "phone"
                                                 << "9876543210"
                                                 << "overtype"
                                                 << "7"
                                                 << "7";
        QTest::newRow("Home, then 6 before a phone") << "phone"
                                                     << "9876543210"
                                                     << "home"
                                                     << "6"
                                                     << "9876543210";
        QTest::newRow("Home, then 7 before a phone") << "phone"
                                                     << "9876543210"
                                                     << "home"
                                                     << "7"
                                                     << "79876543210";
        QTest::newRow("Home, then a minus before a rate") << "decimal"
                                                          << "12345.67"
                                                          << "home"
                                                          << "-"
                                                          << "12345.67";
        QTest::newRow("Home, then a point before a point") << "decimal"
                                                           << "5.5"
                                                           << "home"
                                                           << "."
                                                           << "5.5";
        QTest::newRow("Home, then ( before a bracket") << "company"
                                                       << "(A"
                                                       << "home"
                                                       << "("
                                                       << "(A";
    }
    void textThatArrivesWithoutTyping()
    {
        QFETCH(QString, rule);
        QFETCH(QString, before);
        QFETCH(QString, how);
        QFETCH(QString, text);
        const KeyFilter::Rule keys = ruleNamed(rule);
        KeyFilter::install(field.get(), keys);
        KeyFilter::holdOnly(field.get(), KeyFilter::typed(keys));
        field->setText(before);
        arrive(how, text);
        QTEST(field->text(), "after");
    }

    // A field that judges no whole text takes no pasted or dropped text at all.
    void noPasteWithoutAJudgement()
    {
        KeyFilter::install(field.get(), [](const QString&, QChar) { return true; });
        for (const char* how : { "Ctrl+V", "Shift+Insert", "drop" }) {
            arrive(QLatin1String(how), QStringLiteral("anything"));
            QCOMPARE(field->text(), QString());
        }
        QTest::keyClicks(field.get(), QStringLiteral("typed"));
        QCOMPARE(field->text(), QStringLiteral("typed"));
    }

    // What a field does after a key (cutting a figure to its limit) it does for a drop as well,
    // once per change.
    void dropRunsTheAfterReleaseAction()
    {
        KeyFilter::install(field.get(), ItemFields::decimalKey, [this] {
            ++released;
            if (field->text() != ItemFields::percentCut(field->text()))
                field->setText(ItemFields::percentCut(field->text()));
        });
        KeyFilter::holdOnly(field.get(), KeyFilter::typed(ItemFields::decimalKey));
        drop(field.get(), QStringLiteral("150"));
        QCOMPARE(field->text(), QStringLiteral("15"));
        QCOMPARE(released, 1);
        QTest::keyClicks(field.get(), QStringLiteral("0"));
        QCOMPARE(released, 2);
        // a refused drop changes nothing and does nothing
        drop(field.get(), QStringLiteral("-1"));
        QCOMPARE(field->text(), QStringLiteral("15"));
        QCOMPARE(released, 2);
    }
};

QTEST_MAIN(TestKeyFilter)
#include "tst_keyfilter.moc"
