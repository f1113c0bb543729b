#pragma once

#include "app/roster.h"
#include "bills/custdetails.h"
#include "bills/customerhistory.h"
#include "bills/homedelivery.h"
#include "bills/viewbilldetails.h"
#include "db/datamodulepos.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "sales/muenupos.h"
#include "sales/posorderitem.h"
#include "sales/salesorderdetails.h"
#include "salesfixture.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

// The counter as a cashier finds it: the program's screens, the POS menu shown and active, and
// a company with RICE (rate 50, 20 in stock on its latest ledger row, 500 on an older one).
class CounterFixture {
public:
    static constexpr const char* kDb = "COUNTER";

    std::unique_ptr<TestEnvironment> env;

    void startProgram()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        roster().create();
        roster().frmadminoptions->TerminalId = QStringLiteral("1");
        roster().fmlogin->CurrentUser = QStringLiteral("meera");
        SalesFixture::createCompany(db());
        roster().Dm->setCompanyDatabase(db(), true);
    }
    void endProgram()
    {
        roster().destroy();
        env.reset();
    }
    // Every test starts from the same rows with the menu shown and no counter screen.
    void openCounter()
    {
        // a lock left from the test before is not this one's to release
        roster().fmpaymentdetails->ReleaseResumedBill();
        QStringList s = SalesFixture::emptyCompany(db());
        s << SalesFixture::counterSettings(db());
        s << QStringLiteral("delete from general_stores.login")
          << QStringLiteral("insert into general_stores.login values('meera','x','cashier','t')");
        TestServer::exec(s);
        SalesFixture::addItem(
            db(), 1, QStringLiteral("RICE"), QStringLiteral("50"), QStringLiteral("0"), QStringLiteral("0"), 0, 20);
        Roster& r = roster();
        r.fmlogin->CurrentUser = QStringLiteral("meera");
        r.fmpaymentdetails->ResumeFlag = 0;
        r.frmAdminCreate->HistoryMark = false;
        r.fmcustdetails->SelectedCustomerId.clear();
        r.frmmenupos->hide();
        for (QWidget* w : { static_cast<QWidget*>(r.fmorderitem), static_cast<QWidget*>(r.fmsalesorderdtls),
                 static_cast<QWidget*>(r.fmcustdetails), static_cast<QWidget*>(r.fmpaymentdetails),
                 static_cast<QWidget*>(r.fmviewdetails), static_cast<QWidget*>(r.old_bill),
                 static_cast<QWidget*>(r.fmhomedelivery) })
            w->hide();
        r.frmmenupos->show();
        QVERIFY(QTest::qWaitForWindowActive(r.frmmenupos));
        // The offscreen platform keeps its focus window across hide and show, so the widgets'
        // active window, cleared by the hide, is not set again by itself.
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        QApplication::setActiveWindow(r.frmmenupos);
        QT_WARNING_POP
        env->dialogs->clear();
        env->dialogs->answers.clear();
    }

    static QString db() { return QString::fromLatin1(kDb); }
    static QString scalar(const QString& sql)
    {
        return TestServer::scalar(QString(sql).replace(QStringLiteral("$db"), db()));
    }
    static void exec(const QString& sql) { TestServer::exec({ QString(sql).replace(QStringLiteral("$db"), db()) }); }
    static QString riceStock()
    {
        return scalar(QStringLiteral("select closing_stock from $db.stock_details where itemcode=1 and "
                                     "sdate='2026-12-01'"));
    }

    template <typename T = QWidget> static T* find(QWidget* screen, const char* name)
    {
        T* found = screen->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no control %s on %s", name, qPrintable(screen->objectName()));
        return found;
    }
    static void press(QAction* action) { action->trigger(); }
    // A menu entry by its shortcut, and the events its placement posts (the screen's activation).
    static void key(QWidget* focus, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(focus, Qt::Key(key), modifiers);
        QCoreApplication::processEvents();
    }

    // Rings up RICE on the order screen, as the cashier does after F1, and processes it.
    void ringUpAndProcess(int quantity, const QString& customer = QString())
    {
        Roster& r = roster();
        key(r.frmmenupos, Qt::Key_F1);
        QVERIFY(r.fmorderitem->isVisible());
        find<QComboBox>(r.fmorderitem, "CboxItem")->setEditText(QStringLiteral("RICE"));
        find<QLineEdit>(r.fmorderitem, "EQuan")->setText(QString::number(quantity));
        QTest::mouseClick(find<QAbstractButton>(r.fmorderitem, "BtnradioACD"), Qt::LeftButton);
        find<QLineEdit>(r.fmorderitem, "ECustName")->setText(customer);
        QTest::mouseClick(find<QAbstractButton>(r.fmorderitem, "btnprocessorder"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(r.fmsalesorderdtls->isVisible());
    }

    // The cashier adds an item on the order screen from the keyboard: its name, Tab, the
    // quantity, Tab, and the action button.
    void typeLine(const QString& item, const QString& quantity)
    {
        Tfmorderitem* order = roster().fmorderitem;
        QVERIFY(order->isVisible());
        auto* box = find<QComboBox>(order, "CboxItem");
        box->setFocus();
        QTest::keyClicks(box, item);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find(order, "EQuan"));
        QTest::keyClicks(QApplication::focusWidget(), quantity);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find(order, "BtnradioACD"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCoreApplication::processEvents();
    }
    QString logText() const
    {
        QFile log(QDir::current().filePath(QStringLiteral("LogFiles/Log20261209.txt")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
};
