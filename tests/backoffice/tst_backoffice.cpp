// The back-office menu and its working screens driven through their widgets.
#include "admin/aducashier.h"
#include "app/posapplication.h"
#include "app/roster.h"
#include "backoffice/menuback.h"
#include "backoffice/unitcomment.h"
#include "backoffice/unithome.h"
#include "backoffice/unititemdetails.h"
#include "backoffice/unitpurchase.h"
#include "backoffice/unitview_stock.h"
#include "backofficefixture.h"
#include "db/datamodulepos.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "platform/errors.h"
#include "workbook/workbook.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QtTest>

using namespace BackOfficeFixture;

class TestBackOffice : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    bool m_typingCompany = false;

    Tfrmmenu* menu() { return roster().frmmenu; }
    template <typename T = QWidget> T* w(QWidget* screen, const QString& name)
    {
        T* found = screen->findChild<T*>(name);
        if (!found)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    void click(QWidget* screen, const QString& name)
    {
        QTest::mouseClick(w<QAbstractButton>(screen, name), Qt::LeftButton);
    }
    QString text(QWidget* screen, const QString& name) { return w<QLineEdit>(screen, name)->text(); }
    void type(QWidget* screen, const QString& name, const QString& keys)
    {
        auto* field = w<QLineEdit>(screen, name);
        field->clear();
        QTest::keyClicks(field, keys);
    }
    // Leaves the field as Tab would.
    void leave(QWidget* screen, const QString& name)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(w<QLineEdit>(screen, name), &out);
    }
    QStringList messages() { return env->dialogs->texts(); }
    // Text that arrives without typing at the end: pasted by either key, dropped at the end of
    // the field, or typed after Home.
    void arrive(QLineEdit* field, const QString& how, const QString& text)
    {
        field->setFocus();
        if (how == QLatin1String("drop")) {
            QMimeData data;
            data.setText(text);
            const QPoint at(field->width() - 2, field->height() / 2);
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field, &enter);
            QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(field, &dropped);
        } else if (how == QLatin1String("Home")) {
            QTest::keyClick(field, Qt::Key_Home);
            QTest::keyClicks(field, text);
        } else {
            QGuiApplication::clipboard()->setText(text);
            if (how == QLatin1String("Ctrl+V"))
                QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
            else
                QTest::keyClick(field, Qt::Key_Insert, Qt::ShiftModifier);
        }
    }
    void choose(QComboBox* box, const QString& name)
    {
        box->lineEdit()->clear();
        QTest::keyClicks(box->lineEdit(), name);
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }
    QString logText()
    {
        QFile log(QDir::current().filePath(QStringLiteral("LogFiles/Log20261209.txt")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
    }
    // The back office as the admin options screen opens it.
    void open()
    {
        menu()->hide();
        menu()->show();
        menu()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(menu()));
        env->dialogs->clear();
    }

private Q_SLOTS:
    void initTestCase()
    {
        env = std::make_unique<TestEnvironment>();
        TestServer::dropAllDatabases();
        TestServer::storeSettings();
        roster().create();
        roster().fmlogin->CurrentUser = QStringLiteral("anna");
        roster().frmadminoptions->AdminCompanyName = kDb;
        roster().frmadminoptions->AdminCompanyDb = kDb;
    }
    void cleanupTestCase()
    {
        roster().destroy();
        env.reset();
    }
    void init()
    {
        // the typing rules write nothing: their rows share one company
        const bool typingRules = QTest::currentTestFunction() == QLatin1String("itemFieldRules");
        if (!typingRules || !m_typingCompany) {
            createCompany();
            roster().Dm->setCompanyDatabase(kDb, true);
            addItem(1, QStringLiteral("SUGAR"), 5, QStringLiteral("400000000001"));
            addItem(2, QStringLiteral("RICE"), 5, QString());
        }
        m_typingCompany = typingRules;
        open();
    }
    void cleanup()
    {
        menu()->Button1Click();
        env->dialogs->answers.clear();
    }

    void menuPlacesOneScreenAtATime()
    {
        Roster& r = roster();
        QCOMPARE(menu()->currentScreen(), r.FrmBackOffice);
        QVERIFY(r.FrmBackOffice->isVisible());
        QCOMPARE(r.FrmBackOffice->parentWidget(), menu());
        QCOMPARE(r.FrmBackOffice->pos(), QPoint(230, 30));

        click(menu(), QStringLiteral("btnPurchase"));
        QVERIFY(r.Fpurchase->isVisible());
        QVERIFY(!r.FrmBackOffice->isVisible());
        click(menu(), QStringLiteral("Image2"));
        QCOMPARE(env->help->topics.last(), QStringLiteral("::/Purchase.htm"));
        QVERIFY(r.Fpurchase->isVisible());

        click(menu(), QStringLiteral("btnConfiguration"));
        QVERIFY(r.frmaducashier->isVisible());
        QVERIFY(!w(menu(), QStringLiteral("Image3"))->isVisible());
        click(menu(), QStringLiteral("Image2"));
        QCOMPARE(env->help->topics.last(), QStringLiteral("::/Settings.htm"));

        QTest::keyClick(menu(), Qt::Key_B, Qt::ControlModifier);
        QVERIFY(r.frmadminoptions->isVisible());
        QVERIFY(!menu()->isVisible());
        for (QWidget* screen : { static_cast<QWidget*>(r.Fpurchase), static_cast<QWidget*>(r.frmaducashier) }) {
            QVERIFY(!screen->isVisible());
            QVERIFY(screen->isWindow()); // others may show it outside the back office
        }
        const qsizetype topics = env->help->topics.size();
        menu()->Image2Click();
        QCOMPARE(env->help->topics.size(), topics);
        r.frmadminoptions->hide();
    }

    void labelsAndLogo()
    {
        // the admin options screen names the menu's own labels, whatever screen is placed in it
        click(menu(), QStringLiteral("btnItemDetails"));
        SetScreenLabel(menu(), QStringLiteral("Label1"), QStringLiteral("anna"));
        QCOMPARE(w<QLabel>(menu(), QStringLiteral("Label1"))->parentWidget(), menu());
        QCOMPARE(w<QLabel>(menu(), QStringLiteral("Label1"))->text(), QStringLiteral("anna"));

        // of the company's pictures the last of .bmp, .ico, .jpg is shown
        const QString folder = env->root() + QStringLiteral("/logos");
        QDir().mkpath(folder);
        QImage tall(10, 20, QImage::Format_RGB32);
        tall.fill(Qt::blue);
        QVERIFY(tall.save(folder + QStringLiteral("/STORE.bmp")));
        QVERIFY(tall.transformed(QTransform().rotate(90)).save(folder + QStringLiteral("/STORE.jpg")));
        QVERIFY(tall.save(folder + QStringLiteral("/OTHER.ico")));
        TestServer::exec({ QStringLiteral("create database if not exists pcmac") });
        try {
            TestServer::exec({ Schema::pathImgTableStatement() });
        } catch (const EDatabaseError&) {
            // made by the provisioning already
        }
        TestServer::exec({ QStringLiteral("delete from pcmac.path_img"),
            QStringLiteral("insert into pcmac.path_img values(1,'%1/')").arg(folder) });
        open();
        const QPixmap logo = w<QLabel>(menu(), QStringLiteral("Image3"))->pixmap();
        QVERIFY(!logo.isNull());
        QVERIFY(logo.width() > logo.height());
        TestServer::exec({ QStringLiteral("delete from pcmac.path_img") });
    }

    void dashboard()
    {
        addItem(3, QStringLiteral("SALT"));
        addLedgerRow(1, QStringLiteral("2026-12-08"), 0, 5, 5);
        addLedgerRow(2, QStringLiteral("2026-12-08"), 0, 9, 9);
        exec(QStringLiteral("insert into $db.itemdetails values(2,4,'2026-12-09')"));
        exec(QStringLiteral("insert into $db.comment values('2026-12-09','count the rice')"));
        click(menu(), QStringLiteral("btnHome"));

        TFrmBackOffice* home = roster().FrmBackOffice;
        QCOMPARE(w<QLabel>(home, QStringLiteral("Label5"))->text(), QStringLiteral("anna"));
        QCOMPARE(w<QLabel>(home, QStringLiteral("Label9date"))->text(), QStringLiteral("09-12-2026"));
        QCOMPARE(w<QPlainTextEdit>(home, QStringLiteral("Memo1"))->toPlainText(), QStringLiteral("count the rice"));
        auto* items = w<QListWidget>(home, QStringLiteral("ListBox1"));
        auto* opening = w<QListWidget>(home, QStringLiteral("ListBox2"));
        auto* closing = w<QListWidget>(home, QStringLiteral("ListBox3"));
        QCOMPARE(items->count(), 2);
        QCOMPARE(opening->item(0)->text(), QString());
        QCOMPARE(opening->item(1)->text(), QStringLiteral("4"));
        QCOMPARE(closing->item(0)->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(closing->item(1)->foreground().color(), QColor(Qt::black));

        closing->setCurrentRow(1);
        QCOMPARE(items->currentRow(), 1);
        QCOMPARE(opening->currentRow(), 1);
    }

    void itemFieldRules_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("left");
        QTest::addColumn<QString>("kept");
        QTest::newRow("two decimals") << "Add"
                                      << "EDiscount"
                                      << "12.345" << false << "12.34";
        QTest::newRow("percent above 100") << "Add"
                                           << "EDiscount"
                                           << "101" << false << "10";
        QTest::newRow("trailing point on leaving") << "Add"
                                                   << "EITax"
                                                   << "12." << true << "12.0";
        QTest::newRow("decimal keys") << "Add"
                                      << "EIRate"
                                      << "1a.2.34" << false << "1.23";
        QTest::newRow("rate above the limit") << "Add"
                                              << "EIRate"
                                              << "1000001" << false << "10000";
        QTest::newRow("minimal floor on leaving") << "Add"
                                                  << "EMinimal"
                                                  << "2" << true << "5";
        QTest::newRow("add minimal above 1000000") << "Add"
                                                   << "EMinimal"
                                                   << "1000001" << false << "100000";
        QTest::newRow("minimal above 1000000") << "Change"
                                               << "EMinimal1"
                                               << "12345678" << false << "123456";
        QTest::newRow("barcode of 13 digits") << "Add"
                                              << "ebarcode"
                                              << "1234567890123" << false << "123456789012";
        QTest::newRow("change barcode digits") << "Change"
                                               << "ebar"
                                               << "12ab3" << false << "123";
        QTest::newRow("overall tax above 100") << "Tax"
                                               << "ETax"
                                               << "150" << false << "15";
        QTest::newRow("name beyond 45") << "Add"
                                        << "EItemName" << QString(45, QLatin1Char('A')) + QLatin1Char('B') << false
                                        << QString(44, QLatin1Char('A'));
    }
    void itemFieldRules()
    {
        QFETCH(QString, mode);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(bool, left);
        QFETCH(QString, kept);
        TFitemdetails* items = roster().Fitemdetails;
        click(menu(), QStringLiteral("btnItemDetails"));
        click(items, QStringLiteral("RadioGroup1") + mode);
        type(items, field, typed);
        if (left)
            leave(items, field);
        QCOMPARE(text(items, field), kept);
    }

    // Pasted by either key, dropped, or typed before the figure: a field of the item screen keeps
    // only what its keys could have typed, and cuts a figure as a key would.
    void itemFiguresArriveOnlyAsTyped_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("arriving");
        QTest::addColumn<QString>("kept");
        const auto row = [](const char* name, const char* mode, const char* field, const char* before, const char* how,
                             const char* arriving, const char* kept) {
            QTest::newRow(name) << mode << field << before << how << arriving << kept;
        };
        row("negative rate by Ctrl+V", "Add", "EIRate", "", "Ctrl+V", "-5", "");
        row("negative rate by Shift+Insert", "Add", "EIRate", "", "Shift+Insert", "-5", "");
        row("negative rate dropped", "Add", "EIRate", "", "drop", "-12345.67", "");
        row("minus typed before a rate", "Add", "EIRate", "12345.67", "Home", "-", "12345.67");
        row("rate with paise pasted", "Add", "EIRate", "", "Ctrl+V", "12345.67", "12345.67");
        row("rate with an exponent", "Add", "EIRate", "", "Shift+Insert", "1e4", "");
        row("rate above the limit dropped", "Add", "EIRate", "", "drop", "1234567", "12345");
        row("negative discount", "Add", "EDiscount", "", "Ctrl+V", "-5", "");
        row("discount above 100 dropped", "Add", "EDiscount", "", "drop", "150", "15");
        row("negative tax", "Add", "EITax", "", "Shift+Insert", "-0.5", "");
        row("negative minimal", "Add", "EMinimal", "", "Ctrl+V", "-3", "");
        row("barcode with letters", "Add", "ebarcode", "", "Shift+Insert", "12ab", "");
        row("name beyond 45", "Add", "EItemName", "", "Ctrl+V", "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEF",
            "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDE");
        row("negative change rate", "Change", "EIRate2", "", "drop", "-99999.99", "");
        row("second point in a change discount", "Change", "EIDiscount2", "1.5", "Ctrl+V", ".5", "1.5");
        row("negative overall tax by Ctrl+V", "Tax", "ETax", "", "Ctrl+V", "-5", "");
        row("negative overall tax by Shift+Insert", "Tax", "ETax", "", "Shift+Insert", "-5", "");
        row("overall tax pasted", "Tax", "ETax", "", "Shift+Insert", "12.5", "12.5");
    }
    void itemFiguresArriveOnlyAsTyped()
    {
        QFETCH(QString, mode);
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(QString, how);
        QFETCH(QString, arriving);
        TFitemdetails* items = roster().Fitemdetails;
        click(menu(), QStringLiteral("btnItemDetails"));
        click(items, QStringLiteral("RadioGroup1") + mode);
        type(items, field, before);
        arrive(w<QLineEdit>(items, field), how, arriving);
        QTEST(text(items, field), "kept");
    }

    // A rate and an overall tax that arrive by paste are stored as pasted.
    void pastedFiguresAreStored()
    {
        TFitemdetails* items = roster().Fitemdetails;
        click(menu(), QStringLiteral("btnItemDetails"));
        type(items, QStringLiteral("EItemName"), QStringLiteral("dal"));
        arrive(w<QLineEdit>(items, QStringLiteral("EIRate")), QStringLiteral("Ctrl+V"), QStringLiteral("99999.99"));
        arrive(w<QLineEdit>(items, QStringLiteral("EDiscount")), QStringLiteral("Ctrl+V"), QStringLiteral("-5"));
        click(items, QStringLiteral("BtnAdd"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.item where itemname='DAL' and rate=99999.99 and "
                                      "discount=0")),
            1);
        click(items, QStringLiteral("RadioGroup1Tax"));
        arrive(w<QLineEdit>(items, QStringLiteral("ETax")), QStringLiteral("Shift+Insert"), QStringLiteral("-12.5"));
        click(items, QStringLiteral("BtnTax"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Please Enter the Tax"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.tax")), 0);
        arrive(w<QLineEdit>(items, QStringLiteral("ETax")), QStringLiteral("Shift+Insert"), QStringLiteral("12.5"));
        click(items, QStringLiteral("BtnTax"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.tax where rate=12.5")), 1);
    }

    // A purchase that arrives without typing: a negative one is never taken, a dropped one is
    // booked as typed.
    void purchaseArrivesOnlyAsTyped()
    {
        addLedgerRow(1, QStringLiteral("2026-12-05"), 12345, 0, 12345);
        TFpurchase* purchase = roster().Fpurchase;
        click(menu(), QStringLiteral("btnPurchase"));
        choose(w<QComboBox>(purchase, QStringLiteral("ComboBox1")), QStringLiteral("sugar"));
        auto* entry = w<QLineEdit>(purchase, QStringLiteral("Edit2"));
        entry->setFocus();
        QTest::keyClick(entry, Qt::Key_End);
        QTest::keyClick(entry, Qt::Key_Home, Qt::ShiftModifier);
        for (const char* how : { "Ctrl+V", "Shift+Insert", "drop" })
            arrive(entry, QLatin1String(how), QStringLiteral("-5"));
        QCOMPARE(entry->text(), QStringLiteral("0"));
        QTest::keyClick(entry, Qt::Key_Home);
        QTest::keyClick(entry, Qt::Key_Minus);
        QCOMPARE(entry->text(), QStringLiteral("0"));
        env->dialogs->answers = { Dialogs::Answer::Yes };
        click(purchase, QStringLiteral("BtnAddDetails"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.stock_details")), 1);

        // dropped after the 0: the closing stock follows as after a key
        entry->clear();
        arrive(entry, QStringLiteral("drop"), QStringLiteral("7"));
        QCOMPARE(text(purchase, QStringLiteral("Edit5")), QStringLiteral("12352"));
        click(purchase, QStringLiteral("BtnAddDetails"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Item is updated"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-09")), QStringLiteral("12345,7,12352,1"));
    }

    void itemScreen()
    {
        TFitemdetails* items = roster().Fitemdetails;
        click(menu(), QStringLiteral("btnItemDetails"));
        type(items, QStringLiteral("EItemName"), QStringLiteral("dal"));
        type(items, QStringLiteral("EIRate"), QStringLiteral("30"));
        type(items, QStringLiteral("ebarcode"), QStringLiteral("12345678901"));
        leave(items, QStringLiteral("ebarcode"));
        QCOMPARE(messages(), QStringList { " barcode has to be 12 digit in length" });
        click(items, QStringLiteral("BtnAdd"));
        QCOMPARE(messages().size(), 1);
        QCOMPARE(
            scalar(QStringLiteral("select concat_ws(',',minimal,discount,barcode) from $db.item where itemname='DAL'")),
            QStringLiteral("5,0,12345678901"));
        QCOMPARE(w<QTableView>(items, QStringLiteral("DBGrid1"))->model()->rowCount(), 3);
        type(items, QStringLiteral("EItemName"), QStringLiteral("sugar"));
        type(items, QStringLiteral("EIRate"), QStringLiteral("30"));
        click(items, QStringLiteral("BtnAdd"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Item Already Exist"));
        QVERIFY(logText().contains(
            QLatin1String("Item added-->itemname: sugar Rate: 30 Discount: 0 Minimal: 5 Tax: 0Barcode: ")));

        // change: the item's own barcode is allowed
        click(items, QStringLiteral("RadioGroup1Change"));
        auto* change = w<QComboBox>(items, QStringLiteral("CBoxItemName2"));
        QVERIFY(!w(items, QStringLiteral("BtnChange"))->isEnabled());
        QTest::keyClick(change, Qt::Key_S);
        QCOMPARE(change->currentText(), QStringLiteral("SUGAR"));
        QCOMPARE(text(items, QStringLiteral("ebar")), QStringLiteral("400000000001"));
        type(items, QStringLiteral("EIRate2"), QStringLiteral("12.5"));
        click(items, QStringLiteral("BtnChange"));
        QCOMPARE(scalar(QStringLiteral("select rate from $db.item where itemcode=1")), QStringLiteral("12.5"));
        QCOMPARE(text(items, QStringLiteral("EIRate2")), QString());

        click(items, QStringLiteral("RadioGroup1Remove"));
        auto* remove = w<QComboBox>(items, QStringLiteral("CBoxItemName3"));
        QTest::keyClick(remove, Qt::Key_R);
        QCOMPARE(remove->currentText(), QStringLiteral("RICE"));
        click(items, QStringLiteral("BtnRemove"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.item where itemname='RICE'")), 0);
        QCOMPARE(remove->count(), 2);

        click(items, QStringLiteral("RadioGroup1Tax"));
        type(items, QStringLiteral("ETax"), QStringLiteral("5"));
        click(items, QStringLiteral("BtnTax"));
        type(items, QStringLiteral("ETax"), QStringLiteral("6.25"));
        click(items, QStringLiteral("BtnTax"));
        QCOMPARE(messages().mid(2), QStringList({ "TAX is added", "Tax is changed" }));
        QCOMPARE(w<QLabel>(items, QStringLiteral("ltaxshow"))->text(), QStringLiteral("6.25"));
        QCOMPARE(w<QLabel>(items, QStringLiteral("lbl_date_tax"))->text(), QStringLiteral("09-12-2026"));
        QCOMPARE(count(QStringLiteral("select count(*) from $db.tax")), 1);
    }

    void purchaseScreen()
    {
        TFpurchase* purchase = roster().Fpurchase;
        click(menu(), QStringLiteral("btnPurchase"));
        type(purchase, QStringLiteral("Edit2"), QStringLiteral("5"));
        QCOMPARE(messages(), QStringList { "Select the item you want to purchase" });
        QCOMPARE(text(purchase, QStringLiteral("Edit2")), QString());

        auto* item = w<QComboBox>(purchase, QStringLiteral("ComboBox1"));
        choose(item, QStringLiteral("rice"));
        QCOMPARE(
            env->dialogs->lastText(), QStringLiteral("No items Exist. So Please ADD OPENING STOCK to SELECTED ITEM"));
        QVERIFY(w(purchase, QStringLiteral("EOpstock"))->isVisible());
        type(purchase, QStringLiteral("EOpstock"), QStringLiteral("1500"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Cannot purchase more than 1000 items"));
        QCOMPARE(text(purchase, QStringLiteral("Edit1")), QStringLiteral("150"));
        type(purchase, QStringLiteral("EOpstock"), QStringLiteral("20"));
        type(purchase, QStringLiteral("Edit2"), QStringLiteral("10001"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Cannot purchase more  items"));
        QCOMPARE(text(purchase, QStringLiteral("Edit2")), QString());
        type(purchase, QStringLiteral("Edit2"), QStringLiteral("5"));
        QCOMPARE(text(purchase, QStringLiteral("Edit5")), QStringLiteral("25"));

        env->dialogs->answers = { Dialogs::Answer::No };
        click(purchase, QStringLiteral("BtnAddDetails"));
        QCOMPARE(env->dialogs->questions.last(), QStringLiteral("Bill Received? : YES / NO"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Item is updated"));
        QCOMPARE(ledgerRow(2, QStringLiteral("2026-12-09")), QStringLiteral("20,5,25,0"));
        QVERIFY(logText().contains(QLatin1String("Purchase --Item Name: RICE Opening stock: 20 purchase : 5")));
        QVERIFY(w(purchase, QStringLiteral("Panel1"))->isVisible());

        choose(item, QStringLiteral("RICE"));
        QCOMPARE(text(purchase, QStringLiteral("Edit6")), QStringLiteral("Not Recieved"));
        QCOMPARE(text(purchase, QStringLiteral("Edit1")), QStringLiteral("20"));
        QVERIFY(!w(purchase, QStringLiteral("EOpstock"))->isVisible());
        click(purchase, QStringLiteral("BtnReceived"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Please Check If Bill Recieved"));
        w<QCheckBox>(purchase, QStringLiteral("CheckBox1"))->setChecked(true);
        click(purchase, QStringLiteral("BtnReceived"));
        QCOMPARE(text(purchase, QStringLiteral("Edit6")), QStringLiteral("Recieved"));
        QCOMPARE(ledgerRow(2, QStringLiteral("2026-12-09")), QStringLiteral("20,5,25,1"));
    }

    // The opening stock entry over today's row, which opened at 0 and already holds purchases
    // and sales: keys that leave the figure as it was change nothing, a new figure moves the stock
    // by the difference.
    void openingStockKeepsTheDaysPurchasesAndSales()
    {
        addLedgerRow(1, QStringLiteral("2026-12-01"), 40, 0, 0);
        // 12345 bought today, 2346 of them sold
        addLedgerRow(1, QStringLiteral("2026-12-09"), 0, 12345, 9999);
        const QString today = QStringLiteral("2026-12-09");
        TFpurchase* purchase = roster().Fpurchase;
        click(menu(), QStringLiteral("btnPurchase"));
        auto* item = w<QComboBox>(purchase, QStringLiteral("ComboBox1"));
        choose(item, QStringLiteral("sugar"));
        auto* entry = w<QLineEdit>(purchase, QStringLiteral("EOpstock"));
        QVERIFY(entry->isVisible());
        QCOMPARE(entry->text(), QStringLiteral("0"));
        QCOMPARE(text(purchase, QStringLiteral("Edit5")), QStringLiteral("9999"));

        // keys go where the focus is, as the keyboard's do: the release of the Tab that moved the
        // focus lands in the entry
        const auto key = [](Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(static_cast<QWidget*>(nullptr), k, modifiers);
        };
        item->setFocus();
        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), entry);
        QCOMPARE(ledgerRow(1, today), QStringLiteral("0,12345,9999,0"));
        QCOMPARE(text(purchase, QStringLiteral("Edit5")), QStringLiteral("9999"));

        // the cursor stands after the 0: taken away, it leaves the figure at 0
        key(Qt::Key_Backspace);
        QCOMPARE(entry->text(), QString());
        QCOMPARE(ledgerRow(1, today), QStringLiteral("0,12345,9999,0"));
        QTest::keyClicks(static_cast<QWidget*>(nullptr), QStringLiteral("25"));
        QCOMPARE(entry->text(), QStringLiteral("25"));
        QCOMPARE(ledgerRow(1, today), QStringLiteral("25,12345,10024,0"));
        QCOMPARE(text(purchase, QStringLiteral("Edit1")), QStringLiteral("25"));
        QCOMPARE(text(purchase, QStringLiteral("Edit5")), QStringLiteral("10024"));

        key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w<QLineEdit>(purchase, QStringLiteral("Edit1")));
        key(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), entry);
        QCOMPARE(ledgerRow(1, today), QStringLiteral("25,12345,10024,0"));

        // Ctrl+V and Shift+Insert paste digits over the selected figure, and nothing else
        QGuiApplication::clipboard()->setText(QStringLiteral("7"));
        key(Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(entry->text(), QStringLiteral("7"));
        QCOMPARE(ledgerRow(1, today), QStringLiteral("7,12345,10006,0"));
        for (const char* pasted : { "1x", "-5" }) {
            QGuiApplication::clipboard()->setText(QLatin1String(pasted));
            key(Qt::Key_Home, Qt::ShiftModifier);
            key(Qt::Key_Insert, Qt::ShiftModifier);
            key(Qt::Key_Home, Qt::ShiftModifier);
            key(Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(entry->text(), QStringLiteral("7"));
            QCOMPARE(ledgerRow(1, today), QStringLiteral("7,12345,10006,0"));
        }
        // a minus before the figure is no key of the entry either
        key(Qt::Key_Home);
        key(Qt::Key_Minus);
        QCOMPARE(entry->text(), QStringLiteral("7"));
        key(Qt::Key_End);

        key(Qt::Key_Backspace);
        QCOMPARE(ledgerRow(1, today), QStringLiteral("0,12345,9999,0"));
        QCOMPARE(ledgerRow(1, QStringLiteral("2026-12-01")), QStringLiteral("40,0,0,0"));
    }

    void stockView()
    {
        addItem(3, QStringLiteral("Salt"));
        addLedgerRow(1, QStringLiteral("2026-11-08"), 0, 4, 4, 1);
        addLedgerRow(1, QStringLiteral("2026-11-09"), 4, 5, 9, 1);
        addLedgerRow(2, QStringLiteral("2026-12-09"), 0, 7, 7, 0);
        Tfmview_stock* view = roster().fmview_stock;
        click(menu(), QStringLiteral("btnViewStock"));
        QVERIFY(view->isVisible());
        QCOMPARE(view->pos(), QPoint(230, 30));
        click(menu(), QStringLiteral("Image2"));
        QCOMPARE(env->help->topics.last(), QStringLiteral("::/View_Stock.htm"));

        // it opens on the received rows of every item from a month ago to today
        auto* from = w<QDateEdit>(view, QStringLiteral("DateTimePicker1"));
        auto* to = w<QDateEdit>(view, QStringLiteral("DateTimePicker2"));
        QCOMPARE(from->date(), QDate(2026, 11, 9));
        QCOMPARE(to->date(), QDate(2026, 12, 9));
        auto* item = w<QComboBox>(view, QStringLiteral("ComboBox1"));
        QStringList listed;
        for (int i = 0; i < item->count(); ++i)
            listed << item->itemText(i);
        QCOMPARE(listed, QStringList({ "All-Items", "RICE", "SALT", "SUGAR" }));
        QCOMPARE(item->currentText(), QStringLiteral("All-Items"));
        auto* received = w<QCheckBox>(view, QStringLiteral("CheckBox1"));
        QVERIFY(received->isChecked());
        auto* grid = w<QTableView>(view, QStringLiteral("DBGrid1"))->model();
        auto row = [grid](int r) {
            QStringList cells;
            for (int c = 0; c < grid->columnCount(); ++c)
                cells << grid->index(r, c).data().toString();
            return cells.join(QLatin1Char(' '));
        };
        QCOMPARE(grid->headerData(5, Qt::Horizontal).toString(), QStringLiteral("BILL"));
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(row(0), QStringLiteral("09-11-2026 SUGAR 4 5 9 True"));

        QTest::mouseClick(received, Qt::LeftButton, {}, QPoint(4, received->height() / 2));
        QCOMPARE(grid->rowCount(), 1);
        QCOMPARE(row(0), QStringLiteral("09-12-2026 RICE 0 7 7 False"));
        QTest::keyClick(item, Qt::Key_S);
        QCOMPARE(item->currentText(), QStringLiteral("SALT"));
        QCOMPARE(grid->rowCount(), 0);
        QTest::keyClick(item, Qt::Key_Home);
        QCOMPARE(grid->rowCount(), 1);

        // a range that ends before it starts is refused, the rows stay
        from->setFocus();
        from->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(from, QStringLiteral("10122026"));
        QCOMPARE(from->date(), QDate(2026, 12, 10));
        QTest::keyClick(from, Qt::Key_Return);
        QCOMPARE(messages(), QStringList { "Select Proper Date" });
        QCOMPARE(from->date(), QDate(2026, 12, 9));
        QCOMPARE(to->date(), QDate(2026, 12, 9));
        QCOMPARE(grid->rowCount(), 1);

        // the export of the day is written beside the program, replacing an earlier one
        const QString file = env->root() + QStringLiteral("/program/stock_STORE_2026-12-09.xls");
        click(view, QStringLiteral("BtnExcelView"));
        Workbook book;
        QVERIFY2(book.load(file), qPrintable(book.errorString()));
        QCOMPARE(book.firstWorksheet().lastRow(), 2);
        QCOMPARE(book.firstWorksheet().text(2, 2), QStringLiteral("RICE"));
        QCOMPARE(messages().size(), 1);
        // one that cannot be written says why; the screen stays
        QVERIFY(QFile::remove(file));
        QVERIFY(QDir().mkpath(file));
        click(view, QStringLiteral("BtnExcelView"));
        QCOMPARE(env->dialogs->messages.last().kind, 1);
        QVERIFY(env->dialogs->lastText().contains(file));
        QVERIFY(view->isVisible());
        QVERIFY(QDir(file).removeRecursively());
    }

    void commentScreen()
    {
        Tfmcomment* comments = roster().fmcomment;
        click(menu(), QStringLiteral("btnComments"));
        auto* field = w<QLineEdit>(comments, QStringLiteral("editComment"));
        const QString placeholder = QStringLiteral("---------------Comment here--------------------");
        QCOMPARE(field->text(), placeholder);
        click(comments, QStringLiteral("BtnAddUpdCom"));
        QCOMPARE(messages(), QStringList { "Please Enter the Comment" });

        QTest::mouseClick(field, Qt::LeftButton);
        QCOMPARE(field->text(), QString());
        QVERIFY(field->font().bold());
        QTest::keyClicks(field, QStringLiteral("it's dry"));
        QCOMPARE(field->text(), QStringLiteral("its dry"));
        click(comments, QStringLiteral("BtnAddUpdCom"));
        QCOMPARE(w<QPlainTextEdit>(comments, QStringLiteral("Memo1"))->toPlainText(), QStringLiteral("its dry"));
        QCOMPARE(field->text(), placeholder);

        auto* picker = w<QDateEdit>(comments, QStringLiteral("DateTimePicker1"));
        picker->setDate(QDate(2026, 12, 8));
        comments->DateTimePicker1CloseUp();
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("Select the Proper Date"));
        QCOMPARE(picker->date(), QDate(2026, 12, 9));
        picker->setDate(QDate(2026, 12, 16));
        comments->DateTimePicker1CloseUp();
        QCOMPARE(w<QPlainTextEdit>(comments, QStringLiteral("Memo1"))->toPlainText(), QString());
        click(comments, QStringLiteral("BtnDelete"));
        QCOMPARE(env->dialogs->lastText(), QStringLiteral("No Comment is made on this Date."));
        QCOMPARE(messages().size(), 3);
    }

    void exitAsksFirst()
    {
        click(menu(), QStringLiteral("BitBtn2"));
        QCOMPARE(env->dialogs->questions, QStringList { "Are you sure you want to close?" });
        QVERIFY(menu()->isVisible());

        roster().fmlogin->show();
        env->dialogs->answers = { Dialogs::Answer::Ok };
        click(menu(), QStringLiteral("BitBtn2"));
        QVERIFY(!menu()->isVisible());
        QVERIFY(!roster().fmlogin->isVisible());
        QVERIFY(logText().contains(QLatin1String("************TERMINATING POS*************")));
    }
};

int main(int argc, char** argv)
{
    PosApplication app(argc, argv);
    TestBackOffice test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_backoffice.moc"
