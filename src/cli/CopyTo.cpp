// copy-to: moves a workplace from one computer's database file onto a PostgreSQL server, so that
// several terminals can punch into it. The server database must be empty; the copy is one
// transaction there, and what the server holds afterwards is read back and compared.

#include "backup/InstanceLock.h"
#include "cli/Verb.h"
#include "core/MainWindow.h"
#include "data/AttendanceDatabase.h"

#include <QFileInfo>
#include <QTextStream>
#include <algorithm>
#include <memory>
#include <tuple>

namespace CommandLine {

namespace {

// A text with its Null apart from the empty text, for comparing what was stored.
std::pair<bool, QString> stored(const QString& text) {
    return {text.isNull(), text};
}

auto personKey(const StoredPerson& p) {
    return std::make_tuple(stored(p.number), stored(p.password), stored(p.name), stored(p.department),
                           stored(p.position), p.isAdmin);
}

auto recordKey(const StoredRecord& r) {
    return std::make_tuple(r.id, stored(r.number), r.day, stored(r.timeIn), stored(r.timeOut), r.corrected);
}

auto auditKey(const StoredAudit& a) {
    return std::make_tuple(a.id, stored(a.changedAt), stored(a.terminal), stored(a.who), stored(a.what),
                           a.recordId, stored(a.number), stored(a.before), stored(a.after),
                           stored(a.serverRole), stored(a.clientAddress), a.claimed);
}

auto failuresKey(const StoredLoginFailures& f) {
    return std::make_tuple(stored(f.number), f.failures, stored(f.since));
}

// The keys of every item, sorted when the order does not matter.
template <typename Item, typename Key> auto keysOf(const std::vector<Item>& items, Key key, bool sorted) {
    std::vector<decltype(key(Item()))> keys;
    for (const Item& item : items)
        keys.push_back(key(item));
    if (sorted)
        std::sort(keys.begin(), keys.end());
    return keys;
}

// The same persons and login failure counts (in any order), the same records with their identities
// and marks, and the same audit trail row by row.
bool same(const Workplace& a, const Workplace& b) {
    return keysOf(a.persons, personKey, true) == keysOf(b.persons, personKey, true) &&
           keysOf(a.records, recordKey, false) == keysOf(b.records, recordKey, false) &&
           keysOf(a.audit, auditKey, false) == keysOf(b.audit, auditKey, false) &&
           keysOf(a.loginFailures, failuresKey, true) == keysOf(b.loginFailures, failuresKey, true);
}

int copyTo(const Invocation& call) {
    const QString uri = call.argument(0);
    if (!uri.startsWith(QLatin1String("postgresql://")) && !uri.startsWith(QLatin1String("postgres://")))
        throw UsageError(
            call.verb() +
            QStringLiteral(": URI must be a PostgreSQL connection URI (postgresql://...), not '%1'")
                .arg(uri));
    const QString file = call.value(QStringLiteral("from"), MainWindow::liveDatabasePath());
    if (!QFileInfo(file).isFile())
        throw UsageError(call.verb() + QStringLiteral(": no database file at '%1'").arg(file));

    // Another file than the live one is nobody's to restore.
    const std::unique_ptr<InstanceLock> lock =
        file == MainWindow::liveDatabasePath() ? InstanceLock::holdForCommand(file) : nullptr;
    AttendanceDatabase source;
    source.open(file);
    const Workplace workplace = source.everything();
    source.close();

    AttendanceDatabase server;
    server.openServer(uri);
    server.loadIntoEmpty(workplace);
    const Workplace copied = server.everything();
    const QString shown = server.path();
    server.close();

    if (!same(copied, workplace))
        throw std::runtime_error(
            QStringLiteral("The copy on %1 differs from %2 when read back: it holds %3 persons, "
                           "%4 records and %5 audit rows. Compare the two before anyone punches into it.")
                .arg(shown, file)
                .arg(copied.persons.size())
                .arg(copied.records.size())
                .arg(copied.audit.size())
                .toStdString());
    call.out() << "Copied " << workplace.persons.size() << " persons, " << workplace.records.size()
               << " records, " << workplace.audit.size() << " audit rows and "
               << workplace.loginFailures.size() << " login failure counts from " << file << " to " << shown
               << ".\n"
               << "Read back from the server and compared: the same persons, records (with their identities "
                  "and marks), audit trail and login failure counts.\n";
    return Success;
}

} // namespace

Verb copyToVerb() {
    return {
        QStringLiteral("copy-to"),
        {QStringLiteral("URI")},
        {{QStringLiteral("from"), QStringLiteral("FILE"),
          QStringLiteral("the database file to copy (default: this computer's, %1)")
              .arg(MainWindow::liveDatabasePath())}},
        QStringLiteral("Copy every person and record of this computer's database file into an empty "
                       "PostgreSQL database"),
        QStringLiteral("URI is a libpq connection URI, for example\n"
                       "  postgresql://tallyclock@clock-server.example.lan/tallyclock?sslmode=verify-full\n"
                       "The password comes from ~/.pgpass or PGPASSFILE, never from the command line.\n"
                       "The server database must hold no person and no record. Everything is copied in "
                       "one\ntransaction, read back and compared; the counts are printed."),
        copyTo};
}

} // namespace CommandLine
