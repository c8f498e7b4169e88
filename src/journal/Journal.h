#pragma once

#include "credentials/Throttle.h"
#include "data/DatabaseEngine.h"
#include "data/RecordSet.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace SQLite {
class Database;
}

// A punch as the terminal took it, waiting in its journal until the server has it.
struct JournalEntry {
    qint64 sequence = 0;
    PunchKind kind = PunchKind::In;
    bool toggle = false; // a badge's punch: the server's records decide its direction on arrival
    QString number;
    QDate day;         // as the clock showed it
    QString time;      // as the clock showed it
    QString takenAt;   // the terminal's clock, UTC, ISO 8601
    QString toCorrect; // not empty: listed to correct on arrival, with this reason
};

// The terminal's own file beside the server: the punches not yet delivered and the local copy of the
// persons. It lives in a folder only the terminal's account can enter (0700), the file readable by it
// alone (0600), outside the shared data folder and so outside its backups. Each punch is on disk
// (synced) before append() returns. Nothing in it expires: an entry goes only once the server has
// committed it. Several connections (the window and the background delivery) may share the file.
// Failures throw std::runtime_error with the description the error box shows.
class Journal {
public:
    // The file in `folder`, made on first use; the folder is made too when missing.
    explicit Journal(const QString& folder = defaultFolder());
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // $XDG_DATA_HOME/tallyclock-suite/journal (~/.local/share/... when it is not set).
    static QString defaultFolder();
    QString path() const { return m_path; }

    // A random id made when the file was made, the terminal's name in every delivery.
    QString terminalId() const { return m_terminalId; }

    // Writes the punch (no direction: a badge's toggle) and syncs it to disk; returns its sequence
    // number, one past any this terminal ever used.
    qint64 append(std::optional<PunchKind> kind, const QString& number, const QDate& day, const QString& time,
                  const QString& toCorrect = QString());
    // The waiting punches, oldest first; at most `limit` of them when it is positive.
    std::vector<JournalEntry> waiting(int limit = 0);
    int waitingCount();
    // Forgets punches the server has committed, in one write.
    void remove(const std::vector<qint64>& sequences);
    void remove(qint64 sequence) { remove(std::vector<qint64>{sequence}); }

    // The last delivery: when it was, and what became of it ("" when there was none).
    void noteDelivery(const QDateTime& at, const QString& outcome);
    QString lastDelivery();

    // How far the terminal's clock was off the server's at the last connection (terminal minus server).
    void setClockOff(qint64 seconds);
    qint64 clockOff();

    // The local copy of the persons: replaced as a whole from a read of every person (number, name,
    // password hash, administrator flag, badge code).
    void replacePersons(RecordSet persons);
    int personCount();
    // The catalogue's look-ups the password check makes, on the local copy: numbers match without
    // regard to letter case; the wrong passwords are counted on this terminal.
    RecordSet personByNumber(const QString& number);
    // The person whose badge code is exactly `code`.
    RecordSet personByBadge(const QString& code);
    Throttle::State loginFailures(const QString& number);
    // The terminal's own clock: the count is this terminal's alone.
    QDateTime countingMoment() const;
    void recordLoginFailure(const QString& number, const QDateTime& now);
    void clearLoginFailures(const QString& number);

private:
    template <typename Work> auto guarded(const char* what, Work work);

    QString m_path;
    QString m_terminalId;
    std::unique_ptr<SQLite::Database> m_db;
};

// Whether a punch that cannot reach the server is kept in the journal: only with a server, and
// unless the setting OfflinePunching says False.
namespace OfflinePunching {
bool enabled();
// A failure that means the server is away rather than that it refused: it could not be reached in
// time, the connection is gone, or a statement did not answer within its deadline.
bool serverAway(const DatabaseError& error);
// A clock further off than this marks the punches to correct.
constexpr qint64 kClockToleranceSeconds = 2 * 60;
// The reason a punch taken with the clock that far off carries; "" within the tolerance.
QString clockReason(qint64 offSeconds);
// What the person hears when the punch stays on the terminal.
inline const QString kSavedHere =
    QStringLiteral("Saved on this terminal; it will be sent when the server is back.");
// What the administrator buttons say instead of opening their windows while the server is away.
inline const QString kNeedsServer =
    QStringLiteral("This window needs the attendance database server, which cannot be reached now. "
                   "Punches are kept on this terminal meanwhile.");
// What the main window shows while punches wait; "" when none do.
QString waitingText(int waiting);
} // namespace OfflinePunching
