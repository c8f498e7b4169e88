#include "JournalBenchmark.h"

#include "data/AttendanceDatabase.h"
#include "journal/Delivery.h"
#include "journal/Journal.h"

#include <QDir>

void measureJournalDelivery(std::vector<Row>& rows, const QString& url, const QString& workDir) {
    const int waiting = 10000;
    const int persons = 50;
    // A journal of its own each run: what an interrupted run left would be delivered too.
    const QString folder = QDir(workDir).filePath(QStringLiteral("journal-bench"));
    QDir(folder).removeRecursively();
    Journal journal(folder);
    // Each person in and out in turn, on the days before today, as a long outage would leave them.
    const QDate first = QDate::currentDate().addDays(-(waiting / (2 * persons)) - 1);
    for (int i = 0; i < waiting; ++i) {
        const int round = i / persons;
        journal.append(round % 2 == 0 ? PunchKind::In : PunchKind::Out,
                       QStringLiteral("P%1").arg(i % persons), first.addDays(round / 2),
                       round % 2 == 0 ? QStringLiteral("08:00") : QStringLiteral("16:00"));
    }
    AttendanceDatabase db;
    db.openServer(url);
    Delivery::Result result;
    const double elapsed = timeMs([&] { result = Delivery::deliverWaiting(journal, db); });
    const bool whole = result.failure.isEmpty() && result.left == 0 && result.delivered == waiting;
    rows.push_back({QStringLiteral("Journal: delivery of %1 waiting punches from one terminal").arg(waiting),
                    whole ? ms(elapsed) : QStringLiteral("failed: ") + Delivery::describe(result),
                    QStringLiteral("<= 10 s"), whole && elapsed <= 10000.0});
}
