#include "terminal/TerminalSettings.h"

#include "data/SettingsStore.h"

#include <QSettings>
#include <QtDebug>
#include <cstring>

namespace Terminal {

namespace {

Settings& stored() {
    static Settings settings;
    return settings;
}

int wholeNumber(const QSettings& file, const QString& key, int fallback, int lowest, int highest) {
    const QVariant value = file.value(SettingsStore::kSection + QLatin1Char('/') + key);
    if (!value.isValid())
        return fallback;
    bool isNumber = false;
    const int number = value.toString().trimmed().toInt(&isNumber);
    if (isNumber && number >= lowest && number <= highest)
        return number;
    qWarning().noquote() << QStringLiteral("Tallyclock Suite: the setting %1 is \"%2\"; it must be a whole "
                                           "number from %3 to %4, so %5 is used.")
                                .arg(key, value.toString())
                                .arg(lowest)
                                .arg(highest)
                                .arg(fallback);
    return fallback;
}

bool flag(const QSettings& file, const QString& key, bool fallback) {
    const QVariant value = file.value(SettingsStore::kSection + QLatin1Char('/') + key);
    if (!value.isValid())
        return fallback;
    try {
        return SettingsStore::toBoolean(value.toString());
    } catch (const std::exception&) {
        qWarning().noquote() << QStringLiteral("Tallyclock Suite: the setting %1 is \"%2\"; it must be True "
                                               "or False, so %3 is used.")
                                    .arg(key, value.toString(),
                                         fallback ? QStringLiteral("True") : QStringLiteral("False"));
        return fallback;
    }
}

} // namespace

Settings fromSystemSettings(bool kioskFromCommandLine) {
    // Only the system-wide file: the terminal is the workplace's, not the user's at the keyboard.
    const QSettings file(QSettings::IniFormat, QSettings::SystemScope, SettingsStore::kApplication,
                         SettingsStore::kApplication);
    Settings settings;
    const QString mode =
        file.value(SettingsStore::kSection + QStringLiteral("/Terminal")).toString().trimmed();
    settings.kiosk = kioskFromCommandLine || mode.compare(QLatin1String("kiosk"), Qt::CaseInsensitive) == 0;
    settings.bannerSeconds =
        wholeNumber(file, QStringLiteral("BannerSeconds"), settings.bannerSeconds, 1, 600);
    settings.badgeKeyGapMs =
        wholeNumber(file, QStringLiteral("BadgeKeyGapMs"), settings.badgeKeyGapMs, 5, 1000);
    settings.badgeNeedsPassword =
        flag(file, QStringLiteral("BadgeNeedsPassword"), settings.badgeNeedsPassword);
    settings.repeatSeconds =
        wholeNumber(file, QStringLiteral("RepeatSeconds"), settings.repeatSeconds, 0, 3600);
    settings.adminIdleSeconds =
        wholeNumber(file, QStringLiteral("AdminIdleSeconds"), settings.adminIdleSeconds, 10, 86400);
    return settings;
}

const Settings& current() {
    return stored();
}

void setCurrent(const Settings& settings) {
    stored() = settings;
}

bool kioskArgument(int argc, char* argv[]) {
    return argc == 2 && std::strcmp(argv[1], "--kiosk") == 0;
}

} // namespace Terminal
