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

QString newest(const QStringList& names, const QDate& today) {
    const auto days = datedUpTo(names, dayOf, today);
    const auto months = datedUpTo(names, monthOf, today);
    // A monthly copy is the first of its month, so it is never newer than a daily copy of the same
    // month; on a tie the daily name is the more telling one.
    if (days.empty())
        return months.empty() ? QString() : months.front().second;
    if (months.empty() || days.front().first >= months.front().first)
        return days.front().second;
    return months.front().second;
}

} // namespace BackupNames
