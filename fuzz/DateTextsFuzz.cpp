// Feeds arbitrary texts to the date and time readers under a few locales. Besides crashes and
// undefined behaviour it checks that whatever reads as a time or date reads back the same once
// the clock or the short-date form writes it again.
#include "platform/DateTexts.h"

#include <QList>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QList<QLocale>& locales() {
    static const QList<QLocale> all{QLocale::c(),
                                    QLocale(QLocale::English, QLocale::UnitedStates),
                                    QLocale(QLocale::Korean, QLocale::SouthKorea),
                                    QLocale(QLocale::Finnish, QLocale::Finland),
                                    QLocale(QLocale::Arabic, QLocale::Egypt),
                                    QLocale(QLocale::German, QLocale::Germany),
                                    QLocale(QLocale::Spanish, QLocale::Spain),
                                    QLocale(QLocale::Chinese, QLocale::China)};
    return all;
}

[[noreturn]] void fail(const char* what, const QString& text, const QString& written) {
    std::fprintf(stderr, "%s: read \"%s\", wrote \"%s\"\n", what, qPrintable(text), qPrintable(written));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the locale and whether the rest is UTF-8 or raw UTF-16 (lone surrogates).
    const QLocale& locale = locales().at(data[0] % locales().size());
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const auto restSize = static_cast<qsizetype>(size - 1);
    const QString text = data[0] & 0x80
                             ? QString(reinterpret_cast<const QChar*>(rest), restSize / 2)
                             : QString::fromUtf8(rest, restSize);

    if (const std::optional<QTime> time = DateTexts::parseClockTime(text, locale)) {
        if (!time->isValid())
            fail("invalid time", text, QString());
        const QTime minutes(time->hour(), time->minute());
        for (DateTexts::HourCycle cycle : {DateTexts::HourCycle::TwelveHour, DateTexts::HourCycle::TwentyFourHour}) {
            const QString written = DateTexts::clockTime(*time, cycle, locale);
            if (DateTexts::parseClockTime(written, locale) != minutes)
                fail("time does not read back", text, written);
        }
    }

    const QDate date = DateTexts::parseShortDate(text, locale);
    if (date.isValid()) {
        const QString written = DateTexts::shortDate(date, locale);
        if (DateTexts::parseShortDate(written, locale) != date)
            fail("date does not read back", text, written);
    }
    return 0;
}
