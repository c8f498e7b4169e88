#include "platform/DateTexts.h"
#include "common/TestSupport.h"

#include <QRegularExpression>
#include <QTest>

using DateTexts::HourCycle;

class DateTextsTest : public QObject {
    Q_OBJECT

private slots:
    void clockTimeReadsBackEveryMinute_data() {
        QTest::addColumn<QLocale>("locale");
        for (const char* name :
             {"en_US", "de_DE", "fi_FI", "es_ES", "ko_KR", "sv_SE", "ar_EG", "fa_IR", "tr_TR"})
            QTest::newRow(name) << QLocale(QString::fromLatin1(name));
    }

    void clockTimeReadsBackEveryMinute() {
        QFETCH(QLocale, locale);
        for (int minute = 0; minute < 24 * 60; ++minute) {
            const QTime time(minute / 60, minute % 60);
            for (HourCycle cycle : {HourCycle::TwelveHour, HourCycle::TwentyFourHour}) {
                const QString text = DateTexts::clockTime(time, cycle, locale);
                for (const QString& variant : {text, text.toLower(), text.toUpper()}) {
                    const std::optional<QTime> read = DateTexts::parseClockTime(variant, locale);
                    QVERIFY2(read && *read == time, qPrintable(variant));
                }
            }
        }
    }

    void clockTimeShapes() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(DateTexts::clockTime(QTime(0, 30), HourCycle::TwelveHour, us), QStringLiteral("12:30 AM"));
        QCOMPARE(DateTexts::clockTime(QTime(12, 0), HourCycle::TwelveHour, us), QStringLiteral("12:00 PM"));
        QCOMPARE(DateTexts::clockTime(QTime(14, 5, 59), HourCycle::TwentyFourHour, us),
                 QStringLiteral("14:05"));
        QCOMPARE(DateTexts::clockTime(QTime(9, 5), HourCycle::TwentyFourHour, us), QStringLiteral("09:05"));
        // Spanish designators hold a no-break space and full stops.
        QCOMPARE(DateTexts::clockTime(QTime(21, 5), HourCycle::TwelveHour, QLocale(QStringLiteral("es_ES"))),
                 QStringLiteral("09:05 p.\u00A0m."));
        QCOMPARE(DateTexts::clockDate(QDate(2026, 12, 9), DateTexts::DateOrder::DayFirst, us),
                 QStringLiteral("09/12/2026"));
        QCOMPARE(DateTexts::clockDate(QDate(987, 1, 2), DateTexts::DateOrder::MonthFirst, us),
                 QStringLiteral("01/02/0987"));
        // Marks inside the words of a time format are no separators.
        for (const char* name : {"brx_IN", "dz_BT", "fr_CA"})
            QCOMPARE(DateTexts::clockTime(QTime(9, 5), HourCycle::TwentyFourHour,
                                          QLocale(QString::fromLatin1(name))),
                     QStringLiteral("09:05"));
        // Swedish writes its short date with dashes.
        QCOMPARE(DateTexts::clockDate(QDate(2026, 12, 9), DateTexts::DateOrder::MonthFirst,
                                      QLocale(QStringLiteral("sv_SE"))),
                 QStringLiteral("12-09-2026"));
    }

    void otherTimeTextsRead() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const auto read = [&](const char* text) {
            return DateTexts::parseClockTime(QString::fromUtf8(text), us);
        };
        QCOMPARE(read("9:05 pm"), QTime(21, 5));
        QCOMPARE(read(" 09:05AM "), QTime(9, 5));
        QCOMPARE(read("9:05 p"), QTime(21, 5));
        QCOMPARE(read("21:05:30"), QTime(21, 5, 30));
        QCOMPARE(read("00:00"), QTime(0, 0));
        // English designators are understood under any locale.
        QCOMPARE(DateTexts::parseClockTime(QStringLiteral("02:05 PM"), QLocale(QStringLiteral("fi_FI"))),
                 QTime(14, 5));
        for (const char* wrong : {"", "soon", "13:05 PM", "00:30 AM", "24:00", "12:60", "09:05 XM", "0905",
                                  "09:05 AM PM", "-1:05", "AM 09:05 PM", "9h05", "09 05", "09:05:", "09::05",
                                  // found by the fuzzer: dates and stray marks were read as times
                                  "9/22", "1-6", "0#0",
                                  "2\xEF\xBF\xBD"
                                  "1",
                                  "21:0,30", "21:05.30"})
            QVERIFY2(!read(wrong), wrong);
    }

    // A time stored under one locale reads under any other: the clock's texts of every locale,
    // with the designator after or before the time, and the locale's own short form where it is
    // hours and minutes (native digits included).
    void storedTimesReadUnderAnotherLocale_data() {
        QTest::addColumn<QLocale>("reader");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("ko_KR") << QLocale(QLocale::Korean, QLocale::SouthKorea);
        QTest::newRow("C") << QLocale::c();
    }
    void storedTimesReadUnderAnotherLocale() {
        QFETCH(QLocale, reader);
        static const QRegularExpression hoursAndMinutes(
            QStringLiteral("^(AP ?)?[hH]{1,2}[:.]m{1,2}( ?AP)?$"));
        int ownForms = 0;
        for (const QLocale& writer :
             QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            for (const QTime time : {QTime(0, 30), QTime(9, 5), QTime(12, 0), QTime(21, 59)}) {
                const QString designator = time.hour() < 12 ? writer.amText() : writer.pmText();
                const QString hhmm =
                    DateTexts::clockTime(time, HourCycle::TwelveHour, writer).chopped(designator.size() + 1);
                QStringList texts{DateTexts::clockTime(time, HourCycle::TwelveHour, writer),
                                  DateTexts::clockTime(time, HourCycle::TwentyFourHour, writer),
                                  designator + QLatin1Char(' ') + hhmm, designator + hhmm};
                if (hoursAndMinutes.match(writer.timeFormat(QLocale::ShortFormat)).hasMatch()) {
                    texts << writer.toString(time, QLocale::ShortFormat);
                    ++ownForms;
                }
                // Finnish afternoon is Inari Sami morning: only those readers can tell.
                const bool ambiguous = designator == QStringLiteral("ip.");
                for (const QString& text : texts) {
                    const bool has = text.contains(designator);
                    const std::optional<QTime> read = DateTexts::parseClockTime(text.toUpper(), reader);
                    if (has && ambiguous)
                        QVERIFY2(!read, qPrintable(writer.name() + QLatin1Char(' ') + text));
                    else
                        QVERIFY2(read == time, qPrintable(writer.name() + QLatin1Char(' ') + text));
                    QCOMPARE(DateTexts::parseClockTime(text, writer), time);
                }
            }
        }
        QVERIFY(ownForms > 400);
    }

    void shortDates() {
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QCOMPARE(DateTexts::shortDateFormat(us), QStringLiteral("M/d/yyyy"));
        QCOMPARE(DateTexts::shortDate(QDate(2026, 12, 9), us), QStringLiteral("12/9/2026"));
        QCOMPARE(DateTexts::parseShortDate(QStringLiteral("12/9/2026"), us), QDate(2026, 12, 9));
        QCOMPARE(DateTexts::parseShortDate(QStringLiteral("12/09/2026"), us), QDate(2026, 12, 9));
        QCOMPARE(DateTexts::parseShortDate(QStringLiteral("2/29/2027"), us), QDate());
        QCOMPARE(DateTexts::parseShortDate(QStringLiteral("someday"), us), QDate());

        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(DateTexts::shortDateFormat(german), QStringLiteral("dd.MM.yyyy"));
        QCOMPARE(DateTexts::shortDate(QDate(2026, 3, 4), german), QStringLiteral("04.03.2026"));
        QCOMPARE(DateTexts::parseShortDate(QStringLiteral("4.3.2026"), german), QDate(2026, 3, 4));
        // Every day of a year (a leap year) reads back in both.
        for (QDate day(2028, 1, 1); day.year() == 2028; day = day.addDays(1)) {
            for (const QLocale& locale : {us, german})
                QCOMPARE(DateTexts::parseShortDate(DateTexts::shortDate(day, locale), locale), day);
        }
    }
};

TALLYCLOCK_TEST(DateTextsTest)
#include "DateTextsTest.moc"
