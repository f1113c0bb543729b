// Passwords kept as salted hashes, and those an earlier version kept as typed.
#include "platform/passwordhash.h"

#include <QtTest>

class TestPasswordHash : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void matching_data()
    {
        QTest::addColumn<bool>("hashed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("matches");
        for (const bool hashed : { false, true }) {
            const auto row = [hashed](const char* name, const QString& stored, const QString& typed, bool matches) {
                QTest::newRow(qPrintable(
                    QString::fromLatin1(name) + (hashed ? QLatin1String(", hash") : QLatin1String(", as typed"))))
                    << hashed << stored << typed << matches;
            };
            row("same", QStringLiteral("Secret1"), QStringLiteral("Secret1"), true);
            row("other case", QStringLiteral("Secret1"), QStringLiteral("secret1"), false);
            row("a part", QStringLiteral("Secret1"), QStringLiteral("Secret"), false);
            row("more", QStringLiteral("Secret1"), QStringLiteral("Secret12"), false);
            row("beyond Latin-1", QStringLiteral("Gr\u00fc\u00dfe\u20ac1"), QStringLiteral("Gr\u00fc\u00dfe\u20ac1"),
                true);
            row("nothing typed", QStringLiteral("Secret1"), QString(), false);
        }
        // an empty row (a user without a password) lets nobody in
        QTest::newRow("empty stored") << false << QString() << QString() << false;
    }

    void matching()
    {
        QFETCH(bool, hashed);
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, matches);
        const QString kept = hashed ? HashPassword(stored) : stored;
        QCOMPARE(IsPasswordHash(kept), hashed);
        QCOMPARE(PasswordMatches(kept, typed), matches);
    }

    void everyHashHasItsOwnSalt()
    {
        const QString first = HashPassword(QStringLiteral("Secret1"));
        const QString second = HashPassword(QStringLiteral("Secret1"));
        QVERIFY(first.startsWith(QLatin1String("$argon2id$")));
        QVERIFY(first != second);
        QVERIFY(!first.contains(QLatin1String("Secret1")));
        QVERIFY(first.size() <= 128); // the width of the columns that keep it
        QVERIFY(PasswordMatches(second, QStringLiteral("Secret1")));
    }
};

QTEST_GUILESS_MAIN(TestPasswordHash)
#include "tst_passwordhash.moc"
