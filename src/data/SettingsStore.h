#pragma once

#include <QString>

// Per-user text values addressed by application, section and key, kept with QSettings in the
// user's configuration folder ($XDG_CONFIG_HOME honoured). Reads come from memory: a file is read
// once, and again after a save or when it changes on disk (noticed from the event loop).
namespace SettingsStore {

inline const QString kApplication = QStringLiteral("Quillmark");
inline const QString kSection = QStringLiteral("Tallyclock Suite");

// The stored text, or the default when the key is missing.
QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue);
// Stores the text; throws std::runtime_error when the store cannot be written.
void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value);

// Forgets what was read; the next read takes the values from the file again.
void reload();

// Reads a stored text as a boolean: "True"/"False" in any letter case, or a number (0 false,
// any other true). Throws std::runtime_error for anything else.
bool toBoolean(const QString& text);

// The program's own setting with a numeric default, read as a boolean.
bool readFlag(const QString& key, int defaultValue);
// Stores a flag as "True" or "False".
void saveFlag(const QString& key, bool value);

// The PostgreSQL server the program is to use: $TALLYCLOCK_DATABASE_URL when set and not empty,
// otherwise the setting "DatabaseUrl"; "" for the SQLite file in the data folder.
QString databaseUrl();

} // namespace SettingsStore
