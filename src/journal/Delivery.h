#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class AttendanceDatabase;
class Journal;
class RecordSet;
struct JournalEntry;
class QTimer;

// Sending the journal's punches to the server.
namespace Delivery {

struct Result {
    int delivered = 0; // stored now, or found stored by an earlier delivery
    int toCorrect = 0; // of those, stored as records to correct
    int left = 0;      // still waiting
    bool serverAway = false;
    QString failure; // why delivery stopped early; "" when nothing stopped it
};

// What a successful connection does first: compares this terminal's clock with the server's (a
// difference past the tolerance is logged and shown to an administrator in the audit trail, once
// each time it appears) and refreshes the local copy of the persons. Returns the clock's offset in
// seconds. Throws DatabaseError like any statement.
qint64 connected(Journal& journal, AttendanceDatabase& db);

// What a badge's punch taken at `entry` leaves open when it arrives: an open record older than the
// longest a record may be.
std::function<bool(const RecordSet&)> toggleLeavesOpen(const JournalEntry& entry, int longestHours);

// connected(), then the waiting punches oldest first, each removed once the server committed it. A
// punch the rules refuse is stored to correct and delivery goes on; a failure stops it where it
// is, so that the order holds. Never throws for the database: the failure is in the result.
Result deliverWaiting(Journal& journal, AttendanceDatabase& db);

// The one-line account `journal` prints and the log keeps.
QString describe(const Result& result);

} // namespace Delivery

// The background delivery of a terminal on a server: a thread of its own with its own connection,
// so that a server that does not answer never freezes the window. It tries every few seconds while
// punches wait or the server is away, at once when asked, and otherwise now and then to keep the
// local copy and the clock check fresh.
class DeliveryWorker : public QObject {
    Q_OBJECT
public:
    DeliveryWorker(QString databaseUrl, QString journalFolder);
    ~DeliveryWorker() override;

    static constexpr int kRetryMs = 3000;
    static constexpr int kQuietMs = 60000;

public slots:
    // Starts the timer; call in the worker's thread.
    void start();
    // One round now.
    void deliverNow();
    // No more rounds; call in the worker's thread, before it ends.
    void stop();

signals:
    // After every round: how many punches wait, and whether the server could be reached.
    void progress(int waiting, bool serverAway);

private:
    QString m_url;
    QString m_folder;
    std::unique_ptr<AttendanceDatabase> m_db;
    std::unique_ptr<Journal> m_journal;
    QTimer* m_timer = nullptr;
    QString m_lastFailure;
    bool m_stopped = false;
};
