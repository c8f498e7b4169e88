#include "data/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QPointer>
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

// The values of each application's file as last read. The clock asks several times a second, so
// the file is read once and again only after a save or when the file changes on disk (another
// copy of the program, or a hand edit).
struct Cache {
    QHash<QString, QHash<QString, QVariant>> byApplication;
    QPointer<QFileSystemWatcher> watcher;
};

Cache& cache() {
    static Cache instance;
    return instance;
}

// Watches the file and its folder (a save replaces the file, which shows in the folder); while
// they do not exist yet, the nearest folder above them that does.
void watch(const QString& file) {
    Cache& c = cache();
    if (!c.watcher) {
        c.watcher = new QFileSystemWatcher(QCoreApplication::instance());
        QObject::connect(c.watcher, &QFileSystemWatcher::fileChanged, c.watcher, [] { reload(); });
        QObject::connect(c.watcher, &QFileSystemWatcher::directoryChanged, c.watcher, [] { reload(); });
    }
    QStringList paths;
    if (QFileInfo(file).isFile())
        paths << file;
    QString folder = QFileInfo(file).absolutePath();
    while (!QFileInfo(folder).isDir()) {
        const QString above = QFileInfo(folder).absolutePath();
        if (above == folder)
            break;
        folder = above;
    }
    paths << folder;
    for (const QString& path : paths) {
        if (!c.watcher->files().contains(path) && !c.watcher->directories().contains(path))
            c.watcher->addPath(path);
    }
}

QVariant storedValue(const QString& application, const QString& path) {
    // Without an event loop no change could be noticed: read the file every time.
    if (!QCoreApplication::instance())
        return QSettings(QSettings::IniFormat, QSettings::UserScope, application, application).value(path);
    Cache& c = cache();
    auto values = c.byApplication.constFind(application);
    if (values == c.byApplication.cend()) {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, application, application);
        // Watched before the values are taken, so that no change slips in between.
        watch(settings.fileName());
        settings.sync();
        QHash<QString, QVariant> read;
        for (const QString& key : settings.allKeys())
            read.insert(key, settings.value(key));
        values = c.byApplication.insert(application, std::move(read));
    }
    return values->value(path);
}
} // namespace

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue) {
    const QVariant value = storedValue(application, keyPath(section, key));
    return value.isValid() ? value.toString() : defaultValue;
}

void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, application, application);
    settings.setValue(keyPath(section, key), value);
    settings.sync();
    // Read afresh next time, whatever the outcome: the file is the truth.
    cache().byApplication.remove(application);
    if (settings.status() != QSettings::NoError)
        throw std::runtime_error(QStringLiteral("The setting %1 could not be saved in %2.")
                                     .arg(key, settings.fileName())
                                     .toStdString());
}

void reload() {
    Cache& c = cache();
    c.byApplication.clear();
    if (c.watcher) {
        const QStringList watched = c.watcher->files() + c.watcher->directories();
        if (!watched.isEmpty())
            c.watcher->removePaths(watched);
    }
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

QString databaseUrl() {
    const QString fromEnvironment = qEnvironmentVariable("TALLYCLOCK_DATABASE_URL");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return GetSetting(kApplication, kSection, QStringLiteral("DatabaseUrl"), QString());
}

} // namespace SettingsStore
