#pragma once

#include "credentials/Login.h"
#include "data/DatabaseEngine.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class AttendanceDatabase;
class DeliveryWorker;
class Journal;
class QThread;

// What the main window's punch goes through on a terminal of a server: every punch is written to the
// journal first and then sent on the window's connection; when the server is away (not reached in
// time, a statement past its deadline) the password is checked on the local copy and the punch stays
// in the journal, which a background thread delivers as soon as it can.
class TerminalJournal : public QObject {
    Q_OBJECT
public:
    // `db` is the window's connection; `url` the server the background delivery connects to.
    TerminalJournal(AttendanceDatabase& db, const QString& url, const QString& folder);
    ~TerminalJournal() override;

    // Whether the server was away at the last try: the punch then goes to the journal only.
    bool offline() const { return m_offline; }
    int waiting() const { return m_waiting; }

    // The password check: the server's, or the local copy's while the server is away.
    Login::Result check(const QString& number, const QString& password);

    // The person's latest record from the server; when the server turns out to be away, an empty
    // record set, and offline() says so.
    RecordSet latestRecordOfPerson(const QString& number);

    struct Punched {
        PunchOutcome outcome = PunchOutcome::Written;
        bool savedHere = false; // in the journal only, to be sent later
    };
    // Journal first, then the server. A failure other than the server being away is rethrown after
    // the punch left the journal again (the server rolled it back).
    Punched punch(PunchKind kind, const QString& number, const QDate& day, const QString& time);

    // The person with this badge: the server's, or the local copy's while the server is away.
    RecordSet personByBadge(const QString& code);

    // A badge's punch, its direction taken from the person's records (see punchToggle). While the
    // server is away it is kept in the journal (no result), and the server's records decide its
    // direction on arrival.
    std::optional<TogglePunch> toggle(const QString& number, const QDate& day, const QString& time,
                                      const std::function<bool(const RecordSet&)>& leaveOpen);

    // A read of the server's that a punch does not depend on (today's list, the hours on the banner):
    // a server that has gone away leaves the terminal offline rather than failing. Whether the read
    // ran.
    bool readUnlessAway(const std::function<void()>& read);

signals:
    // The main window's line: "Offline: n punches waiting", or "" when none wait.
    void waitingChanged(const QString& text);
    void deliverNow();

private:
    // Journal first, then the server; no outcome when the punch stays in the journal. A failure other
    // than the server being away is rethrown after the punch left the journal again.
    std::optional<DeliveryOutcome> journalThenDeliver(std::optional<PunchKind> kind, const QString& number,
                                                      const QDate& day, const QString& time,
                                                      const std::function<bool(const RecordSet&)>& leaveOpen,
                                                      TogglePunch* toggled);
    void wentAway();
    void onProgress(int waiting, bool serverAway);

    AttendanceDatabase& m_db;
    std::unique_ptr<Journal> m_journal;
    QThread* m_thread = nullptr;
    DeliveryWorker* m_worker = nullptr;
    bool m_offline = false;
    int m_waiting = 0;
};
