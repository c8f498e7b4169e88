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
        QDir(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Newcomer")).removeRecursively();
        reload();
    }

    // Written by someone else: another copy of the program, or a hand edit.
    static void writeBehindTheBack(const QString& application, const QString& value) {
        QSettings(QSettings::IniFormat, QSettings::UserScope, application, application)
            .setValue(kSection + QStringLiteral("/Option1"), value);
    }
    static QString option1(const QString& application) {
        return GetSetting(application, kSection, QStringLiteral("Option1"), QStringLiteral("missing"));
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

    // Reads come from memory; a change on disk is noticed from the event loop, also for a file
    // that did not exist (nor its folder) when it was first asked for.
    void changesOnDiskAreNoticed_data() {
        QTest::addColumn<QString>("application");
        QTest::addColumn<QString>("before");
        QTest::newRow("existing file") << kApplication << QStringLiteral("True");
        QTest::newRow("no file yet") << QStringLiteral("Newcomer") << QStringLiteral("missing");
    }
    void changesOnDiskAreNoticed() {
        QFETCH(QString, application);
        QFETCH(QString, before);
        if (before != QLatin1String("missing"))
            SaveSetting(application, kSection, QStringLiteral("Option1"), before);
        QCOMPARE(option1(application), before);

        writeBehindTheBack(application, QStringLiteral("False"));
        QCOMPARE(option1(application), before);
        QTRY_COMPARE(option1(application), QStringLiteral("False"));
        // Still watched after the change.
        writeBehindTheBack(application, QStringLiteral("-1"));
        QTRY_COMPARE(option1(application), QStringLiteral("-1"));
        // The program's own save shows at once.
        SaveSetting(application, kSection, QStringLiteral("Option1"), QStringLiteral("0"));
        QCOMPARE(option1(application), QStringLiteral("0"));
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
