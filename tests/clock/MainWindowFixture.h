#pragma once

#include "common/TestSupport.h"
#include "core/Globals.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "platform/PushButton.h"
#include "platform/SystemClock.h"

#include <QDateTime>
#include <QLineEdit>
#include <QRadioButton>
#include <memory>

using TestSupport::control;

// The real main window over a fresh data folder (the template copied into place by its own
// start-up), fresh settings and a pinned clock. Boxes are recorded, never shown.
struct MainWindowFixture {
    explicit MainWindowFixture(const QDateTime& moment = QDateTime(QDate(2026, 3, 5), QTime(9, 5))) {
        clearSettings();
        SystemClock::setFixed(moment);
    }
    ~MainWindowFixture() {
        form.reset();
        if (Globals::hasConnection())
            Globals::releaseConnection();
        SystemClock::clearFixed();
        clearSettings();
    }
    MainWindowFixture(const MainWindowFixture&) = delete;
    MainWindowFixture& operator=(const MainWindowFixture&) = delete;

    static void clearSettings() { TestSupport::clearSettings(); }

    MainWindow& load() {
        form = std::make_unique<MainWindow>();
        TestSupport::startWindow(*form);
        return *form;
    }

    static AttendanceDatabase& db() { return Globals::connection(); }

    static void addPerson(const QString& number, const QString& password, const QString& name) {
        db().insertPerson({number, password, name, QStringLiteral("Works"), QStringLiteral("Clerk"), false});
    }

    // Moves the clock and lets the main window tick, as its timer would.
    void moveClockTo(const QDateTime& moment) {
        SystemClock::setFixed(moment);
        form->tick();
    }

    void punch(const QString& number, const QString& password, bool timeIn = true) {
        if (timeIn)
            control<QRadioButton>(*form, "timeInOption")->click();
        else
            control<QRadioButton>(*form, "timeOutOption")->click();
        control<QLineEdit>(*form, "numberBox")->setText(number);
        control<QLineEdit>(*form, "passwordBox")->setText(password);
        control<PushButton>(*form, "punchButton")->click();
    }

    TestSupport::CommonFolder folder;
    TestSupport::MessageRecorder boxes;
    std::unique_ptr<MainWindow> form;
};
