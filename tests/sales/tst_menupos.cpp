// The POS menu: its category keys, "HOME" by role, the close-down paths, help and the logo.
#include "app/posapplication.h"
#include "counterfixture.h"
#include "login/selectpos.h"
#include "sales/muenupospas.h"
#include "sales/posorderitem.h"

#include <QImage>
#include <QLabel>
#include <QScreen>

class TestMenuPos : public QObject, CounterFixture {
    Q_OBJECT

    Tfrmmenupos* menu() { return roster().frmmenupos; }
    QLineEdit* quantity() { return find<QLineEdit>(roster().fmorderitem, "EQuan"); }
    int gridRows(const QString& terminal = QStringLiteral("1"))
    {
        return scalar(QStringLiteral("select count(*) from $db.tordergrid where pcid=%1").arg(terminal)).toInt();
    }
    QString loggedOn() { return TestServer::scalar(QStringLiteral("select u_loggedon from general_stores.login")); }

private Q_SLOTS:
    void initTestCase() { startProgram(); }
    void cleanupTestCase() { endProgram(); }
    void init() { openCounter(); }

    void fillsTheScreen()
    {
        const QRect s = menu()->screen()->geometry();
        QCOMPARE(menu()->geometry(), s);
        QVERIFY(menu()->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(find(menu(), "btnback")->pos(), QPoint(30, int(s.height() * 0.84)));
        for (const char* name : { "BitBtn2", "Image2", "Image3", "Label10", "Label3", "Label2" })
            QVERIFY2(find(menu(), name)->isVisible(), name);
        QCOMPARE(find<QLabel>(menu(), "Label2")->text(), QStringLiteral("Point of Sales"));
    }

    void categoryKeysPlaceTheirScreens_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("screen");
        QTest::newRow("F1") << int(Qt::Key_F1) << "Tfmorderitem";
        QTest::newRow("F2") << int(Qt::Key_F2) << "Tfmviewdetails";
        QTest::newRow("F3") << int(Qt::Key_F3) << "Tfmpaymentdetails";
        QTest::newRow("F4") << int(Qt::Key_F4) << "Tfmcustdetails";
        QTest::newRow("F5") << int(Qt::Key_F5) << "Told_bill";
    }
    void categoryKeysPlaceTheirScreens()
    {
        QFETCH(int, key);
        QFETCH(QString, screen);
        // pressed while the settlement screen is in view, with the focus in one of its fields
        ringUpAndProcess(1);
        this->key(find(roster().fmsalesorderdtls, "EAmtpaidcas"), key);
        QWidget* shown = menu()->visibleScreen();
        QVERIFY(shown);
        QCOMPARE(shown->objectName(), screen);
        QCOMPARE(shown->parentWidget(), menu());
        QCOMPARE(shown->pos(), QPoint(220, 30));
        QVERIFY(!roster().fmsalesorderdtls->isVisible());
    }

    void home_data()
    {
        QTest::addColumn<QString>("role");
        QTest::addColumn<bool>("fromSettlement");
        QTest::newRow("cashier, from the order screen") << "cashier" << false;
        QTest::newRow("administrator, from the settlement screen") << "admin" << true;
    }
    void home()
    {
        QFETCH(QString, role);
        QFETCH(bool, fromSettlement);
        exec(QStringLiteral("update general_stores.login set role='%1'").arg(role));
        // another terminal's order and a held bill's delivery stay; the abandoned order's go
        SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 2, 2, 6);
        exec(QStringLiteral("insert into $db.sales_order(sdate,billno,pcid,payment_status,bool_access) values"
                            "('2026-12-08',5,1,'Hold','t'),('2026-12-08',6,2,'Hold',null),"
                            "('2026-12-08',7,2,'Hold',null)"));
        exec(QStringLiteral("insert into $db.delivery(sdate,billno,charges,pcid) values('2026-12-09',6,30,2),"
                            "('2026-12-08',5,30,1),('2026-12-09',6,20,1)"));
        // this counter took bill 2/7 for payment; bill 1/5 is another counter's
        QVERIFY(roster().fmpaymentdetails->TakeForPayment(QStringLiteral("2"), QStringLiteral("7")));
        roster().fmpaymentdetails->ResumeFlag = 0;
        if (fromSettlement) {
            ringUpAndProcess(3);
            QVERIFY(roster().fmsalesorderdtls->isVisible());
            QTest::mouseClick(find<QAbstractButton>(menu(), "btnback"), Qt::LeftButton);
        } else {
            key(menu(), Qt::Key_F1);
            find<QComboBox>(roster().fmorderitem, "CboxItem")->setEditText(QStringLiteral("RICE"));
            QTest::mouseClick(find<QAbstractButton>(roster().fmorderitem, "BtnradioACD"), Qt::LeftButton);
            // Ctrl+H is HOME on every screen but the settlement screen
            key(quantity(), Qt::Key_H, Qt::ControlModifier);
        }
        QVERIFY(!menu()->isVisible());
        QVERIFY(!roster().fmorderitem->isVisibleTo(menu()) && !roster().fmsalesorderdtls->isVisibleTo(menu()));
        QCOMPARE(gridRows(), 0);
        QCOMPARE(gridRows(QStringLiteral("2")), 1);
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(pcid,'/',billno) order by pcid) from "
                                       "$db.delivery")),
            QStringLiteral("1/5,2/6"));
        QCOMPARE(scalar(QStringLiteral("select group_concat(concat(pcid,'/',billno,bool_access) order by pcid) from "
                                       "$db.sales_order where billno in (5,7)")),
            QStringLiteral("1/5t,2/7f"));
        if (role == QLatin1String("admin")) {
            QVERIFY(roster().frmadminoptions->isVisible());
            roster().frmadminoptions->hide();
        } else {
            QVERIFY(roster().frmselectpos->isVisible());
            roster().frmselectpos->hide();
        }
    }

    void closeButton_data()
    {
        QTest::addColumn<QString>("bill"); // the settlement screen's bill
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QStringList>("questions");
        QTest::addColumn<bool>("ends");
        const QString close = QStringLiteral("Are you sure you want to close?");
        const QString held = QStringLiteral("Do you want to save the changes of customer on Hold?");
        const QString keep = QStringLiteral("Do You Want To Keep the Customer On Hold : YES / NO");
        QTest::newRow("cancel") << "held"
                                << "cancel" << QStringList { close } << false;
        QTest::newRow("held bill in the grid, no") << "held"
                                                   << "ok no" << QStringList { close, held } << true;
        QTest::newRow("held bill in the grid, yes") << "held"
                                                    << "ok yes yes" << QStringList { close, held, keep } << true;
        QTest::newRow("held bill no longer in the grid") << "held, grid emptied"
                                                         << "ok" << QStringList { close } << true;
        QTest::newRow("bill not held") << "open"
                                       << "ok" << QStringList { close } << true;
    }
    void closeButton()
    {
        QFETCH(QString, bill);
        QFETCH(QString, answers);
        QFETCH(bool, ends);
        ringUpAndProcess(3);
        if (bill.startsWith(QLatin1String("held"))) {
            env->dialogs->answers << Dialogs::Answer::Yes;
            key(find(roster().fmsalesorderdtls, "EAmtpaidcas"), Qt::Key_H, Qt::ControlModifier);
            QCOMPARE(riceStock(), QStringLiteral("17"));
        }
        if (bill.endsWith(QLatin1String("emptied"))) {
            exec(QStringLiteral("delete from $db.tordergrid"));
            SalesFixture::addGridLine(db(), QStringLiteral("RICE"), 1, 2, 1); // another terminal's bill 1
        }
        env->dialogs->clear();
        for (const QString& a : answers.split(QLatin1Char(' '))) {
            env->dialogs->answers << (a == QLatin1String("ok") ? Dialogs::Answer::Ok
                    : a == QLatin1String("yes")                ? Dialogs::Answer::Yes
                    : a == QLatin1String("no")                 ? Dialogs::Answer::No
                                                               : Dialogs::Answer::Cancel);
        }
        QTest::mouseClick(find<QAbstractButton>(menu(), "BitBtn2"), Qt::LeftButton);
        QTEST(env->dialogs->questions, "questions");
        // the held bill keeps its lines and its stock either way
        if (bill.startsWith(QLatin1String("held"))) {
            QCOMPARE(scalar(QStringLiteral("select sum(quantity) from $db.temp_ordergrid")), QStringLiteral("3"));
            QCOMPARE(riceStock(), QStringLiteral("17"));
        }
        QCOMPARE(gridRows(), ends ? 0 : 1);
        QCOMPARE(gridRows(QStringLiteral("2")), bill.endsWith(QLatin1String("emptied")) ? 1 : 0);
        QCOMPARE(logText().contains(QLatin1String("************TERMINATING POS*************")), ends);
        // the counter ends through the login screen's close, which logs the cashier off
        QCOMPARE(roster().fmlogin->CurrentUser.isEmpty(), ends);
        QCOMPARE(loggedOn(), ends ? QStringLiteral("f") : QStringLiteral("t"));
    }

    void closingTheWindow_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::newRow("cancel") << false;
        QTest::newRow("ok") << true;
    }
    void closingTheWindow()
    {
        QFETCH(bool, ok);
        key(menu(), Qt::Key_F1);
        find<QComboBox>(roster().fmorderitem, "CboxItem")->setEditText(QStringLiteral("RICE"));
        QTest::mouseClick(find<QAbstractButton>(roster().fmorderitem, "BtnradioACD"), Qt::LeftButton);
        env->dialogs->answers << (ok ? Dialogs::Answer::Ok : Dialogs::Answer::Cancel);
        menu()->close();
        QCOMPARE(env->dialogs->questions, QStringList { "Are you sure you want to close?" });
        QCOMPARE(menu()->isVisible(), !ok);
        QCOMPARE(gridRows(), ok ? 0 : 1);
        QCOMPARE(loggedOn(), ok ? QStringLiteral("f") : QStringLiteral("t"));
    }

    void helpFollowsTheVisibleScreen_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("topic");
        QTest::newRow("no screen") << 0 << "::/Pos.htm";
        QTest::newRow("order entry") << int(Qt::Key_F1) << "::/Sales_Order.htm";
        QTest::newRow("bill details") << int(Qt::Key_F2) << "::/Bill_Details.htm";
        QTest::newRow("payment details") << int(Qt::Key_F3) << "::/Payment_Details.htm";
        QTest::newRow("customers") << int(Qt::Key_F4) << "::/Customer_Details.htm";
        QTest::newRow("old bills") << int(Qt::Key_F5) << "::/Old_Bill.htm";
    }
    void helpFollowsTheVisibleScreen()
    {
        QFETCH(int, key);
        if (key)
            this->key(menu(), key);
        QWidget* shown = menu()->visibleScreen();
        env->help->topics.clear();
        QTest::mouseClick(find<QAbstractButton>(menu(), "Image2"), Qt::LeftButton);
        QTEST(env->help->topics.value(0), "topic");
        QCOMPARE(menu()->visibleScreen(), shown);
        QVERIFY(menu()->isVisible());
    }

    void helpOnTheSettlementScreen()
    {
        ringUpAndProcess(1);
        env->help->topics.clear();
        QTest::mouseClick(find<QAbstractButton>(menu(), "Image2"), Qt::LeftButton);
        QCOMPARE(env->help->topics.value(0), QStringLiteral("::/Payment.htm"));
    }

    void logo_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("shown");
        QTest::newRow("none") << QStringList() << "";
        QTest::newRow("a picture") << QStringList { "SHOP_ONE.bmp" } << "SHOP_ONE.bmp";
        QTest::newRow("the last extension wins") << QStringList { "SHOP_ONE.ico", "SHOP_ONE.jpg" } << "SHOP_ONE.ico";
        QTest::newRow("another company's") << QStringList { "SHOP_TWO.jpg" } << "";
    }
    void logo()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, shown);
        const QString folder = env->root() + QStringLiteral("/logos");
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        int size = 8;
        for (const QString& f : files) {
            QImage picture(size, size, QImage::Format_RGB32);
            picture.fill(Qt::blue);
            QVERIFY(picture.save(folder + QLatin1Char('/') + f));
            size *= 2;
        }
        exec(QStringLiteral("delete from pcmac.path_img"));
        exec(QStringLiteral("insert into pcmac.path_img(path_) values('%1')").arg(folder));
        roster().frmselectpos->SelectedCompanyName = QStringLiteral("SHOP ONE");
        roster().frmselectpos->SelectedCompanyDb = QStringLiteral("SHOP_ONE");
        QCOMPARE(LogoFile(folder, QStringLiteral("SHOP ONE")), shown.isEmpty() ? QString() : folder + '/' + shown);
        menu()->hide();
        menu()->show();
        QCOMPARE(menu()->windowTitle(), QStringLiteral("SHOP ONE"));
        const QPixmap logo = find<QLabel>(menu(), "Image3")->pixmap();
        QCOMPARE(logo.isNull(), shown.isEmpty());
        if (!shown.isEmpty())
            QCOMPARE(logo.size(), QImage(folder + '/' + shown).size());
        QCOMPARE(LogoFile(env->root() + QStringLiteral("/missing"), QStringLiteral("SHOP_ONE")), QString());
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestMenuPos test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_menupos.moc"
