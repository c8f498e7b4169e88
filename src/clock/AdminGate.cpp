#include "core/MainWindow.h"

#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "credentials/Login.h"
#include "data/AttendanceDatabase.h"
#include "journal/Journal.h"
#include "journal/TerminalJournal.h"
#include "persons/PersonEditor.h"
#include "persons/PersonsWindow.h"
#include "platform/MessageBox.h"
#include "reports/ReportsWindow.h"
#include "terminal/Banner.h"
#include "terminal/IdleCloser.h"
#include "terminal/KioskFrame.h"
#include "terminal/TerminalSettings.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QtDebug>
#include <functional>

// The persons and reports windows open for administrators only. Every press looks the typed
// person number and password up afresh; nothing is remembered between presses. A look-up that
// fails opens no window: it is neither "no administrator" nor a match. Once a window the gate
// opened has closed, the typed number and password are cleared, so that the next person at the
// terminal does not walk in on them. Whatever the outcome, the password never stays behind; the
// number stays only when it matched nobody, so that a typo can be mended.

namespace {

// What a look-up found: only a look-up that ran can open a window.
enum class Found { Nothing, Row, Failed };

Found lookUp(ErrorTrap& trap, int openStep, int testStep, RecordSet& rs,
             const std::function<RecordSet()>& statement) {
    if (!trap.step(openStep, [&] { rs = statement(); }))
        return Found::Failed;
    bool any = false;
    if (!trap.step(testStep, [&] { any = !rs.eof(); }))
        return Found::Failed;
    return any ? Found::Row : Found::Nothing;
}

// What the typed person number and password lead to.
enum class Access { Administrator, StandardPerson, NoMatch, Refused, Failed };

// The credential check (`openStep`), its test (+2) and the IsAdmin test of the first row (+4).
// A Null IsAdmin, or any value but 1, is no administrator.
Access credentialsOf(ErrorTrap& trap, int openStep, RecordSet& rs, Login::Result& login,
                     const QString& number, const QString& password) {
    if (!trap.step(openStep, [&] {
            login = Login::check(Globals::connection(), number, password);
            rs = login.person;
        }))
        return Access::Failed;
    bool matched = false;
    if (!trap.step(openStep + 2, [&] { matched = login.outcome == Login::Outcome::Match && !rs.eof(); }))
        return Access::Failed;
    if (!matched)
        return login.outcome == Login::Outcome::Refused ? Access::Refused : Access::NoMatch;
    bool admin = false;
    if (!trap.step(openStep + 4, [&] {
            const QVariant value = rs.value(QStringLiteral("IsAdmin"));
            bool isNumber = false;
            admin = value.isValid() && value.toDouble(&isNumber) == 1.0 && isNumber;
        }))
        return Access::Failed;
    return admin ? Access::Administrator : Access::StandardPerson;
}

void closeIfOpen(ErrorTrap& trap, int step, RecordSet& rs) {
    trap.step(step, [&] {
        if (rs.isOpen())
            rs.close();
    });
}

// Clears the number (`step`) unless it matched nobody, and always the password (`step` + 2).
void forgetTyped(ErrorTrap& trap, int step, Access access, QLineEdit* number, QLineEdit* password) {
    const bool matchedNobody =
        access == Access::NoMatch || access == Access::Refused || access == Access::Failed;
    if (!matchedNobody)
        trap.step(step, [&] { number->clear(); });
    trap.step(step + 2, [&] { password->clear(); });
}

} // namespace

void MainWindow::openPersons() {
    ErrorTrap trap(Where::OpenPersons);
    if (m_journal && m_journal->offline()) {
        trap.step(100, [] { MessageBox::ok(OfflinePunching::kNeedsServer); });
        return;
    }
    RecordSet rs; // 100
    Access access = Access::Failed;
    const Found admins = lookUp(trap, 102, 104, rs, [] { return Globals::connection().administrators(); });
    if (admins == Found::Nothing) {
        access = Access::Administrator;
        // The first administrator: the editor opens preset to "Yes", then the persons window.
        trap.step(106, [] {
            MessageBox::ok(QStringLiteral("The software must have at least 1 Admin employee.") +
                           QStringLiteral("\r\n\r") +
                           QStringLiteral("Please add new one to prevent standard user from viewing Reports "
                                          "and Employee Lists."));
        });
        PersonEditor editor(this);
        trap.step(108, [&] { editor.editedNumber = QString(); });
        trap.step(110, [&] { editor.chooseAdministrator(true); });
        trap.step(112, [&] { editor.showModal(); });
        trap.step(114, [&] {
            PersonsWindow persons(this);
            persons.showModal();
        });
    } else if (admins == Found::Row) {
        closeIfOpen(trap, 116, rs);
        Login::Result login;
        access = credentialsOf(trap, 118, rs, login, numberBox->text(), passwordBox->text());
        switch (access) {
        case Access::Administrator:
            trap.step(124, [&] {
                // The changes made in the window are the administrator's in the audit trail.
                AttendanceDatabase::ActorScope actor(Globals::connection(), numberBox->text());
                PersonsWindow persons(this);
                closeWhenIdle(&persons);
                persons.showModal();
            });
            break;
        case Access::StandardPerson:
            trap.step(126, [this] { refuse(QStringLiteral("User must have Admin access.")); });
            break;
        case Access::NoMatch:
            trap.step(128, [this] { refuse(QStringLiteral("Invalid Person Number or Password")); });
            break;
        case Access::Refused:
            trap.step(128, [&] { refuse(Login::refusedMessage(login.refusedUntil)); });
            break;
        case Access::Failed:
            break;
        }
    }
    closeIfOpen(trap, 130, rs);
    // Persons and their records may have been deleted meanwhile.
    trap.step(132, [&] { listLogins(); });
    forgetTyped(trap, 134, access, numberBox, passwordBox);
}

void MainWindow::openReports() {
    ErrorTrap trap(Where::OpenReports);
    if (m_journal && m_journal->offline()) {
        trap.step(100, [] { MessageBox::ok(OfflinePunching::kNeedsServer); });
        return;
    }
    RecordSet rs; // 100
    Access access = Access::Failed;
    const Found admins = lookUp(trap, 102, 104, rs, [] { return Globals::connection().administrators(); });
    if (admins == Found::Nothing) {
        trap.step(106, [this] {
            refuse(QStringLiteral("You must add an Admin Employee to access this function."));
        });
    } else if (admins == Found::Row) {
        closeIfOpen(trap, 108, rs);
        Login::Result login;
        access = credentialsOf(trap, 110, rs, login, numberBox->text(), passwordBox->text());
        switch (access) {
        case Access::Administrator:
            trap.step(116, [&] {
                AttendanceDatabase::ActorScope actor(Globals::connection(), numberBox->text());
                ReportsWindow reports(this);
                // A deleted record may be one of today's.
                ErrorTrap::relay(&reports, &ReportsWindow::recordsChanged, this, &MainWindow::listLogins);
                closeWhenIdle(&reports);
                reports.showModal();
            });
            break;
        case Access::StandardPerson:
            trap.step(118, [this] { refuse(QStringLiteral("User must have Administrator access.")); });
            break;
        case Access::NoMatch:
            trap.step(120, [this] {
                refuse(QStringLiteral("Invalid Person Number or Password. Please use Administrator login."));
            });
            break;
        case Access::Refused:
            trap.step(120, [&] { refuse(Login::refusedMessage(login.refusedUntil)); });
            break;
        case Access::Failed:
            break;
        }
    }
    closeIfOpen(trap, 122, rs);
    forgetTyped(trap, 124, access, numberBox, passwordBox);
}

void MainWindow::refuse(const QString& text) {
    // A terminal answers in its banner: the next person never finds a box to click away.
    if (m_kiosk)
        m_kiosk->banner()->showRefused(text);
    else
        MessageBox::ok(text);
}

void MainWindow::closeWhenIdle(QWidget* window) {
    if (m_kiosk)
        new IdleCloser(window, Terminal::current().adminIdleSeconds);
}

bool MainWindow::mayCloseTerminal() {
    ErrorTrap trap(Where::TerminalClose);
    Banner* banner = m_kiosk->banner();
    const Main::FaultsElsewhere faults([banner](const QString& description, const QString& report) {
        banner->showFault(description);
        qWarning().noquote() << "Tallyclock Suite terminal:" << report.simplified();
    });
    RecordSet rs;
    const Found admins = lookUp(trap, 100, 102, rs, [] { return Globals::connection().administrators(); });
    if (admins == Found::Nothing)
        return true; // nobody could ever close it otherwise
    if (admins == Found::Failed)
        return false;
    closeIfOpen(trap, 104, rs);
    Login::Result login;
    const Access access = credentialsOf(trap, 106, rs, login, numberBox->text(), passwordBox->text());
    closeIfOpen(trap, 112, rs);
    forgetTyped(trap, 114, access, numberBox, passwordBox);
    if (access == Access::Administrator)
        return true;
    if (access == Access::Refused)
        trap.step(118, [&] { banner->showRefused(Login::refusedMessage(login.refusedUntil)); });
    else if (access != Access::Failed)
        trap.step(118, [&] {
            banner->showRefused(QStringLiteral("Only an administrator can close this terminal: type an "
                                               "administrator's person number and password, then close it."));
        });
    return false;
}
