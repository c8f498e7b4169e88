#include "clock/ClockStamp.h"
#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/MainWindow.h"
#include "credentials/Login.h"
#include "data/AttendanceDatabase.h"
#include "journal/Journal.h"
#include "journal/TerminalJournal.h"
#include "platform/MessageBox.h"
#include "platform/PushButton.h"

#include <QLineEdit>

// Punch in or out with the person number and password typed (checked as Login::check says). The date and time
// written are the ones the clock shows at the moment of the statement. Whatever fails in a look-up or a test
// on the way ends the punch without a write: nobody is punched in or out on a guess.
void MainWindow::punch() {
    if (waitingForRestore()) {
        // A restore is swapping the file: a punch now could go into the file it replaces.
        MessageBox::ok(QStringLiteral("The attendance database is being restored. Punches are taken again "
                                      "once the restore is done."));
        return;
    }
    if (m_kiosk) {
        punchAtTerminal();
        return;
    }
    ErrorTrap trap(Where::Punch);
    const QString number = numberBox->text();
    const QString password = passwordBox->text();
    RecordSet rs;
    QString name;

    const auto closeRecordSet = [&] {
        if (rs.isOpen())
            rs.close();
    };
    // With a journal, a server gone since the password check leaves nothing read and the punch offline.
    const auto readRecords = [&] {
        rs = m_journal ? m_journal->latestRecordOfPerson(number)
                       : Globals::connection().latestRecordOfPerson(number);
    };
    const auto offline = [&] { return m_journal && m_journal->offline(); };
    // The write re-reads the latest record under the database's write lock and decides again: another
    // terminal may have punched the same person since the records were read above.
    PunchOutcome outcome = PunchOutcome::Written;
    bool savedHere = false; // in this terminal's journal only, the server being away
    const auto punch = [&](PunchKind kind) {
        return [&, kind] {
            outcome = PunchOutcome::Written;
            if (m_journal) {
                const TerminalJournal::Punched punched =
                    m_journal->punch(kind, number, ClockStamp::shownDay(*this), ClockStamp::shownTime(*this));
                outcome = punched.outcome;
                savedHere = punched.savedHere;
                return;
            }
            outcome = Globals::connection().punch(kind, number, ClockStamp::shownDay(*this),
                                                  ClockStamp::shownTime(*this));
        };
    };
    const auto alreadyIn = [&] { MessageBox::ok(name + QStringLiteral(" already logged in.")); };
    const auto notYetIn = [&] { MessageBox::ok(name + QStringLiteral(" has not yet logged in.")); };
    const auto afterPunch = [&](int listStep) {
        if (outcome == PunchOutcome::AlreadyIn)
            trap.step(120, alreadyIn);
        else if (outcome == PunchOutcome::NotYetIn)
            trap.step(134, notYetIn);
        else if (savedHere)
            trap.step(listStep, [] { MessageBox::ok(OfflinePunching::kSavedHere); });
        else
            trap.step(listStep, [&] { listLoginsUnlessAway(); });
    };

    trap.step(100, [&] { rs = RecordSet(); });
    Login::Result login;
    if (trap.step(102, [&] {
            login = m_journal ? m_journal->check(number, password)
                              : Login::check(Globals::connection(), number, password);
            rs = login.person;
        })) {
        if (trap.test(
                104, [&] { return login.outcome == Login::Outcome::Match && !rs.eof(); },
                ErrorTrap::FailedTest::Skips)) {
            const bool named = trap.step(106, [&] { name = rs.text(QStringLiteral("Name")); });
            trap.step(108, closeRecordSet);
            bool punchIsIn = false;
            const bool ready =
                named && trap.step(110, [&] { punchIsIn = punchButton->text() == QLatin1String("Login"); });
            // Away from the server nothing can be read: the punch goes to the journal as it is, and
            // the server's rules judge it on arrival.
            const auto punchOffline = [&] {
                trap.step(punchIsIn ? 126 : 136, punch(punchIsIn ? PunchKind::In : PunchKind::Out));
                afterPunch(punchIsIn ? 128 : 138);
            };
            if (ready && offline()) {
                punchOffline();
            } else if (ready && punchIsIn) {
                // An unreadable record list must not pass for "no records": that would punch in again.
                if (trap.step(112, readRecords)) {
                    if (offline()) {
                        punchOffline();
                    } else if (trap.test(114, [&] { return !rs.eof(); })) {
                        trap.step(116, [&] { rs.moveLast(); });
                        if (trap.test(118, [&] { return rs.text(QStringLiteral("TimeOut")).isEmpty(); })) {
                            trap.step(120, alreadyIn);
                        } else {
                            trap.step(122, punch(PunchKind::In));
                            afterPunch(124);
                        }
                    } else {
                        trap.step(126, punch(PunchKind::In));
                        afterPunch(128);
                    }
                }
            } else if (ready && trap.step(130, readRecords)) {
                if (offline()) {
                    punchOffline();
                } else if (trap.test(132, [&] { return rs.eof(); })) {
                    trap.step(134, notYetIn);
                } else {
                    trap.step(136, punch(PunchKind::Out));
                    afterPunch(138);
                }
            }
        } else {
            trap.step(140, [&] {
                MessageBox::ok(
                    login.outcome == Login::Outcome::Refused
                        ? Login::refusedMessage(login.refusedUntil)
                        : QStringLiteral("Invalid Person Number or Password. Please make sure that "
                                         "this login has been created with the 'Create' button."));
            });
        }
    }

    trap.step(142, closeRecordSet);
    trap.step(144, [&] { numberBox->clear(); });
    trap.step(146, [&] { passwordBox->clear(); });
}
