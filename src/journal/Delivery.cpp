#include "journal/Delivery.h"

#include "data/AttendanceDatabase.h"
#include "hours/HoursTotals.h"
#include "journal/Journal.h"
#include "platform/DateTexts.h"
#include "platform/SystemClock.h"
#include "terminal/PunchOutcome.h"

#include <QTimer>
#include <QtGlobal>

namespace Delivery {

qint64 connected(Journal& journal, AttendanceDatabase& db) {
    const qint64 off = db.countingMoment().secsTo(SystemClock::now().toUTC());
    const bool wasOff = !OfflinePunching::clockReason(journal.clockOff()).isEmpty();
    journal.setClockOff(off);
    if (const QString reason = OfflinePunching::clockReason(off); !reason.isEmpty() && !wasOff) {
        qWarning("Terminal %s: the clock is %lld seconds off the server's; its punches are listed to correct",
                 qPrintable(journal.terminalId()), static_cast<long long>(off));
        db.recordClockOff(journal.terminalId(), off);
    }
    journal.replacePersons(db.personsByName());
    return off;
}

std::function<bool(const RecordSet&)> toggleLeavesOpen(const JournalEntry& entry, int longestHours) {
    // As at the terminal, by the time the badge was read rather than the time it arrives.
    const QDateTime read(entry.day, DateTexts::parseClockTime(entry.time).value_or(QTime(0, 0)));
    return [read, longestHours](const RecordSet& open) {
        return TerminalPunch::openLongerThan(open, read, longestHours);
    };
}

namespace {
// Punches delivered in one transaction: far fewer round trips and commits than one at a time, while
// the persons they name wait for it only briefly.
constexpr int kBatch = 100;
} // namespace

Result deliverWaiting(Journal& journal, AttendanceDatabase& db) {
    Result result;
    // Removed from the journal after each commit: a punch the server committed and the journal still
    // holds (a crash in between) is found by its receipt when it is delivered again.
    std::vector<qint64> committed;
    const auto removeCommitted = [&] {
        journal.remove(committed);
        committed.clear();
    };
    const auto stored = [&](qint64 sequence, DeliveryOutcome outcome) {
        committed.push_back(sequence);
        ++result.delivered;
        result.toCorrect += outcome == DeliveryOutcome::StoredToCorrect ? 1 : 0;
    };
    try {
        const QString clockReason = OfflinePunching::clockReason(connected(journal, db));
        const int longest = Hours::readRules(db).longRecordMinutes / 60;
        for (std::vector<JournalEntry> entries = journal.waiting(kBatch); !entries.empty();
             entries = journal.waiting(kBatch)) {
            std::vector<DeliveredPunch> punches;
            std::vector<std::function<bool(const RecordSet&)>> leaveOpen;
            for (const JournalEntry& entry : entries) {
                punches.push_back({journal.terminalId(), entry.sequence, entry.kind, entry.number, entry.day,
                                   entry.time, entry.toCorrect.isEmpty() ? clockReason : entry.toCorrect,
                                   entry.toggle});
                leaveOpen.push_back(toggleLeavesOpen(entry, longest));
            }
            std::vector<DeliveryOutcome> outcomes;
            try {
                outcomes = db.deliverAll(punches, leaveOpen);
            } catch (const DatabaseError& e) {
                if (OfflinePunching::serverAway(e))
                    throw;
                // The batch was rolled back (a punch the server would not take, two deliveries
                // waiting for each other): one punch a transaction, so that those before the one at
                // fault still get through and delivery stops at it.
                for (size_t i = 0; i < punches.size(); ++i)
                    stored(punches[i].sequence, db.deliver(punches[i], true, leaveOpen[i]));
            }
            for (size_t i = 0; i < outcomes.size(); ++i)
                stored(punches[i].sequence, outcomes[i]);
            removeCommitted();
        }
    } catch (const DatabaseError& e) {
        result.serverAway = OfflinePunching::serverAway(e);
        result.failure = QString::fromUtf8(e.what());
    } catch (const std::exception& e) {
        result.failure = QString::fromUtf8(e.what());
    }
    try {
        removeCommitted();
        result.left = journal.waitingCount();
        if (result.delivered > 0)
            journal.noteDelivery(SystemClock::now(), describe(result));
    } catch (const std::exception& e) {
        if (result.failure.isEmpty())
            result.failure = QString::fromUtf8(e.what());
    }
    return result;
}

QString describe(const Result& result) {
    QString text = QStringLiteral("%1 delivered (%2 to correct), %3 waiting")
                       .arg(result.delivered)
                       .arg(result.toCorrect)
                       .arg(result.left);
    if (!result.failure.isEmpty())
        text +=
            (result.serverAway ? QStringLiteral("; the server is away: ") : QStringLiteral("; stopped: ")) +
            result.failure;
    return text;
}

} // namespace Delivery

DeliveryWorker::DeliveryWorker(QString databaseUrl, QString journalFolder)
    : m_url(std::move(databaseUrl)), m_folder(std::move(journalFolder)) {}

DeliveryWorker::~DeliveryWorker() = default;

void DeliveryWorker::start() {
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &DeliveryWorker::deliverNow);
    deliverNow();
}

void DeliveryWorker::stop() {
    m_stopped = true;
    delete m_timer;
    m_timer = nullptr;
    m_db.reset();
    m_journal.reset();
}

void DeliveryWorker::deliverNow() {
    if (m_stopped)
        return;
    Delivery::Result result;
    try {
        if (!m_journal)
            m_journal = std::make_unique<Journal>(m_folder);
        if (!m_db) {
            m_db = std::make_unique<AttendanceDatabase>();
            m_db->openServer(m_url);
        }
        result = Delivery::deliverWaiting(*m_journal, *m_db);
    } catch (const DatabaseError& e) {
        // The first connection failed; the next round connects again.
        m_db.reset();
        result.serverAway = OfflinePunching::serverAway(e);
        result.failure = QString::fromUtf8(e.what());
    } catch (const std::exception& e) {
        result.failure = QString::fromUtf8(e.what());
    }
    if (m_journal) {
        try {
            result.left = m_journal->waitingCount();
        } catch (const std::exception&) {
        }
    }
    // The log hears of each delivery and of each new reason it stopped, not of every retry.
    if (result.delivered > 0 || result.failure != m_lastFailure)
        qInfo("Journal: %s", qPrintable(Delivery::describe(result)));
    m_lastFailure = result.failure;
    emit progress(result.left, result.serverAway);
    if (m_timer)
        m_timer->start(result.left > 0 || !result.failure.isEmpty() ? kRetryMs : kQuietMs);
}
