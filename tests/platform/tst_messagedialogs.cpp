#include "platform/messagedialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>

Q_DECLARE_METATYPE(QMessageBox::Icon)
Q_DECLARE_METATYPE(QMessageBox::StandardButton)
Q_DECLARE_METATYPE(Dialogs::Answer)

namespace {

// Waits on the event loop of the dialog under test until a modal dialog of type T is up, then
// hands it to `act`. A dialog that never comes up fails the test instead of hanging it.
template <typename T> void whenModal(std::function<void(T*)> act, bool* handled)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act, handled, tries = 0]() mutable {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            *handled = true;
            act(dialog);
        } else if (++tries > 500) {
            poll->deleteLater();
            poll->stop();
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
        }
    });
    poll->start(10);
}

} // namespace

class TestMessageDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showMsg_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QMessageBox::Icon>("icon");
        QTest::newRow("information") << QStringLiteral("Bill saved") << QString() << 0 << QMessageBox::Information;
        QTest::newRow("information with detail")
            << QStringLiteral("Stock is low") << QStringLiteral("Only 2 left") << 0 << QMessageBox::Information;
        QTest::newRow("error") << QStringLiteral("EAccessViolation error raised, with message : boom") << QString() << 1
                               << QMessageBox::Critical;
        QTest::newRow("error with detail")
            << QStringLiteral("Connection failed") << QStringLiteral("Server gone") << 1 << QMessageBox::Critical;
        // Values typed by users end up in messages; they must show as typed, not as markup.
        QTest::newRow("markup in texts") << QStringLiteral("<b>Item</b> & <i>co</i>")
                                         << QStringLiteral("<a href=x>1 < 2</a>") << 0 << QMessageBox::Information;
    }

    void showMsg()
    {
        QFETCH(QString, text);
        QFETCH(QString, detail);
        QFETCH(int, kind);
        QFETCH(QMessageBox::Icon, icon);

        QString title, objectName, shownText, shownDetail, labelText, detailLabelText;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        QList<QAbstractButton*> buttons;
        QMessageBox::StandardButton onlyButton = QMessageBox::NoButton;
        bool mainTextBold = false;
        bool handled = false;
        bool clicked = false;
        whenModal<QMessageBox>(
            [&](QMessageBox* box) {
                title = box->windowTitle();
                objectName = box->objectName();
                shownText = box->text();
                shownDetail = box->informativeText();
                shownIcon = box->icon();
                buttons = box->buttons();
                if (buttons.size() == 1)
                    onlyButton = box->standardButton(buttons.first());
                if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
                    mainTextBold = label->font().bold();
                    labelText = label->textFormat() == Qt::PlainText ? label->text() : QString();
                }
                if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
                    detailLabelText = label->textFormat() == Qt::PlainText ? label->text() : QString();
                clicked = true;
                box->button(QMessageBox::Ok)->click();
            },
            &handled);

        MessageDialogs dialogs;
        dialogs.showMsg(text, detail, kind);

        // It returned, and only after OK was pressed.
        QVERIFY(handled);
        QVERIFY(clicked);
        QCOMPARE(title, QStringLiteral("Message"));
        QCOMPARE(objectName, QStringLiteral("Message"));
        QCOMPARE(shownText, text);
        QCOMPARE(shownDetail, detail);
        QCOMPARE(shownIcon, icon);
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(onlyButton, QMessageBox::Ok);
        QVERIFY(mainTextBold);
        QCOMPARE(labelText, text);
        if (!detail.isEmpty())
            QCOMPARE(detailLabelText, detail);
    }

    void showMsgThroughServices()
    {
        services().setDialogs(std::make_unique<MessageDialogs>());
        QString seen;
        bool handled = false;
        whenModal<QMessageBox>(
            [&](QMessageBox* box) {
                seen = box->windowTitle() + QLatin1Char('|') + box->text();
                box->button(QMessageBox::Ok)->click();
            },
            &handled);
        ShowMsg(QStringLiteral("Hello"));
        QVERIFY(handled);
        QCOMPARE(seen, QStringLiteral("Message|Hello"));
    }

    void questions_data()
    {
        QTest::addColumn<bool>("yesNo");
        QTest::addColumn<QMessageBox::StandardButton>("press");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::newRow("yes") << true << QMessageBox::Yes << Dialogs::Answer::Yes;
        QTest::newRow("no") << true << QMessageBox::No << Dialogs::Answer::No;
        QTest::newRow("ok") << false << QMessageBox::Ok << Dialogs::Answer::Ok;
        QTest::newRow("cancel") << false << QMessageBox::Cancel << Dialogs::Answer::Cancel;
    }

    void questions()
    {
        QFETCH(bool, yesNo);
        QFETCH(QMessageBox::StandardButton, press);
        QFETCH(Dialogs::Answer, answer);
        const QString question = QStringLiteral("Are you sure you want to close?");
        QString shown;
        int buttonCount = 0;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool handled = false;
        whenModal<QMessageBox>(
            [&](QMessageBox* box) {
                shown = box->text();
                buttonCount = box->buttons().size();
                icon = box->icon();
                box->button(press)->click();
            },
            &handled);
        MessageDialogs dialogs;
        const Dialogs::Answer got = yesNo ? dialogs.askYesNo(question) : dialogs.askOkCancel(question);
        QVERIFY(handled);
        QCOMPARE(got, answer);
        QCOMPARE(shown, question);
        QCOMPARE(buttonCount, 2);
        QCOMPARE(icon, QMessageBox::Question);
    }

    void password_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("typed and confirmed") << true;
        QTest::newRow("cancelled") << false;
    }

    void password()
    {
        QFETCH(bool, accept);
        QLineEdit::EchoMode echo = QLineEdit::Normal;
        QString prompt;
        bool handled = false;
        whenModal<QInputDialog>(
            [&](QInputDialog* dialog) {
                echo = dialog->textEchoMode();
                prompt = dialog->labelText();
                dialog->setTextValue(QStringLiteral("s3cret"));
                if (accept)
                    dialog->accept();
                else
                    dialog->reject();
            },
            &handled);
        MessageDialogs dialogs;
        QString password = QStringLiteral("unchanged");
        const bool ok = dialogs.askPassword(QStringLiteral("Please Enter the Superpassword"), password);
        QVERIFY(handled);
        QCOMPARE(echo, QLineEdit::Password);
        QCOMPARE(prompt, QStringLiteral("Please Enter the Superpassword"));
        QCOMPARE(ok, accept);
        QCOMPARE(password, accept ? QStringLiteral("s3cret") : QStringLiteral("unchanged"));
    }
};

QTEST_MAIN(TestMessageDialogs)
#include "tst_messagedialogs.moc"
