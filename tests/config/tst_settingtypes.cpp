#include "config/U_SettingTypes.h"
#include "log/U_LogBook.h"
#include "platform/registry.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kKey = QStringLiteral("Software\\pos\\test_settings");

} // namespace

class TestSettingTypes : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void validation_data()
    {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("value"); // the integer afterwards, starting from 62

        QTest::newRow("letters") << 0 << 1096 << "12a"
                                 << "Invalid format" << 62;
        QTest::newRow("empty") << 0 << 1096 << ""
                               << "Invalid format" << 62;
        QTest::newRow("decimal") << 0 << 1096 << "12.5"
                                 << "Invalid format" << 62;
        QTest::newRow("beyond 32 bits") << 0 << 1096 << "2147483648"
                                        << "Invalid format" << 62;
        QTest::newRow("above maximum") << 0 << 1096 << "2000"
                                       << "Max value = 1096" << 62;
        QTest::newRow("just above") << 0 << 1096 << "1097"
                                    << "Max value = 1096" << 62;
        QTest::newRow("below minimum") << 256 << 8192 << "255"
                                       << "Min value = 256" << 62;
        QTest::newRow("negative minimum") << -5 << 5 << "-6"
                                          << "Min value = -5" << 62;
        QTest::newRow("negative below zero") << 0 << 1096 << "-1"
                                             << "Min value = 0" << 62;
        QTest::newRow("at maximum") << 0 << 1096 << "1096"
                                    << "" << 1096;
        QTest::newRow("at minimum") << 0 << 1096 << "0"
                                    << "" << 0;
        QTest::newRow("plus sign") << 0 << 1096 << "+7"
                                   << "" << 7;
        QTest::newRow("full range, lowest") << int(INT_MIN) << int(INT_MAX) << "-2147483648"
                                            << "" << int(INT_MIN);
    }

    void validation()
    {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(QString, text);
        QFETCH(QString, error);
        QFETCH(int, value);

        TIntSetting s(QStringLiteral("DaysToKeep"), 62, QString(), QString());
        s.setRange(minimum, maximum);
        s.setValueText(text);
        QCOMPARE(s.validate(), error.isEmpty());
        QCOMPARE(s.errorText(), error);
        QCOMPARE(s.isValid(), error.isEmpty());
        QCOMPARE(s.valueText(), text);
        QCOMPARE(s.value(), value);
    }

    void integerSetterMirrorsText()
    {
        TIntSetting s(QStringLiteral("MaxLines"), 1024, QString(), QString());
        s.setRange(256, 8192);
        s.setValue(300);
        QCOMPARE(s.valueText(), QStringLiteral("300"));
        QCOMPARE(s.acceptedValue(), 300);
        QVERIFY(s.isValid());
        s.setValue(9000);
        QCOMPARE(s.errorText(), QStringLiteral("Max value = 8192"));
    }

    void clamp_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("clamped");

        QTest::newRow("inside") << "500"
                                << "500";
        QTest::newRow("below") << "10"
                               << "256";
        QTest::newRow("above") << "10000"
                               << "8192";
        QTest::newRow("far above 32 bits") << "99999999999"
                                           << "8192";
        QTest::newRow("not a number is left alone") << "12a"
                                                    << "12a";
    }

    void clamp()
    {
        QFETCH(QString, text);
        QFETCH(QString, clamped);

        TIntSetting s(QStringLiteral("MaxLines"), 1024, QString(), QString());
        s.setRange(256, 8192);
        s.setValueText(text);
        s.clamp();
        QCOMPARE(s.valueText(), clamped);
        if (clamped != QLatin1String("12a")) {
            QCOMPARE(s.value(), clamped.toInt());
            QVERIFY(s.isValid());
        }
    }

    void steps_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("up");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<int>("result");

        QTest::newRow("up 1") << 500 << true << false << false << 501;
        QTest::newRow("up 10 shift") << 500 << true << true << false << 510;
        QTest::newRow("up 10 ctrl") << 500 << true << false << true << 510;
        QTest::newRow("up 100") << 500 << true << true << true << 600;
        QTest::newRow("down 1") << 500 << false << false << false << 499;
        QTest::newRow("down 10") << 500 << false << true << false << 490;
        QTest::newRow("down 100") << 500 << false << true << true << 400;
        QTest::newRow("up stops at maximum") << 995 << true << true << true << 1000;
        QTest::newRow("down stops at minimum") << 5 << false << false << true << 0;
    }

    void steps()
    {
        QFETCH(int, start);
        QFETCH(bool, up);
        QFETCH(bool, shift);
        QFETCH(bool, ctrl);
        QFETCH(int, result);

        TIntSetting s(QStringLiteral("n"), start, QString(), QString());
        s.setRange(0, 1000);
        if (up)
            s.stepUp(shift, ctrl);
        else
            s.stepDown(shift, ctrl);
        QCOMPARE(s.value(), result);
        QCOMPARE(s.valueText(), QString::number(result));
    }

    void stepsDoNotWrapAtTheEndsOf32Bits()
    {
        TIntSetting s(QStringLiteral("n"), INT_MAX - 5, QString(), QString());
        s.stepUp(true, true);
        QCOMPARE(s.value(), INT_MAX);
        s.setValue(INT_MIN + 5);
        s.stepDown(true, true);
        QCOMPARE(s.value(), INT_MIN);
    }

    void stepFromAnOutOfRangeText()
    {
        TIntSetting s(QStringLiteral("n"), 500, QString(), QString());
        s.setRange(0, 1000);
        s.setValueText(QStringLiteral("2000"));
        s.stepDown(false, false);
        QCOMPARE(s.value(), 1000);
    }

    void outsideEditingEveryValueIsAccepted()
    {
        TIntSetting s(QStringLiteral("n"), 1, QString(), QString());
        QVERIFY(!s.storedDiffers());
        s.setValueText(QStringLiteral("2"));
        QCOMPARE(s.acceptedText(), QStringLiteral("2"));
        QCOMPARE(s.acceptedValue(), 2);
        QVERIFY(!s.isModified());
        QVERIFY(s.storedDiffers());
    }

    void editingAcceptRevert()
    {
        TIntSetting s(QStringLiteral("n"), 10, QString(), QString());
        int changes = 0;
        s.onChange = [&changes](TSetting&) { ++changes; };

        s.beginEdit();
        QVERIFY(s.isEditing());
        s.setValueText(QStringLiteral("20"));
        QVERIFY(s.isModified());
        QCOMPARE(s.acceptedText(), QStringLiteral("10"));
        QCOMPARE(s.acceptedValue(), 10);
        QCOMPARE(s.value(), 20);
        s.setValueText(QStringLiteral("10"));
        QVERIFY(!s.isModified());
        s.setValueText(QStringLiteral("30"));
        QCOMPARE(changes, 3);

        s.revert();
        QCOMPARE(s.valueText(), QStringLiteral("10"));
        QCOMPARE(s.value(), 10);
        QVERIFY(!s.isModified());
        QVERIFY(!s.isEditing());
        QCOMPARE(changes, 4);

        s.beginEdit();
        s.setValue(40);
        QCOMPARE(s.acceptedValue(), 10);
        s.accept();
        QCOMPARE(s.acceptedText(), QStringLiteral("40"));
        QCOMPARE(s.acceptedValue(), 40);
        QVERIFY(!s.isModified());
        QVERIFY(!s.isEditing());
        QCOMPARE(changes, 6);

        // Nothing modified: accept and revert report no change.
        s.beginEdit();
        s.accept();
        s.beginEdit();
        s.revert();
        QCOMPARE(changes, 6);
    }

    void revertRestoresValidity()
    {
        TIntSetting s(QStringLiteral("n"), 10, QString(), QString());
        s.setRange(0, 100);
        s.beginEdit();
        s.setValueText(QStringLiteral("12a"));
        QVERIFY(!s.isValid());
        s.revert();
        QVERIFY(s.isValid());
        QCOMPARE(s.valueText(), QStringLiteral("10"));
    }

    void everyChangeIsReportedOnce_data()
    {
        QTest::addColumn<int>("operation");
        QTest::newRow("text") << 0;
        QTest::newRow("integer") << 1;
        QTest::newRow("step") << 2;
        QTest::newRow("clamp") << 3;
    }

    void everyChangeIsReportedOnce()
    {
        QFETCH(int, operation);

        TIntSetting s(QStringLiteral("n"), 50, QString(), QString());
        s.setRange(0, 100);
        TSettingList owner;
        owner.add(&s);
        QList<TSetting*> ownerSaw;
        owner.onChange = [&ownerSaw](TSetting& changed) { ownerSaw.append(&changed); };
        int changes = 0;
        s.onChange = [&changes](TSetting&) { ++changes; };

        if (operation == 0)
            s.setValueText(QStringLiteral("60"));
        else if (operation == 1)
            s.setValue(60);
        else if (operation == 2)
            s.stepUp(true, false);
        else {
            s.setValueText(QStringLiteral("160"));
            changes = 0;
            ownerSaw.clear();
            s.clamp();
        }
        QCOMPARE(changes, 1);
        QCOMPARE(ownerSaw, QList<TSetting*> { &s });
    }

    void ownerListForgetsDestroyedSettings()
    {
        TSettingList owner;
        {
            TStringSetting s(QStringLiteral("a"), QString(), QString(), QString());
            owner.add(&s);
            QCOMPARE(s.ownerList(), &owner);
            QCOMPARE(owner.settings().size(), 1);
        }
        QVERIFY(owner.settings().isEmpty());
    }

    void registrySaveOnlyWhenStoredDiffers()
    {
        QTemporaryDir dir;
        TRegistry reg(dir.filePath(QStringLiteral("registry.ini")));
        TIntSetting s(QStringLiteral("DaysToKeep"), 62, QString(), QString());

        s.save(reg, kKey);
        QVERIFY(!reg.valueExists(kKey, QStringLiteral("DaysToKeep")));

        s.setValue(62); // same value: nothing to store
        s.save(reg, kKey);
        QVERIFY(!reg.valueExists(kKey, QStringLiteral("DaysToKeep")));

        s.setValue(90);
        s.save(reg, kKey);
        QCOMPARE(reg.readString(kKey, QStringLiteral("DaysToKeep")), QStringLiteral("90"));
    }

    void registryLoad()
    {
        QTemporaryDir dir;
        TRegistry reg(dir.filePath(QStringLiteral("registry.ini")));
        reg.writeString(kKey, QStringLiteral("MaxLines"), QStringLiteral("300"));

        TIntSetting s(QStringLiteral("MaxLines"), 1024, QString(), QString());
        s.setValue(2000); // a change not yet stored
        QVERIFY(s.storedDiffers());
        int loads = 0;
        s.onLoad = [&loads](TSetting&) { ++loads; };

        s.load(reg, kKey);
        QCOMPARE(s.value(), 300);
        QCOMPARE(s.acceptedValue(), 300);
        QVERIFY(!s.storedDiffers());
        QCOMPARE(loads, 1);

        // Saving what was loaded writes nothing.
        reg.writeString(kKey, QStringLiteral("MaxLines"), QStringLiteral("400"));
        s.save(reg, kKey);
        QCOMPARE(reg.readString(kKey, QStringLiteral("MaxLines")), QStringLiteral("400"));
    }

    void registryLoadSkips_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("missing value") << QString() << false;
        QTest::newRow("read-only setting") << QStringLiteral("300") << true;
    }

    void registryLoadSkips()
    {
        QFETCH(QString, stored);
        QFETCH(bool, readOnly);

        QTemporaryDir dir;
        TRegistry reg(dir.filePath(QStringLiteral("registry.ini")));
        if (!stored.isNull())
            reg.writeString(kKey, QStringLiteral("MaxLines"), stored);

        TIntSetting s(QStringLiteral("MaxLines"), 1024, QString(), QString());
        s.setReadOnly(readOnly);
        s.setValue(500);
        int loads = 0;
        s.onLoad = [&loads](TSetting&) { ++loads; };
        s.load(reg, kKey);
        QCOMPARE(s.value(), 500);
        QVERIFY(s.storedDiffers());
        QCOMPARE(loads, 0);
    }

    void logBookSettings_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");

        QTest::newRow("LogPath") << 0 << "LogPath"
                                 << "Log folder name"
                                 << ".\\LogFiles" << 0 << 0;
        QTest::newRow("DaysToKeep") << 1 << "DaysToKeep"
                                    << "No. of days to keep"
                                    << "62" << 0 << 1096;
        QTest::newRow("MaxLines") << 2 << "MaxLines"
                                  << "No of lines onscreen"
                                  << "1024" << 256 << 8192;
        QTest::newRow("ShowLevel") << 3 << "ShowLevel"
                                   << "level of Visibility"
                                   << "1" << 0 << INT_MAX;
    }

    void logBookSettings()
    {
        QFETCH(int, which);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, value);
        QFETCH(int, minimum);
        QFETCH(int, maximum);

        TLogBook book;
        TIntSetting* ints[] = { nullptr, &book.daysToKeep(), &book.maxLines(), &book.showLevel() };
        TStringSetting& s = which == 0 ? book.logPath() : *ints[which];
        QCOMPARE(s.name(), name);
        QCOMPARE(s.caption(), caption);
        QCOMPARE(s.valueText(), value);
        QVERIFY(!s.storedDiffers());
        QVERIFY(s.isValid());
        if (which > 0) {
            QCOMPARE(ints[which]->minimum(), minimum);
            QCOMPARE(ints[which]->maximum(), maximum);
            QCOMPARE(ints[which]->value(), value.toInt());
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingTypes)
#include "tst_settingtypes.moc"
