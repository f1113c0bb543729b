#include "config/U_SettingEdit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

class TestSettingEdit : public QObject {
    Q_OBJECT

private:
    static QColor textColour(const QLineEdit& edit) { return edit.palette().color(QPalette::Text); }
    static QColor normalColour(const QLineEdit& edit) { return QApplication::palette(&edit).color(QPalette::Text); }

private Q_SLOTS:
    void labelsBesideTheEdit()
    {
        QWidget form;
        QLineEdit edit(&form);
        edit.setGeometry(200, 40, 80, 24);
        TIntSetting s(
            QStringLiteral("MaxLines"), 1024, QStringLiteral("lines"), QStringLiteral("No of lines onscreen"));
        TSettingEdit bound(s, &edit);

        QCOMPARE(edit.text(), QStringLiteral("1024"));
        QLabel* caption = bound.captionLabel();
        QLabel* unit = bound.unitLabel();
        QVERIFY(caption && unit);
        QCOMPARE(caption->text(), QStringLiteral("No of lines onscreen"));
        QCOMPARE(caption->geometry().right() + 1, 200 - 3);
        QCOMPARE(caption->y(), 43);
        QCOMPARE(unit->text(), QStringLiteral("lines"));
        QCOMPARE(unit->x(), 280 + 2);
        QCOMPARE(unit->y(), 43);
        QCOMPARE(caption->font(), edit.font());

        QPointer<QLabel> watch = caption;
        bound.unbind();
        QVERIFY(watch.isNull());
        QVERIFY(bound.unitLabel() == nullptr);
    }

    void typingColoursTheText_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("colour"); // red, blue or normal

        QTest::newRow("invalid") << true << "12a"
                                 << "red";
        QTest::newRow("too large") << true << "9000"
                                   << "red";
        QTest::newRow("modified") << true << "300"
                                  << "blue";
        QTest::newRow("back to accepted") << true << "1024"
                                          << "normal";
        QTest::newRow("not editing") << false << "300"
                                     << "normal";
    }

    void typingColoursTheText()
    {
        QFETCH(bool, editing);
        QFETCH(QString, typed);
        QFETCH(QString, colour);

        QWidget form;
        QLineEdit edit(&form);
        TIntSetting s(QStringLiteral("MaxLines"), 1024, QString(), QString());
        s.setRange(256, 8192);
        TSettingEdit bound(s, &edit);
        if (editing)
            s.beginEdit();

        edit.clear();
        QTest::keyClicks(&edit, typed);
        QCOMPARE(s.valueText(), typed);

        const QColor expected = colour == QLatin1String("red") ? QColor(Qt::red)
            : colour == QLatin1String("blue")                  ? QColor(Qt::blue)
                                                               : normalColour(edit);
        QCOMPARE(textColour(edit), expected);

        s.revert();
        QCOMPARE(edit.text(), editing ? QStringLiteral("1024") : typed);
        QCOMPARE(textColour(edit), normalColour(edit));
    }

    void colourFollowsAcceptAndProgramChanges()
    {
        QLineEdit edit;
        TIntSetting s(QStringLiteral("n"), 5, QString(), QString());
        TSettingEdit bound(s, &edit);
        s.beginEdit();
        edit.setText(QStringLiteral("7"));
        QCOMPARE(textColour(edit), QColor(Qt::blue));
        s.accept();
        QCOMPARE(s.acceptedValue(), 7);
        QCOMPARE(textColour(edit), normalColour(edit));

        // A value set by the program is coloured too.
        s.setValueText(QStringLiteral("x"));
        QCOMPARE(edit.text(), QStringLiteral("x"));
        QCOMPARE(textColour(edit), QColor(Qt::red));
    }

    void earlierHandlerStillRunsButNotForProgramChanges()
    {
        QLineEdit edit;
        QStringList seen;
        connect(&edit, &QLineEdit::textChanged, this, [&seen](const QString& t) { seen << t; });
        TStringSetting s(QStringLiteral("LogPath"), QStringLiteral("a"), QString(), QString());
        TSettingEdit bound(s, &edit);
        QVERIFY(seen.isEmpty());

        edit.setText(QStringLiteral("b"));
        QCOMPARE(s.valueText(), QStringLiteral("b"));
        QCOMPARE(seen, QStringList { QStringLiteral("b") });

        s.setValueText(QStringLiteral("c"));
        QCOMPARE(edit.text(), QStringLiteral("c"));
        QCOMPARE(seen, QStringList { QStringLiteral("b") });
    }

    void settingGoesFirst()
    {
        QWidget form;
        QLineEdit edit(&form);
        auto s = std::make_unique<TStringSetting>(QStringLiteral("LogPath"), QStringLiteral("a"), QString(), QString());
        TSettingEdit bound(*s, &edit);
        QPointer<QLabel> caption = bound.captionLabel();
        s.reset();
        QVERIFY(caption.isNull());
        QCOMPARE(bound.setting(), nullptr);
        edit.setText(QStringLiteral("typed after")); // must not reach the destroyed setting
    }
};

QTEST_MAIN(TestSettingEdit)
#include "tst_settingedit.moc"
