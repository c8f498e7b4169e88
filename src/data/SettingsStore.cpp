#include "data/SettingsStore.h"

#include <QSettings>
#include <cmath>
#include <stdexcept>

namespace SettingsStore {

namespace {
// One settings file per application name under the user's configuration folder; the section is
// the group inside it.
QString keyPath(const QString& section, const QString& key) {
    return section + QLatin1Char('/') + key;
}
} // namespace

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application, application);
    const QVariant value = settings.value(keyPath(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application, application);
    settings.setValue(keyPath(section, key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error(QStringLiteral("The setting %1 could not be saved in %2.")
                                     .arg(key, settings.fileName())
                                     .toStdString());
}

bool toBoolean(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    // Qt also reads "nan" and "inf", which are words, not numbers.
    if (isNumber && std::isfinite(number))
        return number != 0.0;
    throw std::runtime_error(
        QStringLiteral("Type mismatch: the setting value \"%1\" is neither True, False nor a number.")
            .arg(text)
            .toStdString());
}

bool readFlag(const QString& key, int defaultValue) {
    return toBoolean(GetSetting(kApplication, kSection, key, QString::number(defaultValue)));
}

void saveFlag(const QString& key, bool value) {
    SaveSetting(kApplication, kSection, key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

} // namespace SettingsStore
