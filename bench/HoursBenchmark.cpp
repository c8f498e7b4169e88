#include "HoursBenchmark.h"

#include "core/Globals.h"
#include "data/AttendanceDatabase.h"
#include "hours/HoursWindow.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QProcess>
#include <QTreeView>
#include <sys/resource.h>
#include <vector>

namespace {

// CPU time (user and system) in milliseconds: of this process, or of its finished children. On a
// shared machine the wall time also holds the waits for a core; this part does not.
double cpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto toMs = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return toMs(usage.ru_utime) + toMs(usage.ru_stime);
}

QString withCpu(double wallMs, double cpu) {
    return QStringLiteral("%1 (CPU %2)").arg(ms(wallMs), ms(cpu));
}

} // namespace

Row hoursWindowRow(QWidget* parent, const QString& engine, const QDate& today) {
    HoursWindow hours(parent);
    hours.load();
    const QDate lastMonth = today.addMonths(-1);
    hours.fromDate->setDate(QDate(lastMonth.year(), lastMonth.month(), 1));
    hours.toDate->setDate(QDate(lastMonth.year(), lastMonth.month(), lastMonth.daysInMonth()));
    std::vector<double> cpu;
    const double hoursMs = median(repeat(15, [&] {
        const double before = cpuMs(RUSAGE_SELF);
        hours.showTotals();
        cpu.push_back(cpuMs(RUSAGE_SELF) - before);
    }));
    return {QStringLiteral("%1Hours window, one month of all persons (%2 persons)")
                .arg(engine, QString::number(hours.totalsList->model()->rowCount() - 1)),
            withCpu(hoursMs, median(cpu)), QStringLiteral("<= 100 ms"), hoursMs <= 100.0};
}

Row hoursCommandRow(const QString& engine, int year) {
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tallyclock-suite");
    const QStringList arguments = {QStringLiteral("hours"),
                                   QStringLiteral("--from"),
                                   QStringLiteral("%1-01-01").arg(year),
                                   QStringLiteral("--to"),
                                   QStringLiteral("%1-12-31").arg(year),
                                   QStringLiteral("--format"),
                                   QStringLiteral("csv")};
    std::vector<double> times;
    std::vector<double> cpu;
    qsizetype persons = 0;
    QString failure;
    for (int i = 0; i < 7 && failure.isEmpty(); ++i) {
        QProcess process;
        const double before = cpuMs(RUSAGE_CHILDREN);
        QElapsedTimer timer;
        timer.start();
        process.start(program, arguments);
        const bool finished = process.waitForFinished(60000);
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(cpuMs(RUSAGE_CHILDREN) - before);
        if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            failure = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        // The title line and the Total line around one line per person.
        persons = process.readAllStandardOutput().count('\n') - 2;
    }
    const QString measure =
        QStringLiteral("%1command line hours, whole year %2 (%3 persons), process start included")
            .arg(engine, QString::number(year), QString::number(persons));
    if (!failure.isEmpty())
        return {measure, QStringLiteral("failed: ") + failure, QStringLiteral("<= 1 s"), false};
    return {measure, withCpu(median(times), median(cpu)), QStringLiteral("<= 1 s"), median(times) <= 1000.0};
}

void measureHours(std::vector<Row>& rows, QWidget* parent, const QDate& today) {
    rows.push_back(hoursWindowRow(parent, QString(), today));
    rows.push_back(hoursCommandRow(QString(), today.year() - 1));
    // The same with every pay rule on: rounding, two breaks, daily and weekly overtime.
    Globals::connection().changePayRules({{QStringLiteral("RoundingMinutes"), QStringLiteral("15")},
                                          {QStringLiteral("Breaks"), QStringLiteral("6:00=30; 9:00=45")},
                                          {QStringLiteral("DailyLimit"), QStringLiteral("8:00")},
                                          {QStringLiteral("WeeklyLimit"), QStringLiteral("40:00")}});
    rows.push_back(hoursWindowRow(parent, QStringLiteral("every pay rule on: "), today));
    rows.push_back(hoursCommandRow(QStringLiteral("every pay rule on: "), today.year() - 1));
    Globals::connection().changePayRules({{QStringLiteral("RoundingMinutes"), QString()},
                                          {QStringLiteral("Breaks"), QString()},
                                          {QStringLiteral("DailyLimit"), QString()},
                                          {QStringLiteral("WeeklyLimit"), QString()}});
}
