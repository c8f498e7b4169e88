#pragma once

#include "common/TestSupport.h"
#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"
#include "platform/ListView.h"
#include "platform/SystemClock.h"
#include "reports/ReportsWindow.h"

#include <QApplication>
#include <QStringList>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <functional>
#include <memory>
#include <optional>

// A started main window on a fresh database in a temporary common folder, with the clock pinned
// to Tuesday 14 September 2021, 09:30.
class ReportsScene {
public:
    static QDate today() { return QDate(2021, 9, 14); }

    ReportsScene() {
        SystemClock::setFixed(QDateTime(today(), QTime(9, 30)));
        main = std::make_unique<MainWindow>();
        TestSupport::startWindow(*main);
    }
    ~ReportsScene() {
        main->releaseDatabase();
        main.reset();
        SystemClock::clearFixed();
    }

    AttendanceDatabase& db() { return Globals::connection(); }

    void addPerson(const QString& number, const QString& name, bool admin = false,
                   const QString& password = QStringLiteral("pw")) {
        db().insertPerson(
            {number, password, name, QStringLiteral("Dept ") + name, QStringLiteral("Pos ") + name, admin});
    }

    // Written behind the program's back, so a record can hold any combination of values.
    void addRecord(const QString& number, const QDate& day, const QString& timeIn,
                   const std::optional<QString>& timeOut = std::nullopt) {
        SQLite::Database raw(common.database().toStdString(), SQLite::OPEN_READWRITE);
        SQLite::Statement insert(raw, "INSERT INTO tblLogins (EmployeeNo, LogDate, TimeIn, TimeOut) "
                                      "VALUES (?, ?, ?, ?)");
        insert.bind(1, number.toStdString());
        insert.bind(2, day.toString(Qt::ISODate).toStdString());
        insert.bind(3, timeIn.toStdString());
        if (timeOut)
            insert.bind(4, timeOut->toStdString());
        insert.exec();
    }

    int storedRecords(const QString& number) {
        SQLite::Database raw(common.database().toStdString(), SQLite::OPEN_READONLY);
        SQLite::Statement count(raw, "SELECT count(*) FROM tblLogins WHERE EmployeeNo = ?");
        count.bind(1, number.toStdString());
        count.executeStep();
        return count.getColumn(0).getInt();
    }

    // Opens the reports window for real (load, then exec) and runs `inside` while it shows; the
    // window is closed with Esc afterwards unless `inside` closed it. Returns exec()'s result.
    int showReports(const std::function<void(ReportsWindow&)>& inside) {
        ReportsWindow form(main.get());
        // Wired as the administrator gate wires it.
        ErrorTrap::relay(&form, &ReportsWindow::recordsChanged, main.get(), &MainWindow::listLogins);
        bool ran = false;
        TestSupport::whenModalShows([&](QWidget* modal) {
            ran = modal == &form;
            if (ran)
                inside(form);
            if (form.isVisible())
                form.reject();
        });
        const int result = form.showModal();
        if (!ran)
            qWarning("the reports window did not show");
        return result;
    }

    static QStringList column(const ListView* list, int column) {
        QStringList texts;
        for (int row = 0; row < list->rowCount(); ++row)
            texts << list->itemText(row, column);
        return texts;
    }

    TestSupport::CommonFolder common;
    std::unique_ptr<MainWindow> main;
};
