#include "data/SettingsStore.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTest>
#include <stdexcept>

using namespace SettingsStore;

class SettingsStoreTest : public QObject {
    Q_OBJECT

    static void clearAll() {
        for (const QString& application : {kApplication, QStringLiteral("Elsewhere")})
            QSettings(QSettings::IniFormat, QSettings::UserScope, application, application).clear();
    }

private slots:
    void init() { clearAll(); }
    void cleanup() { clearAll(); }

    void missingGivesTheDefault() {
        QCOMPARE(GetSetting(kApplication, kSection, QStringLiteral("Option1"), QStringLiteral("1")),
                 QStringLiteral("1"));
        QCOMPARE(GetSetting(QStringLiteral("Elsewhere"), QStringLiteral("No section"),
                            QStringLiteral("No key"), QStringLiteral("0")),
                 QStringLiteral("0"));
        QVERIFY(readFlag(QStringLiteral("Option1"), 1));
        QVERIFY(!readFlag(QStringLiteral("Option2"), 0));
    }

    void savedTextsPersistInTheUsersFolder() {
        SaveSetting(kApplication, kSection, QStringLiteral("Option1"), QStringLiteral("False"));
        SaveSetting(kApplication, kSection, QStringLiteral("Option1"), QStringLiteral("True"));
        SaveSetting(kApplication, kSection, QStringLiteral("Is First Time"), QStringLiteral("0"));
        // Texts come back as they were stored, blanks, slashes and all.
        SaveSetting(kApplication, kSection, QStringLiteral("Odd"), QStringLiteral(" a/b; c=d "));
        QCOMPARE(GetSetting(kApplication, kSection, QStringLiteral("Option1"), QStringLiteral("x")),
                 QStringLiteral("True"));
        QCOMPARE(GetSetting(kApplication, kSection, QStringLiteral("Is First Time"), QStringLiteral("x")),
                 QStringLiteral("0"));
        QCOMPARE(GetSetting(kApplication, kSection, QStringLiteral("Odd"), QStringLiteral("x")),
                 QStringLiteral(" a/b; c=d "));
        // Another section or application does not see them.
        QCOMPARE(
            GetSetting(kApplication, QStringLiteral("Other"), QStringLiteral("Option1"), QStringLiteral("x")),
            QStringLiteral("x"));
        QCOMPARE(
            GetSetting(QStringLiteral("Elsewhere"), kSection, QStringLiteral("Option1"), QStringLiteral("x")),
            QStringLiteral("x"));
        // On disk, under the user's configuration folder.
        const QString file =
            qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Quillmark/Quillmark.ini");
        QVERIFY2(QFile::exists(file), qPrintable(file));
        QSettings onDisk(file, QSettings::IniFormat);
        QCOMPARE(onDisk.value(QStringLiteral("Tallyclock Suite/Option1")).toString(), QStringLiteral("True"));
    }

    void booleanReading() {
        for (const char* yes : {"True", "true", "TRUE", "1", "-1", "2", "0.5", " True "})
            QVERIFY2(toBoolean(QString::fromLatin1(yes)), yes);
        for (const char* no : {"False", "false", "0", "-0", "0.0"})
            QVERIFY2(!toBoolean(QString::fromLatin1(no)), no);
        for (const char* unreadable : {"maybe", "", "Yes", "1x", "Truee", "nan", "inf"})
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, toBoolean(QString::fromLatin1(unreadable)));
        saveFlag(QStringLiteral("Option4"), true);
        QCOMPARE(GetSetting(kApplication, kSection, QStringLiteral("Option4"), QString()),
                 QStringLiteral("True"));
        saveFlag(QStringLiteral("Option4"), false);
        QVERIFY(!readFlag(QStringLiteral("Option4"), 1));
    }
};

TALLYCLOCK_TEST(SettingsStoreTest)
#include "SettingsStoreTest.moc"
