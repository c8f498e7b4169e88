#include "data/DatabaseEngine.h"

#include "platform/SystemClock.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <algorithm>

DatabaseError::DatabaseError(Kind kind, const QString& description)
    : std::runtime_error(description.toStdString()), m_kind(kind) {}

const QStringList& AuditWhat::all() {
    static const QStringList kinds = {PunchIn,          PunchOut,        RecordCorrected, RecordAdded,
                                      RecordDeleted,    PersonAdded,     PersonUpdated,   PersonDeleted,
                                      TriggersRestored, PayRulesChanged, PunchToCorrect,  ClockOff};
    return kinds;
}

AuditStamp stampNow(const QString& who) {
    return {SystemClock::now().toUTC().toString(Qt::ISODate), QSysInfo::machineHostName(), who};
}

namespace {

using Kind = DatabaseError::Kind;

QJsonValue field(const RecordSet& rs, const QString& name) {
    const QVariant value = rs.value(name);
    if (!value.isValid())
        return QJsonValue::Null;
    if (value.typeId() == QMetaType::QDate)
        return value.toDate().toString(Qt::ISODate);
    if (value.typeId() == QMetaType::LongLong)
        return value.toLongLong();
    return value.toString();
}

QJsonObject fieldsOf(const RecordSet& rs, const QStringList& names) {
    QJsonObject object;
    for (const QString& name : names)
        object.insert(name, field(rs, name));
    return object;
}

// The values of a record as the audit keeps them.
QJsonObject recordJson(const RecordSet& rs) {
    return fieldsOf(rs, {QStringLiteral("RecordId"), QStringLiteral("EmployeeNo"), QStringLiteral("LogDate"),
                         QStringLiteral("TimeIn"), QStringLiteral("TimeOut")});
}

// A person's values without the password.
QJsonObject personJson(const RecordSet& rs) {
    return fieldsOf(rs, {QStringLiteral("EmployeeNo"), QStringLiteral("Name"), QStringLiteral("Department"),
                         QStringLiteral("Position"), QStringLiteral("IsAdmin")});
}

QString compact(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// One record as an object, several as an array.
QString compact(const QJsonArray& records) {
    if (records.size() == 1)
        return compact(records.first().toObject());
    return QString::fromUtf8(QJsonDocument(records).toJson(QJsonDocument::Compact));
}

// The rows of `rs` that `keep` accepts, and the identity of the first of them.
template <typename Keep> QJsonArray recordsWhere(RecordSet rs, Keep keep, std::optional<qint64>& firstId) {
    QJsonArray records;
    for (; !rs.eof(); rs.moveNext()) {
        if (!keep(rs))
            continue;
        if (records.isEmpty())
            firstId = rs.value(QStringLiteral("RecordId")).toLongLong();
        records.append(recordJson(rs));
    }
    return records;
}

qint64 idOf(const QJsonValue& record) {
    return record.toObject().value(QStringLiteral("RecordId")).toInteger();
}

// Whether the stored record is the one a list showed: the same person, day and times (no time out
// and an empty one look alike in a list).
bool isListed(const RecordSet& stored, const RecordFields& listed) {
    return stored.text(QStringLiteral("EmployeeNo")) == listed.number &&
           stored.value(QStringLiteral("LogDate")).toDate() == listed.day &&
           stored.text(QStringLiteral("TimeIn")) == listed.timeIn &&
           stored.text(QStringLiteral("TimeOut")) == listed.timeOut.value_or(QString());
}

DatabaseError notAsListed(qint64 id, const RecordFields& listed) {
    return DatabaseError(
        Kind::Other, QStringLiteral("The record %1 is no longer the one listed (%2 on %3, in at %4); another "
                                    "terminal has changed it meanwhile. Show the list again and choose "
                                    "the record anew; nothing was saved.")
                         .arg(id)
                         .arg(listed.number, listed.day.toString(Qt::ISODate), listed.timeIn));
}

DatabaseError recordGone(qint64 id) {
    return DatabaseError(
        Kind::Other,
        QStringLiteral("The record %1 no longer exists; another terminal may have deleted it.").arg(id));
}

} // namespace

void DatabaseEngine::audited(const QString& number, const AuditStamp& stamp,
                             const std::function<void()>& work) {
    serialisedForPerson(number, [&] {
        claim(stamp);
        work();
    });
}

void DatabaseEngine::writeAudit(const AuditEntry& entry) {
    if (!auditsItself())
        appendAudit(entry);
}

PunchOutcome DatabaseEngine::punch(PunchKind kind, const QString& number, const QDate& day,
                                   const QString& time, const AuditStamp& stamp) {
    EngineText::isoDay(day); // an invalid day fails before anything is locked
    PunchOutcome outcome = PunchOutcome::Written;
    std::vector<qint64> written;
    audited(number, stamp, [&] { outcome = punchLocked(kind, number, day, time, stamp, written); });
    return outcome;
}

PunchOutcome DatabaseEngine::punchLocked(PunchKind kind, const QString& number, const QDate& day,
                                         const QString& time, const AuditStamp& stamp,
                                         std::vector<qint64>& written) {
    RecordSet latest = latestRecordOfPerson(number);
    AuditEntry entry{stamp, {}, {}, number, {}, {}};
    // A database that writes its own rows needs none of the reads that only feed the program's row.
    if (kind == PunchKind::In) {
        if (!latest.eof() && latest.text(QStringLiteral("TimeOut")).isEmpty())
            return PunchOutcome::AlreadyIn;
        const qint64 id = punchIn(number, day, time);
        written.push_back(id);
        if (auditsItself())
            return PunchOutcome::Written;
        entry.what = AuditWhat::PunchIn;
        entry.recordId = id;
        entry.after = compact(recordJson(recordById(id)));
    } else {
        if (latest.eof())
            return PunchOutcome::NotYetIn;
        const auto isOpen = [](const RecordSet& rs) { return rs.isNull(QStringLiteral("TimeOut")); };
        const QJsonArray before =
            auditsItself() ? QJsonArray() : recordsWhere(recordsOfPerson(number), isOpen, entry.recordId);
        const std::vector<qint64> closed = punchOut(number, day, time);
        written.insert(written.end(), closed.begin(), closed.end());
        if (closed.empty() || auditsItself())
            return PunchOutcome::Written; // nothing was open, nothing changed; or the row is written
        QJsonArray after;
        for (const QJsonValue& record : before)
            after.append(recordJson(recordById(idOf(record))));
        entry.what = AuditWhat::PunchOut;
        entry.before = compact(before);
        entry.after = compact(after);
    }
    writeAudit(entry);
    return PunchOutcome::Written;
}

namespace {
// Why a delivered punch that the rules refused is kept to correct.
QString refusalReason(PunchKind kind, const QString& terminal) {
    return kind == PunchKind::In
               ? QStringLiteral("Punched in on terminal %1 while already in; delivered after the server "
                                "was away.")
                     .arg(terminal)
               : QStringLiteral("Punched out on terminal %1 with no open record; delivered after the "
                                "server was away.")
                     .arg(terminal);
}
} // namespace

void DatabaseEngine::auditToCorrect(qint64 id, const QString& number, const QString& reason,
                                    const AuditStamp& stamp) {
    if (auditsItself())
        return; // the server's trigger writes the row from the record's change
    QJsonObject after = recordJson(recordById(id));
    after.insert(QStringLiteral("ToCorrect"), reason);
    appendAudit({stamp, AuditWhat::PunchToCorrect, id, number, {}, compact(after)});
}

DeliveryOutcome DatabaseEngine::deliver(const DeliveredPunch& p, bool keepRefused, const AuditStamp& stamp,
                                        const std::function<bool(const RecordSet&)>& leaveOpen,
                                        TogglePunch* toggled) {
    EngineText::isoDay(p.day);
    DeliveryOutcome outcome = DeliveryOutcome::Stored;
    audited(p.number, stamp, [&] {
        outcome = hasReceipt(p.terminal, p.sequence)
                      ? DeliveryOutcome::AlreadyStored
                      : deliverLocked(p, keepRefused, stamp, leaveOpen, toggled);
    });
    return outcome;
}

std::vector<DeliveryOutcome>
DatabaseEngine::deliverAll(const std::vector<DeliveredPunch>& punches, const AuditStamp& stamp,
                           const std::vector<std::function<bool(const RecordSet&)>>& leaveOpen) {
    QStringList numbers;
    std::vector<qint64> sequences;
    for (const DeliveredPunch& p : punches) {
        EngineText::isoDay(p.day); // an invalid day fails before anything is locked
        if (p.terminal != punches.front().terminal)
            throw DatabaseError(Kind::Other, QStringLiteral("Punches of several terminals cannot be "
                                                            "delivered together."));
        numbers << p.number;
        sequences.push_back(p.sequence);
    }
    std::vector<DeliveryOutcome> outcomes;
    if (punches.empty())
        return outcomes;
    serialisedForPersons(numbers, [&] {
        std::set<qint64> stored = receiptsOf(punches.front().terminal, sequences);
        for (size_t i = 0; i < punches.size(); ++i) {
            const DeliveredPunch& p = punches[i];
            if (!stored.insert(p.sequence).second) {
                outcomes.push_back(DeliveryOutcome::AlreadyStored);
                continue;
            }
            // Each punch's audit rows name the person punching; the claim holds until the next one.
            AuditStamp by = stamp;
            by.who = p.number;
            claim(by);
            outcomes.push_back(
                deliverLocked(p, true, by, i < leaveOpen.size() ? leaveOpen[i] : nullptr, nullptr));
        }
    });
    return outcomes;
}

std::set<qint64> DatabaseEngine::receiptsOf(const QString& terminal, const std::vector<qint64>& sequences) {
    std::set<qint64> stored;
    for (const qint64 sequence : sequences)
        if (hasReceipt(terminal, sequence))
            stored.insert(sequence);
    return stored;
}

DeliveryOutcome DatabaseEngine::deliverLocked(const DeliveredPunch& p, bool keepRefused,
                                              const AuditStamp& stamp,
                                              const std::function<bool(const RecordSet&)>& leaveOpen,
                                              TogglePunch* toggled) {
    addReceipt(p.terminal, p.sequence);
    std::vector<qint64> written;
    PunchOutcome punched = PunchOutcome::Written;
    if (p.toggle) {
        const TogglePunch done = toggleLocked(p.number, p.day, p.time, stamp, leaveOpen, written);
        if (toggled)
            *toggled = done;
    } else
        punched = punchLocked(p.kind, p.number, p.day, p.time, stamp, written);
    // An "out" that found nothing open changes nothing; at the clock the person saw that, a
    // delivered one would vanish without a trace.
    const bool outOfNothing = !p.toggle && p.kind == PunchKind::Out && written.empty();
    if (punched == PunchOutcome::Written && !(outOfNothing && keepRefused)) {
        if (p.toCorrect.isEmpty() || written.empty())
            return DeliveryOutcome::Stored;
        for (const qint64 id : written) {
            markToCorrect(p, id, p.toCorrect);
            auditToCorrect(id, p.number, p.toCorrect, stamp);
        }
        return DeliveryOutcome::StoredToCorrect;
    }
    if (!keepRefused)
        return DeliveryOutcome::Refused;
    // Never dropped: the punch is kept as it was taken, where an administrator sees it.
    QString reason = refusalReason(p.kind, stamp.terminal);
    if (!p.toCorrect.isEmpty())
        reason += QLatin1Char(' ') + p.toCorrect;
    auditToCorrect(storeRefused(p, reason), p.number, reason, stamp);
    return DeliveryOutcome::StoredToCorrect;
}

TogglePunch DatabaseEngine::punchToggle(const QString& number, const QDate& day, const QString& time,
                                        const AuditStamp& stamp,
                                        const std::function<bool(const RecordSet&)>& leaveOpen) {
    EngineText::isoDay(day);
    TogglePunch result;
    audited(number, stamp, [&] {
        std::vector<qint64> written;
        result = toggleLocked(number, day, time, stamp, leaveOpen, written);
    });
    return result;
}

TogglePunch DatabaseEngine::toggleLocked(const QString& number, const QDate& day, const QString& time,
                                         const AuditStamp& stamp,
                                         const std::function<bool(const RecordSet&)>& leaveOpen,
                                         std::vector<qint64>& written) {
    TogglePunch result;
    const RecordSet latest = latestRecordOfPerson(number);
    const bool open = !latest.eof() && latest.text(QStringLiteral("TimeOut")).isEmpty();
    AuditEntry entry{stamp, {}, {}, number, {}, {}};
    if (open && !(leaveOpen && leaveOpen(latest))) {
        const qint64 id = latest.value(QStringLiteral("RecordId")).toLongLong();
        closeRecord(id, day, time);
        result.kind = PunchKind::Out;
        entry.what = AuditWhat::PunchOut;
        entry.recordId = id;
        if (!auditsItself()) {
            entry.before = compact(recordJson(latest));
            entry.after = compact(recordJson(recordById(id)));
        }
    } else {
        if (open)
            result.leftOpenSince = latest.value(QStringLiteral("LogDate")).toDate();
        result.kind = PunchKind::In;
        entry.what = AuditWhat::PunchIn;
        entry.recordId = punchIn(number, day, time);
        if (!auditsItself())
            entry.after = compact(recordJson(recordById(*entry.recordId)));
    }
    written.push_back(*entry.recordId);
    writeAudit(entry);
    return result;
}

void DatabaseEngine::setBadgeAudited(const QString& number, const std::optional<QString>& code,
                                     const AuditStamp& stamp) {
    const std::optional<QString> badge = code && !code->isEmpty() ? code : std::nullopt;
    audited(number, stamp, [&] {
        const RecordSet person = personByNumber(number);
        if (person.eof())
            return;
        const QString stored = person.text(QStringLiteral("BadgeCode"));
        if (stored == badge.value_or(QString()))
            return;
        if (badge) {
            const RecordSet holder = personByBadge(*badge);
            if (!holder.eof())
                throw DatabaseError(Kind::Duplicate, EngineText::badgeInUse());
        }
        setBadge(number, badge);
        // Only whether there was a badge, and that it changed: a code in the trail would open the door.
        const auto marked = [&](const QJsonValue& badgeValue) {
            QJsonObject object;
            object.insert(QStringLiteral("EmployeeNo"), person.text(QStringLiteral("EmployeeNo")));
            object.insert(QStringLiteral("BadgeCode"), badgeValue);
            return compact(object);
        };
        writeAudit(
            {stamp, AuditWhat::PersonUpdated, std::nullopt, number,
             marked(stored.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QStringLiteral("set"))),
             marked(badge ? QJsonValue(QStringLiteral("changed")) : QJsonValue(QJsonValue::Null))});
    });
}

void DatabaseEngine::insertPersonAudited(const PersonFields& person, const AuditStamp& stamp) {
    audited(person.number, stamp, [&] {
        insertPerson(person);
        const RecordSet made = personByNumber(person.number);
        writeAudit(
            {stamp, AuditWhat::PersonAdded, std::nullopt, person.number, {}, compact(personJson(made))});
    });
}

void DatabaseEngine::updatePersonAudited(const QString& current, const PersonFields& person,
                                         const AuditStamp& stamp) {
    audited(current, stamp, [&] {
        const RecordSet before = personByNumber(current);
        updatePerson(current, person);
        if (before.eof())
            return; // the person is gone: nothing changed
        const RecordSet after = personByNumber(person.number);
        writeAudit({stamp, AuditWhat::PersonUpdated, std::nullopt, current, compact(personJson(before)),
                    after.eof() ? QString() : compact(personJson(after))});
    });
}

void DatabaseEngine::deletePersonAudited(const QString& number, const AuditStamp& stamp) {
    audited(number, stamp, [&] {
        const RecordSet person = personByNumber(number);
        std::optional<qint64> unused;
        const QJsonArray records = recordsWhere(
            recordsOfPerson(number), [](const RecordSet&) { return true; }, unused);
        deletePerson(number);
        deleteRecordsOfPerson(number);
        if (person.eof() && records.isEmpty())
            return;
        QJsonObject before;
        before.insert(QStringLiteral("person"),
                      person.eof() ? QJsonValue(QJsonValue::Null) : QJsonValue(personJson(person)));
        before.insert(QStringLiteral("records"), records);
        writeAudit({stamp, AuditWhat::PersonDeleted, std::nullopt, number, compact(before), {}});
    });
}

void DatabaseEngine::deleteRecordAudited(const QString& number, const QDate& day, const QString& timeIn,
                                         const AuditStamp& stamp) {
    EngineText::isoDay(day);
    audited(number, stamp, [&] {
        // The rows the delete takes: the same day, and the same time-in with letter case ignored
        // (as the statement compares it).
        const auto matches = [&](const RecordSet& rs) {
            return rs.value(QStringLiteral("LogDate")).toDate() == day &&
                   QString::compare(rs.text(QStringLiteral("TimeIn")), timeIn, Qt::CaseInsensitive) == 0;
        };
        AuditEntry entry{stamp, AuditWhat::RecordDeleted, {}, number, {}, {}};
        const QJsonArray before = recordsWhere(recordsOfPerson(number), matches, entry.recordId);
        deleteRecord(number, day, timeIn);
        if (before.isEmpty())
            return;
        entry.before = compact(before);
        writeAudit(entry);
    });
}

void DatabaseEngine::correctRecord(qint64 id, const RecordFields& record, const AuditStamp& stamp,
                                   const std::optional<RecordFields>& listed) {
    EngineText::isoDay(record.day);
    const RecordSet found = recordById(id);
    if (found.eof())
        throw recordGone(id);
    audited(found.text(QStringLiteral("EmployeeNo")), stamp, [&] {
        const RecordSet before = recordById(id);
        if (before.eof())
            throw recordGone(id);
        if (listed && !isListed(before, *listed))
            throw notAsListed(id, *listed);
        updateRecord(id, record, RecordMark::Corrected);
        writeAudit({stamp, AuditWhat::RecordCorrected, id, before.text(QStringLiteral("EmployeeNo")),
                    compact(recordJson(before)), compact(recordJson(recordById(id)))});
    });
}

qint64 DatabaseEngine::addRecord(const RecordFields& record, const AuditStamp& stamp) {
    EngineText::isoDay(record.day);
    qint64 id = 0;
    audited(record.number, stamp, [&] {
        id = insertRecord(record, RecordMark::Added);
        writeAudit(
            {stamp, AuditWhat::RecordAdded, id, record.number, {}, compact(recordJson(recordById(id)))});
    });
    return id;
}

namespace EngineText {

QString onlyPunching() {
    return QStringLiteral("This terminal may only punch; manage persons and records at the office computer.");
}

QString numberInUse(const QString& number) {
    return QStringLiteral("The person number \"%1\" is already in use by another person.").arg(number);
}

QString badgeInUse() {
    return QStringLiteral("This badge is already given to another person.");
}

QString statementStopped(int limitMs) {
    return QStringLiteral("the statement took longer than %1 seconds and was stopped.").arg(limitMs / 1000.0);
}

DatabaseError readFailure(DatabaseError::Kind kind, const QString& detail) {
    return DatabaseError(kind, QStringLiteral("The attendance database could not be read: %1").arg(detail));
}

DatabaseError changeFailure(DatabaseError::Kind kind, const QString& detail) {
    return DatabaseError(kind,
                         QStringLiteral("The attendance database could not be changed: %1").arg(detail));
}

std::string isoDay(const QDate& day) {
    if (!day.isValid())
        throw DatabaseError(
            DatabaseError::Kind::Other,
            QStringLiteral("The date for the attendance database is empty or not a valid date."));
    return day.toString(Qt::ISODate).toStdString();
}

QString storedMoment(const QDateTime& moment) {
    return moment.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime momentFromStored(const QString& text) {
    QDateTime moment = QDateTime::fromString(text, Qt::ISODateWithMs);
    return moment.isValid() ? moment.toUTC() : QDateTime();
}

LoginFailures loginFailuresOf(const RecordSet& rs) {
    if (rs.eof())
        return {};
    return {rs.value(QStringLiteral("Failures")).toInt(), momentFromStored(rs.text(QStringLiteral("Since")))};
}

DatabaseError notEmpty(const QString& database, qint64 persons, qint64 records) {
    return DatabaseError(
        DatabaseError::Kind::Other,
        QStringLiteral("The attendance database %1 already holds %2 persons and %3 records. A "
                       "whole workplace is only ever copied into an empty one; nothing was "
                       "copied.")
            .arg(database)
            .arg(persons)
            .arg(records));
}

DatabaseError trailNotEmpty(const QString& database, qint64 rows) {
    return DatabaseError(DatabaseError::Kind::Other,
                         QStringLiteral("The attendance database %1 already holds an audit trail of %2 rows. "
                                        "A whole workplace is only ever copied into an empty one; nothing "
                                        "was copied.")
                             .arg(database)
                             .arg(rows));
}

namespace {
// The record identities a value of the trail names, at any depth.
qint64 largestIdIn(const QJsonValue& value) {
    qint64 largest = 0;
    if (value.isArray()) {
        for (const QJsonValue& item : value.toArray())
            largest = std::max(largest, largestIdIn(item));
    } else if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it) {
            if (it.key() == QLatin1String("RecordId"))
                largest = std::max(largest, it.value().toInteger());
            else
                largest = std::max(largest, largestIdIn(it.value()));
        }
    }
    return largest;
}
} // namespace

qint64 largestRecordId(const Workplace& workplace) {
    qint64 largest = 0;
    for (const StoredRecord& r : workplace.records)
        largest = std::max(largest, r.id);
    for (const StoredAudit& a : workplace.audit) {
        largest = std::max(largest, a.recordId.value_or(0));
        for (const QString& values : {a.before, a.after}) {
            const QJsonDocument document = QJsonDocument::fromJson(values.toUtf8());
            largest = std::max(largest, largestIdIn(document.isArray() ? QJsonValue(document.array())
                                                                       : QJsonValue(document.object())));
        }
    }
    return largest;
}

QDate storedDay(const char* isoText, const QString& database) {
    if (!isoText)
        return QDate();
    const QDate day = QDate::fromString(QString::fromUtf8(isoText), Qt::ISODate);
    if (!day.isValid())
        throw DatabaseError(DatabaseError::Kind::Other,
                            QStringLiteral("The attendance database %1 holds a record whose day \"%2\" is no "
                                           "date; correct it before the records are copied.")
                                .arg(database, QString::fromUtf8(isoText)));
    return day;
}

} // namespace EngineText

void DatabaseEngine::changePayRules(const std::vector<std::pair<QString, QString>>& rules,
                                    const AuditStamp& stamp, bool onlyMissing) {
    serialisedForWorkplace([&] {
        claim(stamp);
        QHash<QString, QString> stored;
        for (RecordSet rs = payRules(); !rs.eof(); rs.moveNext())
            stored.insert(rs.text(QStringLiteral("Rule")), rs.text(QStringLiteral("Value")));
        for (const auto& [rule, value] : rules) {
            const auto found = stored.constFind(rule);
            const bool has = found != stored.cend();
            if ((onlyMissing && has) || (has ? *found == value : value.isNull()))
                continue; // nothing changes
            setPayRule(rule, value);
            const auto valueOf = [&](const QString& text) {
                return text.isNull() ? QString() : compact(QJsonObject{{rule, text}});
            };
            writeAudit({stamp, AuditWhat::PayRulesChanged, std::nullopt, QString(),
                        has ? valueOf(*found) : QString(), valueOf(value)});
        }
    });
}
