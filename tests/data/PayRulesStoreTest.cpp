#include "TestDatabase.h"
#include "common/TestSupport.h"
#include "data/SettingsStore.h"
#include "hours/HoursTotals.h"
#include "hours/PayRules.h"

#include <QTest>

namespace {
void saveLongRecordHours(const QString& hours) {
    SettingsStore::SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                               QStringLiteral("LongRecordHours"), hours);
}
} // namespace

// The workplace's pay rules, on each engine.
class PayRulesStoreTest : public EngineTestCase {
    Q_OBJECT

private slots:
    void cleanupTestCase() { saveLongRecordHours(QStringLiteral("16")); }

    // A database of the version before the rules: the user's LongRecordHours is its starting value,
    // taken once; a second user's own setting changes nothing from then on.
    void longRecordHoursMovesToTheWorkplace() {
        m_db->close();
        m_data->makeVersion(5);
        saveLongRecordHours(QStringLiteral("12"));
        AttendanceDatabase db;
        m_data->open(db);
        QCOMPARE(Hours::longRecordHours(db), 12);
        saveLongRecordHours(QStringLiteral("20"));
        QCOMPARE(Hours::longRecordHours(db), 12);
        QCOMPARE(m_data->count("tblAudit"), 1);
        // A broken setting of another user no longer matters either.
        saveLongRecordHours(QStringLiteral("twelve"));
        QCOMPARE(Hours::longRecordHours(db), 12);
    }

    // What an administrator stores is what every reader gets back.
    void rulesRoundTrip() {
        saveLongRecordHours(QStringLiteral("16"));
        Hours::Rules rules;
        rules.roundingMinutes = 15;
        rules.breaks = {{6 * 60, 30}, {9 * 60, 45}};
        rules.dailyLimitMinutes = 8 * 60;
        rules.weeklyLimitMinutes = 40 * 60;
        rules.firstDayOfWeek = Qt::Sunday;
        rules.longRecordMinutes = 10 * 60;
        m_db->changePayRules(Hours::PayRules::stored(rules));
        const Hours::Rules read = Hours::workplaceRules(*m_db);
        QCOMPARE(Hours::PayRules::stored(read), Hours::PayRules::stored(rules));
        // Rules taken away again: their rows go.
        rules.dailyLimitMinutes.reset();
        rules.breaks.clear();
        m_db->changePayRules(Hours::PayRules::stored(rules));
        QCOMPARE(Hours::PayRules::stored(Hours::workplaceRules(*m_db)), Hours::PayRules::stored(rules));
        QCOMPARE(m_data->count("tblPayRules"), 4);
    }
};

TALLYCLOCK_TEST(PayRulesStoreTest)
#include "PayRulesStoreTest.moc"
