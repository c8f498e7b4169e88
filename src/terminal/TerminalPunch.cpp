#include "clock/ClockStamp.h"
#include "core/ErrorTrap.h"
#include "core/Globals.h"
#include "core/Main.h"
#include "core/MainWindow.h"
#include "credentials/Login.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursTotals.h"
#include "journal/Journal.h"
#include "journal/TerminalJournal.h"
#include "platform/SystemClock.h"
#include "terminal/Banner.h"
#include "terminal/KioskFrame.h"
#include "terminal/PunchOutcome.h"
#include "terminal/TerminalSettings.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QtDebug>

// A terminal's punches. Every outcome goes to the banner: the queue behind the person never waits on a
// box. A fault of the system shows there too, stays until the next punch that works, and goes to the log
// with the error box's text (handler and step), for whoever looks after the terminal.

namespace {

Main::FaultsElsewhere::Receiver faultsTo(Banner* banner) {
    return [banner](const QString& description, const QString& report) {
        banner->showFault(description);
        qWarning().noquote() << "Tallyclock Suite terminal:" << report.simplified();
    };
}

} // namespace

void MainWindow::punchAtTerminal() {
    ErrorTrap trap(Where::TerminalPunch);
    Banner* banner = m_kiosk->banner();
    const Main::FaultsElsewhere faults(faultsTo(banner));
    const QString number = numberBox->text();
    const QString password = passwordBox->text();
    // Whatever comes of it, the next person does not find them typed.
    trap.step(100, [&] {
        numberBox->clear();
        passwordBox->clear();
    });
    const bool badgeWaiting = !m_badgeNumber.isEmpty() && number == m_badgeNumber;
    m_badgeNumber.clear();
    Login::Result login;
    if (!trap.step(102, [&] {
            login = m_journal ? m_journal->check(number, password)
                              : Login::check(Globals::connection(), number, password);
        }))
        return;
    if (login.outcome != Login::Outcome::Match || login.person.eof()) {
        trap.step(104, [&] {
            banner->showRefused(
                login.outcome == Login::Outcome::Refused
                    ? Login::refusedMessage(login.refusedUntil)
                    : QStringLiteral("Invalid Person Number or Password. Please make sure that "
                                     "this login has been created with the 'Create' button."));
        });
        return;
    }
    QString name;
    if (!trap.step(106, [&] { name = login.person.text(QStringLiteral("Name")); }))
        return;
    std::optional<PunchKind> kind;
    if (!badgeWaiting)
        kind = timeInOption->isChecked() ? PunchKind::In : PunchKind::Out;
    punchPerson(trap, 108, number, name, kind);
}

void MainWindow::punchBadge(const QString& code) {
    ErrorTrap trap(Where::BadgePunch);
    Banner* banner = m_kiosk->banner();
    const Main::FaultsElsewhere faults(faultsTo(banner));
    RecordSet person;
    if (!trap.step(100, [&] {
            person = m_journal ? m_journal->personByBadge(code) : Globals::connection().personByBadge(code);
        }))
        return;
    if (person.eof()) {
        trap.step(102, [&] {
            banner->showRefused(QStringLiteral("This badge is not known. Please ask an administrator."));
        });
        return;
    }
    QString number;
    QString name;
    if (!trap.step(104, [&] {
            number = person.text(QStringLiteral("EmployeeNo"));
            name = person.text(QStringLiteral("Name"));
        }))
        return;
    if (Terminal::current().badgeNeedsPassword) {
        trap.step(106, [&] {
            m_badgeNumber = number;
            numberBox->setText(number);
            passwordBox->clear();
            passwordBox->setFocus();
            banner->showPrompt(QStringLiteral("%1, please type your password.").arg(name));
        });
        return;
    }
    // Whatever was half typed belongs to nobody now.
    trap.step(108, [&] {
        m_badgeNumber.clear();
        numberBox->clear();
        passwordBox->clear();
    });
    punchPerson(trap, 110, number, name, std::nullopt);
}

void MainWindow::punchPerson(ErrorTrap& trap, int firstStep, const QString& number, const QString& name,
                             std::optional<PunchKind> kind) {
    Banner* banner = m_kiosk->banner();
    const QDateTime now = SystemClock::now();
    const std::optional<TerminalPunch::RecentPunches::Earlier> earlier =
        m_recentPunches->within(number, now, Terminal::current().repeatSeconds);
    if (earlier) {
        trap.step(firstStep, [&] { banner->showRefused(TerminalPunch::alreadyText(*earlier)); });
        return;
    }
    QDate day;
    QString time;
    if (!trap.step(firstStep + 2, [&] {
            day = ClockStamp::shownDay(*this);
            time = ClockStamp::shownTime(*this);
        }))
        return;
    AttendanceDatabase& db = Globals::connection();
    std::optional<QDate> forgottenDay;
    // Kept on this terminal while the server is away: said so, and nothing read back from the server.
    const auto savedHere = [&](const QString& headline) {
        if (kind)
            m_recentPunches->remember(number, *kind, time, now);
        trap.step(firstStep + 18, [&] {
            banner->showDone(headline, name + QLatin1Char('\n') + OfflinePunching::kSavedHere);
        });
    };
    if (kind) {
        PunchOutcome outcome = PunchOutcome::Written;
        bool kept = false;
        if (!trap.step(firstStep + 4, [&] {
                if (m_journal) {
                    const TerminalJournal::Punched punched = m_journal->punch(*kind, number, day, time);
                    outcome = punched.outcome;
                    kept = punched.savedHere;
                } else {
                    outcome = db.punch(*kind, number, day, time);
                }
            }))
            return;
        if (kept) {
            savedHere(*kind == PunchKind::In ? QStringLiteral("In") : QStringLiteral("Out"));
            return;
        }
        if (outcome != PunchOutcome::Written) {
            trap.step(firstStep + 6, [&] {
                banner->showRefused(outcome == PunchOutcome::AlreadyIn
                                        ? name + QStringLiteral(" already logged in.")
                                        : name + QStringLiteral(" has not yet logged in."));
            });
            return;
        }
    } else {
        int longest = 0;
        if (!trap.step(firstStep + 8, [&] {
                if (m_journal && m_journal->offline())
                    return; // not asked while the server is known to be away
                try {
                    longest = Hours::readRules(db).longRecordMinutes / 60;
                } catch (const DatabaseError& e) {
                    // Away from the server the punch goes to the journal, and its records decide
                    // by their own rules when it arrives.
                    if (!m_journal || !OfflinePunching::serverAway(e))
                        throw;
                }
            }))
            return;
        std::optional<TogglePunch> toggled;
        if (!trap.step(firstStep + 10, [&] {
                const auto leaveOpen = [&](const RecordSet& open) {
                    return TerminalPunch::openLongerThan(open, now, longest);
                };
                toggled = m_journal ? m_journal->toggle(number, day, time, leaveOpen)
                                    : db.punchToggle(number, day, time, leaveOpen);
            }))
            return;
        if (!toggled) {
            savedHere(QStringLiteral("Saved"));
            return;
        }
        const TogglePunch done = *toggled;
        kind = done.kind;
        forgottenDay = done.leftOpenSince;
    }
    m_recentPunches->remember(number, *kind, time, now);
    QString hours;
    trap.step(firstStep + 12, [&] {
        const auto read = [&] { hours = TerminalPunch::hoursToday(db, number, day); };
        if (m_journal)
            m_journal->readUnlessAway(read);
        else
            read();
    });
    trap.step(firstStep + 14, [&] {
        QString detail = TerminalPunch::doneText(name, time, hours);
        if (forgottenDay)
            detail += QLatin1Char('\n') + TerminalPunch::forgottenText(*forgottenDay);
        banner->showDone(*kind == PunchKind::In ? QStringLiteral("In") : QStringLiteral("Out"), detail);
    });
    trap.step(firstStep + 16, [&] { listLoginsUnlessAway(); });
}
