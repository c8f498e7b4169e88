#include "backup/BackupNames.h"

#include <QRegularExpression>
#include <algorithm>
#include <utility>
#include <vector>

namespace BackupNames {

namespace {

const QString kPrefix = QStringLiteral("dbData-");
const QString kSuffix = QStringLiteral(".mdb");

QDate parse(const QString& name, const QRegularExpression& pattern, const QString& format) {
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() ? QDate::fromString(match.captured(1), format) : QDate();
}

// The names dated up to `last`, newest first.
std::vector<std::pair<QDate, QString>> datedUpTo(const QStringList& names, QDate (*dateOf)(const QString&),
                                                 const QDate& last) {
    std::vector<std::pair<QDate, QString>> dated;
    for (const QString& name : names) {
        const QDate date = dateOf(name);
        if (date.isValid() && date <= last)
            dated.emplace_back(date, name);
    }
    std::sort(dated.begin(), dated.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    return dated;
}

} // namespace

QString daily(const QDate& day) {
    return kPrefix + day.toString(QStringLiteral("yyyy-MM-dd")) + kSuffix;
}

QString monthly(const QDate& day) {
    return kPrefix + day.toString(QStringLiteral("yyyy-MM")) + kSuffix;
}

QDate dayOf(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^dbData-(\\d{4}-\\d{2}-\\d{2})\\.mdb$"));
    return parse(name, pattern, QStringLiteral("yyyy-MM-dd"));
}

QDate monthOf(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^dbData-(\\d{4}-\\d{2})\\.mdb$"));
    return parse(name, pattern, QStringLiteral("yyyy-MM"));
}

QStringList expired(const QStringList& names, const QDate& today) {
    QStringList result;
    const auto beyond = [&](const std::vector<std::pair<QDate, QString>>& dated, int kept) {
        for (std::size_t i = static_cast<std::size_t>(kept); i < dated.size(); ++i)
            result.append(dated[i].second);
    };
    beyond(datedUpTo(names, dayOf, today), kDailyKept);
    beyond(datedUpTo(names, monthOf, today), kMonthlyKept);
    return result;
}

QString manual(const QDateTime& moment) {
    return kPrefix + moment.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + kSuffix;
}

QString newest(const QStringList& names, const QDate& today) {
    static const QRegularExpression manualPattern(
        QStringLiteral("^dbData-(\\d{4}-\\d{2}-\\d{2}-\\d{6})\\.mdb$"));
    // Daily and monthly copies count from the start of their day; one made by hand from its moment.
    QString found;
    QDateTime newestMoment;
    for (const QString& name : names) {
        QDateTime moment;
        if (const QDate day = dayOf(name); day.isValid())
            moment = day.startOfDay();
        else if (const QDate month = monthOf(name); month.isValid())
            moment = month.startOfDay();
        else if (const QRegularExpressionMatch match = manualPattern.match(name); match.hasMatch())
            moment = QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd-HHmmss"));
        if (!moment.isValid() || moment.date() > today)
            continue;
        // On a tie the daily name wins over its month's, which is the same file.
        if (!newestMoment.isValid() || moment > newestMoment ||
            (moment == newestMoment && dayOf(name).isValid())) {
            newestMoment = moment;
            found = name;
        }
    }
    return found;
}

} // namespace BackupNames
