#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

// Names of the copies in the backups folder and which of them to keep. Daily copies are named by
// their day ("dbData-2026-12-09.mdb"); the first copy of each month is kept a second time under the
// month's name ("dbData-2026-12.mdb"). Other files in the folder are never touched.
namespace BackupNames {

constexpr int kDailyKept = 14;
constexpr int kMonthlyKept = 12;

QString daily(const QDate& day);
QString monthly(const QDate& day);

// The day a daily name stands for, or an invalid date when `name` is no daily name.
QDate dayOf(const QString& name);
// The first day of the month a monthly name stands for, or an invalid date.
QDate monthOf(const QString& name);

// The names among `names` that rotation deletes on `today`: all daily copies but the newest 14 and
// all monthly copies but the newest 12. Copies dated after `today` (a clock set wrong once) are
// neither counted nor deleted.
QStringList expired(const QStringList& names, const QDate& today);

// A copy made by hand, named by day and time ("dbData-2026-12-09-161125.mdb"); rotation keeps it.
QString manual(const QDateTime& moment);

// The newest copy among `names` (daily, monthly or made by hand), dated no later than `today`;
// "" when none. The copies kept before a restore do not count: they are what was replaced.
QString newest(const QStringList& names, const QDate& today);

} // namespace BackupNames
