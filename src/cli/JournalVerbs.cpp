#include "cli/Verb.h"
#include "data/AttendanceDatabase.h"
#include "data/SettingsStore.h"
#include "journal/Delivery.h"
#include "journal/Journal.h"

#include <QTextStream>

namespace CommandLine {

namespace {

QString directionOf(PunchKind kind) {
    return kind == PunchKind::In ? QStringLiteral("in") : QStringLiteral("out");
}

int showJournal(const Invocation& call) {
    Journal journal;
    if (call.has(QStringLiteral("deliver"))) {
        const QString url = SettingsStore::databaseUrl();
        Delivery::Result result;
        if (url.isEmpty()) {
            result.failure = QStringLiteral("no server is configured (DatabaseUrl)");
        } else {
            AttendanceDatabase db;
            try {
                db.openServer(url);
                result = Delivery::deliverWaiting(journal, db);
            } catch (const DatabaseError& e) {
                result.serverAway = OfflinePunching::serverAway(e);
                result.failure = QString::fromUtf8(e.what());
            }
        }
        result.left = journal.waitingCount();
        call.out() << Delivery::describe(result) << '\n';
        return result.left == 0 ? Success : DatabaseFailure;
    }
    call.out() << "Terminal: " << journal.terminalId() << '\n';
    const std::vector<JournalEntry> waiting = journal.waiting();
    call.out() << "Waiting: " << waiting.size() << '\n';
    for (const JournalEntry& entry : waiting) {
        call.out() << "  " << entry.sequence << '\t' << entry.number << '\t' << directionOf(entry.kind)
                   << '\t' << entry.day.toString(Qt::ISODate) << '\t' << entry.time;
        if (!entry.toCorrect.isEmpty())
            call.out() << '\t' << entry.toCorrect;
        call.out() << '\n';
    }
    const QString last = journal.lastDelivery();
    call.out() << "Last delivery: " << (last.isEmpty() ? QStringLiteral("none") : last) << '\n';
    return Success;
}

} // namespace

Verb journalVerb() {
    return {
        QStringLiteral("journal"),
        {},
        {{QStringLiteral("deliver"), {}, QStringLiteral("send the waiting punches to the server now")}},
        QStringLiteral("Show this terminal's journal of punches not yet on the server"),
        QStringLiteral("Prints the terminal's id, the punches waiting (oldest first) and the last delivery.\n"
                       "With --deliver it sends them now and exits with 0 when nothing is left waiting,\n"
                       "1 otherwise."),
        showJournal};
}

} // namespace CommandLine
