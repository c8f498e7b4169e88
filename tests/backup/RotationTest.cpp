#include "backup/BackupNames.h"
#include "common/TestSupport.h"

#include <QTest>

class RotationTest : public QObject {
    Q_OBJECT

    // `count` daily names ending on `last`, one a day.
    static QStringList dailies(const QDate& last, int count) {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names.append(BackupNames::daily(last.addDays(-i)));
        return names;
    }

private slots:
    void expired_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("expected");

        const QDate today(2026, 12, 9);
        QTest::newRow("fourteen kept") << dailies(today, 14) << today << QStringList();
        QTest::newRow("the fifteenth oldest goes")
            << dailies(today, 15) << today << QStringList{BackupNames::daily(today.addDays(-14))};
        // Weeks without a start: the last fourteen copies, not the last fourteen days.
        QTest::newRow("gaps") << QStringList{QStringLiteral("dbData-2026-01-02.mdb"),
                                             QStringLiteral("dbData-2026-06-30.mdb")}
                              << today << QStringList();
        QStringList months;
        for (int m = 0; m < 13; ++m)
            months.append(BackupNames::monthly(today.addMonths(-m)));
        QTest::newRow("thirteen months")
            << months << today << QStringList{QStringLiteral("dbData-2025-12.mdb")};
        // A copy written while the clock was set ahead is neither counted nor removed.
        QStringList future = dailies(today, 14);
        future.append(QStringLiteral("dbData-2031-01-01.mdb"));
        future.append(QStringLiteral("dbData-2031-01.mdb"));
        QTest::newRow("future") << future << today << QStringList();
        QStringList foreign = dailies(today, 14);
        foreign << QStringLiteral("dbData-2020-01-01-120000.mdb")
                << QStringLiteral("dbData-before-restore-2020-01-01-120000.mdb")
                << QStringLiteral("backup.log") << QStringLiteral("dbData-2020-02-30.mdb")
                << QStringLiteral("dbData-2020-01-01.mdb.partial-12-0")
                << QStringLiteral("notes-2020-01.mdb");
        QTest::newRow("not ours") << foreign << today << QStringList();
    }

    void expired() {
        QFETCH(QStringList, names);
        QFETCH(QDate, today);
        QFETCH(QStringList, expected);
        QCOMPARE(BackupNames::expired(names, today), expected);
    }

    void newest_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << QStringList{QStringLiteral("backup.log")} << QString();
        QTest::newRow("daily over its month")
            << QStringList{QStringLiteral("dbData-2026-12.mdb"), QStringLiteral("dbData-2026-12-01.mdb"),
                           QStringLiteral("dbData-2026-11-30.mdb")}
            << QStringLiteral("dbData-2026-12-01.mdb");
        QTest::newRow("only monthly left")
            << QStringList{QStringLiteral("dbData-2026-10.mdb"), QStringLiteral("dbData-2026-11.mdb"),
                           QStringLiteral("dbData-2026-10-30.mdb")}
            << QStringLiteral("dbData-2026-11.mdb");
        QTest::newRow("made by hand, later that day")
            << QStringList{QStringLiteral("dbData-2026-12-09.mdb"),
                           QStringLiteral("dbData-2026-12-09-161125.mdb"),
                           QStringLiteral("dbData-before-restore-2026-12-09-170000.mdb")}
            << QStringLiteral("dbData-2026-12-09-161125.mdb");
        QTest::newRow("future ignored")
            << QStringList{QStringLiteral("dbData-2030-01-01.mdb"), QStringLiteral("dbData-2026-12-08.mdb")}
            << QStringLiteral("dbData-2026-12-08.mdb");
    }

    void newest() {
        QFETCH(QStringList, names);
        QFETCH(QString, expected);
        QCOMPARE(BackupNames::newest(names, QDate(2026, 12, 9)), expected);
    }
};

TALLYCLOCK_TEST(RotationTest)
#include "RotationTest.moc"
