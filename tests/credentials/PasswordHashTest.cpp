#include "credentials/PasswordHash.h"
#include "common/TestSupport.h"

#include <QTest>
#include <sodium.h>

using namespace Qt::Literals::StringLiterals;

class PasswordHashTest : public QObject {
    Q_OBJECT
private slots:
    void verifies_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("matches");
        QTest::newRow("as typed") << u"Secret"_s << u"Secret"_s << true;
        QTest::newRow("other letter case") << u"Secret"_s << u"sECRET"_s << true;
        QTest::newRow("other case beyond ASCII")
            << u"Ærøskøbing Σίσυφος"_s << u"æRØSKØBING ΣΊΣΥΦΟΣ"_s << true;
        QTest::newRow("quotes and blanks") << u" x' OR '1'='1 "_s << u" X' or '1'='1 "_s << true;
        QTest::newRow("wrong") << u"Secret"_s << u"Secreta"_s << false;
        QTest::newRow("blank around") << u"Secret"_s << u" Secret"_s << false;
        QTest::newRow("empty typed") << u"Secret"_s << QString() << false;
        QTest::newRow("empty stored, empty typed") << QString() << QString() << true;
        QTest::newRow("empty stored, typed") << QString() << u"x"_s << false;
    }
    void verifies() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, matches);
        const QString hash = PasswordHash::hash(stored);
        QVERIFY(PasswordHash::isHash(hash));
        QVERIFY(stored.isEmpty() || !hash.contains(stored, Qt::CaseInsensitive));
        QCOMPARE(PasswordHash::verify(hash, typed), matches);
    }

    // What is not one of our hashes matches nothing, not even itself.
    void plainTextNeverMatches_data() {
        QTest::addColumn<QString>("stored");
        QTest::newRow("plain text") << u"Secret"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("broken hash") << u"$argon2id$v=19$m=19456,t=2,p=1$Secret"_s;
    }
    void plainTextNeverMatches() {
        QFETCH(QString, stored);
        QVERIFY(!PasswordHash::verify(stored, stored));
        QVERIFY(!PasswordHash::verify(stored, u"Secret"_s));
    }

    void saltedAndCostly() {
        const QString first = PasswordHash::hash(u"pw"_s);
        QVERIFY(first != PasswordHash::hash(u"pw"_s));
        // Our hashes and the stand-in for unknown numbers carry exactly the chosen costs, so both
        // verifications take the same time.
        for (const QString& hash : {first, PasswordHash::nobodyHash()})
            QCOMPARE(crypto_pwhash_str_needs_rehash(hash.toLatin1().constData(), PasswordHash::kPasses,
                                                    PasswordHash::kMemoryBytes),
                     0);
    }

    void hashAllKeepsTheOrder() {
        const QStringList passwords{u"one"_s, u"two"_s, u"three"_s, QString()};
        const QStringList hashes = PasswordHash::hashAll(passwords);
        QCOMPARE(hashes.size(), passwords.size());
        for (qsizetype i = 0; i < passwords.size(); ++i) {
            QVERIFY(PasswordHash::verify(hashes.at(i), passwords.at(i)));
            QVERIFY(!PasswordHash::verify(hashes.at(i), passwords.at((i + 1) % passwords.size())));
        }
        QVERIFY(PasswordHash::hashAll({}).isEmpty());
    }
};

TALLYCLOCK_TEST(PasswordHashTest)
#include "PasswordHashTest.moc"
