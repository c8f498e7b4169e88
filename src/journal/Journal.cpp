#include "journal/Journal.h"

#include "data/SettingsStore.h"
#include "platform/SystemClock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <SQLiteCpp/Transaction.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::runtime_error failure(const QString& text) {
    return std::runtime_error(text.toStdString());
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The folder only this account may enter. A link or another account's folder in its place is refused
// rather than used: the journal holds password hashes.
void makePrivateFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (!QDir().mkpath(info.absolutePath()))
        throw failure(QStringLiteral("The folder %1 for this terminal's journal cannot be made.")
                          .arg(info.absolutePath()));
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        throw failure(QStringLiteral("The journal folder %1 cannot be made: %2").arg(folder, systemError()));
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw failure(QStringLiteral("The journal folder %1 cannot be opened (it must be a folder, not a "
                                     "link): %2")
                          .arg(folder, systemError()));
    struct stat st {};
    const bool ours = ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid();
    const bool closed = ours && ::fchmod(fd, 0700) == 0;
    ::close(fd);
    if (!closed)
        throw failure(QStringLiteral("The journal folder %1 belongs to another account or cannot be made "
                                     "private to this one.")
                          .arg(folder));
}

// The file, made readable and writable by this account alone before anything is written to it.
void makePrivateFile(const QString& file) {
    const QByteArray path = QFile::encodeName(file);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        throw failure(QStringLiteral("The journal %1 cannot be opened: %2").arg(file, systemError()));
    const bool closed = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    if (!closed)
        throw failure(QStringLiteral("The journal %1 cannot be made private: %2").arg(file, systemError()));
}

const char* const kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS Terminal (
    Id              TEXT NOT NULL,
    ClockOffSeconds INTEGER NOT NULL DEFAULT 0,
    LastDelivery    TEXT
);
CREATE TABLE IF NOT EXISTS Waiting (
    Sequence   INTEGER PRIMARY KEY AUTOINCREMENT,
    Direction  TEXT NOT NULL,
    EmployeeNo TEXT NOT NULL,
    LogDate    TEXT NOT NULL,
    Time       TEXT NOT NULL,
    TakenAt    TEXT NOT NULL,
    ToCorrect  TEXT
);
CREATE TABLE IF NOT EXISTS Persons (
    NumberKey  TEXT NOT NULL,
    EmployeeNo TEXT NOT NULL,
    Name       TEXT,
    Password   TEXT,
    IsAdmin    INTEGER NOT NULL DEFAULT 0,
    BadgeCode  TEXT
);
CREATE INDEX IF NOT EXISTS idxPersonsKey ON Persons (NumberKey);
CREATE INDEX IF NOT EXISTS idxPersonsBadge ON Persons (BadgeCode);
CREATE TABLE IF NOT EXISTS LoginFailures (
    NumberKey TEXT PRIMARY KEY,
    Failures  INTEGER NOT NULL,
    Since     TEXT NOT NULL
);
)SQL";

QString randomId() {
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex());
}

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString textOf(const SQLite::Column& column) {
    return column.isNull() ? QString() : QString::fromStdString(column.getString());
}

std::string keyOf(const QString& number) {
    return utf8(number.toCaseFolded());
}

} // namespace

template <typename Work> auto Journal::guarded(const char* what, Work work) {
    try {
        return work();
    } catch (const SQLite::Exception& e) {
        throw failure(QStringLiteral("This terminal's journal %1 could not be %2: %3")
                          .arg(m_path, QString::fromLatin1(what), QString::fromUtf8(e.what())));
    }
}

Journal::Journal(const QString& folder) : m_path(QDir(folder).filePath(QStringLiteral("journal.db"))) {
    makePrivateFolder(folder);
    makePrivateFile(m_path);
    guarded("opened", [&] {
        m_db = std::make_unique<SQLite::Database>(utf8(m_path),
                                                  SQLite::OPEN_READWRITE | SQLite::OPEN_NOFOLLOW, 5000);
        // Write-ahead with a sync at every commit: a punch acknowledged is on the disk, and the
        // window and the background delivery do not hold each other up.
        m_db->exec("PRAGMA journal_mode = WAL");
        m_db->exec("PRAGMA synchronous = FULL");
        SQLite::Transaction transaction(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        m_db->exec(kSchema);
        if (m_db->execAndGet("SELECT count(*) FROM Terminal").getInt() == 0) {
            SQLite::Statement insert(*m_db, "INSERT INTO Terminal (Id) VALUES (?)");
            insert.bind(1, utf8(randomId()));
            insert.exec();
        }
        m_terminalId = QString::fromStdString(m_db->execAndGet("SELECT Id FROM Terminal").getString());
        transaction.commit();
    });
}

Journal::~Journal() = default;

QString Journal::defaultFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("tallyclock-suite/journal"));
}

qint64 Journal::append(std::optional<PunchKind> kind, const QString& number, const QDate& day,
                       const QString& time, const QString& toCorrect) {
    return guarded("written", [&] {
        SQLite::Statement insert(*m_db, "INSERT INTO Waiting (Direction, EmployeeNo, LogDate, Time, TakenAt, "
                                        "ToCorrect) VALUES (?, ?, ?, ?, ?, ?)");
        insert.bind(1, !kind ? "toggle" : *kind == PunchKind::In ? "in" : "out");
        insert.bind(2, utf8(number));
        insert.bind(3, utf8(day.toString(Qt::ISODate)));
        insert.bind(4, utf8(time));
        insert.bind(5, utf8(SystemClock::now().toUTC().toString(Qt::ISODateWithMs)));
        if (toCorrect.isEmpty())
            insert.bind(6);
        else
            insert.bind(6, utf8(toCorrect));
        insert.exec();
        return static_cast<qint64>(m_db->getLastInsertRowid());
    });
}

std::vector<JournalEntry> Journal::waiting(int limit) {
    return guarded("read", [&] {
        SQLite::Statement select(*m_db, "SELECT Sequence, Direction, EmployeeNo, LogDate, Time, TakenAt, "
                                        "ToCorrect FROM Waiting ORDER BY Sequence LIMIT ?");
        select.bind(1, limit > 0 ? limit : -1);
        std::vector<JournalEntry> entries;
        while (select.executeStep()) {
            const std::string direction = select.getColumn(1).getString();
            entries.push_back(
                {select.getColumn(0).getInt64(), direction == "in" ? PunchKind::In : PunchKind::Out,
                 direction == "toggle", textOf(select.getColumn(2)),
                 QDate::fromString(textOf(select.getColumn(3)), Qt::ISODate), textOf(select.getColumn(4)),
                 textOf(select.getColumn(5)), textOf(select.getColumn(6))});
        }
        return entries;
    });
}

int Journal::waitingCount() {
    return guarded("read", [&] { return m_db->execAndGet("SELECT count(*) FROM Waiting").getInt(); });
}

void Journal::remove(const std::vector<qint64>& sequences) {
    guarded("written", [&] {
        SQLite::Transaction transaction(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement deleteOne(*m_db, "DELETE FROM Waiting WHERE Sequence = ?");
        for (const qint64 sequence : sequences) {
            deleteOne.bind(1, static_cast<int64_t>(sequence));
            deleteOne.exec();
            deleteOne.reset();
        }
        transaction.commit();
    });
}

void Journal::noteDelivery(const QDateTime& at, const QString& outcome) {
    guarded("written", [&] {
        SQLite::Statement update(*m_db, "UPDATE Terminal SET LastDelivery = ?");
        update.bind(1, utf8(at.toUTC().toString(Qt::ISODate) + QLatin1Char(' ') + outcome));
        update.exec();
    });
}

QString Journal::lastDelivery() {
    return guarded("read", [&] { return textOf(m_db->execAndGet("SELECT LastDelivery FROM Terminal")); });
}

void Journal::setClockOff(qint64 seconds) {
    guarded("written", [&] {
        SQLite::Statement update(*m_db, "UPDATE Terminal SET ClockOffSeconds = ?");
        update.bind(1, static_cast<int64_t>(seconds));
        update.exec();
    });
}

qint64 Journal::clockOff() {
    return guarded("read",
                   [&] { return m_db->execAndGet("SELECT ClockOffSeconds FROM Terminal").getInt64(); });
}

void Journal::replacePersons(RecordSet persons) {
    guarded("written", [&] {
        SQLite::Transaction transaction(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        m_db->exec("DELETE FROM Persons");
        SQLite::Statement insert(*m_db,
                                 "INSERT INTO Persons (NumberKey, EmployeeNo, Name, Password, IsAdmin, "
                                 "BadgeCode) VALUES (?, ?, ?, ?, ?, ?)");
        for (; !persons.eof(); persons.moveNext()) {
            const QString number = persons.text(QStringLiteral("EmployeeNo"));
            insert.bind(1, keyOf(number));
            insert.bind(2, utf8(number));
            insert.bind(3, utf8(persons.text(QStringLiteral("Name"))));
            // Only what the server stores, which is the hash; a Null password stays Null.
            if (persons.isNull(QStringLiteral("Password")))
                insert.bind(4);
            else
                insert.bind(4, utf8(persons.text(QStringLiteral("Password"))));
            insert.bind(5, persons.value(QStringLiteral("IsAdmin")).toInt());
            if (persons.isNull(QStringLiteral("BadgeCode")))
                insert.bind(6);
            else
                insert.bind(6, utf8(persons.text(QStringLiteral("BadgeCode"))));
            insert.exec();
            insert.reset();
        }
        transaction.commit();
    });
}

int Journal::personCount() {
    return guarded("read", [&] { return m_db->execAndGet("SELECT count(*) FROM Persons").getInt(); });
}

namespace {
// The persons' rows as the catalogue's look-ups give them.
RecordSet personsOf(SQLite::Statement& select) {
    RecordSet::Builder rows({{QStringLiteral("EmployeeNo"), RecordSet::Kind::Text},
                             {QStringLiteral("Name"), RecordSet::Kind::Text},
                             {QStringLiteral("Password"), RecordSet::Kind::Text},
                             {QStringLiteral("IsAdmin"), RecordSet::Kind::Integer},
                             {QStringLiteral("BadgeCode"), RecordSet::Kind::Text}});
    while (select.executeStep()) {
        for (int c = 0; c < 5; ++c) {
            const SQLite::Column column = select.getColumn(c);
            if (column.isNull())
                rows.addNull();
            else
                rows.addText(column.getString());
        }
    }
    return rows.finish();
}
} // namespace

RecordSet Journal::personByNumber(const QString& number) {
    return guarded("read", [&] {
        SQLite::Statement select(*m_db, "SELECT EmployeeNo, Name, Password, IsAdmin, BadgeCode FROM Persons "
                                        "WHERE NumberKey = ?");
        select.bind(1, keyOf(number));
        return personsOf(select);
    });
}

RecordSet Journal::personByBadge(const QString& code) {
    return guarded("read", [&] {
        // Exactly as the server compares badge codes: letter case counts.
        SQLite::Statement select(*m_db, "SELECT EmployeeNo, Name, Password, IsAdmin, BadgeCode FROM Persons "
                                        "WHERE BadgeCode = ?");
        select.bind(1, utf8(code));
        return personsOf(select);
    });
}

Throttle::State Journal::loginFailures(const QString& number) {
    return guarded("read", [&] {
        SQLite::Statement select(*m_db, "SELECT Failures, Since FROM LoginFailures WHERE NumberKey = ?");
        select.bind(1, keyOf(number));
        if (!select.executeStep())
            return Throttle::State{};
        return Throttle::State{select.getColumn(0).getInt(),
                               EngineText::momentFromStored(textOf(select.getColumn(1)))};
    });
}

QDateTime Journal::countingMoment() const {
    return SystemClock::now();
}

void Journal::recordLoginFailure(const QString& number, const QDateTime& now) {
    guarded("written", [&] {
        SQLite::Transaction transaction(*m_db, SQLite::TransactionBehavior::IMMEDIATE);
        const Throttle::State next = Throttle::afterFailure(loginFailures(number), now);
        SQLite::Statement upsert(*m_db, "INSERT OR REPLACE INTO LoginFailures (NumberKey, Failures, Since) "
                                        "VALUES (?, ?, ?)");
        upsert.bind(1, keyOf(number));
        upsert.bind(2, next.failures);
        upsert.bind(3, utf8(EngineText::storedMoment(next.since)));
        upsert.exec();
        transaction.commit();
    });
}

void Journal::clearLoginFailures(const QString& number) {
    guarded("written", [&] {
        SQLite::Statement forget(*m_db, "DELETE FROM LoginFailures WHERE NumberKey = ?");
        forget.bind(1, keyOf(number));
        forget.exec();
    });
}

namespace OfflinePunching {

bool enabled() {
    if (SettingsStore::databaseUrl().isEmpty())
        return false;
    try {
        return SettingsStore::readFlag(QStringLiteral("OfflinePunching"), 1);
    } catch (const std::exception&) {
        return true; // an unreadable setting keeps the safer behaviour: nothing is lost
    }
}

bool serverAway(const DatabaseError& error) {
    using Kind = DatabaseError::Kind;
    return error.kind() == Kind::Unreachable || error.kind() == Kind::NotOpen ||
           error.kind() == Kind::Interrupted;
}

QString clockReason(qint64 offSeconds) {
    if (offSeconds <= kClockToleranceSeconds && offSeconds >= -kClockToleranceSeconds)
        return QString();
    return QStringLiteral("Taken while the terminal's clock was %1 minutes %2 the server's.")
        .arg((offSeconds < 0 ? -offSeconds : offSeconds) / 60)
        .arg(offSeconds < 0 ? QStringLiteral("behind") : QStringLiteral("ahead of"));
}

QString waitingText(int waiting) {
    return waiting > 0 ? QStringLiteral("Offline: %1 punches waiting").arg(waiting) : QString();
}

} // namespace OfflinePunching
