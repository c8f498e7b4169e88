#include "journal/TerminalJournal.h"

#include "data/AttendanceDatabase.h"
#include "journal/Delivery.h"
#include "journal/Journal.h"

#include <QThread>

TerminalJournal::TerminalJournal(AttendanceDatabase& db, const QString& url, const QString& folder)
    : m_db(db), m_journal(std::make_unique<Journal>(folder)) {
    m_waiting = m_journal->waitingCount();
    // The local copy is fresh before the first punch, whatever the background delivery does first.
    try {
        Delivery::connected(*m_journal, m_db);
    } catch (const DatabaseError& e) {
        m_offline = OfflinePunching::serverAway(e);
    }
    m_thread = new QThread(this);
    m_worker = new DeliveryWorker(url, folder);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::started, m_worker, &DeliveryWorker::start);
    connect(this, &TerminalJournal::deliverNow, m_worker, &DeliveryWorker::deliverNow);
    connect(m_worker, &DeliveryWorker::progress, this, &TerminalJournal::onProgress);
    m_thread->start();
}

TerminalJournal::~TerminalJournal() {
    // The round under way ends first (at most one statement's deadline): its punch is either
    // committed and removed or still waiting.
    QMetaObject::invokeMethod(m_worker, &DeliveryWorker::stop, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
}

void TerminalJournal::wentAway() {
    m_offline = true;
    emit deliverNow();
}

void TerminalJournal::onProgress(int waiting, bool serverAway) {
    m_waiting = waiting;
    // Back online only once the journal is empty: a new punch must not overtake waiting ones.
    m_offline = serverAway || waiting > 0;
    emit waitingChanged(OfflinePunching::waitingText(waiting));
}

Login::Result TerminalJournal::check(const QString& number, const QString& password) {
    if (!m_offline) {
        try {
            return Login::check(m_db, number, password);
        } catch (const DatabaseError& e) {
            if (!OfflinePunching::serverAway(e))
                throw;
            wentAway();
        }
    }
    return Login::checkWith(*m_journal, number, password);
}

bool TerminalJournal::readUnlessAway(const std::function<void()>& read) {
    try {
        read();
        return true;
    } catch (const DatabaseError& e) {
        if (!OfflinePunching::serverAway(e))
            throw;
        wentAway();
        return false;
    }
}

RecordSet TerminalJournal::latestRecordOfPerson(const QString& number) {
    try {
        return m_db.latestRecordOfPerson(number);
    } catch (const DatabaseError& e) {
        if (!OfflinePunching::serverAway(e))
            throw;
        wentAway();
        return RecordSet();
    }
}

std::optional<DeliveryOutcome> TerminalJournal::journalThenDeliver(
    std::optional<PunchKind> kind, const QString& number, const QDate& day, const QString& time,
    const std::function<bool(const RecordSet&)>& leaveOpen, TogglePunch* toggled) {
    const QString reason = OfflinePunching::clockReason(m_journal->clockOff());
    const qint64 sequence = m_journal->append(kind, number, day, time, reason);
    m_waiting = m_journal->waitingCount();
    // Punches waiting before this one go first: a new punch must not overtake them.
    if (m_offline || m_waiting > 1) {
        emit waitingChanged(OfflinePunching::waitingText(m_waiting));
        wentAway();
        return std::nullopt;
    }
    DeliveryOutcome delivered = DeliveryOutcome::Stored;
    try {
        delivered = m_db.deliver({m_journal->terminalId(), sequence, kind.value_or(PunchKind::In), number,
                                  day, time, reason, !kind},
                                 false, leaveOpen, toggled);
    } catch (const DatabaseError& e) {
        if (OfflinePunching::serverAway(e)) {
            // Committed or not, the receipt tells when it is delivered again.
            emit waitingChanged(OfflinePunching::waitingText(m_waiting));
            wentAway();
            return std::nullopt;
        }
        m_journal->remove(sequence);
        m_waiting = m_journal->waitingCount();
        throw;
    }
    m_journal->remove(sequence);
    m_waiting = m_journal->waitingCount();
    return delivered;
}

TerminalJournal::Punched TerminalJournal::punch(PunchKind kind, const QString& number, const QDate& day,
                                                const QString& time) {
    const std::optional<DeliveryOutcome> delivered = journalThenDeliver(kind, number, day, time, {}, nullptr);
    if (!delivered)
        return {PunchOutcome::Written, true};
    if (*delivered == DeliveryOutcome::Refused)
        return {kind == PunchKind::In ? PunchOutcome::AlreadyIn : PunchOutcome::NotYetIn, false};
    return {PunchOutcome::Written, false};
}

RecordSet TerminalJournal::personByBadge(const QString& code) {
    if (!m_offline) {
        try {
            return m_db.personByBadge(code);
        } catch (const DatabaseError& e) {
            if (!OfflinePunching::serverAway(e))
                throw;
            wentAway();
        }
    }
    return m_journal->personByBadge(code);
}

std::optional<TogglePunch> TerminalJournal::toggle(const QString& number, const QDate& day,
                                                   const QString& time,
                                                   const std::function<bool(const RecordSet&)>& leaveOpen) {
    TogglePunch done;
    if (!journalThenDeliver(std::nullopt, number, day, time, leaveOpen, &done))
        return std::nullopt;
    return done;
}
